#include "Text.h"

#include <cstdio>
#include <vector>

namespace winui {

std::string Narrow(const std::wstring& text, UINT codePage)
{
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(codePage, 0, text.data(), size, bytes.data(), n, nullptr, nullptr);
    return bytes;
}

std::wstring Widen(const char* bytes, int size, UINT codePage)
{
    if (size <= 0) return {};
    const int n = MultiByteToWideChar(codePage, 0, bytes, size, nullptr, 0);
    std::wstring text(n, L'\0');
    MultiByteToWideChar(codePage, 0, bytes, size, text.data(), n);
    return text;
}

std::wstring SystemMessage(DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n ? std::wstring(buffer, n) : std::wstring();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    if (text.empty()) {
        wchar_t fallback[32];
        if (code & 0x80000000u)
            swprintf(fallback, 32, L"OLE error %08lX", static_cast<unsigned long>(code));
        else
            swprintf(fallback, 32, L"System error %lu", static_cast<unsigned long>(code));
        text = fallback;
    }
    return text;
}

std::wstring ProgramPath()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) return std::wstring(path.data(), n);
        path.resize(path.size() * 2);
    }
}

} // namespace winui
