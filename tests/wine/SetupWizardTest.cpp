// Tarvosetup's wizard on the real form under Wine: pages, buttons and the directory
// check as the user's clicks leave them, and a whole install of the test payload.
#include "AppDatabaseFile.h"
#include "Com.h"
#include "ErrorReport.h"
#include "FileSystem.h"
#include "MainUnit.h"
#include "PayloadExtraction.h"
#include "SetupIds.h"
#include "WineTestSupport.h"

#include <gtest/gtest.h>

using testing_support::ClickButton;
using testing_support::MessageBoxRecorder;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

class Wizard : public ::testing::Test {
protected:
    // A machine without an earlier installation, whatever the prefix holds.
    Wizard() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"software\\MirelMax"); }

    void Click(const winui::Control& button) { ClickButton(form.Handle(), button.Id(), button.Handle()); }
    void Next() { Click(form.nextOkbt); }
    void Back() { Click(form.UpBT); }
    void ToggleAgreement()
    {
        form.CheckBox1.SetChecked(!form.CheckBox1.Checked());
        Click(form.CheckBox1);
    }
    // What the user sees: step, page, Next caption and state, Back.
    void ExpectState(int step, int page, const std::wstring& next, bool nextEnabled, bool back)
    {
        EXPECT_EQ(form.StepIndex, step);
        EXPECT_EQ(form.cxPageControl1.ActivePageIndex(), page);
        EXPECT_EQ(form.nextOkbt.Text(), next);
        EXPECT_EQ(form.nextOkbt.Enabled(), nextEnabled);
        EXPECT_EQ(form.UpBT.Visible(), back);
    }
    void UseDirectories(const std::wstring& program, const std::wstring& resources,
                        const std::wstring& backup)
    {
        form.SetpDirET.SetText(program);
        form.ResDirET.SetText(resources);
        form.mrBackUPet.SetText(backup);
    }

    winui::ComApartment com; // as Tarvosetup's GUI thread has
    testing_support::InstallTraceGuard restoreAfterwards; // registry and shortcut of an install
    TempDir dir;
    MessageBoxRecorder boxes;
    TMainFrm form;
};

TEST_F(Wizard, StartsOnTheAgreementWithNextDisabled)
{
    EXPECT_EQ(form.Caption(), L"Tarvo资源管理系统 个人版 V1.42 安装程序");
    ExpectState(0, 0, L"下一步", false, false);
    EXPECT_FALSE(form.CheckBox1.Checked());
    EXPECT_EQ(form.SetpDirET.Text(), L"D:\\Tarvo\\MirelMax");
    EXPECT_EQ(form.ResDirET.Text(), L"D:\\Tarvo\\MirelRES");
    EXPECT_EQ(form.mrBackUPet.Text(), L"D:\\Tarvo\\MirelBackUp");
    EXPECT_TRUE(form.cxMemo2.Text().empty());
    EXPECT_FALSE(form.Timer1.Enabled());
    RECT client;
    GetClientRect(form.Handle(), &client);
    EXPECT_EQ(client.right, 457);
    EXPECT_EQ(client.bottom, 338);
    // A fixed dialog border with a close box only.
    const LONG style = GetWindowLongW(form.Handle(), GWL_STYLE);
    const LONG exStyle = GetWindowLongW(form.Handle(), GWL_EXSTYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
}

TEST_F(Wizard, PickerButtonsClickWithoutTakingTheFocus)
{
    form.Show(SW_SHOWNORMAL);
    form.StepIndex = 2;
    form.cxPageControl1.ShowPage(2);
    int clicks = 0;
    const winui::SpeedButton* pickers[] = {&form.SpeedButton1, &form.SpeedButton2, &form.SpeedButton3};
    for (const winui::SpeedButton* picker : pickers) {
        SCOPED_TRACE(picker->Id());
        EXPECT_FALSE(GetWindowLongW(picker->Handle(), GWL_STYLE) & WS_TABSTOP);
        form.OnClick(*picker, [&clicks] { ++clicks; }); // in place of the folder picker
        form.ResDirET.SetFocus();
        clicks = 0;
        // Pressed and let go over the button: one click; let go elsewhere: none.
        SendMessageW(picker->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        EXPECT_TRUE(form.ResDirET.Focused());
        SendMessageW(picker->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        EXPECT_EQ(clicks, 1);
        SendMessageW(picker->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageW(picker->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(-20, 5));
        EXPECT_EQ(clicks, 1);
        EXPECT_TRUE(form.ResDirET.Focused());
    }
    // Tab goes from edit to edit.
    form.SetpDirET.SetFocus();
    ASSERT_TRUE(form.MoveFocus(false));
    EXPECT_TRUE(form.ResDirET.Focused());
    ASSERT_TRUE(form.MoveFocus(false));
    EXPECT_TRUE(form.mrBackUPet.Focused());
}

TEST_F(Wizard, AgreementCheckBoxEnablesNext)
{
    ToggleAgreement();
    EXPECT_TRUE(form.nextOkbt.Enabled());
    ToggleAgreement();
    EXPECT_FALSE(form.nextOkbt.Enabled());
}

TEST_F(Wizard, StepsForwardAndBackAsTheTableSays)
{
    ToggleAgreement();
    Next();
    ExpectState(1, 1, L"下一步", true, false);
    EXPECT_EQ(form.Memo1.Text(), L"你的MDAC组件正常不用修复,点击下一步继续安装!");
    EXPECT_TRUE(form.DbConnection && form.DbQuery);

    Next();
    ExpectState(2, 2, L"下一步", true, true);
    EXPECT_FALSE(form.HaveOldInfoCB.Visible());

    Back();
    ExpectState(1, 1, L"下一步", true, true);
    Back();
    ExpectState(0, 0, L"下一步", true, false);

    form.Memo1.SetText(L"stale");
    Next(); // the component check runs again
    ExpectState(1, 1, L"下一步", true, false);
    EXPECT_EQ(form.Memo1.Text(), L"你的MDAC组件正常不用修复,点击下一步继续安装!");

    Next();
    UseDirectories(dir / L"a\\b\\prog", dir / L"res", dir / L"backup");
    Next();
    ExpectState(3, 3, L"开始安装", true, false);
    EXPECT_TRUE(DirectoryExists(dir / L"a\\b\\prog")); // created with its parents
    EXPECT_TRUE(DirectoryExists(dir / L"res"));
    EXPECT_TRUE(DirectoryExists(dir / L"backup"));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Wizard, FailedDirectoryGoesBackToTheDirectoryPage)
{
    WriteBytes(dir / L"file", "in the way");
    struct Case {
        const char* what;
        std::wstring program, resources, backup;
        int failing; // 0, 1, 2
    } cases[] = {
        {"drive that does not exist", L"Q:\\Tarvo\\MirelMax", dir / L"r1", dir / L"b1", 0},
        {"empty text", L"", dir / L"r2", dir / L"b2", 0},
        {"second of three", dir / L"p3", dir / L"file\\res", dir / L"b3", 1},
        {"third of three", dir / L"p4", dir / L"r4", dir / L"file\\backup", 2},
        {"a file of that name", dir / L"file", dir / L"r5", dir / L"b5", 0},
        {"a file of that name, third", dir / L"p6", dir / L"r6", dir / L"file", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        form.StepIndex = 2;
        form.cxPageControl1.ShowPage(2);
        form.Show(SW_SHOWNORMAL);
        form.nextOkbt.SetEnabled(true); // as the component check leaves it
        boxes.boxes.clear();
        UseDirectories(c.program, c.resources, c.backup);
        Next();
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, L"创建目录失败!");
        ExpectState(2, 2, L"下一步", true, true);
        const winui::Edit* edits[] = {&form.SetpDirET, &form.ResDirET, &form.mrBackUPet};
        EXPECT_TRUE(edits[c.failing]->Focused());
        // Directories before the failing one stay created; later ones are not made.
        const std::wstring paths[] = {c.program, c.resources, c.backup};
        for (int i = 0; i < 3; ++i) {
            if (!paths[i].empty() && i != c.failing) {
                EXPECT_EQ(DirectoryExists(paths[i]), i < c.failing) << i;
            }
        }
    }
}

TEST_F(Wizard, InstallStepWritesThePayloadAndFinishes)
{
    ToggleAgreement();
    Next();
    Next();
    const std::wstring d = dir / L"program";
    const std::wstring r = dir / L"resources";
    UseDirectories(d, r, dir / L"backup");
    Next();
    CreateDirectoryW((d + L"\\config").c_str(), nullptr); // the test payload has no configuration
    Next();

    // The test payload has no icon library: reported, and the install goes on.
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, L"没有找到DLL!");
    ExpectState(4, 3, L"完成", true, false);
    EXPECT_EQ(ReadBytes(d + L"\\one.txt"), "one\r\n");
    EXPECT_EQ(ReadBytes(d + L"\\deep\\er\\two.txt"), "two folders deep\r\n");
    const auto rows = testing_support::ConfigRows(d + L"\\data\\kiwa.db");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].mrrespath, r);
    EXPECT_TRUE(testing_support::IsLowerHexKey(rows[0].softkey)) << rows[0].softkey;
    EXPECT_EQ(ReadBytes(r + L"\\lib\\lib.txt"), "library file\r\n");
    EXPECT_TRUE(FileExists(d + L"\\uninstall.lst"));
    EXPECT_FALSE(FileExists(ManifestPath()));
    EXPECT_EQ(form.ShortcutPath, testing_support::DesktopFolder() + L"\\Tarvo资源管理系统.lnk");
    EXPECT_EQ(form.cxMemo2.Lines(), (std::vector<std::wstring>{
                                        L"Extract \\one.txt to " + d + L"\\one.txt ",
                                        L"Extract \\deep\\er\\two.txt to " + d + L"\\deep\\er\\two.txt ",
                                        L"Extract \\data\\kiwa.db to " + d + L"\\data\\kiwa.db ",
                                        L"Extract \\lib\\lib.txt to " + r + L"\\lib\\lib.txt ",
                                        L"注册TVK文件失败! ",
                                        L"写入数据成功!",
                                        L"已完成所有安装...",
                                    }));

    Next(); // "完成" closes the window without showing the finished page
    EXPECT_EQ(form.StepIndex, 5);
    EXPECT_EQ(form.Handle(), nullptr);
    EXPECT_FALSE(form.DbConnection || form.DbQuery || form.RepairCommands);
}

TEST_F(Wizard, ErrorInTheInstallStepIsReportedAndLeavesNextDisabled)
{
    ToggleAgreement();
    Next();
    Next();
    const std::wstring d = dir / L"program";
    UseDirectories(d, dir / L"res", dir / L"backup");
    Next();
    CreateDirectoryW((d + L"\\deep").c_str(), nullptr);
    CreateDirectoryW((d + L"\\deep\\er").c_str(), nullptr);
    WriteBytes(d + L"\\deep\\er\\two.txt", "in use");
    HANDLE holder = CreateFileW((d + L"\\deep\\er\\two.txt").c_str(), GENERIC_READ,
                                FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    Next();
    CloseHandle(holder);
    DeleteFileW(ManifestPath().c_str());

    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text.rfind(L"Cannot create file \"" + d + L"\\deep\\er\\two.txt\". ", 0), 0u);
    EXPECT_EQ(boxes.boxes[0].caption, L"setup_wine_tests"); // the executable's name
    EXPECT_EQ(boxes.boxes[0].style & 0xF0, static_cast<UINT>(MB_ICONERROR));
    ExpectState(4, 3, L"开始安装", false, false);
    EXPECT_EQ(ReadBytes(d + L"\\deep\\er\\two.txt"), "in use");
    EXPECT_EQ(ReadBytes(d + L"\\one.txt"), "one\r\n");
}

TEST_F(Wizard, CloseOnTheAgreementPageReleasesTheCommandList)
{
    ASSERT_TRUE(form.RepairCommands);
    form.Close();
    EXPECT_EQ(form.Handle(), nullptr);
    EXPECT_FALSE(form.RepairCommands);
    EXPECT_FALSE(form.DbConnection);
}

TEST(SetupWindow, ImageOwnsItsBitmap)
{
    auto bitmap = [] { return CreateBitmap(8, 8, 1, 32, nullptr); };
    const HBITMAP first = bitmap(), second = bitmap();
    {
        TMainFrm form;
        form.Image1.SetBitmap(first);
        EXPECT_EQ(SendMessageW(form.Image1.Handle(), STM_GETIMAGE, IMAGE_BITMAP, 0),
                  reinterpret_cast<LRESULT>(first));
        form.Image1.SetBitmap(second);
        EXPECT_EQ(GetObjectType(first), 0u); // replaced: freed
        EXPECT_EQ(GetObjectType(second), static_cast<DWORD>(OBJ_BITMAP));
        form.Close();
    }
    EXPECT_EQ(GetObjectType(second), 0u); // freed with the window
}

} // namespace
