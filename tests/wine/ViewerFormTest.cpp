// Kelpview's window, created for real under Wine, driven through its handlers and
// through the window messages that the user's clicks and drops send.
#include "ErrorReport.h"
#include "KelpviewIds.h"
#include "MainUnit.h"
#include "WineTestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const std::wstring kHint = L"可以直接把MAX文件拖入到软件上面查看.";
const std::wstring kRefused = L"请选择正确的MAX文件!";

class ViewerForm : public ::testing::Test {
protected:
    void ClickView() { ClickButton(form.Handle(), IdButton2, form.Button2.Handle()); }
    void View(const std::wstring& name)
    {
        form.MaxFileET.SetText(name);
        ClickView();
    }

    TempDir dir;
    MessageBoxRecorder boxes;
    TMainFrm form;
};

TEST_F(ViewerForm, StartsWithTheHintAndEmptyFields)
{
    EXPECT_EQ(form.Caption(), L"3Zuveroru v1.0(支持max2012及以下所有版本)-Tarvo网出品");
    EXPECT_EQ(form.Memo1.Lines(), std::vector<std::wstring>{kHint});
    EXPECT_EQ(form.MaxFileET.Text(), L"");
    EXPECT_EQ(form.Edit1.Text(), L"");
    RECT client;
    GetClientRect(form.Handle(), &client);
    EXPECT_EQ(client.right, 509);
    EXPECT_EQ(client.bottom, 331);
    const LONG style = GetWindowLongW(form.Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_THICKFRAME);
}

struct NameCase {
    const char* what;
    std::wstring name; // relative to the test folder; "" stays empty
    bool passes;
};

TEST_F(ViewerForm, ViewStepValidatesTheName)
{
    WriteBytes(dir / L"scene.txt", SceneBytes(64, 3, 12000));
    WriteBytes(dir / L"noext", SceneBytes(64, 0, 9000));
    CreateDirectoryW((dir / L"folder").c_str(), nullptr);
    CreateDirectoryW((dir / L"x.max").c_str(), nullptr);
    CreateDirectoryW((dir / L"dir.max").c_str(), nullptr);

    const NameCase cases[] = {
        {"empty name", L"", false},
        {"missing .MAX", L"none.MAX", true},
        {"missing .Max", L"none.Max", true},
        {"missing .max", L"none.max", true},
        {"extension in a folder part", L"dir.max\\none", false},
        {"trailing blank", L"none.max ", false},
        {"missing, other extension", L"none.txt", false},
        {"existing, other extension", L"scene.txt", true},
        {"existing, no extension", L"noext", true},
        {"a folder", L"folder", false},
        {"a folder named x.max", L"x.max", true},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.boxes.clear();
        form.Memo1.SetText(L"before\r\n");
        form.Edit1.SetText(L"previous");
        const std::wstring name = c.name.empty() ? L"" : dir / c.name;
        View(name);
        if (c.passes) {
            EXPECT_TRUE(boxes.boxes.empty());
            EXPECT_EQ(form.Memo1.Lines(), std::vector<std::wstring>{L"Max文件:" + name});
            EXPECT_EQ(form.Edit1.Text().rfind(L"此文件版本:", 0), 0u);
        } else {
            ASSERT_EQ(boxes.boxes.size(), 1u);
            EXPECT_EQ(boxes.boxes[0].text, kRefused);
            EXPECT_EQ(boxes.boxes[0].caption, L"提示");
            EXPECT_EQ(boxes.boxes[0].style & 0xF0, static_cast<UINT>(MB_ICONINFORMATION));
            EXPECT_EQ(form.Memo1.Lines(), std::vector<std::wstring>{L"before"});
            EXPECT_EQ(form.Edit1.Text(), L"previous");
        }
    }
}

TEST_F(ViewerForm, ShowsTheReleaseOfAnExistingFileAndTheDefaultForAMissingOne)
{
    WriteBytes(dir / L"a.max", SceneBytes(4096, 1000, 12500));
    View(dir / L"a.max");
    EXPECT_EQ(form.Edit1.Text(), L"此文件版本:max2010");
    View(dir / L"missing.MAX");
    EXPECT_EQ(form.Edit1.Text(), L"此文件版本:无法获取版本.");
    EXPECT_EQ(form.Memo1.Lines(), std::vector<std::wstring>{L"Max文件:" + (dir / L"missing.MAX")});
}

TEST_F(ViewerForm, RefusedNameKeepsTheInitialHint)
{
    View(L"");
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(form.Memo1.Lines(), std::vector<std::wstring>{kHint});
    EXPECT_EQ(form.Edit1.Text(), L"");
}

TEST_F(ViewerForm, UnreadableFileReportsTheErrorAndKeepsThePreviousResult)
{
    WriteBytes(dir / L"good.max", SceneBytes(100, 0, 14000));
    View(dir / L"good.max");
    ASSERT_EQ(form.Edit1.Text(), L"此文件版本:max2012");

    const std::wstring locked = dir / L"locked.max";
    WriteBytes(locked, SceneBytes(100, 0, 9000));
    HANDLE holder = CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    View(locked);
    CloseHandle(holder);

    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, L"I/O error 32.");
    EXPECT_EQ(boxes.boxes[0].caption, L"viewer_wine_tests"); // the executable's name
    EXPECT_EQ(boxes.boxes[0].style & 0xF0, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(form.Memo1.Lines(), std::vector<std::wstring>{L"Max文件:" + locked});
    EXPECT_EQ(form.Edit1.Text(), L"此文件版本:max2012");

    // The window works on.
    boxes.boxes.clear();
    View(dir / L"good.max");
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(form.Edit1.Text(), L"此文件版本:max2012");
}

TEST_F(ViewerForm, DropViewsTheFirstFileOnly)
{
    WriteBytes(dir / L"first.max", SceneBytes(200, 50, 11000));
    WriteBytes(dir / L"second.max", SceneBytes(200, 50, 13000));
    HDROP drop = MakeDropHandle({dir / L"first.max", dir / L"second.max"});
    SendMessageW(form.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    EXPECT_EQ(form.MaxFileET.Text(), dir / L"first.max");
    EXPECT_EQ(form.Memo1.Lines(), std::vector<std::wstring>{L"Max文件:" + (dir / L"first.max")});
    EXPECT_EQ(form.Edit1.Text(), L"此文件版本:max2009");
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ViewerForm, DropOnAnInactiveWindowViewsWithoutActivatingIt)
{
    // Files are dropped from the shell's window, which stays the active one.
    WriteBytes(dir / L"scene.max", SceneBytes(200, 7, 12000));
    form.Show(SW_SHOWNORMAL);
    form.MaxFileET.SetFocus();
    const HWND shell = CreateWindowExW(0, L"STATIC", L"shell", WS_OVERLAPPED | WS_VISIBLE, 0, 0,
                                       200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(shell, nullptr);
    SetForegroundWindow(shell);
    SetActiveWindow(shell);
    ASSERT_EQ(GetActiveWindow(), shell);

    SendMessageW(form.Handle(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeDropHandle({dir / L"scene.max"})), 0);
    EXPECT_EQ(form.Edit1.Text(), L"此文件版本:max2010");
    EXPECT_EQ(GetActiveWindow(), shell);
    EXPECT_NE(GetFocus(), form.Button2.Handle());
    DestroyWindow(shell);
}

TEST_F(ViewerForm, DroppedFolderIsValidatedLikeATypedName)
{
    CreateDirectoryW((dir / L"models").c_str(), nullptr);
    HDROP drop = MakeDropHandle({dir / L"models"});
    SendMessageW(form.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, kRefused);
    EXPECT_EQ(form.Memo1.Lines(), std::vector<std::wstring>{kHint});
}

TEST_F(ViewerForm, DropOfAnUnreadableFileReportsAndReleasesTheDrop)
{
    const std::wstring locked = dir / L"locked.max";
    WriteBytes(locked, SceneBytes(100, 0, 9000));
    HANDLE holder = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HDROP drop = MakeDropHandle({locked});
    SendMessageW(form.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    CloseHandle(holder);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, L"I/O error 32.");
    EXPECT_EQ(GlobalFlags(drop), static_cast<UINT>(GMEM_INVALID_HANDLE)); // DragFinish freed it
}

TEST_F(ViewerForm, TabFollowsTheFormsOrder)
{
    form.Show(SW_SHOWNORMAL);
    form.MaxFileET.SetFocus();
    const winui::Control* order[] = {&form.Button1, &form.Memo1, &form.Button2, &form.Edit1,
                                     &form.MaxFileET};
    for (const winui::Control* next : order) {
        ASSERT_TRUE(form.MoveFocus(false));
        EXPECT_EQ(GetFocus(), next->Handle()) << next->Id();
    }
    ASSERT_TRUE(form.MoveFocus(true));
    EXPECT_EQ(GetFocus(), form.Edit1.Handle());
}

TEST_F(ViewerForm, ResultLineLiesInFrontOfTheMemo)
{
    // Of two overlapping siblings, the one nearer the top of the z-order paints last.
    HWND above = form.Edit1.Handle();
    bool memoBelow = false;
    for (HWND h = GetWindow(above, GW_HWNDNEXT); h; h = GetWindow(h, GW_HWNDNEXT))
        if (h == form.Memo1.Handle()) memoBelow = true;
    EXPECT_TRUE(memoBelow);
}

TEST(ErrorReportText, AddsAFullStopOnlyAfterHigherCharacters)
{
    EXPECT_EQ(winui::ErrorReportText(L"File access denied"), L"File access denied.");
    EXPECT_EQ(winui::ErrorReportText(L"Done."), L"Done.");
    EXPECT_EQ(winui::ErrorReportText(L"Stop!"), L"Stop!");
    EXPECT_EQ(winui::ErrorReportText(L"I/O error 5"), L"I/O error 5.");
    EXPECT_EQ(winui::ErrorReportText(L"失败"), L"失败.");
    EXPECT_EQ(winui::ErrorReportText(L""), L"");
}

} // namespace
