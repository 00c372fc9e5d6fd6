// DbConnection and DbQuery against databases that each test makes with SQLite itself,
// and the creation check against the registration of the system's ADO classes.
#include "Database.h"
#include "Text.h"
#include "WineTestSupport.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <iostream>

using namespace testing_support;

namespace {

std::string Utf8(const std::wstring& text) { return winui::Narrow(text, CP_UTF8); }

// Makes a database file holding what the script creates.
void MakeDatabase(const std::wstring& path, const char* script)
{
    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(Utf8(path).c_str(), &db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    char* error = nullptr;
    const int ran = opened == SQLITE_OK ? sqlite3_exec(db, script, nullptr, nullptr, &error) : opened;
    const std::string message = error ? error : sqlite3_errmsg(db);
    sqlite3_free(error);
    sqlite3_close(db);
    if (ran != SQLITE_OK) throw std::runtime_error("cannot make test database: " + message);
}

const char* const kConfig =
    "CREATE TABLE mrconfig (mrrespath TEXT, softkey TEXT);"
    "INSERT INTO mrconfig VALUES ('D:\\Tarvo\\res', 'K-1');";

std::wstring ConnectionStringFor(const std::wstring& path)
{
    return L"Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=" + path +
           L";Persist Security Info=True";
}

class Database : public ::testing::Test {
protected:
    // A connection to a new database made by the script, and a query on it.
    void Connect(const char* script, const std::wstring& name = L"kiwa.db")
    {
        path = dir / name;
        MakeDatabase(path, script);
        connection.SetConnectionString(ConnectionStringFor(path));
        connection.Connect();
    }

    void Select(const std::wstring& sql)
    {
        query.SetSql(sql);
        query.Open();
    }

    TempDir dir;
    std::wstring path;
    DbConnection connection;
    DbQuery query{connection};
};

TEST(ConnectionString, DataSourceIsFoundInEveryForm)
{
    const struct {
        const wchar_t* text;
        const wchar_t* dataSource;
    } cases[] = {
        {L"Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=D:\\Tarvo\\MirelMax\\data\\kiwa.db;"
         L"Persist Security Info=True",
         L"D:\\Tarvo\\MirelMax\\data\\kiwa.db"},
        {L"data SOURCE = C:\\with blanks\\a.db ;Mode=Share", L"C:\\with blanks\\a.db"},
        {L"Data Source=\"C:\\semi;colon\\a.db\";Mode=Share", L"C:\\semi;colon\\a.db"},
        {L"Data Source='C:\\it''s\\a.db'", L"C:\\it's\\a.db"},
        {L"Password=\"Data Source=C:\\not.db\";Data Source=C:\\yes.db", L"C:\\yes.db"},
        {L";;Data Source=C:\\a.db;;", L"C:\\a.db"},
        {L"Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\"", L""},
        {L"DataSource=C:\\a.db", L""},
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(DataSourceOf(c.text), c.dataSource) << c.text;
}

TEST(ConnectionString, OfTheApplicationDatabaseNamesItsFile)
{
    EXPECT_EQ(AppDatabaseConnectionString(L"D:\\Tarvo\\MirelMax"),
              L"Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=D:\\Tarvo\\MirelMax\\data\\kiwa.db;"
              L"Persist Security Info=True");
    // Whatever the directory, the Data Source read back is the file under it, as typed.
    const wchar_t* const directories[] = {
        L"D:\\Tarvo\\MirelMax", L"D:\\Tarvo\\", L"D:\\a;b", L"D:\\x;Data Source=C:\\other",
        L"'D:\\q'", L"\"D:\\q", L" D:\\lead", L"C:\\程序 目录",
    };
    for (const wchar_t* directory : directories) {
        EXPECT_EQ(DataSourceOf(AppDatabaseConnectionString(directory)),
                  std::wstring(directory) + L"\\data\\kiwa.db")
            << testing::PrintToString(std::wstring(directory));
    }
}

TEST_F(Database, ReadsUpdatesWithParametersAndReadsAgain)
{
    Connect(kConfig);
    EXPECT_TRUE(connection.Connected());

    Select(L"select * from MRCONFIG");
    ASSERT_FALSE(query.Eof());
    EXPECT_EQ(query.FieldAsText(L"MRRESPATH"), L"D:\\Tarvo\\res");
    EXPECT_EQ(query.FieldAsText(L"SoftKey"), L"K-1");
    query.Close();
    EXPECT_TRUE(query.Eof());

    query.SetSql(L"update mrconfig set mrrespath = :p1, softkey = :p2");
    query.SetParameter(L"p2", L"first");
    query.SetParameter(L"p1", L"E:\\资源\\它's");
    query.SetParameter(L"P2", L"密钥-2"); // the same parameter again, in other letters
    query.Execute();

    // Read back through a new connection: the update is in the file.
    connection.Disconnect();
    EXPECT_FALSE(connection.Connected());
    connection.Connect();
    Select(L"SELECT MrResPath, softkey FROM mrconfig");
    ASSERT_FALSE(query.Eof());
    EXPECT_EQ(query.FieldAsText(L"mrrespath"), L"E:\\资源\\它's");
    EXPECT_EQ(query.FieldAsText(L"SOFTKEY"), L"密钥-2");
}

TEST_F(Database, ExecuteAddsAMissingColumnThatReadsAsEmpty)
{
    Connect("CREATE TABLE mrconfig (mrrespath TEXT); INSERT INTO mrconfig VALUES ('D:\\r');");
    query.SetSql(L"ALTER TABLE mrconfig ADD softkey text");
    query.Execute();

    Select(L"select softkey, mrrespath, 42 as answer from mrconfig");
    ASSERT_FALSE(query.Eof());
    EXPECT_EQ(query.FieldAsText(L"softkey"), L"");
    EXPECT_EQ(query.FieldAsText(L"mrrespath"), L"D:\\r");
    EXPECT_EQ(query.FieldAsText(L"ANSWER"), L"42");
    EXPECT_EQ(AppErrorOf([&] { query.FieldAsText(L"nosuchfield"); }), L"Field 'nosuchfield' not found");

    // The column is there now: the engine refuses to add it again, in its own words.
    query.SetSql(L"ALTER TABLE mrconfig ADD softkey text");
    EXPECT_EQ(AppErrorOf([&] { query.Execute(); }), L"duplicate column name: softkey");
}

TEST_F(Database, NoRowsIsEof)
{
    Connect(kConfig);
    query.SetSql(L"select * from mrconfig where softkey = :p1");
    query.SetParameter(L"p1", L"no such key");
    query.Open();
    EXPECT_TRUE(query.Eof());
    EXPECT_FALSE(AppErrorOf([&] { query.FieldAsText(L"softkey"); }).empty());
}

TEST_F(Database, RejectedStatementsRaiseTheEngineMessageAndChangeNothing)
{
    Connect(kConfig);
    const struct {
        const wchar_t* sql;
        bool open; // Open, else Execute
        const wchar_t* message;
    } cases[] = {
        {L"select * from missing_table", true, L"no such table: missing_table"},
        {L"update missing_table set a = 1", false, L"no such table: missing_table"},
        {L"selec * from mrconfig", true, L"near \"selec\": syntax error"},
        {L"update mrconfig set softkey = 'changed'", true,
         L"The statement gives no rows; run it with Execute"},
        {L"update mrconfig set softkey = 'changed'; delete from mrconfig", false,
         L"The query holds more than one statement"},
        {L"update mrconfig set softkey = :p1", false, L"No value given for parameter :p1"},
    };
    for (const auto& c : cases) {
        query.SetSql(c.sql);
        EXPECT_EQ(AppErrorOf([&] { c.open ? query.Open() : query.Execute(); }), c.message) << c.sql;
        EXPECT_TRUE(query.Eof());
    }

    query.SetSql(L"update mrconfig set softkey = 'changed'");
    query.SetParameter(L"p9", L"x");
    EXPECT_EQ(AppErrorOf([&] { query.Execute(); }), L"Parameter 'p9' not found");

    // A trailing semicolon and comment are not a second statement.
    Select(L"select softkey from mrconfig; -- the only one\r\n");
    ASSERT_FALSE(query.Eof());
    EXPECT_EQ(query.FieldAsText(L"softkey"), L"K-1");
}

TEST_F(Database, MissingFileFailsAtConnectAndIsNotCreated)
{
    const std::wstring missing = dir / L"missing.db";
    connection.SetConnectionString(ConnectionStringFor(missing));
    EXPECT_EQ(AppErrorOf([&] { connection.Connect(); }), L"unable to open database file");
    EXPECT_FALSE(connection.Connected());
    EXPECT_FALSE(FileExists(missing));
}

TEST_F(Database, FileThatIsNotADatabaseFailsAtConnect)
{
    const std::wstring text = dir / L"kiwa.db";
    WriteBytes(text, std::string(2048, 'x'));
    connection.SetConnectionString(ConnectionStringFor(text));
    EXPECT_EQ(AppErrorOf([&] { connection.Connect(); }), L"file is not a database");
    EXPECT_FALSE(connection.Connected());

    connection.SetConnectionString(L"Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\"");
    EXPECT_EQ(AppErrorOf([&] { connection.Connect(); }), L"The connection string names no Data Source");
}

TEST_F(Database, ConnectionStringChangesOnlyWhileDisconnected)
{
    Connect(kConfig);
    const std::wstring other = dir / L"other.db";
    MakeDatabase(other, "CREATE TABLE mrconfig (mrrespath TEXT, softkey TEXT);");

    connection.SetConnectionString(ConnectionStringFor(path)); // the same text: accepted
    EXPECT_TRUE(connection.Connected());
    EXPECT_FALSE(AppErrorOf([&] { connection.SetConnectionString(ConnectionStringFor(other)); }).empty());
    EXPECT_TRUE(connection.Connected());
    Select(L"select * from mrconfig"); // still the first file
    EXPECT_FALSE(query.Eof());

    connection.Disconnect();
    EXPECT_TRUE(query.Eof()); // its result went with the connection
    connection.SetConnectionString(ConnectionStringFor(other));
    connection.Connect();
    Select(L"select * from mrconfig");
    EXPECT_TRUE(query.Eof());
}

TEST_F(Database, QueryNeedsAnOpenConnection)
{
    MakeDatabase(dir / L"kiwa.db", kConfig);
    query.SetSql(L"select * from mrconfig");
    EXPECT_EQ(AppErrorOf([&] { query.Open(); }), L"The database connection is not open");

    // A query that outlives its connection refuses to run instead of touching it.
    auto shortLived = std::make_unique<DbConnection>();
    DbQuery orphan(*shortLived);
    shortLived->SetConnectionString(ConnectionStringFor(dir / L"kiwa.db"));
    shortLived->Connect();
    orphan.SetSql(L"select * from mrconfig");
    orphan.Open();
    EXPECT_FALSE(orphan.Eof());
    shortLived.reset();
    EXPECT_TRUE(orphan.Eof());
    EXPECT_EQ(AppErrorOf([&] { orphan.Open(); }), L"The database connection is not open");
}

TEST_F(Database, ChineseFolderAndFileName)
{
    const std::wstring folder = dir / L"天河资源";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    Connect(kConfig, L"天河资源\\数据库.db");
    EXPECT_TRUE(FileExists(folder + L"\\数据库.db")); // made where the wide name says

    Select(L"select * from mrconfig");
    ASSERT_FALSE(query.Eof());
    EXPECT_EQ(query.FieldAsText(L"softkey"), L"K-1");
}

// --- Creation and the system's ADO classes -----------------------------------------------

// The ADO registration is put right at the end of the program, whatever happened.
[[maybe_unused]] ::testing::Environment* const g_adoRestorer =
    ::testing::AddGlobalTestEnvironment(new AdoRestorer);

TEST(DatabaseCreation, NeedsTheAdoClassesRegistered)
{
    {
        DatabaseObjects objects = CreateDatabaseObjects();
        ASSERT_TRUE(objects.connection && objects.query);
        EXPECT_FALSE(objects.connection->Connected());
        EXPECT_TRUE(objects.query->Eof());
    }
    {
        AdoUnregistered unregistered;
        ASSERT_EQ(unregistered.exitCode, 0u);
        const std::wstring message = AppErrorOf([] { CreateDatabaseObjects(); });
        ASSERT_FALSE(message.empty());
        EXPECT_NE(message.back(), L'\n');
        EXPECT_NE(message.back(), L' ');
        std::cout << "creation without ADO: " << Utf8(message) << std::endl;
    }
    DatabaseObjects again = CreateDatabaseObjects();
    EXPECT_TRUE(again.connection && again.query);
}

} // namespace
