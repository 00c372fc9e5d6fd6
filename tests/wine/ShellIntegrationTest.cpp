// The install step's work in Windows under Wine: stopping running programs by name,
// the machine registry values, the desktop shortcut and the .tvk file type. Every
// test puts the registry keys and the shortcut back as they were.
//
// Usage: setup_shell_wine_tests [gtest flags] <folder of the built payload programs>
// (a Linux path "/x/y" is read as "Z:\x\y").
#include "AppError.h"
#include "Com.h"
#include "ShellIntegration.h"
#include "Text.h"
#include "UiDriver.h"
#include "WineTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

namespace {

using namespace testing_support;

std::wstring g_built; // kiwa.exe, ZTupdate.exe, ZT_Icon.dll, ZT_Portal.dll, ...

std::string Utf8(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(n > 0 ? n - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), n, nullptr, nullptr);
    return bytes;
}

std::string Ansi936(const std::wstring& text)
{
    const int n = WideCharToMultiByte(936, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(n > 0 ? n - 1 : 0, '\0');
    WideCharToMultiByte(936, 0, text.c_str(), -1, bytes.data(), n, nullptr, nullptr);
    return bytes;
}

void Copy(const std::wstring& from, const std::wstring& to)
{
    ASSERT_TRUE(CopyFileW(from.c_str(), to.c_str(), FALSE)) << Utf8(from) << " -> " << Utf8(to);
}

// A raw registry value: its type and bytes; nothing when it is missing.
struct RawValue {
    DWORD type;
    std::string bytes;
};
std::optional<RawValue> ReadRaw(HKEY root, const std::wstring& key, const wchar_t* name)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0, size = 0;
    std::optional<RawValue> value;
    if (RegQueryValueExW(handle, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::string bytes(size, '\0');
        if (RegQueryValueExW(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()),
                             &size) == ERROR_SUCCESS)
            value = RawValue{type, bytes.substr(0, size)};
    }
    RegCloseKey(handle);
    return value;
}

// The default value of a key as text (REG_SZ), or nothing.
std::optional<std::wstring> DefaultText(HKEY root, const std::wstring& key)
{
    const auto raw = ReadRaw(root, key, nullptr);
    if (!raw || raw->type != REG_SZ) return std::nullopt;
    std::wstring text(raw->bytes.size() / 2, L'\0');
    raw->bytes.copy(reinterpret_cast<char*>(text.data()), text.size() * 2);
    return text.substr(0, text.find(L'\0'));
}

void SetRaw(const std::wstring& key, const wchar_t* name, DWORD type, const std::string& bytes)
{
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &handle, nullptr),
              ERROR_SUCCESS);
    const LONG result = RegSetValueExW(handle, name, 0, type,
                                       reinterpret_cast<const BYTE*>(bytes.data()),
                                       static_cast<DWORD>(bytes.size()));
    RegCloseKey(handle);
    ASSERT_EQ(result, ERROR_SUCCESS);
}

// UTF-16 bytes of a text, without a terminating NUL.
std::string Utf16Bytes(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

class ShellIntegration : public ::testing::Test {
protected:
    winui::ComApartment com;
    InstallTraceGuard restoreAfterwards;
    TempDir dir;
};

// ---- Stopping programs by name ----

TEST(ProcessName, MatchesTheLastPathComponentOrTheWholeNameFoldingOnlyAToZ)
{
    struct Case {
        const wchar_t* exeFile;
        const wchar_t* name;
        bool matches;
    } cases[] = {
        {L"kiwa.exe", L"kiwa.exe", true},
        {L"C:\\Tarvo\\MirelMax\\KIWA.EXE", L"kiwa.exe", true},
        {L"C:KiWa.exe", L"kiwa.exe", true},
        {L"\\??\\C:\\x\\kiwa.exe", L"KIWA.EXE", true},
        {L"kiwa.exe.bak", L"kiwa.exe", false},
        {L"C:\\x\\kiwa.exe.bak", L"kiwa.exe", false},
        {L"xkiwa.exe", L"kiwa.exe", false},
        {L"C:\\kiwa.exe\\", L"kiwa.exe", false},
        {L"C:\\Tarvo\\kiwa.exe", L"c:\\TARVO\\KIWA.EXE", true}, // the whole name
        {L"\u00c4mter.exe", L"\u00e4mter.exe", false},           // Ä and ä are not folded
        {L"\u00c4mter.exe", L"\u00c4MTER.EXE", true},
        {L"", L"kiwa.exe", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProcessNameMatches(c.exeFile, c.name), c.matches)
            << Utf8(c.exeFile) << " / " << Utf8(c.name);
}

TEST_F(ShellIntegration, KillProcessByNameStopsEveryRunningMatchAndNothingElse)
{
    struct Case {
        const char* what;
        std::vector<std::wstring> running; // relative to the case's folder
        std::wstring name;
        std::vector<bool> stopped;
    } cases[] = {
        {"upper-case file name", {L"KIWA.EXE"}, L"kiwa.exe", {true}},
        {"further extension", {L"kiwa.exe.bak"}, L"kiwa.exe", {false}},
        {"non-ASCII letter in another case", {L"\u00c4mter.exe"}, L"\u00e4mter.exe", {false}},
        {"non-ASCII letter as it is", {L"\u00c4mter.exe"}, L"\u00c4MTER.EXE", {true}},
        {"two copies", {L"a\\kiwa.exe", L"b\\kiwa.exe", L"ZTupdate.exe"}, L"kiwa.exe", {true, true, false}},
        {"none running", {L"ZTupdate.exe", L"ZIDezEvudaz.exe"}, L"kiwa.exe", {false, false}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring folder = dir / std::to_wstring(++n);
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        std::vector<std::unique_ptr<uidriver::RunningProgram>> programs;
        for (const std::wstring& name : c.running) {
            const std::wstring path = folder + L"\\" + name;
            CreateDirectoryW(path.substr(0, path.find_last_of(L'\\')).c_str(), nullptr);
            ASSERT_NO_FATAL_FAILURE(Copy(g_built + L"\\ZTupdate.exe", path));
            programs.push_back(std::make_unique<uidriver::RunningProgram>(path, folder));
            ASSERT_TRUE(programs.back()->Started()) << Utf8(path);
        }
        KillProcessByName(c.name);
        for (std::size_t i = 0; i < programs.size(); ++i) {
            // A stopped one has ended when the call returns; the others still run.
            EXPECT_EQ(programs[i]->WaitForExit(0), c.stopped[i]) << Utf8(c.running[i]);
        }
    }
}

// ---- Registry values ----

TEST_F(ShellIntegration, ReadingCreatesTheMissingKeyAndGivesEmptyText)
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"software\\MirelMax");
    HKEY key = nullptr;
    ASSERT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"software\\MirelMax", 0, KEY_READ, &key), ERROR_SUCCESS);

    EXPECT_EQ(ReadMachineString(L"software\\MirelMax", L"MirelMaxPath"), L"");
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"software\\MirelMax", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD values = 1;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    EXPECT_EQ(values, 0u);
}

TEST_F(ShellIntegration, WrittenValueIsStoredAsTypedWithItsNul)
{
    const std::wstring typed = L"D:\\Tarvo\\资源 管理\\";
    WriteMachineString(L"software\\MirelMax", L"MirelMaxPath", typed);
    const auto raw = ReadRaw(HKEY_LOCAL_MACHINE, L"software\\MirelMax", L"MirelMaxPath");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw->bytes, Utf16Bytes(typed) + std::string(2, '\0'));
    EXPECT_EQ(ReadMachineString(L"software\\MirelMax", L"MirelMaxPath"), typed);

    WriteMachineString(L"software\\MirelMax", L"MirelLink", L"x");
    WriteMachineString(L"software\\MirelMax", L"MirelLink", L""); // replaced by the empty text
    EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, L"software\\MirelMax", L"MirelLink")->bytes, std::string(2, '\0'));
}

TEST_F(ShellIntegration, ReadGivesStringsUpToTheirFirstNulAndRejectsOtherTypes)
{
    struct Case {
        const char* what;
        DWORD type;
        std::string bytes;
        std::optional<std::wstring> text; // nothing: "Invalid data type"
    } cases[] = {
        {"string", REG_SZ, Utf16Bytes(std::wstring(L"C:\\a\\b\0", 7)), L"C:\\a\\b"},
        {"string without its NUL", REG_SZ, Utf16Bytes(L"C:\\a"), L"C:\\a"},
        {"string with a NUL inside", REG_SZ, Utf16Bytes(std::wstring(L"ab\0cd\0", 6)), L"ab"},
        {"odd number of bytes", REG_SZ, Utf16Bytes(L"ab") + "c", L"abc"},
        {"expandable string, not expanded", REG_EXPAND_SZ, Utf16Bytes(std::wstring(L"%SystemRoot%\\x\0", 15)),
         L"%SystemRoot%\\x"},
        {"empty string", REG_SZ, "", L""},
        {"number", REG_DWORD, std::string("\x2a\0\0\0", 4), std::nullopt},
        {"bytes", REG_BINARY, "abcd", std::nullopt},
        {"string list", REG_MULTI_SZ, Utf16Bytes(std::wstring(L"a\0b\0\0", 5)), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(SetRaw(L"software\\MirelMax", L"MirelMaxPath", c.type, c.bytes));
        if (c.text) {
            EXPECT_EQ(ReadMachineString(L"software\\MirelMax", L"MirelMaxPath"), *c.text);
        } else {
            EXPECT_EQ(AppErrorOf([] { ReadMachineString(L"software\\MirelMax", L"MirelMaxPath"); }),
                      L"Invalid data type for 'MirelMaxPath'");
        }
    }
    EXPECT_EQ(ReadMachineString(L"software\\MirelMax", L"NoSuchValue"), L"");
}

TEST_F(ShellIntegration, KeyThatCannotBeOpenedReadsEmptyAndFailsTheWrite)
{
    // A key name component longer than the registry allows (255 units).
    const std::wstring badKey = L"software\\" + std::wstring(300, L'x');
    EXPECT_EQ(ReadMachineString(badKey, L"MirelMaxPath"), L"");
    EXPECT_EQ(AppErrorOf([&] { WriteMachineString(badKey, L"MirelMaxPath", L"D:\\Tarvo"); }),
              L"Failed to set data for 'MirelMaxPath'");
}

// ---- The desktop shortcut ----

TEST_F(ShellIntegration, ShortcutIsSavedOnTheDesktopAndReplacedByTheNextOne)
{
    const std::wstring expected = DesktopFolder() + L"\\Tarvo资源管理系统.lnk";
    DeleteFileW(expected.c_str());
    const std::wstring first = dir / L"程序 一";
    const std::wstring second = dir / L"second";
    for (const std::wstring& folder : {first, second}) {
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        ASSERT_NO_FATAL_FAILURE(Copy(g_built + L"\\kiwa.exe", folder + L"\\kiwa.exe"));
    }

    std::wstring shortcutPath = L"stale";
    CreateDesktopShortcut(first + L"\\kiwa.exe", first, shortcutPath);
    EXPECT_EQ(shortcutPath, expected);
    ASSERT_TRUE(FileExists(expected));
    ShellLinkContents link = ReadShellLink(expected);
    EXPECT_EQ(link.path, first + L"\\kiwa.exe");
    EXPECT_EQ(link.workingDir, first);
    EXPECT_EQ(link.arguments, L"");

    shortcutPath.clear();
    CreateDesktopShortcut(second + L"\\kiwa.exe", second, shortcutPath);
    EXPECT_EQ(shortcutPath, expected);
    link = ReadShellLink(expected);
    EXPECT_EQ(link.path, second + L"\\kiwa.exe");
    EXPECT_EQ(link.workingDir, second);
}

TEST_F(ShellIntegration, ShellLinkObjectThatCannotBeMadeRaisesTheComError)
{
    // A thread outside every COM apartment cannot make the object.
    std::wstring message;
    std::wstring shortcutPath = L"untouched";
    std::thread([&] {
        message = AppErrorOf([&] { CreateDesktopShortcut(dir / L"kiwa.exe", dir.Path(), shortcutPath); });
    }).join();
    const std::wstring suffix = L", ClassID: {00021401-0000-0000-C000-000000000046}";
    ASSERT_GT(message.size(), suffix.size()) << Utf8(message);
    EXPECT_EQ(message.substr(message.size() - suffix.size()), suffix);
    // The system's text for CO_E_NOTINITIALIZED comes first.
    EXPECT_EQ(message.substr(0, message.size() - suffix.size()), winui::SystemMessage(0x800401F0));
    EXPECT_EQ(shortcutPath, L"untouched");
}

// ---- The .tvk file type ----

bool Loaded(const std::wstring& library) { return GetModuleHandleW(library.c_str()) != nullptr; }

TEST_F(ShellIntegration, AbsentLibraryIsReportedOnce)
{
    MessageBoxRecorder boxes;
    EXPECT_FALSE(RegisterTvkFileType(Ansi936(dir / L"ZT_Portal.dll"), Ansi936(dir / L"kiwa.exe"),
                                     dir / L"ZT_Icon.dll"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, L"没有找到DLL!");
    EXPECT_FALSE(ReadRaw(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.tvk", nullptr));
}

TEST_F(ShellIntegration, LibraryWithoutTheExportGivesFalseSilentlyAndIsReleased)
{
    // The portal library exports nothing.
    ASSERT_NO_FATAL_FAILURE(Copy(g_built + L"\\ZT_Portal.dll", dir / L"ZT_Icon.dll"));
    MessageBoxRecorder boxes;
    EXPECT_FALSE(RegisterTvkFileType(Ansi936(dir / L"ZT_Portal.dll"), Ansi936(dir / L"kiwa.exe"),
                                     dir / L"ZT_Icon.dll"));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(Loaded(dir / L"ZT_Icon.dll"));
}

TEST_F(ShellIntegration, RealLibraryRegistersTheFileTypeForTheInstalledFiles)
{
    const std::wstring d = dir / L"资源 管理";
    ASSERT_TRUE(CreateDirectoryW(d.c_str(), nullptr));
    for (const wchar_t* file : {L"\\ZT_Icon.dll", L"\\ZT_Portal.dll", L"\\kiwa.exe"})
        ASSERT_NO_FATAL_FAILURE(Copy(g_built + file, d + file));
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.tvk");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Tarvo.TVKFile");

    MessageBoxRecorder boxes;
    EXPECT_TRUE(RegisterTvkFileType(Ansi936(d + L"\\ZT_Portal.dll"), Ansi936(d + L"\\kiwa.exe"),
                                    d + L"\\ZT_Icon.dll"));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(Loaded(d + L"\\ZT_Icon.dll"));

    // Machine-wide, and so what the shell sees through HKEY_CLASSES_ROOT.
    for (const auto& [root, prefix] : {std::pair{HKEY_LOCAL_MACHINE, L"Software\\Classes\\"},
                                       std::pair{HKEY_CLASSES_ROOT, L""}}) {
        SCOPED_TRACE(Utf8(prefix));
        const std::wstring classes = prefix;
        EXPECT_EQ(DefaultText(root, classes + L".tvk"), L"Tarvo.TVKFile");
        EXPECT_EQ(DefaultText(root, classes + L"Tarvo.TVKFile\\DefaultIcon"), d + L"\\ZT_Portal.dll,0");
        EXPECT_EQ(DefaultText(root, classes + L"Tarvo.TVKFile\\shell\\open\\command"),
                  L"\"" + d + L"\\kiwa.exe\" \"%1\"");
    }
    // The icon it names is there.
    EXPECT_GE(ExtractIconExW((d + L"\\ZT_Portal.dll").c_str(), -1, nullptr, nullptr, 0), 1u);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: setup_shell_wine_tests <folder of the built payload programs>\n");
        return 2;
    }
    g_built = uidriver::WindowsPathOf(argv[1]);
    return RUN_ALL_TESTS();
}
