// File-system operations of the setup program. Paths are used as typed: nothing is
// added, removed or normalised.
#pragma once

#include <string>

bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);

// Creates the directory together with every missing parent; false when it cannot
// (an empty path, a drive that does not exist, a file in the way, no rights).
bool ForceDirectories(const std::wstring& path);

// The folder part of a path, without its trailing backslash.
std::wstring ExtractFileDir(const std::wstring& path);

// Writes the bytes to the target, replacing it. An existing target is replaced through a
// temporary file beside it (its name + ".tvs.tmp") moved over it only when complete, so
// a failed write never leaves a truncated file where a good one was; a new target is
// written in place. Throws winui::AppError("Cannot create file ...") on failure, leaving
// neither a temporary nor a partly written file behind.
void WriteFileReplacing(const std::wstring& target, const void* data, std::size_t size);

// Copies a file over the target the same safe way; false when it cannot. Copying a
// file onto itself does nothing and leaves it untouched.
bool CopyFileReplacing(const std::wstring& source, const std::wstring& target);
