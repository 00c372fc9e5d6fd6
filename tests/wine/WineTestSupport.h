// Helpers of the tests that run under Wine: temporary folders, files, recorded
// message boxes and real drop handles.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under %TEMP%, deleted with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& Path() const { return path_; }
    // Path() + "\" + name
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

void DeleteTree(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);

// Bytes with a version marker holding the release number at the given position.
std::string SceneBytes(std::size_t size, std::size_t markerAt, unsigned release);

struct RecordedBox {
    std::wstring text;
    std::wstring caption;
    UINT style;
};

// Records every message box shown while it lives and answers OK.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    std::vector<RecordedBox> boxes;
};

// A drop handle as the shell makes it, holding the given full names.
HDROP MakeDropHandle(const std::vector<std::wstring>& files);

} // namespace testing_support
