#include "AppDatabaseFile.h"
#include "Text.h"

#include <windows.h>

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace testing_support {

namespace {

std::string Utf8(const std::wstring& text) { return winui::Narrow(text, CP_UTF8); }
std::wstring Utf8ToWide(const std::string& text) { return winui::Widen(text, CP_UTF8); }

std::wstring Column(sqlite3_stmt* statement, int column)
{
    if (sqlite3_column_type(statement, column) == SQLITE_NULL) return L"(null)";
    const auto* text = static_cast<const wchar_t*>(sqlite3_column_text16(statement, column));
    return std::wstring(text, sqlite3_column_bytes16(statement, column) / sizeof(wchar_t));
}

using Database = std::unique_ptr<sqlite3, int (*)(sqlite3*)>;

Database Open(const std::wstring& path, int flags)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(Utf8(path).c_str(), &db, flags, nullptr);
    Database owner(db, sqlite3_close);
    if (rc != SQLITE_OK) throw std::runtime_error("cannot open test database: " + std::string(sqlite3_errstr(rc)));
    return owner;
}

using Statement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

Statement Prepare(sqlite3* db, const std::string& sql)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot read test database: " + std::string(sqlite3_errmsg(db)));
    return Statement(raw, sqlite3_finalize);
}

// Each row of the statement as "name=<class>:value" for every column, joined by " | ".
std::vector<std::wstring> Rows(sqlite3* db, const std::string& sql)
{
    const Statement statement = Prepare(db, sql);
    sqlite3_stmt* s = statement.get();
    std::vector<std::wstring> rows;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        std::wstring row;
        for (int i = 0; i < sqlite3_column_count(s); ++i) {
            if (i > 0) row += L" | ";
            row += static_cast<const wchar_t*>(sqlite3_column_name16(s, i));
            char number[64];
            switch (sqlite3_column_type(s, i)) {
            case SQLITE_NULL: row += L"=null"; break;
            case SQLITE_INTEGER:
                std::snprintf(number, sizeof number, "%lld", static_cast<long long>(sqlite3_column_int64(s, i)));
                row += L"=integer:" + std::wstring(number, number + std::strlen(number));
                break;
            case SQLITE_FLOAT:
                std::snprintf(number, sizeof number, "%.17g", sqlite3_column_double(s, i));
                row += L"=real:" + std::wstring(number, number + std::strlen(number));
                break;
            case SQLITE_TEXT: row += L"=text:" + Column(s, i); break;
            default: {
                row += L"=blob:";
                const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(s, i));
                for (int at = 0; at < sqlite3_column_bytes(s, i); ++at) {
                    row += L"0123456789abcdef"[bytes[at] >> 4];
                    row += L"0123456789abcdef"[bytes[at] & 15];
                }
            }
            }
        }
        rows.push_back(row);
    }
    if (rc != SQLITE_DONE) throw std::runtime_error("cannot read test database: " + std::string(sqlite3_errmsg(db)));
    return rows;
}

void Run(sqlite3* db, const char* script, const char* what)
{
    char* error = nullptr;
    if (sqlite3_exec(db, script, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(std::string(what) + ": " + message);
    }
}

} // namespace

void ChangeDatabase(const std::wstring& path, const char* script)
{
    const Database db = Open(path, SQLITE_OPEN_READWRITE);
    Run(db.get(), script, "cannot change test database");
}

DatabaseContent ContentOf(const std::wstring& path)
{
    const Database db = Open(path, SQLITE_OPEN_READONLY);
    DatabaseContent content;
    content[L"sqlite_master"] = Rows(db.get(), "select * from sqlite_master order by name");
    const Statement tables = Prepare(db.get(), "select name from sqlite_master where type = 'table'");
    while (sqlite3_step(tables.get()) == SQLITE_ROW) {
        const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(tables.get(), 0));
        content[Utf8ToWide(name)] = Rows(db.get(), "select * from \"" + name + "\"");
    }
    return content;
}

TablePlace PlaceOf(const std::wstring& path, const std::wstring& table)
{
    const Database db = Open(path, SQLITE_OPEN_READONLY);
    const Statement size = Prepare(db.get(), "pragma page_size");
    const Statement root = Prepare(db.get(), "select rootpage from sqlite_master where type = 'table' and name = '" +
                                                 Utf8(table) + "'");
    if (sqlite3_step(size.get()) != SQLITE_ROW || sqlite3_step(root.get()) != SQLITE_ROW)
        throw std::runtime_error("no such table in test database");
    return {sqlite3_column_int(size.get(), 0), sqlite3_column_int(root.get(), 0)};
}

void MakeDatabase(const std::wstring& path, const char* script)
{
    const Database db = Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    Run(db.get(), script, "cannot make test database");
}

std::vector<ConfigRow> ConfigRows(const std::wstring& path)
{
    const Database db = Open(path, SQLITE_OPEN_READONLY);
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db.get(), "select * from mrconfig", -1, &raw, nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot read mrconfig: " + std::string(sqlite3_errmsg(db.get())));
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
    int path_column = -1, key_column = -1;
    for (int i = 0; i < sqlite3_column_count(raw); ++i) {
        const std::string name = sqlite3_column_name(raw, i);
        if (_stricmp(name.c_str(), "mrrespath") == 0) path_column = i;
        if (_stricmp(name.c_str(), "softkey") == 0) key_column = i;
    }
    std::vector<ConfigRow> rows;
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        rows.push_back({path_column < 0 ? L"(missing)" : Column(raw, path_column),
                        key_column < 0 ? L"(missing)" : Column(raw, key_column)});
    }
    if (rc != SQLITE_DONE) throw std::runtime_error("cannot read mrconfig: " + std::string(sqlite3_errmsg(db.get())));
    return rows;
}

bool IsLowerHexKey(const std::wstring& key)
{
    return key.size() == 32 && key.find_first_not_of(L"0123456789abcdef") == std::wstring::npos;
}

} // namespace testing_support
