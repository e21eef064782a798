// Resource numbers of the anti-spam and alias agents' pages: their strings
// and the controls of "AntiSpamConfig", "AliasConfig" and "AliasLocalAlias".
// The numbers are part of the snap-in's interface with its language
// resource library; keep them as they are.
#pragma once

// Texts of both agents' list pages and their import.
#define IDS_SELECT_ALIAS_FILE 50
#define IDS_COULD_NOT_OPEN_FILE 51
#define IDS_GLOBAL_ALIASES_LABEL 53
#define IDS_ALIAS_TITLE_GLOBAL 55
#define IDS_ALIAS_TITLE_LOCAL 56
#define IDS_ALIAS_TITLE_CONFIGURATION 57
#define IDS_SELECT_ANTISPAM_FILE 76
#define IDS_ANTISPAM_TITLE_CONFIGURATION 77

// "AntiSpamConfig" and "AliasLocalAlias" share the ids of their list parts.
#define IDC_FLT_IMPORT 11
#define IDC_FLT_ADD 12
#define IDC_FLT_LIST 13
#define IDC_FLT_REMOVE 14
#define IDC_FLT_LABEL 223
#define IDC_FLT_ENTRY 40

// "AntiSpamConfig": what happens to a blocked message.
#define IDC_ASP_SEND_BACK 16
#define IDC_ASP_CC_POSTMASTER 17

// "AliasLocalAlias": the alias's target beside its name (IDC_FLT_ENTRY).
#define IDC_ALL_TARGET 15
#define IDC_ALL_ARROW 224

// "AliasConfig".
#define IDC_ALC_GROUP 11
#define IDC_ALC_AUTOMATIC 12
#define IDC_ALC_FIRST_UNDERSCORE_LAST 13
#define IDC_ALC_INITIAL_LAST 14
#define IDC_ALC_FIRST_DOT_LAST 15
#define IDC_ALC_FULL_DOTS 23
#define IDC_ALC_FULL_UNDERSCORES 24
#define IDC_ALC_SCHEDULER 21
#define IDC_ALC_INTERVAL 22
#define IDC_ALC_EVERY 25
#define IDC_ALC_DAYS 26
