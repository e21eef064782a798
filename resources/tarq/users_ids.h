// Resource numbers of the pages on directory users.
#pragma once

// Strings.
#define IDS_PRIVACY_NONE 78
#define IDS_PRIVACY_LIMITED 79
#define IDS_PRIVACY_UNLISTED 80
#define IDS_PASSWORDS_DIFFER 81
#define IDS_TITLE_USER 82
#define IDS_TITLE_USER_PROXY 83
#define IDS_TITLE_USER_FINGER 84
#define IDS_MULTIPLE_USERS 85

// Help contexts of the pages.
#define HELP_USER_PAGE 38
#define HELP_USER_PROXY_PAGE 39
#define HELP_USER_FINGER_PAGE 40
#define HELP_MULTI_USER_PAGE 40

// Templates "User" and "MultiUser" (the multi-user page uses the subset
// 18, 19, 20, 224, 25, 27 with their labels).
#define IDC_USR_FORWARD_GROUP 11
#define IDC_USR_FORWARD 12
#define IDC_USR_FORWARD_ADDRESS 13
#define IDC_USR_VACATION_GROUP 14
#define IDC_USR_VACATION 15
#define IDC_USR_REPLY_MESSAGE 16
#define IDC_USR_STATUS_GROUP 17
#define IDC_USR_DISABLED 18
#define IDC_USR_USE_QUOTA 19
#define IDC_USR_QUOTA_VALUE 20
#define IDC_USR_KEEP_COPY 23
#define IDC_USR_PRIVACY 25
#define IDC_USR_EMAIL 26
#define IDC_USR_TIMEOUT 27
#define IDC_USR_QUOTA_UNIT 224
#define IDC_USR_TIMEOUT_UNIT 249
#define IDC_USR_EMAIL_LABEL 250
#define IDC_USR_PRIVACY_LABEL 251
#define IDC_USR_TIMEOUT_LABEL 252

// Template "UserProxy".
#define IDC_PRX_HOST 13
#define IDC_PRX_USER 14
#define IDC_PRX_PASSWORD 15
#define IDC_PRX_RETYPE 16
#define IDC_PRX_POP3 17
#define IDC_PRX_IMAP4 18
#define IDC_PRX_LEAVE 19
#define IDC_PRX_CLEAR 21
#define IDC_PRX_ENTRY_LABEL 239
#define IDC_PRX_PROTOCOL_LABEL 240
#define IDC_PRX_HOST_LABEL 241
#define IDC_PRX_USER_LABEL 242
#define IDC_PRX_PASSWORD_LABEL 243
#define IDC_PRX_RETYPE_LABEL 244
#define IDC_PRX_ENTRY 245

// Template "UserFinger".
#define IDC_FNG_MESSAGE 11
#define IDC_FNG_MESSAGE_LABEL 258
#define IDC_FNG_NOTE 259
