// The web-mail agent's own pages ("WebMailIdent", "WebMailConfig",
// "WebMailAppearance", "WebMailAddrBook") and the connection manager's
// "ConnManagerConfig" page. All are exported by name.
#pragma once

#include <windows.h>

extern "C" {
INT_PTR CALLBACK WebMailIdentDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WebMailConfigDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WebMailAppearanceDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WebMailAddrBookDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ConnMgrConfigDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
}
