// Recognising an earlier installation on the directory page: the program directory it
// recorded in the registry, its database and its configuration file.
#include "Database.h"
#include "FileSystem.h"
#include "IniFile.h"
#include "MainUnit.h"
#include "ShellIntegration.h"

void TMainFrm::DetectOldInstall()
{
    // Nothing of the earlier installation is used unless its database is found again.
    auto NoEarlierInstallation = [this] {
        HaveOldInfoCB.SetChecked(false);
        HaveOldInfoCB.SetVisible(false); // for the rest of the run
    };

    try {
        OldInstallDir = ReadMachineString(L"software\\MirelMax", L"MirelMaxPath");
    } catch (...) {
        // A value that is not a string names no directory; the error is still reported.
        OldInstallDir.clear();
        NoEarlierInstallation();
        throw;
    }
    // Joined as it is: with no recorded directory this is the current drive's root.
    HaveOldInfoCB.SetChecked(FileExists(OldInstallDir + L"\\data\\kiwa.db"));
    if (!HaveOldInfoCB.Checked()) {
        NoEarlierInstallation();
        return;
    }
    SetpDirET.SetText(OldInstallDir);
    const std::wstring resPath = GetOldResPath();
    if (DirectoryExists(resPath)) ResDirET.SetText(resPath);
    const std::wstring backupPath = GetOldBackupPath(OldInstallDir);
    if (DirectoryExists(backupPath)) mrBackUPet.SetText(backupPath);
}

std::wstring TMainFrm::GetOldResPath()
{
    const std::wstring d = SetpDirET.Text();
    if (!FileExists(d + L"\\data\\kiwa.db")) return L"";
    // Without the database objects (the component check never passed) the database
    // cannot be opened, which is no error here.
    if (!DbConnection || !DbQuery) return L"";
    try {
        DbConnection->SetConnectionString(AppDatabaseConnectionString(d));
        DbConnection->Connect();
    } catch (...) {
        DbConnection->Disconnect();
        return L"";
    }

    // An open database that cannot be read is reported; it is not left open for the
    // install, which connects to the database it finds in place then.
    std::wstring resPath;
    try {
        DbQuery->SetSql(L"select mrrespath from mrconfig");
        DbQuery->Open();
        if (!DbQuery->Eof()) resPath = DbQuery->FieldAsText(L"mrrespath");
    } catch (...) {
        DbConnection->Disconnect();
        throw;
    }
    DbQuery->Close();
    DbConnection->Disconnect();
    return resPath;
}

std::wstring TMainFrm::GetOldBackupPath(const std::wstring& dir)
{
    // A missing or unreadable file, section or key reads as the empty default.
    return IniFile(dir + L"\\config\\config.ini").ReadString(L"config", L"backupPath", L"");
}
