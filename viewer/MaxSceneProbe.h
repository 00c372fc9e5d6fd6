// Kelpview's probe: which 3ds Max release saved a scene file.
#pragma once

#include <string>

// Whether the name denotes an existing file that is not a folder.
bool IsExistingFile(const std::wstring& name);

// Reads the file block by block until the first version marker, and returns the
// release text, or "无法获取版本." when the file is missing, a folder, or holds no
// marker. Throws winui::AppError with the file layer's text when an existing file
// cannot be opened or read.
std::wstring GetMaxSceneVersion(const std::wstring& fileName);
