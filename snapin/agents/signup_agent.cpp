// The signup agent ("Quorvel:Signup Agent"): new users sign up over the web;
// created with the store-linked dialog "CreateSignup", naming the store
// agent that takes its outgoing mail.
#include "agent_class.h"
#include "agent_procs.h"
#include "frame.h"
#include "server_procs.h"
#include "tarq_ids.h"
#include "agents_more_procs.h"
#include "agents_more_ids.h"

namespace {

const PageSpec kSignupPages[] = {
    {SignupConfigDlgProc, "SignupConfig", IDS_SIGNUP_TITLE_CONFIGURATION},
    {ZELMQueueServerDlgProc, "ZELMQueueServer", IDS_TITLE_QUEUE_SERVER},
    {StatusDlgProc, "Status", IDS_TITLE_STATUS},
};

const InitialValue kSignupInitial[] = {
    {"Quorvel:Port", kSyntaxCIString, {"80"}},
    {"Quorvel:SSL Port", kSyntaxCIString, {"443"}},
    {"Quorvel:Configuration", kSyntaxCIString, {"Behaviour:0"}},
    {"Quorvel:ZELM Queue Server", kSyntaxDistName, {}},
};

// No creation help.
const AgentClass kSignupAgent = {
    kClassSignup, "Signup Agent", "SIGNUAGT.QMD", kSyntaxCIString, kCreateWithDialog,
    "CreateSignup", CreateSignupDlgProc, 0, AGENT_INITIAL(kSignupInitial), 1,
    AGENT_PAGES(kSignupPages), 45, 37};

}  // namespace

extern "C" INT_PTR CALLBACK CreateSignupDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
  return StoreLinkedCreateProc(kSignupAgent, dialog, message, wParam, lParam);
}

extern "C" int32_t QZXAPI SignupObjProc(const char* name, uint32_t message, intptr_t param3,
                                        intptr_t param4) {
  return AnswerAgent(kSignupAgent, name, message, param3, param4);
}
