// The POP agent ("Quorvel:POP Agent"): mail clients' POP3 access to the
// store. Created without a dialog; its only page is the status page.
#include "agent_class.h"
#include "agent_procs.h"
#include "frame.h"
#include "server_procs.h"
#include "tarq_ids.h"

namespace {

const PageSpec kPOPPages[] = {
    {StatusDlgProc, "Status", IDS_TITLE_STATUS},
};

const AgentClass kPOPAgent = {
    kClassPOP, "POP Agent", "POPAGENT.QMD", kSyntaxDistName, kCreateDirectly, nullptr, nullptr, 0, nullptr, 0, 1,
    AGENT_PAGES(kPOPPages), 0, 0};

}  // namespace

extern "C" int32_t QZXAPI POPObjProc(const char* name, uint32_t message, intptr_t param3,
                                   intptr_t param4) {
  return AnswerAgent(kPOPAgent, name, message, param3, param4);
}
