// The server side of the request wire (platform/netcalls32/PROTOCOL.md): the
// service "Arbolin Messaging System" takes 140-byte configuration notices and
// statistics queries, and the module "MSGSRV" (the store) is loaded and
// unloaded on request. Answering a frame is a pure function of the frame and
// the server behind RequestHandler, so every status can be tested without a
// socket; RequestClient adds the TCP side.
#pragma once

#include <cstdint>
#include <string>

#include "acceptor.h"
#include "netcalls_wire.h"

extern const char kMessagingService[];  // "Arbolin Messaging System"
extern const char kStoreModule[];       // "MSGSRV"

enum : uint32_t {
  kMessagingServiceId = 7,
  kNoticeBytes = 140,      // request and reply of the messaging service
  kNoticeModuleBytes = 136,
  kRequestIdleSeconds = 30,
};

enum NoticeCode : uint32_t {
  kNoticeCreated = 1,     // object created or enabled
  kNoticeDeleted = 2,     // object deleted or disabled
  kNoticeChanged = 3,     // configuration changed
  kNoticeStatistics = 4,  // statistics query
  kNoticeMailState = 5,   // the mail system's state (its own request service only)
};

// What the service asks of the server it runs in. Called from the
// connection's thread.
class RequestHandler {
 public:
  virtual ~RequestHandler() = default;
  // A notice with code 1 to 3 for a module file name (may be empty).
  virtual void Notice(uint32_t code, const std::string& module, uint32_t peer) = 0;
  virtual void Statistics(unsigned char reply[kNoticeBytes]) = 0;
  // NCW_* statuses; module names are compared without regard to case.
  virtual int32_t LoadModule(const std::string& module) = 0;
  virtual int32_t UnloadModule(const std::string& module) = 0;
  // Any other code: true answers status 0 with *reply; false (the store
  // server's answer) status 4.
  virtual bool OtherRequest(uint32_t code, const unsigned char* request,
                            unsigned char reply[kNoticeBytes]) {
    return false;
  }
};

// The whole reply frame (header and payload) to one well-framed request.
std::string AnswerRequest(RequestHandler* handler, uint16_t type, const unsigned char* payload,
                          uint32_t length, uint32_t peer);

// One connection of the request wire as the connection loop drives it:
// requests answered in order until the client closes, sends a broken header
// (closed without an answer), sends no whole request within firstSeconds of
// connecting, or idles for idleSeconds between requests.
class RequestClient : public ClientConnection {
 public:
  RequestClient(RequestHandler* handler, uint32_t peer, int firstSeconds,
                int idleSeconds = kRequestIdleSeconds);
  ConnectionWait Begin(int fd) override;
  ConnectionWait Readable(int fd) override;

 private:
  RequestHandler* handler_;
  uint32_t peer_;
  int firstSeconds_;
  int idleSeconds_;
  std::string in_;  // a frame not yet whole
  bool answered_ = false;
  AcceptorClock::time_point firstBy_;
};

// Text of a notice for logs: "3 (configuration changed)".
std::string NoticeCodeText(uint32_t code);
