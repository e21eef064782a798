// The "YesNo" confirmation dialog (title "Confirm"): a question, Yes and No.
#pragma once

#include <windows.h>

extern const char kYesNoTemplate[];  // "YesNo"

// Runs the dialog modally over owner with the question shown. 1 for Yes; 0
// for No, Escape or closing the window.
INT_PTR AskYesNo(HWND owner, const char* question);
