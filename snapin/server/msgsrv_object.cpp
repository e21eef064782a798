// The messaging server's object procedure: class data, creation through
// "CreateMessagingServer", its five pages, and unloading the server module
// when the object is deleted.
#include "msgsrv_object.h"

#include <stdlib.h>

#include "frame.h"
#include "tarq_ids.h"
#include "server_procs.h"

namespace {

const PageSpec kMessagingServerPages[kMessagingServerPageCount] = {
    {MessagingServerIdentificationDlgProc, "MsgSrvIdentification", IDS_MS_TITLE_IDENTIFICATION},
    {MessagingServerSecurityDlgProc, "MsgSrvSecurity", IDS_MS_TITLE_SECURITY},
    {MessagingServerStatisticsDlgProc, "MsgSrvStatistics", IDS_MS_TITLE_STATISTICS},
    {MessagingServerSNMPDlgProc, "MsgSrvSNMP", IDS_MS_TITLE_SNMP},
    {MessagingServerStatusDlgProc, "MsgSrvStatus", IDS_MS_TITLE_STATUS},
};

int32_t Create(const char* container, intptr_t hostBuffer) {
  // The dialog keeps its own copy; the host's text lives only for this call.
  char parent[kBrowseChars + 1];
  CopyText(parent, sizeof parent, container ? container : "");
  INT_PTR r = DialogBoxParamA(ResourceModule(), kCreateMessagingServerTemplate, HostWindow(),
                              CreateMessagingServerDlgProc, reinterpret_cast<LPARAM>(parent));
  if (r != QZX_CREATE_CANCELLED) HandBackNewObject(hostBuffer);
  return static_cast<int32_t>(r);
}

void UnloadForDeletion(const char* name) {
  if (!g_snapin.autoReload) return;
  StrList hosts = {};
  DSReadValues(&hosts, "[Root]", name, kHostAttribute);
  if (hosts.count > 0 && hosts.items[0]) ControlServerModule(hosts.items[0], 0);
  StrListFree(&hosts);
}

}  // namespace

const char kCreateMessagingServerTemplate[] = "CreateMessagingServer";
const char kHostAttribute[] = "Quorvel:Host";
const char kBackReferenceAttribute[] = "Quorvel:Messaging Server";

extern "C" int32_t QZXAPI MessagingServerObjProc(const char* name, uint32_t message,
                                                 intptr_t param3, intptr_t param4) {
  switch (message) {
    case QZX_MSG_CREATE: return Create(name, param3);
    case QZX_MSG_OPEN: OpenObject(name); return kMessagingServerPageCount;
    case QZX_MSG_PAGE:
      return HandOutPageOf(kMessagingServerPages, kMessagingServerPageCount, param3, param4);
    case QZX_MSG_DELETE: UnloadForDeletion(name); return 0;
    default: return AnswerClassMessage(kClassMessagingServer, message);
  }
}
