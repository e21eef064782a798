// Telling the running messaging server about configuration changes, and
// loading or unloading its module, through netcalls32 (imported by ordinal).
#pragma once

#include <stdint.h>

enum {
  kRequestBytes = 140,      // a ConfigChangeRequest, and the most reply accepted
  kModuleNameBytes = 136,   // the module file name field, NUL included
  kServerPauseMs = 500,     // before talking to the running server
};

// Request codes.
enum {
  kRequestCreated = 1,     // object created or enabled
  kRequestDeleted = 2,     // object deleted or disabled
  kRequestChanged = 3,     // configuration changed
  kRequestStatistics = 4,  // statistics query (reply read by the statistics page)
};

// Kinds of NotifyConfigChange.
enum {
  kNoticeDeleted = 0,  // deleted or disabled
  kNoticeCreated = 1,  // created or enabled
  kNoticeChanged = 2,  // configuration changed
};

// The request sent to the server's request service, little-endian.
struct ConfigChangeRequest {
  uint32_t code;
  char moduleFile[kModuleNameBytes];  // NUL-terminated, zero-filled; all zero for code 4
};
static_assert(sizeof(ConfigChangeRequest) == kRequestBytes, "the wire layout is 140 bytes");

extern const char kRequestService[];  // "Arbolin Messaging System"
extern const char kServerModule[];    // "MSGSRV"

// A zero-filled request with code and module file name (cut to 135 bytes).
ConfigChangeRequest MakeRequest(uint32_t code, const char* moduleFile);

// Asks the host server (an "HVX Server" object name) to load (after the
// pause) or unload "MSGSRV". 1 on success, also when automatic module
// reload is off (nothing is done then); 0 when the server could not be
// reached or refused.
int ControlServerModule(const char* hostServer, int load);

// Opens a connection to the host server (an "HVX Server" object name) on a
// context the caller keeps open, and authenticates it: what SendServerRequest
// takes. The connection goes with the context. 0, or the failing step's error.
int OpenServerConnection(int32_t context, const char* hostServer, uint32_t* connection);

// Looks up the request service on the connection (a dsclient32 connection,
// opened and authenticated on a context still open) and sends request; the
// reply (kRequestBytes, zero-filled past what arrived) is stored in reply
// when not null. 0 on success, else the failing step's error.
int SendServerRequest(uint32_t connection, const ConfigChangeRequest* request, unsigned char* reply);

// After a change to objectName: with automatic module reload on, sends the
// server of the object's parent (its "Quorvel:Host") the request for kind and
// moduleFile (other kinds send nothing); failing to reach it is silent. Always sets the object's
// "Quorvel:Config Changed" to "1". 0 (nothing done) when objectName has no
// container part, else 1.
int NotifyConfigChange(const char* objectName, const char* moduleFile, int kind);
