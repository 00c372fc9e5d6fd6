// Control identifiers of Kelpview's window; the UI driver finds the controls by them.
#pragma once

enum KelpviewControlId {
    IdLabel1 = 101,
    IdBevel1,
    IdLabel2,
    IdMaxFileET,
    IdButton1,
    IdMemo1,
    IdButton2,
    IdEdit1,
};

// The caption of Kelpview's window.
#define KELPVIEW_CAPTION L"3Zuveroru v1.0(支持max2012及以下所有版本)-Tarvo网出品"
