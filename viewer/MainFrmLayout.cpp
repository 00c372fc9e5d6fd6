// Kelpview's window as the user sees it: positions, fonts, colours, tab order.
#include "KelpviewIds.h"
#include "MainUnit.h"

namespace {
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kMaroon = RGB(128, 0, 0);
} // namespace

TMainFrm::TMainFrm()
{
    CreateWindowFrame(KELPVIEW_CAPTION, 509, 331,
                      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX,
                      LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1)));
    CreateControls();
    FormCreate();
}

void TMainFrm::CreateControls()
{
    const HWND form = Handle();
    Label1.Create(*this, form, IdLabel1, {16, 24, 86, 13}, L"选择3DMAX文件:");
    Bevel1.Create(*this, form, IdBevel1, {17, 55, 480, 2});

    Label2.Create(*this, form, IdLabel2, {24, 304, 222, 12}, L"免费精品3D模型下载(无需积分,不用登陆)");
    Label2.SetFont(MakeFont({L"宋体", 12, false, true, GB2312_CHARSET}));
    SetTextColor(Label2, kBlue);
    SetHandCursor(Label2);
    OnClick(Label2, [this] { Label2Click(); });

    MaxFileET.Create(*this, form, IdMaxFileET, {106, 21, 231, 21});

    Button1.Create(*this, form, IdButton1, {343, 19, 75, 25}, L"选择文件");
    OnClick(Button1, [this] { Button1Click(); });

    Memo1.Create(*this, form, IdMemo1, {20, 72, 474, 217}, {true, true});
    Memo1.SetText(L"可以直接把MAX文件拖入到软件上面查看.\r\n");
    SetColors(Memo1, GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW));

    Button2.Create(*this, form, IdButton2, {425, 19, 75, 25}, L"查看");
    OnClick(Button2, [this] { Button2Click(); });

    Edit1.Create(*this, form, IdEdit1, {25, 95, 452, 21}, {true, false});
    Edit1.SetFont(MakeFont({L"宋体", 12, true, false, GB2312_CHARSET}));
    SetColors(Edit1, kMaroon, GetSysColor(COLOR_WINDOW));

    SetTabOrder({&MaxFileET, &Button1, &Memo1, &Button2, &Edit1});

    OpenDialog1.filter = L"*.max|*.max|*.*|*.*";
    OpenDialog1.defaultExt = L"*.max";
}
