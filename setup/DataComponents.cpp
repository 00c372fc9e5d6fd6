// The check of the Windows data-access components on the wizard's second page, and
// their repair: every known library under the common-files folders is registered again
// by a hidden batch, and the check runs once more.
#include "DataComponents.h"

#include "Database.h"
#include "ErrorReport.h"
#include "FileSystem.h"
#include "Form.h"
#include "Handles.h"
#include "MainUnit.h"
#include "PayloadExtraction.h"
#include "SetupIds.h"
#include "Text.h"

#include <shellapi.h>

#include <algorithm>
#include <iterator>

const wchar_t* const DataComponentDlls[31] = {
    L"msadce.dll",   L"msadcf.dll",   L"msadco.dll",   L"msdaprst.dll", L"msdfmap.dll",
    L"msdarem.dll",  L"msadds.dll",   L"msado15.dll",  L"msador15.dll", L"msadrh15.dll",
    L"msjro.dll",    L"msadox.dll",   L"msadomd.dll",  L"msdadc.dll",   L"msdaenum.dll",
    L"msdaer.dll",   L"msdaora.dll",  L"msdaps.dll",   L"msdasc.dll",   L"msdasql.dll",
    L"msdatt.dll",   L"msdaurl.dll",  L"sqloledb.dll", L"sqlxmlx.dll",  L"msxactps.dll",
    L"oledb32.dll",  L"oledb32r.dll", L"msdaosp.dll",  L"dao360.dll",   L"mssoap1.dll",
    L"wisc10.dll",
};

bool IsRealEntry(const std::wstring& name) { return name != L"." && name != L".."; }

bool IsDataComponentDll(const std::wstring& name)
{
    return std::any_of(std::begin(DataComponentDlls), std::end(DataComponentDlls),
                       [&](const wchar_t* listed) { return name == listed; });
}

std::wstring AsciiLowerCase(std::wstring text)
{
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

std::wstring RegisterCommandLine(const std::wstring& libraryPath)
{
    // The inner cmd /c would expand "%NAME%" in the path, quotes or not: each percent sign
    // stands between closed quotes, where it can start no variable name that exists, and
    // regsvr32 joins the quoted pieces into the one path again.
    std::wstring quoted;
    for (const wchar_t c : libraryPath) quoted += c == L'%' ? std::wstring(L"\"%\"") : std::wstring(1, c);
    return L"cmd /c regsvr32 /s \"" + quoted + L"\" ";
}

namespace {

// The name's extension from its last dot, the dot included; empty when it has none.
std::wstring ExtensionOf(const std::wstring& name)
{
    const auto dot = name.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : name.substr(dot);
}

} // namespace

bool CollectRegisterCommands(const std::wstring& folder, std::vector<std::wstring>& commands,
                             const MessagePump& pump)
{
    // Folders to walk after this one's own files. A link is not followed: it may lead
    // back to a folder above and the walk has no depth limit.
    std::vector<std::wstring> candidates;
    auto addCandidate = [&](const WIN32_FIND_DATAW& entry) {
        if (IsRealEntry(entry.cFileName) && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            candidates.push_back(entry.cFileName);
    };

    WIN32_FIND_DATAW entry;
    const winui::FindHandle listing(FindFirstFileW((folder + L"*.*").c_str(), &entry));
    if (listing) {
        addCandidate(entry); // the first entry is only walked into, never registered
        while (FindNextFileW(listing.Get(), &entry)) {
            addCandidate(entry);
            if (!pump()) return false;
            const std::wstring name = entry.cFileName;
            if (name == L"..") continue;
            if (!FileExists(folder + name)) continue;
            if (AsciiLowerCase(ExtensionOf(name)) != L".dll") continue;
            if (!IsDataComponentDll(AsciiLowerCase(name))) continue;
            commands.push_back(RegisterCommandLine(folder + name));
        }
    }
    for (const std::wstring& candidate : candidates)
        if (!CollectRegisterCommands(folder + candidate + L"\\", commands, pump)) return false;
    return true;
}

std::string RepairBatchBytes(const std::vector<std::wstring>& commands)
{
    std::wstring text;
    for (const std::wstring& command : commands) {
        for (const wchar_t c : command) text += c == L'%' ? L"%%" : std::wstring(1, c);
        text += L"\r\n";
    }
    return winui::ToAnsi(text);
}

void RunAndWait(HWND owner, const std::wstring& file, const std::wstring& parameters,
                const MessagePump& pump)
{
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = owner;
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    if (!ShellExecuteExW(&info)) return;
    const winui::KernelHandle process(info.hProcess);
    if (!process) return;
    // Sleeps until the program ends or a message arrives; a message is dispatched and
    // the wait goes on, so the window stays alive and the timer ticks.
    const HANDLE handles[] = {process.Get()};
    for (;;) {
        const DWORD woken =
            MsgWaitForMultipleObjectsEx(1, handles, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken != WAIT_OBJECT_0 + 1) return; // ended, or the wait itself failed
        if (!pump()) return;
    }
}

// --- The form's part ------------------------------------------------------------------

namespace {

const wchar_t* const kCommonFolders[] = {
    L"Program Files\\Common Files\\SysTem\\",
    L"Program Files\\Common Files\\MSSoap\\",
    L"Program Files\\Common Files\\Microsoft Shared\\",
};

// The drive of the Windows system directory: letter, colon and backslash.
std::wstring SystemDrive()
{
    wchar_t system[255] = {};
    GetSystemDirectoryW(system, 255);
    return std::wstring(system).substr(0, 3);
}

std::wstring RepairBatchPath() { return SetupFolder() + L"\\packado.bat"; }

} // namespace

bool TMainFrm::KeepRunning() { return winui::ProcessMessages() && Handle() != nullptr; }

void TMainFrm::CreateDatabasePair()
{
    DatabaseObjects objects = CreateDatabaseObjects();
    DbQuery.reset();
    DbConnection = std::move(objects.connection);
    DbQuery = std::move(objects.query);
}

bool TMainFrm::CheckDataComponents()
{
    try {
        CreateDatabasePair();
        Memo1.SetText(L"你的MDAC组件正常不用修复,点击下一步继续安装!");
        return true;
    } catch (...) {
        // Broken components are what the repair below is for.
    }

    const std::wstring drive = SystemDrive();
    Memo1.Clear();
    RepairCommands->clear();
    // Collected aside: the window may be closed while the walk lets messages through,
    // and the form's list goes with it.
    std::vector<std::wstring> commands;
    const MessagePump pump = [this] { return KeepRunning(); };
    for (const wchar_t* folder : kCommonFolders)
        if (!CollectRegisterCommands(drive + folder, commands, pump)) return false;
    *RepairCommands = std::move(commands);
    Memo1.AddLine(L"开始尝试修复MDAC数据组件.(预计注册组件:" +
                  std::to_wstring(RepairCommands->size()) + L")");

    SendMessageW(Handle(), kRepairBatchMessage, 0, 0);
    if (!Handle()) return false; // closed while the batch ran
    Memo1.AddLine(L"尝试修复完毕.");

    try {
        CreateDatabasePair();
        return true;
    } catch (...) {
        Memo1.AddLine(winui::ErrorMessageOf(std::current_exception()));
        Memo1.AddLine(L"很抱歉,我们暂时未能修复你的MDAC数据组件.");
        Memo1.AddLine(L"你可以尝试从这里找到答案:");
        Memo1.AddLine(L"http://www.baidu.com/s?wd=%D0%DE%B8%B4mdac&n=2");
        Memo1.AddLine(L"或者重装操作系统!");
        return false;
    }
}

void TMainFrm::RepairBatchMsg()
{
    const std::wstring batch = RepairBatchPath();
    const std::string bytes = RepairBatchBytes(*RepairCommands);
    WriteFileReplacing(batch, bytes.data(), bytes.size());
    Timer1.SetEnabled(true);
    RunAndWait(Handle(), L"cmd.exe", L"/c \"" + batch + L"\"", [this] { return KeepRunning(); });
    Timer1.SetEnabled(false);
    DeleteFileW(batch.c_str()); // the outcome is not examined
}

void TMainFrm::Timer1Timer() { Memo1.SetText(Memo1.Text() + L"."); }
