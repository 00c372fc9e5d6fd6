// What the install step does in Windows beyond writing files: stopping running copies
// of the application, registry values, the desktop shortcut, the file type.
#pragma once

#include <string>

// Whether a process's recorded executable name stands for the file name: its last path
// component (after the last backslash or colon), or else the whole name, equals it with
// only the letters a to z folded.
bool ProcessNameMatches(const std::wstring& exeFile, const std::wstring& name);

// Terminates every running process (other than this one) whose executable name
// matches, and gives each a moment to end so that its files can be replaced.
void KillProcessByName(const std::wstring& name);

// A string value under HKEY_LOCAL_MACHINE\key, or the empty text when it is missing or
// the key cannot be opened with full access (which is created when missing). Throws
// "Invalid data type for '<name>'" for a value that is not a string.
std::wstring ReadMachineString(const std::wstring& key, const std::wstring& name);

// Stores a REG_SZ value under HKEY_LOCAL_MACHINE\key, creating the key when missing.
// Throws "Failed to set data for '<name>'" when it cannot.
void WriteMachineString(const std::wstring& key, const std::wstring& name, const std::wstring& data);

// Saves a shortcut "Tarvo资源管理系统.lnk" to the target on the current user's desktop;
// shortcutPath gets its full path before it is saved. Throws when the shell link object
// cannot be made.
void CreateDesktopShortcut(const std::wstring& target, const std::wstring& workingDir,
                           std::wstring& shortcutPath);

// Loads the icon library by its full path and calls its "RegisterFileTypeTVK" with the
// two ANSI paths; whether the export was found and called. A library that does not load
// is reported in a message box.
bool RegisterTvkFileType(const std::string& portalDll, const std::string& appExe,
                         const std::wstring& iconDll);
