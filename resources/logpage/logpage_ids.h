// Resource numbers of the syslog snap-in; part of its interface with its
// language resource library "LOGPGRES.DLL": keep them as they are.
#pragma once

// Template "LogConfig".
#define IDC_LOG_OBJECT_NAME 10
#define IDC_LOG_DEFAULT 101
#define IDC_LOG_TO_FILE 102
#define IDC_LOG_TO_HOST 103
#define IDC_LOG_PATH 104
#define IDC_LOG_DESTINATION_GROUP 105
#define IDC_LOG_HOST 106
#define IDC_LOG_OVERRIDE_GROUP 107
#define IDC_LOG_DO_NOT_LOG 108
#define IDC_LOG_ALERT 109
#define IDC_LOG_CRITICAL 110
#define IDC_LOG_ERROR 111
#define IDC_LOG_WARNING 112
#define IDC_LOG_NOTICE 113
#define IDC_LOG_INFO 114
#define IDC_LOG_DEBUG 115
#define IDC_LOG_EMERGENCY 116
#define IDC_LOG_OVERRIDE 117
#define IDC_LOG_FACILITY 118
#define IDC_LOG_FACILITY_LABEL 119

// Help context of the page.
#define HELP_LOG_CONFIG 8

// Strings: a field holding more than its facility record takes.
#define IDS_LOG_PATH_TOO_LONG 30
#define IDS_LOG_HOST_TOO_LONG 31
