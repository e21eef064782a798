#include "request_service.h"

#include <stdio.h>
#include <string.h>

#include "netcalls_wire.h"

namespace {

// Loopback addresses spread over 127.0.0.0/16, apart from the store peers'
// pattern, so services of parallel test processes never meet.
uint32_t NextCandidate() {
  static unsigned counter = 0;
  unsigned seed = GetCurrentProcessId() * 2246822519u + GetTickCount() * 3u + counter++ * 97u;
  unsigned a = 1 + (seed >> 9) % 250;
  unsigned b = 2 + (seed >> 1) % 250;
  return (127u << 24) | (a << 8) | b;
}

bool SendAll(SOCKET s, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    int n = send(s, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

std::string Frame(uint16_t type, const std::string& payload) {
  unsigned char header[NCW_HEADER_BYTES];
  ncw_write_header(header, type, static_cast<uint32_t>(payload.size()));
  return std::string(reinterpret_cast<char*>(header), sizeof header) + payload;
}

std::string U16(uint16_t v) {
  unsigned char b[2];
  ncw_put_u16(b, v);
  return std::string(reinterpret_cast<char*>(b), 2);
}

std::string U32(uint32_t v) {
  unsigned char b[4];
  ncw_put_u32(b, v);
  return std::string(reinterpret_cast<char*>(b), 4);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

}  // namespace

RequestService::~RequestService() {
  Stop();
  if (lockReady_) DeleteCriticalSection(&lock_);
}

bool RequestService::Start(uint16_t port) {
  WSADATA wsa;
  wsaStarted_ = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
  InitializeCriticalSection(&lock_);
  lockReady_ = true;
  for (int attempt = 0; attempt < 64; ++attempt) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return false;
    sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(NextCandidate());
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(s, 8) == 0) {
      int size = sizeof a;
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
      listen_ = s;
      ip_ = ntohl(a.sin_addr.s_addr);
      port_ = ntohs(a.sin_port);
      stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
      thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
      return thread_ != nullptr;
    }
    closesocket(s);
  }
  return false;
}

std::string RequestService::Address() const {
  char text[32];
  int n = snprintf(text, sizeof text, "%u.%u.%u.%u", ip_ >> 24, (ip_ >> 16) & 255, (ip_ >> 8) & 255,
                   ip_ & 255);
  if (port_ != NCW_DEFAULT_PORT) snprintf(text + n, sizeof text - n, ":%u", port_);
  return text;
}

void RequestService::AddService(const std::string& name, uint32_t id, uint16_t major,
                                uint16_t minor, uint16_t revision) {
  EnterCriticalSection(&lock_);
  services_.push_back({name, id, major, minor, revision});
  LeaveCriticalSection(&lock_);
}

void RequestService::SetSendReply(const std::string& data, int32_t status) {
  EnterCriticalSection(&lock_);
  sendReply_ = data;
  sendStatus_ = status;
  LeaveCriticalSection(&lock_);
}

void RequestService::SetModuleStatus(int32_t load, int32_t unload) {
  EnterCriticalSection(&lock_);
  loadStatus_ = load;
  unloadStatus_ = unload;
  LeaveCriticalSection(&lock_);
}

void RequestService::SetFault(Fault fault) {
  EnterCriticalSection(&lock_);
  fault_ = fault;
  LeaveCriticalSection(&lock_);
}

std::vector<ServiceRequest> RequestService::Requests() {
  EnterCriticalSection(&lock_);
  std::vector<ServiceRequest> copy = requests_;
  LeaveCriticalSection(&lock_);
  return copy;
}

int RequestService::Connections() {
  EnterCriticalSection(&lock_);
  int n = connections_;
  LeaveCriticalSection(&lock_);
  return n;
}

bool RequestService::WaitForRequests(size_t n, int timeoutMs) {
  DWORD end = GetTickCount() + static_cast<DWORD>(timeoutMs);
  while (Requests().size() < n) {
    if (static_cast<int>(end - GetTickCount()) <= 0) return false;
    Sleep(10);
  }
  return true;
}

void RequestService::Stop() {
  if (thread_) {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
    thread_ = nullptr;
  }
  if (listen_ != INVALID_SOCKET) closesocket(listen_);
  listen_ = INVALID_SOCKET;
  if (wsaStarted_) WSACleanup();
  wsaStarted_ = false;
}

DWORD WINAPI RequestService::ThreadMain(void* self) {
  static_cast<RequestService*>(self)->Run();
  return 0;
}

void RequestService::Run() {
  while (!Stopping()) {
    fd_set rd;
    FD_ZERO(&rd);
    FD_SET(listen_, &rd);
    timeval tv = {0, 50000};
    if (select(0, &rd, nullptr, nullptr, &tv) <= 0) continue;
    SOCKET client = accept(listen_, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    EnterCriticalSection(&lock_);
    ++connections_;
    Fault fault = fault_;
    LeaveCriticalSection(&lock_);
    if (fault != kCloseOnAccept) Serve(client);
    closesocket(client);
  }
}

// Frames of one connection until the client closes, a frame is broken, or
// the test stops the service.
void RequestService::Serve(SOCKET client) {
  std::string in;
  for (;;) {
    if (Stopping()) return;
    fd_set rd;
    FD_ZERO(&rd);
    FD_SET(client, &rd);
    timeval tv = {0, 50000};
    int ready = select(0, &rd, nullptr, nullptr, &tv);
    if (ready < 0) return;
    if (ready == 0) continue;
    char buf[2048];
    int n = recv(client, buf, sizeof buf, 0);
    if (n <= 0) return;
    in.append(buf, static_cast<size_t>(n));
    while (in.size() >= NCW_HEADER_BYTES) {
      uint16_t type = 0;
      uint32_t length = 0;
      if (ncw_read_header(reinterpret_cast<const unsigned char*>(in.data()), &type, &length) != 0)
        return;  // a broken frame ends the connection without an answer
      if (in.size() < NCW_HEADER_BYTES + length) break;
      const unsigned char* payload = reinterpret_cast<const unsigned char*>(in.data()) + NCW_HEADER_BYTES;
      if (!Answer(client, type, payload, length)) return;
      in.erase(0, NCW_HEADER_BYTES + length);
    }
  }
}

bool RequestService::Answer(SOCKET client, uint16_t type, const unsigned char* payload,
                            uint32_t length) {
  const uint16_t replyType = static_cast<uint16_t>(type | NCW_REPLY_BIT);
  int32_t check = ncw_check_request(type, payload, length);
  ServiceRequest got = {type, "", 0, 0, ""};
  if (check == NCW_OK) {
    if (type == NCW_SEND) {
      got.serviceId = ncw_get_u32(payload);
      got.capacity = ncw_get_u32(payload + 4);
      got.data.assign(reinterpret_cast<const char*>(payload) + 12, ncw_get_u32(payload + 8));
    } else {
      got.name.assign(reinterpret_cast<const char*>(payload) + 2, ncw_get_u16(payload));
    }
  }
  EnterCriticalSection(&lock_);
  requests_.push_back(got);
  Fault fault = fault_;
  std::vector<Entry> services = services_;
  std::string sendReply = sendReply_;
  int32_t sendStatus = sendStatus_, loadStatus = loadStatus_, unloadStatus = unloadStatus_;
  LeaveCriticalSection(&lock_);

  std::string reply;
  if (check != NCW_OK) {
    if (type == NCW_LOOKUP) reply = U32(NCW_BAD_REQUEST) + std::string(12, '\0');
    else if (type == NCW_SEND) reply = U32(NCW_BAD_REQUEST) + U32(0);
    else reply = U32(NCW_BAD_REQUEST);
  } else if (type == NCW_LOOKUP) {
    reply = U32(NCW_NO_SUCH_SERVICE) + std::string(12, '\0');
    for (const Entry& e : services)
      if (SameName(e.name, got.name))
        reply = U32(NCW_OK) + U32(e.id) + U16(e.major) + U16(e.minor) + U16(e.revision) + U16(0);
  } else if (type == NCW_SEND) {
    bool known = false;
    for (const Entry& e : services) known |= e.id == got.serviceId;
    if (!known) reply = U32(NCW_NO_SUCH_SERVICE) + U32(0);
    else if (sendStatus != NCW_OK) reply = U32(static_cast<uint32_t>(sendStatus)) + U32(0);
    else if (sendReply.size() > got.capacity && fault != kReplyOverCapacity)
      reply = U32(NCW_REPLY_TOO_LONG) + U32(0);
    else reply = U32(NCW_OK) + U32(static_cast<uint32_t>(sendReply.size())) + sendReply;
  } else {
    reply = U32(static_cast<uint32_t>(type == NCW_LOAD ? loadStatus : unloadStatus));
  }

  switch (fault) {
    case kSilent:
      while (!Stopping()) Sleep(20);
      return false;
    case kTruncatedReply: {
      std::string frame = Frame(replyType, reply);
      SendAll(client, frame.substr(0, frame.size() - 2));
      return false;
    }
    case kBadMagic: {
      std::string frame = Frame(replyType, reply);
      frame[0] = 'X';
      SendAll(client, frame);
      return true;
    }
    case kWrongReplyType:
      return SendAll(client, Frame(static_cast<uint16_t>(replyType ^ 0x0007), reply));
    default:
      return SendAll(client, Frame(replyType, reply));
  }
}
