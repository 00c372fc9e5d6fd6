#include "PayloadExtraction.h"

#include "AppError.h"
#include "Controls.h"
#include "FileSystem.h"
#include "Text.h"

#include <windows.h>

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
    target.progress.SetRange(0, count);
    std::vector<std::wstring> uninstall;
    for (int i = 1; i <= count; ++i) {
        const std::wstring number = std::to_wstring(i);
        const std::wstring entry = manifest.ReadString(L"Flist", L"F" + number, L"");
        EnsureEntryDir(d, entry);
        if (keepOld && IsDatabaseEntry(entry))
            CopyFileReplacing(oldInstallDir + L"\\data\\kiwa.db", d + entry); // outcome ignored
        else
            SaveResourceToFile(L"SRC" + number, L"FILE" + number, d + entry);
        target.log.AddLine(ExtractLogLine(entry, d));
        uninstall.push_back(d + entry);
        target.progress.SetPosition(target.progress.Position() + 1);
    }
    uninstall.push_back(d + L"\\~tmp.ini");
    SaveUninstallList(d + L"\\uninstall.lst", uninstall);
}

void ExtractResourceFiles(const IniFile& manifest, const ExtractionTarget& target)
{
    const std::wstring& r = target.dir;
    const int count = manifest.ReadInteger(L"KCount", L"Kcount", 0);
    target.progress.SetRange(0, count);
    for (int j = 1; j <= count; ++j) {
        const std::wstring number = std::to_wstring(j);
        const std::wstring entry = manifest.ReadString(L"Klist", L"K" + number, L"");
        EnsureEntryDir(r, entry);
        SaveResourceToFile(L"KSRC" + number, L"KFILE" + number, r + entry);
        target.log.AddLine(ExtractLogLine(entry, r));
        target.progress.SetPosition(target.progress.Position() + 1);
    }
}
