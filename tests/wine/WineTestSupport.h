// Helpers of the tests that run under Wine: temporary folders, files, recorded
// message boxes and real drop handles.
#pragma once

#include "AppError.h"

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

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
// The lines of a text, without their CR LF.
std::vector<std::string> LinesOf(const std::string& bytes);
bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);

// The message of the winui::AppError that the call raises; a test failure (and an empty
// text) when it raises none.
template <typename Call>
std::wstring AppErrorOf(Call call)
{
    try {
        call();
    } catch (const winui::AppError& error) {
        return error.Message();
    }
    ADD_FAILURE() << "no AppError thrown";
    return {};
}

// A click on a button as the button reports it: BN_CLICKED sent to its parent window.
void ClickButton(HWND parent, int id, HWND button);

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

// A registry key with its values and subkeys, or its absence, saved now and put back as
// it was when the restorer goes, however the test ended.
class RegistryKeyRestorer {
public:
    RegistryKeyRestorer(HKEY root, std::wstring subkey);
    ~RegistryKeyRestorer();
    RegistryKeyRestorer(const RegistryKeyRestorer&) = delete;
    RegistryKeyRestorer& operator=(const RegistryKeyRestorer&) = delete;

    struct Value {
        std::wstring name;
        DWORD type;
        std::string data;
    };
    struct Key {
        std::vector<Value> values;
        std::vector<std::pair<std::wstring, Key>> subkeys;
    };

private:
    HKEY root_;
    std::wstring subkey_;
    bool existed_ = false;
    Key saved_;
};

// A file's bytes, or its absence, saved now and put back when the restorer goes.
class FileRestorer {
public:
    explicit FileRestorer(std::wstring path);
    ~FileRestorer();
    FileRestorer(const FileRestorer&) = delete;
    FileRestorer& operator=(const FileRestorer&) = delete;

private:
    std::wstring path_;
    bool existed_ = false;
    std::string bytes_;
};

// The current user's desktop folder, as the shell names it.
std::wstring DesktopFolder();

// What a shell link file holds, read back through the shell link object (the calling
// thread needs a COM apartment); all empty when it cannot be loaded.
struct ShellLinkContents {
    std::wstring path;
    std::wstring workingDir;
    std::wstring arguments;
};
ShellLinkContents ReadShellLink(const std::wstring& file);

// What an install leaves in the prefix for every later test: the values under
// HKLM\software\MirelMax, the .tvk file type and the desktop shortcut. All of it is
// put back as it was when the guard goes.
class InstallTraceGuard {
public:
    InstallTraceGuard();

private:
    RegistryKeyRestorer machineKey_;
    RegistryKeyRestorer extension_;
    RegistryKeyRestorer fileType_;
    FileRestorer shortcut_;
};

// --- The system's ADO library ------------------------------------------------------------
// Tests that unregister it or move it away change the whole prefix: ctest runs them under
// a resource lock, and each such program restores the library at its end (RestoreAdo).

// Where Wine keeps the ADO library.
extern const wchar_t kAdoLibrary[];

// Runs regsvr32 with the options (such as "/u /s") on the library; its exit code.
DWORD Regsvr32(const std::wstring& options, const std::wstring& library = kAdoLibrary);

// The ADO classes unregistered while it lives; registered again at the end, however the
// test ends.
class AdoUnregistered {
public:
    AdoUnregistered();
    ~AdoUnregistered();
    AdoUnregistered(const AdoUnregistered&) = delete;
    AdoUnregistered& operator=(const AdoUnregistered&) = delete;
    const DWORD exitCode;
};

// The ADO library moved out of its folder while it lives, and put back at the end.
class AdoLibraryAway {
public:
    AdoLibraryAway();
    ~AdoLibraryAway();
    AdoLibraryAway(const AdoLibraryAway&) = delete;
    AdoLibraryAway& operator=(const AdoLibraryAway&) = delete;
    const bool moved;
};

// Puts the library back when it is away and registers it: the last thing a test
// program that changes it does, even after a failed or aborted test.
void RestoreAdo();

// Registered with ::testing::AddGlobalTestEnvironment by such a program: RestoreAdo at
// its end.
class AdoRestorer : public ::testing::Environment {
public:
    void TearDown() override { RestoreAdo(); }
};

} // namespace testing_support
