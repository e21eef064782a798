#include "server_notice.h"

#include <windows.h>

#include <string.h>

#include "ds_access.h"
#include "dsclient32.h"
#include "names.h"
#include "netcalls32.h"
#include "snapin_state.h"

const char kRequestService[] = "Arbolin Messaging System";
const char kServerModule[] = "MSGSRV";

namespace {

// Runs talk with an authenticated connection to server on a context of its
// own; the connection goes with the context. False when no connection came.
template <class Talk>
bool WithServer(const char* server, Talk talk) {
  DSContext context = DSOpenContext(nullptr);
  if (context < 0) return false;
  uint32_t connection = 0;
  bool connected = OpenServerConnection(context, server, &connection) == 0;
  if (connected) talk(connection);
  DSCloseContext(context);
  return connected;
}

uint32_t CodeOfKind(int kind) {
  switch (kind) {
    case kNoticeDeleted: return kRequestDeleted;
    case kNoticeCreated: return kRequestCreated;
    case kNoticeChanged: return kRequestChanged;
    default: return 0;
  }
}

}  // namespace

ConfigChangeRequest MakeRequest(uint32_t code, const char* moduleFile) {
  ConfigChangeRequest r;
  memset(&r, 0, sizeof r);
  r.code = code;  // the layout is little-endian, as this machine is
  if (moduleFile) CopyText(r.moduleFile, sizeof r.moduleFile, moduleFile);
  return r;
}

int ControlServerModule(const char* hostServer, int load) {
  if (!g_snapin.autoReload) return 1;
  int32_t result = -1;
  WithServer(hostServer, [&](uint32_t connection) {
    if (load) {
      Sleep(kServerPauseMs);
      result = NCLoadModule(connection, kServerModule);
    } else {
      result = NCUnloadModule(connection, kServerModule);
    }
  });
  return result == 0;
}

int OpenServerConnection(int32_t context, const char* hostServer, uint32_t* connection) {
  uint32_t opened = 0;
  int32_t r = DSCOpenConnection(context, hostServer, &opened);
  if (r == 0) r = DSCAuthenticateConnection(context, opened);
  if (connection) *connection = r == 0 ? opened : 0;
  return r;
}

int SendServerRequest(uint32_t connection, const ConfigChangeRequest* request, unsigned char* reply) {
  unsigned char answer[kRequestBytes];
  memset(answer, 0, sizeof answer);
  if (reply) memset(reply, 0, kRequestBytes);
  uint32_t service = 0;
  uint16_t major = 0, minor = 0, revision = 0;
  int32_t r = NCLookupService(connection, kRequestService, &service, &major, &minor, &revision, nullptr);
  if (r != 0) return r;
  uint16_t length = kRequestBytes;
  r = NCSendRequest(connection, service, request, kRequestBytes, answer, &length);
  if (r != 0) return r;
  if (reply) memcpy(reply, answer, length);
  return 0;
}

int NotifyConfigChange(const char* objectName, const char* moduleFile, int kind) {
  const char* dot = objectName ? strchr(objectName, '.') : nullptr;
  if (!dot) return 0;
  uint32_t code = CodeOfKind(kind);
  if (g_snapin.autoReload && code != 0) {
    Sleep(kServerPauseMs);
    StrList hosts = {};
    DSReadValues(&hosts, "[Root]", dot + 1, "Quorvel:Host");
    if (hosts.count > 0 && hosts.items[0]) {
      ConfigChangeRequest request = MakeRequest(code, moduleFile);
      WithServer(hosts.items[0], [&](uint32_t connection) {
        SendServerRequest(connection, &request, nullptr);
      });
    }
    StrListFree(&hosts);
  }
  StrList oldValues = {};
  StrList newValues = {};
  DSReadValues(&oldValues, "[Root]", objectName, "Quorvel:Config Changed");
  StrListAdd(&newValues, "1");
  DSReplaceValues(&oldValues, &newValues, "[Root]", objectName, "Quorvel:Config Changed",
                  kSyntaxCIString);
  StrListFree(&oldValues);
  StrListFree(&newValues);
  return 1;
}
