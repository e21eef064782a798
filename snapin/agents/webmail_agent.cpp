// The web-mail agent ("Quorvel:WebMail Agent"): mail through a web browser;
// created with the store-linked dialog "CreateWebmail", naming the store
// agent that queues its outgoing mail.
#include "agent_class.h"
#include "agent_procs.h"
#include "frame.h"
#include "server_procs.h"
#include "tarq_ids.h"
#include "webmail_pages.h"
#include "agents_web_ids.h"

namespace {

const PageSpec kWebMailPages[] = {
    {WebMailIdentDlgProc, "WebMailIdent", IDS_WEB_TITLE_CONFIGURATION},
    {WebMailConfigDlgProc, "WebMailConfig", IDS_WEB_TITLE_INTERFACE},
    {WebMailAppearanceDlgProc, "WebMailAppearance", IDS_WEB_TITLE_APPEARANCE},
    {WebMailAddrBookDlgProc, "WebMailAddrBook", IDS_WEB_TITLE_ADDRESSBOOK},
    {ZELMQueueServerDlgProc, "ZELMQueueServer", IDS_TITLE_QUEUE_SERVER},
    {StatusDlgProc, "Status", IDS_TITLE_STATUS},
};

const InitialValue kWebMailInitial[] = {
    {"Quorvel:Port", kSyntaxCIString, {"80"}},
    {"Quorvel:SSL Port", kSyntaxCIString, {"443"}},
    {"Quorvel:Configuration", kSyntaxCIString, {"Behaviour:32621", "MsgPerPage:10", "Name:TARQ WebMail"}},
    {"Quorvel:Addressbook Config", kSyntaxCIString, {"Entries:50 Flags:3"}},
    {"Quorvel:Advertising Config", kSyntaxCIString, {"URL:", "Location:0"}},
    {"Quorvel:ZELM Queue Server", kSyntaxDistName, {}},
    {"Quorvel:Message Limit", kSyntaxCIString, {"10"}},
};

const AgentClass kWebMailAgent = {
    kClassWebMail, "WebMail Agent", "WEBAGENT.QMD", kSyntaxCIString, kCreateWithDialog,
    "CreateWebmail", CreateWebMailDlgProc, 32, AGENT_INITIAL(kWebMailInitial), 1,
    AGENT_PAGES(kWebMailPages), 45, 37};

}  // namespace

extern "C" INT_PTR CALLBACK CreateWebMailDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
  return StoreLinkedCreateProc(kWebMailAgent, dialog, message, wParam, lParam);
}

extern "C" int32_t QZXAPI WebMailObjProc(const char* name, uint32_t message, intptr_t param3,
                                         intptr_t param4) {
  return AnswerAgent(kWebMailAgent, name, message, param3, param4);
}
