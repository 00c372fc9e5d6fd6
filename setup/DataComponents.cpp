// The check of the Windows data-access components on the wizard's second page.
#include "Database.h"
#include "MainUnit.h"

bool TMainFrm::CheckDataComponents()
{
    try {
        DatabaseObjects objects = CreateDatabaseObjects();
        DbQuery = std::move(objects.query);
        DbConnection = std::move(objects.connection);
    } catch (const winui::AppError& error) {
        // The repair of broken components is not built yet.
        Memo1.SetText(error.Message());
        return false;
    }
    Memo1.SetText(L"你的MDAC组件正常不用修复,点击下一步继续安装!");
    return true;
}

void TMainFrm::RepairBatchMsg() {}

void TMainFrm::Timer1Timer() {}
