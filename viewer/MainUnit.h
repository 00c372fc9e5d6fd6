// Kelpview's window: name a scene file, view which 3ds Max release saved it.
#pragma once

#include "Controls.h"
#include "Dialogs.h"
#include "Form.h"

#include <shellapi.h>

#include <string>

// A modal information box with the caption "提示".
void ShowInfo(const std::wstring& text);

// The view step's check of a typed name: an existing file, or a name whose
// extension is ".max" in any ASCII letter case.
bool IsViewableName(const std::wstring& name);

class TMainFrm : public winui::Form {
public:
    TMainFrm(); // lays out the window (MainFrmLayout.cpp) and runs FormCreate
    ~TMainFrm() override;

    winui::Label Label1;
    winui::Bevel Bevel1;
    winui::Label Label2;
    winui::Edit MaxFileET;
    winui::Button Button1;
    winui::Memo Memo1;
    winui::Button Button2;
    winui::Edit Edit1;
    winui::OpenDialog OpenDialog1;

    void FormCreate();
    void Button1Click();
    void Button2Click();
    void DropFiles(HDROP drop);
    void Label2Click();

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateControls();
};

// The vendor's home page that the link opens.
extern const wchar_t* const kVendorHomePage;
