// Directory errors as the user sees them, and the plain message dialogs.
#pragma once

#include <windows.h>

#ifndef ZELM_LOGPAGE
// Shows the error of a directory operation in a message box owned by window
// (caption "[code] Directory Error", text by code from the resource module's
// string table, error icon, OK) and returns the text shown (module-wide
// buffer, overwritten by the next call).
const char* DSShowError(HWND window, int code);

// The string table entry holding the text of an error code.
int DSErrorStringId(int code);

// The dialogs "ObjectExists" and "ServerExists": button 1 ends the dialog
// with 1, button 2 with 0; everything else is left to the dialog manager.
INT_PTR CALLBACK MessageDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
#else
// logpage's lookup: the text of an error code, held in the library; no box.
const char* DSErrorText(int code);
#endif

enum {
  kErrorCaptionChars = 256,  // "[%d] " and the caption string
  kErrorTextChars = 512,
};
