// The connection manager ("TARQ:ConnMgr Agent"): created without a dialog,
// with addresses expiring after 15 minutes.
#include "agent_class.h"
#include "agent_procs.h"
#include "frame.h"
#include "server_procs.h"
#include "tarq_ids.h"
#include "webmail_pages.h"
#include "agents_web_ids.h"

namespace {

const PageSpec kConnMgrPages[] = {
    {ConnMgrConfigDlgProc, "ConnManagerConfig", IDS_CONNMGR_TITLE_CONFIGURATION},
    {StatusDlgProc, "Status", IDS_TITLE_STATUS},
};

const InitialValue kConnMgrInitial[] = {
    {"Quorvel:Timeout", kSyntaxCIString, {"15"}},
};

const AgentClass kConnMgrAgent = {
    kClassConnMgr, "Connection Manager", "CONNAGNT.QMD", kSyntaxDistName, kCreateDirectly, nullptr,
    nullptr, 0, AGENT_INITIAL(kConnMgrInitial), 1, AGENT_PAGES(kConnMgrPages), 0, 0};

}  // namespace

extern "C" int32_t QZXAPI ConnMgrObjProc(const char* name, uint32_t message, intptr_t param3,
                                         intptr_t param4) {
  return AnswerAgent(kConnMgrAgent, name, message, param3, param4);
}
