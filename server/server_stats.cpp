#include "server_stats.h"

#include <cstring>

namespace {

void PutU32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

}  // namespace

uint32_t ServerStats::UptimeSeconds() const {
  auto elapsed = std::chrono::steady_clock::now() - started;
  return Saturate32(static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::seconds>(elapsed).count()));
}

void ServerStats::Delivered(uint32_t peer, uint32_t listenAddress, bool newMessage,
                            uint64_t bytes) {
  bool local = IsLocalPeer(peer, listenAddress);
  if (newMessage) (local ? deliveredLocal : deliveredRemote).fetch_add(1);
  (local ? deliveredBytesLocal : deliveredBytesRemote).fetch_add(bytes);
}

uint32_t Saturate32(uint64_t value) {
  return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
}

bool IsLocalPeer(uint32_t peer, uint32_t listenAddress) {
  return (peer >> 24) == 127 || (listenAddress != 0 && peer == listenAddress);
}

StatisticsFields CollectStatistics(const ServerStats& s) {
  StatisticsFields f;
  f.uptime = s.UptimeSeconds();
  f.clientConnections[0] = Saturate32(s.storeConnections.load());
  f.clientConnections[1] = Saturate32(s.storeRefusals.load());
  f.serverConnections[0] = Saturate32(s.requestConnections.load());
  // Every message that appears in a mailbox has one recipient: its owner,
  // who is local to the store. The store relays nothing, so nothing is
  // received from or queued for remote hosts.
  f.received[0] = Saturate32(s.receivedMessages.load());
  f.bytesReceived[0] = Saturate32(s.receivedBytes.load());
  f.recipients[0] = f.received[0];
  f.delivered[0] = Saturate32(s.deliveredLocal.load());
  f.delivered[1] = Saturate32(s.deliveredRemote.load());
  f.bytesDelivered[0] = Saturate32(s.deliveredBytesLocal.load());
  f.bytesDelivered[1] = Saturate32(s.deliveredBytesRemote.load());
  return f;
}

void EncodeStatistics(const StatisticsFields& f, unsigned char out[kStatisticsReplyBytes]) {
  memset(out, 0, kStatisticsReplyBytes);
  PutU32(out + 8, f.uptime);
  PutU32(out + 36, f.clientConnections[0]);
  PutU32(out + 44, f.clientConnections[1]);
  PutU32(out + 40, f.serverConnections[0]);
  PutU32(out + 48, f.serverConnections[1]);
  struct Pair {
    size_t offset;
    const uint32_t* values;
  } pairs[] = {{76, f.received},       {84, f.delivered},      {92, f.queued},
               {100, f.bytesReceived}, {108, f.bytesDelivered}, {132, f.recipients}};
  for (const Pair& p : pairs) {
    PutU32(out + p.offset, p.values[0]);
    PutU32(out + p.offset + 4, p.values[1]);
  }
}
