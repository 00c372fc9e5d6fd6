// An INI file through the platform's profile functions: section and key names without
// regard to case and to blanks around them, a file without byte-order mark in the ANSI
// code page.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>

// The keys of one section, read in one go: a list of thousands of keys is looked up
// without asking the platform, and reading the file, once a key.
class IniSection {
public:
    // As IniFile::ReadString gives it: the first key of that name in any letter case,
    // blanks around the value dropped, one pair of enclosing quotes taken off.
    std::wstring ReadString(const std::wstring& key, const std::wstring& defaultValue) const;

private:
    friend class IniFile;
    // By upper-case key; a line without "=" names a key without a value.
    std::unordered_map<std::wstring, std::optional<std::wstring>> values_;
};

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
    // Every key of the section; a missing section has none.
    IniSection ReadSection(const std::wstring& section) const;

private:
    std::wstring path_;
};
