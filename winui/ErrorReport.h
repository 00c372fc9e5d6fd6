// The application's general error report: what the user sees when an error escapes
// a handler. The program then goes on with the state reached so far.
#pragma once

#include <exception>
#include <string>

namespace winui {

// The title of the application: the executable's file name up to its first full stop.
std::wstring ApplicationTitle();

// The text of the report: the message, with a full stop added when its last
// character has a higher code than the full stop.
std::wstring ErrorReportText(const std::wstring& message);

// The message of an exception as the report shows it.
std::wstring ErrorMessageOf(const std::exception_ptr& error);

// Shows the report for the exception being handled. Call it from a catch block.
void ReportCurrentError();

} // namespace winui
