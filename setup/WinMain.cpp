// Tarvosetup: installs the Tarvo resource manager from the payload it carries.
#include "MainUnit.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    TMainFrm mainFrm;
    mainFrm.Show(showCommand);
    return winui::RunMessageLoop();
}
