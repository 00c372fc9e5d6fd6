// Times Tarvosetup's install step from outside: clicks "开始安装" and waits for "完成"
// in one process, so that no program start falls into the measurement.
// Usage: install_timer   (the wizard must stand on the "开始安装" step)
#include "SetupIds.h"
#include "UiDriver.h"

#include <cstdio>

int wmain()
{
    const HWND window = uidriver::WaitForTopWindow(TARVOSETUP_CAPTION, 20000);
    const HWND next = window ? uidriver::FindControl(window, IdNextOkbt) : nullptr;
    if (!next || uidriver::GetText(next) != L"开始安装") {
        std::fprintf(stderr, "install_timer: the wizard is not ready to install\n");
        return 1;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    uidriver::PostClick(next);
    // A window busy for longer than the driver waits for an answer is asked again.
    const bool done = uidriver::WaitUntil(
        [&] {
            try {
                return uidriver::GetText(next) == L"完成";
            } catch (const uidriver::Error&) {
                return false;
            }
        },
        900000, 1);
    QueryPerformanceCounter(&end);
    if (!done) {
        std::fprintf(stderr, "install_timer: the install did not finish\n");
        return 1;
    }
    std::printf("%.3f\n", double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
    return 0;
}
