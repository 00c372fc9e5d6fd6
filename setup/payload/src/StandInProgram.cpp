// Stands in for one of the product's programs: a window titled with the program's name
// that stays until it is closed or the process is stopped. While it runs, the system
// keeps its executable in use, so the file cannot be replaced. As the main application
// it also shows where its database is, the version its configuration names and the
// file it was asked to open.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

const wchar_t kWindowClass[] = L"TarvoStandInProgram";

std::wstring ModulePath()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) return std::wstring(path.data(), n);
        path.resize(path.size() * 2);
    }
}

std::wstring WindowText(const std::wstring& self)
{
    std::wstring text = self;
#ifdef TARVO_MAIN_APPLICATION
    const std::wstring folder = self.substr(0, self.find_last_of(L'\\'));
    wchar_t version[64] = L"";
    GetPrivateProfileStringW(L"config", L"ver", L"", version, 64,
                             (folder + L"\\config\\config.ini").c_str());
    text += L"\r\nDatabase: " + folder + L"\\data\\kiwa.db\r\nVersion: " + version;
    int count = 0;
    if (wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count)) {
        if (count > 1) text += std::wstring(L"\r\nFile: ") + arguments[1];
        LocalFree(arguments);
    }
#endif
    return text;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    const std::wstring self = ModulePath();
    std::wstring name = self.substr(self.find_last_of(L'\\') + 1);
    name = name.substr(0, name.find_last_of(L'.'));

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassW(&windowClass)) return 1;

    const HWND window = CreateWindowExW(0, kWindowClass, name.c_str(), WS_OVERLAPPEDWINDOW,
                                        CW_USEDEFAULT, CW_USEDEFAULT, 520, 180, nullptr, nullptr,
                                        instance, nullptr);
    if (!window) return 1;
    RECT client;
    GetClientRect(window, &client);
    CreateWindowExW(0, L"STATIC", WindowText(self).c_str(), WS_CHILD | WS_VISIBLE, 8, 8,
                    client.right - 16, client.bottom - 16, window, nullptr, instance, nullptr);
    ShowWindow(window, show);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
