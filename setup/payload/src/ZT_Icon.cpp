// The product's file-type library: registers the resource packages (.tvk) with the
// shell, shown with the portal library's icon and opened by the resource manager.
//
// The program directory is shared by every user of the machine, so the file type is
// registered machine-wide, under HKEY_LOCAL_MACHINE\Software\Classes, beside the
// setup program's own machine-wide values; it needs the same administrator rights.
#include <windows.h>
#include <shlobj.h>

#include <string>

namespace {

const wchar_t kClasses[] = L"Software\\Classes\\";
const wchar_t kExtension[] = L".tvk";
const wchar_t kProgId[] = L"Tarvo.TVKFile";
const wchar_t kDescription[] = L"Tarvo资源包";

std::wstring FromAnsi(const char* text)
{
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 0) return L"";
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
    wide.resize(n - 1);
    return wide;
}

// Sets the default value of a key under the machine's classes, creating the key.
bool SetClassDefault(const std::wstring& subkey, const std::wstring& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kClasses + subkey).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueExW(key, nullptr, 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

} // namespace

// portalDll: full path of ZT_Portal.dll, whose first icon the packages show; appExe:
// full path of kiwa.exe, which opens them. Both in the system ANSI code page.
extern "C" __declspec(dllexport) BOOL WINAPI RegisterFileTypeTVK(const char* portalDll,
                                                                  const char* appExe)
{
    if (!portalDll || !appExe || !*portalDll || !*appExe) return FALSE;
    bool registered = false;
    try { // no C++ exception leaves the library
        const std::wstring progId = kProgId;
        registered =
            SetClassDefault(kExtension, progId) && SetClassDefault(progId, kDescription) &&
            SetClassDefault(progId + L"\\DefaultIcon", FromAnsi(portalDll) + L",0") &&
            SetClassDefault(progId + L"\\shell\\open\\command",
                            L"\"" + FromAnsi(appExe) + L"\" \"%1\"");
    } catch (...) {
        return FALSE;
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return registered ? TRUE : FALSE;
}
