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
