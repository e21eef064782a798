// The store agent's smaller pages: "ZELMContext" (the containers the
// messaging server serves), "ZELMQuota", "ZELMSCMS", "ZELMTrustedHosts" and
// the read-only "ZELMClients".
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "agent_codecs.h"
#include "agent_pages.h"
#include "agent_procs.h"
#include "frame.h"
#include "tarq_ids.h"

namespace {

const char kModule[] = "STORAGNT.QMD";

enum {
  kHelpContext = 22,
  kHelpQuota = 21,
  kHelpScms = 24,
  kHelpTrustedHosts = 23,
  kHelpClients = 20,
};

void NotifyChanged() { NotifyConfigChange(g_snapin.currentObject, kModule, kNoticeChanged); }

// ---- "ZELMContext" ---------------------------------------------------------------

const char kContextAttribute[] = "Quorvel:Context";
const int kContextIds[] = {IDC_ZC_EDIT, IDC_ZC_LIST, IDC_ZC_SPIN, IDC_ZC_LABEL};

struct ContextPage {
  // Backs the contexts control (kind 1): the messaging server's contexts as
  // read, the old values of the write; freed when the page closes.
  StrList contexts;
  int writable;
};
ContextPage g_context;

INT_PTR ContextInit(HWND page) {
  StrListFree(&g_context.contexts);
  BeginPage(page);
  // The right is asked on the agent itself, though the values live on its
  // messaging server.
  g_context.writable = CanWriteAgent(kContextAttribute);
  CreateValueControl(page, &g_context.contexts, kMvedContexts, IDC_ZC_EDIT, IDC_ZC_SPIN,
                     IDC_ZC_LIST, QZX_MVED_BROWSED, IDS_SELECT_CONTEXTS, "[Root]");
  if (!g_context.writable) EnableIds(page, kContextIds, 4, 0);
  return TRUE;
}

INT_PTR ContextApply(HWND page) {
  if (!g_context.writable) return 1;
  StrList wanted = {};
  if (ReadValueControl(page, IDC_ZC_EDIT, &wanted) <= 0) {
    StrListFree(&wanted);
    RefuseWith(page, IDS_NEED_CONTEXT, IDS_MISSING_MANDATORY, IDC_ZC_EDIT);
    return 0;
  }
  char server[kBrowseChars + 2];
  ContextOwnerOf(g_snapin.currentObject, server, sizeof server);
  int r = WriteObjectList(&g_context.contexts, server, kContextAttribute, &wanted, kSyntaxDistName);
  StrListFree(&wanted);
  if (r != 0) {
    ShowErrorAt(page, r, IDC_ZC_EDIT);
    return 0;
  }
  return 1;  // the server takes new contexts only when it starts again
}

// ---- "ZELMQuota" --------------------------------------------------------------------

const char kUseQuota[] = "Quorvel:Use Quota";
const char kQuotaValue[] = "Quorvel:Quota Value";
const char kQuotaMessage[] = "Quorvel:Quota Message";
enum { kPerUserQuota = 1, kSystemQuota = 2 };

const int kQuotaMessageIds[] = {IDC_ZU_MESSAGE_GROUP, IDC_ZU_MESSAGE};
const int kQuotaIds[] = {IDC_ZU_PER_USER, IDC_ZU_SYSTEM, IDC_ZU_VALUE, IDC_ZU_VALUE_UNIT,
                         IDC_ZU_QUOTA_GROUP};
const int kQuotaValueIds[] = {IDC_ZU_VALUE, IDC_ZU_VALUE_UNIT};

struct QuotaPage {
  StrList use, value, message;  // as last read; freed when the page closes
  int messageWritable, quotaWritable;
  int loading;
};
QuotaPage g_quota;

void QuotaFree() {
  StrListFree(&g_quota.use);
  StrListFree(&g_quota.value);
  StrListFree(&g_quota.message);
}

INT_PTR QuotaInit(HWND page) {
  QuotaFree();
  g_quota.loading = 1;
  BeginPage(page);
  g_quota.messageWritable = CanWriteAgent(kQuotaMessage);
  if (!g_quota.messageWritable) EnableIds(page, kQuotaMessageIds, 2, 0);
  g_quota.quotaWritable = CanWriteAgent(kUseQuota);
  if (!g_quota.quotaWritable) EnableIds(page, kQuotaIds, 5, 0);
  EnableIds(page, kQuotaValueIds, 2, 0);
  ReadAgentValues(&g_quota.use, kUseQuota);
  ReadAgentValues(&g_quota.value, kQuotaValue);
  ReadAgentValues(&g_quota.message, kQuotaMessage);
  uint32_t use = ParseBits(FirstOfList(&g_quota.use));
  SetChecked(page, IDC_ZU_PER_USER, use & kPerUserQuota);
  if (use & kSystemQuota) {
    SetChecked(page, IDC_ZU_SYSTEM, 1);
    EnableIds(page, kQuotaValueIds, 2, g_quota.quotaWritable);
  }
  SetDlgItemTextA(page, IDC_ZU_VALUE, FirstOfList(&g_quota.value));
  char message[2 * kDSValueBytes];
  ToEditLineBreaks(FirstOfList(&g_quota.message), message, sizeof message);
  SetDlgItemTextA(page, IDC_ZU_MESSAGE, message);
  g_quota.loading = 0;
  return TRUE;
}

void QuotaCommand(HWND page, int id, int code) {
  if (g_quota.loading) return;
  if (id == IDC_ZU_SYSTEM && code == BN_CLICKED) {
    EnableIds(page, kQuotaValueIds, 2, Checked(page, IDC_ZU_SYSTEM) && g_quota.quotaWritable);
    MarkPageChanged(page);
  } else if (id == IDC_ZU_PER_USER && code == BN_CLICKED) {
    MarkPageChanged(page);
  } else if ((id == IDC_ZU_VALUE || id == IDC_ZU_MESSAGE) && code == EN_UPDATE) {
    MarkPageChanged(page);
  }
}

INT_PTR QuotaApply(HWND page) {
  char text[2 * kDSValueBytes];  // a message longer than the directory holds is refused by it
  if (g_quota.messageWritable) {
    // The field breaks lines at CR LF; the message goes back with the
    // stored one's line breaks, a bare line feed (as in the default
    // message the agent is created with) when it has none.
    DialogText(page, IDC_ZU_MESSAGE, text, sizeof text);
    const StrList* stored = &g_quota.message;
    char* message = ToStoredText(text, stored->count ? FirstOfList(stored) : nullptr,
                                 kBreakLineFeed);  // freed below
    int r = message ? WriteAgentText(&g_quota.message, kQuotaMessage, message, kSyntaxCIString)
                    : kDSErrNoMemory;
    free(message);
    if (r) {
      ShowErrorAt(page, r, IDC_ZU_MESSAGE);
      return 0;
    }
  }
  if (g_quota.quotaWritable) {
    uint32_t use = (Checked(page, IDC_ZU_PER_USER) ? kPerUserQuota : 0) |
                   (Checked(page, IDC_ZU_SYSTEM) ? kSystemQuota : 0);
    char bits[16];
    FormatBits(use, bits, sizeof bits);
    if (int r = WriteAgentText(&g_quota.use, kUseQuota, bits, kSyntaxCIString)) {
      ShowErrorAt(page, r, IDC_ZU_PER_USER);
      return 0;
    }
    DialogText(page, IDC_ZU_VALUE, text, sizeof text);
    if (int r = WriteAgentText(&g_quota.value, kQuotaValue, text, kSyntaxCIString)) {
      ShowErrorAt(page, r, IDC_ZU_VALUE);
      return 0;
    }
  }
  if (g_quota.messageWritable || g_quota.quotaWritable) NotifyChanged();
  return 1;
}

// ---- "ZELMSCMS" ------------------------------------------------------------------------

const char kScmsUsers[] = "Quorvel:SCMS User Threshold";
const char kScmsSize[] = "Quorvel:SCMS Size Threshold";
const int kScmsIds[] = {IDC_ZS_USERS, IDC_ZS_SIZE, IDC_ZS_SIZE_LABEL, IDC_ZS_USERS_LABEL,
                        IDC_ZS_SIZE_UNIT, IDC_ZS_GROUP};

struct ScmsPage {
  StrList users, size;  // as last read; freed when the page closes
  int writable;         // one right, on the user threshold, for both
  int loading;
};
ScmsPage g_scms;

void ScmsFree() {
  StrListFree(&g_scms.users);
  StrListFree(&g_scms.size);
}

INT_PTR ScmsInit(HWND page) {
  ScmsFree();
  g_scms.loading = 1;
  BeginPage(page);
  g_scms.writable = CanWriteAgent(kScmsUsers);
  if (!g_scms.writable) EnableIds(page, kScmsIds, 6, 0);
  ReadAgentValues(&g_scms.users, kScmsUsers);
  ReadAgentValues(&g_scms.size, kScmsSize);
  SetDlgItemTextA(page, IDC_ZS_SIZE, FirstOfList(&g_scms.size));
  SetDlgItemTextA(page, IDC_ZS_USERS, FirstOfList(&g_scms.users));
  g_scms.loading = 0;
  return TRUE;
}

INT_PTR ScmsApply(HWND page) {
  if (!g_scms.writable) return 1;
  char text[kDSValueBytes];
  DialogText(page, IDC_ZS_SIZE, text, sizeof text);
  int r = WriteAgentText(&g_scms.size, kScmsSize, text, kSyntaxCIString);
  if (r == 0) {
    DialogText(page, IDC_ZS_USERS, text, sizeof text);
    r = WriteAgentText(&g_scms.users, kScmsUsers, text, kSyntaxCIString);
  }
  if (r != 0) {
    ShowErrorAt(page, r, IDC_ZS_SIZE);
    return 0;
  }
  NotifyChanged();
  return 1;
}

// ---- "ZELMTrustedHosts" -------------------------------------------------------------------

const char kTrustedHosts[] = "Quorvel:ZELM Trusted Hosts";
const int kTrustedIds[] = {IDC_ZT_LABEL, IDC_ZT_ADDRESS, IDC_ZT_ADD, IDC_ZT_REMOVE, IDC_ZT_LIST};
enum { kAddressChars = 1023 };

struct TrustedPage {
  StrList hosts;  // as last read; freed when the page closes
  int writable;
  int loading;
};
TrustedPage g_trusted;

INT_PTR TrustedInit(HWND page) {
  StrListFree(&g_trusted.hosts);
  g_trusted.loading = 1;
  BeginPage(page);
  g_trusted.writable = CanWriteAgent(kTrustedHosts);
  if (!g_trusted.writable) EnableIds(page, kTrustedIds, 5, 0);
  EnableWindow(GetDlgItem(page, IDC_ZT_ADD), FALSE);
  EnableWindow(GetDlgItem(page, IDC_ZT_REMOVE), FALSE);
  LimitText(page, IDC_ZT_ADDRESS, kAddressChars);
  ReadAgentValues(&g_trusted.hosts, kTrustedHosts);
  FillListBox(page, IDC_ZT_LIST, &g_trusted.hosts);
  g_trusted.loading = 0;
  return TRUE;
}

void TrustedAdd(HWND page) {
  char address[kAddressChars + 1];
  DialogText(page, IDC_ZT_ADDRESS, address, sizeof address);
  if (!IsDottedQuadAddress(address)) {
    RefuseWith(page, IDS_BAD_TRUSTED_HOST, IDS_ERROR_CAPTION, IDC_ZT_ADDRESS);
    return;
  }
  // An address already listed is not listed twice (the directory would
  // refuse the second value); the user hears so and keeps what was typed.
  int added = AddListEntry(page, IDC_ZT_LIST, address);
  if (added == kEntryListed) {
    RefuseWith(page, IDS_TRUSTED_HOST_LISTED, IDS_ERROR_CAPTION, IDC_ZT_ADDRESS);
    return;
  }
  if (added) MarkPageChanged(page);
  SetDlgItemTextA(page, IDC_ZT_ADDRESS, "");
  EnableWindow(GetDlgItem(page, IDC_ZT_ADD), FALSE);
  FocusItem(page, IDC_ZT_ADDRESS);
}

void TrustedCommand(HWND page, int id, int code) {
  if (g_trusted.loading) return;
  switch (id) {
    case IDC_ZT_ADDRESS:
      if (code == EN_UPDATE)
        EnableWindow(GetDlgItem(page, IDC_ZT_ADD), HasText(page, IDC_ZT_ADDRESS) && g_trusted.writable);
      return;
    case IDC_ZT_LIST:
      if (code == LBN_SELCHANGE || code == LBN_SELCANCEL)
        EnableWindow(GetDlgItem(page, IDC_ZT_REMOVE),
                     SelectedEntryCount(page, IDC_ZT_LIST) > 0 && g_trusted.writable);
      return;
    case IDC_ZT_ADD:
      if (code == BN_CLICKED) TrustedAdd(page);
      return;
    case IDC_ZT_REMOVE:
      if (code != BN_CLICKED) return;
      RemoveSelectedEntries(page, IDC_ZT_LIST);
      MarkPageChanged(page);
      EnableWindow(GetDlgItem(page, IDC_ZT_REMOVE), FALSE);
      FocusItem(page, IDC_ZT_LIST);
      return;
  }
}

INT_PTR TrustedApply(HWND page) {
  if (!g_trusted.writable) return 1;
  StrList wanted = {};
  ListBoxValues(page, IDC_ZT_LIST, &wanted);
  int r = WriteAgentList(&g_trusted.hosts, kTrustedHosts, &wanted, kSyntaxCIString);
  StrListFree(&wanted);
  if (r != 0) {
    ShowErrorAt(page, r, IDC_ZT_ADDRESS);
    return 0;
  }
  NotifyChanged();
  return 1;
}

// ---- "ZELMClients" ------------------------------------------------------------------------

INT_PTR ClientsInit(HWND page) {
  BeginPage(page);
  StrList clients = {};
  ReadAgentValues(&clients, "Quorvel:Client");
  FillListBox(page, IDC_ZL_LIST, &clients);
  StrListFree(&clients);
  return TRUE;
}

}  // namespace

extern "C" INT_PTR CALLBACK ZELMContextDlgProc(HWND page, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return ContextInit(page);
    case QZX_PAGE_APPLY: return ContextApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpContext);
    case WM_CLOSE: StrListFree(&g_context.contexts); return FALSE;
  }
  return FALSE;
}

extern "C" INT_PTR CALLBACK ZELMQuotaDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return QuotaInit(page);
    case WM_COMMAND: QuotaCommand(page, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case QZX_PAGE_APPLY: return QuotaApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpQuota);
    case WM_CLOSE: QuotaFree(); return FALSE;
  }
  return FALSE;
}

extern "C" INT_PTR CALLBACK ZELMSCMSDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return ScmsInit(page);
    case WM_COMMAND:
      if (!g_scms.loading && HIWORD(wParam) == EN_UPDATE &&
          (LOWORD(wParam) == IDC_ZS_SIZE || LOWORD(wParam) == IDC_ZS_USERS))
        MarkPageChanged(page);
      return FALSE;
    case QZX_PAGE_APPLY: return ScmsApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpScms);
    case WM_CLOSE: ScmsFree(); return FALSE;
  }
  return FALSE;
}

extern "C" INT_PTR CALLBACK ZELMTrustedHostsDlgProc(HWND page, UINT message, WPARAM wParam,
                                                    LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return TrustedInit(page);
    case WM_COMMAND: TrustedCommand(page, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case QZX_PAGE_APPLY: return TrustedApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpTrustedHosts);
    case WM_CLOSE: StrListFree(&g_trusted.hosts); return FALSE;
  }
  return FALSE;
}

extern "C" INT_PTR CALLBACK ZELMClientsDlgProc(HWND page, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return ClientsInit(page);
    case QZX_PAGE_APPLY: return 1;  // nothing to write
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpClients);
  }
  return FALSE;
}
