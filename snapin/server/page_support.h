// What the messaging server's pages and the shared agent pages have in
// common beyond the frame: the current object's values, write rights that
// switch controls, single-value writes that keep the page's old values in
// step, and refusals shown with texts from the string table.
#pragma once

#include <windows.h>

#include "strlist.h"

enum { kFieldChars = 1027 };  // the longest value the directory holds

// The first value of a list, or "" when it has none.
const char* FirstValue(const StrList* list);
// Whether the first value begins with "1" (a flag that is on).
int FlagIsOn(const StrList* list);

// The current object's values of attribute, read into list (emptied first),
// with the page container; the number read.
int ReadOwnValues(StrList* list, const char* attribute);
// Whether the current user may write the current object's attribute.
int CanWriteOwn(const char* attribute);

// Replaces the current object's values of attribute, kept in old, by value
// alone ("" or null: no value). On success old is read again, so a later
// apply of the same page starts from what is stored now. 0 or the error.
int WriteOwnValue(StrList* old, const char* attribute, const char* value, int syntax);
// The same with the values of wanted (not changed).
int WriteOwnValues(StrList* old, const char* attribute, const StrList* wanted, int syntax);
// A flag: "1" or "0" (syntax 3).
int WriteOwnFlag(StrList* old, const char* attribute, int on);

// Another object's values of attribute: name is read in container, its
// values without those equal to remove (ignoring case) and with add appended
// when it is not there yet. Either may be null. 0 or the error of the write.
int EditValuesOf(const char* container, const char* name, const char* attribute,
                 const char* remove, const char* add, int syntax);

// The store agents' "Quorvel:Client" lists name every agent that uses them
// as queue server or store server. The current object is added to store's
// list, or removed from it unless the object still names store in either
// role. A full name is taken from the root, so store agents of other
// messaging servers are found too; any other name is taken in the page
// container. Failures are left unreported: the agent's own values are what
// the user changed. 0 or the error.
int AddClientTo(const char* store);
int RemoveClientFrom(const char* store);

// Enables or disables each control of ids (count of them).
void EnableControls(HWND page, const int* ids, int count, int enable);
// A control's text into out (capacity bytes with the NUL).
const char* ControlText(HWND page, int id, char* out, int capacity);
void FocusControl(HWND page, int id);

// A message box owned by window with text and caption from the string table
// (icon: MB_ICONERROR or MB_ICONWARNING), then the focus on control focusId
// (0: none). What the box answered.
int ShowPageMessage(HWND window, int textId, int captionId, UINT icon, int focusId);
// A directory error in its box (DSShowError), then the focus on focusId.
void ShowWriteError(HWND window, int code, int focusId);

// Two names of the same object: equal ignoring case and a leading "." (a
// name taken from the root).
int SameObject(const char* a, const char* b);
