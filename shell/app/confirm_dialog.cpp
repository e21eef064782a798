#include "confirm_dialog.h"

#include "zelmsh_ids.h"

const char kYesNoTemplate[] = "YesNo";

namespace {

INT_PTR CALLBACK YesNoDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      SetDlgItemTextA(dlg, IDC_YESNO_TEXT, reinterpret_cast<const char*>(lp));
      // Return alone answers No: nothing is deleted by a key pressed in haste.
      SetFocus(GetDlgItem(dlg, IDNO));
      return FALSE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDYES:
          EndDialog(dlg, 1);
          return TRUE;
        case IDNO:
        case IDCANCEL:
          EndDialog(dlg, 0);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

INT_PTR AskYesNo(HWND owner, const char* question) {
  INT_PTR r = DialogBoxParamA(GetModuleHandleA(nullptr), kYesNoTemplate, owner, YesNoDlgProc,
                              reinterpret_cast<LPARAM>(question ? question : ""));
  return r == 1 ? 1 : 0;
}
