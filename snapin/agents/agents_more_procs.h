// The signup, mail proxy and address-book agents' configuration pages, and
// the object procedure and options page the snap-in adds to the
// directory's own organizations and organizational units. Exported by name.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "hostext32.h"

extern "C" {
INT_PTR CALLBACK SignupConfigDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ProxyConfigDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AddressBookConfigDlgProc(HWND page, UINT message, WPARAM wParam,
                                          LPARAM lParam);

// "Organization" and "Organizational Unit": one page, "Context".
int32_t QZXAPI ContainerObjProc(const char* name, uint32_t message, intptr_t param3,
                                intptr_t param4);
INT_PTR CALLBACK ContextDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
}
