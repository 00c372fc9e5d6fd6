// The directory page's look for an earlier installation, on the real form under Wine:
// the machine registry of the test prefix (put back afterwards), earlier program
// directories with real SQLite databases and configuration files in temporary folders.
#include "AppDatabaseFile.h"
#include "Com.h"
#include "Database.h"
#include "MainUnit.h"
#include "Text.h"
#include "WineTestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const wchar_t kKey[] = L"software\\MirelMax";
const wchar_t kDefaultProgram[] = L"D:\\Tarvo\\MirelMax";
const wchar_t kDefaultResources[] = L"D:\\Tarvo\\MirelRES";
const wchar_t kDefaultBackup[] = L"D:\\Tarvo\\MirelBackUp";

std::string Ansi(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(n - 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, bytes.data(), n, nullptr, nullptr);
    return bytes;
}

std::string ConfigWithBackup(const std::wstring& backup)
{
    return "[config]\r\nver      =1.42\r\nautoBackup=1\r\nbackupPath=" + Ansi(backup) + "\r\n";
}

std::string DatabaseScript(const std::wstring& resources)
{
    return "CREATE TABLE mrconfig (mrrespath TEXT, softkey TEXT);"
           "INSERT INTO mrconfig VALUES ('" + winui::Narrow(resources, CP_UTF8) + "', 'k');";
}

class EarlierInstall : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey); // a machine without an installation
        ASSERT_FALSE(KeyExists());
    }

    void Click(const winui::Control& button) { ClickButton(form.Handle(), button.Id(), button.Handle()); }
    // The user's way to the directory page: agreement, component check, Next.
    void GoToDirectoryPage()
    {
        form.CheckBox1.SetChecked(true);
        Click(form.CheckBox1);
        Click(form.nextOkbt);
        ASSERT_EQ(form.StepIndex, 1);
        ASSERT_TRUE(form.DbConnection && form.DbQuery);
        Click(form.nextOkbt);
        ASSERT_EQ(form.StepIndex, 2);
        ASSERT_EQ(form.cxPageControl1.ActivePageIndex(), 2);
    }

    // The database objects as the component check leaves them, without passing the
    // directory page on a machine without an installation (which hides the box).
    void UseDatabaseObjects()
    {
        DatabaseObjects objects = CreateDatabaseObjects();
        form.DbQuery = std::move(objects.query);
        form.DbConnection = std::move(objects.connection);
    }

    static bool KeyExists()
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    static void Record(DWORD type, const void* data, DWORD size)
    {
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"MirelMaxPath", type, data, size), ERROR_SUCCESS);
    }
    static void Record(const std::wstring& programDir)
    {
        Record(REG_SZ, programDir.c_str(), static_cast<DWORD>((programDir.size() + 1) * sizeof(wchar_t)));
    }

    // An earlier program directory below the temporary folder: data\kiwa.db made by the
    // script (none when empty), config\config.ini with the bytes (none when empty).
    std::wstring MakeProgramDir(const std::wstring& name, const std::string& script, const std::string& config)
    {
        const std::wstring d = dir / name;
        CreateDirectoryW(d.c_str(), nullptr);
        CreateDirectoryW((d + L"\\data").c_str(), nullptr);
        CreateDirectoryW((d + L"\\config").c_str(), nullptr);
        if (!script.empty()) MakeDatabase(d + L"\\data\\kiwa.db", script.c_str());
        if (!config.empty()) WriteBytes(d + L"\\config\\config.ini", config);
        return d;
    }
    std::wstring MakeFolder(const std::wstring& name)
    {
        CreateDirectoryW((dir / name).c_str(), nullptr);
        return dir / name;
    }

    void ExpectFields(const std::wstring& program, const std::wstring& resources, const std::wstring& backup)
    {
        EXPECT_EQ(form.SetpDirET.Text(), program);
        EXPECT_EQ(form.ResDirET.Text(), resources);
        EXPECT_EQ(form.mrBackUPet.Text(), backup);
    }
    void ExpectBox(bool checked, bool visible)
    {
        EXPECT_EQ(form.HaveOldInfoCB.Checked(), checked);
        EXPECT_EQ(form.HaveOldInfoCB.Visible(), visible);
    }

    winui::ComApartment com;
    InstallTraceGuard restoreAfterwards; // HKLM\software\MirelMax as it was before
    TempDir dir;
    MessageBoxRecorder boxes;
    TMainFrm form;
};

TEST_F(EarlierInstall, FreshMachineKeepsTheDefaultsAndCreatesTheEmptyKey)
{
    ASSERT_NO_FATAL_FAILURE(GoToDirectoryPage());
    ExpectBox(false, false);
    ExpectFields(kDefaultProgram, kDefaultResources, kDefaultBackup);
    EXPECT_EQ(form.OldInstallDir, L"");
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_TRUE(KeyExists());
    DWORD values = 99;
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    EXPECT_EQ(values, 0u);

    // Hidden for the rest of the run: an installation that turns up later fills the
    // fields and checks the box, but the box stays out of sight.
    const std::wstring res = MakeFolder(L"res");
    const std::wstring d = MakeProgramDir(L"later", DatabaseScript(res), ConfigWithBackup(L""));
    Record(d);
    Click(form.UpBT);
    Click(form.nextOkbt);
    ExpectBox(true, false);
    ExpectFields(d, res, kDefaultBackup);
}

TEST_F(EarlierInstall, NothingTakenOverWithoutTheEarlierDatabase)
{
    const std::wstring removed = MakeProgramDir(L"removed", "", ConfigWithBackup(MakeFolder(L"backup")));
    MakeFolder(L"removed\\data\\kiwa.db\\"); // a folder of that name is no database either
    struct Case {
        const char* what;
        std::wstring recorded;
        std::wstring oldInstallDir;
    } cases[] = {
        {"empty value", L"", L""},
        {"database removed", removed, removed},
        {"directory removed", dir / L"gone", dir / L"gone"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Record(c.recorded);
        form.HaveOldInfoCB.SetChecked(true);
        form.StepIndex = 1;
        Click(form.nextOkbt);
        ExpectBox(false, false);
        ExpectFields(kDefaultProgram, kDefaultResources, kDefaultBackup);
        EXPECT_EQ(form.OldInstallDir, c.oldInstallDir);
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

// With no recorded directory the database looked for is "\data\kiwa.db" at the root of
// the current drive: one there is taken for the earlier installation's.
TEST_F(EarlierInstall, DatabaseAtTheDriveRootStandsForAnUnrecordedInstallation)
{
    // The temporary folder is the current directory for the test; the drive's root gets
    // an application database, and both are put back however the test ends.
    struct DriveRootDatabase {
        explicit DriveRootDatabase(const std::wstring& current)
        {
            GetCurrentDirectoryW(MAX_PATH, previous);
            SetCurrentDirectoryW(current.c_str());
            madeFolder = CreateDirectoryW((root + L"data").c_str(), nullptr) != FALSE;
            file.reset(new FileRestorer(root + L"data\\kiwa.db"));
            DeleteFileW((root + L"data\\kiwa.db").c_str());
            MakeDatabase(root + L"data\\kiwa.db", DatabaseScript(current).c_str());
        }
        ~DriveRootDatabase()
        {
            file.reset();
            if (madeFolder) RemoveDirectoryW((root + L"data").c_str());
            SetCurrentDirectoryW(previous);
        }
        wchar_t previous[MAX_PATH] = L"";
        const std::wstring root = L"\\";
        bool madeFolder = false;
        std::unique_ptr<FileRestorer> file;
    };
    const DriveRootDatabase rootDatabase(dir.Path());
    ASSERT_TRUE(FileExists(L"\\data\\kiwa.db"));

    ASSERT_NO_FATAL_FAILURE(GoToDirectoryPage());
    ExpectBox(true, true);
    // Its resource directory is the temporary folder; there is no "\config\config.ini".
    ExpectFields(L"", dir.Path(), kDefaultBackup);
    EXPECT_EQ(form.OldInstallDir, L"");
}

TEST_F(EarlierInstall, BothDirectoriesPresentFillAllThreeFields)
{
    const std::wstring res = MakeFolder(L"资源 库");
    const std::wstring backup = MakeFolder(L"备份");
    // The program directory as recorded, a trailing backslash and all.
    for (const std::wstring name : {L"MirelMax", L"MirelMax2\\"}) {
        SCOPED_TRACE(Ansi(name));
        const std::wstring d = MakeProgramDir(name, DatabaseScript(res), ConfigWithBackup(backup));
        Record(d);
        form.StepIndex = 0;
        form.SetpDirET.SetText(kDefaultProgram);
        form.ResDirET.SetText(kDefaultResources);
        form.mrBackUPet.SetText(kDefaultBackup);
        ASSERT_NO_FATAL_FAILURE(GoToDirectoryPage());
        ExpectBox(true, true);
        ExpectFields(d, res, backup);
        EXPECT_EQ(form.OldInstallDir, d);
        EXPECT_FALSE(form.DbConnection->Connected()); // disconnected after the read
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(EarlierInstall, FieldWithoutAnExistingEarlierDirectoryKeepsItsText)
{
    const std::wstring res = MakeFolder(L"res");
    const std::wstring backup = MakeFolder(L"backup");
    const std::string table = "CREATE TABLE mrconfig (mrrespath TEXT, softkey TEXT);";
    struct Case {
        const char* what;
        std::string script; // empty: a file that is no database
        std::string config; // empty: no configuration file
        bool resTaken, backupTaken;
    } cases[] = {
        {"no row, no backupPath", table, "[config]\r\nver=1.42\r\n", false, false},
        {"empty mrrespath, empty backupPath", table + "INSERT INTO mrconfig VALUES ('', 'k');",
         ConfigWithBackup(L""), false, false},
        {"null mrrespath, no configuration file", table + "INSERT INTO mrconfig VALUES (NULL, 'k');", "",
         false, false},
        {"directories removed", DatabaseScript(dir / L"gone-res"), ConfigWithBackup(dir / L"gone-backup"),
         false, false},
        {"backupPath in another section", DatabaseScript(res), "[other]\r\nbackupPath=" + Ansi(backup) + "\r\n",
         true, false},
        {"database that cannot be opened", "", ConfigWithBackup(backup), false, true},
    };
    UseDatabaseObjects();
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring d = MakeProgramDir(L"p" + std::to_wstring(++n), c.script, c.config);
        if (c.script.empty()) WriteBytes(d + L"\\data\\kiwa.db", "not a database");
        Record(d);
        form.StepIndex = 1;
        form.ResDirET.SetText(L"typed resources");
        form.mrBackUPet.SetText(L"typed backup");
        Click(form.nextOkbt);
        ExpectBox(true, true);
        ExpectFields(d, c.resTaken ? res : L"typed resources", c.backupTaken ? backup : L"typed backup");
        EXPECT_FALSE(form.DbConnection->Connected());
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(EarlierInstall, UnreadableConfigurationTableIsReportedAndStopsTheDetection)
{
    const std::wstring res = MakeFolder(L"res");
    const std::wstring backup = MakeFolder(L"backup");
    struct Case {
        const char* what;
        std::string script;
        std::wstring message;
    } cases[] = {
        {"no mrconfig", "CREATE TABLE other (x TEXT);", L"no such table: mrconfig."},
        {"no mrrespath", "CREATE TABLE mrconfig (softkey TEXT); INSERT INTO mrconfig VALUES ('k');",
         L"no such column: mrrespath."},
    };
    UseDatabaseObjects();
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.boxes.clear();
        const std::wstring d = MakeProgramDir(L"p" + std::to_wstring(++n), c.script, ConfigWithBackup(backup));
        Record(d);
        form.StepIndex = 1;
        Click(form.nextOkbt);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, c.message);
        EXPECT_EQ(boxes.boxes[0].caption, L"setup_wine_tests");
        EXPECT_EQ(form.StepIndex, 2);
        ExpectBox(true, true);
        ExpectFields(d, kDefaultResources, kDefaultBackup); // the backup directory is not read
        // Not left open: the install connects to whatever database it puts in place.
        EXPECT_FALSE(form.DbConnection->Connected());
    }
}

TEST_F(EarlierInstall, ValueOfAnotherTypeIsReportedAndNothingIsTakenOver)
{
    const DWORD number = 7;
    Record(REG_DWORD, &number, sizeof number);
    ASSERT_NO_FATAL_FAILURE(GoToDirectoryPage());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, L"Invalid data type for 'MirelMaxPath'");
    EXPECT_EQ(boxes.boxes[0].style & 0xF0, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(form.nextOkbt.Text(), L"下一步");
    ExpectBox(false, false);
    ExpectFields(kDefaultProgram, kDefaultResources, kDefaultBackup);
    EXPECT_EQ(form.OldInstallDir, L"");
}

TEST_F(EarlierInstall, ClearedBoxIsCheckedAgainWhenThePageIsEnteredAgain)
{
    const std::wstring res = MakeFolder(L"res");
    const std::wstring backup = MakeFolder(L"backup");
    const std::wstring d = MakeProgramDir(L"MirelMax", DatabaseScript(res), ConfigWithBackup(backup));
    Record(d);
    ASSERT_NO_FATAL_FAILURE(GoToDirectoryPage());
    ExpectBox(true, true);
    form.HaveOldInfoCB.SetChecked(false);
    EXPECT_FALSE(form.KeepOldInfo());
    form.ResDirET.SetText(dir / L"elsewhere");

    Click(form.UpBT);
    ASSERT_EQ(form.StepIndex, 1);
    Click(form.nextOkbt);
    ASSERT_EQ(form.StepIndex, 2);
    ExpectBox(true, true);
    EXPECT_TRUE(form.KeepOldInfo());
    ExpectFields(d, res, backup); // taken over again
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(EarlierInstall, WithoutDatabaseObjectsTheResourceDirectoryIsNotRead)
{
    const std::wstring res = MakeFolder(L"res");
    const std::wstring backup = MakeFolder(L"backup");
    const std::wstring d = MakeProgramDir(L"MirelMax", DatabaseScript(res), ConfigWithBackup(backup));
    Record(d);
    ASSERT_FALSE(form.DbConnection);
    form.DetectOldInstall();
    ExpectBox(true, true);
    ExpectFields(d, kDefaultResources, backup);
}

} // namespace
