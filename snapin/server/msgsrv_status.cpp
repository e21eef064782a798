// "MsgSrvStatus": where the messaging server runs and in what state, and the
// switch that disables it (its module is unloaded or loaded on the host).
#include "frame.h"
#include "msgsrv_object.h"
#include "page_support.h"
#include "tarq_ids.h"
#include "server_procs.h"

namespace {

const char kDisabled[] = "Quorvel:Disabled";

struct StatusPage {
  StrList disabled;  // as stored; freed when the page closes
  int writable;
};
StatusPage g_page;

bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

// The server's own report of an attribute, or the string for "Unknown".
void ShowReported(HWND page, int control, const char* attribute, int unknownId) {
  StrList values = {};
  ReadOwnValues(&values, attribute);
  char unknown[64];
  SetDlgItemTextA(page, control,
                  values.count > 0 ? FirstValue(&values)
                                   : LoadResourceText(unknownId, unknown, sizeof unknown));
  StrListFree(&values);
}

INT_PTR OnInit(HWND page) {
  StrListFree(&g_page.disabled);
  BeginPage(page);
  g_page.writable = CanWriteOwn(kDisabled);
  if (!g_page.writable) EnableWindow(GetDlgItem(page, IDC_MSU_DISABLE), FALSE);
  ShowReported(page, IDC_MSU_ADDRESS, "Quorvel:IP Address", IDS_UNKNOWN_ADDRESS);
  ShowReported(page, IDC_MSU_STATE, "Quorvel:Server Status", IDS_UNKNOWN_STATUS);
  ReadOwnValues(&g_page.disabled, kDisabled);
  CheckDlgButton(page, IDC_MSU_DISABLE, FlagIsOn(&g_page.disabled) ? BST_CHECKED : BST_UNCHECKED);
  return TRUE;
}

// Every accepted apply tells the host server to run the module or not,
// whether the box changed or not.
INT_PTR OnApply(HWND page) {
  if (!g_page.writable) return 1;
  int disable = Checked(page, IDC_MSU_DISABLE);
  if (int r = WriteOwnFlag(&g_page.disabled, kDisabled, disable)) {
    ShowWriteError(page, r, IDC_MSU_DISABLE);
    return 0;
  }
  StrList hosts = {};
  ReadOwnValues(&hosts, kHostAttribute);
  if (hosts.count > 0) ControlServerModule(FirstValue(&hosts), !disable);
  StrListFree(&hosts);
  return 1;
}

}  // namespace

extern "C" INT_PTR CALLBACK MessagingServerStatusDlgProc(HWND page, UINT message, WPARAM wParam,
                                                         LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(page);
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_MSU_DISABLE && HIWORD(wParam) == BN_CLICKED) MarkPageChanged(page);
      return FALSE;
    case QZX_PAGE_APPLY: return OnApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpServerStatus);
    case WM_CLOSE: StrListFree(&g_page.disabled); return FALSE;
  }
  return FALSE;
}
