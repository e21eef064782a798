// Resource numbers of the agent classes: creation dialogs and pages.
#pragma once

// Strings.
#define IDS_SELECT_STORE_PATH 48       // "Select Message-Store Path"
#define IDS_DEFAULT_QUOTA_MESSAGE 58
#define IDS_SELECT_CONTEXTS 59
#define IDS_NEED_CONTEXT 60
#define IDS_BAD_TRUSTED_HOST 61
#define IDS_ZELM_TITLE_PARAMETERS 62
#define IDS_ZELM_TITLE_CONTEXT 63
#define IDS_ZELM_TITLE_QUOTA 64
#define IDS_ZELM_TITLE_SCMS 65
#define IDS_ZELM_TITLE_TRUSTED_HOSTS 66
#define IDS_ZELM_TITLE_CLIENTS 67
#define IDS_ENTER_DOMAINS 72
#define IDS_NEED_DOMAIN 73
#define IDS_SMTP_TITLE_OPTIONS 74
#define IDS_SMTP_TITLE_IDENTIFICATION 75
#define IDS_SMTP_TITLE_UBE 93
#define IDS_BAD_IP_ADDRESS 94
#define IDS_TRUSTED_HOST_LISTED 97
#define IDS_RANGE_LISTED 98

// What every creation dialog of an agent has: "&Create" (IDOK), Cancel
// (IDCANCEL), Help, the store (or queue) agent's name with its browse
// button, "&Define additional properties" and the field's label.
#define IDC_AGC_HELP 9
#define IDC_AGC_NAME 10            // "SMTP Agent" on "CreateSMTP"
#define IDC_AGC_BROWSE 11
#define IDC_AGC_MORE_PAGES 15
#define IDC_AGC_STORE 24
#define IDC_AGC_LABEL 202

// "CreateZELM": the message store path (the field 24 is the context).
#define IDC_CZ_BROWSE_PATH 12
#define IDC_CZ_PATH 13

// "CreateSMTP": the primary domain (the field 24 is the queue server).
#define IDC_CS_QUEUE_LABEL 230
#define IDC_CS_DOMAIN 232

// "ZELMQueue".
#define IDC_ZQ_MIN_SPACE 11
#define IDC_ZQ_BROWSE_PATH 12
#define IDC_ZQ_PATH 13
#define IDC_ZQ_LIMIT_GROUP 14
#define IDC_ZQ_LIMIT 15
#define IDC_ZQ_BEG_WEEKDAY 16
#define IDC_ZQ_END_WEEKDAY 17
#define IDC_ZQ_BEG_WEEKEND 18
#define IDC_ZQ_END_WEEKEND 19
#define IDC_ZQ_FORWARD_GROUP 20
#define IDC_ZQ_INTERVAL 21
#define IDC_ZQ_TIMEOUT 22
#define IDC_ZQ_FORWARD 23
#define IDC_ZQ_RTS_GROUP 24
#define IDC_ZQ_RTS_DELAY 25
#define IDC_ZQ_RTS_THRESHOLD 26
#define IDC_ZQ_RTS_ENABLED 27
#define IDC_ZQ_PATH_LABEL 212
#define IDC_ZQ_INTERVAL_UNIT 213
#define IDC_ZQ_TIMEOUT_UNIT 214
#define IDC_ZQ_TIMEOUT_LABEL 215
#define IDC_ZQ_INTERVAL_LABEL 216
#define IDC_ZQ_MIN_SPACE_UNIT 225
#define IDC_ZQ_MIN_SPACE_LABEL 229
#define IDC_ZQ_END_WEEKEND_LABEL 233
#define IDC_ZQ_WEEKENDS_LABEL 234
#define IDC_ZQ_WEEKDAYS_LABEL 235
#define IDC_ZQ_BEG_WEEKEND_LABEL 236
#define IDC_ZQ_BEG_WEEKDAY_LABEL 237
#define IDC_ZQ_END_WEEKDAY_LABEL 238
#define IDC_ZQ_RTS_THRESHOLD_LABEL 269
#define IDC_ZQ_RTS_DELAY_LABEL 270

// "ZELMContext": the contexts control (edit, microscroll32, mvebbcontrol).
#define IDC_ZC_SPIN 16
#define IDC_ZC_LIST 17
#define IDC_ZC_EDIT 24
#define IDC_ZC_LABEL 202
#define IDC_ZC_NOTE 211

// "ZELMQuota".
#define IDC_ZU_SYSTEM 11
#define IDC_ZU_VALUE 12
#define IDC_ZU_MESSAGE_GROUP 13
#define IDC_ZU_MESSAGE 14
#define IDC_ZU_PER_USER 20
#define IDC_ZU_QUOTA_GROUP 224
#define IDC_ZU_VALUE_UNIT 225

// "ZELMSCMS".
#define IDC_ZS_SIZE 12
#define IDC_ZS_USERS 13
#define IDC_ZS_GROUP 224
#define IDC_ZS_SIZE_UNIT 225
#define IDC_ZS_USERS_LABEL 226
#define IDC_ZS_SIZE_LABEL 227

// "ZELMTrustedHosts".
#define IDC_ZT_ADD 12
#define IDC_ZT_LIST 13
#define IDC_ZT_REMOVE 14
#define IDC_ZT_ADDRESS 40
#define IDC_ZT_LABEL 217

// "ZELMClients" and the dialog "ZELMClientsFound".
#define IDC_ZL_LIST 13
#define IDC_ZL_LABEL 218
#define IDC_ZF_TEXT 100

// "SMTPIdentification": domains (edit 232, microscroll32 12, mvebbcontrol
// 11) and hosted domains (edit 15, microscroll32 16, mvebbcontrol 18).
#define IDC_SI_DOMAIN_LIST 11
#define IDC_SI_DOMAIN_SPIN 12
#define IDC_SI_HOSTING_GROUP 13
#define IDC_SI_LIMITS_GROUP 14
#define IDC_SI_HOSTED_EDIT 15
#define IDC_SI_HOSTED_SPIN 16
#define IDC_SI_LIMIT 17
#define IDC_SI_HOSTED_LIST 18
#define IDC_SI_HOSTED_LABEL 19
#define IDC_SI_DOMAIN_LABEL 203
#define IDC_SI_LIMIT_LABEL 220
#define IDC_SI_LIMIT_UNIT 221
#define IDC_SI_DOMAIN_EDIT 232

// "SMTPOptions".
#define IDC_SO_VRFY 11
#define IDC_SO_EXPN 12
#define IDC_SO_FLAGS_GROUP 13
#define IDC_SO_VERIFY 14
#define IDC_SO_ACCEPT_ETRN 15
#define IDC_SO_SEND_ETRN 16
#define IDC_SO_RELAY_GROUP 17
#define IDC_SO_USE_RELAY 18
#define IDC_SO_RELAY 19

// "SMTPUBEConfiguration".
#define IDC_SU_DENY_BLOCKED 11
#define IDC_SU_REQUIRE_ALLOWED 12
#define IDC_SU_FLAGS_GROUP 13
#define IDC_SU_DENY_NO_DNS 14
#define IDC_SU_ALLOWED_LIST 15
#define IDC_SU_AUTHENTICATED 16
#define IDC_SU_ALLOWED_GROUP 17
#define IDC_SU_BLOCKED_GROUP 18
#define IDC_SU_ALLOWED_ADD 19
#define IDC_SU_ALLOWED_DELETE 20
#define IDC_SU_ALLOWED_FROM 21
#define IDC_SU_BLOCKED_LIST 22
#define IDC_SU_BLOCKED_ADD 23
#define IDC_SU_BLOCKED_DELETE 24
#define IDC_SU_BLOCKED_FROM 25
#define IDC_SU_RECIPIENTS 26
#define IDC_SU_CHECK_RBL 27
#define IDC_SU_RBL_HOST 28
#define IDC_SU_ALLOWED_TO 29
#define IDC_SU_BLOCKED_TO 30
#define IDC_SU_AFTER_POP 31
#define IDC_SU_RECIPIENTS_LABEL 268
