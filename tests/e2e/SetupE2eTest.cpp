// Tarvosetup end to end: the built program, copied into a temporary folder, is walked
// through the wizard from outside with the UI driver and installs its payload into
// temporary directories; then every installed file is compared with its source, and
// the two that the install changes (config\config.ini, data\kiwa.db) are checked.
//
// Usage: setup_e2e_tests [gtest flags] <Tarvosetup.exe> <setup.ini> <payload root>...
// Linux paths ("/x/y") are read as "Z:\x\y".
#include "AppDatabaseFile.h"
#include "Com.h"
#include "SetupIds.h"
#include "Text.h"
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

// A string value under HKEY_LOCAL_MACHINE, or "<missing>".
std::wstring MachineString(const std::wstring& key, const std::wstring& name)
{
    wchar_t value[1024];
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS)
        return L"<missing>";
    return value;
}

std::wstring ImagePathOf(DWORD processId)
{
    const winui::KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    wchar_t path[MAX_PATH] = L"";
    DWORD size = MAX_PATH;
    if (!process || !QueryFullProcessImageNameW(process.Get(), 0, path, &size)) return L"";
    return path;
}

// The files that the install writes into after extracting them.
const wchar_t kConfigEntry[] = L"\\config\\config.ini";
const wchar_t kDatabaseEntry[] = L"\\data\\kiwa.db";

// The shipped configuration with the lines of updateurl, ver and backupPath set to the
// values the install writes: the padding before "=" goes, everything else stays.
std::string ExpectedConfiguration(const std::wstring& backupDir)
{
    const std::pair<std::string, std::string> written[] = {
        {"updateurl", "http://update.tarvo.example/update/update.cfm"},
        {"ver", "1.42"},
        {"backupPath", Ansi(backupDir)},
    };
    std::string expected;
    for (const std::string& line : LinesOf(ReadBytes(SourceOf(kConfigEntry)))) {
        std::string out = line;
        const std::size_t equals = line.find('=');
        std::string name = line.substr(0, equals == std::string::npos ? 0 : equals);
        name.erase(name.find_last_not_of(' ') + 1);
        for (const auto& [key, value] : written)
            if (equals != std::string::npos && _stricmp(name.c_str(), key.c_str()) == 0) out = name + "=" + value;
        expected += out + "\r\n";
    }
    return expected;
}

// The database and configuration of an install into d with the resource directory r
// and the backup directory b, all as typed.
void ExpectInstallWritten(const std::wstring& d, const std::wstring& r, const std::wstring& b)
{
    const std::vector<ConfigRow> rows = ConfigRows(d + kDatabaseEntry);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].mrrespath, r);
    EXPECT_TRUE(IsLowerHexKey(rows[0].softkey)) << Ansi(rows[0].softkey);
    EXPECT_EQ(ReadBytes(d + kConfigEntry), ExpectedConfiguration(b));
}

// The last two lines of the install log.
void ExpectLogEndsWithTheDataStep(const std::wstring& log)
{
    const std::wstring tail = L"\r\n写入数据成功!\r\n已完成所有安装...";
    std::wstring trimmed = log;
    while (!trimmed.empty() && (trimmed.back() == L'\n' || trimmed.back() == L'\r')) trimmed.pop_back();
    EXPECT_TRUE(trimmed.size() >= tail.size() && trimmed.compare(trimmed.size() - tail.size(), tail.size(), tail) == 0)
        << "install log:\n" << Ansi(log);
}

class SetupE2e : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(StartSetup()); }

    // Copies Tarvosetup into its own folder, starts it and waits for its window.
    void StartSetup()
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

    // Accepts the agreement, clicks Next and waits for the component check's verdict:
    // the components work and Next is enabled. (Next reads "下一步" before the check as
    // well, so its text tells nothing.)
    void PassComponentCheck()
    {
        Click(IdCheckBox1);
        ASSERT_TRUE(uidriver::WaitUntil([&] { return Enabled(IdNextOkbt); }, kTimeoutMs));
        Click(IdNextOkbt);
        ExpectTextSoon(IdMemo1, L"你的MDAC组件正常不用修复,点击下一步继续安装!");
        ASSERT_TRUE(uidriver::WaitUntil([&] { return Enabled(IdNextOkbt); }, kTimeoutMs));
    }

    // Accepts the agreement, passes the component check and waits for the directory page.
    void GoToDirectoryPage()
    {
        ASSERT_NO_FATAL_FAILURE(PassComponentCheck());
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

    // Walks the wizard from the agreement to "完成" with the three directories.
    void InstallInto(const std::wstring& program, const std::wstring& resources, const std::wstring& backup)
    {
        ASSERT_NO_FATAL_FAILURE(GoToDirectoryPage());
        uidriver::SetText(Control(IdSetpDirET), program);
        uidriver::SetText(Control(IdResDirET), resources);
        uidriver::SetText(Control(IdMrBackUPet), backup);
        ASSERT_NO_FATAL_FAILURE(ClickNextAndWaitFor(L"开始安装"));
        ASSERT_NO_FATAL_FAILURE(ClickNextAndWaitFor(L"完成"));
    }

    winui::ComApartment com;
    InstallTraceGuard restoreAfterwards; // the registry values, file type and shortcut
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
    ASSERT_NO_FATAL_FAILURE(PassComponentCheck());
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
        if (entry != kConfigEntry && entry != kDatabaseEntry) { // those two are checked below
            EXPECT_TRUE(ReadBytes(d + entry) == ReadBytes(source)) << "installed file differs";
        }
        uninstall += d + entry + L"\r\n";
    }
    uninstall += d + L"\\~tmp.ini\r\n";
    EXPECT_EQ(ReadBytes(d + L"\\uninstall.lst"), Ansi(uninstall));
    EXPECT_FALSE(FileExists(setupDir / L"setup.ini"));

    ExpectInstallWritten(d, r, installDir / L"Tarvo\\MirelBackUp");

    const std::wstring log = Text(IdCxMemo2);
    EXPECT_NE(log.find(L"Extract \\data\\kiwa.db to " + d + L"\\data\\kiwa.db \r\n"), std::wstring::npos);
    ExpectLogEndsWithTheDataStep(log);

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

TEST_F(SetupE2e, InstallOverARunningApplicationStopsItAndIntegratesWithTheShell)
{
    const std::wstring d = installDir / L"Tarvo\\MirelMax";
    const std::wstring r = installDir / L"Tarvo\\MirelRES";
    const std::wstring b = installDir / L"Tarvo\\MirelBackUp";
    ASSERT_NO_FATAL_FAILURE(InstallInto(d, r, b));
    Click(IdNextOkbt);
    ASSERT_TRUE(program->WaitForExit(kTimeoutMs));

    // The application of that install runs from the program directory and keeps its
    // executable in use.
    uidriver::RunningProgram earlier(d + L"\\kiwa.exe", d);
    ASSERT_TRUE(earlier.Started());
    ASSERT_NE(uidriver::WaitForTopWindow(L"kiwa", kTimeoutMs, earlier.Id()), nullptr);
    const HANDLE inUse = CreateFileW((d + L"\\kiwa.exe").c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
    ASSERT_EQ(inUse, INVALID_HANDLE_VALUE) << "the running program's file can be written";
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    ASSERT_NO_FATAL_FAILURE(StartSetup());
    ASSERT_NO_FATAL_FAILURE(InstallInto(d, r, b));
    EXPECT_EQ(uidriver::FindMessageBox(program->Id()), nullptr);
    EXPECT_TRUE(earlier.WaitForExit(0)) << "the running application was not stopped";
    EXPECT_TRUE(ReadBytes(d + L"\\kiwa.exe") == ReadBytes(SourceOf(L"\\kiwa.exe")));
    const std::wstring log = Text(IdCxMemo2);
    EXPECT_NE(log.find(L"\r\n注册TVK文件成功! \r\n"), std::wstring::npos) << Ansi(log);

    const std::wstring shortcut = DesktopFolder() + L"\\Tarvo资源管理系统.lnk";
    EXPECT_EQ(MachineString(L"software\\MirelMax", L"MirelMaxPath"), d);
    EXPECT_EQ(MachineString(L"software\\MirelMax", L"MirelLink"), shortcut);
    ASSERT_TRUE(FileExists(shortcut));
    const ShellLinkContents link = ReadShellLink(shortcut);
    EXPECT_EQ(link.path, d + L"\\kiwa.exe");
    EXPECT_EQ(link.workingDir, d);

    // Opening a resource package through the shell starts the installed application
    // with the package.
    const std::wstring package = installDir / L"模型 一.tvk";
    WriteBytes(package, "package");
    const auto opened = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", package.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    ASSERT_GT(opened, 32) << "the shell cannot open a .tvk file";
    const HWND viewer = uidriver::WaitForTopWindow(L"kiwa", kTimeoutMs);
    ASSERT_NE(viewer, nullptr) << "no application window";
    const DWORD viewerProcess = uidriver::ProcessOf(viewer);
    const winui::KernelHandle started(OpenProcess(PROCESS_TERMINATE, FALSE, viewerProcess));
    struct StopOnExit {
        HANDLE process;
        ~StopOnExit()
        {
            if (process) TerminateProcess(process, 0);
        }
    } stop{started.Get()};
    EXPECT_EQ(ImagePathOf(viewerProcess), d + L"\\kiwa.exe");
    const HWND text = uidriver::FindControlOfClass(viewer, L"Static");
    ASSERT_NE(text, nullptr);
    EXPECT_NE(uidriver::GetText(text).find(L"File: " + package), std::wstring::npos)
        << Ansi(uidriver::GetText(text));
    Click(IdNextOkbt);
    EXPECT_TRUE(program->WaitForExit(kTimeoutMs));
}

TEST_F(SetupE2e, DirectoriesEndingInABackslashAreStoredAsTyped)
{
    const std::wstring d = installDir / L"Tarvo\\MirelMax";
    const std::wstring r = installDir / L"Tarvo\\资源库\\";
    const std::wstring b = installDir / L"Tarvo\\备份\\";
    ASSERT_NO_FATAL_FAILURE(InstallInto(d, r, b));
    EXPECT_EQ(uidriver::FindMessageBox(program->Id()), nullptr);

    ExpectInstallWritten(d, r, b);
    ExpectLogEndsWithTheDataStep(Text(IdCxMemo2));
    Click(IdNextOkbt);
    EXPECT_TRUE(program->WaitForExit(kTimeoutMs));
}

// What the registry says of ADO's connection class now, for the message of a repair that
// did not help.
std::string AdoConnectionServer()
{
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(L"ADODB.Connection", &clsid))) return "ADODB.Connection is not registered";
    wchar_t name[64] = {};
    StringFromGUID2(clsid, name, 64);
    wchar_t server[MAX_PATH] = {};
    DWORD size = sizeof server;
    const std::wstring key = std::wstring(L"CLSID\\") + name + L"\\InprocServer32";
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, server, &size) != ERROR_SUCCESS)
        return "ADODB.Connection has no InprocServer32";
    return "ADODB.Connection is served by " + Ansi(server);
}

TEST_F(SetupE2e, RepairsUnregisteredComponentsThenInstalls)
{
    AdoUnregistered unregistered;
    ASSERT_EQ(unregistered.exitCode, 0u);
    const std::wstring d = installDir / L"Tarvo\\MirelMax";

    Click(IdCheckBox1);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return Enabled(IdNextOkbt); }, kTimeoutMs));
    Click(IdNextOkbt);
    // Four registrations, each a cmd.exe and a regsvr32.exe under Wine.
    const bool repaired = uidriver::WaitUntil(
        [&] { return Text(IdMemo1).find(L"尝试修复完毕.") != std::wstring::npos && Enabled(IdNextOkbt); },
        120000, 200);
    const std::wstring log = Text(IdMemo1);
    ASSERT_TRUE(repaired) << "Memo1: " << Ansi(log) << "\n" << AdoConnectionServer();
    // The count line, maybe a line of dots (one a second of the batch), the closing line.
    const std::wstring start = L"开始尝试修复MDAC数据组件.(预计注册组件:4)\r\n";
    const std::wstring end = L"尝试修复完毕.\r\n";
    ASSERT_EQ(log.rfind(start, 0), 0u) << Ansi(log);
    ASSERT_GE(log.size(), start.size() + end.size());
    EXPECT_EQ(log.substr(log.size() - end.size()), end) << Ansi(log);
    std::wstring dots = log.substr(start.size(), log.size() - start.size() - end.size());
    if (!dots.empty()) {
        EXPECT_EQ(dots.substr(dots.size() - 2), L"\r\n") << Ansi(log);
        dots.resize(dots.size() - 2);
    }
    EXPECT_EQ(dots.find_first_not_of(L'.'), std::wstring::npos) << Ansi(log);
    EXPECT_FALSE(FileExists(setupDir / L"packado.bat"));

    Click(IdNextOkbt);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return uidriver::GetState(Control(IdPageS2)).visible; },
                                    kTimeoutMs));
    uidriver::SetText(Control(IdSetpDirET), d);
    uidriver::SetText(Control(IdResDirET), installDir / L"Tarvo\\MirelRES");
    uidriver::SetText(Control(IdMrBackUPet), installDir / L"Tarvo\\MirelBackUp");
    ASSERT_NO_FATAL_FAILURE(ClickNextAndWaitFor(L"开始安装"));
    ASSERT_NO_FATAL_FAILURE(ClickNextAndWaitFor(L"完成"));
    EXPECT_EQ(uidriver::FindMessageBox(program->Id()), nullptr);
    EXPECT_TRUE(ReadBytes(d + L"\\kiwa.exe") == ReadBytes(SourceOf(L"\\kiwa.exe")));
    EXPECT_TRUE(FileExists(d + L"\\uninstall.lst"));
    Click(IdNextOkbt);
    EXPECT_TRUE(program->WaitForExit(kTimeoutMs));
}

// An upgrade over an earlier installation whose program directory was typed with or
// without a trailing backslash: the same result either way.
class SetupUpgradeE2e : public SetupE2e, public ::testing::WithParamInterface<bool> {
protected:
    void FinishAndWaitForExit()
    {
        Click(IdNextOkbt);
        ASSERT_TRUE(program->WaitForExit(kTimeoutMs)) << "Tarvosetup did not end";
    }
    bool BoxChecked() { return uidriver::GetState(Control(IdHaveOldInfoCB)).checked == BST_CHECKED; }
};

// The kept database is the user's own file. Table by table it holds what the user left
// in it, the key column included: that key was not empty, so the install writes the
// same key back. As a file it is the user's bytes too, except where SQLite records a
// write: the change counters in the header of page 1, and the page of mrconfig, the
// table whose key column the install rewrites.
void ExpectSameFileOutsideTheKeyTable(const std::string& before, const std::string& after, TablePlace keyTable)
{
    ASSERT_EQ(after.size(), before.size());
    const std::size_t pageSize = static_cast<std::size_t>(keyTable.pageSize);
    ASSERT_EQ(before.size() % pageSize, 0u);
    // The whole table lives on its root page: a leaf page of a table b-tree.
    ASSERT_EQ(static_cast<unsigned char>(after[(keyTable.rootPage - 1) * pageSize]), 0x0Du);
    for (std::size_t page = 1; page <= before.size() / pageSize; ++page) {
        if (page == static_cast<std::size_t>(keyTable.rootPage)) continue;
        std::string was = before.substr((page - 1) * pageSize, pageSize);
        std::string is = after.substr((page - 1) * pageSize, pageSize);
        if (page == 1) { // the file change counter (24) and the version-valid-for number (92)
            for (const std::size_t at : {24u, 92u}) {
                was.replace(at, 4, 4, '\0');
                is.replace(at, 4, 4, '\0');
            }
        }
        EXPECT_TRUE(was == is) << "page " << page << " differs";
    }
}

TEST_P(SetupUpgradeE2e, KeepsTheUsersDatabaseAndReplacesItWhenTheBoxIsCleared)
{
    const std::wstring folder = installDir / L"Tarvo\\MirelMax";
    const std::wstring d = GetParam() ? folder + L"\\" : folder;
    const std::wstring db = folder + kDatabaseEntry;
    ASSERT_NO_FATAL_FAILURE(
        InstallInto(d, installDir / L"Tarvo\\MirelRES", installDir / L"Tarvo\\MirelBackUp"));
    ASSERT_NO_FATAL_FAILURE(FinishAndWaitForExit());
    ASSERT_EQ(MachineString(L"software\\MirelMax", L"MirelMaxPath"), d);

    // The user's work since: the resource library and the backups moved to folders of
    // their own, and keywords and categories of their own in the database.
    const std::wstring r = installDir / L"素材\\我的资源库";
    const std::wstring b = installDir / L"素材\\备份";
    ASSERT_TRUE(CreateDirectoryW((installDir / L"素材").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(r.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(b.c_str(), nullptr));
    const std::string work = "UPDATE mrconfig SET mrrespath = '" + winui::Narrow(r, CP_UTF8) + "';"
        "INSERT INTO mrclass (classid, parentid, classname) VALUES (100, 4, '我的沙发');"
        "INSERT INTO mrkeyword (keyword) VALUES ('客厅'), ('北欧风格');"
        "DELETE FROM mrkeyword WHERE keyword = '地板';";
    ChangeDatabase(db, work.c_str());
    ASSERT_TRUE(WritePrivateProfileStringW(L"config", L"backupPath", b.c_str(), (folder + kConfigEntry).c_str()));
    const std::string userFile = ReadBytes(db);
    const DatabaseContent userContent = ContentOf(db);
    const std::wstring userKey = ConfigRows(db).at(0).softkey;
    ASSERT_TRUE(IsLowerHexKey(userKey));

    // The application is running when the setup program starts again.
    uidriver::RunningProgram application(folder + L"\\kiwa.exe", folder);
    ASSERT_TRUE(application.Started());
    ASSERT_NE(uidriver::WaitForTopWindow(L"kiwa", kTimeoutMs, application.Id()), nullptr);

    ASSERT_NO_FATAL_FAILURE(StartSetup());
    ASSERT_NO_FATAL_FAILURE(GoToDirectoryPage());
    ExpectTextSoon(IdSetpDirET, d);
    ExpectTextSoon(IdResDirET, r);
    ExpectTextSoon(IdMrBackUPet, b);
    EXPECT_TRUE(uidriver::GetState(Control(IdHaveOldInfoCB)).visible);
    EXPECT_TRUE(BoxChecked());
    ASSERT_NO_FATAL_FAILURE(ClickNextAndWaitFor(L"开始安装"));
    ASSERT_NO_FATAL_FAILURE(ClickNextAndWaitFor(L"完成"));
    EXPECT_EQ(uidriver::FindMessageBox(program->Id()), nullptr);
    EXPECT_TRUE(application.WaitForExit(0)) << "the running application was not stopped";

    EXPECT_TRUE(ContentOf(db) == userContent) << "the kept database's content changed";
    ExpectSameFileOutsideTheKeyTable(userFile, ReadBytes(db), PlaceOf(db, L"mrconfig"));
    EXPECT_EQ(ReadBytes(folder + kConfigEntry), ExpectedConfiguration(b));
    EXPECT_EQ(MachineString(L"software\\MirelMax", L"MirelMaxPath"), d);
    const std::wstring log = Text(IdCxMemo2);
    EXPECT_NE(log.find(L"Extract \\data\\kiwa.db to " + d + L"\\data\\kiwa.db \r\n"), std::wstring::npos)
        << Ansi(log);
    ExpectLogEndsWithTheDataStep(log);
    ASSERT_NO_FATAL_FAILURE(FinishAndWaitForExit());

    // Once more, the box cleared: the shipped database takes the place of the user's,
    // with the resource directory that the page showed and a new key.
    ASSERT_NO_FATAL_FAILURE(StartSetup());
    ASSERT_NO_FATAL_FAILURE(GoToDirectoryPage());
    ExpectTextSoon(IdResDirET, r);
    ASSERT_TRUE(BoxChecked());
    Click(IdHaveOldInfoCB);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return !BoxChecked(); }, kTimeoutMs));
    ASSERT_NO_FATAL_FAILURE(ClickNextAndWaitFor(L"开始安装"));
    ASSERT_NO_FATAL_FAILURE(ClickNextAndWaitFor(L"完成"));
    EXPECT_EQ(uidriver::FindMessageBox(program->Id()), nullptr);

    const std::vector<ConfigRow> rows = ConfigRows(db);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].mrrespath, r);
    EXPECT_TRUE(IsLowerHexKey(rows[0].softkey)) << Ansi(rows[0].softkey);
    EXPECT_NE(rows[0].softkey, userKey);
    DatabaseContent installed = ContentOf(db);
    DatabaseContent shipped = ContentOf(SourceOf(kDatabaseEntry));
    installed.erase(L"mrconfig");
    shipped.erase(L"mrconfig");
    EXPECT_TRUE(installed == shipped) << "the database is not the shipped one";
    EXPECT_EQ(ReadBytes(folder + kConfigEntry), ExpectedConfiguration(b));
    ASSERT_NO_FATAL_FAILURE(FinishAndWaitForExit());
}

INSTANTIATE_TEST_SUITE_P(ProgramDirectory, SetupUpgradeE2e, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "WithTrailingBackslash" : "WithoutTrailingBackslash";
                         });

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
            if (entry != kConfigEntry && entry != kDatabaseEntry) { // the install updates those two
                ASSERT_TRUE(ReadBytes(d + entry) == ReadBytes(SourceOf(entry)));
            }
            uninstall += d + entry + L"\r\n";
        }
        ExpectInstallWritten(d, r, installDir / L"Tarvo\\MirelBackUp");
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
    // close or an end of the session asked by another program is answered and refused.
    bool seenOnItsWay = false, closeAnswered = false;
    DWORD_PTR endSession = 1;
    const bool filled = uidriver::WaitUntil(
        [&] {
            const int position = Progress();
            if (InLibraryPass(position)) {
                seenOnItsWay = true;
                if (!closeAnswered) {
                    uidriver::SendClose(window);
                    SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &endSession);
                    closeAnswered = true;
                }
            }
            return position == 5000;
        },
        kInstallTimeoutMs);
    ASSERT_TRUE(filled) << "the progress bar never reached its end";
    EXPECT_TRUE(seenOnItsWay) << "the progress bar was never seen between its start and its end";
    EXPECT_TRUE(closeAnswered) << "the bar was not seen during the library pass";
    EXPECT_EQ(endSession, 0u) << "the end of the session was not refused during the install";
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
    // A test unregisters the prefix's ADO library; it is registered again at the end.
    testing::AddGlobalTestEnvironment(new AdoRestorer);
    if (argc < 4) {
        std::fprintf(stderr, "usage: setup_e2e_tests <Tarvosetup.exe> <setup.ini> <payload root>...\n");
        return 2;
    }
    g_setup = uidriver::WindowsPathOf(argv[1]);
    g_manifest = uidriver::WindowsPathOf(argv[2]);
    for (int i = 3; i < argc; ++i) g_roots.push_back(uidriver::WindowsPathOf(argv[i]));
    return RUN_ALL_TESTS();
}
