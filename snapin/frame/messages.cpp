#include "messages.h"

#include <stdio.h>
#include <string.h>

#include "snapin_state.h"
#include "tarq_ids.h"

namespace {

struct ErrorRow {
  int code;
  int stringId;
  const char* text;         // tarq's text, for a resource module without it
  const char* logpageText;  // logpage's own wording
};

const ErrorRow kErrors[] = {
    {-601, IDS_ERR_NO_SUCH_ENTRY, "No such entry", "No such entry"},
    {-602, IDS_ERR_NO_SUCH_VALUE, "No such value", "No such value"},
    {-603, IDS_ERR_NO_SUCH_ATTRIBUTE, "No such attribute", "No such attribute"},
    {-604, IDS_ERR_NO_SUCH_CLASS, "No such class", "No such class"},
    {-606, IDS_ERR_ENTRY_EXISTS, "Entry already exists", "Entry already exists"},
    {-608, IDS_ERR_ILLEGAL_ATTRIBUTE, "Illegal attribute specified", "Illegal attribute"},
    {-613, IDS_ERR_SYNTAX_VIOLATION, "Syntax violation", "Syntax violation"},
    {-614, IDS_ERR_DUPLICATE_VALUE, "Duplicate value specified", "Duplicate value"},
    {-623, IDS_ERR_BAD_NAME, "Syntax invalid in name", "Syntax invalid in name"},
    {-632, IDS_ERR_SYSTEM_FAILURE, "System failure", "System failure"},
    {-641, IDS_ERR_INVALID_REQUEST, "Invalid request", "Invalid request"},
    {-645, IDS_ERR_CLASS_EXISTS, "Class already exists", "Class already exists"},
    {-649, IDS_ERR_INSUFFICIENT_BUFFER, "Insufficient buffer space", "Insufficient buffer"},
    {-657, IDS_ERR_SCHEMA_SYNC, "Schema sync in progress", "Schema synchronization in progress"},
    {-663, IDS_ERR_DS_LOCKED, "Directory services locked", "Directory services locked"},
    {-672, IDS_ERR_NO_ACCESS, "No access", "No access"},
    {-306, IDS_ERR_BAD_SYNTAX, "Bad syntax", "Bad syntax"},
};
const ErrorRow kOther = {0, IDS_ERR_UNDEFINED, "Undefined DS error", "Generic error"};

const ErrorRow& RowOf(int code) {
  for (const ErrorRow& row : kErrors)
    if (row.code == code) return row;
  return kOther;
}

#ifndef ZELM_LOGPAGE
char g_errorText[kErrorTextChars + 1];

// A string of the resource module, or fallback when it has none.
void LoadText(int id, const char* fallback, char* out, int capacity) {
  if (LoadStringA(ResourceModule(), static_cast<UINT>(id), out, capacity) <= 0)
    snprintf(out, static_cast<size_t>(capacity), "%s", fallback);
}
#endif

}  // namespace

#ifndef ZELM_LOGPAGE
int DSErrorStringId(int code) { return RowOf(code).stringId; }

const char* DSShowError(HWND window, int code) {
  char caption[kErrorCaptionChars + 1];
  int n = snprintf(caption, sizeof caption, "[%d] ", code);
  LoadText(IDS_DIRECTORY_ERROR, "Directory Error", caption + n, static_cast<int>(sizeof caption) - n);
  const ErrorRow& row = RowOf(code);
  LoadText(row.stringId, row.text, g_errorText, sizeof g_errorText);
  MessageBoxA(window, g_errorText, caption, MB_OK | MB_ICONERROR);
  return g_errorText;
}

INT_PTR CALLBACK MessageDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    switch (LOWORD(wParam)) {
      case IDOK: EndDialog(dialog, 1); return TRUE;
      case IDCANCEL: EndDialog(dialog, 0); return TRUE;
    }
  }
  return message == WM_INITDIALOG;
}
#else
const char* DSErrorText(int code) { return RowOf(code).logpageText; }
#endif
