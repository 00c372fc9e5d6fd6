// Conversions between UTF-16 text and the bytes of a code page.
#pragma once

#include <windows.h>

#include <string>

namespace winui {

std::string Narrow(const std::wstring& text, UINT codePage);
std::wstring Widen(const char* bytes, int size, UINT codePage);
inline std::wstring Widen(const std::string& bytes, UINT codePage)
{
    return Widen(bytes.data(), static_cast<int>(bytes.size()), codePage);
}

// Text in the system ANSI code page, as text files and foreign interfaces take it.
inline std::string ToAnsi(const std::wstring& text) { return Narrow(text, CP_ACP); }

// The system's text for an error code (Win32 or HRESULT), without the trailing line
// break; "System error N" (Win32) or "OLE error XXXXXXXX" (HRESULT) when the system has
// none.
std::wstring SystemMessage(DWORD code);

// The full path of the running program's file.
std::wstring ProgramPath();

} // namespace winui
