// Resource numbers of the signup, mail proxy and address-book agents' own
// pages and of the container options page.
#pragma once

// Strings. 48 "Select Message-Store Path" (agents_ids.h), 29 and 30 (the
// refusal of a path on another server, tarq_ids.h) are shared.
#define IDS_CONTAINER_TITLE_OPTIONS 49  // "Halcyn Korrat Options"
#define IDS_PROXY_TITLE_CONFIGURATION 70
#define IDS_LDAP_TITLE_CONFIGURATION 90
#define IDS_SIGNUP_TITLE_CONFIGURATION 92

// "SignupConfig".
#define IDC_SGN_HTTP_PORT 11
#define IDC_SGN_SSL_PORT 12
#define IDC_SGN_PORTS_GROUP 13
#define IDC_SGN_MODE_GROUP 14
#define IDC_SGN_SIGNUP 15
#define IDC_SGN_URL 16
#define IDC_SGN_FEATURES_GROUP 17
#define IDC_SGN_WELCOME 18
#define IDC_SGN_STATISTICS 19
#define IDC_SGN_GUI 20
#define IDC_SGN_BUSY_REDIRECT 22
#define IDC_SGN_REDIRECT_ONLY 24
#define IDC_SGN_HTTP_LABEL 265
#define IDC_SGN_SSL_LABEL 266
#define IDC_SGN_URL_LABEL 267

// "ProxyConfig".
#define IDC_PXC_PROXIES 11
#define IDC_PXC_INTERVAL 12
#define IDC_PXC_HOURS_LABEL 241
#define IDC_PXC_PROXIES_LABEL 242
#define IDC_PXC_INTERVAL_LABEL 243

// "LDAPConfig".
#define IDC_LDC_LDAP_GROUP 17
#define IDC_LDC_PORT 19
#define IDC_LDC_LDIF 20
#define IDC_LDC_SCHEDULER_GROUP 21
#define IDC_LDC_INTERVAL 22
#define IDC_LDC_LOOKUP 246

// "Context".
#define IDC_CTX_BROWSE_STORE 12
#define IDC_CTX_STORE 13
#define IDC_CTX_STORE_LABEL 231
#define IDC_CTX_DOMAIN 232
#define IDC_CTX_DOMAIN_LABEL 233

// Help contexts.
#define HELP_SIGNUP_CONFIG 33
#define HELP_PROXY_CONFIG 26
#define HELP_LDAP_CONFIG 17
#define HELP_CONTAINER_OPTIONS 42
