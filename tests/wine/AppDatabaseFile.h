// The application database's configuration table, made and read with SQLite directly,
// beside the setup program's own database classes.
#pragma once

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

// Every row of mrconfig, in the table's order. The column softkey may be missing
// (reads as "(missing)").
std::vector<ConfigRow> ConfigRows(const std::wstring& path);

// 32 digits from "0123456789abcdef".
bool IsLowerHexKey(const std::wstring& key);

} // namespace testing_support
