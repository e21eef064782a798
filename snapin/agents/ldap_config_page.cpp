// The address-book agent's "LDAPConfig" page: how often the address book
// is built ("Quorvel:Time Interval"), the LDAP lookup server and its port,
// and the automatic LDIF export ("Quorvel:LDAP Options").
#include <stdio.h>

#include "agent_codecs.h"
#include "agent_pages.h"
#include "agents_more_ids.h"
#include "agents_more_procs.h"
#include "agents_more_values.h"
#include "frame.h"

namespace {

const char kModule[] = "ABOOKAGT.QMD";
const char kInterval[] = "Quorvel:Time Interval";
const char kOptions[] = "Quorvel:LDAP Options";
const char kPort[] = "Quorvel:Port";
enum { kIntervalChars = 8191, kPortChars = kDSValueBytes - 1 };

// The port goes with the options: one right governs both.
const int kOptionIds[] = {IDC_LDC_LOOKUP, IDC_LDC_PORT, IDC_LDC_LDIF};

struct LdapPage {
  StrList interval, options, port;  // as last read or written; freed on close
  int intervalWritable, optionsWritable;
  int loading;
};
LdapPage g_ldap;

void FreePage() {
  StrListFree(&g_ldap.interval);
  StrListFree(&g_ldap.options);
  StrListFree(&g_ldap.port);
}

INT_PTR Init(HWND page) {
  FreePage();
  g_ldap.loading = 1;
  BeginPage(page);
  g_ldap.intervalWritable = CanWriteAgent(kInterval);
  g_ldap.optionsWritable = CanWriteAgent(kOptions);
  // What apply would not write is not offered for editing either.
  if (!g_ldap.intervalWritable) EnableWindow(GetDlgItem(page, IDC_LDC_INTERVAL), FALSE);
  if (!g_ldap.optionsWritable) EnableIds(page, kOptionIds, 3, 0);
  LimitText(page, IDC_LDC_INTERVAL, kIntervalChars);
  LimitText(page, IDC_LDC_PORT, kPortChars);

  ReadAgentValues(&g_ldap.interval, kInterval);
  ReadAgentValues(&g_ldap.options, kOptions);
  ReadAgentValues(&g_ldap.port, kPort);
  SetDlgItemTextA(page, IDC_LDC_INTERVAL,
                  g_ldap.interval.count > 0 ? FirstOfList(&g_ldap.interval) : "1");
  uint32_t bits = ParseBits(FirstOfList(&g_ldap.options));
  SetChecked(page, IDC_LDC_LOOKUP, (bits & kLdapLookupServer) != 0);
  SetChecked(page, IDC_LDC_LDIF, (bits & kLdapLdifExport) != 0);
  char port[16];
  FormatShownPort(FirstOfList(&g_ldap.port), port, sizeof port);
  SetDlgItemTextA(page, IDC_LDC_PORT, port);
  g_ldap.loading = 0;
  return TRUE;
}

void OnCommand(HWND page, int id, int code) {
  if (g_ldap.loading) return;
  if (((id == IDC_LDC_PORT || id == IDC_LDC_INTERVAL) && code == EN_CHANGE) ||
      id == IDC_LDC_LOOKUP || id == IDC_LDC_LDIF)
    MarkPageChanged(page);
}

bool WriteField(HWND page, StrList* old, const char* attribute, const char* text, int focusId) {
  int r = WriteAgentText(old, attribute, text, kSyntaxCIString);
  if (r == 0) return true;
  ShowErrorAt(page, r, focusId);
  return false;
}

INT_PTR Apply(HWND page) {
  if (g_ldap.intervalWritable) {
    static char interval[kIntervalChars + 1];
    DialogText(page, IDC_LDC_INTERVAL, interval, sizeof interval);
    if (!WriteField(page, &g_ldap.interval, kInterval, interval, IDC_LDC_INTERVAL)) return 0;
  }
  if (g_ldap.optionsWritable) {
    char text[kDSValueBytes];
    DialogText(page, IDC_LDC_PORT, text, sizeof text);
    if (!WriteField(page, &g_ldap.port, kPort, text, IDC_LDC_PORT)) return 0;
    uint32_t bits = (Checked(page, IDC_LDC_LOOKUP) ? kLdapLookupServer : 0) |
                    (Checked(page, IDC_LDC_LDIF) ? kLdapLdifExport : 0);
    FormatBits(bits, text, sizeof text);
    if (!WriteField(page, &g_ldap.options, kOptions, text, IDC_LDC_LOOKUP)) return 0;
  }
  NotifyConfigChange(g_snapin.currentObject, kModule, kNoticeChanged);
  return 1;
}

}  // namespace

extern "C" INT_PTR CALLBACK AddressBookConfigDlgProc(HWND page, UINT message, WPARAM wParam,
                                                     LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return Init(page);
    case WM_COMMAND: OnCommand(page, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case QZX_PAGE_APPLY: return Apply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, HELP_LDAP_CONFIG);
    case WM_CLOSE: FreePage(); return FALSE;
  }
  return FALSE;
}
