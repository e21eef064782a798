// The statistics page's message counters, from what Postfix logs about each
// message: received (by the sender's side: local when it came from this
// machine), delivered (local into the store by LMTP, remote to another
// server by SMTP; once per message and side), recipients delivered, bytes,
// and the messages waiting in the queue.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zelm::mail {

struct DeliveryCounters {
  // [0] local, [1] remote.
  uint64_t received[2] = {}, receivedBytes[2] = {};
  uint64_t delivered[2] = {}, deliveredBytes[2] = {};
  uint64_t recipients[2] = {};
  uint64_t queued[2] = {};  // messages received and not yet removed, by their last attempt's side
};

class DeliveryLog {
 public:
  // listenAddress (host byte order): a client there counts as local.
  explicit DeliveryLog(uint32_t listenAddress) : listen_(listenAddress) {}
  // One line of the log, without its line end.
  void Line(std::string_view line);
  const DeliveryCounters& Counters() const { return c_; }

 private:
  struct Message {
    bool remoteOrigin = false;
    bool counted = false;           // received counted
    uint64_t size = 0;
    bool delivered[2] = {false, false};
    int lastSide = 0;
  };
  void Forget(const std::string& id);

  uint32_t listen_;
  DeliveryCounters c_;
  std::unordered_map<std::string, Message> live_;
};

// The lines a growing file gains: the first Poll starts at its end as it was
// when this was made; a file replaced or cut short is read from its start.
class LogFollower {
 public:
  explicit LogFollower(std::string path);
  template <class Fn>
  void Poll(Fn&& each) {
    std::string chunk = Take();
    size_t at = 0;
    for (size_t nl; (nl = chunk.find('\n', at)) != std::string::npos; at = nl + 1)
      each(std::string_view(chunk).substr(at, nl - at));
    // A line longer than any Postfix writes is not followed to its end.
    partial_ = chunk.size() - at > kLineMax ? std::string() : chunk.substr(at);
  }
  enum : size_t { kLineMax = 65536 };

 private:
  std::string Take();
  std::string path_;
  ino_t inode_ = 0;
  off_t offset_ = 0;
  std::string partial_;
};

}  // namespace zelm::mail
