// The application database and configuration written at the end of the install.
#include "MainUnit.h"

void TMainFrm::WriteAppConfig()
{
    // Not built yet: the shipped database and configuration stay as extracted.
}
