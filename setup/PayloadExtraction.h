// The payload embedded in the setup program: the manifest and the files it lists,
// written out during the install step.
#pragma once

#include "IniFile.h"

#include <string>

namespace winui {
class Memo;
class ProgressBar;
} // namespace winui

// Writes the data of the resource with that type and name of the program's own module
// to the target file, replacing it. Throws when the resource is missing or the file
// cannot be written.
void SaveResourceToFile(const std::wstring& name, const std::wstring& type,
                        const std::wstring& target);

// The folder of the setup program, without a trailing backslash.
std::wstring SetupFolder();

// Where the manifest is written: the setup program's folder + "\setup.ini".
std::wstring ManifestPath();

// Writes the manifest resource beside the setup program; whether the file is there now.
bool ExtractManifest();

// Makes sure the folder part of the entry exists below the base directory.
void EnsureEntryDir(const std::wstring& base, const std::wstring& entry);

// The line the install log gets for an entry written below a directory.
std::wstring ExtractLogLine(const std::wstring& entry, const std::wstring& dir);

// Where the pass writes, and what it reports to.
struct ExtractionTarget {
    std::wstring dir;
    winui::Memo& log;
    winui::ProgressBar& progress;
};

// The program-file pass: every "Flist" entry below the program directory, the earlier
// database kept when asked, then "uninstall.lst".
void ExtractProgramFiles(const IniFile& manifest, const ExtractionTarget& target, bool keepOld,
                         const std::wstring& oldInstallDir);

// The resource-library pass: every "Klist" entry below the resource-library directory.
void ExtractResourceFiles(const IniFile& manifest, const ExtractionTarget& target);
