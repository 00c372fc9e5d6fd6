#include "AppDatabaseFile.h"

#include <windows.h>

#include <sqlite3.h>

#include <memory>
#include <stdexcept>

namespace testing_support {

namespace {

std::string Utf8(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), n, nullptr, nullptr);
    bytes.pop_back();
    return bytes;
}

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

} // namespace

void MakeDatabase(const std::wstring& path, const char* script)
{
    const Database db = Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    char* error = nullptr;
    if (sqlite3_exec(db.get(), script, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error("cannot make test database: " + message);
    }
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
