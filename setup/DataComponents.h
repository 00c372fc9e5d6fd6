// The pieces of the data-access component repair that work without the form: the
// search for the libraries to register, the repair batch and the wait for a program.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The data-access libraries that the repair registers again, lower case.
extern const wchar_t* const DataComponentDlls[31];

// Dispatches the window messages that are waiting; false when the walk or the wait is
// to stop because the program is closing.
using MessagePump = std::function<bool()>;

// The name is neither "." nor "..".
bool IsRealEntry(const std::wstring& name);
// The name is one of DataComponentDlls, compared exactly (callers lower-case first).
bool IsDataComponentDll(const std::wstring& name);
// The text with the ASCII letters A-Z turned into a-z; every other character kept.
std::wstring AsciiLowerCase(std::wstring text);

// The batch line that registers the library silently: cmd /c regsvr32 /s "path" .
std::wstring RegisterCommandLine(const std::wstring& libraryPath);

// Appends a register line for every listed library in the folder (a full path ending
// in "\") and, after its own files, in each of its subfolders in listing order. The
// first entry of a listing is only descended into, never registered. Folder links
// (reparse points) are not followed. The pump runs once for every entry after the
// first; false when it asked to stop, with the lines found so far appended.
bool CollectRegisterCommands(const std::wstring& folder, std::vector<std::wstring>& commands,
                             const MessagePump& pump);

// The bytes of the repair batch: each line in the system ANSI code page, ended by CR LF.
// A "%" is doubled so that cmd.exe running the batch keeps it as it is.
std::string RepairBatchBytes(const std::vector<std::wstring>& commands);

// Starts the program hidden through the shell and returns when it has ended, or at once
// when it cannot be started. The pump runs whenever messages arrive in the meantime;
// the wait ends early when it returns false. No processor time is spent while nothing
// happens.
void RunAndWait(HWND owner, const std::wstring& file, const std::wstring& parameters,
                const MessagePump& pump);
