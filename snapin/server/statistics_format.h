// The statistics page's texts, apart from any window: the counters of the
// server's 140-byte statistics reply and how each is shown.
#pragma once

#include <stdint.h>

enum { kStatTextBytes = 32 };  // room for the longest text these produce

// Reply offsets of the counters (unsigned 32-bit, little-endian).
enum {
  kStatUptime = 8,
  kStatClientsA = 36,
  kStatServersA = 40,
  kStatClientsB = 44,
  kStatServersB = 48,
  kStatReceivedLocal = 76,
  kStatReceivedRemote = 80,
  kStatDeliveredLocal = 84,
  kStatDeliveredRemote = 88,
  kStatQueuedLocal = 92,
  kStatQueuedRemote = 96,
  kStatBytesReceivedLocal = 100,
  kStatBytesReceivedRemote = 104,
  kStatBytesDeliveredLocal = 108,
  kStatBytesDeliveredRemote = 112,
  kStatRecipientsLocal = 132,
  kStatRecipientsRemote = 136,
};

// The counter at offset of a 140-byte reply; 0 past its end.
uint32_t StatField(const unsigned char* reply, int offset);

// "%3dd %02dh %02dm %02ds": days, hours, minutes, seconds.
const char* FormatUptime(uint32_t seconds, char out[kStatTextBytes]);
// Below 1,000 "%3d"; up to 999,999 "%3d,%03d"; from 1,000,000 "%2d,%03d,%03d".
// Sums of two counters may pass 32 bits, so the count is 64-bit.
const char* FormatCount(uint64_t count, char out[kStatTextBytes]);
// value per second of uptime: value x 100 / uptime shown "%2d.%02d"; "0.00"
// with no uptime. Worked in 64 bits, so large counters give their true rate.
const char* FormatRate(uint64_t value, uint32_t uptime, char out[kStatTextBytes]);

// One value static of the page and the text it shows for a reply.
struct StatValue {
  int control;
  char text[kStatTextBytes];
};
enum { kStatValueCount = 20 };
// Fills every value static's text from a reply (140 bytes).
void FormatStatistics(const unsigned char* reply, StatValue out[kStatValueCount]);
