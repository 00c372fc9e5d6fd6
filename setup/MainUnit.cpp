#include "MainUnit.h"

#include "Database.h"
#include "FileSystem.h"
#include "IniFile.h"
#include "PayloadExtraction.h"
#include "SetupIds.h"
#include "ShellIntegration.h"
#include "Text.h"

TMainFrm::~TMainFrm() = default;

void TMainFrm::FormCreate()
{
    RepairCommands = std::make_unique<std::vector<std::wstring>>();
    SetpDirET.SetText(L"D:\\Tarvo\\MirelMax");
    ResDirET.SetText(L"D:\\Tarvo\\MirelRES");
    mrBackUPet.SetText(L"D:\\Tarvo\\MirelBackUp");
    cxMemo2.Clear();
    cxPageControl1.ShowPage(0);
    SetCaption(TARVOSETUP_CAPTION);
}

void TMainFrm::FormClose()
{
    DbQuery.reset();
    DbConnection.reset();
    RepairCommands.reset();
}

void TMainFrm::CheckBox1Click() { nextOkbt.SetEnabled(CheckBox1.Checked()); }

bool TMainFrm::KeepOldInfo() const { return HaveOldInfoCB.Checked(); }

void TMainFrm::nextOkbtClick()
{
    // The directory check of step 3; a failure goes back to the directory page.
    auto EnsureDirectory = [this](const std::wstring& path) {
        if (DirectoryExists(path) || ForceDirectories(path)) return true;
        UpBT.SetVisible(true);
        winui::ShowMessage(L"创建目录失败!");
        --StepIndex;
        return false;
    };

    ++StepIndex;
    if (StepIndex != 4) cxPageControl1.ShowPage(StepIndex);
    UpBT.SetVisible(StepIndex == 2);

    switch (StepIndex) {
    case 1:
        nextOkbt.SetText(L"下一步");
        nextOkbt.SetEnabled(false);
        if (CheckDataComponents()) nextOkbt.SetEnabled(true);
        break;
    case 2:
        nextOkbt.SetText(L"下一步");
        DetectOldInstall();
        break;
    case 3: {
        winui::Edit* const edits[] = {&SetpDirET, &ResDirET, &mrBackUPet};
        for (winui::Edit* edit : edits) {
            if (!EnsureDirectory(edit->Text())) {
                cxPageControl1.ShowPage(StepIndex);
                edit->SetFocus();
                return;
            }
        }
        nextOkbt.SetText(L"开始安装");
        break;
    }
    case 4:
        RunInstallStep();
        break;
    case 5:
        Close();
        break;
    }
}

void TMainFrm::RunInstallStep()
{
    // The window keeps painting while the files are written; it cannot be closed before
    // the step has ended, whichever way it ends.
    struct Installing {
        bool& flag;
        explicit Installing(bool& f) : flag(f) { flag = true; }
        ~Installing() { flag = false; }
    } installing(installing_);

    const std::wstring d = SetpDirET.Text();
    KeepOld = KeepOldInfo();
    KillProcessByName(L"ZIDezEvudaz.exe");
    KillProcessByName(L"kiwa.exe");
    KillProcessByName(L"ZTupdate.exe");
    Sleep(100);
    nextOkbt.SetEnabled(false);
    if (!ExtractManifest()) {
        winui::ShowMessage(L"没有找到配置文件!");
        return;
    }
    const IniFile manifest(ManifestPath());
    ExtractProgramFiles(manifest);
    ExtractResourceFiles(manifest);
    const bool registered =
        RegisterTvkFileType(winui::ToAnsi(d + L"\\ZT_Portal.dll"),
                            winui::ToAnsi(d + L"\\kiwa.exe"), d + L"\\ZT_Icon.dll");
    cxMemo2.AddLine(registered ? L"注册TVK文件成功! " : L"注册TVK文件失败! ");
    WriteAppConfig();
    DeleteFileW(manifest.Path().c_str()); // a failed deletion is ignored
    WriteMachineString(L"software\\MirelMax", L"MirelMaxPath", d);
    CreateDesktopShortcut(d + L"\\kiwa.exe", d, ShortcutPath);
    WriteMachineString(L"software\\MirelMax", L"MirelLink", ShortcutPath);
    nextOkbt.SetText(L"完成");
    nextOkbt.SetEnabled(true);
}

void TMainFrm::ExtractProgramFiles(const IniFile& manifest)
{
    ::ExtractProgramFiles(manifest, {SetpDirET.Text(), cxMemo2, PB}, KeepOld, OldInstallDir);
}

void TMainFrm::ExtractResourceFiles(const IniFile& manifest)
{
    ::ExtractResourceFiles(manifest, {ResDirET.Text(), cxMemo2, PB});
}

void TMainFrm::UpBTClick()
{
    --StepIndex;
    UpBT.SetVisible(StepIndex == 1);
    cxPageControl1.ShowPage(StepIndex);
}

void TMainFrm::SpeedButton1Click()
{
    if (const auto folder = cxShellBrowserDialog1.Execute(Handle())) SetpDirET.SetText(*folder);
}

void TMainFrm::SpeedButton2Click()
{
    if (const auto folder = cxShellBrowserDialog2.Execute(Handle())) ResDirET.SetText(*folder);
}

void TMainFrm::SpeedButton3Click()
{
    if (const auto folder = cxShellBrowserDialog2.Execute(Handle())) mrBackUPet.SetText(*folder);
}

LRESULT TMainFrm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    // While the install step runs, the window paints and answers other programs, but no
    // click, even one sent from outside, starts a handler, and it does not close; a
    // logoff or shutdown is asked to wait (FALSE) until the files are complete.
    if (installing_ && (message == WM_CLOSE || message == WM_COMMAND || message == kRepairBatchMessage ||
                        message == WM_QUERYENDSESSION))
        return 0;
    if (message == kRepairBatchMessage) {
        RepairBatchMsg();
        return 0;
    }
    if (message == WM_TIMER && wParam == Timer1.Id()) {
        Timer1Timer();
        return 0;
    }
    return DefaultHandling(message, wParam, lParam);
}
