// Puts one of the web-mail agent's pages or the connection manager's page on
// screen in a property sheet, as the host shows it, for pictures (the
// directory and identity come from ZELM_DIRECTORY and ZELM_IDENTITY):
//   web_shots OBJECT TEMPLATE
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <stdio.h>
#include <string.h>

#include "frame.h"
#include "webmail_pages.h"

namespace {

struct Shown {
  const char* templateName;
  const char* module;
  DLGPROC procedure;
};
const Shown kPages[] = {
    {"WebMailIdent", "WEBAGENT.QMD", WebMailIdentDlgProc},
    {"WebMailConfig", "WEBAGENT.QMD", WebMailConfigDlgProc},
    {"WebMailAppearance", "WEBAGENT.QMD", WebMailAppearanceDlgProc},
    {"WebMailAddrBook", "WEBAGENT.QMD", WebMailAddrBookDlgProc},
    {"ConnManagerConfig", "CONNAGNT.QMD", ConnMgrConfigDlgProc},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: web_shots OBJECT TEMPLATE\n");
    return 2;
  }
  const Shown* shown = nullptr;
  for (const Shown& s : kPages)
    if (strcmp(s.templateName, argv[2]) == 0) shown = &s;
  if (!shown) {
    fprintf(stderr, "web_shots: no page %s\n", argv[2]);
    return 2;
  }
  InitCommonControls();
  g_snapin.instance = GetModuleHandleA(nullptr);
  g_snapin.resources = g_snapin.instance;
  OpenObject(argv[1]);
  SetCurrentModule(shown->module);

  char caption[600];
  snprintf(caption, sizeof caption, "%s", argv[1]);
  PROPSHEETPAGEA page = {};
  page.dwSize = sizeof page;
  page.hInstance = g_snapin.instance;
  page.pszTemplate = shown->templateName;
  page.pfnDlgProc = shown->procedure;
  PROPSHEETHEADERA sheet = {};
  sheet.dwSize = sizeof sheet;
  sheet.dwFlags = PSH_PROPSHEETPAGE | PSH_PROPTITLE | PSH_NOAPPLYNOW;
  sheet.pszCaption = caption;
  sheet.nPages = 1;
  sheet.ppsp = &page;
  return static_cast<int>(PropertySheetA(&sheet));
}
