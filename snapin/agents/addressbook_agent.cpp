// The address-book agent ("Quorvel:Addressbook Agent"): builds the address
// book from the directory and serves it over LDAP; created with the
// store-linked dialog "CreateLDAP".
#include "agent_class.h"
#include "agent_procs.h"
#include "frame.h"
#include "server_procs.h"
#include "tarq_ids.h"
#include "agents_more_procs.h"
#include "agents_more_ids.h"

namespace {

const PageSpec kAddressBookPages[] = {
    {AddressBookConfigDlgProc, "LDAPConfig", IDS_LDAP_TITLE_CONFIGURATION},
    {ZELMToServiceDlgProc, "ZELMToService", IDS_TITLE_MONITORED_SERVERS},
    {StatusDlgProc, "Status", IDS_TITLE_STATUS},
};

const InitialValue kAddressBookInitial[] = {
    {"Quorvel:Port", kSyntaxCIString, {"389"}},
    {"Quorvel:ZELM Server", kSyntaxDistName, {}},
};

const AgentClass kAddressBookAgent = {
    kClassAddressBook, "Address Book Agent", "ABOOKAGT.QMD", kSyntaxCIString, kCreateWithDialog,
    "CreateLDAP", CreateAddressBookDlgProc, 16, AGENT_INITIAL(kAddressBookInitial), 1,
    AGENT_PAGES(kAddressBookPages), 36, 37};

}  // namespace

extern "C" INT_PTR CALLBACK CreateAddressBookDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                                     LPARAM lParam) {
  return StoreLinkedCreateProc(kAddressBookAgent, dialog, message, wParam, lParam);
}

extern "C" int32_t QZXAPI AddressBookObjProc(const char* name, uint32_t message, intptr_t param3,
                                             intptr_t param4) {
  return AnswerAgent(kAddressBookAgent, name, message, param3, param4);
}
