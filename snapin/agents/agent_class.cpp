#include "agent_class.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "agent_codecs.h"
#include "agent_pages.h"
#include "frame.h"
#include "server_procs.h"
#include "tarq_ids.h"

CreateDialogState g_create;

namespace {

const char kDefaultStoreAgent[] = "ZELM Agent";
const char kClients[] = "Quorvel:Client";
const UINT kHelpContextCommand = 1;  // HELP_CONTEXT

// Two names of one object: equal ignoring letter case and a leading "."
// (a name written from the root).
int SameObjectName(const char* a, const char* b) {
  if (*a == '.') ++a;
  if (*b == '.') ++b;
  return SameText(a, b);
}

// Adds the object straight away: class, module, version and the initial
// values. The host learns the name; the server is told.
int32_t CreateDirectly(const AgentClass& agent, const char* fullName, intptr_t hostBuffer) {
  int r = AddAgentObject(agent, fullName, "");
  if (r != 0) {
    DSShowError(HostWindow(), r);
    return QZX_CREATE_CANCELLED;
  }
  SetBrowseText(fullName);
  HandBackNewObject(hostBuffer);
  NotifyConfigChange(fullName, agent.moduleFile, kNoticeCreated);
  return QZX_CREATE_DONE;
}

}  // namespace

int AgentNameFor(const AgentClass& agent, const char* server, char* out, size_t capacity) {
  int n = snprintf(out, capacity, "%s.%s", agent.defaultName, server ? server : "");
  return n >= 0 && static_cast<size_t>(n) < capacity;
}

int32_t CreateAgent(const AgentClass& agent, const char* server, intptr_t hostBuffer) {
  if (agent.creation == kCreateNever || !server) return QZX_CREATE_CANCELLED;
  char fullName[kBrowseChars + 1];
  // A name longer than any the directory holds cannot be created.
  if (!AgentNameFor(agent, server, fullName, sizeof fullName)) return QZX_CREATE_CANCELLED;
  // One agent of a class per messaging server.
  if (DSObjectExists(fullName, 1)) return QZX_CREATE_CANCELLED;
  if (agent.creation == kCreateDirectly) return CreateDirectly(agent, fullName, hostBuffer);

  char serverCopy[kBrowseChars + 1];
  CopyText(serverCopy, sizeof serverCopy, server);
  INT_PTR result = DialogBoxParamA(ResourceModule(), agent.createTemplate, HostWindow(),
                                   agent.createProcedure, reinterpret_cast<LPARAM>(serverCopy));
  if (result != QZX_CREATE_DONE && result != QZX_CREATE_OPEN_PAGES) return QZX_CREATE_CANCELLED;
  char created[kBrowseChars + 1];
  CopyText(created, sizeof created, g_snapin.browse);
  HandBackNewObject(hostBuffer);
  if (agent.notifiesCreation) NotifyConfigChange(created, agent.moduleFile, kNoticeCreated);
  return static_cast<int32_t>(result);
}

int32_t OpenAgent(const AgentClass& agent, const char* name) {
  OpenObject(name);
  SetCurrentModule(agent.moduleFile);
  return agent.pageCount;
}

int32_t HandOutAgentPage(const AgentClass& agent, intptr_t index, intptr_t record) {
  if (agent.storeHelpId) SetStoreServerHelpId(agent.storeHelpId);
  if (agent.queueHelpId) SetQueueServerHelpId(agent.queueHelpId);
  return HandOutPageOf(agent.pages, agent.pageCount, index, record) == 0 ? 0 : -1;
}

int32_t AnswerAgent(const AgentClass& agent, const char* name, uint32_t message, intptr_t param3,
                    intptr_t param4) {
  switch (message) {
    case QZX_MSG_CREATE: return CreateAgent(agent, name, param3);
    case QZX_MSG_OPEN: return OpenAgent(agent, name);
    case QZX_MSG_PAGE: return HandOutAgentPage(agent, param3, param4);
    case QZX_MSG_DELETE:
      NotifyConfigChange(name, agent.moduleFile, kNoticeDeleted);
      return 0;
  }
  return AnswerClassMessage(agent.tarqClass, message);
}

// ---- creation dialogs ------------------------------------------------------------------

void BeginCreateDialog(HWND dialog, const AgentClass& agent, const char* serverName) {
  EndCreateDialogState();
  g_create.agent = &agent;
  CopyText(g_create.server, sizeof g_create.server, serverName ? serverName : "");
  PageContainerOf(g_create.server, g_create.container, sizeof g_create.container);
  DSReadValues(&g_create.hosts, g_create.container, g_create.server, "Quorvel:Host");
  HostContainer(FirstOfList(&g_create.hosts), g_create.hostContainer,
                sizeof g_create.hostContainer);
  LimitText(dialog, IDC_AGC_STORE, kStoreFieldChars);
  if (!agent.createHelpId) EnableWindow(GetDlgItem(dialog, IDC_AGC_HELP), FALSE);
}

void EndCreateDialogState() {
  StrListFree(&g_create.hosts);
  StrListFree(&g_create.contexts);
  g_create.agent = nullptr;
  g_create.added = 0;
}

int ShowDefaultStoreAgent(HWND dialog) {
  char store[kBrowseChars + 1];
  if (snprintf(store, sizeof store, "%s.%s", kDefaultStoreAgent, g_create.server) >=
          static_cast<int>(sizeof store) ||
      !DSObjectExists(store, 0)) {
    SetDlgItemTextA(dialog, IDC_AGC_STORE, "");
    return 0;
  }
  SetDlgItemTextA(dialog, IDC_AGC_STORE, store);
  return 1;
}

const char* BrowseStart() {
  return g_create.hostContainer[0] ? g_create.hostContainer : g_create.container;
}

void ShowCreateHelp(HWND dialog) {
  if (g_create.agent && g_create.agent->createHelpId)
    WinHelpA(dialog, HelpFile(), kHelpContextCommand,
             static_cast<ULONG_PTR>(g_create.agent->createHelpId));
}

int AddAgentObject(const AgentClass& agent, const char* fullName, const char* field) {
  enum { kMostAttributes = 16 };
  DSAttribute attributes[kMostAttributes] = {};
  StrList lists[kMostAttributes] = {};  // several values of one attribute; freed below
  int count = 0;
  attributes[count++] = {"Quorvel:Module Name", agent.moduleSyntax, agent.moduleFile, nullptr};
  attributes[count++] = {"Quorvel:Module Version", agent.moduleSyntax, "1", nullptr};
  for (int i = 0; i < agent.initialCount && count < kMostAttributes; ++i) {
    const InitialValue& v = agent.initial[i];
    DSAttribute& a = attributes[count];
    a.name = v.attribute;
    a.syntax = v.syntax;
    if (!v.values[0]) {
      a.syntax = kSyntaxDistName;
      a.value = field;
    } else if (!v.values[1]) {
      a.value = v.values[0];
    } else {
      for (const char* value : v.values)
        if (value) StrListAdd(&lists[count], value);
      a.values = &lists[count];
    }
    ++count;
  }
  const char* className = ClassInfoOf(agent.tarqClass).className;
  int r = DSAddObject(fullName, className, attributes, count);
  for (StrList& list : lists) StrListFree(&list);
  return r;
}

int AddClientReference(const char* store, const char* newName) {
  StrList old = {}, wanted = {};
  DSReadValues(&old, g_create.container, store, kClients);
  DSReadValues(&wanted, g_create.container, store, kClients);
  bool present = false;
  for (int32_t i = 0; i < wanted.count; ++i)
    present = present || (wanted.items[i] && SameObjectName(wanted.items[i], newName));
  if (!present) StrListAdd(&wanted, newName);
  int r = DSReplaceValues(&old, &wanted, g_create.container, store, kClients, kSyntaxDistName);
  StrListFree(&old);
  StrListFree(&wanted);
  return r;
}

// ---- the store-linked creation dialog ------------------------------------------------------

namespace {

void EnableCreate(HWND dialog) {
  EnableWindow(GetDlgItem(dialog, IDOK), HasText(dialog, IDC_AGC_STORE));
}

void OnCreate(HWND dialog) {
  const AgentClass& agent = *g_create.agent;
  char store[kStoreFieldChars + 1];
  DialogText(dialog, IDC_AGC_STORE, store, sizeof store);
  if (!store[0]) return;  // "&Create" is off while the field is empty
  char fullName[kBrowseChars + 1];
  AgentNameFor(agent, g_create.server, fullName, sizeof fullName);
  int r = AddAgentObject(agent, fullName, store);
  if (r != 0) {
    DSShowError(dialog, r);
    EndDialog(dialog, QZX_CREATE_CANCELLED);
    return;
  }
  // The store agent lists its clients; a failure here is not the user's to
  // mend, and the agent exists all the same.
  AddClientReference(store, fullName);
  SetBrowseText(fullName);
  EndDialog(dialog, Checked(dialog, IDC_AGC_MORE_PAGES) ? QZX_CREATE_OPEN_PAGES : QZX_CREATE_DONE);
}

}  // namespace

INT_PTR StoreLinkedCreateProc(const AgentClass& agent, HWND dialog, UINT message, WPARAM wParam,
                              LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      BeginCreateDialog(dialog, agent, reinterpret_cast<const char*>(lParam));
      ShowDefaultStoreAgent(dialog);
      EnableCreate(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_AGC_STORE:
          if (HIWORD(wParam) == EN_UPDATE) EnableCreate(dialog);
          return TRUE;
        case IDC_AGC_BROWSE:
          BrowseDirectoryInto(dialog, IDC_AGC_STORE, kBrowseStoreAgent, BrowseStart(),
                              IDS_SELECT_ZELM_AGENT);
          EnableCreate(dialog);
          return TRUE;
        case IDOK: OnCreate(dialog); return TRUE;
        case IDCANCEL: EndDialog(dialog, QZX_CREATE_CANCELLED); return TRUE;
        case IDC_AGC_HELP: ShowCreateHelp(dialog); return TRUE;
      }
      return FALSE;
    case WM_DESTROY: EndCreateDialogState(); return FALSE;
  }
  return FALSE;
}
