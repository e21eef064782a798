#include "request_service.h"

#include <poll.h>
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
  if (code < kNoticeCreated || code > kNoticeStatistics) return SendFrame(NCW_BAD_REQUEST);
  if (code != kNoticeStatistics && !ModuleOf(request, &module)) return SendFrame(NCW_BAD_REQUEST);
  // Never a cut reply: a caller that cannot take all 140 bytes gets nothing done.
  if (capacity < kNoticeBytes) return SendFrame(NCW_REPLY_TOO_LONG);
  unsigned char reply[kNoticeBytes] = {};
  if (code == kNoticeStatistics) {
    handler->Statistics(reply);
  } else {
    handler->Notice(code, module, peer);
  }
  return SendFrame(NCW_OK, reply, sizeof reply);
}

// Waits for and reads exactly n bytes; false on close, error or idleness.
bool ReadExactly(int fd, unsigned char* out, size_t n, int idleSeconds) {
  size_t got = 0;
  while (got < n) {
    pollfd p{fd, POLLIN, 0};
    int ready = poll(&p, 1, idleSeconds * 1000);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    ssize_t r = recv(fd, out + got, n - got, 0);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    got += static_cast<size_t>(r);
  }
  return true;
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

void ServeRequestConnection(RequestHandler* handler, int fd, uint32_t peer, int idleSeconds) {
  timeval tv{idleSeconds, 0};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  unsigned char header[NCW_HEADER_BYTES];
  unsigned char payload[NCW_MAX_PAYLOAD];
  for (;;) {
    uint16_t type = 0;
    uint32_t length = 0;
    if (!ReadExactly(fd, header, sizeof header, idleSeconds)) return;
    // A broken header leaves nothing to answer and no way to find the next frame.
    if (ncw_read_header(header, &type, &length) != 0) return;
    if (length > 0 && !ReadExactly(fd, payload, length, idleSeconds)) return;
    if (!SendAll(fd, AnswerRequest(handler, type, payload, length, peer))) return;
  }
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
