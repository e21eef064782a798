// "MsgSrvStatistics": the running server's counters, asked of its request
// service every 1.5 s while the page is open.
#include "frame.h"
#include "msgsrv_object.h"
#include "page_support.h"
#include "tarq_ids.h"
#include "server_procs.h"
#include "statistics_format.h"

namespace {

enum {
  kRefreshTimer = 1,
  kRefreshMs = 1500,
};

// The context and the connection stay open from initialisation to apply
// (or close), so each tick costs one request. One that could not be had is
// tried again at each tick: a server that comes up (or gets its address)
// while the page is open shows its counters.
struct StatisticsPage {
  DSContext context;  // > 0 while open
  StrList hosts;      // the messaging server's "Quorvel:Host"; freed with the page
  uint32_t connection;
  int connected;
  int ticking;
};
StatisticsPage g_page;

void ShowUnavailable(HWND page) {
  char na[16];
  LoadResourceText(IDS_NOT_AVAILABLE, na, sizeof na);
  StatValue values[kStatValueCount];
  FormatStatistics(nullptr, values);  // only for the controls' ids
  for (const StatValue& v : values) SetDlgItemTextA(page, v.control, na);
}

void Connect() {
  if (g_page.connected || g_page.hosts.count < 1 || !g_page.hosts.items[0]) return;
  if (g_page.context <= 0) g_page.context = DSOpenContext(nullptr);
  g_page.connected = g_page.context > 0 &&
                     OpenServerConnection(g_page.context, g_page.hosts.items[0],
                                          &g_page.connection) == 0;
}

void FillCounters(HWND page) {
  Connect();
  unsigned char reply[kRequestBytes];
  ConfigChangeRequest request = MakeRequest(kRequestStatistics, nullptr);
  if (!g_page.connected || SendServerRequest(g_page.connection, &request, reply) != 0) {
    ShowUnavailable(page);
    return;
  }
  StatValue values[kStatValueCount];
  FormatStatistics(reply, values);
  for (const StatValue& v : values) SetDlgItemTextA(page, v.control, v.text);
}

void Release(HWND page) {
  if (g_page.ticking) KillTimer(page, kRefreshTimer);
  if (g_page.context > 0) DSCloseContext(g_page.context);
  StrListFree(&g_page.hosts);
  g_page = StatisticsPage();
}

INT_PTR OnInit(HWND page) {
  Release(page);
  BeginPage(page);
  g_page.context = DSOpenContext(nullptr);
  DSReadValues(&g_page.hosts, "[Root]", g_snapin.currentObject, kHostAttribute);
  // Without a host there is no server to ask: the template's zeros stay.
  if (g_page.hosts.count > 0 && g_page.hosts.items[0]) {
    FillCounters(page);
    g_page.ticking = SetTimer(page, kRefreshTimer, kRefreshMs, nullptr) != 0;
  }
  return TRUE;
}

}  // namespace

extern "C" INT_PTR CALLBACK MessagingServerStatisticsDlgProc(HWND page, UINT message,
                                                             WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(page);
    case WM_TIMER:
      if (wParam == kRefreshTimer && g_page.ticking) FillCounters(page);
      return TRUE;
    case QZX_PAGE_APPLY: Release(page); return 1;
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpStatistics);
    // A sheet closed without an apply must not leave the context open.
    case WM_CLOSE: Release(page); return FALSE;
  }
  return FALSE;
}
