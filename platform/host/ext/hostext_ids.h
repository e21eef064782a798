// Resource and control numbers of hostext32.dll.
#pragma once

#define IDD_HX_BROWSE 100

#define IDC_BR_PLACE 1001
#define IDC_BR_UP 1002
#define IDC_BR_LIST 1003
#define IDC_BR_FILTER 1004
#define IDC_BR_PICKED 1005

// Commands of the multi-valued edit control's context menu.
#define IDM_MVED_ADD 2001
#define IDM_MVED_EDIT 2002
#define IDM_MVED_REMOVE 2003
#define IDM_MVED_UP 2004
#define IDM_MVED_DOWN 2005
