// Errors of both programs: exceptions carrying the exact text the user sees.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

namespace winui {

class AppError : public std::exception {
public:
    explicit AppError(std::wstring message) : message_(std::move(message)) {}
    const std::wstring& Message() const { return message_; }
    const char* what() const noexcept override { return "application error"; }

private:
    std::wstring message_;
};

// The file layer's text for a Win32 error code: "File access denied", ... and
// "I/O error %d" where the code has no text of its own.
std::wstring InOutErrorText(DWORD code);

// An I/O error for a Win32 error code.
AppError InOutError(DWORD code);

// The error of a read that ended before the size taken at the start.
AppError ReadBeyondEndOfFile();

} // namespace winui
