// netcalls32.dll: one request frame and one reply frame per call, over a TCP
// connection of its own to the address the directory client knows for the
// server. Every wait is bounded so that a dead or silent server cannot hang
// the administration host's user-interface thread.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstring>

#include "dsclient32.h"
#include "netcalls32.h"

namespace {

std::atomic<uint32_t> g_connectMs{NC_DEFAULT_CONNECT_MS};
std::atomic<uint32_t> g_replyMs{NC_DEFAULT_REPLY_MS};

constexpr uint32_t kAddressBytes = 64;

// Milliseconds left until deadline (GetTickCount based, wrap-safe); 0 when past.
DWORD Left(DWORD deadline) {
  int32_t left = static_cast<int32_t>(deadline - GetTickCount());
  return left > 0 ? static_cast<DWORD>(left) : 0;
}

// 1 when the socket is ready for the wanted direction before the deadline,
// 0 on timeout, -1 on error.
int Wait(SOCKET s, bool forWrite, DWORD deadline) {
  DWORD ms = Left(deadline);
  fd_set set, failed;
  FD_ZERO(&set);
  FD_ZERO(&failed);
  FD_SET(s, &set);
  FD_SET(s, &failed);
  timeval tv = {static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
  int r = select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, &failed, &tv);
  if (r < 0) return -1;
  if (r == 0) return 0;
  if (FD_ISSET(s, &failed)) return -1;
  return 1;
}

// One exchange's socket; WSAStartup/WSACleanup pair with its life.
class Exchange {
 public:
  Exchange() { started_ = WSAStartup(MAKEWORD(2, 2), &wsa_) == 0; }
  ~Exchange() {
    if (s_ != INVALID_SOCKET) closesocket(s_);
    if (started_) WSACleanup();
  }
  Exchange(const Exchange&) = delete;
  Exchange& operator=(const Exchange&) = delete;

  int32_t Connect(uint32_t ip, uint16_t port) {
    if (!started_) return NC_ERR_UNREACHABLE;
    s_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s_ == INVALID_SOCKET) return NC_ERR_UNREACHABLE;
    u_long nonBlocking = 1;
    ioctlsocket(s_, FIONBIO, &nonBlocking);
    BOOL one = TRUE;
    setsockopt(s_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(ip);
    DWORD deadline = GetTickCount() + g_connectMs.load();
    if (connect(s_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return 0;
    if (WSAGetLastError() != WSAEWOULDBLOCK) return NC_ERR_UNREACHABLE;
    if (Wait(s_, true, deadline) != 1) return NC_ERR_UNREACHABLE;
    int error = 0;
    int size = sizeof error;
    getsockopt(s_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
    return error == 0 ? 0 : NC_ERR_UNREACHABLE;
  }

  int32_t SendAll(const unsigned char* data, uint32_t length) {
    DWORD deadline = GetTickCount() + g_replyMs.load();
    uint32_t sent = 0;
    while (sent < length) {
      int n = send(s_, reinterpret_cast<const char*>(data) + sent, static_cast<int>(length - sent), 0);
      if (n > 0) {
        sent += static_cast<uint32_t>(n);
        continue;
      }
      if (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK) return NC_ERR_PROTOCOL;
      int w = Wait(s_, true, deadline);
      if (w == 0) return NC_ERR_TIMEOUT;
      if (w < 0) return NC_ERR_PROTOCOL;
    }
    replyDeadline_ = GetTickCount() + g_replyMs.load();
    return 0;
  }

  // Exactly length bytes of the reply, before the reply deadline.
  int32_t ReceiveAll(unsigned char* data, uint32_t length) {
    uint32_t got = 0;
    while (got < length) {
      int w = Wait(s_, false, replyDeadline_);
      if (w == 0) return NC_ERR_TIMEOUT;
      if (w < 0) return NC_ERR_PROTOCOL;
      int n = recv(s_, reinterpret_cast<char*>(data) + got, static_cast<int>(length - got), 0);
      if (n == 0) return NC_ERR_PROTOCOL;  // closed before the reply was whole
      if (n < 0) {
        if (WSAGetLastError() == WSAEWOULDBLOCK) continue;
        return NC_ERR_PROTOCOL;
      }
      got += static_cast<uint32_t>(n);
    }
    return 0;
  }

 private:
  WSADATA wsa_;
  bool started_ = false;
  SOCKET s_ = INVALID_SOCKET;
  DWORD replyDeadline_ = 0;
};

int32_t FromStatus(int32_t status) {
  switch (status) {
    case NCW_OK: return 0;
    case NCW_NO_SUCH_SERVICE: return NC_ERR_NO_SUCH_SERVICE;
    case NCW_NO_SUCH_MODULE: return NC_ERR_NO_SUCH_MODULE;
    case NCW_MODULE_FAILED: return NC_ERR_MODULE_FAILED;
    case NCW_BAD_REQUEST: return NC_ERR_BAD_REQUEST;
    case NCW_REPLY_TOO_LONG: return NC_ERR_REPLY_TOO_LONG;
    case NCW_SERVICE_FAILED: return NC_ERR_SERVICE_FAILED;
    default: return NC_ERR_PROTOCOL;
  }
}

// Sends one request frame to the connection's server and takes its reply's
// payload (checked against the request) into reply (NCW_MAX_PAYLOAD bytes).
int32_t Call(uint32_t connection, uint16_t type, const unsigned char* payload, uint32_t length,
             uint32_t capacity, unsigned char* reply, uint32_t* replyLength) {
  char address[kAddressBytes];
  if (DSCGetConnectionAddress(connection, address, sizeof address) != 0) return NC_ERR_NO_CONNECTION;
  uint32_t ip = 0;
  uint16_t port = 0;
  if (ncw_parse_address(address, &ip, &port) != 0) return NC_ERR_UNREACHABLE;

  unsigned char frame[NCW_HEADER_BYTES + NCW_MAX_PAYLOAD];
  ncw_write_header(frame, type, length);
  memcpy(frame + NCW_HEADER_BYTES, payload, length);

  Exchange x;
  if (int32_t r = x.Connect(ip, port)) return r;
  if (int32_t r = x.SendAll(frame, NCW_HEADER_BYTES + length)) return r;
  unsigned char header[NCW_HEADER_BYTES];
  if (int32_t r = x.ReceiveAll(header, sizeof header)) return r;
  uint16_t replyType = 0;
  uint32_t n = 0;
  if (ncw_read_header(header, &replyType, &n) != 0) return NC_ERR_PROTOCOL;
  if (int32_t r = x.ReceiveAll(reply, n)) return r;
  int check = ncw_check_reply(type, replyType, reply, n, capacity);
  if (check == -2) return NC_ERR_REPLY_TOO_LONG;
  if (check != 0) return NC_ERR_PROTOCOL;
  *replyLength = n;
  return 0;
}

int32_t ModuleCall(uint32_t connection, uint16_t type, const char* module) {
  unsigned char payload[2 + NCW_MAX_NAME];
  uint32_t length = ncw_encode_name(payload, module);
  if (length == 0) return NC_ERR_INVALID_ARGUMENT;
  unsigned char reply[NCW_MAX_PAYLOAD];
  uint32_t n = 0;
  if (int32_t r = Call(connection, type, payload, length, 0, reply, &n)) return r;
  return FromStatus(static_cast<int32_t>(ncw_get_u32(reply)));
}

}  // namespace

extern "C" {

int32_t NCLookupService(uint32_t connection, const char* name, uint32_t* serviceId,
                        uint16_t* major, uint16_t* minor, uint16_t* revision,
                        const void* queryData) {
  if (serviceId) *serviceId = 0;
  if (major) *major = 0;
  if (minor) *minor = 0;
  if (revision) *revision = 0;
  unsigned char payload[2 + NCW_MAX_NAME];
  uint32_t length = ncw_encode_name(payload, name);
  if (length == 0) return NC_ERR_INVALID_ARGUMENT;
  unsigned char reply[NCW_MAX_PAYLOAD];
  uint32_t n = 0;
  if (int32_t r = Call(connection, NCW_LOOKUP, payload, length, 0, reply, &n)) return r;
  if (int32_t r = FromStatus(static_cast<int32_t>(ncw_get_u32(reply)))) return r;
  if (serviceId) *serviceId = ncw_get_u32(reply + 4);
  if (major) *major = ncw_get_u16(reply + 8);
  if (minor) *minor = ncw_get_u16(reply + 10);
  if (revision) *revision = ncw_get_u16(reply + 12);
  return 0;
}

int32_t NCSendRequest(uint32_t connection, uint32_t serviceId, const void* request,
                      uint32_t requestLength, void* reply, uint16_t* replyLength) {
  if (!replyLength) return NC_ERR_INVALID_ARGUMENT;
  uint32_t capacity = *replyLength < NCW_MAX_DATA ? *replyLength : NCW_MAX_DATA;
  *replyLength = 0;
  if (!request || requestLength == 0 || requestLength > NCW_MAX_DATA || (!reply && capacity))
    return NC_ERR_INVALID_ARGUMENT;
  unsigned char payload[12 + NCW_MAX_DATA];
  ncw_put_u32(payload, serviceId);
  ncw_put_u32(payload + 4, capacity);
  ncw_put_u32(payload + 8, requestLength);
  memcpy(payload + 12, request, requestLength);
  unsigned char answer[NCW_MAX_PAYLOAD];
  uint32_t n = 0;
  if (int32_t r = Call(connection, NCW_SEND, payload, 12 + requestLength, capacity, answer, &n))
    return r;
  if (int32_t r = FromStatus(static_cast<int32_t>(ncw_get_u32(answer)))) return r;
  uint32_t data = n - NCW_SEND_REPLY_FIXED;  // checked against capacity by the wire check
  if (data) memcpy(reply, answer + NCW_SEND_REPLY_FIXED, data);
  *replyLength = static_cast<uint16_t>(data);
  return 0;
}

int32_t NCLoadModule(uint32_t connection, const char* module) {
  return ModuleCall(connection, NCW_LOAD, module);
}

int32_t NCUnloadModule(uint32_t connection, const char* module) {
  return ModuleCall(connection, NCW_UNLOAD, module);
}

int32_t NCSetTimeouts(uint32_t connectMs, uint32_t replyMs) {
  g_connectMs = connectMs ? connectMs : NC_DEFAULT_CONNECT_MS;
  g_replyMs = replyMs ? replyMs : NC_DEFAULT_REPLY_MS;
  return 0;
}

}  // extern "C"
