// Tarvosetup's window: the five-page wizard and everything its steps drive.
#pragma once

#include "AppConfig.h"
#include "Controls.h"
#include "Dialogs.h"
#include "Form.h"

#include <memory>
#include <string>
#include <vector>

class DbConnection;
class DbQuery;
class IniFile;

class TMainFrm : public winui::Form {
public:
    TMainFrm(); // lays out the window (MainFrmLayout.cpp) and runs FormCreate
    ~TMainFrm() override;

    // Header
    winui::Panel Panel1;
    winui::ImageBox Image1;
    winui::Label Label1, Label11;
    // Pages
    winui::PageControl cxPageControl1;
    winui::Panel s1, cxTabSheet1, s2, s3, s4;
    winui::Panel Panel2;
    winui::Memo cxMemo1;
    winui::CheckBox CheckBox1;
    winui::Label Label10;
    winui::Memo Memo1;
    winui::Label Label2, Label7, Label3, Label6, Label8, Label9;
    winui::Edit SetpDirET, ResDirET, mrBackUPet;
    winui::SpeedButton SpeedButton1, SpeedButton2, SpeedButton3;
    winui::CheckBox HaveOldInfoCB;
    winui::Label Label4;
    winui::ProgressBar PB;
    winui::Memo cxMemo2;
    winui::Label Label5;
    // Buttons
    winui::Panel Panel3;
    winui::Button UpBT, nextOkbt;
    // Components without a place on a page
    winui::FolderPicker cxShellBrowserDialog1, cxShellBrowserDialog2;
    winui::Timer Timer1;

    // Wizard state, alive for the whole run.
    int StepIndex = 0;
    bool KeepOld = false;
    std::wstring OldInstallDir;
    std::wstring ShortcutPath;
    std::unique_ptr<std::vector<std::wstring>> RepairCommands;
    std::unique_ptr<::DbConnection> DbConnection;
    std::unique_ptr<::DbQuery> DbQuery;
    // Time and random numbers of a new installation key (AppConfig.cpp).
    InstallKeySource KeySource;

    // Handlers
    void FormCreate();
    void FormClose();
    void CheckBox1Click();
    void nextOkbtClick();
    void UpBTClick();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void Timer1Timer();
    void RepairBatchMsg();

    bool KeepOldInfo() const;

    // Steps of the wizard (DataComponents.cpp, OldInstall.cpp, AppConfig.cpp).
    bool CheckDataComponents();
    void DetectOldInstall();
    void WriteAppConfig();

    // The earlier installation's directories (OldInstall.cpp): the resource directory in
    // the database under the program directory SetpDirET shows, and the backup directory
    // in the configuration file under dir; empty when there is none.
    std::wstring GetOldResPath();
    std::wstring GetOldBackupPath(const std::wstring& dir);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnFormClose() override { FormClose(); }

private:
    void CreateControls();
    // Lets waiting messages through; false once the window is closed.
    bool KeepRunning();
    // Creates a new DbConnection and DbQuery pair; throws when the components are broken.
    void CreateDatabasePair();
    void RunInstallStep();
    void ExtractProgramFiles(const IniFile& manifest);
    void ExtractResourceFiles(const IniFile& manifest);

    bool installing_ = false; // the install step runs: no handler starts, no close
};
