#include "MainUnit.h"

#include "MaxSceneProbe.h"
#include "MessageBox.h"

#include <vector>

const wchar_t* const kVendorHomePage = L"http://www.tarvo.example/?pt=v";

void ShowInfo(const std::wstring& text)
{
    winui::ShowMessageBox(GetActiveWindow(), text, L"提示", MB_OK | MB_ICONINFORMATION);
}

namespace {

// The part of the name from its last full stop on, unless a backslash or a colon
// follows that full stop.
std::wstring ExtensionOf(const std::wstring& name)
{
    const auto at = name.find_last_of(L".\\:");
    if (at == std::wstring::npos || name[at] != L'.') return L"";
    return name.substr(at);
}

std::wstring AsciiLower(std::wstring text)
{
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

} // namespace

bool IsViewableName(const std::wstring& name)
{
    return IsExistingFile(name) || AsciiLower(ExtensionOf(name)) == L".max";
}

TMainFrm::~TMainFrm() = default;

void TMainFrm::FormCreate() { DragAcceptFiles(Handle(), TRUE); }

void TMainFrm::Button1Click()
{
    if (const auto chosen = OpenDialog1.Execute(Handle())) MaxFileET.SetText(*chosen);
}

void TMainFrm::Button2Click()
{
    const std::wstring name = MaxFileET.Text();
    if (!IsViewableName(name)) {
        ShowInfo(L"请选择正确的MAX文件!");
        return;
    }
    Memo1.Clear();
    Memo1.AddLine(L"Max文件:" + name);
    const std::wstring version = GetMaxSceneVersion(name);
    Edit1.SetText(L"此文件版本:" + version);
}

void TMainFrm::DropFiles(HDROP drop)
{
    // The drop is released however the view ends.
    struct DropRelease {
        HDROP drop;
        ~DropRelease() { DragFinish(drop); }
    } release{drop};

    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::vector<wchar_t> name(length + 1, L'\0');
    DragQueryFileW(drop, 0, name.data(), length + 1);
    MaxFileET.SetText(name.data());
    // The view button's handler, as a click runs it; an error ends the drop here and
    // reaches the report of the window's message boundary.
    Button2Click();
}

void TMainFrm::Label2Click()
{
    ShellExecuteW(Handle(), L"Open", L"IEXPLORE.EXE", kVendorHomePage, L"", SW_SHOWNORMAL);
}

LRESULT TMainFrm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DROPFILES) {
        DropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    }
    return DefaultHandling(message, wParam, lParam);
}
