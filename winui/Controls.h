// The few controls the two programs need, as thin wrappers over real Win32 windows.
#pragma once

#include "Handles.h"

#include <windows.h>

#include <string>
#include <vector>

namespace winui {

class Form;

struct Bounds {
    int left, top, width, height;
};

class Control {
public:
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    HWND Handle() const { return hwnd_; }
    int Id() const { return id_; }

    std::wstring Text() const;
    void SetText(const std::wstring& text);
    bool Enabled() const;
    void SetEnabled(bool enabled);
    bool Visible() const;
    void SetVisible(bool visible);
    void SetFocus();
    bool Focused() const;
    void SetFont(HFONT font);

protected:
    // Creates the window of the control as a child of parent, in front of the
    // controls created before it, with the form's default font.
    void CreateChild(Form& form, HWND parent, const wchar_t* windowClass, DWORD style,
                     DWORD exStyle, Bounds bounds, const std::wstring& text, int id);

    HWND hwnd_ = nullptr;
    int id_ = 0;
};

// TLabel: a text on the form's face; clickable when a click handler is routed to it.
class Label : public Control {
public:
    void Create(Form& form, HWND parent, int id, Bounds bounds, const std::wstring& text);
};

// TBevel as a horizontal rule.
class Bevel : public Control {
public:
    void Create(Form& form, HWND parent, int id, Bounds bounds);
};

// TEdit.
class Edit : public Control {
public:
    struct Options {
        bool readOnly = false;
        bool border = true;
    };
    void Create(Form& form, HWND parent, int id, Bounds bounds, Options options);
    void Create(Form& form, HWND parent, int id, Bounds bounds) { Create(form, parent, id, bounds, Options()); }
};

// TMemo: lines of text.
class Memo : public Control {
public:
    struct Options {
        bool readOnly = false;
        bool horizontalScroll = false;
    };
    void Create(Form& form, HWND parent, int id, Bounds bounds, Options options);
    std::vector<std::wstring> Lines() const;
    void Clear();
    // Adds the line at the end; a text that does not end with a line break gets one
    // first. The cost does not grow with the text already there.
    void AddLine(const std::wstring& line);
    // The same for several lines, drawn once.
    void AddLines(const std::vector<std::wstring>& lines);

private:
    bool EndsWithLineBreak() const;
};

// TButton.
class Button : public Control {
public:
    void Create(Form& form, HWND parent, int id, Bounds bounds, const std::wstring& text);
    // Clicks the button as the user would.
    void Click();
};

// TSpeedButton: a button that runs its click handler without ever taking the focus,
// and that Tab passes by.
class SpeedButton : public Control {
public:
    ~SpeedButton() override;
    void Create(Form& form, HWND parent, int id, Bounds bounds, const std::wstring& text);

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void NotifyClick() const;

    WNDPROC buttonProc_ = nullptr;
};

// TCheckBox.
class CheckBox : public Control {
public:
    void Create(Form& form, HWND parent, int id, Bounds bounds, const std::wstring& text);
    bool Checked() const;
    void SetChecked(bool checked);
};

// TProgressBar.
class ProgressBar : public Control {
public:
    void Create(Form& form, HWND parent, int id, Bounds bounds);
    void SetRange(int minimum, int maximum);
    void SetPosition(int position);
    int Position() const;
    int Maximum() const;
};

// TPanel: a container; pages of the wizard are panels too.
class Panel : public Control {
public:
    void Create(Form& form, HWND parent, int id, Bounds bounds, bool border = false);
};


// TcxPageControl with its tabs hidden: pages are panels, one shown at a time.
class PageControl : public Panel {
public:
    void AddPage(Panel& page) { pages_.push_back(&page); }
    // Shows the page with that index; any other index shows no page.
    void ShowPage(int index);
    // The index of the page shown, or -1.
    int ActivePageIndex() const;
    int PageCount() const { return static_cast<int>(pages_.size()); }

private:
    std::vector<Panel*> pages_;
};

// TImage: a bitmap on the form, owned by the image.
class ImageBox : public Control {
public:
    ~ImageBox() override;
    void Create(Form& form, HWND parent, int id, Bounds bounds);
    // Shows the bitmap and takes it over.
    void SetBitmap(HBITMAP bitmap);

private:
    void ReleaseShown();

    GdiObject bitmap_;
};

// TTimer: ticks on the form's window while enabled.
class Timer {
public:
    void Create(HWND owner, UINT_PTR id, UINT intervalMs);
    UINT_PTR Id() const { return id_; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

private:
    HWND owner_ = nullptr;
    UINT_PTR id_ = 0;
    UINT interval_ = 1000;
    bool enabled_ = false;
};

} // namespace winui
