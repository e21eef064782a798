// Template and control numbers of the test snap-in.
#pragma once

#define IDC_TS_NAME 10  // the object's name, as on every page
#define IDC_TS_FULL_NAME 11
#define IDC_TS_DESCRIPTION 12
#define IDC_TS_PICK_USER 13
#define IDC_TS_MAIL_EDIT 20
#define IDC_TS_MAIL_SPIN 21
#define IDC_TS_MAIL_LIST 22
#define IDC_TS_WORK_DIR 30
#define IDC_TS_PICK_DIR 31
#define IDC_TS_CTX_EDIT 32
#define IDC_TS_CTX_SPIN 33
#define IDC_TS_CTX_LIST 34
#define IDC_TS_MULTI_DESCRIPTION 40
#define IDC_TS_NEW_NAME 50
#define IDC_TS_MORE_PAGES 51
#define IDC_TS_ANOTHER 52
#define IDC_TS_EXTRA_NOTE 60
