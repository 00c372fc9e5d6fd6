#include "WineTestSupport.h"

#include "MessageBox.h"

#include <shlobj.h>

#include <stdexcept>

namespace testing_support {

TempDir::TempDir()
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        path_ = std::wstring(base) + L"tarvo-test-" + std::to_wstring(GetCurrentProcessId()) +
                L"-" + std::to_wstring(++counter);
        if (!path_.empty() && path_.back() == L'\\') path_.pop_back();
        if (CreateDirectoryW(path_.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("temp dir");
    }
}

TempDir::~TempDir() { DeleteTree(path_); }

void DeleteTree(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create test file");
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    if (written != bytes.size()) throw std::runtime_error("cannot write test file");
}

std::string ReadBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open test file");
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

std::vector<std::string> LinesOf(const std::string& bytes)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t end = bytes.find("\r\n", at);
        lines.push_back(bytes.substr(at, end - at));
        at = end == std::string::npos ? bytes.size() : end + 2;
    }
    return lines;
}

void ClickButton(HWND parent, int id, HWND button)
{
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool FileExists(const std::wstring& path)
{
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path)
{
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string SceneBytes(std::size_t size, std::size_t markerAt, unsigned release)
{
    std::string bytes(size, '\x5a');
    const unsigned char marker[12] = {0x42, 0x30, 0x60, 0x11, 0, 0, 0, 0, 0x99, 0x99,
                                      static_cast<unsigned char>(release & 0xff),
                                      static_cast<unsigned char>(release >> 8)};
    for (std::size_t i = 0; i < 12 && markerAt + i < size; ++i)
        bytes[markerAt + i] = static_cast<char>(marker[i]);
    return bytes;
}

MessageBoxRecorder::MessageBoxRecorder()
{
    winui::SetMessageBoxHook([this](HWND, const std::wstring& text, const std::wstring& caption,
                                    UINT style) {
        boxes.push_back({text, caption, style});
        return IDOK;
    });
}

MessageBoxRecorder::~MessageBoxRecorder() { winui::SetMessageBoxHook(nullptr); }

HDROP MakeDropHandle(const std::vector<std::wstring>& files)
{
    std::size_t chars = 1;
    for (const auto& f : files) chars += f.size() + 1;
    const std::size_t size = sizeof(DROPFILES) + chars * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* names = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(header) + sizeof(DROPFILES));
    for (const auto& f : files) {
        f.copy(names, f.size());
        names += f.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

namespace {

using Key = RegistryKeyRestorer::Key;

bool ReadKey(HKEY root, const std::wstring& subkey, Key& key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
    RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                     &longestName, &longestData, nullptr, nullptr);
    for (DWORD i = 0; i < values; ++i) {
        std::wstring name(longestName + 1, L'\0');
        std::string data(longestData, '\0');
        DWORD nameSize = longestName + 1, dataSize = longestData, type = 0;
        if (RegEnumValueW(handle, i, name.data(), &nameSize, nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &dataSize) != ERROR_SUCCESS)
            continue;
        key.values.push_back({name.substr(0, nameSize), type, data.substr(0, dataSize)});
    }
    for (DWORD i = 0; i < subkeys; ++i) {
        std::wstring name(longestSubkey + 1, L'\0');
        DWORD nameSize = longestSubkey + 1;
        if (RegEnumKeyExW(handle, i, name.data(), &nameSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            continue;
        name.resize(nameSize);
        Key child;
        if (ReadKey(root, subkey + L"\\" + name, child)) key.subkeys.emplace_back(name, std::move(child));
    }
    RegCloseKey(handle);
    return true;
}

void WriteKey(HKEY root, const std::wstring& subkey, const Key& key)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
        return;
    for (const auto& value : key.values)
        RegSetValueExW(handle, value.name.c_str(), 0, value.type,
                       reinterpret_cast<const BYTE*>(value.data.data()),
                       static_cast<DWORD>(value.data.size()));
    RegCloseKey(handle);
    for (const auto& [name, child] : key.subkeys) WriteKey(root, subkey + L"\\" + name, child);
}

} // namespace

const wchar_t kAdoLibrary[] = L"C:\\Program Files\\Common Files\\System\\ADO\\msado15.dll";

namespace {

// Where the library waits while it is away: a fixed name, so a later run finds it.
std::wstring AdoLibraryAwayPath()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"tarvo-msado15.dll.away";
}

} // namespace

RegistryKeyRestorer::RegistryKeyRestorer(HKEY root, std::wstring subkey)
    : root_(root), subkey_(std::move(subkey))
{
    existed_ = ReadKey(root_, subkey_, saved_);
}

RegistryKeyRestorer::~RegistryKeyRestorer()
{
    RegDeleteTreeW(root_, subkey_.c_str());
    RegDeleteKeyW(root_, subkey_.c_str());
    if (existed_) WriteKey(root_, subkey_, saved_);
}

FileRestorer::FileRestorer(std::wstring path) : path_(std::move(path))
{
    existed_ = FileExists(path_);
    if (existed_) bytes_ = ReadBytes(path_);
}

FileRestorer::~FileRestorer()
{
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path_.c_str());
    if (existed_) {
        try {
            WriteBytes(path_, bytes_);
        } catch (const std::exception&) {
        }
    }
}

std::wstring DesktopFolder()
{
    wchar_t path[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path)))
        throw std::runtime_error("no desktop folder");
    return path;
}

ShellLinkContents ReadShellLink(const std::wstring& file)
{
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return {};
    IPersistFile* persist = nullptr;
    ShellLinkContents contents;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
        if (SUCCEEDED(persist->Load(file.c_str(), STGM_READ))) {
            wchar_t path[MAX_PATH] = L"", workingDir[MAX_PATH] = L"", arguments[MAX_PATH] = L"";
            link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH);
            link->GetWorkingDirectory(workingDir, MAX_PATH);
            link->GetArguments(arguments, MAX_PATH);
            contents = {path, workingDir, arguments};
        }
        persist->Release();
    }
    link->Release();
    return contents;
}

InstallTraceGuard::InstallTraceGuard()
    : machineKey_(HKEY_LOCAL_MACHINE, L"software\\MirelMax"),
      extension_(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.tvk"),
      fileType_(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Tarvo.TVKFile"),
      shortcut_(DesktopFolder() + L"\\Tarvo资源管理系统.lnk")
{
}

DWORD Regsvr32(const std::wstring& options, const std::wstring& library)
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring program = std::wstring(system) + L"\\regsvr32.exe";
    std::wstring commandLine = L"\"" + program + L"\" " + options + L" \"" + library + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return GetLastError() | 0x80000000u;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

AdoUnregistered::AdoUnregistered() : exitCode(Regsvr32(L"/u /s")) {}
AdoUnregistered::~AdoUnregistered() { Regsvr32(L"/s"); }

AdoLibraryAway::AdoLibraryAway()
    : moved(MoveFileExW(kAdoLibrary, AdoLibraryAwayPath().c_str(), MOVEFILE_COPY_ALLOWED) != FALSE)
{
}

AdoLibraryAway::~AdoLibraryAway()
{
    if (moved) MoveFileExW(AdoLibraryAwayPath().c_str(), kAdoLibrary, MOVEFILE_COPY_ALLOWED);
}

void RestoreAdo()
{
    if (FileExists(AdoLibraryAwayPath()) && !FileExists(kAdoLibrary))
        MoveFileExW(AdoLibraryAwayPath().c_str(), kAdoLibrary, MOVEFILE_COPY_ALLOWED);
    Regsvr32(L"/s");
}

} // namespace testing_support
