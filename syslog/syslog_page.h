// The page "Syslog Configuration" (template "LogConfig"): the attribute
// "Quorvel:Syslog Config" of a server, or of the services container
// ("Internet Services"), which has no override switch.
#pragma once

#include <windows.h>

#include "syslog_facility.h"

extern "C" INT_PTR CALLBACK SyslogConfigDlgProc(HWND page, UINT message, WPARAM wParam,
                                                LPARAM lParam);

// The 22 facility records, module-wide: shared by every page opened while
// the library is loaded.
extern FacilityRecord g_facilities[kFacilityCount];
// Sets them all to zero (message 0x100, and each time the page opens, so an
// object never gets settings of one opened before).
void ClearFacilityRecords();

extern const char kSyslogAttribute[];      // "Quorvel:Syslog Config"
extern const char kGlobalSyslogObject[];   // "Internet Services"
extern const char kSyslogErrorCaption[];   // "Directory Services Error"
extern const char kSyslogPageTitle[];      // "Syslog Configuration": tab and message caption
