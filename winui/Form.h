// The small form layer: a top-level window that owns its controls' fonts and colours,
// routes their clicks to handlers, keeps a tab order and is the one place where an
// error escaping a handler is reported.
#pragma once

#include "Handles.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace winui {

class Control;

struct FontSpec {
    std::wstring face = L"Tahoma";
    int pixelHeight = 11;
    bool bold = false;
    bool underline = false;
    BYTE charset = DEFAULT_CHARSET;
};

class Form {
public:
    Form();
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    HWND Handle() const { return hwnd_; }

    // Creates the window with the given client size, centred on the screen.
    void CreateWindowFrame(const std::wstring& caption, int clientWidth, int clientHeight,
                           DWORD style, HICON icon, DWORD exStyle = 0);
    void SetCaption(const std::wstring& caption);
    std::wstring Caption() const;
    void Show(int showCommand = SW_SHOWNORMAL);
    // Closes the window as its close box does.
    void Close();

    // The default font of the form's controls.
    HFONT DefaultFont() const { return defaultFont_; }
    HFONT MakeFont(const FontSpec& spec);

    // Routes a click (BN_CLICKED, STN_CLICKED) of a control to a handler.
    void OnClick(const Control& control, std::function<void()> handler);
    // Text colour and, optionally, background colour of a control.
    void SetColors(const Control& control, COLORREF text, COLORREF background);
    void SetTextColor(const Control& control, COLORREF text);
    // A control that shows the hand cursor.
    void SetHandCursor(const Control& control);
    // The order in which Tab moves the focus.
    void SetTabOrder(std::vector<const Control*> order);
    // Moves the focus along the tab order; false when the focus is not in it.
    bool MoveFocus(bool backwards);

    static Form* FromHandle(HWND hwnd);

protected:
    // Messages of the form itself; return DefaultHandling(...) for the rest.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);
    // Runs before the window is destroyed by a close.
    virtual void OnFormClose() {}

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT ColorControl(HDC dc, HWND control, bool isStatic);

    struct Colors {
        COLORREF text;
        bool hasBackground;
        COLORREF background;
        GdiObject brush;
    };

    HWND hwnd_ = nullptr;
    HFONT defaultFont_ = nullptr;
    std::vector<GdiObject> fonts_;
    std::map<int, std::function<void()>> clickHandlers_;
    std::map<HWND, std::unique_ptr<Colors>> colors_;
    std::vector<HWND> handCursor_;
    std::vector<HWND> tabOrder_;
};

// Runs the message loop until the main window is gone: Tab moves the focus along
// the form's tab order, as the form says, not as Win32 z-order would.
int RunMessageLoop();

// Dispatches the messages waiting in this thread's queue as the message loop does, and
// returns. False when the quit message came: it is posted again for the loop that ends
// the program, and the caller stops what it was doing.
bool ProcessMessages();

// Lets the windows of this thread paint and answers what other threads send them,
// while a long action runs inside a handler. Input and posted messages wait in the
// queue for the message loop, so no handler of the form starts meanwhile.
void ProcessPaintMessages();

// The window class of panels and pages: a plain container that passes its children's
// notifications on to the form.
const wchar_t* PanelClassName();

} // namespace winui
