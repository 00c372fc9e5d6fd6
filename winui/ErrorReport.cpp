#include "ErrorReport.h"

#include "AppError.h"
#include "MessageBox.h"
#include "Text.h"

#include <new>

namespace winui {

std::wstring ApplicationTitle()
{
    std::wstring name = ProgramPath();
    const auto slash = name.find_last_of(L"\\/:");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    const auto dot = name.find(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    return name;
}

std::wstring ErrorReportText(const std::wstring& message)
{
    if (!message.empty() && message.back() > L'.') return message + L".";
    return message;
}

std::wstring ErrorMessageOf(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const AppError& e) {
        return e.Message();
    } catch (const std::bad_alloc&) {
        return L"Out of memory";
    } catch (const std::exception& e) {
        return Widen(std::string(e.what()), CP_ACP);
    } catch (...) {
        return L"Unknown error";
    }
}

void ReportCurrentError()
{
    const std::wstring text = ErrorReportText(ErrorMessageOf(std::current_exception()));
    ShowMessageBox(GetActiveWindow(), text, ApplicationTitle(), MB_OK | MB_ICONERROR);
}

} // namespace winui
