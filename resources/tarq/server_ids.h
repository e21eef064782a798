// Resource numbers of the messaging server, the services container, the file-server page and the pages every agent shares.
#pragma once

// ---- strings -----------------------------------------------------------------
#define IDS_SELECT_HOST_SERVER 21        // "Select Vandrel Server"
#define IDS_SELECT_POSTMASTER 22
#define IDS_ENTER_RESOLVERS 23
#define IDS_SELECT_WORK_DIRECTORY 24
#define IDS_HOST_REQUIRED 26
#define IDS_RESOLVER_CAPTION 27          // "Information"
#define IDS_NO_RESOLVER 28
#define IDS_POSTMASTER_REQUIRED 32
#define IDS_UNKNOWN_ADDRESS 33
#define IDS_UNKNOWN_STATUS 34
#define IDS_MS_TITLE_IDENTIFICATION 36
#define IDS_MS_TITLE_SECURITY 37
#define IDS_MS_TITLE_STATISTICS 38
#define IDS_MS_TITLE_SNMP 39
#define IDS_MS_TITLE_STATUS 40
#define IDS_QUEUE_SERVER_REQUIRED 41
#define IDS_SELECT_AGENTS_TO_MONITOR 42
#define IDS_SERVICES_TITLE_INFORMATION 44
#define IDS_NOT_AVAILABLE 45             // "n/a"
#define IDS_SERVER_TITLE_INFORMATION 71
#define IDS_SELECT_CONNMGR 95

// ---- "CreateMessagingServer" ------------------------------------------------------
#define IDC_CMS_HELP 9
#define IDC_CMS_NAME 10
#define IDC_CMS_POSTMASTER 11
#define IDC_CMS_BROWSE_HOST 12
#define IDC_CMS_HOST 13
#define IDC_CMS_BROWSE_POSTMASTER 14
#define IDC_CMS_MORE_PAGES 15
#define IDC_CMS_ANOTHER 16
#define IDC_CMS_OFFICIAL 18

// ---- "MsgSrvIdentification" -----------------------------------------------------
#define IDC_MSI_POSTMASTER 11
#define IDC_MSI_BROWSE_HOST 12
#define IDC_MSI_HOST 13
#define IDC_MSI_BROWSE_POSTMASTER 14
#define IDC_MSI_RESOLVER_LIST 15
#define IDC_MSI_STANDALONE 16
#define IDC_MSI_CONNMGR 17
#define IDC_MSI_OFFICIAL 18
#define IDC_MSI_BROWSE_WORKDIR 19
#define IDC_MSI_WORKDIR 20
#define IDC_MSI_BROWSE_CONNMGR 21
#define IDC_MSI_USE_CONNMGR 22
#define IDC_MSI_RESOLVER_SPIN 23
#define IDC_MSI_RESOLVER_EDIT 24
#define IDC_MSI_HOST_LABEL 200
#define IDC_MSI_POSTMASTER_LABEL 201
#define IDC_MSI_OFFICIAL_LABEL 203
#define IDC_MSI_RESOLVER_LABEL 222
#define IDC_MSI_WORKDIR_LABEL 228

// ---- "MsgSrvSecurity" ------------------------------------------------------------
#define IDC_MSS_GROUP 11
#define IDC_MSS_CLIENT_CERTS 12
#define IDC_MSS_SSLV2 13
#define IDC_MSS_SSLV3 14
#define IDC_MSS_CERT_EDIT 15
#define IDC_MSS_CERT_SPIN 16
#define IDC_MSS_CERT_LIST 17

// ---- "MsgSrvStatistics": groups, then the value statics -------------------------
#define IDC_MST_MESSAGES 11
#define IDC_MST_CONNECTIONS 12
#define IDC_MST_UPTIME_GROUP 14
#define IDC_MST_VOLUME 23
#define IDC_MST_UPTIME 31
#define IDC_MST_QUEUED_LOCAL 38
#define IDC_MST_QUEUED_REMOTE 36
#define IDC_MST_RECEIVED_LOCAL 37
#define IDC_MST_RECEIVED_REMOTE 15
#define IDC_MST_RECEIVED_RATE 17
#define IDC_MST_DELIVERED_LOCAL 13
#define IDC_MST_DELIVERED_REMOTE 16
#define IDC_MST_DELIVERED_RATE 18
#define IDC_MST_RECIPIENTS_LOCAL 20
#define IDC_MST_RECIPIENTS_REMOTE 21
#define IDC_MST_RECIPIENTS_RATE 22
#define IDC_MST_KB_RECEIVED_LOCAL 24
#define IDC_MST_KB_RECEIVED_REMOTE 35
#define IDC_MST_KB_RECEIVED_RATE 26
#define IDC_MST_KB_DELIVERED_LOCAL 27
#define IDC_MST_KB_DELIVERED_REMOTE 28
#define IDC_MST_KB_DELIVERED_RATE 39
#define IDC_MST_CLIENTS 33
#define IDC_MST_SERVERS 34

// ---- "MsgSrvSNMP" ----------------------------------------------------------------
#define IDC_MSN_LOCATION 11
#define IDC_MSN_ORGANIZATION 13
#define IDC_MSN_CONTACT 15
#define IDC_MSN_NAME 40
#define IDC_MSN_NAME_LABEL 206
#define IDC_MSN_CONTACT_LABEL 207
#define IDC_MSN_LOCATION_LABEL 208
#define IDC_MSN_ORGANIZATION_LABEL 209

// ---- "MsgSrvStatus" --------------------------------------------------------------
#define IDC_MSU_DISABLE 11
#define IDC_MSU_ADDRESS 19
#define IDC_MSU_STATE 20

// ---- "ServicesInfo" and "Server" --------------------------------------------------
#define IDC_SVI_HEADING 10
#define IDC_SRV_GROUP 11
#define IDC_SRV_RUNNING 26

// ---- the pages every agent shares: "Status", "ZELMQueueServer", "ZELMToService" ----
#define IDC_AGS_DISABLE 11
#define IDC_ZQS_BROWSE 11
#define IDC_ZQS_SERVER 24
#define IDC_ZQS_NOTE 210
#define IDC_ZTS_SPIN 16
#define IDC_ZTS_LIST 17
#define IDC_ZTS_EDIT 24
#define IDC_ZTS_NOTE 211
