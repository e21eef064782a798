// Templates of the host suites' own dialogs.
#pragma once

#define IDD_MVED_TEST 100
#define IDC_T_EDIT 110
#define IDC_T_SPIN 111
#define IDC_T_LIST 112
#define IDC_T_PICK_EDIT 120
#define IDC_T_PICK_SPIN 121
#define IDC_T_PICK_LIST 122
#define IDC_T_PLAIN 130
