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

#include <algorithm>
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

// The entries of a list of the manifest, read key by key through the platform: the
// program files by default, the resource library with "KCount", "Kcount", "Klist", "K".
std::vector<std::wstring> ManifestEntries(const wchar_t* countSection = L"FCount",
                                          const wchar_t* countKey = L"count",
                                          const wchar_t* listSection = L"Flist",
                                          const wchar_t* prefix = L"F")
{
    std::vector<std::wstring> entries;
    const int count = GetPrivateProfileIntW(countSection, countKey, 0, g_manifest.c_str());
    for (int i = 1; i <= count; ++i) {
        wchar_t entry[1024];
        GetPrivateProfileStringW(listSection, (prefix + std::to_wstring(i)).c_str(), L"", entry,
                                 1024, g_manifest.c_str());
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

    HWND Control(int id) const { return uidriver::Control(window, id); }
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

    // Accepts the agreement, passes the component check and waits for the directory page.
    void GoToDirectoryPage()
    {
        Click(IdCheckBox1);
        ASSERT_TRUE(uidriver::WaitUntil([&] { return Enabled(IdNextOkbt); }, kTimeoutMs));
        ASSERT_NO_FATAL_FAILURE(ClickNextAndWaitFor(L"下一步"));
        Click(IdNextOkbt);
        ASSERT_TRUE(uidriver::WaitUntil([&] { return uidriver::GetState(Control(IdUpBT)).visible; },
                                        kTimeoutMs));
        ASSERT_TRUE(uidriver::GetState(Control(IdPageS2)).visible);
    }

    // Clicks a "选择..." button and waits for its folder picker, modal to the window.
    HWND OpenPicker(int button, const std::wstring& caption)
    {
        Click(button);
        const HWND picker = uidriver::WaitForDialog(program->Id(), kTimeoutMs, caption);
        if (!picker) throw uidriver::Error("no folder picker " + Ansi(caption));
        EXPECT_EQ(uidriver::OwnerOf(picker), window);
        EXPECT_FALSE(IsWindowEnabled(window)) << "the picker is not modal";
        return picker;
    }

    // The folder tree's selection, from the top.
    static std::vector<std::wstring> Selection(HWND picker)
    {
        const HWND tree = uidriver::FindControlOfClass(picker, L"SysTreeView32");
        if (!tree) throw uidriver::Error("the picker has no folder tree");
        return uidriver::TreeSelectionPath(tree);
    }

    // Whether the tree's selection ends in the given folders (the last one selected).
    static bool SelectionEndsIn(HWND picker, const std::vector<std::wstring>& tail)
    {
        const std::vector<std::wstring> path = Selection(picker);
        return path.size() >= tail.size() && std::equal(tail.begin(), tail.end(), path.end() - tail.size());
    }

    // Waits until the selection ends in the folders; false when it never does.
    static bool SelectionReaches(HWND picker, const std::vector<std::wstring>& tail)
    {
        return uidriver::WaitUntil([&] { return SelectionEndsIn(picker, tail); }, kTimeoutMs);
    }

    void Close(HWND picker, int button)
    {
        uidriver::PressButton(picker, button);
        ASSERT_TRUE(uidriver::WaitUntil([&] { return !IsWindow(picker) || !IsWindowVisible(picker); }, kTimeoutMs))
            << "the picker stays open";
        ASSERT_TRUE(uidriver::WaitUntil([&] { return IsWindowEnabled(window) != FALSE; }, kTimeoutMs));
    }

    // Waits until the control shows the text, then checks it.
    void ExpectTextSoon(int id, const std::wstring& text)
    {
        uidriver::WaitUntil([&] { return Text(id) == text; }, kTimeoutMs);
        EXPECT_EQ(Text(id), text);
    }

    // Lists every folder from the drive down to the folder. Wine's picker finds a folder
    // by comparing the item IDs it makes while it walks its tree with those of the
    // parsed name, byte for byte, and they carry each folder's last-access time. A
    // folder changed since it was last listed gets a new access time (relatime) when
    // the walk lists it, between the two, and the walk stops there. Listed now, the
    // folders keep their access times through the walk.
    static void ListFoldersOnPath(const std::wstring& folder)
    {
        for (std::size_t at = folder.find(L'\\'); at != std::wstring::npos; at = folder.find(L'\\', at + 1))
            ListFolder(folder.substr(0, at + 1));
        ListFolder(folder + L"\\");
    }
    static void ListFolder(const std::wstring& folder)
    {
        WIN32_FIND_DATAW found;
        const HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) return;
        while (FindNextFileW(find, &found)) {
        }
        FindClose(find);
    }

    // Opens the picker, selects the folder in it and confirms it.
    void PickFolder(int button, const std::wstring& caption, const std::wstring& folder,
                    const std::vector<std::wstring>& tail)
    {
        ListFoldersOnPath(folder);
        const HWND picker = OpenPicker(button, caption);
        uidriver::SelectPickerFolder(picker, folder);
        ASSERT_TRUE(SelectionReaches(picker, tail)) << "the picker did not select " << Ansi(folder);
        ASSERT_NO_FATAL_FAILURE(Close(picker, IDOK));
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
    ASSERT_NO_FATAL_FAILURE(GoToDirectoryPage());
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

TEST_F(SetupE2e, FolderPickersHaveTheirCaptionsAndCancelChangesNothing)
{
    ASSERT_NO_FATAL_FAILURE(GoToDirectoryPage());
    struct Case {
        int button;
        int edit;
        std::wstring caption;
        std::wstring label;
    };
    // The backup directory has no picker of its own: it shares the resource library's.
    const Case cases[] = {
        {IdSpeedButton1, IdSetpDirET, L"选择程序安装目录", L"程序安装目录"},
        {IdSpeedButton2, IdResDirET, L"选择资源库目录", L"资源库目录"},
        {IdSpeedButton3, IdMrBackUPet, L"选择资源库目录", L"资源库目录"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Ansi(c.caption) + " from button " + std::to_string(c.button));
        const std::wstring before = Text(c.edit);
        ASSERT_FALSE(before.empty());
        const HWND picker = OpenPicker(c.button, c.caption);
        EXPECT_NE(uidriver::FindControl(picker, L"Static", c.label), nullptr) << "no label above the tree";
        ASSERT_NO_FATAL_FAILURE(Close(picker, IDCANCEL));
        EXPECT_EQ(Text(c.edit), before);
    }
}

TEST_F(SetupE2e, ConfirmedFolderFillsTheEditAndItsPickerReopensThere)
{
    // The folders are made under %TEMP%, on drive C:: Wine's picker does not find
    // folders below Z: by their names.
    const std::wstring folderName = installDir.Path().substr(installDir.Path().find_last_of(L'\\') + 1);
    const std::wstring programDir = installDir / L"程序 目录";
    const std::wstring libraryDir = installDir / L"资源库";
    ASSERT_TRUE(CreateDirectoryW(programDir.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(libraryDir.c_str(), nullptr));
    const std::vector<std::wstring> programTail{folderName, L"程序 目录"};
    const std::vector<std::wstring> libraryTail{folderName, L"资源库"};
    ASSERT_NO_FATAL_FAILURE(GoToDirectoryPage());
    const std::wstring backupBefore = Text(IdMrBackUPet);

    ASSERT_NO_FATAL_FAILURE(PickFolder(IdSpeedButton1, L"选择程序安装目录", programDir, programTail));
    ExpectTextSoon(IdSetpDirET, programDir);
    ListFoldersOnPath(programDir);
    HWND picker = OpenPicker(IdSpeedButton1, L"选择程序安装目录");
    EXPECT_TRUE(SelectionReaches(picker, programTail)) << "the picker does not start at the chosen folder";
    ASSERT_NO_FATAL_FAILURE(Close(picker, IDCANCEL));
    EXPECT_EQ(Text(IdSetpDirET), programDir);

    // The resource library's picker is the backup directory's too: a folder chosen for
    // the library is where the backup picker starts, and only the library's edit takes it.
    ASSERT_NO_FATAL_FAILURE(PickFolder(IdSpeedButton2, L"选择资源库目录", libraryDir, libraryTail));
    ExpectTextSoon(IdResDirET, libraryDir);
    EXPECT_EQ(Text(IdMrBackUPet), backupBefore);
    ListFoldersOnPath(libraryDir);
    picker = OpenPicker(IdSpeedButton3, L"选择资源库目录");
    EXPECT_TRUE(SelectionReaches(picker, libraryTail)) << "the backup picker does not start at the library";
    ASSERT_NO_FATAL_FAILURE(Close(picker, IDCANCEL));
    EXPECT_EQ(Text(IdMrBackUPet), backupBefore);

    // The program picker keeps its own folder.
    ListFoldersOnPath(programDir);
    picker = OpenPicker(IdSpeedButton1, L"选择程序安装目录");
    EXPECT_TRUE(SelectionReaches(picker, programTail));
    ASSERT_NO_FATAL_FAILURE(Close(picker, IDCANCEL));
}

// The shipped program files with a resource library of 5,000 small files: the install
// step at scale, watched from outside while it runs.
class SetupAtScaleE2e : public SetupE2e {
protected:
    static constexpr DWORD kInstallTimeoutMs = 600000;

    void SetUp() override
    {
        SetupE2e::SetUp();
        programs = ManifestEntries();
        library = ManifestEntries(L"KCount", L"Kcount", L"Klist", L"K");
        ASSERT_EQ(library.size(), 5000u) << "not the payload of the install at scale";
    }

    // Walks the wizard to "开始安装" and clicks it.
    void StartInstall()
    {
        ASSERT_NO_FATAL_FAILURE(GoToDirectoryPage());
        uidriver::SetText(Control(IdSetpDirET), d);
        uidriver::SetText(Control(IdResDirET), r);
        uidriver::SetText(Control(IdMrBackUPet), installDir / L"Tarvo\\MirelBackUp");
        ASSERT_NO_FATAL_FAILURE(ClickNextAndWaitFor(L"开始安装"));
        Click(IdNextOkbt);
    }

    // Whether the bar stands inside the resource-library pass: past the program files,
    // short of its end.
    bool InLibraryPass(int position) const
    {
        return position > static_cast<int>(programs.size()) && position < static_cast<int>(library.size());
    }
    int Progress() const { return uidriver::ProgressPosition(Control(IdPB)); }

    // Every file in place byte for byte, the uninstall list, and nothing left over.
    void ExpectInstalled()
    {
        std::wstring uninstall;
        for (const std::wstring& entry : programs) {
            SCOPED_TRACE(Ansi(entry));
            ASSERT_TRUE(ReadBytes(d + entry) == ReadBytes(SourceOf(entry)));
            uninstall += d + entry + L"\r\n";
        }
        EXPECT_EQ(ReadBytes(d + L"\\uninstall.lst"), Ansi(uninstall + d + L"\\~tmp.ini\r\n"));
        for (const std::wstring& entry : library) {
            SCOPED_TRACE(Ansi(entry));
            ASSERT_TRUE(ReadBytes(r + entry) == ReadBytes(SourceOf(entry)));
        }
        EXPECT_FALSE(FileExists(setupDir / L"setup.ini"));
        EXPECT_EQ(TemporaryFilesBelow(installDir.Path()), 0);
    }

    static int TemporaryFilesBelow(const std::wstring& folder)
    {
        int found = 0;
        WIN32_FIND_DATAW data;
        const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return 0;
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                found += TemporaryFilesBelow(folder + L"\\" + name);
            else if (name.size() > 8 && name.compare(name.size() - 8, 8, L".tvs.tmp") == 0)
                ++found;
        } while (FindNextFileW(find, &data));
        FindClose(find);
        return found;
    }

    const std::wstring d = installDir / L"Tarvo\\MirelMax";
    const std::wstring r = installDir / L"Tarvo\\资源库";
    std::vector<std::wstring> programs, library;
};

TEST_F(SetupAtScaleE2e, InstallsThousandsOfFilesWhileTheWindowKeepsAnswering)
{
    ASSERT_NO_FATAL_FAILURE(StartInstall());
    // While the files are written, the window answers: the bar is seen on its way, and a
    // close sent by another program early in the pass is answered and refused.
    bool seenOnItsWay = false, closeAnswered = false;
    const bool filled = uidriver::WaitUntil(
        [&] {
            const int position = Progress();
            if (InLibraryPass(position)) {
                seenOnItsWay = true;
                if (!closeAnswered && position < 2500) {
                    uidriver::SendClose(window);
                    closeAnswered = true;
                }
            }
            return position == 5000;
        },
        kInstallTimeoutMs);
    ASSERT_TRUE(filled) << "the progress bar never reached its end";
    EXPECT_TRUE(seenOnItsWay) << "the progress bar was never seen between its start and its end";
    EXPECT_TRUE(closeAnswered) << "the bar was not seen early in the library pass";
    ASSERT_TRUE(uidriver::WaitUntil([&] { return Text(IdNextOkbt) == L"完成" && Enabled(IdNextOkbt); },
                                    kInstallTimeoutMs))
        << "the install did not finish";
    ASSERT_TRUE(IsWindow(window)) << "the window closed during the install";
    EXPECT_EQ(Progress(), 5000);
    EXPECT_EQ(uidriver::ProgressMaximum(Control(IdPB)), 5000);

    // The log: a line for every file, in the manifest's order, then what follows them.
    std::vector<std::wstring> expected;
    for (const std::wstring& entry : programs) expected.push_back(L"Extract " + entry + L" to " + d + entry + L" ");
    for (const std::wstring& entry : library) expected.push_back(L"Extract " + entry + L" to " + r + entry + L" ");
    const std::wstring log = Text(IdCxMemo2);
    std::vector<std::wstring> lines;
    for (std::size_t at = 0, end; (end = log.find(L"\r\n", at)) != std::wstring::npos; at = end + 2)
        lines.push_back(log.substr(at, end - at));
    ASSERT_GT(lines.size(), 5039u);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), lines.begin())) << "the log differs";
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::wstring& line) { return line.rfind(L"Extract ", 0) == 0; }),
              5039);

    ExpectInstalled();
    Click(IdNextOkbt);
    EXPECT_TRUE(program->WaitForExit(kTimeoutMs));
}

TEST_F(SetupAtScaleE2e, CloseDuringTheInstallEndsTheProgramOnceEveryFileIsComplete)
{
    ASSERT_NO_FATAL_FAILURE(StartInstall());
    ASSERT_TRUE(uidriver::WaitUntil([&] { return InLibraryPass(Progress()); }, kInstallTimeoutMs));
    uidriver::PostClose(window); // as the close box asks
    ASSERT_TRUE(program->WaitForExit(kInstallTimeoutMs)) << "the program did not end";
    ExpectInstalled();
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
