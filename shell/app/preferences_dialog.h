// The "Preferences" dialog: autoconnect, read-only operation and the largest
// message body fetched whole. OK stores the three values and sets them in
// g_shellPrefs; they apply from the next rendering on.
#pragma once

#include <windows.h>

extern const char kPreferencesTemplate[];  // "Preferences"

enum { kBodySizeTextSize = 128 };  // the edit holds 127 characters

// Runs the dialog modally over owner. 1 when OK stored the values, 0 on Cancel.
INT_PTR RunPreferencesDialog(HWND owner);

// The edit field's text as a byte count: decimal digits only (blanks around
// them allowed), at most 4294967295. False for anything else, empty included.
bool ParseBodySizeText(const char* text, unsigned long* bytes);
