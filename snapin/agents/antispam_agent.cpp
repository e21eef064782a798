// The anti-spam agent ("Quorvel:AntiSpam Agent"): watches a store agent;
// created with the store-linked dialog "CreateAntispam".
#include "agent_class.h"
#include "agent_procs.h"
#include "frame.h"
#include "server_procs.h"
#include "tarq_ids.h"
#include "filter_procs.h"
#include "agents_filter_ids.h"

namespace {

const PageSpec kAntiSpamPages[] = {
    {AntiSpamConfigDlgProc, "AntiSpamConfig", IDS_ANTISPAM_TITLE_CONFIGURATION},
    {ZELMToServiceDlgProc, "ZELMToService", IDS_TITLE_MONITORED_QUEUES},
    {StatusDlgProc, "Status", IDS_TITLE_STATUS},
};

const InitialValue kAntiSpamInitial[] = {
    {"Quorvel:ZELM Server", kSyntaxDistName, {}},
};

const AgentClass kAntiSpamAgent = {
    kClassAntiSpam, "AntiSpam Agent", "SPAMAGNT.QMD", kSyntaxCIString, kCreateWithDialog,
    "CreateAntispam", CreateAntispamDlgProc, 30, AGENT_INITIAL(kAntiSpamInitial), 1,
    AGENT_PAGES(kAntiSpamPages), 45, 0};

}  // namespace

extern "C" INT_PTR CALLBACK CreateAntispamDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
  return StoreLinkedCreateProc(kAntiSpamAgent, dialog, message, wParam, lParam);
}

extern "C" int32_t QZXAPI AntiSpamObjProc(const char* name, uint32_t message, intptr_t param3,
                                          intptr_t param4) {
  return AnswerAgent(kAntiSpamAgent, name, message, param3, param4);
}
