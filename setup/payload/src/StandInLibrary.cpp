// Stands in for one of the product's libraries: it loads and unloads, nothing more.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
