// The product's file-type library: the icon of its .tvk files, and the call that
// registers the file type. It registers nothing yet.
#include <windows.h>

// The two full paths come in the system ANSI code page; the callee removes them.
extern "C" __attribute__((dllexport)) BOOL __stdcall RegisterFileTypeTVK(const char* /*portalDll*/,
                                                                        const char* /*appExe*/)
{
    return TRUE;
}
