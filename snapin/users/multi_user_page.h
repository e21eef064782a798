// The messaging page of several selected users (template "MultiUser"): it
// gathers a few settings on apply, and the host then has MultiUserObjProc
// write them into each selected user (0x119).
#pragma once

#include <windows.h>

#include <stdint.h>

// What the page gathered. Module-wide, zero at load; every apply of the
// page sets all five fields before the host writes the objects.
struct MultiUserSettings {
  int32_t useQuota;    // 0 clear, 1 set, 2 leave as is
  int32_t timeout;     // minutes; -1 leave as is
  int32_t privacy;     // index 0 to 2; -1 leave as is
  int32_t quotaValue;  // kilobytes; 0 leave as is
  int32_t disabled;    // 0 clear, 1 set, 2 leave as is
};
extern MultiUserSettings g_multiUserSettings;

INT_PTR CALLBACK MultiUserDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Writes the gathered settings into one user (full name): 0, or -1 when a
// write failed (the user's remaining attributes are then not written).
int32_t ApplyMultiUserSettings(const char* user);
