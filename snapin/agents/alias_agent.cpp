// The alias agent ("Quorvel:Alias Agent"): serves the contexts of a store
// agent; created with the store-linked dialog "CreateAliasAgent".
#include "agent_class.h"
#include "agent_procs.h"
#include "frame.h"
#include "server_procs.h"
#include "tarq_ids.h"
#include "filter_procs.h"
#include "agents_filter_ids.h"

namespace {

// Local and global aliases share one template, each with its own procedure.
const PageSpec kAliasPages[] = {
    {AliasConfigDlgProc, "AliasConfig", IDS_ALIAS_TITLE_CONFIGURATION},
    {AliasLocalAliasDlgProc, "AliasLocalAlias", IDS_ALIAS_TITLE_LOCAL},
    {AliasGlobalAliasDlgProc, "AliasLocalAlias", IDS_ALIAS_TITLE_GLOBAL},
    {ZELMToServiceDlgProc, "ZELMToService", IDS_TITLE_MONITORED_SERVERS},
    {StatusDlgProc, "Status", IDS_TITLE_STATUS},
};

const InitialValue kAliasInitial[] = {
    {"Quorvel:ZELM Server", kSyntaxDistName, {}},
};

const AgentClass kAliasAgent = {
    kClassAlias, "Alias Agent", "ALIASAGT.QMD", kSyntaxCIString, kCreateWithDialog,
    "CreateAliasAgent", CreateAliasAgentDlgProc, 12, AGENT_INITIAL(kAliasInitial), 1,
    AGENT_PAGES(kAliasPages), 36, 37};

}  // namespace

extern "C" INT_PTR CALLBACK CreateAliasAgentDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                                    LPARAM lParam) {
  return StoreLinkedCreateProc(kAliasAgent, dialog, message, wParam, lParam);
}

extern "C" int32_t QZXAPI AliasObjProc(const char* name, uint32_t message, intptr_t param3,
                                       intptr_t param4) {
  return AnswerAgent(kAliasAgent, name, message, param3, param4);
}
