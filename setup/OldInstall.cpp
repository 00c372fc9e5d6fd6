// Recognising an earlier installation on the directory page.
#include "MainUnit.h"

void TMainFrm::DetectOldInstall()
{
    // Not built yet: every install is treated as a first one.
    OldInstallDir.clear();
    HaveOldInfoCB.SetChecked(false);
    HaveOldInfoCB.SetVisible(false);
}
