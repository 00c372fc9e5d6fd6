// What the install step does in Windows beyond writing files: stopping running copies
// of the application, registry values, the desktop shortcut, the file type.
#pragma once

#include <string>

// Terminates every running process with that executable file name.
bool KillProcessByName(const std::wstring& exeName);

// Calls "RegisterFileTypeTVK" of the installed icon library; whether it was found and
// called.
bool RegisterTvkFileType(const std::string& portalDll, const std::string& appExe,
                         const std::wstring& iconDll);

// Stores a string value under HKEY_LOCAL_MACHINE.
bool WriteMachineString(const std::wstring& key, const std::wstring& name,
                        const std::wstring& data);

// Puts a shortcut to the target on the desktop; the shortcut's full path.
std::wstring CreateDesktopShortcut(const std::wstring& target, const std::wstring& workingDir);
