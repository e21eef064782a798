#include "mail_link.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "store_fs.h"

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point end) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

bool WaitFor(int fd, short events, Clock::time_point end) {
  pollfd p{fd, events, 0};
  for (;;) {
    int r = poll(&p, 1, MsLeft(end));
    if (r < 0 && errno == EINTR) continue;
    return r > 0;
  }
}

// Exactly n bytes, or false when the peer closed or time ran out.
bool ReadExactly(int fd, unsigned char* out, size_t n, Clock::time_point end) {
  size_t got = 0;
  while (got < n) {
    if (!WaitFor(fd, POLLIN, end)) return false;
    ssize_t r = recv(fd, out + got, n - got, MSG_DONTWAIT);
    if (r < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (r <= 0) return false;
    got += static_cast<size_t>(r);
  }
  return true;
}

}  // namespace

MailLink::MailLink(const std::string& address) : address_(address) {
  if (ncw_parse_address(address.c_str(), &ip_, &port_) != 0) port_ = 0;
}

bool MailLink::Ask(const unsigned char request[kNoticeBytes], unsigned char reply[kNoticeBytes],
                   int waitSeconds, std::string* error) const {
  auto end = Clock::now() + std::chrono::seconds(waitSeconds);
  UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port_);
  to.sin_addr.s_addr = htonl(ip_);
  if (!fd.Valid()) {
    *error = strerror(errno);
    return false;
  }
  int c = connect(fd.Get(), reinterpret_cast<sockaddr*>(&to), sizeof to);
  int soError = 0;
  socklen_t len = sizeof soError;
  if ((c != 0 && errno != EINPROGRESS) || !WaitFor(fd.Get(), POLLOUT, end) ||
      getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &soError, &len) != 0 || soError != 0) {
    *error = "cannot reach the mail system at " + address_ +
             (soError ? std::string(": ") + strerror(soError) : std::string());
    return false;
  }
  unsigned char frame[NCW_HEADER_BYTES + 12 + kNoticeBytes];
  ncw_write_header(frame, NCW_SEND, 12 + kNoticeBytes);
  ncw_put_u32(frame + NCW_HEADER_BYTES, kMessagingServiceId);
  ncw_put_u32(frame + NCW_HEADER_BYTES + 4, kNoticeBytes);
  ncw_put_u32(frame + NCW_HEADER_BYTES + 8, kNoticeBytes);
  memcpy(frame + NCW_HEADER_BYTES + 12, request, kNoticeBytes);
  size_t sent = 0;
  while (sent < sizeof frame) {
    if (!WaitFor(fd.Get(), POLLOUT, end)) break;
    ssize_t n = send(fd.Get(), frame + sent, sizeof frame - sent, MSG_NOSIGNAL);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  unsigned char header[NCW_HEADER_BYTES];
  unsigned char payload[NCW_MAX_PAYLOAD];
  uint16_t type = 0;
  uint32_t length = 0;
  if (sent != sizeof frame || !ReadExactly(fd.Get(), header, sizeof header, end) ||
      ncw_read_header(header, &type, &length) != 0 ||
      !ReadExactly(fd.Get(), payload, length, end)) {
    *error = "no answer from the mail system at " + address_;
    return false;
  }
  if (ncw_check_reply(NCW_SEND, type, payload, length, kNoticeBytes) != 0 ||
      ncw_get_u32(payload) != NCW_OK || ncw_get_u32(payload + 4) != kNoticeBytes) {
    *error = "the mail system at " + address_ + " refused the request (status " +
             std::to_string(static_cast<int32_t>(ncw_get_u32(payload))) + ")";
    return false;
  }
  memcpy(reply, payload + NCW_SEND_REPLY_FIXED, kNoticeBytes);
  return true;
}

std::string MailLink::State(int waitSeconds) const {
  unsigned char request[kNoticeBytes] = {};
  unsigned char reply[kNoticeBytes] = {};
  ncw_put_u32(request, kNoticeMailState);
  std::string error;
  if (!Ask(request, reply, waitSeconds, &error)) return std::string();
  // The text after the flags, NUL-terminated within the reply.
  const char* text = reinterpret_cast<const char*>(reply + 4);
  return std::string(text, strnlen(text, kNoticeBytes - 4));
}
