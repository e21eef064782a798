// Resource, control and command numbers of the administration host program.
#pragma once

#define IDR_MAIN_MENU 100
#define IDR_MAIN_ACCEL 101
#define IDR_CONTEXT_MENU 102

#define IDD_SIGN_IN 200
#define IDD_NEW_OBJECT 201
#define IDD_SNAPINS 202
#define IDD_ATTRIBUTES 203
#define IDD_LOGIN 204

// Main window commands.
#define IDM_SIGN_IN 40001
#define IDM_EXIT 40002
#define IDM_NEW 40010
#define IDM_PROPERTIES 40011
#define IDM_DELETE 40012
#define IDM_REFRESH 40013
#define IDM_UP 40014
#define IDM_SNAPINS 40020
#define IDM_ABOUT 40021

// Main window children.
#define IDC_MAIN_TREE 1001
#define IDC_MAIN_LIST 1002
#define IDC_MAIN_STATUS 1003

// Sign-in dialog.
#define IDC_SI_IDENTITY 1101
#define IDC_SI_BROWSE 1102
#define IDC_SI_DATABASE 1103
#define IDC_SI_DATABASE_BROWSE 1104
#define IDC_SI_PASSWORD 1105

// Login dialog.
#define IDC_LI_WHERE 1501
#define IDC_LI_USER 1502
#define IDC_LI_PASSWORD 1503

// New object dialog.
#define IDC_NO_CONTAINER 1201
#define IDC_NO_CLASSES 1202

// Snap-ins dialog.
#define IDC_SN_TEXT 1301

// Attributes page: the object's name sits in 10, as on the snap-ins' pages.
#define IDC_AT_NAME 10
#define IDC_AT_LIST 1401
