// Resource numbers of the web-mail agent's pages and the connection
// manager's page. The numbers are part of the snap-in's interface with its
// language resource library; keep them as they are.
#pragma once

// Strings.
#define IDS_WEB_BAD_MSG_PER_PAGE 86
#define IDS_WEB_TITLE_CONFIGURATION 87
#define IDS_WEB_TITLE_INTERFACE 88
#define IDS_WEB_TITLE_APPEARANCE 89
#define IDS_WEB_TITLE_ADDRESSBOOK 91
#define IDS_CONNMGR_TITLE_CONFIGURATION 96

// "WebMailIdent": ports, title, advertising, limits.
#define IDC_WI_HTTP_PORT 11
#define IDC_WI_SSL_PORT 12
#define IDC_WI_PORTS_GROUP 13
#define IDC_WI_TITLE_GROUP 15
#define IDC_WI_TITLE 16
#define IDC_WI_LIMIT 17
#define IDC_WI_SSL_ON 18
#define IDC_WI_AD_URL 19
#define IDC_WI_AD_NONE 20
#define IDC_WI_AD_TOP 21
#define IDC_WI_AD_BOTTOM 22
#define IDC_WI_AD_EMBEDDED 23
#define IDC_WI_RECIPIENTS 26
#define IDC_WI_HTTP_ON 117
#define IDC_WI_LIMIT_UNIT 220
#define IDC_WI_LIMIT_LABEL 221
#define IDC_WI_AD_URL_LABEL 248
#define IDC_WI_RECIPIENTS_LABEL 268

// "WebmailURLWarn": the partial-URL warning (Continue = IDOK, Abort = IDCANCEL).
#define IDC_WW_TEXT 100

// "WebMailConfig": what users may do through the web.
#define IDC_WC_GENERAL 11
#define IDC_WC_APPEARANCE 12
#define IDC_WC_LANGUAGE 13
#define IDC_WC_FINGER 14
#define IDC_WC_PREFS_GROUP 15
#define IDC_WC_PREFERENCES 16
#define IDC_WC_FORWARDING 17
#define IDC_WC_AUTOREPLY 18
#define IDC_WC_PASSWORD 19
#define IDC_WC_MSG_PER_PAGE 20
#define IDC_WC_PROXY 21
#define IDC_WC_COLORS 22
#define IDC_WC_BUSY 23
#define IDC_WC_BUSY_URL 24
#define IDC_WC_SSL_REQUIRED 25
#define IDC_WC_REPLY_TO 27
#define IDC_WC_PREFS_ONLY 247

// "WebMailAddrBook".
#define IDC_WB_ENABLED 11
#define IDC_WB_PERSONAL 12
#define IDC_WB_ENTRIES 14
#define IDC_WB_SYSTEM 15
#define IDC_WB_SYSTEM_URL 16
#define IDC_WB_PUBLIC 17
#define IDC_WB_PUBLIC_URL 18
#define IDC_WB_ENTRIES_UNIT 260
#define IDC_WB_SYSTEM_LABEL 261
#define IDC_WB_PUBLIC_LABEL 263
#define IDC_WB_ENTRIES_LABEL 264

// "WebMailAppearance": per element a text colour, a background colour and a
// (hidden) font button, and a sample.
#define IDC_WA_RESET 12
#define IDC_WA_PAGE_TEXT 13
#define IDC_WA_PAGE_BACK 14
#define IDC_WA_PAGE_FONT 15
#define IDC_WA_BORDER_TEXT 16
#define IDC_WA_BORDER_BACK 17
#define IDC_WA_BORDER_FONT 18
#define IDC_WA_SECTION_TEXT 19
#define IDC_WA_SECTION_BACK 20
#define IDC_WA_SECTION_FONT 22
#define IDC_WA_FIELDNAME_TEXT 23
#define IDC_WA_FIELDNAME_BACK 24
#define IDC_WA_FIELDNAME_FONT 25
#define IDC_WA_FIELDBODY_TEXT 26
#define IDC_WA_FIELDBODY_BACK 27
#define IDC_WA_FIELDBODY_FONT 28
#define IDC_WA_BORDER_SAMPLE 253
#define IDC_WA_SECTION_SAMPLE 254
#define IDC_WA_FIELDBODY_SAMPLE 255
#define IDC_WA_FIELDNAME_SAMPLE 256
#define IDC_WA_PAGE_SAMPLE 257

// "ConnManagerConfig".
#define IDC_CM_PROXIES 11
#define IDC_CM_TIMEOUT 12
#define IDC_CM_MINUTES 241
#define IDC_CM_PROXIES_LABEL 242
#define IDC_CM_EXPIRE_LABEL 249
