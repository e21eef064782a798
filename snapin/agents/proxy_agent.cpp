// The mail proxy agent ("Quorvel:Proxy Agent"): collects users' mail from
// remote mailboxes into a store agent; created with the store-linked dialog
// "CreateProxy", which names that store agent in both roles.
#include "agent_class.h"
#include "agent_procs.h"
#include "frame.h"
#include "server_procs.h"
#include "tarq_ids.h"
#include "agents_more_procs.h"
#include "agents_more_ids.h"

namespace {

const PageSpec kProxyPages[] = {
    {ProxyConfigDlgProc, "ProxyConfig", IDS_PROXY_TITLE_CONFIGURATION},
    {ZELMToServiceDlgProc, "ZELMToService", IDS_TITLE_MONITORED_SERVERS},
    {ZELMQueueServerDlgProc, "ZELMQueueServer", IDS_TITLE_QUEUE_SERVER},
    {StatusDlgProc, "Status", IDS_TITLE_STATUS},
};

const InitialValue kProxyInitial[] = {
    {"Quorvel:Time Interval", kSyntaxCIString, {"3"}},
    {"Quorvel:Thread Limit", kSyntaxCIString, {"5"}},
    {"Quorvel:ZELM Server", kSyntaxDistName, {}},
    {"Quorvel:ZELM Queue Server", kSyntaxDistName, {}},
};

const AgentClass kProxyAgent = {
    kClassProxy, "Proxy Agent", "PROXYAGT.QMD", kSyntaxCIString, kCreateWithDialog,
    "CreateProxy", CreateProxyDlgProc, 25, AGENT_INITIAL(kProxyInitial), 1,
    AGENT_PAGES(kProxyPages), 36, 37};

}  // namespace

extern "C" INT_PTR CALLBACK CreateProxyDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  return StoreLinkedCreateProc(kProxyAgent, dialog, message, wParam, lParam);
}

// Unlike the other agents its class data stays when the host withdraws it,
// and it answers 0x105 with 0.
extern "C" int32_t QZXAPI ProxyObjProc(const char* name, uint32_t message, intptr_t param3,
                                       intptr_t param4) {
  if (message == QZX_MSG_REMOVE_CLASS_DATA || message == QZX_MSG_CLASS_KIND) return 0;
  return AnswerAgent(kProxyAgent, name, message, param3, param4);
}
