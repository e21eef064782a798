// The one place a class's object procedure is named for the host. A class
// whose own procedure is built replaces its placeholder here (and tarq.def
// exports the procedure when it is exported by name); the order is the
// order of registration and stays as it is.
#include "registrations.h"

#include "agent_procs.h"
#include "agents_more_procs.h"
#include "class_table.h"
#include "placeholder.h"
#include "server_procs.h"
#include "user_objproc.h"

const TarqRegistration kRegistrations[kRegistrationCount] = {
    {kClassUser, UserObjProc, QZX_SELECT_SINGLE},
    {kClassOrganization, ContainerObjProc, QZX_SELECT_SINGLE},
    {kClassOrganizationalUnit, ContainerObjProc, QZX_SELECT_SINGLE},
    {kClassUser, MultiUserObjProc, QZX_SELECT_MULTIPLE},
    {kClassHVXServer, ServerObjProc, QZX_SELECT_SINGLE},
    {kClassMessagingServer, MessagingServerObjProc, QZX_SELECT_SINGLE},
    {kClassServices, ServicesObjProc, QZX_SELECT_SINGLE},
    {kClassMailAgent, MailAgentObjProc, QZX_SELECT_SINGLE},
    {kClassZELM, ZELMObjProc, QZX_SELECT_SINGLE},
    {kClassPOP, POPObjProc, QZX_SELECT_SINGLE},
    {kClassFinger, FingerObjProc, QZX_SELECT_SINGLE},
    {kClassProxy, ProxyObjProc, QZX_SELECT_SINGLE},
    {kClassIMAP, IMAPObjProc, QZX_SELECT_SINGLE},
    {kClassSMTP, SMTPObjProc, QZX_SELECT_SINGLE},
    {kClassWebMail, WebMailObjProc, QZX_SELECT_SINGLE},
    {kClassAntiSpam, AntiSpamObjProc, QZX_SELECT_SINGLE},
    {kClassAutoReply, AutoReplyObjProc, QZX_SELECT_SINGLE},
    {kClassAlias, AliasObjProc, QZX_SELECT_SINGLE},
    {kClassAddressBook, AddressBookObjProc, QZX_SELECT_SINGLE},
    {kClassSignup, SignupObjProc, QZX_SELECT_SINGLE},
    {kClassConnMgr, ConnMgrObjProc, QZX_SELECT_SINGLE},
};
