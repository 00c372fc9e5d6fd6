#include "ShellIntegration.h"

// Not built yet: the install step goes on without these effects.

bool KillProcessByName(const std::wstring&) { return false; }

bool RegisterTvkFileType(const std::string&, const std::string&, const std::wstring&)
{
    return false;
}

bool WriteMachineString(const std::wstring&, const std::wstring&, const std::wstring&)
{
    return false;
}

std::wstring CreateDesktopShortcut(const std::wstring&, const std::wstring&) { return L""; }
