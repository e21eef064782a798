#include "user_finger_page.h"

#include <initializer_list>
#include <stdlib.h>

#include "frame.h"
#include "tarq_ids.h"
#include "user_values.h"

using namespace users;

namespace {

// The page's state; one page at a time.
struct FingerPageState {
  StrList read;  // owned: the values as read, the old values on apply
  int mayEdit;
  int loading;  // the field being filled: its notifications are not the user's
};
FingerPageState g_page;

void ReadMessage() {
  StrListFree(&g_page.read);
  DSReadValues(&g_page.read, g_snapin.pageContainer, g_snapin.currentObject, kAttrFingerMessage);
}

INT_PTR OnInit(HWND page) {
  g_page.loading = 1;
  BeginPage(page);
  g_page.mayEdit = DSCanWrite(g_snapin.pageContainer, g_snapin.currentObject, kAttrFingerMessage);
  if (!g_page.mayEdit)
    for (int id : {IDC_FNG_NOTE, IDC_FNG_MESSAGE_LABEL, IDC_FNG_MESSAGE})
      EnableWindow(GetDlgItem(page, id), FALSE);
  SendDlgItemMessageA(page, IDC_FNG_MESSAGE, EM_LIMITTEXT, kFingerMessageChars, 0);
  ReadMessage();
  // In lines however it was stored (the field breaks at CR LF).
  char* shown = ToEditText(FirstValue(&g_page.read));  // freed here
  if (shown) SetDlgItemTextA(page, IDC_FNG_MESSAGE, shown);
  free(shown);
  g_page.loading = 0;
  return TRUE;
}

INT_PTR OnApply(HWND page) {
  if (!g_page.mayEdit) return 1;
  // Taken whole (typing stops at kFingerMessageChars; a longer text is the
  // stored one) and written with the stored message's line breaks, CR LF
  // for one without any.
  char* typed = ControlTextCopy(page, IDC_FNG_MESSAGE);  // freed below
  char* text = typed ? ToStoredText(typed, g_page.read.count ? FirstValue(&g_page.read) : nullptr,
                                    kBreakCrLf)
                     : nullptr;
  free(typed);
  if (!text) {
    DSShowError(page, kDSErrNoMemory);  // nothing written
    SetFocus(GetDlgItem(page, IDC_FNG_MESSAGE));
    return 0;
  }
  StrList wanted = {};  // owned here: freed below
  StrListAdd(&wanted, text);
  free(text);
  int r = DSReplaceValues(&g_page.read, &wanted, g_snapin.pageContainer, g_snapin.currentObject,
                          kAttrFingerMessage, kSyntaxCIString);
  StrListFree(&wanted);
  // A later apply (a retry, or OK after Apply) compares with what is stored
  // now, not with what the page found when it opened.
  ReadMessage();
  if (r != 0) {
    DSShowError(page, r);
    SetFocus(GetDlgItem(page, IDC_FNG_MESSAGE));
    return 0;
  }
  return 1;
}

}  // namespace

INT_PTR CALLBACK UserFingerDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(page);
    case WM_COMMAND:
      if (!g_page.loading && LOWORD(wParam) == IDC_FNG_MESSAGE && HIWORD(wParam) == EN_UPDATE) {
        MarkPageChanged(page);
        return TRUE;
      }
      return FALSE;
    case QZX_PAGE_APPLY: return OnApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, HELP_USER_FINGER_PAGE);
    case WM_CLOSE: StrListFree(&g_page.read); return TRUE;
  }
  return FALSE;
}
