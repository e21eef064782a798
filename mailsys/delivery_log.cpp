#include "delivery_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mail_values.h"
#include "server_stats.h"

namespace zelm::mail {
namespace {

constexpr size_t kLiveMax = 200000;     // messages followed at once; a log missing removals stays bounded
constexpr size_t kReadMax = 4u << 20;   // bytes taken per poll

bool Starts(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

uint64_t NumberAfter(std::string_view s, std::string_view key) {
  size_t at = s.find(key);
  uint64_t v = 0;
  if (at == std::string_view::npos) return 0;
  for (at += key.size(); at < s.size() && s[at] >= '0' && s[at] <= '9'; ++at)
    v = v * 10 + static_cast<uint64_t>(s[at] - '0');
  return v;
}

}  // namespace

void DeliveryLog::Forget(const std::string& id) {
  auto it = live_.find(id);
  if (it == live_.end()) return;
  if (it->second.counted && c_.queued[it->second.lastSide]) --c_.queued[it->second.lastSide];
  live_.erase(it);
}

void DeliveryLog::Line(std::string_view line) {
  // "... postfix/qmgr[123]: 4F3A2B1C9D: from=<a@b>, size=512, nrcpt=1 (queue active)"
  size_t p = line.find(" postfix/");
  if (p == std::string_view::npos) return;
  size_t bracket = line.find('[', p);
  size_t colon = line.find("]: ", p);
  if (bracket == std::string_view::npos || colon == std::string_view::npos || colon < bracket)
    return;
  std::string_view program = line.substr(p + 9, bracket - p - 9);
  program = program.substr(program.rfind('/') == std::string_view::npos ? 0 : program.rfind('/') + 1);
  std::string_view rest = line.substr(colon + 3);
  size_t idEnd = rest.find(": ");
  if (idEnd == std::string_view::npos || idEnd == 0 || idEnd > 32) return;
  for (char c : rest.substr(0, idEnd))
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return;
  std::string id(rest.substr(0, idEnd));
  std::string_view what = rest.substr(idEnd + 2);

  if (program == "qmgr" && what == "removed") {
    Forget(id);
    return;
  }
  if (live_.size() >= kLiveMax && !live_.count(id)) {
    live_.clear();
    c_.queued[0] = c_.queued[1] = 0;
  }
  Message& m = live_[id];
  if (program == "smtpd" && Starts(what, "client=")) {
    size_t open = what.rfind('['), close = what.rfind(']');
    uint32_t ip = 0;
    m.remoteOrigin = !(open != std::string_view::npos && close > open &&
                       ParseIpv4(what.substr(open + 1, close - open - 1), &ip) &&
                       IsLocalPeer(ip, listen_));
  } else if (program == "qmgr" && Starts(what, "from=") && !m.counted) {
    m.counted = true;
    m.size = NumberAfter(what, ", size=");
    int side = m.remoteOrigin ? 1 : 0;
    ++c_.received[side];
    c_.receivedBytes[side] += m.size;
    ++c_.queued[0];
  } else if ((program == "lmtp" || program == "smtp") && Starts(what, "to=")) {
    int side = program == "lmtp" ? 0 : 1;
    if (m.counted && side != m.lastSide) {
      --c_.queued[m.lastSide];
      ++c_.queued[side];
    }
    m.lastSide = side;
    if (what.find(", status=sent ") == std::string_view::npos) return;
    ++c_.recipients[side];
    if (!m.delivered[side]) {
      m.delivered[side] = true;
      ++c_.delivered[side];
      c_.deliveredBytes[side] += m.size;
    }
  }
}

LogFollower::LogFollower(std::string path) : path_(std::move(path)) {
  struct stat st;
  if (stat(path_.c_str(), &st) == 0) {
    inode_ = st.st_ino;
    offset_ = st.st_size;
  }
}

std::string LogFollower::Take() {
  std::string out = partial_;
  partial_.clear();
  struct stat st;
  if (stat(path_.c_str(), &st) != 0) return out;
  if (st.st_ino != inode_ || st.st_size < offset_) {
    inode_ = st.st_ino;
    offset_ = 0;
    out.clear();
  }
  int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return out;
  char buf[65536];
  size_t taken = 0;
  for (ssize_t n; taken < kReadMax && (n = pread(fd, buf, sizeof buf, offset_)) > 0;) {
    out.append(buf, static_cast<size_t>(n));
    offset_ += n;
    taken += static_cast<size_t>(n);
  }
  close(fd);
  return out;
}

}  // namespace zelm::mail
