// What the snap-in adds to the directory's own "Organization" and
// "Organizational Unit" classes: one page, "Context", with the message store
// path and mail domain of the container's users. The path must lie on the
// file server of the messaging server that serves the container.
#include <string.h>

#include "agent_codecs.h"
#include "agent_pages.h"
#include "agents_more_ids.h"
#include "agents_more_procs.h"
#include "frame.h"
#include "tarq_ids.h"

namespace {

const char kMessageStore[] = "Quorvel:Message Store";
const char kDomain[] = "Quorvel:Domain";
const char kTemplate[] = "Context";
enum { kStoreChars = 1024 };

const int kStoreIds[] = {IDC_CTX_STORE, IDC_CTX_BROWSE_STORE};

struct ContextPage {
  // The container's values and the serving messaging server's "Quorvel:Host"
  // (empty when no server serves it); freed when the page closes.
  StrList store, domain, hosts;
  int storeWritable, domainWritable;
  int loading;
};
ContextPage g_context;

void FreePage() {
  StrListFree(&g_context.store);
  StrListFree(&g_context.domain);
  StrListFree(&g_context.hosts);
}

// The server whose "Quorvel:Context" names the container; a context stored
// from the root (".Sales.Acme") names it as well.
int FindServingHost(const char* container, StrList* hosts) {
  if (FindHostForContext(container, hosts)) return 1;
  if (container[0] == '.') return 0;
  char rooted[kBrowseChars + 2];
  rooted[0] = '.';
  if (!CopyText(rooted + 1, sizeof rooted - 1, container)) return 0;
  return FindHostForContext(rooted, hosts);
}

INT_PTR Init(HWND page) {
  FreePage();
  g_context.loading = 1;
  BeginPage(page);
  LimitText(page, IDC_CTX_STORE, kStoreChars);
  LimitText(page, IDC_CTX_DOMAIN, kDSValueBytes - 1);
  int served = FindServingHost(g_snapin.currentObject, &g_context.hosts) &&
               g_context.hosts.count > 0;
  if (!served) {
    const int ids[] = {IDC_CTX_BROWSE_STORE, IDC_CTX_STORE, IDC_CTX_DOMAIN};
    EnableIds(page, ids, 3, 0);
  }
  g_context.domainWritable = CanWriteAgent(kDomain);
  if (!g_context.domainWritable) EnableWindow(GetDlgItem(page, IDC_CTX_DOMAIN), FALSE);
  g_context.storeWritable = CanWriteAgent(kMessageStore);
  if (!g_context.storeWritable) EnableIds(page, kStoreIds, 2, 0);

  ReadAgentValues(&g_context.store, kMessageStore);
  ReadAgentValues(&g_context.domain, kDomain);
  SetDlgItemTextA(page, IDC_CTX_STORE, FirstOfList(&g_context.store));
  SetDlgItemTextA(page, IDC_CTX_DOMAIN, FirstOfList(&g_context.domain));
  g_context.loading = 0;
  return TRUE;
}

void OnCommand(HWND page, int id, int code) {
  if (g_context.loading) return;
  switch (id) {
    case IDC_CTX_STORE:
    case IDC_CTX_DOMAIN:
      if (code == EN_UPDATE) MarkPageChanged(page);
      return;
    case IDC_CTX_BROWSE_STORE: {
      if (code != BN_CLICKED) return;
      char container[kBrowseChars + 1];
      HostContainer(FirstOfList(&g_context.hosts), container, sizeof container);
      BrowsePageFolder(page, IDC_CTX_STORE, container, IDS_SELECT_STORE_PATH);
      return;
    }
  }
}

// An empty field removes the path without a check.
bool ApplyStore(HWND page) {
  // Room for the longest stored value: typing alone stops at kStoreChars.
  char path[kDSValueBytes], shortName[kBrowseChars + 1];
  DialogText(page, IDC_CTX_STORE, path, sizeof path);
  HostShortName(FirstOfList(&g_context.hosts), shortName, sizeof shortName);
  if (path[0] != '\0' && !PathOnHost(path, shortName)) {
    RefuseWith(page, IDS_PATH_NOT_ON_SERVER, IDS_BAD_PATH, IDC_CTX_STORE);
    return false;
  }
  int r = WriteAgentText(&g_context.store, kMessageStore, path, kSyntaxDistName);
  if (r == 0) return true;
  ShowErrorAt(page, r, IDC_CTX_STORE);
  return false;
}

// The field edits the first domain; any further ones stay as they are.
bool ApplyDomain(HWND page) {
  char domain[kDSValueBytes];
  DialogText(page, IDC_CTX_DOMAIN, domain, sizeof domain);
  StrList wanted = {};
  StrListAdd(&wanted, domain);
  for (int i = 1; i < g_context.domain.count; ++i) StrListAdd(&wanted, g_context.domain.items[i]);
  int r = WriteAgentList(&g_context.domain, kDomain, &wanted, kSyntaxCIString);
  StrListFree(&wanted);
  if (r == 0) return true;
  ShowErrorAt(page, r, IDC_CTX_DOMAIN);
  return false;
}

INT_PTR Apply(HWND page) {
  if (g_context.storeWritable && g_context.hosts.count > 0 && !ApplyStore(page)) return 0;
  if (g_context.domainWritable && !ApplyDomain(page)) return 0;
  return 1;
}

}  // namespace

extern "C" INT_PTR CALLBACK ContextDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return Init(page);
    case WM_COMMAND: OnCommand(page, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case QZX_PAGE_APPLY: return Apply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, HELP_CONTAINER_OPTIONS);
    case WM_CLOSE: FreePage(); return FALSE;
  }
  return FALSE;
}

// The directory's own classes keep their icons and flags: only opening and
// the one page are answered.
extern "C" int32_t QZXAPI ContainerObjProc(const char* name, uint32_t message, intptr_t param3,
                                           intptr_t param4) {
  switch (message) {
    case QZX_MSG_OPEN: OpenObject(name); return 1;
    case QZX_MSG_PAGE:
      if (param3 != 0) return -1;
      return HandOutPage(param3, param4, ContextDlgProc, kTemplate, IDS_CONTAINER_TITLE_OPTIONS);
  }
  return 0;
}
