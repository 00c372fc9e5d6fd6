#include "MaxSceneProbe.h"

#include "AppError.h"
#include "Handles.h"
#include "MaxSceneScan.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace {

// Large enough for sequential-read speed, small enough to keep memory flat and to stay in
// the CPU's L2 cache between the read and the search.
constexpr DWORD kBlockSize = 256 << 10;

} // namespace

bool IsExistingFile(const std::wstring& name)
{
    const DWORD attributes = GetFileAttributesW(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring GetMaxSceneVersion(const std::wstring& fileName)
{
    MaxMarkerSearch search;
    if (!IsExistingFile(fileName)) return MaxVersionTextOf(search);

    winui::FileHandle file(CreateFileW(fileName.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) throw winui::InOutError(GetLastError());
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size)) throw winui::InOutError(GetLastError());

    // Only the size taken now is read; a file that ends before it is an error.
    std::vector<std::uint8_t> block(kBlockSize);
    auto remaining = static_cast<unsigned long long>(size.QuadPart);
    while (remaining > 0) {
        const DWORD wanted = static_cast<DWORD>(std::min<unsigned long long>(remaining, kBlockSize));
        DWORD got = 0;
        if (!ReadFile(file.Get(), block.data(), wanted, &got, nullptr))
            throw winui::InOutError(GetLastError());
        if (got == 0) throw winui::ReadBeyondEndOfFile();
        if (search.Feed(block.data(), got)) break;
        remaining -= got;
    }
    return MaxVersionTextOf(search);
}
