#include "IniFile.h"
#include "AppError.h"

#include <windows.h>

#include <vector>

std::wstring IniFile::ReadString(const std::wstring& section, const std::wstring& key,
                                 const std::wstring& defaultValue) const
{
    std::vector<wchar_t> buffer(2048);
    for (;;) {
        const DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue.c_str(),
                                                 buffer.data(), static_cast<DWORD>(buffer.size()),
                                                 path_.c_str());
        if (n + 1 < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

int IniFile::ReadInteger(const std::wstring& section, const std::wstring& key,
                         int defaultValue) const
{
    const std::wstring text = ReadString(section, key, L"");
    std::size_t at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
    if (at == text.size()) return defaultValue;
    long long value = 0;
    for (; at < text.size(); ++at) {
        if (text[at] < L'0' || text[at] > L'9') return defaultValue;
        value = value * 10 + (text[at] - L'0');
        if (value > 0x7fffffffLL) return defaultValue;
    }
    return static_cast<int>(negative ? -value : value);
}

void IniFile::WriteString(const std::wstring& section, const std::wstring& key,
                          const std::wstring& value)
{
    if (WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), path_.c_str()))
        return;
    std::wstring fullName = path_;
    if (const DWORD n = GetFullPathNameW(path_.c_str(), 0, nullptr, nullptr)) {
        std::vector<wchar_t> buffer(n);
        const DWORD written = GetFullPathNameW(path_.c_str(), n, buffer.data(), nullptr);
        if (written > 0 && written < n) fullName.assign(buffer.data(), written);
    }
    throw winui::AppError(L"Unable to write to " + fullName);
}

namespace {

std::wstring Upper(std::wstring text)
{
    if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring Trimmed(const std::wstring& text)
{
    const auto first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return L"";
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

} // namespace

IniSection IniFile::ReadSection(const std::wstring& section) const
{
    std::vector<wchar_t> buffer(1 << 16);
    DWORD n = 0;
    for (;;) {
        n = GetPrivateProfileSectionW(section.c_str(), buffer.data(),
                                      static_cast<DWORD>(buffer.size()), path_.c_str());
        if (n + 2 < buffer.size()) break;
        buffer.resize(buffer.size() * 2);
    }
    IniSection result;
    // "key=value\0key=value\0...\0"
    for (const wchar_t* line = buffer.data(); line < buffer.data() + n && *line;
         line += wcslen(line) + 1) {
        const std::wstring text = line;
        const auto equals = text.find(L'=');
        std::optional<std::wstring> value;
        if (equals != std::wstring::npos) value = Trimmed(text.substr(equals + 1));
        result.values_.emplace(Upper(Trimmed(text.substr(0, equals))), std::move(value));
    }
    return result;
}

std::wstring IniSection::ReadString(const std::wstring& key, const std::wstring& defaultValue) const
{
    const auto found = values_.find(Upper(key));
    if (found == values_.end() || !found->second) return defaultValue;
    const std::wstring& value = *found->second;
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}
