// The finger page of one user (template "UserFinger"): the text the finger
// agent answers queries about the user with ("Quorvel:Finger Message").
#pragma once

#include <windows.h>

enum { kFingerMessageChars = 1023 };  // what may be typed into the message field

INT_PTR CALLBACK UserFingerDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
