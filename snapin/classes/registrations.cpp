// The one place a class's object procedure is named for the host. A class
// whose own procedure is built replaces its placeholder here (and tarq.def
// exports the procedure when it is exported by name); the order is the
// order of registration and stays as it is.
#include "registrations.h"

#include "class_table.h"
#include "placeholder.h"
#include "server_procs.h"
#include "user_objproc.h"

const TarqRegistration kRegistrations[kRegistrationCount] = {
    {kClassUser, UserObjProc, QZX_SELECT_SINGLE},
    {kClassOrganization, PlaceholderObjProc<kClassOrganization>, QZX_SELECT_SINGLE},  // ContainerObjProc
    {kClassOrganizationalUnit, PlaceholderObjProc<kClassOrganizationalUnit>,
     QZX_SELECT_SINGLE},                                                     // ContainerObjProc
    {kClassUser, MultiUserObjProc, QZX_SELECT_MULTIPLE},
    {kClassHVXServer, ServerObjProc, QZX_SELECT_SINGLE},
    {kClassMessagingServer, MessagingServerObjProc, QZX_SELECT_SINGLE},
    {kClassServices, ServicesObjProc, QZX_SELECT_SINGLE},
    {kClassMailAgent, MailAgentObjProc, QZX_SELECT_SINGLE},
    {kClassZELM, PlaceholderObjProc<kClassZELM>, QZX_SELECT_SINGLE},            // ZELMObjProc
    {kClassPOP, PlaceholderObjProc<kClassPOP>, QZX_SELECT_SINGLE},              // POPObjProc
    {kClassFinger, PlaceholderObjProc<kClassFinger>, QZX_SELECT_SINGLE},        // FingerObjProc
    {kClassProxy, PlaceholderObjProc<kClassProxy>, QZX_SELECT_SINGLE},          // ProxyObjProc
    {kClassIMAP, PlaceholderObjProc<kClassIMAP>, QZX_SELECT_SINGLE},            // IMAPObjProc
    {kClassSMTP, PlaceholderObjProc<kClassSMTP>, QZX_SELECT_SINGLE},            // SMTPObjProc
    {kClassWebMail, PlaceholderObjProc<kClassWebMail>, QZX_SELECT_SINGLE},      // WebMailObjProc
    {kClassAntiSpam, PlaceholderObjProc<kClassAntiSpam>, QZX_SELECT_SINGLE},    // AntiSpamObjProc
    {kClassAutoReply, PlaceholderObjProc<kClassAutoReply>, QZX_SELECT_SINGLE},  // AutoReplyObjProc
    {kClassAlias, PlaceholderObjProc<kClassAlias>, QZX_SELECT_SINGLE},          // AliasObjProc
    {kClassAddressBook, PlaceholderObjProc<kClassAddressBook>,
     QZX_SELECT_SINGLE},                                                      // AddressBookObjProc
    {kClassSignup, PlaceholderObjProc<kClassSignup>, QZX_SELECT_SINGLE},        // SignupObjProc
    {kClassConnMgr, PlaceholderObjProc<kClassConnMgr>, QZX_SELECT_SINGLE},      // ConnMgrObjProc
};
