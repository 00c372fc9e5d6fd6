// Resource identifiers of Tarvosetup beside its payload.
#pragma once

#define IDI_SETUP 1
#define IDB_LOGO 2
#define IDR_AGREEMENT 3
