// Tarvosetup end to end: the built program, copied into a temporary folder, is walked
// through the wizard from outside with the UI driver and installs its payload into
// temporary directories; then every installed file is compared with its source.
//
// Usage: setup_e2e_tests [gtest flags] <Tarvosetup.exe> <setup.ini> <payload root>...
// Linux paths ("/x/y") are read as "Z:\x\y".
#include "SetupIds.h"
#include "UiDriver.h"
#include "WineTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace testing_support;

constexpr DWORD kTimeoutMs = 20000;

std::wstring g_setup;
std::wstring g_manifest;
std::vector<std::wstring> g_roots;

std::string Ansi(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(n - 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, bytes.data(), n, nullptr, nullptr);
    return bytes;
}

// The entries of the shipped manifest, read as the setup program reads them.
std::vector<std::wstring> ManifestEntries()
{
    std::vector<std::wstring> entries;
    const int count = GetPrivateProfileIntW(L"FCount", L"count", 0, g_manifest.c_str());
    for (int i = 1; i <= count; ++i) {
        wchar_t entry[1024];
        GetPrivateProfileStringW(L"Flist", (L"F" + std::to_wstring(i)).c_str(), L"", entry, 1024,
                                 g_manifest.c_str());
        entries.push_back(entry);
    }
    return entries;
}

// The payload file of an entry, from the first root that has it.
std::wstring SourceOf(const std::wstring& entry)
{
    for (const std::wstring& root : g_roots)
        if (FileExists(root + entry)) return root + entry;
    return L"";
}

class SetupE2e : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CopyFileW(g_setup.c_str(), (setupDir / L"Tarvosetup.exe").c_str(), FALSE));
        program.reset(new uidriver::RunningProgram(setupDir / L"Tarvosetup.exe", setupDir.Path()));
        ASSERT_TRUE(program->Started()) << "cannot start Tarvosetup: " << program->StartError();
        window = uidriver::WaitForTopWindow(TARVOSETUP_CAPTION, kTimeoutMs, program->Id());
        ASSERT_NE(window, nullptr) << "Tarvosetup's window did not appear";
    }

    HWND Control(int id) const
    {
        const HWND control = uidriver::FindControl(window, id);
        if (!control) throw uidriver::Error("no control " + std::to_string(id));
        return control;
    }
    std::wstring Text(int id) const { return uidriver::GetText(Control(id)); }
    bool Enabled(int id) const { return uidriver::GetState(Control(id)).enabled; }
    void Click(int id) { uidriver::PostClick(Control(id)); }
    void ClickNextAndWaitFor(const std::wstring& caption)
    {
        Click(IdNextOkbt);
        const bool reached = uidriver::WaitUntil(
            [&] { return Text(IdNextOkbt) == caption && Enabled(IdNextOkbt); }, kTimeoutMs);
        ASSERT_TRUE(reached) << "Next never read as expected; install log:\n"
                             << Ansi(Text(IdCxMemo2));
    }

    TempDir setupDir;
    TempDir installDir;
    std::unique_ptr<uidriver::RunningProgram> program;
    HWND window = nullptr;
};

TEST_F(SetupE2e, InstallsEveryPayloadFileAndFinishes)
{
    const std::wstring d = installDir / L"Tarvo\\MirelMax";
    const std::wstring r = installDir / L"Tarvo\\MirelRES";

    EXPECT_FALSE(Enabled(IdNextOkbt));
    Click(IdCheckBox1);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return Enabled(IdNextOkbt); }, kTimeoutMs));
    ASSERT_NO_FATAL_FAILURE(ClickNextAndWaitFor(L"下一步")); // the component check passed
    EXPECT_EQ(Text(IdMemo1), L"你的MDAC组件正常不用修复,点击下一步继续安装!");
    Click(IdNextOkbt);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return uidriver::GetState(Control(IdUpBT)).visible; },
                                    kTimeoutMs));
    uidriver::SetText(Control(IdSetpDirET), d);
    uidriver::SetText(Control(IdResDirET), r);
    uidriver::SetText(Control(IdMrBackUPet), installDir / L"Tarvo\\MirelBackUp");
    ASSERT_NO_FATAL_FAILURE(ClickNextAndWaitFor(L"开始安装"));
    EXPECT_TRUE(DirectoryExists(installDir / L"Tarvo\\MirelBackUp"));
    ASSERT_NO_FATAL_FAILURE(ClickNextAndWaitFor(L"完成"));
    EXPECT_EQ(uidriver::FindMessageBox(program->Id()), nullptr);

    const std::vector<std::wstring> entries = ManifestEntries();
    ASSERT_FALSE(entries.empty());
    std::wstring uninstall;
    for (const std::wstring& entry : entries) {
        SCOPED_TRACE(Ansi(entry));
        const std::wstring source = SourceOf(entry);
        ASSERT_FALSE(source.empty()) << "no source for the entry";
        ASSERT_TRUE(FileExists(d + entry));
        EXPECT_TRUE(ReadBytes(d + entry) == ReadBytes(source)) << "installed file differs";
        uninstall += d + entry + L"\r\n";
    }
    uninstall += d + L"\\~tmp.ini\r\n";
    EXPECT_EQ(ReadBytes(d + L"\\uninstall.lst"), Ansi(uninstall));
    EXPECT_FALSE(FileExists(setupDir / L"setup.ini"));

    const std::wstring log = Text(IdCxMemo2);
    EXPECT_NE(log.find(L"Extract \\data\\kiwa.db to " + d + L"\\data\\kiwa.db \r\n"), std::wstring::npos);

    Click(IdNextOkbt); // "完成" ends the program
    EXPECT_TRUE(program->WaitForExit(kTimeoutMs));
}

TEST_F(SetupE2e, DirectoryThatCannotBeCreatedIsReportedFromOutside)
{
    Click(IdCheckBox1);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return Enabled(IdNextOkbt); }, kTimeoutMs));
    ASSERT_NO_FATAL_FAILURE(ClickNextAndWaitFor(L"下一步"));
    Click(IdNextOkbt);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return uidriver::GetState(Control(IdUpBT)).visible; },
                                    kTimeoutMs));
    uidriver::SetText(Control(IdSetpDirET), L"Q:\\Tarvo\\MirelMax");
    Click(IdNextOkbt);
    const auto box = uidriver::WaitForMessageBox(program->Id(), kTimeoutMs);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, L"创建目录失败!");
    uidriver::PressOk(box->window);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return !uidriver::FindMessageBox(program->Id()); }, kTimeoutMs));
    EXPECT_EQ(Text(IdNextOkbt), L"下一步");
    EXPECT_TRUE(uidriver::GetState(Control(IdUpBT)).visible);
    EXPECT_TRUE(uidriver::GetState(Control(IdPageS2)).visible);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: setup_e2e_tests <Tarvosetup.exe> <setup.ini> <payload root>...\n");
        return 2;
    }
    g_setup = uidriver::WindowsPathOf(argv[1]);
    g_manifest = uidriver::WindowsPathOf(argv[2]);
    for (int i = 3; i < argc; ++i) g_roots.push_back(uidriver::WindowsPathOf(argv[i]));
    return RUN_ALL_TESTS();
}
