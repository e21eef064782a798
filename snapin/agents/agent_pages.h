// What the agents' pages and creation dialogs share beyond the frame: the
// current agent's values kept as a page's old values, writes that keep them
// in step with the directory, controls switched by write rights, refusals,
// and the list boxes and combo boxes the pages fill and read.
#pragma once

#include <windows.h>

#include "strlist.h"

// ---- the current object's values ----------------------------------------------

// Reads the current object's attribute (page container) into list, emptied
// first; the number read.
int ReadAgentValues(StrList* list, const char* attribute);
// The first value, or "" when there is none.
const char* FirstOfList(const StrList* list);
// Whether the current user may write the current object's attribute.
int CanWriteAgent(const char* attribute);

// Replaces the attribute's values, kept in old as last read, by the text
// alone (an empty text removes them) or by the values of wanted (not
// changed). After a successful write old is read again, so a later apply of
// the same sheet compares against what is stored then. 0 or the error.
int WriteAgentText(StrList* old, const char* attribute, const char* text, int syntax);
int WriteAgentList(StrList* old, const char* attribute, const StrList* wanted, int syntax);
// The same for another object (named in the page container).
int WriteObjectList(StrList* old, const char* object, const char* attribute,
                    const StrList* wanted, int syntax);

// ---- controls ----------------------------------------------------------------

void EnableIds(HWND dialog, const int* ids, int count, int enable);
int Checked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, int on);
// A control's text into out (capacity bytes with the NUL); out.
const char* DialogText(HWND dialog, int id, char* out, int capacity);
// Whether the control holds any text.
int HasText(HWND dialog, int id);
// The most characters the user may type into an edit control.
void LimitText(HWND dialog, int id, int characters);

// A refusal: a message box owned by dialog with text and caption from the
// string table and an error icon, then the focus on focusId (0: none).
void RefuseWith(HWND dialog, int textId, int captionId, int focusId);
// A directory error in its box (DSShowError), then the focus on focusId.
void ShowErrorAt(HWND dialog, int code, int focusId);
void FocusItem(HWND dialog, int id);

// ---- list boxes ----------------------------------------------------------------

void FillListBox(HWND dialog, int id, const StrList* values);
// Every entry, in the list's order, appended to out (emptied first).
void ListBoxValues(HWND dialog, int id, StrList* out);
// Adds text unless an entry equal to it (letter case ignored) is there: 1
// when added, kEntryListed when it is there already, 0 when nothing was
// added otherwise (no text, the list box failed).
enum { kEntryListed = -1 };
int AddListEntry(HWND dialog, int id, const char* text);
// Removes the selected entries, from the highest index down.
void RemoveSelectedEntries(HWND dialog, int id);
int SelectedEntryCount(HWND dialog, int id);

// ---- combo boxes ----------------------------------------------------------------

void FillCombo(HWND dialog, int id, const char* const* items, int count);
// Selects the entry whose text equals text exactly (letter case counts);
// none when there is no such entry (or text is null). The index or -1.
int SelectComboText(HWND dialog, int id, const char* text);
// The selected entry's text into out, "" when nothing is selected; whether
// an entry is selected.
int ComboSelection(HWND dialog, int id, char* out, int capacity);
