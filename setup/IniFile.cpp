#include "IniFile.h"

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
