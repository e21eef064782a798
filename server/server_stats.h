// What the server counts for the statistics page, and the 140-byte
// statistics reply the request service answers with. All counters run from
// the server's start; PROTOCOL.md says what each one counts.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

enum : uint32_t { kStatisticsReplyBytes = 140 };

struct ServerStats {
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
  // Connections: store clients served and turned away, request-service connections.
  std::atomic<uint64_t> storeConnections{0};
  std::atomic<uint64_t> storeRefusals{0};
  std::atomic<uint64_t> requestConnections{0};
  // Messages that appeared in mailboxes the server had looked at before.
  std::atomic<uint64_t> receivedMessages{0};
  std::atomic<uint64_t> receivedBytes{0};
  // Messages fetched by clients (BODY, or BRAW from offset 0) and the body
  // bytes sent (every BODY and BRAW); local = clients on this machine.
  std::atomic<uint64_t> deliveredLocal{0};
  std::atomic<uint64_t> deliveredRemote{0};
  std::atomic<uint64_t> deliveredBytesLocal{0};
  std::atomic<uint64_t> deliveredBytesRemote{0};

  uint32_t UptimeSeconds() const;
  // A fetch by a client at peer (host byte order) of bytes body bytes;
  // newMessage when it starts a message.
  void Delivered(uint32_t peer, uint32_t listenAddress, bool newMessage, uint64_t bytes);
};

// The reply's fields, already cut to what 32 bits hold.
struct StatisticsFields {
  uint32_t uptime = 0;
  uint32_t clientConnections[2] = {};  // offsets 36 and 44
  uint32_t serverConnections[2] = {};  // offsets 40 and 48
  uint32_t received[2] = {};           // messages, local and remote: 76, 80
  uint32_t delivered[2] = {};          // 84, 88
  uint32_t queued[2] = {};             // 92, 96
  uint32_t bytesReceived[2] = {};      // 100, 104
  uint32_t bytesDelivered[2] = {};     // 108, 112
  uint32_t recipients[2] = {};         // 132, 136
};

// Counters beyond 32 bits stay at 4294967295 rather than wrap to small numbers.
uint32_t Saturate32(uint64_t value);
StatisticsFields CollectStatistics(const ServerStats& stats);
// Little-endian fields at their offsets, every other byte 0.
void EncodeStatistics(const StatisticsFields& fields, unsigned char out[kStatisticsReplyBytes]);
// Whether a peer counts as local: loopback, or the server's own address.
bool IsLocalPeer(uint32_t peer, uint32_t listenAddress);
