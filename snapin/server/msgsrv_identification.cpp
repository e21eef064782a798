// "MsgSrvIdentification": the messaging server's host server, postmaster,
// official domain, work directory, DNS resolvers, connection manager and
// distributed-processing switch.
#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include "frame.h"
#include "msgsrv_object.h"
#include "page_support.h"
#include "tarq_ids.h"
#include "server_procs.h"

namespace {

const char kResolvers[] = "Quorvel:Resolver";
const char kPostmaster[] = "Quorvel:Postmaster";
const char kOfficialName[] = "Quorvel:Official Name";
const char kWorkDirectory[] = "Quorvel:Work Directory";
const char kStandalone[] = "Quorvel:Server Standalone";
const char kConnMgr[] = "TARQ:ConnMgr";
const char kConnMgrConfig[] = "TARQ:ConnMgr Config";

// Module-wide: one page set is open at a time. The lists hold the values as
// stored (read at initialisation, read again after each write) and are
// freed when the page closes.
struct IdentificationPage {
  StrList host, postmaster, official, workDirectory, connMgr, connMgrConfig, standalone;
  StrList resolvers;  // backs the resolver control (kind 4); filled through MvedProc
  int canHost, canResolvers, canPostmaster, canOfficial, canWorkDirectory, canConnMgr,
      canStandalone;
  int loading;  // filling the controls is no change of the user's
};
IdentificationPage g_page;

// The controls each write right governs.
const int kHostControls[] = {IDC_MSI_HOST, IDC_MSI_HOST_LABEL, IDC_MSI_BROWSE_HOST};
const int kResolverControls[] = {IDC_MSI_RESOLVER_LABEL, IDC_MSI_RESOLVER_EDIT,
                                 IDC_MSI_RESOLVER_SPIN, IDC_MSI_RESOLVER_LIST};
const int kOfficialControls[] = {IDC_MSI_OFFICIAL, IDC_MSI_OFFICIAL_LABEL};
const int kPostmasterControls[] = {IDC_MSI_POSTMASTER, IDC_MSI_POSTMASTER_LABEL,
                                   IDC_MSI_BROWSE_POSTMASTER};
const int kWorkDirectoryControls[] = {IDC_MSI_WORKDIR_LABEL, IDC_MSI_WORKDIR,
                                      IDC_MSI_BROWSE_WORKDIR};
const int kConnMgrControls[] = {IDC_MSI_USE_CONNMGR, IDC_MSI_CONNMGR, IDC_MSI_BROWSE_CONNMGR};
const int kStandaloneControls[] = {IDC_MSI_STANDALONE};

#define ENABLE_IF(page, right, ids) \
  EnableControls(page, ids, static_cast<int>(sizeof ids / sizeof ids[0]), right)

void FreeLists() {
  StrList* lists[] = {&g_page.host,          &g_page.postmaster, &g_page.official,
                      &g_page.workDirectory, &g_page.connMgr,    &g_page.connMgrConfig,
                      &g_page.standalone,    &g_page.resolvers};
  for (StrList* l : lists) StrListFree(l);
}

void Check(HWND page, int id, int on) { CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED); }
bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

INT_PTR OnInit(HWND page) {
  FreeLists();
  g_page.loading = 1;
  BeginPage(page);
  g_page.canResolvers = CanWriteOwn(kResolvers);
  g_page.canHost = CanWriteOwn(kHostAttribute);
  g_page.canPostmaster = CanWriteOwn(kPostmaster);
  g_page.canOfficial = CanWriteOwn(kOfficialName);
  g_page.canWorkDirectory = CanWriteOwn(kWorkDirectory);
  g_page.canStandalone = CanWriteOwn(kStandalone);
  g_page.canConnMgr = CanWriteOwn(kConnMgr);

  // No value the directory would take is longer.
  const int fields[] = {IDC_MSI_HOST, IDC_MSI_POSTMASTER, IDC_MSI_OFFICIAL, IDC_MSI_WORKDIR,
                        IDC_MSI_CONNMGR};
  for (int id : fields) SendDlgItemMessageA(page, id, EM_LIMITTEXT, kFieldChars, 0);
  CreateValueControl(page, &g_page.resolvers, kMvedResolvers, IDC_MSI_RESOLVER_EDIT,
                     IDC_MSI_RESOLVER_SPIN, IDC_MSI_RESOLVER_LIST, QZX_MVED_TYPED,
                     IDS_ENTER_RESOLVERS, nullptr);
  ENABLE_IF(page, g_page.canResolvers, kResolverControls);
  ENABLE_IF(page, g_page.canHost, kHostControls);
  ENABLE_IF(page, g_page.canOfficial, kOfficialControls);
  ENABLE_IF(page, g_page.canPostmaster, kPostmasterControls);
  ENABLE_IF(page, g_page.canWorkDirectory, kWorkDirectoryControls);
  ENABLE_IF(page, g_page.canConnMgr, kConnMgrControls);
  ENABLE_IF(page, g_page.canStandalone, kStandaloneControls);

  ReadOwnValues(&g_page.host, kHostAttribute);
  ReadOwnValues(&g_page.postmaster, kPostmaster);
  ReadOwnValues(&g_page.official, kOfficialName);
  ReadOwnValues(&g_page.workDirectory, kWorkDirectory);
  ReadOwnValues(&g_page.connMgr, kConnMgr);
  ReadOwnValues(&g_page.connMgrConfig, kConnMgrConfig);
  ReadOwnValues(&g_page.standalone, kStandalone);
  SetDlgItemTextA(page, IDC_MSI_HOST, FirstValue(&g_page.host));
  SetDlgItemTextA(page, IDC_MSI_POSTMASTER, FirstValue(&g_page.postmaster));
  SetDlgItemTextA(page, IDC_MSI_OFFICIAL, FirstValue(&g_page.official));
  SetDlgItemTextA(page, IDC_MSI_WORKDIR, FirstValue(&g_page.workDirectory));
  SetDlgItemTextA(page, IDC_MSI_CONNMGR, FirstValue(&g_page.connMgr));
  Check(page, IDC_MSI_USE_CONNMGR, FlagIsOn(&g_page.connMgrConfig));
  Check(page, IDC_MSI_STANDALONE, FlagIsOn(&g_page.standalone));
  g_page.loading = 0;
  return TRUE;
}

// The work directory lies on the host's file system: the browser opens on
// the file servers of the host's container.
void BrowseWorkDirectory(HWND page) {
  char host[kFieldChars + 1];
  CopyText(host, sizeof host, FirstValue(&g_page.host));
  if (!host[0]) ControlText(page, IDC_MSI_HOST, host, sizeof host);
  const char* dot = strchr(host, '.');
  BrowsePageFolder(page, IDC_MSI_WORKDIR, dot ? dot + 1 : host, IDS_SELECT_WORK_DIRECTORY);
}

INT_PTR OnCommand(HWND page, int id, int code) {
  switch (id) {
    case IDC_MSI_HOST:
    case IDC_MSI_POSTMASTER:
    case IDC_MSI_OFFICIAL:
    case IDC_MSI_WORKDIR:
      if (code == EN_CHANGE && !g_page.loading) MarkPageChanged(page);
      return TRUE;
    case IDC_MSI_STANDALONE:
      if (code == BN_CLICKED) MarkPageChanged(page);
      return TRUE;
    case IDC_MSI_BROWSE_HOST:
      BrowsePageField(page, IDC_MSI_HOST, kBrowseHostServer, ".", IDS_SELECT_HOST_SERVER);
      return TRUE;
    case IDC_MSI_BROWSE_POSTMASTER:
      BrowsePageField(page, IDC_MSI_POSTMASTER, kBrowseUser, ".", IDS_SELECT_POSTMASTER);
      return TRUE;
    case IDC_MSI_BROWSE_CONNMGR:
      BrowsePageField(page, IDC_MSI_CONNMGR, kBrowseConnMgr, ".", IDS_SELECT_CONNMGR);
      return TRUE;
    case IDC_MSI_BROWSE_WORKDIR: BrowseWorkDirectory(page); return TRUE;
  }
  return FALSE;
}

// ---- apply, one step per attribute, in the order the server expects --------

int ApplyHost(HWND page) {
  if (!g_page.canHost) return 1;
  char text[kFieldChars + 1], before[kFieldChars + 1];
  if (!ControlText(page, IDC_MSI_HOST, text, sizeof text)[0]) {
    ShowPageMessage(page, IDS_HOST_REQUIRED, IDS_MISSING_MANDATORY, MB_ICONERROR, IDC_MSI_HOST);
    return 0;
  }
  CopyText(before, sizeof before, FirstValue(&g_page.host));
  if (int r = WriteOwnValue(&g_page.host, kHostAttribute, text, kSyntaxDistName)) {
    ShowWriteError(page, r, IDC_MSI_HOST);
    return 0;
  }
  if (SameObject(before, text)) return 1;
  if (int r = SetHostBackReference(text, g_snapin.currentObject)) DSShowError(page, r);
  // Left in place, the old host would go on naming this server and refuse
  // every new messaging server ("ServerExists").
  if (before[0])
    if (int r = ClearHostBackReference(before, g_snapin.currentObject)) DSShowError(page, r);
  return 1;
}

int ApplyResolvers(HWND page) {
  if (!g_page.canResolvers) return 1;
  StrList wanted = {};
  // Without a working control nothing is known of the values: leave them.
  if (ReadValueControl(page, IDC_MSI_RESOLVER_EDIT, &wanted) < 0) return 1;
  if (wanted.count == 0)
    ShowPageMessage(page, IDS_NO_RESOLVER, IDS_RESOLVER_CAPTION, MB_ICONWARNING,
                    IDC_MSI_RESOLVER_EDIT);
  int r = WriteOwnValues(&g_page.resolvers, kResolvers, &wanted, kSyntaxCIString);
  StrListFree(&wanted);
  if (r != 0) ShowWriteError(page, r, IDC_MSI_RESOLVER_EDIT);
  return r == 0;
}

// Whether path begins with the host server's own name: the first host value
// up to its first "." (a leading "." only says the name is taken from the
// root). Without a host value there is nothing to hold the path to.
bool OnHostServer(const char* path) {
  StrList hosts = {};
  ReadOwnValues(&hosts, kHostAttribute);
  const char* host = FirstValue(&hosts);
  if (*host == '.') ++host;
  size_t length = strcspn(host, ".");
  bool ok = true;
  for (size_t i = 0; i < length && ok; ++i)
    ok = tolower(static_cast<unsigned char>(path[i])) == tolower(static_cast<unsigned char>(host[i]));
  StrListFree(&hosts);
  return ok;
}

int ApplyWorkDirectory(HWND page) {
  if (!g_page.canWorkDirectory) return 1;
  char text[kFieldChars + 1];
  ControlText(page, IDC_MSI_WORKDIR, text, sizeof text);
  if (!OnHostServer(text)) {
    ShowPageMessage(page, IDS_PATH_NOT_ON_SERVER, IDS_BAD_PATH, MB_ICONERROR, IDC_MSI_WORKDIR);
    return 0;
  }
  if (int r = WriteOwnValue(&g_page.workDirectory, kWorkDirectory, text, kSyntaxCIString)) {
    ShowWriteError(page, r, IDC_MSI_WORKDIR);
    return 0;
  }
  return 1;
}

int ApplyPostmaster(HWND page) {
  if (!g_page.canPostmaster) return 1;
  char text[kFieldChars + 1];
  if (!ControlText(page, IDC_MSI_POSTMASTER, text, sizeof text)[0]) {
    ShowPageMessage(page, IDS_POSTMASTER_REQUIRED, IDS_MISSING_MANDATORY, MB_ICONERROR,
                    IDC_MSI_POSTMASTER);
    return 0;
  }
  if (int r = WriteOwnValue(&g_page.postmaster, kPostmaster, text, kSyntaxDistName)) {
    ShowWriteError(page, r, IDC_MSI_POSTMASTER);
    return 0;
  }
  return 1;
}

int ApplyOfficialName(HWND page) {
  if (!g_page.canOfficial) return 1;
  char text[kFieldChars + 1];
  ControlText(page, IDC_MSI_OFFICIAL, text, sizeof text);
  if (int r = WriteOwnValue(&g_page.official, kOfficialName, text, kSyntaxCIString)) {
    ShowWriteError(page, r, IDC_MSI_OFFICIAL);
    return 0;
  }
  return 1;
}

int ApplyConnMgr(HWND page) {
  if (!g_page.canConnMgr) return 1;
  if (int r = WriteOwnFlag(&g_page.connMgrConfig, kConnMgrConfig, Checked(page, IDC_MSI_USE_CONNMGR))) {
    ShowWriteError(page, r, IDC_MSI_USE_CONNMGR);
    return 0;
  }
  char text[kFieldChars + 1];
  ControlText(page, IDC_MSI_CONNMGR, text, sizeof text);
  if (int r = WriteOwnValue(&g_page.connMgr, kConnMgr, text, kSyntaxDistName)) {
    ShowWriteError(page, r, IDC_MSI_CONNMGR);
    return 0;
  }
  return 1;
}

int ApplyStandalone(HWND page) {
  if (!g_page.canStandalone) return 1;
  if (int r = WriteOwnFlag(&g_page.standalone, kStandalone, Checked(page, IDC_MSI_STANDALONE))) {
    ShowWriteError(page, r, IDC_MSI_STANDALONE);
    return 0;
  }
  return 1;
}

// Each step writes only what its right allows; the first refusal or error
// stops the apply with what was written before it kept.
INT_PTR OnApply(HWND page) {
  return ApplyHost(page) && ApplyResolvers(page) && ApplyWorkDirectory(page) &&
         ApplyPostmaster(page) && ApplyOfficialName(page) && ApplyConnMgr(page) &&
         ApplyStandalone(page);
}

}  // namespace

extern "C" INT_PTR CALLBACK MessagingServerIdentificationDlgProc(HWND page, UINT message,
                                                                 WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(page);
    case WM_COMMAND: return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
    case QZX_PAGE_APPLY: return OnApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpIdentification);
    case WM_CLOSE: FreeLists(); return FALSE;
  }
  return FALSE;
}
