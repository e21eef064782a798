// Resource numbers of the messaging snap-in: string table entries and the
// controls of its dialog templates. The numbers are part of the snap-in's
// interface with its language resource library; keep them as they are.
#pragma once

// Directory error texts (looked up by code) and the error box caption.
#define IDS_ERR_NO_SUCH_ENTRY 1
#define IDS_ERR_NO_SUCH_VALUE 3
#define IDS_ERR_NO_SUCH_ATTRIBUTE 4
#define IDS_ERR_NO_SUCH_CLASS 5
#define IDS_ERR_ENTRY_EXISTS 6
#define IDS_ERR_ILLEGAL_ATTRIBUTE 7
#define IDS_ERR_SYNTAX_VIOLATION 8
#define IDS_ERR_DUPLICATE_VALUE 9
#define IDS_ERR_BAD_NAME 10
#define IDS_ERR_SYSTEM_FAILURE 11
#define IDS_ERR_INVALID_REQUEST 12
#define IDS_ERR_CLASS_EXISTS 13
#define IDS_ERR_INSUFFICIENT_BUFFER 14
#define IDS_ERR_SCHEMA_SYNC 15
#define IDS_ERR_DS_LOCKED 16
#define IDS_ERR_NO_ACCESS 17
#define IDS_ERR_BAD_SYNTAX 18
#define IDS_ERR_UNDEFINED 19
#define IDS_DIRECTORY_ERROR 20

// Plain message dialogs "ObjectExists" and "ServerExists".
#define IDC_MESSAGE_TEXT 100

// Texts several areas show: refusals of mandatory values and paths, the
// store agent browser's title, and the tab titles of the pages every agent
// shares (the agents' page tables name them).
#define IDS_MISSING_MANDATORY 25
#define IDS_BAD_PATH 29
#define IDS_PATH_NOT_ON_SERVER 30
#define IDS_SELECT_ZELM_AGENT 35
#define IDS_NEED_ZELM_AGENT 43
#define IDS_TITLE_MONITORED_QUEUES 46
#define IDS_TITLE_STATUS 47
#define IDS_TITLE_MONITORED_SERVERS 68
#define IDS_TITLE_QUEUE_SERVER 69

// Caption of the refusals several areas show.
#define IDS_ERROR_CAPTION 52

// The areas' own numbers.
#include "server_ids.h"
#include "agents_ids.h"
#include "users_ids.h"
