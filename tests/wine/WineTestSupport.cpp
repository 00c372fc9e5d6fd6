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

} // namespace testing_support
