// Reading an INI file through the platform's profile functions: section and key
// names without regard to case, a file without byte-order mark decoded in the ANSI
// code page.
#pragma once

#include <string>

class IniFile {
public:
    explicit IniFile(std::wstring path) : path_(std::move(path)) {}
    const std::wstring& Path() const { return path_; }
    std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                            const std::wstring& defaultValue) const;
    // A missing or non-numeric value reads as the default.
    int ReadInteger(const std::wstring& section, const std::wstring& key, int defaultValue) const;

private:
    std::wstring path_;
};
