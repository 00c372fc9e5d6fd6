// uidriver: works the windows of a running program from a script.
//
//   uidriver wait      "<caption>" [ms]               wait for the visible top-level window
//   uidriver gettext   "<caption>" <control>          print the control's text
//   uidriver settext   "<caption>" <control> "<text>" set the control's text (WM_SETTEXT)
//   uidriver waittext  "<caption>" <control> "<text>" [ms]
//                                                     wait until the control shows the text
//                                                     (a window too busy to answer is waited for)
//   uidriver click     "<caption>" <control>          post a click (BM_CLICK) to a button
//   uidriver state     "<caption>" <control>          print enabled=0|1, visible=0|1,
//                                                     checked=0|1|2, one per line
//   uidriver msgbox    [box caption] [ms]             wait for a message box, print its
//                                                     caption, then its text
//   uidriver msgbox-ok [box caption] [ms]             wait for a message box, answer OK and
//                                                     wait until it is gone
//   uidriver drop      "<caption>" <file>...          drop the files onto the window
//   uidriver close     "<caption>"                    ask the window to close (WM_CLOSE)
//   uidriver serve                                    run commands read from standard input,
//                                                     one a line, words separated by tabs;
//                                                     each answered by its output and a line
//                                                     "=== <exit code>[ <reason>]"
//
// <caption> is the exact caption of the program's window; every command but `wait`
// waits up to 10 s for it. <control> is a control ID (decimal or 0x hex) or
// Class:Text, e.g. Button:OK. A message box is any visible "#32770" dialog of any
// process; an empty box caption ("") matches every box. Timeouts are in
// milliseconds, 10000 unless given. Dropped files are made full names first.
//
// Output is UTF-8 (or the console's own text when it writes to a console). The exit
// code is 0 on success, 1 when something failed or timed out (the reason goes to
// stderr), 2 on wrong usage.
#include "UiDriver.h"

#include <cwchar>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr DWORD kDefaultTimeoutMs = 10000;

const wchar_t* const kUsage =
    L"usage: uidriver wait      \"<caption>\" [ms]\n"
    L"       uidriver gettext   \"<caption>\" <control>\n"
    L"       uidriver settext   \"<caption>\" <control> \"<text>\"\n"
    L"       uidriver waittext  \"<caption>\" <control> \"<text>\" [ms]\n"
    L"       uidriver click     \"<caption>\" <control>\n"
    L"       uidriver state     \"<caption>\" <control>\n"
    L"       uidriver msgbox    [box caption] [ms]\n"
    L"       uidriver msgbox-ok [box caption] [ms]\n"
    L"       uidriver drop      \"<caption>\" <file>...\n"
    L"       uidriver close     \"<caption>\"\n"
    L"       uidriver serve\n"
    L"<control>: a control ID (decimal or 0x hex) or Class:Text\n";

void Write(DWORD stream, const std::wstring& text)
{
    const HANDLE out = GetStdHandle(stream);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    DWORD done = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
        return;
    }
    if (text.empty()) return;
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
}

void PrintLine(const std::wstring& text) { Write(STD_OUTPUT_HANDLE, text + L"\n"); }

std::wstring Widen(const char* text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), size);
    out.resize(out.size() - 1);
    return out;
}

// A failure the command reports on stderr, with exit code 1.
struct Failure {
    std::wstring message;
};
// Wrong usage: exit code 2.
struct Usage {
    std::wstring message;
};

std::optional<unsigned long> ParseNumber(const std::wstring& text)
{
    if (text.empty()) return std::nullopt;
    wchar_t* end = nullptr;
    const unsigned long value = std::wcstoul(text.c_str(), &end, 0);
    if (*end != L'\0') return std::nullopt;
    return value;
}

DWORD TimeoutArg(const std::vector<std::wstring>& args, std::size_t at)
{
    if (at >= args.size()) return kDefaultTimeoutMs;
    const auto value = ParseNumber(args[at]);
    if (!value) throw Usage{L"not a number of milliseconds: " + args[at]};
    return static_cast<DWORD>(*value);
}

void NeedArgs(const std::vector<std::wstring>& args, std::size_t count)
{
    if (args.size() < count) throw Usage{args[0] + L": missing arguments"};
}

HWND Window(const std::wstring& caption, DWORD timeoutMs = kDefaultTimeoutMs)
{
    const HWND window = uidriver::WaitForTopWindow(caption, timeoutMs);
    if (!window) throw Failure{L"no window \"" + caption + L"\""};
    return window;
}

HWND Control(HWND window, const std::wstring& spec)
{
    HWND control = nullptr;
    if (const auto id = ParseNumber(spec)) {
        control = uidriver::FindControl(window, static_cast<int>(*id));
    } else {
        const auto colon = spec.find(L':');
        if (colon == std::wstring::npos) throw Usage{L"a control is an ID or Class:Text, not " + spec};
        control = uidriver::FindControl(window, spec.substr(0, colon), spec.substr(colon + 1));
    }
    if (!control) throw Failure{L"no control " + spec};
    return control;
}

std::optional<std::wstring> BoxCaption(const std::vector<std::wstring>& args)
{
    if (args.size() < 2 || args[1].empty()) return std::nullopt;
    return args[1];
}

uidriver::MessageBoxInfo Box(const std::vector<std::wstring>& args)
{
    const auto caption = BoxCaption(args);
    const auto box = uidriver::WaitForMessageBox(0, TimeoutArg(args, 2), caption);
    if (!box) throw Failure{L"no message box" + (caption ? L" \"" + *caption + L"\"" : std::wstring())};
    return *box;
}

std::wstring FullName(const std::wstring& name)
{
    const DWORD size = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    if (size == 0) return name;
    std::wstring full(size, L'\0');
    full.resize(GetFullPathNameW(name.c_str(), size, full.data(), nullptr));
    return full;
}

void Run(const std::vector<std::wstring>& args)
{
    if (args.empty()) throw Usage{L"no command"};
    const std::wstring& command = args[0];
    if (command == L"wait") {
        NeedArgs(args, 2);
        Window(args[1], TimeoutArg(args, 2));
    } else if (command == L"gettext") {
        NeedArgs(args, 3);
        PrintLine(uidriver::GetText(Control(Window(args[1]), args[2])));
    } else if (command == L"settext") {
        NeedArgs(args, 4);
        uidriver::SetText(Control(Window(args[1]), args[2]), args[3]);
    } else if (command == L"waittext") {
        NeedArgs(args, 4);
        const HWND control = Control(Window(args[1]), args[2]);
        // A program busy in a long handler does not answer for a while: that is waited
        // through, up to the timeout, as long as the control is there.
        std::wstring last;
        bool answered = false;
        const bool shown = uidriver::WaitUntil(
            [&] {
                if (!IsWindow(control)) throw Failure{L"the control " + args[2] + L" has gone"};
                try {
                    last = uidriver::GetText(control);
                    answered = true;
                } catch (const uidriver::Error&) {
                    return false;
                }
                return last == args[3];
            },
            TimeoutArg(args, 4));
        if (!shown && !answered) throw Failure{L"the window did not answer"};
        if (!shown) throw Failure{L"the control shows \"" + last + L"\""};
    } else if (command == L"click") {
        NeedArgs(args, 3);
        uidriver::PostClick(Control(Window(args[1]), args[2]));
    } else if (command == L"state") {
        NeedArgs(args, 3);
        const auto state = uidriver::GetState(Control(Window(args[1]), args[2]));
        PrintLine(L"enabled=" + std::to_wstring(state.enabled));
        PrintLine(L"visible=" + std::to_wstring(state.visible));
        PrintLine(L"checked=" + std::to_wstring(state.checked));
    } else if (command == L"msgbox") {
        const auto box = Box(args);
        PrintLine(box.caption);
        PrintLine(box.text);
    } else if (command == L"msgbox-ok") {
        const auto box = Box(args);
        uidriver::PressOk(box.window);
        if (!uidriver::WaitUntil([&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); },
                                 kDefaultTimeoutMs))
            throw Failure{L"the message box stays open"};
    } else if (command == L"drop") {
        NeedArgs(args, 3);
        std::vector<std::wstring> files;
        for (std::size_t i = 2; i < args.size(); ++i) files.push_back(FullName(args[i]));
        uidriver::DropFiles(Window(args[1]), files);
    } else if (command == L"close") {
        NeedArgs(args, 2);
        uidriver::PostClose(Window(args[1]));
    } else {
        throw Usage{L"unknown command " + command};
    }
}

// Runs one command. Returns the exit code; the reason of a failure goes to `message`.
int RunCommand(const std::vector<std::wstring>& args, std::wstring& message)
{
    try {
        Run(args);
        return 0;
    } catch (const Usage& usage) {
        message = usage.message;
        return 2;
    } catch (const Failure& failure) {
        message = failure.message;
    } catch (const uidriver::Error& error) {
        message = Widen(error.what());
    }
    return 1;
}

// The next line of standard input (UTF-8, the line end removed); nullopt at its end.
std::optional<std::string> ReadLine()
{
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string line;
    char c = 0;
    DWORD got = 0;
    while (ReadFile(in, &c, 1, &got, nullptr) && got == 1) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        line += c;
    }
    if (line.empty()) return std::nullopt;
    return line;
}

// `serve`: commands from standard input, one a line, their words separated by tabs; each
// answered by its output, then a line "=== <exit code>[ <reason>]". One process serves a
// whole walk: a program start is dear where every start runs under an emulator.
int Serve()
{
    while (const auto line = ReadLine()) {
        std::vector<std::wstring> args;
        const std::wstring text = Widen(line->c_str());
        std::size_t start = 0;
        for (std::size_t tab; (tab = text.find(L'\t', start)) != std::wstring::npos; start = tab + 1)
            args.push_back(text.substr(start, tab - start));
        args.push_back(text.substr(start));
        std::wstring message;
        const int code = RunCommand(args, message);
        // The reason stays on its one line (it may quote a control's text).
        for (wchar_t& c : message)
            if (c == L'\r' || c == L'\n') c = L' ';
        PrintLine(L"=== " + std::to_wstring(code) + (message.empty() ? L"" : L" " + message));
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == L"serve") return Serve();
    std::wstring message;
    const int code = RunCommand(args, message);
    if (code == 2) Write(STD_ERROR_HANDLE, L"uidriver: " + message + L"\n" + kUsage);
    if (code == 1) Write(STD_ERROR_HANDLE, L"uidriver: " + message + L"\n");
    return code;
}
