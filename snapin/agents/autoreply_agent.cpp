// The forward and auto-reply agent ("Quorvel:AutoReply Agent"): its
// settings are per user, so the object only names the store it monitors;
// created with the store-linked dialog "CreateForward".
#include "agent_class.h"
#include "agent_procs.h"
#include "frame.h"
#include "server_procs.h"
#include "tarq_ids.h"

namespace {

const PageSpec kAutoReplyPages[] = {
    {ZELMToServiceDlgProc, "ZELMToService", IDS_TITLE_MONITORED_QUEUES},
    {StatusDlgProc, "Status", IDS_TITLE_STATUS},
};

const InitialValue kAutoReplyInitial[] = {
    {"Quorvel:ZELM Server", kSyntaxDistName, {}},
};

const AgentClass kAutoReplyAgent = {
    kClassAutoReply, "AutoReply Agent", "FWDAGENT.QMD", kSyntaxCIString, kCreateWithDialog,
    "CreateForward", CreateForwardDlgProc, 9, AGENT_INITIAL(kAutoReplyInitial), 1,
    AGENT_PAGES(kAutoReplyPages), 45, 0};

}  // namespace

extern "C" INT_PTR CALLBACK CreateForwardDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
  return StoreLinkedCreateProc(kAutoReplyAgent, dialog, message, wParam, lParam);
}

extern "C" int32_t QZXAPI AutoReplyObjProc(const char* name, uint32_t message, intptr_t param3,
                                           intptr_t param4) {
  return AnswerAgent(kAutoReplyAgent, name, message, param3, param4);
}
