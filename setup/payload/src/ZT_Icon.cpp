// The product's file-type library: the icon of its .tvk files, and the call that
// registers the file type. It registers nothing yet.
#include <windows.h>

extern "C" __attribute__((dllexport)) BOOL __stdcall RegisterFileTypeTVK(
    const char* /*portalDll*/, const char* /*appExe*/, const wchar_t* /*iconDll*/)
{
    return TRUE;
}
