#include "request_service.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <strings.h>

const char kMessagingService[] = "Arbolin Messaging System";
const char kStoreModule[] = "MSGSRV";

namespace {

std::string Frame(uint16_t requestType, const unsigned char* payload, uint32_t length) {
  unsigned char header[NCW_HEADER_BYTES];
  ncw_write_header(header, static_cast<uint16_t>(requestType | NCW_REPLY_BIT), length);
  std::string out(reinterpret_cast<const char*>(header), sizeof header);
  out.append(reinterpret_cast<const char*>(payload), length);
  return out;
}

std::string StatusFrame(uint16_t type, int32_t status) {
  unsigned char p[NCW_STATUS_REPLY_BYTES];
  ncw_put_u32(p, static_cast<uint32_t>(status));
  return Frame(type, p, sizeof p);
}

std::string LookupFrame(int32_t status) {
  unsigned char p[NCW_LOOKUP_REPLY_BYTES] = {};
  ncw_put_u32(p, static_cast<uint32_t>(status));
  if (status == NCW_OK) {
    ncw_put_u32(p + 4, kMessagingServiceId);
    ncw_put_u16(p + 8, 1);  // version 1.0.0
  }
  return Frame(NCW_LOOKUP, p, sizeof p);
}

std::string SendFrame(int32_t status, const unsigned char* data = nullptr, uint32_t length = 0) {
  unsigned char p[NCW_SEND_REPLY_FIXED + kNoticeBytes] = {};
  ncw_put_u32(p, static_cast<uint32_t>(status));
  if (status != NCW_OK) length = 0;
  ncw_put_u32(p + 4, length);
  if (length) memcpy(p + NCW_SEND_REPLY_FIXED, data, length);
  return Frame(NCW_SEND, p, NCW_SEND_REPLY_FIXED + length);
}

std::string NameOf(const unsigned char* payload) {
  return std::string(reinterpret_cast<const char*>(payload + 2), ncw_get_u16(payload));
}

// The module file name of a notice: NUL-terminated within its field and
// printable; false otherwise.
bool ModuleOf(const unsigned char* request, std::string* module) {
  const unsigned char* field = request + 4;
  const void* nul = memchr(field, 0, kNoticeModuleBytes);
  if (!nul) return false;
  size_t n = static_cast<size_t>(static_cast<const unsigned char*>(nul) - field);
  for (size_t i = 0; i < n; ++i)
    if (field[i] < 0x20 || field[i] > 0x7E) return false;
  module->assign(reinterpret_cast<const char*>(field), n);
  return true;
}

std::string AnswerSend(RequestHandler* handler, const unsigned char* payload, uint32_t peer) {
  uint32_t service = ncw_get_u32(payload);
  uint32_t capacity = ncw_get_u32(payload + 4);
  uint32_t length = ncw_get_u32(payload + 8);
  const unsigned char* request = payload + 12;
  if (service != kMessagingServiceId) return SendFrame(NCW_NO_SUCH_SERVICE);
  if (length != kNoticeBytes) return SendFrame(NCW_BAD_REQUEST);
  uint32_t code = ncw_get_u32(request);
  std::string module;
  unsigned char reply[kNoticeBytes] = {};
  if (code < kNoticeCreated || code > kNoticeStatistics) {
    return capacity >= kNoticeBytes && handler->OtherRequest(code, request, reply)
               ? SendFrame(NCW_OK, reply, sizeof reply)
               : SendFrame(NCW_BAD_REQUEST);
  }
  if (code != kNoticeStatistics && !ModuleOf(request, &module)) return SendFrame(NCW_BAD_REQUEST);
  // Never a cut reply: a caller that cannot take all 140 bytes gets nothing done.
  if (capacity < kNoticeBytes) return SendFrame(NCW_REPLY_TOO_LONG);
  if (code == kNoticeStatistics) {
    handler->Statistics(reply);
  } else {
    handler->Notice(code, module, peer);
  }
  return SendFrame(NCW_OK, reply, sizeof reply);
}

bool SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string AnswerRequest(RequestHandler* handler, uint16_t type, const unsigned char* payload,
                          uint32_t length, uint32_t peer) {
  bool wellFormed = ncw_check_request(type, payload, length) == NCW_OK;
  switch (type) {
    case NCW_LOOKUP:
      if (!wellFormed) return LookupFrame(NCW_BAD_REQUEST);
      return LookupFrame(strcasecmp(NameOf(payload).c_str(), kMessagingService) == 0
                             ? NCW_OK
                             : NCW_NO_SUCH_SERVICE);
    case NCW_SEND:
      if (!wellFormed) return SendFrame(NCW_BAD_REQUEST);
      return AnswerSend(handler, payload, peer);
    case NCW_LOAD:
    case NCW_UNLOAD: {
      if (!wellFormed) return StatusFrame(type, NCW_BAD_REQUEST);
      std::string module = NameOf(payload);
      return StatusFrame(type, type == NCW_LOAD ? handler->LoadModule(module)
                                                : handler->UnloadModule(module));
    }
    default:
      return StatusFrame(type, NCW_BAD_REQUEST);
  }
}

RequestClient::RequestClient(RequestHandler* handler, uint32_t peer, int firstSeconds,
                             int idleSeconds)
    : handler_(handler), peer_(peer), firstSeconds_(firstSeconds), idleSeconds_(idleSeconds) {}

ConnectionWait RequestClient::Begin(int fd) {
  timeval tv{idleSeconds_, 0};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  // The wire has no greeting: a caller sends its request at once.
  firstBy_ = AcceptorClock::now() + std::chrono::seconds(firstSeconds_);
  return ConnectionWait::Until(firstBy_);
}

ConnectionWait RequestClient::Readable(int fd) {
  char buf[4096];
  for (;;) {
    ssize_t got = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (got <= 0) return ConnectionWait::Close();
    in_.append(buf, static_cast<size_t>(got));
    while (in_.size() >= NCW_HEADER_BYTES) {
      const auto* bytes = reinterpret_cast<const unsigned char*>(in_.data());
      uint16_t type = 0;
      uint32_t length = 0;
      // A broken header leaves nothing to answer and no way to find the next frame.
      if (ncw_read_header(bytes, &type, &length) != 0) return ConnectionWait::Close();
      if (in_.size() < NCW_HEADER_BYTES + length) break;
      answered_ = true;
      std::string reply = AnswerRequest(handler_, type, bytes + NCW_HEADER_BYTES, length, peer_);
      in_.erase(0, NCW_HEADER_BYTES + length);
      if (!SendAll(fd, reply)) return ConnectionWait::Close();
    }
  }
  return ConnectionWait::Until(
      answered_ ? AcceptorClock::now() + std::chrono::seconds(idleSeconds_) : firstBy_);
}

std::string NoticeCodeText(uint32_t code) {
  const char* text = "unknown";
  switch (code) {
    case kNoticeCreated: text = "created or enabled"; break;
    case kNoticeDeleted: text = "deleted or disabled"; break;
    case kNoticeChanged: text = "configuration changed"; break;
    case kNoticeStatistics: text = "statistics"; break;
  }
  return std::to_string(code) + " (" + text + ")";
}
