// The data-access component check and its repair under Wine: the library search over
// folder trees made for it, the repair batch as cmd.exe runs it, and the check on the
// real form against the registration of the system's ADO library.
//
// The form tests unregister the ADO library or move it away; ctest runs this program
// under the prefix's ADO lock, and the library is put back at its end whatever happened.
#include "DataComponents.h"
#include "Database.h"
#include "MainUnit.h"
#include "PayloadExtraction.h"
#include "Text.h"
#include "WineTestSupport.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace testing_support;
using Lines = std::vector<std::wstring>;

namespace {

[[maybe_unused]] ::testing::Environment* const g_adoRestorer =
    ::testing::AddGlobalTestEnvironment(new AdoRestorer);

const MessagePump kNeverStop = [] { return true; };

// The trees that component_links.sh made, as Wine names them (Z:\...).
std::wstring LinkFixture()
{
    const char* dir = std::getenv("TARVO_COMPONENT_LINKS");
    if (!dir) return L"";
    std::wstring path = L"Z:";
    for (const char* c = dir; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

std::wstring Register(const std::wstring& path) { return L"cmd /c regsvr32 /s \"" + path + L"\" "; }

// --- The table and the names ----------------------------------------------------------

TEST(DataComponentDlls, ExactLowerCaseNamesOnly)
{
    const wchar_t* const listed[] = {
        L"msadce.dll",  L"msadcf.dll",   L"msadco.dll",  L"msdaprst.dll", L"msdfmap.dll",
        L"msdarem.dll", L"msadds.dll",   L"msado15.dll", L"msador15.dll", L"msadrh15.dll",
        L"msjro.dll",   L"msadox.dll",   L"msadomd.dll", L"msdadc.dll",   L"msdaenum.dll",
        L"msdaer.dll",  L"msdaora.dll",  L"msdaps.dll",  L"msdasc.dll",   L"msdasql.dll",
        L"msdatt.dll",  L"msdaurl.dll",  L"sqloledb.dll", L"sqlxmlx.dll", L"msxactps.dll",
        L"oledb32.dll", L"oledb32r.dll", L"msdaosp.dll", L"dao360.dll",   L"mssoap1.dll",
        L"wisc10.dll"};
    for (int i = 0; i < 31; ++i) {
        EXPECT_EQ(std::wstring(DataComponentDlls[i]), listed[i]) << "entry " << i + 1;
        EXPECT_TRUE(IsDataComponentDll(listed[i])) << i;
    }
    for (const wchar_t* other : {L"MSADO15.DLL", L"Msado15.dll", L"msado15", L"msado15.dll ",
                                 L"xmsado15.dll", L"msado.dll", L"", L"kernel32.dll"})
        EXPECT_FALSE(IsDataComponentDll(other));

    EXPECT_EQ(AsciiLowerCase(L"MSADO15.DLL"), L"msado15.dll");
    EXPECT_EQ(AsciiLowerCase(L"ÀÉ中Z@[a"), L"ÀÉ中z@[a"); // only A to Z fold
    EXPECT_TRUE(IsRealEntry(L"a"));
    EXPECT_TRUE(IsRealEntry(L"..."));
    EXPECT_FALSE(IsRealEntry(L"."));
    EXPECT_FALSE(IsRealEntry(L".."));
}

// --- The search -----------------------------------------------------------------------

TEST(CollectRegisterCommands, FindsListedLibrariesAtEveryDepthInListingOrder)
{
    TempDir dir;
    const std::wstring f = dir.Path() + L"\\";
    for (const wchar_t* folder : {L"50%", L"a", L"a\\b", L"sub", L"sub\\msado15.dll", L"修复"})
        ASSERT_TRUE(CreateDirectoryW((f + folder).c_str(), nullptr));
    for (const wchar_t* file :
         {L"MSADO15.DLL",              // listed, stored in upper case
          L"MsDaSc.Dll",               // listed, mixed case
          L"other.dll",                // a library that is not listed
          L"msado15.dll.bak",          // the extension is what follows the last dot
          L"msado15",                  // no extension
          L"notes.txt",                //
          L"50%\\msjro.dll",           // a folder with a percent sign
          L"a\\msdaps.dll",            // the same name at two depths
          L"a\\b\\msdaps.dll",         //
          L"sub\\msado15.dll\\oledb32.dll", // below a folder named like a library
          L"修复\\msdasql.dll"})
        WriteBytes(f + file, "x");
    const std::wstring hidden = f + L"msdaer.dll";
    WriteBytes(hidden, "x");
    SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    std::vector<std::wstring> commands{L"kept"};
    int pumped = 0;
    EXPECT_TRUE(CollectRegisterCommands(f, commands, [&] { return ++pumped, true; }));

    // Wine lists a folder's entries sorted, without regard to case, "." and ".." first.
    // A folder's own libraries come before those of its subfolders.
    EXPECT_EQ(commands, (Lines{
                            L"kept",
                            Register(f + L"MSADO15.DLL"),
                            Register(f + L"msdaer.dll"),
                            Register(f + L"MsDaSc.Dll"),
                            L"cmd /c regsvr32 /s \"" + f + L"50\"%\"\\msjro.dll\" ",
                            Register(f + L"a\\msdaps.dll"),
                            Register(f + L"a\\b\\msdaps.dll"),
                            Register(f + L"sub\\msado15.dll\\oledb32.dll"),
                            Register(f + L"修复\\msdasql.dll"),
                        }));
    // Once for every entry after the first ("."): top 12, 50% 2, a 3, a\b 2, sub 2,
    // sub\msado15.dll 2, 修复 2.
    EXPECT_EQ(pumped, 25);

    std::vector<std::wstring> none;
    EXPECT_TRUE(CollectRegisterCommands(f + L"missing\\", none, kNeverStop));
    EXPECT_TRUE(CollectRegisterCommands(f + L"notes.txt\\", none, kNeverStop));
    EXPECT_TRUE(none.empty());
}

TEST(CollectRegisterCommands, FirstEntryOfADriveRootIsOnlyWalkedInto)
{
    // T: is a folder holding dao360.dll, msdasc.dll and sub\msjro.dll, listed in that order.
    ASSERT_FALSE(LinkFixture().empty()) << "run through ctest: component_links.sh makes drive T:";
    std::vector<std::wstring> commands;
    EXPECT_TRUE(CollectRegisterCommands(L"T:\\", commands, kNeverStop));
    EXPECT_EQ(commands, (Lines{Register(L"T:\\msdasc.dll"), Register(L"T:\\sub\\msjro.dll")}));
}

TEST(CollectRegisterCommands, FolderLinkIsNotFollowed)
{
    // loop\inner\back leads back to loop.
    const std::wstring loop = LinkFixture() + L"\\loop\\";
    ASSERT_FALSE(LinkFixture().empty()) << "run through ctest: component_links.sh makes the link";
    ASSERT_NE(GetFileAttributesW((loop + L"inner\\back\\inner").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the link does not lead back";
    std::vector<std::wstring> commands;
    EXPECT_TRUE(CollectRegisterCommands(loop, commands, kNeverStop));
    EXPECT_EQ(commands, (Lines{Register(loop + L"msado15.dll"), Register(loop + L"inner\\oledb32.dll")}));
}

TEST(CollectRegisterCommands, StopsAtOnceWhenThePumpSaysSo)
{
    TempDir dir;
    const std::wstring f = dir.Path() + L"\\";
    ASSERT_TRUE(CreateDirectoryW((f + L"deeper").c_str(), nullptr));
    for (const wchar_t* file : {L"msadce.dll", L"msadcf.dll", L"deeper\\msadco.dll"})
        WriteBytes(f + file, "x");
    std::vector<std::wstring> commands;
    int pumped = 0;
    // Entries: . .. deeper msadce.dll msadcf.dll; the pump says stop before msadcf.dll.
    EXPECT_FALSE(CollectRegisterCommands(f, commands, [&] { return ++pumped < 4; }));
    EXPECT_EQ(pumped, 4);
    EXPECT_EQ(commands, (Lines{Register(f + L"msadce.dll")}));
}

// --- The form ---------------------------------------------------------------------------

class ComponentCheck : public ::testing::Test {
protected:
    ComponentCheck()
    {
        // A quit message left by an earlier test's closed form would end every wait.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    ~ComponentCheck() override
    {
        DeleteFileW(batch.c_str());
        RemoveDirectoryW(batch.c_str()); // the folder one test puts in its place
    }

    void Click(const winui::Control& button) { ClickButton(form.Handle(), button.Id(), button.Handle()); }
    // Accepts the agreement and clicks Next: the check runs.
    void ToCheckPage()
    {
        form.CheckBox1.SetChecked(true);
        Click(form.CheckBox1);
        Click(form.nextOkbt);
    }
    // The lines of Memo1 with the line of timer dots, if there is one, taken out.
    Lines LinesWithoutDots()
    {
        Lines lines = form.Memo1.Lines();
        if (lines.size() > 1 && !lines[1].empty() &&
            lines[1].find_first_not_of(L'.') == std::wstring::npos)
            lines.erase(lines.begin() + 1);
        return lines;
    }

    const std::wstring batch = SetupFolder() + L"\\packado.bat";
    TempDir dir;
    MessageBoxRecorder boxes;
    TMainFrm form;
};

const std::wstring kCommon = L"C:\\Program Files\\Common Files\\SysTem\\";

TEST_F(ComponentCheck, WorkingComponentsNeedNoRepair)
{
    ToCheckPage();
    EXPECT_EQ(form.StepIndex, 1);
    EXPECT_TRUE(form.nextOkbt.Enabled());
    EXPECT_EQ(form.Memo1.Text(), L"你的MDAC组件正常不用修复,点击下一步继续安装!");
    EXPECT_TRUE(form.RepairCommands->empty());
    EXPECT_TRUE(form.DbConnection && form.DbQuery);
    EXPECT_FALSE(FileExists(batch));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ComponentCheck, RepairRegistersTheLibrariesAgainAndTheWizardGoesOn)
{
    AdoUnregistered unregistered;
    ASSERT_EQ(unregistered.exitCode, 0u);
    ASSERT_ANY_THROW(CreateDatabaseObjects());

    ToCheckPage();
    EXPECT_EQ(form.StepIndex, 1);
    EXPECT_TRUE(form.nextOkbt.Enabled());
    EXPECT_FALSE(form.UpBT.Visible());
    EXPECT_EQ(LinesWithoutDots(), (Lines{L"开始尝试修复MDAC数据组件.(预计注册组件:4)", L"尝试修复完毕."}))
        << "Memo1: " << testing::PrintToString(form.Memo1.Text());
    // Wine's libraries under the first folder; the two others hold none.
    EXPECT_EQ(*form.RepairCommands, (Lines{
                                        Register(kCommon + L"ADO\\msado15.dll"),
                                        Register(kCommon + L"OLE DB\\msdaps.dll"),
                                        Register(kCommon + L"OLE DB\\msdasql.dll"),
                                        Register(kCommon + L"OLE DB\\oledb32.dll"),
                                    }));
    EXPECT_TRUE(form.DbConnection && form.DbQuery);
    EXPECT_FALSE(form.Timer1.Enabled());
    EXPECT_FALSE(FileExists(batch));
    EXPECT_NO_THROW(CreateDatabaseObjects()); // registered for real
    EXPECT_TRUE(boxes.boxes.empty());

    Click(form.nextOkbt);
    EXPECT_EQ(form.StepIndex, 2);
    EXPECT_EQ(form.cxPageControl1.ActivePageIndex(), 2);
}

TEST_F(ComponentCheck, RepairThatCannotHelpExplainsAndStopsTheWizard)
{
    AdoUnregistered unregistered;
    AdoLibraryAway away;
    ASSERT_EQ(unregistered.exitCode, 0u);
    ASSERT_TRUE(away.moved);
    const std::wstring error = AppErrorOf([] { CreateDatabaseObjects(); });
    ASSERT_FALSE(error.empty());

    ToCheckPage();
    EXPECT_EQ(LinesWithoutDots(), (Lines{
                                      L"开始尝试修复MDAC数据组件.(预计注册组件:3)",
                                      L"尝试修复完毕.",
                                      error,
                                      L"很抱歉,我们暂时未能修复你的MDAC数据组件.",
                                      L"你可以尝试从这里找到答案:",
                                      L"http://www.baidu.com/s?wd=%D0%DE%B8%B4mdac&n=2",
                                      L"或者重装操作系统!",
                                  }))
        << "Memo1: " << testing::PrintToString(form.Memo1.Text());
    EXPECT_EQ(form.StepIndex, 1);
    EXPECT_EQ(form.cxPageControl1.ActivePageIndex(), 1);
    EXPECT_FALSE(form.nextOkbt.Enabled());
    EXPECT_FALSE(form.UpBT.Visible());
    EXPECT_FALSE(FileExists(batch));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ComponentCheck, BatchIsWrittenInTheAnsiCodePageAndRunByCmd)
{
    const std::wstring seen = dir / L"seen.bat";
    const std::wstring echoed = dir / L"echoed.txt";
    form.Memo1.AddLine(L"count");
    *form.RepairCommands = {
        L"rem 修复 50%",
        L"echo 50%OS%!> \"" + echoed + L"\"",
        L"copy \"" + batch + L"\" \"" + seen + L"\" >nul",
        L"ping -n 4 127.0.0.1 >nul", // three seconds: the timer ticks meanwhile
    };
    SendMessageW(form.Handle(), 3135, 0, 0);

    // dir's path is ASCII: %TEMP% under Wine's user folder.
    const std::string d = winui::ToAnsi(dir.Path());
    EXPECT_EQ(ReadBytes(seen), "rem \xD0\xDE\xB8\xB4 50%%\r\n"
                               "echo 50%%OS%%!> \"" + d + "\\echoed.txt\"\r\n"
                               "copy \"" + winui::ToAnsi(batch) + "\" \"" + d + "\\seen.bat\" >nul\r\n"
                               "ping -n 4 127.0.0.1 >nul\r\n");
    EXPECT_EQ(ReadBytes(echoed), "50%OS%!\r\n"); // cmd.exe expanded nothing
    EXPECT_FALSE(FileExists(batch));
    EXPECT_FALSE(form.Timer1.Enabled());
    const Lines lines = form.Memo1.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], L"count");
    EXPECT_GE(lines[1].size(), 2u) << "the timer did not tick while the batch ran";
    EXPECT_EQ(lines[1].find_first_not_of(L'.'), std::wstring::npos);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ComponentCheck, PercentSignsInALibraryPathReachRegsvr32Unexpanded)
{
    // A copy of the ADO library in a folder whose name cmd.exe would expand, registered
    // through the batch line as the search writes it: the classes come back from it.
    const std::wstring folder = dir / L"x%OS%y";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(kAdoLibrary, (folder + L"\\msado15.dll").c_str(), FALSE));
    {
        AdoUnregistered unregistered;
        ASSERT_EQ(unregistered.exitCode, 0u);
        ASSERT_THROW(CreateDatabaseObjects(), winui::AppError);
        *form.RepairCommands = {RegisterCommandLine(folder + L"\\msado15.dll")};
        SendMessageW(form.Handle(), 3135, 0, 0);
        EXPECT_NO_THROW(CreateDatabaseObjects()) << "regsvr32 did not get the path";
    } // registered again from its own folder
    EXPECT_NO_THROW(CreateDatabaseObjects());
}

TEST_F(ComponentCheck, BatchThatCannotBeWrittenIsReportedAndTheCheckGoesOn)
{
    // A folder in the batch file's place.
    ASSERT_TRUE(CreateDirectoryW(batch.c_str(), nullptr));
    AdoUnregistered unregistered;
    ToCheckPage();
    RemoveDirectoryW(batch.c_str());

    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text.rfind(L"Cannot create file \"" + batch + L"\". ", 0), 0u)
        << testing::PrintToString(boxes.boxes[0].text);
    EXPECT_FALSE(form.Timer1.Enabled());
    const Lines lines = form.Memo1.Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], L"开始尝试修复MDAC数据组件.(预计注册组件:4)");
    EXPECT_EQ(lines[1], L"尝试修复完毕.");
    EXPECT_EQ(lines.back(), L"或者重装操作系统!");
    EXPECT_FALSE(form.nextOkbt.Enabled());
}

TEST_F(ComponentCheck, CloseDuringTheSearchEndsTheCheck)
{
    AdoUnregistered unregistered;
    form.CheckBox1.SetChecked(true);
    Click(form.CheckBox1);
    PostMessageW(form.Handle(), WM_CLOSE, 0, 0); // handled at the search's first pump
    Click(form.nextOkbt);

    EXPECT_EQ(form.Handle(), nullptr);
    EXPECT_FALSE(form.RepairCommands || form.DbConnection || form.DbQuery);
    EXPECT_FALSE(form.Timer1.Enabled());
    EXPECT_FALSE(FileExists(batch));
    EXPECT_ANY_THROW(CreateDatabaseObjects()); // no batch ran
    EXPECT_TRUE(boxes.boxes.empty());
}

// Waits for the cmd.exe that this program started to end by itself: a batch left
// running when its wait ended early.
void WaitForChildBatches()
{
    const winui::KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    if (!snapshot || snapshot.Get() == INVALID_HANDLE_VALUE || !Process32FirstW(snapshot.Get(), &entry))
        return;
    do {
        // Wine's desktop process is a child too, and stays.
        if (entry.th32ParentProcessID != GetCurrentProcessId() || lstrcmpiW(entry.szExeFile, L"cmd.exe") != 0)
            continue;
        const winui::KernelHandle child(OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (child) WaitForSingleObject(child.Get(), 60000);
    } while (Process32NextW(snapshot.Get(), &entry));
}

// Posts WM_CLOSE to the window once the file exists; checked on a timer of the thread.
HWND g_closeWhenSeenWindow;
std::wstring g_closeWhenSeenFile;
void CALLBACK CloseWhenSeen(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (!FileExists(g_closeWhenSeenFile)) return;
    KillTimer(nullptr, timer);
    PostMessageW(g_closeWhenSeenWindow, WM_CLOSE, 0, 0);
}

TEST_F(ComponentCheck, CloseDuringTheBatchEndsTheWait)
{
    const std::wstring started = dir / L"started.txt";
    const std::wstring ended = dir / L"ended.txt";
    *form.RepairCommands = {
        L"echo started> \"" + started + L"\"",
        L"ping -n 4 127.0.0.1 >nul",
        L"echo ended> \"" + ended + L"\"",
    };
    g_closeWhenSeenWindow = form.Handle();
    g_closeWhenSeenFile = started;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseWhenSeen);
    SendMessageW(form.Handle(), 3135, 0, 0);
    KillTimer(nullptr, timer);

    EXPECT_TRUE(FileExists(started));
    EXPECT_FALSE(FileExists(ended)) << "the wait lasted to the end of the batch";
    WaitForChildBatches();
    EXPECT_TRUE(FileExists(ended)) << "the batch did not go on by itself";
    EXPECT_EQ(form.Handle(), nullptr);
    EXPECT_FALSE(form.RepairCommands);
    EXPECT_FALSE(form.Timer1.Enabled());
    EXPECT_TRUE(boxes.boxes.empty());
}

} // namespace
