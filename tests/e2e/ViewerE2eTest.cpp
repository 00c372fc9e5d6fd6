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

#include <cstdio>
#include <string>
#include <vector>

namespace {

using testing_support::SceneBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

constexpr DWORD kTimeoutMs = 10000;

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

    HWND Control(int id) const
    {
        const HWND control = uidriver::FindControl(window_, id);
        if (!control) throw uidriver::Error("no control " + std::to_string(id));
        return control;
    }
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
