// The connection manager's "ConnManagerConfig" page: after how many minutes
// the addresses it keeps expire.
#include "agent_pages.h"
#include "agents_web_ids.h"
#include "frame.h"
#include "tarq_ids.h"
#include "webmail_pages.h"

namespace {

const char kModule[] = "CONNAGNT.QMD";
const char kTimeout[] = "Quorvel:Timeout";
enum { kHelpConfig = 26, kDefaultTimeoutItem = 2 };
const char* const kMinutes[] = {"5", "10", "15", "30", "45", "60", "120", "360", "720", "1440"};
const int kTimeoutIds[] = {IDC_CM_EXPIRE_LABEL, IDC_CM_MINUTES, IDC_CM_TIMEOUT};

struct ConnMgrPage {
  StrList timeout;  // as last read; freed on close
  int writable;
  int loading;
};
ConnMgrPage g_connmgr;

INT_PTR ConnMgrInit(HWND page) {
  StrListFree(&g_connmgr.timeout);
  g_connmgr.loading = 1;
  BeginPage(page);
  g_connmgr.writable = CanWriteAgent(kTimeout);
  if (!g_connmgr.writable) EnableIds(page, kTimeoutIds, 3, 0);
  FillCombo(page, IDC_CM_TIMEOUT, kMinutes, sizeof kMinutes / sizeof kMinutes[0]);
  if (ReadAgentValues(&g_connmgr.timeout, kTimeout) > 0)
    SelectComboText(page, IDC_CM_TIMEOUT, FirstOfList(&g_connmgr.timeout));
  else
    SendDlgItemMessageA(page, IDC_CM_TIMEOUT, CB_SETCURSEL, kDefaultTimeoutItem, 0);
  g_connmgr.loading = 0;
  return TRUE;
}

INT_PTR ConnMgrApply(HWND page) {
  if (!g_connmgr.writable) return 1;
  char minutes[32];
  ComboSelection(page, IDC_CM_TIMEOUT, minutes, sizeof minutes);
  if (int r = WriteAgentText(&g_connmgr.timeout, kTimeout, minutes, kSyntaxCIString)) {
    ShowErrorAt(page, r, IDC_CM_TIMEOUT);
    return 0;
  }
  NotifyConfigChange(g_snapin.currentObject, kModule, kNoticeChanged);
  return 1;
}

}  // namespace

extern "C" INT_PTR CALLBACK ConnMgrConfigDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return ConnMgrInit(page);
    case WM_COMMAND:
      if (!g_connmgr.loading && LOWORD(wParam) == IDC_CM_TIMEOUT && HIWORD(wParam) == CBN_SELCHANGE)
        MarkPageChanged(page);
      return FALSE;
    case QZX_PAGE_APPLY: return ConnMgrApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpConfig);
    case WM_CLOSE: StrListFree(&g_connmgr.timeout); return FALSE;
  }
  return FALSE;
}
