#include "FileSystem.h"

#include "AppError.h"
#include "Handles.h"
#include "Text.h"

#include <windows.h>

#include <utility>

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ExtractFileDir(const std::wstring& path)
{
    const auto at = path.find_last_of(L"\\:");
    if (at == std::wstring::npos) return L"";
    // A drive root keeps its backslash: "C:\".
    if (path[at] == L':' || (at > 0 && path[at - 1] == L':')) return path.substr(0, at + 1);
    return path.substr(0, at);
}

bool ForceDirectories(const std::wstring& path)
{
    if (path.empty()) return false;
    std::wstring dir = path;
    while (dir.size() > 3 && dir.back() == L'\\') dir.pop_back();
    if (DirectoryExists(dir)) return true;
    const std::wstring parent = ExtractFileDir(dir);
    if (parent.empty() || parent == dir) return false; // a root that does not exist
    if (!ForceDirectories(parent)) return false;
    if (CreateDirectoryW(dir.c_str(), nullptr)) return true;
    // Made meanwhile by someone else is fine; a file of that name is not.
    return GetLastError() == ERROR_ALREADY_EXISTS && DirectoryExists(dir);
}

namespace {

winui::AppError CannotCreate(const std::wstring& target, DWORD code)
{
    return winui::AppError(L"Cannot create file \"" + target + L"\". " + winui::SystemMessage(code));
}

// The temporary file of a write: beside the target, named after it, so that it is made
// wherever the target can be, and a write of the same target replaces what a killed
// install left. A name that grows past MAX_PATH takes the long form of the full path.
std::wstring TemporaryFor(const std::wstring& target)
{
    std::wstring temporary = target + L".tvs.tmp";
    if (temporary.size() < MAX_PATH) return temporary;
    const DWORD size = GetFullPathNameW(temporary.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    full.resize(GetFullPathNameW(temporary.c_str(), size, full.data(), nullptr));
    if (full.compare(0, 4, L"\\\\?\\") == 0) return full;
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC" + full.substr(1);
    return L"\\\\?\\" + full;
}

// Moves the finished temporary file over the target, or removes it.
void CommitTemporary(const std::wstring& temporary, const std::wstring& target)
{
    if (!MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = GetLastError();
        DeleteFileW(temporary.c_str());
        throw CannotCreate(target, code);
    }
}

bool SameFile(const std::wstring& a, const std::wstring& b)
{
    auto open = [](const std::wstring& path) {
        return winui::FileHandle(CreateFileW(path.c_str(), 0,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
    };
    winui::FileHandle first = open(a), second = open(b);
    BY_HANDLE_FILE_INFORMATION one, two;
    if (!first || !second || !GetFileInformationByHandle(first.Get(), &one) ||
        !GetFileInformationByHandle(second.Get(), &two))
        return false;
    return one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
           one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
}

// Writes the bytes to the file and closes it; the system's error code, or
// ERROR_SUCCESS. A file that could not be written in full is deleted.
DWORD WriteAndClose(winui::FileHandle file, const std::wstring& path, const void* data,
                    std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    DWORD code = ERROR_SUCCESS;
    while (code == ERROR_SUCCESS && size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file.Get(), bytes, chunk, &written, nullptr))
            code = GetLastError();
        else if (written == 0)
            code = ERROR_DISK_FULL;
        bytes += written;
        size -= written;
    }
    file.Reset();
    if (code != ERROR_SUCCESS) DeleteFileW(path.c_str());
    return code;
}

} // namespace

void WriteFileReplacing(const std::wstring& target, const void* data, std::size_t size)
{
    // A file that is not there yet is written in place: there is nothing to keep, and
    // an install writes most of its files this way at half the cost.
    winui::FileHandle fresh(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (fresh) {
        const DWORD code = WriteAndClose(std::move(fresh), target, data, size);
        if (code != ERROR_SUCCESS) throw CannotCreate(target, code);
        return;
    }
    const std::wstring temporary = TemporaryFor(target);
    winui::FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw CannotCreate(target, GetLastError());
    const DWORD code = WriteAndClose(std::move(file), temporary, data, size);
    if (code != ERROR_SUCCESS) throw CannotCreate(target, code);
    CommitTemporary(temporary, target);
}

bool CopyFileReplacing(const std::wstring& source, const std::wstring& target)
{
    if (!FileExists(source) || SameFile(source, target)) return false;
    const std::wstring temporary = TemporaryFor(target);
    if (!CopyFileW(source.c_str(), temporary.c_str(), FALSE)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    try {
        CommitTemporary(temporary, target);
    } catch (const winui::AppError&) {
        return false;
    }
    return true;
}
