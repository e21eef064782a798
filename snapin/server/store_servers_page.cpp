// "ZELMToService": the store agents an agent connects to (for mail agents,
// the queues it monitors). The store agents' "Quorvel:Client" lists follow.
#include "frame.h"
#include "page_support.h"
#include "tarq_ids.h"
#include "server_procs.h"

namespace {

const char kStoreServers[] = "Quorvel:ZELM Server";

struct StoreServersPage {
  // Backs the value control (kind 5): filled through MvedProc with the
  // values as stored, the old values on apply; freed when the page closes.
  StrList values;
  int writable;
};
StoreServersPage g_page;
int g_helpId = 45;  // set by the agent's object procedure

const int kWriteControls[] = {IDC_ZTS_EDIT, IDC_ZTS_SPIN, IDC_ZTS_LIST};

INT_PTR OnInit(HWND page) {
  StrListFree(&g_page.values);
  g_page.values.tag = kMvedStoreServers;
  BeginPage(page);
  g_page.writable = CanWriteOwn(kStoreServers);
  CreateValueControl(page, &g_page.values, kMvedStoreServers, IDC_ZTS_EDIT, IDC_ZTS_SPIN,
                     IDC_ZTS_LIST, QZX_MVED_BROWSED, IDS_SELECT_AGENTS_TO_MONITOR, "[Root]");
  if (!g_page.writable) EnableControls(page, kWriteControls, 3, 0);
  return TRUE;
}

INT_PTR OnApply(HWND page) {
  if (!g_page.writable) return 1;
  StrList wanted = {}, previous = {};
  if (ReadValueControl(page, IDC_ZTS_EDIT, &wanted) <= 0) {
    StrListFree(&wanted);
    ShowPageMessage(page, IDS_NEED_ZELM_AGENT, IDS_MISSING_MANDATORY, MB_ICONERROR, IDC_ZTS_EDIT);
    return 0;
  }
  for (int32_t i = 0; i < g_page.values.count; ++i) StrListAdd(&previous, g_page.values.items[i]);
  int r = WriteOwnValues(&g_page.values, kStoreServers, &wanted, kSyntaxDistName);
  if (r != 0) {
    ShowWriteError(page, r, IDC_ZTS_EDIT);
  } else {
    // Old store agents lose the reference first, then every chosen one gets
    // it, so one kept in the list keeps it.
    for (int32_t i = 0; i < previous.count; ++i) RemoveClientFrom(previous.items[i]);
    for (int32_t i = 0; i < wanted.count; ++i) AddClientTo(wanted.items[i]);
    NotifyConfigChange(g_snapin.currentObject, g_snapin.currentModule, kNoticeChanged);
  }
  StrListFree(&wanted);
  StrListFree(&previous);
  return r == 0;
}

}  // namespace

void SetStoreServerHelpId(int helpId) { g_helpId = helpId; }
int StoreServerHelpId() { return g_helpId; }

extern "C" INT_PTR CALLBACK ZELMToServiceDlgProc(HWND page, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(page);
    case QZX_PAGE_APPLY: return OnApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, g_helpId);
    case WM_CLOSE: StrListFree(&g_page.values); return FALSE;
  }
  return FALSE;
}
