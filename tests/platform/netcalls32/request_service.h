// An in-process server request service for tests: speaks the request wire
// (platform/netcalls32/PROTOCOL.md) on a loopback address of its own
// (127.0.x.y, so parallel test processes never collide), answers lookups,
// sends and module loads as configured, records every request it took, and
// can be told to break the protocol in the ways a faulty server would.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

struct ServiceRequest {
  uint16_t type;       // NCW_LOOKUP, NCW_SEND, NCW_LOAD, NCW_UNLOAD
  std::string name;    // lookup, load, unload
  uint32_t serviceId;  // send
  uint32_t capacity;   // send: reply capacity the client asked for
  std::string data;    // send: the request bytes
};

class RequestService {
 public:
  enum Fault {
    kNone,
    kReplyOverCapacity,  // a send reply with more data than the capacity asked for
    kTruncatedReply,     // a header announcing more payload than follows, then close
    kSilent,             // takes the request, never answers
    kBadMagic,           // answers with a broken header
    kWrongReplyType,     // answers with another type's reply
    kCloseOnAccept,      // closes every connection at once
  };

  RequestService() = default;
  ~RequestService();
  RequestService(const RequestService&) = delete;
  RequestService& operator=(const RequestService&) = delete;

  // Listens on port (998, the default port, or 0 for any free port).
  bool Start(uint16_t port = 998);
  // "127.0.x.y" on port 998, else "127.0.x.y:port": as a "Network Address".
  std::string Address() const;

  void AddService(const std::string& name, uint32_t id, uint16_t major = 1, uint16_t minor = 0,
                  uint16_t revision = 0);
  // What a send to a known service answers (data only sent with status 0).
  void SetSendReply(const std::string& data, int32_t status = 0);
  void SetModuleStatus(int32_t load, int32_t unload);
  void SetFault(Fault fault);

  std::vector<ServiceRequest> Requests();
  // Waits until at least n requests were taken; false on timeout.
  bool WaitForRequests(size_t n, int timeoutMs = 10000);
  // Connections accepted so far (also those closed before a request).
  int Connections();
  void Stop();

 private:
  struct Entry {
    std::string name;
    uint32_t id;
    uint16_t major, minor, revision;
  };
  static DWORD WINAPI ThreadMain(void* self);
  void Run();
  void Serve(SOCKET client);
  bool Answer(SOCKET client, uint16_t type, const unsigned char* payload, uint32_t length);
  bool Stopping() { return WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0; }

  SOCKET listen_ = INVALID_SOCKET;
  uint32_t ip_ = 0;
  uint16_t port_ = 0;
  HANDLE thread_ = nullptr;
  HANDLE stop_ = nullptr;
  bool wsaStarted_ = false;
  CRITICAL_SECTION lock_;
  bool lockReady_ = false;
  // Guarded by lock_:
  std::vector<Entry> services_;
  std::string sendReply_ = std::string(140, '\0');
  int32_t sendStatus_ = 0;
  int32_t loadStatus_ = 0;
  int32_t unloadStatus_ = 0;
  Fault fault_ = kNone;
  std::vector<ServiceRequest> requests_;
  int connections_ = 0;
};
