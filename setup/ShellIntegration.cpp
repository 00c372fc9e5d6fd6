#include "ShellIntegration.h"

#include "AppError.h"
#include "Com.h"
#include "Dialogs.h"
#include "Handles.h"
#include "Text.h"

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cwchar>
#include <vector>

namespace {

// How long the kill step waits, all in all, for the processes it stopped to be gone.
constexpr ULONGLONG kProcessEndWaitMs = 5000;

wchar_t FoldAsciiLetter(wchar_t c) { return c >= L'a' && c <= L'z' ? c - (L'a' - L'A') : c; }

bool SameName(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAsciiLetter(a[i]) != FoldAsciiLetter(b[i])) return false;
    return true;
}

winui::RegKey OpenMachineKey(const std::wstring& key)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &handle, nullptr) != ERROR_SUCCESS)
        handle = nullptr;
    return winui::RegKey(handle);
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

const wchar_t kShellLinkClassId[] = L"{00021401-0000-0000-C000-000000000046}";

template <class Interface>
winui::ComPtr<Interface> QueryInterfaceOf(IUnknown* object, REFIID iid)
{
    void* pointer = nullptr;
    if (FAILED(object->QueryInterface(iid, &pointer)) || !pointer)
        throw winui::AppError(L"Interface not supported");
    return winui::ComPtr<Interface>(static_cast<Interface*>(pointer));
}

std::wstring DesktopDirectory()
{
    LPITEMIDLIST folder = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &folder)) || !folder)
        throw winui::AppError(L"The desktop folder cannot be found");
    wchar_t path[MAX_PATH + 1] = L"";
    const BOOL found = SHGetPathFromIDListW(folder, path);
    CoTaskMemFree(folder);
    if (!found) throw winui::AppError(L"The desktop folder cannot be found");
    return path;
}

using RegisterFileTypeFunction = void(WINAPI*)(const char* portalDll, const char* appExe);

} // namespace

bool ProcessNameMatches(const std::wstring& exeFile, const std::wstring& name)
{
    const std::size_t cut = exeFile.find_last_of(L"\\:");
    const std::wstring last = cut == std::wstring::npos ? exeFile : exeFile.substr(cut + 1);
    return SameName(last, name) || SameName(exeFile, name);
}

void KillProcessByName(const std::wstring& name)
{
    const winui::KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    std::vector<winui::KernelHandle> stopped;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        // A setup program that happens to carry one of the names goes on installing.
        if (entry.th32ProcessID == GetCurrentProcessId()) continue;
        const std::wstring exeFile(entry.szExeFile, wcsnlen(entry.szExeFile, MAX_PATH));
        if (!ProcessNameMatches(exeFile, name)) continue;
        winui::KernelHandle process(
            OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (!process) process.Reset(OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
        if (process && TerminateProcess(process.Get(), 0)) stopped.push_back(std::move(process));
    }
    // A terminated process keeps its executable open until it has ended, and the install
    // is about to replace that file.
    const ULONGLONG deadline = GetTickCount64() + kProcessEndWaitMs;
    for (const winui::KernelHandle& process : stopped) {
        const ULONGLONG now = GetTickCount64();
        WaitForSingleObject(process.Get(), now < deadline ? static_cast<DWORD>(deadline - now) : 0);
    }
}

std::wstring ReadMachineString(const std::wstring& key, const std::wstring& name)
{
    const winui::RegKey machineKey = OpenMachineKey(key);
    if (!machineKey) return L"";
    for (;;) {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(machineKey.Get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            return L"";
        if (!IsStringType(type)) throw winui::AppError(L"Invalid data type for '" + name + L"'");
        // Room for every byte (an odd count too) and one unit more, so that a value
        // stored without its NUL ends inside the buffer.
        std::vector<wchar_t> data((size + 1) / sizeof(wchar_t) + 1, L'\0');
        DWORD read = size;
        const LONG result = RegQueryValueExW(machineKey.Get(), name.c_str(), nullptr, &type,
                                             reinterpret_cast<BYTE*>(data.data()), &read);
        if (result == ERROR_MORE_DATA || (result == ERROR_SUCCESS && !IsStringType(type)))
            continue; // changed in between: look again
        if (result != ERROR_SUCCESS) return L"";
        return data.data(); // up to the first NUL; an expandable string stays unexpanded
    }
}

void WriteMachineString(const std::wstring& key, const std::wstring& name, const std::wstring& data)
{
    const winui::RegKey machineKey = OpenMachineKey(key);
    const DWORD size = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    if (!machineKey ||
        RegSetValueExW(machineKey.Get(), name.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(data.c_str()), size) != ERROR_SUCCESS)
        throw winui::AppError(L"Failed to set data for '" + name + L"'");
}

void CreateDesktopShortcut(const std::wstring& target, const std::wstring& workingDir,
                           std::wstring& shortcutPath)
{
    IUnknown* created = nullptr;
    const HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr,
                                        CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                        reinterpret_cast<void**>(&created));
    if (FAILED(hr) || !created)
        throw winui::AppError(winui::SystemMessage(static_cast<DWORD>(hr)) + L", ClassID: " +
                              kShellLinkClassId);
    const winui::ComPtr<IUnknown> object(created);
    const auto link = QueryInterfaceOf<IShellLinkW>(object.get(), IID_IShellLinkW);
    const auto file = QueryInterfaceOf<IPersistFile>(object.get(), IID_IPersistFile);

    // The link's own calls are not checked: a link that cannot be saved still leaves its
    // path for the registry.
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(workingDir.c_str());
    shortcutPath = DesktopDirectory() + L"\\Tarvo资源管理系统.lnk";
    file->Save(shortcutPath.c_str(), FALSE);
}

bool RegisterTvkFileType(const std::string& portalDll, const std::string& appExe,
                         const std::wstring& iconDll)
{
    const winui::ModuleHandle library(LoadLibraryW(iconDll.c_str()));
    if (!library) {
        winui::ShowMessage(L"没有找到DLL!");
        return false;
    }
    const FARPROC found = GetProcAddress(library.Get(), "RegisterFileTypeTVK");
    if (!found) return false;
    // stdcall: the library takes its two arguments off the stack itself.
    const auto registerFileType =
        reinterpret_cast<RegisterFileTypeFunction>(reinterpret_cast<void*>(found));
    registerFileType(portalDll.c_str(), appExe.c_str());
    return true;
}
