// Tarvosetup's window as the user sees it: header, the pages of the wizard, buttons.
#include "Database.h"
#include "MainUnit.h"
#include "SetupIds.h"
#include "SetupResources.h"
#include "Text.h"
#include "VendorSettings.h"

#include <windows.h>

namespace {

const COLORREF kPurple = RGB(128, 0, 128);

std::wstring LoadAgreement()
{
    const HMODULE self = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(IDR_AGREEMENT), RT_RCDATA);
    if (!found) return L"";
    const auto* text = static_cast<const char*>(LockResource(LoadResource(self, found)));
    const int size = static_cast<int>(SizeofResource(self, found));
    return winui::Widen(text, size, CP_UTF8);
}

} // namespace

TMainFrm::TMainFrm()
{
    // A fixed dialog border with a close box only; its own button on the taskbar.
    CreateWindowFrame(L"", 457, 338, WS_POPUP | WS_CAPTION | WS_SYSMENU,
                      LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SETUP)),
                      WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_APPWINDOW);
    CreateControls();
    FormCreate();
}

void TMainFrm::CreateControls()
{
    const HWND form = Handle();
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);

    // The header hides where the page control's tabs would be: pages change only
    // through the wizard's buttons.
    Panel1.Create(*this, form, IdPanel1, {0, 0, 457, 97});
    SetColors(Panel1, text, window);
    Image1.Create(*this, Panel1.Handle(), IdImage1, {16, 12, 72, 72});
    Image1.SetBitmap(static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr),
                                                     MAKEINTRESOURCEW(IDB_LOGO), IMAGE_BITMAP, 0, 0,
                                                     LR_DEFAULTCOLOR)));
    Label1.Create(*this, Panel1.Handle(), IdLabel1, {104, 24, 330, 20}, L"Tarvo资源管理系统安装程序");
    Label1.SetFont(MakeFont({L"黑体", 15, true, false, GB2312_CHARSET}));
    SetColors(Label1, text, window);
    Label11.Create(*this, Panel1.Handle(), IdLabel11, {104, 58, 330, 14},
                   std::wstring(L"官方网址:") + kVendorWebAddress);
    SetColors(Label11, text, window);

    cxPageControl1.Create(*this, form, IdPageControl, {0, 97, 457, 192});
    const HWND pages = cxPageControl1.Handle();
    winui::Panel* const sheets[] = {&s1, &cxTabSheet1, &s2, &s3, &s4};
    const int sheetIds[] = {IdPageS1, IdPageRepair, IdPageS2, IdPageS3, IdPageS4};
    for (int i = 0; i < 5; ++i) {
        sheets[i]->Create(*this, pages, sheetIds[i], {0, 0, 457, 192});
        sheets[i]->SetVisible(false);
        cxPageControl1.AddPage(*sheets[i]);
    }

    // Agreement
    Panel2.Create(*this, s1.Handle(), IdPanel2, {0, 0, 457, 192});
    cxMemo1.Create(*this, Panel2.Handle(), IdCxMemo1, {12, 8, 433, 152}, {true, false});
    cxMemo1.SetText(LoadAgreement());
    SetColors(cxMemo1, text, window);
    CheckBox1.Create(*this, Panel2.Handle(), IdCheckBox1, {12, 166, 240, 18}, L"我同意以上协议");
    OnClick(CheckBox1, [this] { CheckBox1Click(); });

    // Data-component check and repair
    Label10.Create(*this, cxTabSheet1.Handle(), IdLabel10, {12, 10, 300, 14}, L"修复数据组件.");
    Memo1.Create(*this, cxTabSheet1.Handle(), IdMemo1, {12, 28, 433, 156}, {true, false});
    SetColors(Memo1, text, window);

    // Directories
    const HWND dirs = s2.Handle();
    struct Row {
        winui::Label& label;
        int labelId;
        const wchar_t* caption;
        winui::Edit& edit;
        int editId;
        winui::SpeedButton& picker;
        int pickerId;
        winui::Label& hint;
        int hintId;
        const wchar_t* hintText;
    } rows[] = {
        {Label2, IdLabel2, L"程序安装目录:", SetpDirET, IdSetpDirET, SpeedButton1, IdSpeedButton1,
         Label7, IdLabel7, L"请最好不要安装在C盘,以免重装系统不能恢复数据"},
        {Label3, IdLabel3, L"资源库目录:", ResDirET, IdResDirET, SpeedButton2, IdSpeedButton2,
         Label6, IdLabel6, L"此目录会放置所有模型,材质,灯光,脚本文件,建议空间100G"},
        {Label8, IdLabel8, L"数据库备份目录:", mrBackUPet, IdMrBackUPet, SpeedButton3,
         IdSpeedButton3, Label9, IdLabel9, L"用于备份你的素材分类,关健字信息库文件的目录"},
    };
    int top = 10;
    for (Row& row : rows) {
        row.label.Create(*this, dirs, row.labelId, {12, top + 4, 90, 14}, row.caption);
        row.edit.Create(*this, dirs, row.editId, {104, top, 262, 21});
        row.picker.Create(*this, dirs, row.pickerId, {372, top - 1, 72, 23}, L"选择...");
        row.hint.Create(*this, dirs, row.hintId, {104, top + 25, 340, 14}, row.hintText);
        SetTextColor(row.hint, kPurple);
        top += 50;
    }
    OnClick(SpeedButton1, [this] { SpeedButton1Click(); });
    OnClick(SpeedButton2, [this] { SpeedButton2Click(); });
    OnClick(SpeedButton3, [this] { SpeedButton3Click(); });
    HaveOldInfoCB.Create(*this, dirs, IdHaveOldInfoCB, {12, top + 2, 433, 18},
                         L"检测到你以前安装了本软件,保留以前的关健字、素材分类信息.");
    HaveOldInfoCB.SetChecked(true);

    // Extraction progress and install log
    Label4.Create(*this, s3.Handle(), IdLabel4, {12, 10, 200, 14}, L"解压数据");
    PB.Create(*this, s3.Handle(), IdPB, {12, 28, 433, 18});
    cxMemo2.Create(*this, s3.Handle(), IdCxMemo2, {12, 52, 433, 132}, {false, false});

    // Finished
    Label5.Create(*this, s4.Handle(), IdLabel5, {12, 10, 300, 14}, L"恭喜您,安装成功!");

    // Buttons
    Panel3.Create(*this, form, IdPanel3, {0, 289, 457, 49});
    UpBT.Create(*this, Panel3.Handle(), IdUpBT, {286, 12, 75, 25}, L"上一步");
    UpBT.SetVisible(false);
    OnClick(UpBT, [this] { UpBTClick(); });
    nextOkbt.Create(*this, Panel3.Handle(), IdNextOkbt, {370, 12, 75, 25}, L"下一步");
    nextOkbt.SetEnabled(false);
    OnClick(nextOkbt, [this] { nextOkbtClick(); });

    SetTabOrder({&cxMemo1, &CheckBox1, &Memo1, &SetpDirET, &ResDirET, &mrBackUPet,
                 &HaveOldInfoCB, &cxMemo2, &UpBT, &nextOkbt});

    cxShellBrowserDialog1.title = L"选择程序安装目录";
    cxShellBrowserDialog1.folderLabel = L"程序安装目录";
    cxShellBrowserDialog1.showInfoTips = true;
    cxShellBrowserDialog2.title = L"选择资源库目录";
    cxShellBrowserDialog2.folderLabel = L"资源库目录";
    Timer1.Create(form, 1, 1000);
}
