// The anti-spam agent's "AntiSpamConfig" page: the blocked domains and
// addresses (typed or imported) and what happens to a blocked message.
#include "agent_codecs.h"
#include "agent_pages.h"
#include "agents_filter_ids.h"
#include "filter_procs.h"
#include "filter_values.h"
#include "frame.h"
#include "tarq_ids.h"

namespace {

const char kModule[] = "SPAMAGNT.QMD";
const char kBlocked[] = "Quorvel:EMail Address";
const char kAction[] = "Quorvel:Action";
enum { kHelpConfig = 31 };

// One right, taken on the blocked list, governs the action too.
const int kWriteIds[] = {IDC_FLT_LABEL,  IDC_FLT_ADD,   IDC_FLT_REMOVE,   IDC_FLT_LIST,
                         IDC_FLT_IMPORT, IDC_FLT_ENTRY, IDC_ASP_SEND_BACK, IDC_ASP_CC_POSTMASTER};

struct AntiSpamPage {
  StrList blocked, action;  // as last read; freed on accept and on close
  int writable;
  int actionTouched;  // a box was clicked: the action is written from the boxes
  int loading;
};
AntiSpamPage g_spam;

void Free() {
  StrListFree(&g_spam.blocked);
  StrListFree(&g_spam.action);
}

void EnableItem(HWND page, int id, int on) { EnableWindow(GetDlgItem(page, id), on ? TRUE : FALSE); }

INT_PTR Init(HWND page) {
  Free();
  g_spam.loading = 1;
  g_spam.actionTouched = 0;
  BeginPage(page);
  g_spam.writable = CanWriteAgent(kBlocked);
  if (!g_spam.writable) EnableIds(page, kWriteIds, sizeof kWriteIds / sizeof kWriteIds[0], 0);
  EnableItem(page, IDC_FLT_ADD, 0);
  EnableItem(page, IDC_FLT_REMOVE, 0);
  LimitText(page, IDC_FLT_ENTRY, kListEntryChars);
  ReadAgentValues(&g_spam.action, kAction);
  uint32_t action = ParseBits(FirstOfList(&g_spam.action));
  SetChecked(page, IDC_ASP_SEND_BACK, action & kActionSendBack);
  SetChecked(page, IDC_ASP_CC_POSTMASTER, action & kActionCcPostmaster);
  ReadAgentValues(&g_spam.blocked, kBlocked);
  FillListBox(page, IDC_FLT_LIST, &g_spam.blocked);
  g_spam.loading = 0;
  return TRUE;
}

void Add(HWND page) {
  if (!HasText(page, IDC_FLT_ENTRY)) return;
  char text[kListEntryChars + 1];
  DialogText(page, IDC_FLT_ENTRY, text, sizeof text);
  SendDlgItemMessageA(page, IDC_FLT_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  MarkPageChanged(page);
  SetDlgItemTextA(page, IDC_FLT_ENTRY, "");
  EnableItem(page, IDC_FLT_ADD, 0);
  FocusItem(page, IDC_FLT_ENTRY);
}

void Command(HWND page, int id, int code) {
  if (g_spam.loading) return;
  switch (id) {
    case IDC_FLT_ENTRY:
      if (code == EN_UPDATE) EnableItem(page, IDC_FLT_ADD, g_spam.writable && HasText(page, id));
      break;
    case IDC_FLT_ADD:
      if (code == BN_CLICKED) Add(page);
      break;
    case IDC_FLT_LIST:
      if (code == LBN_SELCHANGE || code == LBN_SELCANCEL)
        EnableItem(page, IDC_FLT_REMOVE,
                   g_spam.writable && SelectedEntryCount(page, IDC_FLT_LIST) > 0);
      break;
    case IDC_FLT_REMOVE:
      if (code != BN_CLICKED) break;
      RemoveSelectedEntries(page, IDC_FLT_LIST);
      MarkPageChanged(page);
      EnableItem(page, IDC_FLT_REMOVE, 0);
      FocusItem(page, IDC_FLT_LIST);
      break;
    case IDC_FLT_IMPORT:
      if (code == BN_CLICKED) ImportWithDialog(page, IDC_FLT_LIST, IDS_SELECT_ANTISPAM_FILE, 0);
      break;
    case IDC_ASP_SEND_BACK:
    case IDC_ASP_CC_POSTMASTER:
      if (code == BN_CLICKED) {
        g_spam.actionTouched = 1;
        MarkPageChanged(page);
      }
      break;
  }
}

INT_PTR Apply(HWND page) {
  if (!g_spam.writable) return 1;
  StrList entries = {}, wanted = {};  // freed below
  ListBoxValues(page, IDC_FLT_LIST, &entries);
  DistinctValues(&entries, &wanted);
  int r = WriteAgentList(&g_spam.blocked, kBlocked, &wanted, kSyntaxCIString);
  StrListFree(&entries);
  StrListFree(&wanted);
  if (r == 0) {
    // A stored action that is no number stays as it is until a box is clicked.
    const char* stored = FirstOfList(&g_spam.action);
    if (g_spam.actionTouched || !*stored || IsDecimalNumber(stored)) {
      char text[4];
      FormatAction(Checked(page, IDC_ASP_SEND_BACK), Checked(page, IDC_ASP_CC_POSTMASTER), text,
                   sizeof text);
      r = WriteAgentText(&g_spam.action, kAction, text, kSyntaxCIString);
    }
  }
  if (r != 0) {
    ShowErrorAt(page, r, IDC_FLT_IMPORT);
    return 0;
  }
  NotifyConfigChange(g_snapin.currentObject, kModule, kNoticeChanged);
  g_spam.actionTouched = 0;
  return 1;
}

}  // namespace

extern "C" INT_PTR CALLBACK AntiSpamConfigDlgProc(HWND page, UINT message, WPARAM wParam,
                                                  LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return Init(page);
    case WM_COMMAND: Command(page, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case QZX_PAGE_APPLY: return Apply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpConfig);
    case WM_CLOSE: Free(); return FALSE;
  }
  return FALSE;
}
