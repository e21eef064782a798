#include "agent_pages.h"

#include <stdlib.h>
#include <string.h>

#include "ds_access.h"
#include "messages.h"
#include "names.h"
#include "object_protocol.h"
#include "snapin_state.h"

namespace {

// Entries of list boxes and combos are at most a directory value long.
enum { kEntryChars = 1028 };

// A copy of wanted's values (DSReplaceValues consumes the list it gets).
void CopyValues(const StrList* wanted, StrList* out) {
  for (int32_t i = 0; wanted && i < wanted->count; ++i) StrListAdd(out, wanted->items[i]);
}

// An entry's text, or "" when it is longer than any value.
void EntryText(HWND control, UINT lengthMessage, UINT textMessage, int index, char* out) {
  out[0] = '\0';
  LRESULT n = SendMessageA(control, lengthMessage, static_cast<WPARAM>(index), 0);
  if (n < 0 || n >= kEntryChars) return;
  SendMessageA(control, textMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(out));
}

}  // namespace

int ReadAgentValues(StrList* list, const char* attribute) {
  StrListFree(list);
  return DSReadValues(list, g_snapin.pageContainer, g_snapin.currentObject, attribute);
}

const char* FirstOfList(const StrList* list) {
  if (!list || list->count < 1 || !list->items[0]) return "";
  return list->items[0];
}

int CanWriteAgent(const char* attribute) {
  return DSCanWrite(g_snapin.pageContainer, g_snapin.currentObject, attribute);
}

int WriteObjectList(StrList* old, const char* object, const char* attribute,
                    const StrList* wanted, int syntax) {
  StrList fresh = {};
  CopyValues(wanted, &fresh);
  int r = DSReplaceValues(old, &fresh, g_snapin.pageContainer, object, attribute, syntax);
  StrListFree(&fresh);
  if (r == 0) {
    int32_t tag = old->tag;
    StrListFree(old);
    DSReadValues(old, g_snapin.pageContainer, object, attribute);
    old->tag = tag;
  }
  return r;
}

int WriteAgentList(StrList* old, const char* attribute, const StrList* wanted, int syntax) {
  return WriteObjectList(old, g_snapin.currentObject, attribute, wanted, syntax);
}

int WriteAgentText(StrList* old, const char* attribute, const char* text, int syntax) {
  StrList wanted = {};
  StrListAdd(&wanted, text);
  int r = WriteAgentList(old, attribute, &wanted, syntax);
  StrListFree(&wanted);
  return r;
}

void EnableIds(HWND dialog, const int* ids, int count, int enable) {
  for (int i = 0; i < count; ++i) EnableWindow(GetDlgItem(dialog, ids[i]), enable ? TRUE : FALSE);
}

int Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SetChecked(HWND dialog, int id, int on) {
  CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

const char* DialogText(HWND dialog, int id, char* out, int capacity) {
  if (!out || capacity <= 0) return "";
  out[0] = '\0';
  GetDlgItemTextA(dialog, id, out, capacity);
  return out;
}

int HasText(HWND dialog, int id) { return GetWindowTextLengthA(GetDlgItem(dialog, id)) > 0; }

void LimitText(HWND dialog, int id, int characters) {
  SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, static_cast<WPARAM>(characters), 0);
}

void FocusItem(HWND dialog, int id) {
  if (HWND control = GetDlgItem(dialog, id)) SetFocus(control);
}

void RefuseWith(HWND dialog, int textId, int captionId, int focusId) {
  char text[kErrorTextChars], caption[kErrorCaptionChars];
  LoadResourceText(textId, text, sizeof text);
  LoadResourceText(captionId, caption, sizeof caption);
  MessageBoxA(dialog, text, caption, MB_OK | MB_ICONERROR);
  if (focusId) FocusItem(dialog, focusId);
}

void ShowErrorAt(HWND dialog, int code, int focusId) {
  DSShowError(dialog, code);
  if (focusId) FocusItem(dialog, focusId);
}

void FillListBox(HWND dialog, int id, const StrList* values) {
  HWND list = GetDlgItem(dialog, id);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (int32_t i = 0; values && i < values->count; ++i)
    if (values->items[i])
      SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(values->items[i]));
}

void ListBoxValues(HWND dialog, int id, StrList* out) {
  StrListFree(out);
  HWND list = GetDlgItem(dialog, id);
  int n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  char* text = static_cast<char*>(malloc(kEntryChars));  // freed below
  if (!text) return;
  for (int i = 0; i < n; ++i) {
    EntryText(list, LB_GETTEXTLEN, LB_GETTEXT, i, text);
    StrListAdd(out, text);
  }
  free(text);
}

int AddListEntry(HWND dialog, int id, const char* text) {
  if (!text || !*text) return 0;
  HWND list = GetDlgItem(dialog, id);
  // LB_FINDSTRINGEXACT ignores letter case, as the directory compares values.
  if (SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                   reinterpret_cast<LPARAM>(text)) != LB_ERR)
    return kEntryListed;
  return SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)) >= 0;
}

void RemoveSelectedEntries(HWND dialog, int id) {
  HWND list = GetDlgItem(dialog, id);
  for (int i = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)) - 1; i >= 0; --i)
    if (SendMessageA(list, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0)
      SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(i), 0);
}

int SelectedEntryCount(HWND dialog, int id) {
  LRESULT n = SendDlgItemMessageA(dialog, id, LB_GETSELCOUNT, 0, 0);
  return n > 0 ? static_cast<int>(n) : 0;
}

void FillCombo(HWND dialog, int id, const char* const* items, int count) {
  HWND combo = GetDlgItem(dialog, id);
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  for (int i = 0; i < count; ++i)
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items[i]));
}

int SelectComboText(HWND dialog, int id, const char* text) {
  HWND combo = GetDlgItem(dialog, id);
  int found = -1;
  char entry[kEntryChars];
  int n = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; text && i < n && found < 0; ++i) {
    EntryText(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, i, entry);
    if (strcmp(entry, text) == 0) found = i;
  }
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
  return found;
}

int ComboSelection(HWND dialog, int id, char* out, int capacity) {
  if (!out || capacity <= 0) return 0;
  out[0] = '\0';
  HWND combo = GetDlgItem(dialog, id);
  LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return 0;
  char entry[kEntryChars];
  EntryText(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, static_cast<int>(index), entry);
  CopyText(out, static_cast<size_t>(capacity), entry);
  return 1;
}
