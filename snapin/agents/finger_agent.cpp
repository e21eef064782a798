// The finger agent ("Quorvel:Finger Agent"): answers finger queries with each
// user's finger message. Created without a dialog; its only page is the status page.
#include "agent_class.h"
#include "agent_procs.h"
#include "frame.h"
#include "server_procs.h"
#include "tarq_ids.h"

namespace {

const PageSpec kFingerPages[] = {
    {StatusDlgProc, "Status", IDS_TITLE_STATUS},
};

const AgentClass kFingerAgent = {
    kClassFinger, "Finger Agent", "FNGAGENT.QMD", kSyntaxDistName, kCreateDirectly, nullptr, nullptr, 0, nullptr, 0, 1,
    AGENT_PAGES(kFingerPages), 0, 0};

}  // namespace

extern "C" int32_t QZXAPI FingerObjProc(const char* name, uint32_t message, intptr_t param3,
                                   intptr_t param4) {
  return AnswerAgent(kFingerAgent, name, message, param3, param4);
}
