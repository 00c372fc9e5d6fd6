// The application database and configuration written at the end of the install: the
// installation key, the resource-library directory and config\config.ini.
#include "AppConfig.h"
#include "Database.h"
#include "IniFile.h"
#include "MD5.h"
#include "MainUnit.h"
#include "VendorSettings.h"

#include <random>
#include <vector>

namespace {

std::mt19937& Generator()
{
    static std::mt19937 generator;
    return generator;
}

std::wstring DateText(const SYSTEMTIME& time)
{
    const int n = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, nullptr, 0);
    std::vector<wchar_t> text(n > 0 ? n : 1);
    const int written = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr,
                                       text.data(), static_cast<int>(text.size()));
    return written > 0 ? std::wstring(text.data(), written - 1) : std::wstring();
}

std::wstring TimeText(const SYSTEMTIME& time)
{
    const int n = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, nullptr, 0);
    std::vector<wchar_t> text(n > 0 ? n : 1);
    const int written = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, text.data(),
                                       static_cast<int>(text.size()));
    return written > 0 ? std::wstring(text.data(), written - 1) : std::wstring();
}

// The short date, then the long time unless it is exactly midnight, then the number.
std::wstring KeyText(const SYSTEMTIME& now, unsigned random)
{
    std::wstring text = DateText(now);
    if (now.wHour != 0 || now.wMinute != 0 || now.wSecond != 0) text += L" " + TimeText(now);
    return text + std::to_wstring(random);
}

} // namespace

SYSTEMTIME LocalNow()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now;
}

void SeedRandomFromClock()
{
    LARGE_INTEGER counter;
    const unsigned long long ticks =
        QueryPerformanceCounter(&counter) ? static_cast<unsigned long long>(counter.QuadPart)
                                          : GetTickCount();
    Generator().seed(static_cast<std::uint32_t>(ticks ^ (ticks >> 32)));
}

unsigned RandomBelow100000()
{
    return std::uniform_int_distribution<unsigned>(0, 99999)(Generator());
}

void TMainFrm::WriteAppConfig()
{
    if (!DbConnection || !DbQuery) throw winui::AppError(L"The database connection is not open");
    const std::wstring d = SetpDirET.Text();
    DbConnection->SetConnectionString(AppDatabaseConnectionString(d));
    if (!DbConnection->Connected()) DbConnection->Connect();

    // A database kept from an early release lacks the key's column; on any other the
    // statement fails, which is of no concern.
    try {
        DbQuery->SetSql(L"ALTER TABLE mrConfig ADD softkey text");
        DbQuery->Execute();
    } catch (...) {
    }

    DbQuery->SetSql(L"select softkey from mrconfig");
    DbQuery->Open();
    std::wstring key = DbQuery->Eof() ? std::wstring() : DbQuery->FieldAsText(L"softkey");
    DbQuery->Close();

    KeySource.seed();
    if (key.empty()) {
        const SYSTEMTIME now = KeySource.now();
        key = MD5HexOfString(KeyText(now, KeySource.random()));
    }

    // Every row gets the values; a kept database keeps its resource directory.
    if (KeepOld) {
        DbQuery->SetSql(L"update mrconfig set softkey=:p2");
        DbQuery->SetParameter(L"p2", key);
    } else {
        DbQuery->SetSql(L"update mrconfig set mrrespath=:p1,softkey=:p2");
        DbQuery->SetParameter(L"p1", ResDirET.Text());
        DbQuery->SetParameter(L"p2", key);
    }
    DbQuery->Execute();
    DbQuery->Close();

    IniFile config(d + L"\\config\\config.ini");
    config.WriteString(L"config", L"updateurl", kUpdateEndpoint);
    config.WriteString(L"config", L"ver", L"1.42");
    config.WriteString(L"config", L"backupPath", mrBackUPet.Text());

    cxMemo2.AddLine(L"写入数据成功!");
    cxMemo2.AddLine(L"已完成所有安装...");
}
