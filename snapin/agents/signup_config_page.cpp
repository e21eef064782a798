// The signup agent's "SignupConfig" page: its mode, redirect address,
// features ("Quorvel:Configuration") and its two ports.
#include <string.h>

#include "agent_pages.h"
#include "agents_more_procs.h"
#include "agents_more_ids.h"
#include "agents_more_values.h"
#include "frame.h"

namespace {

const char kModule[] = "SIGNUAGT.QMD";
const char kPort[] = "Quorvel:Port";
const char kSslPort[] = "Quorvel:SSL Port";
const char kConfiguration[] = "Quorvel:Configuration";
enum { kPortChars = kDSValueBytes - 1 };

const int kPortIds[] = {IDC_SGN_HTTP_PORT, IDC_SGN_SSL_PORT, IDC_SGN_HTTP_LABEL,
                        IDC_SGN_SSL_LABEL};
const int kConfigIds[] = {IDC_SGN_SIGNUP,    IDC_SGN_BUSY_REDIRECT, IDC_SGN_REDIRECT_ONLY,
                          IDC_SGN_URL,       IDC_SGN_URL_LABEL,     IDC_SGN_WELCOME,
                          IDC_SGN_STATISTICS, IDC_SGN_GUI};

// The features' boxes, in the order of their bits.
struct Feature {
  int id;
  int SignupConfig::*field;
};
const Feature kFeatures[] = {
    {IDC_SGN_GUI, &SignupConfig::gui},
    {IDC_SGN_STATISTICS, &SignupConfig::statistics},
    {IDC_SGN_WELCOME, &SignupConfig::welcome},
};

struct SignupPage {
  // The values as last read or written; freed when the page closes (a
  // sheet's Apply keeps the page open, so they outlive an apply).
  StrList port, sslPort, configuration;
  int portsWritable, configWritable;
  int loading;
};
SignupPage g_signup;

void FreePage() {
  StrListFree(&g_signup.port);
  StrListFree(&g_signup.sslPort);
  StrListFree(&g_signup.configuration);
}

int ModeControl(SignupMode mode) {
  if (mode == kSignupRedirectOnlyMode) return IDC_SGN_REDIRECT_ONLY;
  if (mode == kSignupBusyRedirectMode) return IDC_SGN_BUSY_REDIRECT;
  return IDC_SGN_SIGNUP;
}

INT_PTR Init(HWND page) {
  FreePage();
  g_signup.loading = 1;
  BeginPage(page);
  g_signup.portsWritable = CanWriteAgent(kPort);
  g_signup.configWritable = CanWriteAgent(kConfiguration);
  if (!g_signup.portsWritable) EnableIds(page, kPortIds, 4, 0);
  if (!g_signup.configWritable) EnableIds(page, kConfigIds, 8, 0);
  LimitText(page, IDC_SGN_HTTP_PORT, kPortChars);
  LimitText(page, IDC_SGN_SSL_PORT, kPortChars);
  LimitText(page, IDC_SGN_URL, kSignupUrlChars);

  ReadAgentValues(&g_signup.port, kPort);
  ReadAgentValues(&g_signup.sslPort, kSslPort);
  ReadAgentValues(&g_signup.configuration, kConfiguration);
  SetDlgItemTextA(page, IDC_SGN_HTTP_PORT, FirstOfList(&g_signup.port));
  SetDlgItemTextA(page, IDC_SGN_SSL_PORT, FirstOfList(&g_signup.sslPort));

  SignupConfig config;
  ParseSignupConfig(&g_signup.configuration, &config);
  CheckRadioButton(page, IDC_SGN_SIGNUP, IDC_SGN_REDIRECT_ONLY, ModeControl(config.mode));
  for (const Feature& f : kFeatures) SetChecked(page, f.id, config.*f.field);
  SetDlgItemTextA(page, IDC_SGN_URL, config.url);
  g_signup.loading = 0;
  return TRUE;
}

void OnCommand(HWND page, int id, int code) {
  if (g_signup.loading) return;
  switch (id) {
    case IDC_SGN_HTTP_PORT:
    case IDC_SGN_SSL_PORT:
    case IDC_SGN_URL:
      if (code == EN_UPDATE) MarkPageChanged(page);
      return;
    case IDC_SGN_SIGNUP:
    case IDC_SGN_BUSY_REDIRECT:
    case IDC_SGN_REDIRECT_ONLY:
      if (code == BN_CLICKED) MarkPageChanged(page);
      return;
  }
}

bool WriteField(HWND page, StrList* old, const char* attribute, int id) {
  char text[kDSValueBytes];
  DialogText(page, id, text, sizeof text);
  int r = WriteAgentText(old, attribute, text, kSyntaxCIString);
  if (r == 0) return true;
  ShowErrorAt(page, r, id);
  return false;
}

// The page's two values replace every value stored: other kinds go.
bool WriteConfiguration(HWND page) {
  SignupConfig config = {};
  if (Checked(page, IDC_SGN_REDIRECT_ONLY))
    config.mode = kSignupRedirectOnlyMode;
  else if (Checked(page, IDC_SGN_BUSY_REDIRECT))
    config.mode = kSignupBusyRedirectMode;
  for (const Feature& f : kFeatures) config.*f.field = Checked(page, f.id);
  DialogText(page, IDC_SGN_URL, config.url, sizeof config.url);

  char behaviour[32], url[kSignupUrlChars + 8];
  FormatSignupBehaviour(config, behaviour, sizeof behaviour);
  FormatSignupUrl(config.url, url, sizeof url);
  StrList wanted = {};
  StrListAdd(&wanted, behaviour);
  StrListAdd(&wanted, url);
  int r = WriteAgentList(&g_signup.configuration, kConfiguration, &wanted, kSyntaxCIString);
  StrListFree(&wanted);
  if (r == 0) return true;
  ShowErrorAt(page, r, IDC_SGN_URL);
  return false;
}

INT_PTR Apply(HWND page) {
  if (g_signup.portsWritable) {
    if (!WriteField(page, &g_signup.port, kPort, IDC_SGN_HTTP_PORT)) return 0;
    if (!WriteField(page, &g_signup.sslPort, kSslPort, IDC_SGN_SSL_PORT)) return 0;
  }
  if (g_signup.configWritable && !WriteConfiguration(page)) return 0;
  if (g_signup.portsWritable || g_signup.configWritable)
    NotifyConfigChange(g_snapin.currentObject, kModule, kNoticeChanged);
  return 1;
}

}  // namespace

extern "C" INT_PTR CALLBACK SignupConfigDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return Init(page);
    case WM_COMMAND: OnCommand(page, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case QZX_PAGE_APPLY: return Apply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, HELP_SIGNUP_CONFIG);
    case WM_CLOSE: FreePage(); return FALSE;
  }
  return FALSE;
}
