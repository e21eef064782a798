// Resource, command and control numbers of the store shell. The numbers are
// part of the program's interface (menus, accelerators, templates) and stay
// as they are.
#pragma once

// Main window commands (menu "MainMenu" and its accelerators).
#define IDM_CONNECT 24331
#define IDM_SAVE_LOG 24334
#define IDM_PRINT 24335
#define IDM_EXIT 24338
#define IDM_EDIT_UNDO 24321
#define IDM_EDIT_CUT 24322
#define IDM_EDIT_COPY 24323
#define IDM_EDIT_PASTE 24324
#define IDM_VIEW 101
#define IDM_REPAIR 102
#define IDM_VIEW_HEADER 103
#define IDM_VIEW_BODY 104
#define IDM_VIEW_DETAILS 105
#define IDM_PREFERENCES 107
#define IDM_FIND 108
#define IDM_ABOUT 112

// The recent-server entry of the File menu and the separator after it; both
// are inserted at run time at kRecentServerPosition.
#define IDM_RECENT_SERVER 4323
#define IDM_RECENT_SEPARATOR 4324

// Status bar of the main window.
#define IDC_STATUS_BAR 4321

// Server selection dialog "SelectZELM".
#define IDC_SERVER_COMBO 10
#define IDC_HELP_BUTTON 9

// Preferences dialog "Preferences" (OK, Cancel and IDC_HELP_BUTTON too).
#define IDC_PREF_AUTOCONNECT 11
#define IDC_PREF_READONLY 12
#define IDC_PREF_MAXBODY 13

// Confirmation dialog "YesNo": the question; the buttons are IDYES and IDNO.
#define IDC_YESNO_TEXT 108

// Repair type dialog "RepairType" (OK, Cancel and IDC_HELP_BUTTON too).
#define IDC_REPAIR_MAILBOX 10
#define IDC_REPAIR_SYSTEM 11

// Repair progress dialog "RepairProgress": four read-only fields and Cancel.
#define IDC_PROGRESS_MAILBOX 101
#define IDC_PROGRESS_USER 102
#define IDC_PROGRESS_ACTION 103
#define IDC_PROGRESS_ERRORS 104

// Find dialog "FindMessage": the text looked for; "Find Next" is IDOK.
#define IDC_FIND_TEXT 10

// About dialog "About": the program's name and version lines, and its icon.
#define IDC_ABOUT_NAME 100
#define IDC_ABOUT_VERSION 101
#define IDC_ABOUT_ICON 102

// The program's version, also in its version resource.
#define ZELMSH_VERSION_WORDS 1, 0, 0, 0
#define ZELMSH_VERSION_TEXT "1.0.0"
