// The processor time that Tarvosetup spends while its repair batch runs: the form's
// real batch handler runs a batch of about five seconds, and the process's own user and
// kernel time over that run is set against the wall-clock time.
// Usage: repair_wait_bench [poll]
//   poll: the same batch waited for by polling the exit code between message runs,
//         without sleeping, for comparison.
#include "DataComponents.h"
#include "FileSystem.h"
#include "Form.h"
#include "Handles.h"
#include "MainUnit.h"
#include "PayloadExtraction.h"
#include "SetupIds.h"

#include "Com.h"

#include <shellapi.h>

#include <cstdio>
#include <cwchar>

namespace {

const wchar_t kBatchLine[] = L"ping -n 6 127.0.0.1 >nul"; // five one-second pauses

double Seconds(const FILETIME& t)
{
    return double((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
}

double ProcessorSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

double WallSeconds()
{
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

// The wait as a plain poll: messages, then the exit code, again and again.
void PollingWait(HWND owner, const std::wstring& batch)
{
    const std::wstring parameters = L"/c \"" + batch + L"\"";
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = owner;
    info.lpFile = L"cmd.exe";
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    if (!ShellExecuteExW(&info)) return;
    const winui::KernelHandle process(info.hProcess);
    DWORD code = STILL_ACTIVE;
    while (winui::ProcessMessages() && GetExitCodeProcess(process.Get(), &code) && code == STILL_ACTIVE) {
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const bool poll = argc > 1 && std::wcscmp(argv[1], L"poll") == 0;
    winui::ComApartment com;
    TMainFrm form;
    *form.RepairCommands = {kBatchLine};
    const std::wstring batch = SetupFolder() + L"\\packado.bat";
    if (poll) {
        const std::string bytes = RepairBatchBytes(*form.RepairCommands);
        WriteFileReplacing(batch, bytes.data(), bytes.size());
    }

    const double wall0 = WallSeconds(), cpu0 = ProcessorSeconds();
    if (poll)
        PollingWait(form.Handle(), batch);
    else
        SendMessageW(form.Handle(), kRepairBatchMessage, 0, 0);
    const double wall = WallSeconds() - wall0, cpu = ProcessorSeconds() - cpu0;
    DeleteFileW(batch.c_str());

    std::printf("%s wait: %.2f s wall, %.3f s processor, %.1f %% of one core\n",
                poll ? "polling" : "Tarvosetup's", wall, cpu, 100.0 * cpu / wall);
    return 0;
}
