// The SMTP agent's own pages: "SMTPIdentification" (domains, hosted domains,
// message size limit), "SMTPOptions" (command switches, relay host) and
// "SMTPUBEConfiguration" (unsolicited-mail prevention).
#include <string.h>

#include "agent_codecs.h"
#include "agent_pages.h"
#include "agent_procs.h"
#include "frame.h"
#include "tarq_ids.h"

namespace {

const char kModule[] = "SMTPAGNT.QMD";
enum { kHelpIdentification = 28, kHelpOptions = 29, kHelpUbe = 29 };

void NotifyChanged() { NotifyConfigChange(g_snapin.currentObject, kModule, kNoticeChanged); }

// ---- "SMTPIdentification" ---------------------------------------------------------

const char kDomain[] = "Quorvel:Domain";
const char kHostedDomain[] = "TARQ:User Domain";
const char kMessageLimit[] = "Quorvel:Message Limit";
const char* const kLimits[] = {"<none>", "1", "2", "5", "10", "20", "40"};

const int kDomainIds[] = {IDC_SI_DOMAIN_LABEL, IDC_SI_DOMAIN_EDIT, IDC_SI_DOMAIN_SPIN,
                          IDC_SI_DOMAIN_LIST};
const int kHostedIds[] = {IDC_SI_HOSTED_LABEL, IDC_SI_HOSTED_EDIT, IDC_SI_HOSTED_SPIN,
                          IDC_SI_HOSTED_LIST};
const int kLimitIds[] = {IDC_SI_LIMIT, IDC_SI_LIMIT_UNIT, IDC_SI_LIMIT_LABEL, IDC_SI_LIMITS_GROUP};

struct IdentificationPage {
  // The two value controls' lists (kinds 3 and 6), filled through MvedProc
  // with the values as stored, and the limit as read; freed on close.
  StrList domains, hosted, limit;
  int domainWritable, hostedWritable, limitWritable;
  int loading;
};
IdentificationPage g_ident;

void IdentFree() {
  StrListFree(&g_ident.domains);
  StrListFree(&g_ident.hosted);
  StrListFree(&g_ident.limit);
}

INT_PTR IdentInit(HWND page) {
  IdentFree();
  g_ident.loading = 1;
  BeginPage(page);
  g_ident.domainWritable = CanWriteAgent(kDomain);
  g_ident.hostedWritable = CanWriteAgent(kHostedDomain);
  g_ident.limitWritable = CanWriteAgent(kMessageLimit);
  CreateValueControl(page, &g_ident.domains, kMvedDomains, IDC_SI_DOMAIN_EDIT, IDC_SI_DOMAIN_SPIN,
                     IDC_SI_DOMAIN_LIST, QZX_MVED_TYPED, IDS_ENTER_DOMAINS, nullptr);
  CreateValueControl(page, &g_ident.hosted, kMvedUserDomains, IDC_SI_HOSTED_EDIT,
                     IDC_SI_HOSTED_SPIN, IDC_SI_HOSTED_LIST, QZX_MVED_TYPED, IDS_ENTER_DOMAINS,
                     nullptr);
  if (!g_ident.domainWritable) EnableIds(page, kDomainIds, 4, 0);
  if (!g_ident.hostedWritable) EnableIds(page, kHostedIds, 4, 0);
  if (!g_ident.limitWritable) EnableIds(page, kLimitIds, 4, 0);
  FillCombo(page, IDC_SI_LIMIT, kLimits, 7);
  ReadAgentValues(&g_ident.limit, kMessageLimit);
  SelectComboText(page, IDC_SI_LIMIT, FirstOfList(&g_ident.limit));
  g_ident.loading = 0;
  return TRUE;
}

void IdentCommand(HWND page, int id, int code) {
  if (g_ident.loading) return;
  if (((id == IDC_SI_DOMAIN_EDIT || id == IDC_SI_HOSTED_EDIT) && code == EN_UPDATE) ||
      (id == IDC_SI_LIMIT && code == CBN_SELCHANGE))
    MarkPageChanged(page);
}

INT_PTR IdentApply(HWND page) {
  if (g_ident.limitWritable) {
    char limit[kDSValueBytes];
    ComboSelection(page, IDC_SI_LIMIT, limit, sizeof limit);
    if (int r = WriteAgentText(&g_ident.limit, kMessageLimit, limit, kSyntaxCIString)) {
      ShowErrorAt(page, r, IDC_SI_LIMIT);
      return 0;
    }
  }
  StrList wanted = {};
  if (g_ident.domainWritable) {
    if (ReadValueControl(page, IDC_SI_DOMAIN_EDIT, &wanted) <= 0) {
      StrListFree(&wanted);
      RefuseWith(page, IDS_NEED_DOMAIN, IDS_MISSING_MANDATORY, IDC_SI_DOMAIN_EDIT);
      return 0;
    }
    int r = WriteAgentList(&g_ident.domains, kDomain, &wanted, kSyntaxCIString);
    if (r != 0) {
      StrListFree(&wanted);
      ShowErrorAt(page, r, IDC_SI_DOMAIN_EDIT);
      return 0;
    }
  }
  // A control that cannot be read leaves the hosted domains as they are.
  if (g_ident.hostedWritable && ReadValueControl(page, IDC_SI_HOSTED_EDIT, &wanted) >= 0) {
    int r = WriteAgentList(&g_ident.hosted, kHostedDomain, &wanted, kSyntaxCIString);
    if (r != 0) {
      StrListFree(&wanted);
      ShowErrorAt(page, r, IDC_SI_HOSTED_EDIT);
      return 0;
    }
  }
  StrListFree(&wanted);
  if (g_ident.domainWritable || g_ident.hostedWritable || g_ident.limitWritable) NotifyChanged();
  return 1;
}

// ---- "SMTPOptions" -----------------------------------------------------------------------

const char kRelayHost[] = "Quorvel:RelayHost";

// The five switches, in the order they are written. One right, on "Allow
// VRFY", governs them all.
struct Flag {
  int id;
  const char* attribute;
};
const Flag kFlags[] = {
    {IDC_SO_VERIFY, "Quorvel:SMTP Verify Address"},
    {IDC_SO_VRFY, "Quorvel:SMTP Allow VRFY"},
    {IDC_SO_EXPN, "Quorvel:SMTP Allow EXPN"},
    {IDC_SO_ACCEPT_ETRN, "Quorvel:SMTP Accept ETRN"},
    {IDC_SO_SEND_ETRN, "Quorvel:SMTP Send ETRN"},
};
enum { kFlagCount = 5, kRelayChars = 1024 };
const int kFlagIds[] = {IDC_SO_FLAGS_GROUP, IDC_SO_VRFY,       IDC_SO_EXPN,
                        IDC_SO_VERIFY,      IDC_SO_ACCEPT_ETRN, IDC_SO_SEND_ETRN};
const int kRelayIds[] = {IDC_SO_RELAY_GROUP, IDC_SO_USE_RELAY};

struct OptionsPage {
  StrList flags[kFlagCount], relay;  // as last read; freed when the page closes
  int flagsWritable, relayWritable;
  int loading;
};
OptionsPage g_options;

void OptionsFree() {
  for (StrList& list : g_options.flags) StrListFree(&list);
  StrListFree(&g_options.relay);
}

INT_PTR OptionsInit(HWND page) {
  OptionsFree();
  g_options.loading = 1;
  BeginPage(page);
  g_options.flagsWritable = CanWriteAgent("Quorvel:SMTP Allow VRFY");
  if (!g_options.flagsWritable) EnableIds(page, kFlagIds, 6, 0);
  for (int i = 0; i < kFlagCount; ++i) {
    ReadAgentValues(&g_options.flags[i], kFlags[i].attribute);
    SetChecked(page, kFlags[i].id, FirstOfList(&g_options.flags[i])[0] == '1');
  }
  g_options.relayWritable = CanWriteAgent(kRelayHost);
  if (!g_options.relayWritable) EnableIds(page, kRelayIds, 2, 0);
  EnableWindow(GetDlgItem(page, IDC_SO_RELAY), FALSE);
  LimitText(page, IDC_SO_RELAY, kRelayChars);
  ReadAgentValues(&g_options.relay, kRelayHost);
  const char* relay = FirstOfList(&g_options.relay);
  if (relay[0] != '\0' && relay[0] != ' ' && relay[0] != '\t') {
    SetChecked(page, IDC_SO_USE_RELAY, 1);
    SetDlgItemTextA(page, IDC_SO_RELAY, relay);
    EnableWindow(GetDlgItem(page, IDC_SO_RELAY), g_options.relayWritable);
  }
  g_options.loading = 0;
  return TRUE;
}

void OptionsCommand(HWND page, int id, int code) {
  if (g_options.loading) return;
  switch (id) {
    case IDC_SO_VRFY:
    case IDC_SO_EXPN:
    case IDC_SO_VERIFY:
    case IDC_SO_ACCEPT_ETRN:
    case IDC_SO_SEND_ETRN:
      if (code == BN_CLICKED) MarkPageChanged(page);
      return;
    case IDC_SO_RELAY:
      if (code == EN_UPDATE) MarkPageChanged(page);
      return;
    case IDC_SO_USE_RELAY:
      if (code != BN_CLICKED) return;
      EnableWindow(GetDlgItem(page, IDC_SO_RELAY),
                   Checked(page, IDC_SO_USE_RELAY) && g_options.relayWritable);
      MarkPageChanged(page);
      return;
  }
}

INT_PTR OptionsApply(HWND page) {
  if (g_options.flagsWritable) {
    for (int i = 0; i < kFlagCount; ++i) {
      const char* on = Checked(page, kFlags[i].id) ? "1" : "0";
      if (int r = WriteAgentText(&g_options.flags[i], kFlags[i].attribute, on, kSyntaxCIString)) {
        ShowErrorAt(page, r, kFlags[i].id);
        return 0;
      }
    }
  }
  if (g_options.relayWritable) {
    // Read with room for the longest stored value: one written by another
    // tool goes back whole, only typing stops at kRelayChars.
    char relay[kDSValueBytes] = "";
    if (Checked(page, IDC_SO_USE_RELAY)) DialogText(page, IDC_SO_RELAY, relay, sizeof relay);
    if (int r = WriteAgentText(&g_options.relay, kRelayHost, relay, kSyntaxCIString)) {
      ShowErrorAt(page, r, IDC_SO_USE_RELAY);
      return 0;
    }
  }
  if (g_options.flagsWritable || g_options.relayWritable) NotifyChanged();
  return 1;
}

// ---- "SMTPUBEConfiguration" --------------------------------------------------------------

enum { kUbeConfig, kAllowed, kBlocked, kRecipients, kRbl, kUbeCount };
const char* const kUbeAttributes[kUbeCount] = {"TARQ:UBE Configuration", "TARQ:Allowed Address",
                                               "TARQ:Blocked Address", "TARQ:Recipient Limit",
                                               "TARQ:RBL Host"};
enum { kRangeFieldChars = 1023 };

struct Bit {
  uint32_t bit;
  int id;
};
const Bit kBits[] = {
    {kUbeRequireAllowed, IDC_SU_REQUIRE_ALLOWED}, {kUbeDenyBlocked, IDC_SU_DENY_BLOCKED},
    {kUbeDenyNoDns, IDC_SU_DENY_NO_DNS},          {kUbeAuthenticatedOnly, IDC_SU_AUTHENTICATED},
    {kUbeCheckRbl, IDC_SU_CHECK_RBL},             {kUbeSmtpAfterPop, IDC_SU_AFTER_POP},
};

// The boxes a right to the configuration lets the user change: all six, so
// none can be ticked that the page could not write.
const int kConfigIds[] = {IDC_SU_FLAGS_GROUP, IDC_SU_DENY_BLOCKED, IDC_SU_REQUIRE_ALLOWED,
                          IDC_SU_DENY_NO_DNS, IDC_SU_AUTHENTICATED, IDC_SU_CHECK_RBL,
                          IDC_SU_AFTER_POP};
const int kAllowedIds[] = {IDC_SU_ALLOWED_GROUP, IDC_SU_ALLOWED_FROM, IDC_SU_ALLOWED_TO,
                           IDC_SU_ALLOWED_ADD,   IDC_SU_ALLOWED_LIST, IDC_SU_ALLOWED_DELETE};
const int kBlockedIds[] = {IDC_SU_BLOCKED_GROUP, IDC_SU_BLOCKED_FROM, IDC_SU_BLOCKED_TO,
                           IDC_SU_BLOCKED_ADD,   IDC_SU_BLOCKED_LIST, IDC_SU_BLOCKED_DELETE};
const int kRecipientIds[] = {IDC_SU_RECIPIENTS_LABEL, IDC_SU_RECIPIENTS};

// One range list with its fields and buttons.
struct RangeList {
  int group;  // kAllowed or kBlocked
  int from, to, add, list, remove;
};
const RangeList kRanges[] = {
    {kAllowed, IDC_SU_ALLOWED_FROM, IDC_SU_ALLOWED_TO, IDC_SU_ALLOWED_ADD, IDC_SU_ALLOWED_LIST,
     IDC_SU_ALLOWED_DELETE},
    {kBlocked, IDC_SU_BLOCKED_FROM, IDC_SU_BLOCKED_TO, IDC_SU_BLOCKED_ADD, IDC_SU_BLOCKED_LIST,
     IDC_SU_BLOCKED_DELETE},
};

struct UbePage {
  StrList values[kUbeCount];  // as last read; freed when the page closes
  int writable[kUbeCount];
  int loading;
};
UbePage g_ube;

void UbeFree() {
  for (StrList& list : g_ube.values) StrListFree(&list);
}

void EnableItem(HWND page, int id, int enable) { EnableWindow(GetDlgItem(page, id), enable); }

INT_PTR UbeInit(HWND page) {
  UbeFree();
  g_ube.loading = 1;
  BeginPage(page);
  for (int i = 0; i < kUbeCount; ++i) {
    g_ube.writable[i] = CanWriteAgent(kUbeAttributes[i]);
    ReadAgentValues(&g_ube.values[i], kUbeAttributes[i]);
  }
  if (!g_ube.writable[kUbeConfig]) EnableIds(page, kConfigIds, 7, 0);
  if (!g_ube.writable[kAllowed]) EnableIds(page, kAllowedIds, 6, 0);
  if (!g_ube.writable[kBlocked]) EnableIds(page, kBlockedIds, 6, 0);
  if (!g_ube.writable[kRbl]) EnableItem(page, IDC_SU_RBL_HOST, 0);
  if (!g_ube.writable[kRecipients]) EnableIds(page, kRecipientIds, 2, 0);
  for (const RangeList& r : kRanges) {
    EnableItem(page, r.add, 0);
    EnableItem(page, r.remove, 0);
    LimitText(page, r.from, kRangeFieldChars);
    LimitText(page, r.to, kRangeFieldChars);
    FillListBox(page, r.list, &g_ube.values[r.group]);
  }
  if (g_ube.values[kUbeConfig].count > 0) {
    uint32_t bits = ParseBits(FirstOfList(&g_ube.values[kUbeConfig]));
    for (const Bit& b : kBits) SetChecked(page, b.id, bits & b.bit);
    if (!(bits & kUbeCheckRbl)) EnableItem(page, IDC_SU_RBL_HOST, 0);
  }
  SetDlgItemTextA(page, IDC_SU_RECIPIENTS, FirstOfList(&g_ube.values[kRecipients]));
  SetDlgItemTextA(page, IDC_SU_RBL_HOST, FirstOfList(&g_ube.values[kRbl]));
  g_ube.loading = 0;
  return TRUE;
}

void AddRange(HWND page, const RangeList& r) {
  if (!HasText(page, r.from)) return;
  char from[kRangeFieldChars + 1], to[kRangeFieldChars + 1];
  DialogText(page, r.from, from, sizeof from);
  DialogText(page, r.to, to, sizeof to);
  if (!to[0]) CopyText(to, sizeof to, from);
  if (!IsRangeAddress(from) || !IsRangeAddress(to)) {
    RefuseWith(page, IDS_BAD_IP_ADDRESS, IDS_ERROR_CAPTION, 0);
  } else {
    char entry[2 * kRangeFieldChars + 2];
    FormatAddressRange(from, to, entry, sizeof entry);
    int added = AddListEntry(page, r.list, entry);
    if (added == kEntryListed) {
      // Said so, and the fields keep what was typed.
      RefuseWith(page, IDS_RANGE_LISTED, IDS_ERROR_CAPTION, r.from);
      return;
    }
    if (added) MarkPageChanged(page);
  }
  SetDlgItemTextA(page, r.from, "");
  SetDlgItemTextA(page, r.to, "");
  EnableItem(page, r.add, 0);
  FocusItem(page, r.from);
}

// The commands of one range list's controls; false when id is none of them.
bool RangeCommand(HWND page, const RangeList& r, int id, int code) {
  int writable = g_ube.writable[r.group];
  if (id == r.from) {
    if (code == EN_UPDATE) EnableItem(page, r.add, HasText(page, r.from) && writable);
  } else if (id == r.list) {
    if (code == LBN_SELCHANGE || code == LBN_SELCANCEL)
      EnableItem(page, r.remove, SelectedEntryCount(page, r.list) > 0 && writable);
  } else if (id == r.add) {
    if (code == BN_CLICKED) AddRange(page, r);
  } else if (id == r.remove) {
    if (code != BN_CLICKED) return true;
    RemoveSelectedEntries(page, r.list);
    MarkPageChanged(page);
    EnableItem(page, r.remove, 0);
    FocusItem(page, r.list);
  } else {
    return false;
  }
  return true;
}

void UbeCommand(HWND page, int id, int code) {
  if (g_ube.loading) return;
  for (const RangeList& r : kRanges)
    if (RangeCommand(page, r, id, code)) return;
  for (const Bit& b : kBits) {
    if (id != b.id || code != BN_CLICKED) continue;
    EnableItem(page, IDC_SU_RBL_HOST, Checked(page, IDC_SU_CHECK_RBL) && g_ube.writable[kRbl]);
    MarkPageChanged(page);
    return;
  }
  if ((id == IDC_SU_RECIPIENTS || id == IDC_SU_RBL_HOST) && code == EN_UPDATE)
    MarkPageChanged(page);
}

bool UbeWrite(HWND page, int group, const StrList* wanted, int focusId) {
  int r = WriteAgentList(&g_ube.values[group], kUbeAttributes[group], wanted, kSyntaxCIString);
  if (r == 0) return true;
  ShowErrorAt(page, r, focusId);
  return false;
}

bool UbeWriteText(HWND page, int group, int edit) {
  char text[kDSValueBytes];
  DialogText(page, edit, text, sizeof text);
  StrList wanted = {};
  StrListAdd(&wanted, text);
  bool ok = UbeWrite(page, group, &wanted, edit);
  StrListFree(&wanted);
  return ok;
}

bool UbeWriteList(HWND page, int group, int list) {
  StrList wanted = {};
  ListBoxValues(page, list, &wanted);
  bool ok = UbeWrite(page, group, &wanted, list);
  StrListFree(&wanted);
  return ok;
}

INT_PTR UbeApply(HWND page) {
  const int* w = g_ube.writable;
  if (w[kUbeConfig]) {
    uint32_t bits = 0;
    for (const Bit& b : kBits)
      if (Checked(page, b.id)) bits |= b.bit;
    char text[16];
    FormatBits(bits, text, sizeof text);
    StrList wanted = {};
    StrListAdd(&wanted, text);
    bool ok = UbeWrite(page, kUbeConfig, &wanted, IDC_SU_DENY_BLOCKED);
    StrListFree(&wanted);
    if (!ok) return 0;
  }
  if (w[kAllowed] && !UbeWriteList(page, kAllowed, IDC_SU_ALLOWED_LIST)) return 0;
  if (w[kBlocked] && !UbeWriteList(page, kBlocked, IDC_SU_BLOCKED_LIST)) return 0;
  if (w[kRecipients] && !UbeWriteText(page, kRecipients, IDC_SU_RECIPIENTS)) return 0;
  if (w[kRbl] && !UbeWriteText(page, kRbl, IDC_SU_RBL_HOST)) return 0;
  bool any = false;
  for (int i = 0; i < kUbeCount; ++i) any = any || w[i];
  if (any) NotifyChanged();
  return 1;
}

}  // namespace

extern "C" INT_PTR CALLBACK SMTPIdentificationDlgProc(HWND page, UINT message, WPARAM wParam,
                                                      LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return IdentInit(page);
    case WM_COMMAND: IdentCommand(page, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case QZX_PAGE_APPLY: return IdentApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpIdentification);
    case WM_CLOSE: IdentFree(); return FALSE;
  }
  return FALSE;
}

extern "C" INT_PTR CALLBACK SMTPOptionsDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OptionsInit(page);
    case WM_COMMAND: OptionsCommand(page, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case QZX_PAGE_APPLY: return OptionsApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpOptions);
    case WM_CLOSE: OptionsFree(); return FALSE;
  }
  return FALSE;
}

extern "C" INT_PTR CALLBACK SMTPUBEConfigurationDlgProc(HWND page, UINT message, WPARAM wParam,
                                                        LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return UbeInit(page);
    case WM_COMMAND: UbeCommand(page, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case QZX_PAGE_APPLY: return UbeApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpUbe);
    case WM_CLOSE: UbeFree(); return FALSE;
  }
  return FALSE;
}
