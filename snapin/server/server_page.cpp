// The file server's extra page "Server": which messaging server runs there.
#include "frame.h"
#include "msgsrv_object.h"
#include "page_support.h"
#include "tarq_ids.h"
#include "server_procs.h"

namespace {

enum { kHelpServerPage = 43 };

const PageSpec kServerPages[] = {
    {ServerDlgProc, "Server", IDS_SERVER_TITLE_INFORMATION},
};

StrList g_running;  // the server's back-reference as read; freed on apply and close

INT_PTR OnInit(HWND page) {
  StrListFree(&g_running);
  BeginPage(page);
  ReadOwnValues(&g_running, kBackReferenceAttribute);
  if (g_running.count > 0) SetDlgItemTextA(page, IDC_SRV_RUNNING, FirstValue(&g_running));
  return TRUE;
}

}  // namespace

// The host's own class keeps its icons: no class data, flags or kind.
extern "C" int32_t QZXAPI ServerObjProc(const char* name, uint32_t message, intptr_t param3,
                                        intptr_t param4) {
  switch (message) {
    case QZX_MSG_OPEN: OpenObject(name); return 1;
    case QZX_MSG_PAGE: return HandOutPageOf(kServerPages, 1, param3, param4);
  }
  return 0;
}

extern "C" INT_PTR CALLBACK ServerDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(page);
    case QZX_PAGE_APPLY: StrListFree(&g_running); return 1;
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpServerPage);
    case WM_CLOSE: StrListFree(&g_running); return FALSE;
  }
  return FALSE;
}
