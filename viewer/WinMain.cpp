// Kelpview: tells which 3ds Max release saved a scene file.
#include "MainUnit.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    TMainFrm mainFrm;
    mainFrm.Show(showCommand);
    mainFrm.MaxFileET.SetFocus();
    return winui::RunMessageLoop();
}
