// "ZELMQueueServer": the store agent that queues an agent's outgoing mail.
// The store agents' "Quorvel:Client" lists follow the choice.
#include "frame.h"
#include "page_support.h"
#include "tarq_ids.h"
#include "server_procs.h"

namespace {

enum { kQueueTypedChars = 255 };  // what the user may type into the field
const char kQueueServer[] = "Quorvel:ZELM Queue Server";

struct QueueServerPage {
  StrList old;  // as stored; freed when the page closes
  int writable;
};
QueueServerPage g_page;
int g_helpId = 37;  // set by the agent's object procedure

INT_PTR OnInit(HWND page) {
  StrListFree(&g_page.old);
  BeginPage(page);
  g_page.writable = CanWriteOwn(kQueueServer);
  SendDlgItemMessageA(page, IDC_ZQS_SERVER, EM_LIMITTEXT, kQueueTypedChars, 0);
  if (!g_page.writable) {
    EnableWindow(GetDlgItem(page, IDC_ZQS_SERVER), FALSE);
    EnableWindow(GetDlgItem(page, IDC_ZQS_BROWSE), FALSE);
  }
  ReadOwnValues(&g_page.old, kQueueServer);
  SetDlgItemTextA(page, IDC_ZQS_SERVER, FirstValue(&g_page.old));
  return TRUE;
}

// The back-references are kept up as well as they can be; their failures
// are not the user's to mend on this page.
INT_PTR OnApply(HWND page) {
  if (!g_page.writable) return 1;
  char text[kFieldChars + 1], previous[kFieldChars + 1];
  if (!ControlText(page, IDC_ZQS_SERVER, text, sizeof text)[0]) {
    ShowPageMessage(page, IDS_QUEUE_SERVER_REQUIRED, IDS_MISSING_MANDATORY, MB_ICONERROR,
                    IDC_ZQS_SERVER);
    return 0;
  }
  int hadOne = g_page.old.count > 0;
  CopyText(previous, sizeof previous, FirstValue(&g_page.old));
  if (int r = WriteOwnValue(&g_page.old, kQueueServer, text, kSyntaxDistName)) {
    ShowWriteError(page, r, IDC_ZQS_SERVER);
    return 0;
  }
  if (hadOne) RemoveClientFrom(previous);
  AddClientTo(text);
  NotifyConfigChange(g_snapin.currentObject, g_snapin.currentModule, kNoticeChanged);
  return 1;
}

}  // namespace

void SetQueueServerHelpId(int helpId) { g_helpId = helpId; }
int QueueServerHelpId() { return g_helpId; }

extern "C" INT_PTR CALLBACK ZELMQueueServerDlgProc(HWND page, UINT message, WPARAM wParam,
                                                   LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(page);
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_ZQS_BROWSE && HIWORD(wParam) == BN_CLICKED)
        BrowsePageField(page, IDC_ZQS_SERVER, kBrowseStoreAgent, "Internet Services",
                        IDS_SELECT_ZELM_AGENT);
      return FALSE;
    case QZX_PAGE_APPLY: return OnApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, g_helpId);
    case WM_CLOSE: StrListFree(&g_page.old); return FALSE;
  }
  return FALSE;
}
