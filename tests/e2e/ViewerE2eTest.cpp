// Kelpview end to end: every test starts the built program as a fresh process, works
// its window from outside with the UI driver, and ends the process.
//
// Usage: viewer_e2e_tests [gtest flags] [path of Kelpview.exe]
// A Linux path ("/x/y") is read as "Z:\x\y"; without one, the Kelpview.exe of the same
// build tree is used.
#include "KelpviewIds.h"
#include "UiDriver.h"
#include "WineTestSupport.h"

#include <gtest/gtest.h>

#include <dlgs.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using testing_support::SceneBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

constexpr DWORD kTimeoutMs = 10000;
// What the window shows before anything is viewed.
const std::wstring kStartMemo = L"可以直接把MAX文件拖入到软件上面查看.\r\n";

std::wstring g_kelpview;

std::wstring KelpviewOfThisBuild()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path);
    name.erase(name.find_last_of(L'\\') + 1);
    return name + L"..\\..\\viewer\\Kelpview.exe";
}

class KelpviewE2e : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(program_.Started()) << "cannot start Kelpview (error " << program_.StartError() << ")";
        window_ = uidriver::WaitForTopWindow(KELPVIEW_CAPTION, kTimeoutMs, program_.Id());
        ASSERT_NE(window_, nullptr) << "Kelpview's window did not appear";
    }

    HWND Control(int id) const { return uidriver::Control(window_, id); }
    std::wstring Text(int id) const { return uidriver::GetText(Control(id)); }

    // Types the name and clicks "查看".
    void View(const std::wstring& name)
    {
        uidriver::SetText(Control(IdMaxFileET), name);
        uidriver::PostClick(Control(IdButton2));
    }

    // Waits until the window shows the view of the name, then checks both texts.
    void ExpectViewed(const std::wstring& name, const std::wstring& release)
    {
        const std::wstring memo = L"Max文件:" + name + L"\r\n";
        const std::wstring result = L"此文件版本:" + release;
        uidriver::WaitUntil([&] { return Text(IdMemo1) == memo && Text(IdEdit1) == result; }, kTimeoutMs);
        EXPECT_EQ(Text(IdMemo1), memo);
        EXPECT_EQ(Text(IdEdit1), result);
    }

    // Clicks "选择文件" and waits for the file dialog; checks that it is modal to the window.
    HWND OpenFileDialog()
    {
        uidriver::PostClick(Control(IdButton1));
        const HWND dialog = uidriver::WaitForDialog(program_.Id(), kTimeoutMs);
        if (!dialog) throw uidriver::Error("the file dialog did not appear");
        EXPECT_EQ(uidriver::OwnerOf(dialog), window_);
        EXPECT_FALSE(IsWindowEnabled(window_)) << "the dialog is not modal";
        return dialog;
    }

    // The file-name box: the edit of the name combo box, or the plain name edit of the
    // dialog's other style.
    static HWND FileNameBox(HWND dialog)
    {
        for (const int id : {cmb13, edt1})
            if (const HWND box = uidriver::FindControlOfClass(dialog, L"Edit", id)) return box;
        throw uidriver::Error("the file dialog has no file-name box");
    }

    // Types the name into the dialog and presses Open.
    static void TypeAndOpen(HWND dialog, const std::wstring& name)
    {
        uidriver::SetText(FileNameBox(dialog), name);
        uidriver::PressButton(dialog, IDOK);
    }

    // Waits until the dialog has gone and the window is usable again.
    void ExpectDialogClosed(HWND dialog)
    {
        EXPECT_TRUE(uidriver::WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, kTimeoutMs))
            << "the file dialog stays open";
        EXPECT_TRUE(uidriver::WaitUntil([&] { return IsWindowEnabled(window_) != FALSE; }, kTimeoutMs));
    }

    TempDir dir_;
    uidriver::RunningProgram program_{g_kelpview};
    HWND window_ = nullptr;
};

TEST_F(KelpviewE2e, TypedNamesAreViewedOneAfterAnother)
{
    WriteBytes(dir_ / L"场景.max", SceneBytes(4096, 1000, 12000));
    WriteBytes(dir_ / L"Old Scene.MAX", SceneBytes(4096, 3000, 11999));
    WriteBytes(dir_ / L"notes.txt", "no marker in here");

    struct Case {
        std::wstring name;
        std::wstring release;
    };
    const Case cases[] = {
        {dir_ / L"场景.max", L"max2010"},
        {dir_ / L"Old Scene.MAX", L"max2009"},
        {dir_ / L"notes.txt", L"无法获取版本."},  // any existing file is viewed
        {dir_ / L"gone.Max", L"无法获取版本."},   // a missing name passes on its extension
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "name " << testing::PrintToString(c.name));
        View(c.name);
        ExpectViewed(c.name, c.release);
        EXPECT_EQ(uidriver::FindMessageBox(program_.Id()), nullptr);
    }
}

TEST_F(KelpviewE2e, DropViewsOnlyTheFirstFile)
{
    const std::wstring first = dir_ / L"first.max";
    const std::wstring second = dir_ / L"second.max";
    WriteBytes(first, SceneBytes(2048, 100, 11000));
    WriteBytes(second, SceneBytes(2048, 100, 12000));

    uidriver::DropFiles(window_, {first, second});

    ExpectViewed(first, L"max2009");
    EXPECT_EQ(Text(IdMaxFileET), first);
}

TEST_F(KelpviewE2e, RefusedNameShowsTheInfoBoxAndTheWindowStaysUsable)
{
    const std::wstring memoBefore = Text(IdMemo1);
    const std::wstring resultBefore = Text(IdEdit1);

    View(dir_ / L"x.txt");

    const auto box = uidriver::WaitForMessageBox(program_.Id(), kTimeoutMs);
    ASSERT_TRUE(box) << "no message box appeared";
    EXPECT_EQ(box->caption, L"提示");
    EXPECT_EQ(box->text, L"请选择正确的MAX文件!");

    uidriver::PressOk(box->window);
    EXPECT_TRUE(uidriver::WaitUntil([&] { return !uidriver::FindMessageBox(program_.Id()); }, kTimeoutMs))
        << "the message box stays open";
    // The texts are read once Kelpview answers again, so after its click handler has
    // finished: the refused name must not have been viewed.
    EXPECT_EQ(Text(IdMemo1), memoBefore);
    EXPECT_EQ(Text(IdEdit1), resultBefore);

    const std::wstring scene = dir_ / L"after.max";
    WriteBytes(scene, SceneBytes(1024, 0, 12500));
    View(scene);
    ExpectViewed(scene, L"max2010");
}

TEST_F(KelpviewE2e, OpenDialogOffersMaxFilesAndPutsTheChosenNameInTheBoxWithoutViewing)
{
    const std::wstring scene = dir_ / L"场景 一.max";
    WriteBytes(scene, SceneBytes(4096, 2000, 12000));
    ASSERT_EQ(Text(IdMemo1), kStartMemo);
    ASSERT_EQ(Text(IdEdit1), L"");

    const HWND dialog = OpenFileDialog();
    const HWND types = uidriver::FindControlOfClass(dialog, L"ComboBox", cmb1);
    ASSERT_NE(types, nullptr) << "the file dialog has no file-type box";
    EXPECT_EQ(uidriver::ComboItems(types), (std::vector<std::wstring>{L"*.max", L"*.*"}));
    EXPECT_EQ(uidriver::ComboSelection(types), 0);
    EXPECT_EQ(uidriver::GetText(types), L"*.max");

    TypeAndOpen(dialog, scene);
    EXPECT_TRUE(uidriver::WaitUntil([&] { return Text(IdMaxFileET) == scene; }, kTimeoutMs));
    EXPECT_EQ(Text(IdMaxFileET), scene);
    ExpectDialogClosed(dialog);
    // Choosing a file only fills the box: nothing is viewed before "查看".
    EXPECT_EQ(Text(IdMemo1), kStartMemo);
    EXPECT_EQ(Text(IdEdit1), L"");

    uidriver::PostClick(Control(IdButton2));
    ExpectViewed(scene, L"max2010");
}

TEST_F(KelpviewE2e, CancelledOpenDialogChangesNothing)
{
    const std::wstring scene = dir_ / L"scene.max";
    WriteBytes(scene, SceneBytes(1024, 10, 12000));
    const std::wstring typed = dir_ / L"typed before.max";
    uidriver::SetText(Control(IdMaxFileET), typed);

    const HWND dialog = OpenFileDialog();
    uidriver::SetText(FileNameBox(dialog), scene); // typed, but then cancelled
    uidriver::PressButton(dialog, IDCANCEL);
    ExpectDialogClosed(dialog);

    EXPECT_EQ(Text(IdMaxFileET), typed);
    EXPECT_EQ(Text(IdMemo1), kStartMemo);
    EXPECT_EQ(Text(IdEdit1), L"");
}

// The default extension is "max": a name typed without one gets it when that file exists.
TEST_F(KelpviewE2e, NameWithoutExtensionGetsMax)
{
    const std::wstring scene = dir_ / L"scene.max";
    WriteBytes(scene, SceneBytes(1024, 10, 12000));

    // A full name without the extension.
    HWND dialog = OpenFileDialog();
    TypeAndOpen(dialog, dir_ / L"scene");
    EXPECT_TRUE(uidriver::WaitUntil([&] { return Text(IdMaxFileET) == scene; }, kTimeoutMs));
    EXPECT_EQ(Text(IdMaxFileET), scene);
    ExpectDialogClosed(dialog);

    // The bare name in the dialog's current folder: a folder typed and opened becomes
    // the current one, and the dialog stays open.
    uidriver::SetText(Control(IdMaxFileET), L"");
    dialog = OpenFileDialog();
    TypeAndOpen(dialog, dir_.Path());
    const HWND lookIn = uidriver::FindControlOfClass(dialog, L"ComboBox", cmb2);
    ASSERT_NE(lookIn, nullptr) << "the file dialog has no folder box";
    const std::wstring folderName = dir_.Path().substr(dir_.Path().find_last_of(L'\\') + 1);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return uidriver::GetText(lookIn) == folderName; }, kTimeoutMs))
        << "the dialog did not move into the folder";
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(Text(IdMaxFileET), L"");
    TypeAndOpen(dialog, L"scene");
    EXPECT_TRUE(uidriver::WaitUntil([&] { return Text(IdMaxFileET) == scene; }, kTimeoutMs));
    EXPECT_EQ(Text(IdMaxFileET), scene);
    ExpectDialogClosed(dialog);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    testing::InitGoogleTest(&argc, argv);
    g_kelpview = argc > 1 ? uidriver::WindowsPathOf(argv[1]) : KelpviewOfThisBuild();
    const DWORD attributes = GetFileAttributesW(g_kelpview.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        std::fprintf(stderr, "viewer_e2e_tests: Kelpview.exe not found; give its path\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
