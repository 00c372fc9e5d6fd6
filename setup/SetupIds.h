// Control identifiers of Tarvosetup's window; the UI driver finds the controls by them.
#pragma once

enum SetupControlId {
    IdPanel1 = 201, IdImage1, IdLabel1, IdLabel11,
    IdPageControl, IdPageS1, IdPageRepair, IdPageS2, IdPageS3, IdPageS4,
    IdPanel2, IdCxMemo1, IdCheckBox1,
    IdLabel10, IdMemo1,
    IdLabel2, IdSetpDirET, IdSpeedButton1, IdLabel7,
    IdLabel3, IdResDirET, IdSpeedButton2, IdLabel6,
    IdLabel8, IdMrBackUPet, IdSpeedButton3, IdLabel9,
    IdHaveOldInfoCB,
    IdLabel4, IdPB, IdCxMemo2,
    IdLabel5,
    IdPanel3, IdUpBT, IdNextOkbt,
};

// The private message that runs the repair batch.
constexpr unsigned kRepairBatchMessage = 3135;

#define TARVOSETUP_CAPTION L"Tarvo资源管理系统 个人版 V1.42 安装程序"
