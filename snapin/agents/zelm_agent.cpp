// The store agent ("Quorvel:ZELM Agent"): its object procedure with the
// deletion check, and "CreateZELM", which also makes the messaging server
// serve the container typed.
#include <string.h>

#include "agent_class.h"
#include "agent_codecs.h"
#include "agent_pages.h"
#include "agent_procs.h"
#include "frame.h"
#include "server_procs.h"
#include "tarq_ids.h"

namespace {

const char kModule[] = "STORAGNT.QMD";
enum { kPathChars = 1027 };

const PageSpec kZELMPages[] = {
    {ZELMQueueDlgProc, "ZELMQueue", IDS_ZELM_TITLE_PARAMETERS},
    {ZELMContextDlgProc, "ZELMContext", IDS_ZELM_TITLE_CONTEXT},
    {ZELMQuotaDlgProc, "ZELMQuota", IDS_ZELM_TITLE_QUOTA},
    {ZELMSCMSDlgProc, "ZELMSCMS", IDS_ZELM_TITLE_SCMS},
    {StatusDlgProc, "Status", IDS_TITLE_STATUS},
    {ZELMTrustedHostsDlgProc, "ZELMTrustedHosts", IDS_ZELM_TITLE_TRUSTED_HOSTS},
    {ZELMClientsDlgProc, "ZELMClients", IDS_ZELM_TITLE_CLIENTS},
};

const AgentClass kZELMAgent = {
    kClassZELM, "ZELM Agent", kModule, kSyntaxDistName, kCreateWithDialog, "CreateZELM",
    CreateZELMDlgProc, 18, nullptr, 0, 1, AGENT_PAGES(kZELMPages), 0, 0};

// ---- deletion ---------------------------------------------------------------------

// "ZELMClientsFound": the agents that still name the store agent. The
// parameter is the list of their names.
INT_PTR CALLBACK ClientsFoundProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      FillListBox(dialog, IDC_ZL_LIST, reinterpret_cast<const StrList*>(lParam));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDOK);
      return TRUE;
  }
  return FALSE;
}

int32_t Delete(const char* name) {
  StrList clients = {};
  DSReadValues(&clients, "[Root]", name, "Quorvel:Client");
  if (clients.count > 0) {
    DialogBoxParamA(ResourceModule(), "ZELMClientsFound", HostWindow(), ClientsFoundProc,
                    reinterpret_cast<LPARAM>(&clients));
    StrListFree(&clients);
    return -1;  // the agent stays while others depend on it
  }
  NotifyConfigChange(name, kModule, kNoticeDeleted);
  return 0;
}

// ---- "CreateZELM" --------------------------------------------------------------------

void EnableCreate(HWND dialog) {
  EnableWindow(GetDlgItem(dialog, IDOK), HasText(dialog, IDC_CZ_PATH) && HasText(dialog, IDC_AGC_STORE));
}

INT_PTR OnInit(HWND dialog, const char* server) {
  BeginCreateDialog(dialog, kZELMAgent, server);
  DSReadValues(&g_create.contexts, g_create.container, g_create.server, "Quorvel:Context");
  LimitText(dialog, IDC_CZ_PATH, kPathChars);
  EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
  return TRUE;
}

// The agent first (once: after a failed context write it exists already),
// then the server's whole context list becomes the one container typed.
void OnCreate(HWND dialog) {
  char path[kPathChars + 1], context[kStoreFieldChars + 1];
  DialogText(dialog, IDC_CZ_PATH, path, sizeof path);
  DialogText(dialog, IDC_AGC_STORE, context, sizeof context);
  if (!path[0] || !context[0]) return;  // "&Create" is off then
  if (g_create.hosts.count > 0) {
    char shortName[kBrowseChars + 1];
    HostShortName(FirstOfList(&g_create.hosts), shortName, sizeof shortName);
    if (!PathOnHost(path, shortName)) {
      RefuseWith(dialog, IDS_PATH_NOT_ON_SERVER, IDS_BAD_PATH, IDC_CZ_PATH);
      return;
    }
  }
  char fullName[kBrowseChars + 1];
  AgentNameFor(kZELMAgent, g_create.server, fullName, sizeof fullName);
  if (!g_create.added) {
    char quotaMessage[kDSValueBytes];
    LoadResourceText(IDS_DEFAULT_QUOTA_MESSAGE, quotaMessage, sizeof quotaMessage);
    const DSAttribute attributes[] = {
        {"Quorvel:Module Name", kSyntaxDistName, kModule, nullptr},
        {"Quorvel:Module Version", kSyntaxDistName, "1", nullptr},
        {"Quorvel:Queue Timeout", kSyntaxCIString, "5", nullptr},
        {"Quorvel:Queue Interval", kSyntaxCIString, "30", nullptr},
        {"Quorvel:Minimum Free Space", kSyntaxCIString, "2048", nullptr},
        {"Quorvel:SCMS User Threshold", kSyntaxCIString, "2", nullptr},
        {"Quorvel:SCMS Size Threshold", kSyntaxCIString, "2", nullptr},
        {"Quorvel:Quota Message", kSyntaxCIString, quotaMessage, nullptr},
        {"Quorvel:Message Store", kSyntaxDistName, path, nullptr},
    };
    int r = DSAddObject(fullName, ClassInfoOf(kClassZELM).className, attributes,
                        static_cast<int>(sizeof attributes / sizeof attributes[0]));
    if (r != 0) {
      DSShowError(dialog, r);
      EndDialog(dialog, QZX_CREATE_CANCELLED);
      return;
    }
    g_create.added = 1;
    SetBrowseText(fullName);
  }
  StrList wanted = {};
  StrListAdd(&wanted, context);
  int r = DSReplaceValues(&g_create.contexts, &wanted, g_create.container, g_create.server,
                          "Quorvel:Context", kSyntaxDistName);
  StrListFree(&wanted);
  if (r != 0) {
    ShowErrorAt(dialog, r, IDC_AGC_STORE);
    return;
  }
  EndDialog(dialog, Checked(dialog, IDC_AGC_MORE_PAGES) ? QZX_CREATE_OPEN_PAGES : QZX_CREATE_DONE);
}

void OnCommand(HWND dialog, int id, int code) {
  switch (id) {
    case IDC_CZ_PATH:
    case IDC_AGC_STORE:
      if (code == EN_UPDATE) EnableCreate(dialog);
      return;
    case IDC_CZ_BROWSE_PATH:
      BrowseFolderInto(dialog, IDC_CZ_PATH, BrowseStart(), IDS_SELECT_STORE_PATH);
      EnableCreate(dialog);
      return;
    case IDC_AGC_BROWSE:
      BrowseDirectoryInto(dialog, IDC_AGC_STORE, kBrowseContainer, BrowseStart(),
                          IDS_SELECT_CONTEXTS);
      EnableCreate(dialog);
      return;
    case IDOK: OnCreate(dialog); return;
    // Once the agent exists, leaving still hands it to the host (and the
    // server hears of it): it is there whatever became of the contexts.
    case IDCANCEL: EndDialog(dialog, g_create.added ? QZX_CREATE_DONE : QZX_CREATE_CANCELLED); return;
    case IDC_AGC_HELP: ShowCreateHelp(dialog); return;
  }
}

}  // namespace

extern "C" INT_PTR CALLBACK CreateZELMDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(dialog, reinterpret_cast<const char*>(lParam));
    case WM_COMMAND: OnCommand(dialog, LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_DESTROY: EndCreateDialogState(); return FALSE;
  }
  return FALSE;
}

extern "C" int32_t QZXAPI ZELMObjProc(const char* name, uint32_t message, intptr_t param3,
                                      intptr_t param4) {
  if (message == QZX_MSG_DELETE) return Delete(name);
  return AnswerAgent(kZELMAgent, name, message, param3, param4);
}
