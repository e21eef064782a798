// The SMTP agent ("Quorvel:SMTP Agent"): its object procedure and
// "CreateSMTP", which names the primary domain and the queue server and
// tells the running server itself.
#include "agent_class.h"
#include "agent_pages.h"
#include "agent_procs.h"
#include "frame.h"
#include "server_procs.h"
#include "tarq_ids.h"

namespace {

const char kModule[] = "SMTPAGNT.QMD";
enum { kDomainChars = 256, kQueueChars = 256 };

const PageSpec kSMTPPages[] = {
    {SMTPIdentificationDlgProc, "SMTPIdentification", IDS_SMTP_TITLE_IDENTIFICATION},
    {SMTPOptionsDlgProc, "SMTPOptions", IDS_SMTP_TITLE_OPTIONS},
    {SMTPUBEConfigurationDlgProc, "SMTPUBEConfiguration", IDS_SMTP_TITLE_UBE},
    {ZELMQueueServerDlgProc, "ZELMQueueServer", IDS_TITLE_QUEUE_SERVER},
    {ZELMToServiceDlgProc, "ZELMToService", IDS_TITLE_MONITORED_QUEUES},
    {StatusDlgProc, "Status", IDS_TITLE_STATUS},
};

// Created by its own dialog, which also sends the creation notice.
const AgentClass kSMTPAgent = {
    kClassSMTP, "SMTP Agent", kModule, kSyntaxDistName, kCreateWithDialog, "CreateSMTP",
    CreateSMTPDlgProc, 27, nullptr, 0, 0, AGENT_PAGES(kSMTPPages), 45, 37};

void EnableCreate(HWND dialog) {
  EnableWindow(GetDlgItem(dialog, IDOK),
               HasText(dialog, IDC_CS_DOMAIN) && HasText(dialog, IDC_AGC_STORE));
}

INT_PTR OnInit(HWND dialog, const char* server) {
  BeginCreateDialog(dialog, kSMTPAgent, server);
  LimitText(dialog, IDC_CS_DOMAIN, kDomainChars);
  LimitText(dialog, IDC_AGC_STORE, kQueueChars);
  StrList official = {};
  DSReadValues(&official, nullptr, g_create.server, "Quorvel:Official Name");
  SetDlgItemTextA(dialog, IDC_CS_DOMAIN, FirstOfList(&official));
  StrListFree(&official);
  ShowDefaultStoreAgent(dialog);
  EnableCreate(dialog);
  return TRUE;
}

void OnCreate(HWND dialog) {
  char domain[kDomainChars + 1], queue[kQueueChars + 1];
  DialogText(dialog, IDC_CS_DOMAIN, domain, sizeof domain);
  DialogText(dialog, IDC_AGC_STORE, queue, sizeof queue);
  if (!queue[0]) {
    RefuseWith(dialog, IDS_NEED_ZELM_AGENT, IDS_MISSING_MANDATORY, IDC_AGC_STORE);
    return;
  }
  char fullName[kBrowseChars + 1];
  AgentNameFor(kSMTPAgent, g_create.server, fullName, sizeof fullName);
  const DSAttribute attributes[] = {
      {"Quorvel:Module Name", kSyntaxDistName, kModule, nullptr},
      {"Quorvel:Module Version", kSyntaxDistName, "1", nullptr},
      {"Quorvel:Domain", kSyntaxCIString, domain, nullptr},
      {"Quorvel:Routing", kSyntaxCIString, "0", nullptr},
      {"Quorvel:Message Limit", kSyntaxCIString, "0", nullptr},
      {"Quorvel:SMTP Accept ETRN", kSyntaxCIString, "1", nullptr},
      {"Quorvel:SMTP Send ETRN", kSyntaxCIString, "0", nullptr},
      {"Quorvel:ZELM Queue Server", kSyntaxDistName, queue, nullptr},
      {"Quorvel:ZELM Server", kSyntaxDistName, queue, nullptr},
  };
  int r = DSAddObject(fullName, ClassInfoOf(kClassSMTP).className, attributes,
                      static_cast<int>(sizeof attributes / sizeof attributes[0]));
  if (r != 0) {
    DSShowError(dialog, r);  // the dialog stays for another try
    return;
  }
  SetBrowseText(fullName);
  EndDialog(dialog, Checked(dialog, IDC_AGC_MORE_PAGES) ? QZX_CREATE_OPEN_PAGES : QZX_CREATE_DONE);
  // The queue server lists its new client, added without reading the list;
  // only when that worked is the running server told of the agent.
  StrList none = {}, added = {};
  StrListAdd(&added, fullName);
  r = DSReplaceValues(&none, &added, g_create.container, queue, "Quorvel:Client", kSyntaxDistName);
  StrListFree(&added);
  if (r == 0) NotifyConfigChange(fullName, kModule, kNoticeCreated);
}

void OnCommand(HWND dialog, int id, int code) {
  switch (id) {
    case IDC_CS_DOMAIN:
    case IDC_AGC_STORE:
      if (code == EN_UPDATE) EnableCreate(dialog);
      return;
    case IDC_AGC_BROWSE:
      BrowseDirectoryInto(dialog, IDC_AGC_STORE, kBrowseStoreAgent, ".", IDS_SELECT_ZELM_AGENT);
      EnableCreate(dialog);
      return;
    case IDOK: OnCreate(dialog); return;
    case IDCANCEL: EndDialog(dialog, QZX_CREATE_CANCELLED); return;
    case IDC_AGC_HELP: ShowCreateHelp(dialog); return;
  }
}

}  // namespace

extern "C" INT_PTR CALLBACK CreateSMTPDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(dialog, reinterpret_cast<const char*>(lParam));
    case WM_COMMAND: OnCommand(dialog, LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_DESTROY: EndCreateDialogState(); return FALSE;
  }
  return FALSE;
}

extern "C" int32_t QZXAPI SMTPObjProc(const char* name, uint32_t message, intptr_t param3,
                                      intptr_t param4) {
  return AnswerAgent(kSMTPAgent, name, message, param3, param4);
}
