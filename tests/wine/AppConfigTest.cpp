// The database and configuration update at the end of the install, on real SQLite
// files and INI files in temporary folders.
#include "AppDatabaseFile.h"
#include "Com.h"
#include "Database.h"
#include "MainUnit.h"
#include "PayloadExtraction.h"
#include "WineTestSupport.h"

#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const wchar_t kEndpoint[] = L"http://update.tarvo.example/update/update.cfm";
const std::vector<std::wstring> kDoneLines{L"写入数据成功!", L"已完成所有安装..."};

// The product's schema with its shipped row.
const char* const kShippedDb =
    "CREATE TABLE mrconfig (mrrespath TEXT, softkey TEXT);"
    "INSERT INTO mrconfig VALUES ('D:\\Tarvo\\MirelRES', '');";

// A configuration as the product ships it: code page 936, CR LF, names padded.
const std::string kShippedConfig =
    "[config]\r\nver      =1.40\r\nupdateurl   =http://old.tarvo.example/update/update.cfm\r\n"
    "autoBackup=1\r\nbackupCount=5\r\nbackupPath=\r\ndropOption=0\r\n"
    "colorScheme=\xbe\xad\xb5\xe4\xc0\xb6\r\ntipsurl=http://www.tarvo.example/tips/tips.cfm\r\n";

std::string AnsiOf(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, bytes.data(), n, nullptr, nullptr);
    bytes.pop_back();
    return bytes;
}

// The system's MD5 (CryptoAPI) of the bytes, in lower case.
std::wstring SystemMd5(const std::string& bytes)
{
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    BYTE digest[16];
    DWORD size = sizeof digest;
    const bool done =
        CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
        CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), 0) &&
        CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
    if (hash) CryptDestroyHash(hash);
    if (provider) CryptReleaseContext(provider, 0);
    if (!done) throw std::runtime_error("CryptoAPI MD5 failed");
    std::wstring text;
    for (BYTE b : digest) {
        text += L"0123456789abcdef"[b >> 4];
        text += L"0123456789abcdef"[b & 15];
    }
    return text;
}

std::wstring ProfileString(const std::wstring& file, const wchar_t* key)
{
    wchar_t value[1024];
    GetPrivateProfileStringW(L"config", key, L"(none)", value, 1024, file.c_str());
    return value;
}

// How many lines set the key, blanks around the name and letter case aside.
int CountKey(const std::vector<std::string>& lines, const std::string& key)
{
    int count = 0;
    for (const std::string& line : lines) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string name = line.substr(0, equals);
        name.erase(name.find_last_not_of(" \t") + 1);
        name.erase(0, name.find_first_not_of(" \t"));
        if (_stricmp(name.c_str(), key.c_str()) == 0) ++count;
    }
    return count;
}

class AppConfigUpdate : public ::testing::Test {
protected:
    // A program directory with data\ and config\, its database made by the script (none
    // when null), the directory edits filled in and fresh database objects on the form.
    void Prepare(const char* script, const std::wstring& name = L"MirelMax")
    {
        d = dir / name;
        CreateDirectoryW(d.c_str(), nullptr);
        CreateDirectoryW((d + L"\\data").c_str(), nullptr);
        CreateDirectoryW((d + L"\\config").c_str(), nullptr);
        if (script) MakeDatabase(Db(), script);
        form.SetpDirET.SetText(d);
        form.ResDirET.SetText(resources);
        form.mrBackUPet.SetText(backup);
        form.cxMemo2.Clear();
        DatabaseObjects objects = CreateDatabaseObjects();
        form.DbQuery = std::move(objects.query);
        form.DbConnection = std::move(objects.connection);
    }

    std::wstring Db() const { return d + L"\\data\\kiwa.db"; }
    std::wstring Config() const { return d + L"\\config\\config.ini"; }

    // Counts the seeding and the numbers drawn; the time stays the system's.
    void CountKeySource()
    {
        form.KeySource.seed = [this] { ++seeds; SeedRandomFromClock(); };
        form.KeySource.random = [this] { ++draws; return RandomBelow100000(); };
    }

    winui::ComApartment com;
    InstallTraceGuard restoreAfterwards; // should the install step get past the failure
    TempDir dir;
    TMainFrm form;
    std::wstring d;
    std::wstring resources = L"C:\\资源库\\MirelRES\\"; // as typed, with its backslash
    std::wstring backup = L"C:\\备份\\MirelBackUp\\";
    int seeds = 0, draws = 0;
};

TEST_F(AppConfigUpdate, StoresTheKeyAndTheResourceDirectory)
{
    const std::wstring kNew = L"<new key>";
    struct Case {
        const char* what;
        const wchar_t* folder;
        const char* script;
        bool keepOld;
        std::vector<ConfigRow> expected;
    };
    const Case cases[] = {
        {"shipped database: the column is there already", L"p1", kShippedDb, false, {{resources, kNew}}},
        {"kept database without the column: it is added",
         L"p2",
         "CREATE TABLE mrconfig (mrrespath TEXT); INSERT INTO mrconfig VALUES ('E:\\old\\res');",
         true,
         {{L"E:\\old\\res", kNew}}},
        {"stored key is kept",
         L"p3",
         "CREATE TABLE mrconfig (mrrespath TEXT, softkey TEXT);"
         "INSERT INTO mrconfig VALUES ('E:\\old\\res', '0f1e2d3c4b5a69788796a5b4c3d2e1f0');",
         false,
         {{resources, L"0f1e2d3c4b5a69788796a5b4c3d2e1f0"}}},
        {"kept information keeps the resource directory",
         L"p4",
         "CREATE TABLE mrconfig (mrrespath TEXT, softkey TEXT);"
         "INSERT INTO mrconfig VALUES ('E:\\old\\res', '');",
         true,
         {{L"E:\\old\\res", kNew}}},
        {"null key reads as empty",
         L"p5",
         "CREATE TABLE mrconfig (mrrespath TEXT, softkey TEXT); INSERT INTO mrconfig VALUES (NULL, NULL);",
         false,
         {{resources, kNew}}},
        {"every row is updated; the first row's key counts",
         L"p6",
         "CREATE TABLE mrconfig (mrrespath TEXT, softkey TEXT);"
         "INSERT INTO mrconfig VALUES ('a', ''), ('b', 'second'), ('c', NULL);",
         false,
         {{resources, kNew}, {resources, kNew}, {resources, kNew}}},
        {"table without rows: nothing stored, no error",
         L"p7",
         "CREATE TABLE mrconfig (mrrespath TEXT, softkey TEXT);",
         false,
         {}},
        {"program directory with a semicolon in its name", L"Mirel;Max", kShippedDb, false, {{resources, kNew}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Prepare(c.script, c.folder);
        form.KeepOld = c.keepOld;
        seeds = draws = 0;
        CountKeySource();
        form.WriteAppConfig();

        const std::vector<ConfigRow> rows = ConfigRows(Db());
        ASSERT_EQ(rows.size(), c.expected.size());
        bool madeKey = false;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].mrrespath, c.expected[i].mrrespath) << "row " << i;
            if (c.expected[i].softkey == kNew) {
                madeKey = true;
                EXPECT_TRUE(IsLowerHexKey(rows[i].softkey)) << "row " << i;
                EXPECT_EQ(rows[i].softkey, rows[0].softkey) << "row " << i;
            } else {
                EXPECT_EQ(rows[i].softkey, c.expected[i].softkey) << "row " << i;
            }
        }
        EXPECT_EQ(seeds, 1) << "the generator is seeded whether or not a key is made";
        EXPECT_EQ(draws, c.expected.empty() || madeKey ? 1 : 0);
        EXPECT_EQ(form.cxMemo2.Lines(), kDoneLines);
        EXPECT_TRUE(form.DbConnection->Connected());
        EXPECT_EQ(ProfileString(Config(), L"backupPath"), backup);
    }
}

TEST_F(AppConfigUpdate, KeyIsTheDigestOfDateTimeAndNumber)
{
    // The texts as a Chinese (PRC) system writes the short date and the long time.
    struct Case {
        WORD hour, minute, second;
        unsigned random;
        const wchar_t* text;
    };
    const Case cases[] = {
        {0, 0, 0, 4711, L"2024/5/1" L"4711"}, // midnight: the date alone
        {0, 0, 1, 0, L"2024/5/1 00:00:01" L"0"},
        {23, 59, 59, 99999, L"2024/5/1 23:59:59" L"99999"},
        {12, 0, 0, 7, L"2024/5/1 12:00:00" L"7"},
    };
    int folder = 0;
    for (const Case& c : cases) {
        const SYSTEMTIME now{2024, 5, 3, 1, c.hour, c.minute, c.second, 250};
        SCOPED_TRACE(AnsiOf(c.text));
        Prepare(kShippedDb, L"k" + std::to_wstring(++folder));
        form.KeySource.now = [&] { return now; };
        form.KeySource.random = [&] { return c.random; };
        form.WriteAppConfig();

        const std::vector<ConfigRow> rows = ConfigRows(Db());
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].softkey, SystemMd5(AnsiOf(c.text)));
    }
}

TEST_F(AppConfigUpdate, ShippedConfigurationGetsOneOfEachKeyAndKeepsTheRest)
{
    Prepare(kShippedDb);
    WriteBytes(Config(), kShippedConfig);
    form.WriteAppConfig();

    EXPECT_EQ(ProfileString(Config(), L"updateurl"), kEndpoint);
    EXPECT_EQ(ProfileString(Config(), L"ver"), L"1.42");
    EXPECT_EQ(ProfileString(Config(), L"backupPath"), backup);
    const std::string bytes = ReadBytes(Config());
    const std::vector<std::string> lines = LinesOf(bytes);
    EXPECT_EQ(CountKey(lines, "ver"), 1);
    EXPECT_EQ(CountKey(lines, "updateurl"), 1);
    EXPECT_EQ(CountKey(lines, "backupPath"), 1);
    EXPECT_EQ(bytes.find('\n'), bytes.find("\r\n") + 1) << "CR LF line ends";
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "[config]");
    // The settings of the installed application stay as shipped, in their order.
    const std::vector<std::string> untouched{"autoBackup=1", "backupCount=5", "dropOption=0",
                                             "colorScheme=\xbe\xad\xb5\xe4\xc0\xb6",
                                             "tipsurl=http://www.tarvo.example/tips/tips.cfm"};
    std::vector<std::string> kept;
    for (const std::string& line : lines)
        if (std::find(untouched.begin(), untouched.end(), line) != untouched.end()) kept.push_back(line);
    EXPECT_EQ(kept, untouched);
}

TEST_F(AppConfigUpdate, MissingConfigurationIsCreatedInTheAnsiCodePage)
{
    Prepare(kShippedDb);
    ASSERT_FALSE(FileExists(Config()));
    form.WriteAppConfig();
    EXPECT_EQ(ReadBytes(Config()),
              "[config]\r\nupdateurl=http://update.tarvo.example/update/update.cfm\r\nver=1.42\r\n"
              "backupPath=C:\\\xb1\xb8\xb7\xdd\\MirelBackUp\\\r\n");
}

TEST_F(AppConfigUpdate, FailuresAfterTheSchemaStepReachTheCaller)
{
    struct Case {
        const char* what;
        bool database;      // the database file is there
        bool configFolder;  // the config folder is there
        bool configLocked;  // another program holds config.ini open
    };
    const Case cases[] = {
        {"no database file", false, true, false},
        {"configuration held open by another program", true, true, true},
        {"no config folder", true, false, false},
    };
    int folder = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Prepare(c.database ? kShippedDb : nullptr, L"f" + std::to_wstring(++folder));
        if (!c.configFolder) RemoveDirectoryW((d + L"\\config").c_str());
        HANDLE holder = INVALID_HANDLE_VALUE;
        if (c.configLocked) {
            WriteBytes(Config(), kShippedConfig);
            holder = CreateFileW(Config().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        }
        const std::wstring message = AppErrorOf([&] { form.WriteAppConfig(); });
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);

        EXPECT_TRUE(form.cxMemo2.Lines().empty()) << "no log lines after a failure";
        if (!c.database) {
            EXPECT_FALSE(message.empty());
            EXPECT_FALSE(FileExists(Config()));
            continue;
        }
        EXPECT_EQ(message, L"Unable to write to " + Config());
        // The database update before it stays done.
        const std::vector<ConfigRow> rows = ConfigRows(Db());
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].mrrespath, resources);
        EXPECT_TRUE(IsLowerHexKey(rows[0].softkey));
        if (c.configLocked) {
            EXPECT_EQ(ReadBytes(Config()), kShippedConfig);
        }
    }
}

TEST_F(AppConfigUpdate, WriteFailureStopsTheInstallStep)
{
    MessageBoxRecorder boxes;
    const auto click = [&](const winui::Control& button) { ClickButton(form.Handle(), button.Id(), button.Handle()); };
    form.CheckBox1.SetChecked(true);
    click(form.CheckBox1);
    click(form.nextOkbt);
    click(form.nextOkbt);
    resources = dir / L"res";
    backup = dir / L"backup";
    Prepare(nullptr);
    click(form.nextOkbt);
    ASSERT_EQ(form.nextOkbt.Text(), L"开始安装");
    WriteBytes(Config(), kShippedConfig);
    const HANDLE holder = CreateFileW(Config().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    click(form.nextOkbt);
    CloseHandle(holder);
    const bool manifestLeft = FileExists(ManifestPath());
    DeleteFileW(ManifestPath().c_str());

    // The test payload has no icon library: that box comes first.
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].text, L"没有找到DLL!");
    EXPECT_EQ(boxes.boxes[1].text, L"Unable to write to " + Config() + L"."); // the report ends it with a full stop
    EXPECT_EQ(boxes.boxes[1].caption, L"setup_wine_tests");
    EXPECT_TRUE(manifestLeft) << "the rest of the install step ran";
    EXPECT_EQ(form.nextOkbt.Text(), L"开始安装");
    EXPECT_FALSE(form.nextOkbt.Enabled());
    const std::vector<std::wstring> log = form.cxMemo2.Lines();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), L"注册TVK文件失败! ");
    const std::vector<ConfigRow> rows = ConfigRows(Db());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].mrrespath, resources) << "the database update stays done";
    EXPECT_EQ(ReadBytes(Config()), kShippedConfig);
}

} // namespace
