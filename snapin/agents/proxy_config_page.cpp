// The mail proxy agent's "ProxyConfig" page: how many hours pass between
// two pickup runs ("Quorvel:Time Interval"). "Proxies per user:" is shown
// but edits nothing stored.
#include "agent_pages.h"
#include "agents_more_ids.h"
#include "agents_more_procs.h"
#include "agents_more_values.h"
#include "frame.h"

namespace {

const char kModule[] = "PROXYAGT.QMD";
const char kInterval[] = "Quorvel:Time Interval";
const int kIntervalIds[] = {IDC_PXC_INTERVAL_LABEL, IDC_PXC_HOURS_LABEL, IDC_PXC_INTERVAL};

struct ProxyPage {
  StrList interval;  // as last read or written; freed when the page closes
  int writable;
  int loading;
};
ProxyPage g_proxy;

INT_PTR Init(HWND page) {
  StrListFree(&g_proxy.interval);
  g_proxy.loading = 1;
  BeginPage(page);
  g_proxy.writable = CanWriteAgent(kInterval);
  if (!g_proxy.writable) EnableIds(page, kIntervalIds, 3, 0);
  FillCombo(page, IDC_PXC_INTERVAL, kProxyIntervals, kProxyIntervalCount);
  ReadAgentValues(&g_proxy.interval, kInterval);
  int index = ProxyIntervalIndex(g_proxy.interval.count > 0 ? FirstOfList(&g_proxy.interval)
                                                            : nullptr);
  SendDlgItemMessageA(page, IDC_PXC_INTERVAL, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  g_proxy.loading = 0;
  return TRUE;
}

void OnCommand(HWND page, int id, int code) {
  if (g_proxy.loading) return;
  if ((id == IDC_PXC_INTERVAL || id == IDC_PXC_PROXIES) && code == CBN_SELCHANGE)
    MarkPageChanged(page);
}

// No entry selected (a stored interval the list does not offer) removes it.
INT_PTR Apply(HWND page) {
  if (!g_proxy.writable) return 1;
  char text[kDSValueBytes];
  ComboSelection(page, IDC_PXC_INTERVAL, text, sizeof text);
  if (int r = WriteAgentText(&g_proxy.interval, kInterval, text, kSyntaxCIString)) {
    ShowErrorAt(page, r, IDC_PXC_INTERVAL);
    return 0;
  }
  NotifyConfigChange(g_snapin.currentObject, kModule, kNoticeChanged);
  return 1;
}

}  // namespace

extern "C" INT_PTR CALLBACK ProxyConfigDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return Init(page);
    case WM_COMMAND: OnCommand(page, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case QZX_PAGE_APPLY: return Apply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, HELP_PROXY_CONFIG);
    case WM_CLOSE: StrListFree(&g_proxy.interval); return FALSE;
  }
  return FALSE;
}
