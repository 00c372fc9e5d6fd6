#include "PayloadExtraction.h"

#include "AppError.h"
#include "Controls.h"
#include "FileSystem.h"
#include "Form.h"
#include "Text.h"

#include <windows.h>

#include <algorithm>
#include <vector>

void SaveResourceToFile(const std::wstring& name, const std::wstring& type,
                        const std::wstring& target)
{
    const HMODULE self = GetModuleHandleW(nullptr);
    const HRSRC resource = FindResourceW(self, name.c_str(), type.c_str());
    const HGLOBAL loaded = resource ? LoadResource(self, resource) : nullptr;
    if (!loaded) throw winui::AppError(L"Resource " + name + L" not found");
    WriteFileReplacing(target, LockResource(loaded), SizeofResource(self, resource));
}

std::wstring SetupFolder()
{
    const std::wstring self = winui::ProgramPath();
    return self.substr(0, self.find_last_of(L'\\'));
}

std::wstring ManifestPath() { return SetupFolder() + L"\\setup.ini"; }

bool ExtractManifest()
{
    const std::wstring manifest = ManifestPath();
    SaveResourceToFile(L"SRC0", L"FILE0", manifest);
    return FileExists(manifest);
}

void EnsureEntryDir(const std::wstring& base, const std::wstring& entry)
{
    const auto last = entry.find_last_of(L'\\');
    if (last == std::wstring::npos || last == 0) return; // no folder part
    const std::wstring folder = base + entry.substr(0, last + 1);
    // A folder that cannot be made shows up as the failed write of the entry.
    if (!DirectoryExists(folder)) ForceDirectories(folder);
}

std::wstring ExtractLogLine(const std::wstring& entry, const std::wstring& dir)
{
    return L"Extract " + entry + L" to " + dir + entry + L" ";
}

namespace {

bool IsDatabaseEntry(const std::wstring& entry)
{
    std::wstring name = entry.substr(entry.find_last_of(L'\\') + 1);
    for (wchar_t& c : name)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return name == L"kiwa.db";
}

// What a pass shows while it runs: the log lines and the progress go to the screen a few
// times a second, all lines waiting in one go, and the window paints in between; and at
// the end of the pass, also when it stops with an error. Drawing each line on its own
// cost more than writing its file.
class PassDisplay {
public:
    PassDisplay(const ExtractionTarget& target, int count) : target_(target)
    {
        target.progress.SetRange(0, count);
        position_ = target.progress.Position(); // not reset between the passes
    }
    ~PassDisplay()
    {
        try {
            Show();
        } catch (...) { // out of memory for the lines: the pass's own error goes on
        }
    }
    PassDisplay(const PassDisplay&) = delete;
    PassDisplay& operator=(const PassDisplay&) = delete;

    // An entry is done: its log line, one step of progress.
    void Done(std::wstring line)
    {
        lines_.push_back(std::move(line));
        ++position_;
        if (GetTickCount64() - shownAt_ >= frameMs_) Show();
    }

private:
    void Show()
    {
        const ULONGLONG start = GetTickCount64();
        target_.log.AddLines(lines_);
        lines_.clear();
        target_.progress.SetPosition(position_);
        winui::ProcessPaintMessages();
        shownAt_ = GetTickCount64();
        // Ten times a second; where drawing is slow, less often, so that the files get
        // nine tenths of the time, but still four times a second.
        frameMs_ = std::clamp<ULONGLONG>(10 * (shownAt_ - start), 100, 250);
    }

    const ExtractionTarget& target_;
    std::vector<std::wstring> lines_;
    int position_ = 0;
    ULONGLONG shownAt_ = GetTickCount64();
    ULONGLONG frameMs_ = 100;
};

void SaveUninstallList(const std::wstring& path, const std::vector<std::wstring>& lines)
{
    std::string bytes;
    for (const std::wstring& line : lines) bytes += winui::ToAnsi(line) + "\r\n";
    WriteFileReplacing(path, bytes.data(), bytes.size());
}

} // namespace

void ExtractProgramFiles(const IniFile& manifest, const ExtractionTarget& target, bool keepOld,
                         const std::wstring& oldInstallDir)
{
    const std::wstring& d = target.dir;
    const int count = manifest.ReadInteger(L"FCount", L"count", 0);
    const IniSection list = manifest.ReadSection(L"Flist");
    PassDisplay display(target, count);
    std::vector<std::wstring> uninstall;
    for (int i = 1; i <= count; ++i) {
        const std::wstring number = std::to_wstring(i);
        const std::wstring entry = list.ReadString(L"F" + number, L"");
        EnsureEntryDir(d, entry);
        if (keepOld && IsDatabaseEntry(entry))
            CopyFileReplacing(oldInstallDir + L"\\data\\kiwa.db", d + entry); // outcome ignored
        else
            SaveResourceToFile(L"SRC" + number, L"FILE" + number, d + entry);
        display.Done(ExtractLogLine(entry, d));
        uninstall.push_back(d + entry);
    }
    uninstall.push_back(d + L"\\~tmp.ini");
    SaveUninstallList(d + L"\\uninstall.lst", uninstall);
}

void ExtractResourceFiles(const IniFile& manifest, const ExtractionTarget& target)
{
    const std::wstring& r = target.dir;
    const int count = manifest.ReadInteger(L"KCount", L"Kcount", 0);
    const IniSection list = manifest.ReadSection(L"Klist");
    PassDisplay display(target, count);
    for (int j = 1; j <= count; ++j) {
        const std::wstring number = std::to_wstring(j);
        const std::wstring entry = list.ReadString(L"K" + number, L"");
        EnsureEntryDir(r, entry);
        SaveResourceToFile(L"KSRC" + number, L"KFILE" + number, r + entry);
        display.Done(ExtractLogLine(entry, r));
    }
}
