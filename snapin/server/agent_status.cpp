// "Status", the last page of every agent: disables or enables the agent and
// tells the running server so.
#include "frame.h"
#include "page_support.h"
#include "tarq_ids.h"
#include "server_procs.h"

namespace {

enum { kHelpAgentStatus = 11 };
const char kDisabled[] = "Quorvel:Disabled";

struct AgentStatusPage {
  StrList disabled;  // as stored; freed when the page closes
  int writable;
};
AgentStatusPage g_page;

INT_PTR OnInit(HWND page) {
  StrListFree(&g_page.disabled);
  BeginPage(page);
  g_page.writable = CanWriteOwn(kDisabled);
  if (!g_page.writable) EnableWindow(GetDlgItem(page, IDC_AGS_DISABLE), FALSE);
  ReadOwnValues(&g_page.disabled, kDisabled);
  CheckDlgButton(page, IDC_AGS_DISABLE, FlagIsOn(&g_page.disabled) ? BST_CHECKED : BST_UNCHECKED);
  return TRUE;
}

// Every accepted apply is announced, changed or not: the server learns the
// agent's state again.
INT_PTR OnApply(HWND page) {
  if (!g_page.writable) return 1;
  int disable = IsDlgButtonChecked(page, IDC_AGS_DISABLE) == BST_CHECKED;
  if (int r = WriteOwnFlag(&g_page.disabled, kDisabled, disable)) {
    ShowWriteError(page, r, IDC_AGS_DISABLE);
    return 0;
  }
  NotifyConfigChange(g_snapin.currentObject, g_snapin.currentModule,
                     disable ? kNoticeDeleted : kNoticeCreated);
  return 1;
}

}  // namespace

extern "C" INT_PTR CALLBACK StatusDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(page);
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_AGS_DISABLE && HIWORD(wParam) == BN_CLICKED) MarkPageChanged(page);
      return FALSE;
    case QZX_PAGE_APPLY: return OnApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpAgentStatus);
    case WM_CLOSE: StrListFree(&g_page.disabled); return FALSE;
  }
  return FALSE;
}
