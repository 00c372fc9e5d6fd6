// An INI file through the platform's profile functions: section and key names without
// regard to case and to blanks around them, a file without byte-order mark in the ANSI
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
    // Replaces the key's value, or adds the key, its section or the file where missing.
    // Throws winui::AppError "Unable to write to <full name>" when the file cannot be written.
    void WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value);

private:
    std::wstring path_;
};
