// Tarvosetup: installs the Tarvo resource manager from the payload it carries.
#include "Com.h"
#include "MainUnit.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand)
{
    // The GUI thread lives in a COM apartment: the shell link and the ADO check need it.
    winui::ComApartment com;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    TMainFrm mainFrm;
    mainFrm.Show(showCommand);
    return winui::RunMessageLoop();
}
