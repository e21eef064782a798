// "MsgSrvSNMP": what the messaging server tells SNMP managers about itself.
#include <stdlib.h>

#include "frame.h"
#include "msgsrv_object.h"
#include "page_support.h"
#include "tarq_ids.h"
#include "server_procs.h"

namespace {

enum { kSNMPTypedChars = 254 };  // what the user may type into each field

// In the order they are written; the organization's write right governs all.
const struct {
  int edit;
  int label;
  const char* attribute;
} kFields[] = {
    {IDC_MSN_ORGANIZATION, IDC_MSN_ORGANIZATION_LABEL, "Quorvel:SNMP Organization"},
    {IDC_MSN_LOCATION, IDC_MSN_LOCATION_LABEL, "Quorvel:SNMP Location"},
    {IDC_MSN_CONTACT, IDC_MSN_CONTACT_LABEL, "Quorvel:SNMP Contact"},
    {IDC_MSN_NAME, IDC_MSN_NAME_LABEL, "Quorvel:SNMP Name"},
};
enum { kFieldCount = sizeof kFields / sizeof kFields[0] };

struct SNMPPage {
  StrList values[kFieldCount];  // as stored; freed when the page closes
  int writable;
  int loading;
};
SNMPPage g_page;

void FreeLists() {
  for (StrList& l : g_page.values) StrListFree(&l);
}

INT_PTR OnInit(HWND page) {
  FreeLists();
  g_page.loading = 1;
  BeginPage(page);
  g_page.writable = CanWriteOwn(kFields[0].attribute);
  for (int i = 0; i < kFieldCount; ++i) {
    HWND edit = GetDlgItem(page, kFields[i].edit);
    SendMessageA(edit, EM_LIMITTEXT, kSNMPTypedChars, 0);
    if (!g_page.writable) {
      EnableWindow(edit, FALSE);
      EnableWindow(GetDlgItem(page, kFields[i].label), FALSE);
    }
    ReadOwnValues(&g_page.values[i], kFields[i].attribute);
    // The location field breaks lines at CR LF, however they were stored.
    char* shown = ToEditText(FirstValue(&g_page.values[i]));  // freed here
    if (shown) SetWindowTextA(edit, shown);
    free(shown);
  }
  g_page.loading = 0;
  return TRUE;
}

INT_PTR OnCommand(HWND page, int id, int code) {
  if (code != EN_CHANGE || g_page.loading) return FALSE;
  for (const auto& f : kFields)
    if (f.edit == id) MarkPageChanged(page);
  return TRUE;
}

// A stored value longer than what may be typed is written back whole, so an
// apply never cuts what it did not change.
INT_PTR OnApply(HWND page) {
  if (!g_page.writable) return 1;
  for (int i = 0; i < kFieldCount; ++i) {
    // Taken whole and written with the stored value's line breaks (CR LF
    // for one without any), so a value nobody changed goes back as it was.
    char* typed = ControlTextCopy(page, kFields[i].edit);
    const StrList* stored = &g_page.values[i];
    char* text = typed ? ToStoredText(typed, stored->count ? FirstValue(stored) : nullptr, kBreakCrLf)
                       : nullptr;
    free(typed);
    int r = text ? WriteOwnValue(&g_page.values[i], kFields[i].attribute, text, kSyntaxCIString)
                 : kDSErrNoMemory;
    free(text);
    if (r) {
      ShowWriteError(page, r, kFields[i].edit);
      return 0;
    }
  }
  return 1;
}

}  // namespace

extern "C" INT_PTR CALLBACK MessagingServerSNMPDlgProc(HWND page, UINT message, WPARAM wParam,
                                                       LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(page);
    case WM_COMMAND: return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
    case QZX_PAGE_APPLY: return OnApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpSNMP);
    case WM_CLOSE: FreeLists(); return FALSE;
  }
  return FALSE;
}
