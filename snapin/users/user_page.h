// The messaging page of one user (template "User"): privacy, timeout,
// official address, disabled, forwarding, vacation reply and disk quota.
#pragma once

#include <windows.h>

INT_PTR CALLBACK UserDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
