// The application database's configuration table, made and read with SQLite directly,
// beside the setup program's own database classes.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace testing_support {

struct ConfigRow {
    std::wstring mrrespath;
    std::wstring softkey; // a null reads as "(null)"
    bool operator==(const ConfigRow& other) const
    {
        return mrrespath == other.mrrespath && softkey == other.softkey;
    }
};

// A new database file holding what the script creates.
void MakeDatabase(const std::wstring& path, const char* script);

// Runs the script in an existing database file.
void ChangeDatabase(const std::wstring& path, const char* script);

// Everything a database holds, table by table: the schema under "sqlite_master", then
// every table under its name, its rows in storage order, each row written as its
// columns' names, storage classes and values.
using DatabaseContent = std::map<std::wstring, std::vector<std::wstring>>;
DatabaseContent ContentOf(const std::wstring& path);

// The page size of the file and the number of the page where the table's b-tree starts.
struct TablePlace {
    int pageSize;
    int rootPage;
};
TablePlace PlaceOf(const std::wstring& path, const std::wstring& table);

// Every row of mrconfig, in the table's order. The column softkey may be missing
// (reads as "(missing)").
std::vector<ConfigRow> ConfigRows(const std::wstring& path);

// 32 digits from "0123456789abcdef".
bool IsLowerHexKey(const std::wstring& key);

} // namespace testing_support
