#include "statistics_format.h"

#include <stdio.h>

#include "tarq_ids.h"

namespace {

const int kReplyBytes = 140;
const uint32_t kKilobyte = 1024;

uint64_t Sum(const unsigned char* reply, int a, int b) {
  return static_cast<uint64_t>(StatField(reply, a)) + StatField(reply, b);
}

}  // namespace

uint32_t StatField(const unsigned char* reply, int offset) {
  if (!reply || offset < 0 || offset + 4 > kReplyBytes) return 0;
  const unsigned char* p = reply + offset;
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

const char* FormatUptime(uint32_t seconds, char out[kStatTextBytes]) {
  unsigned days = seconds / 86400, hours = seconds / 3600 % 24;
  unsigned minutes = seconds / 60 % 60, rest = seconds % 60;
  snprintf(out, kStatTextBytes, "%3ud %02uh %02um %02us", days, hours, minutes, rest);
  return out;
}

const char* FormatCount(uint64_t count, char out[kStatTextBytes]) {
  unsigned long long c = count;
  if (c < 1000)
    snprintf(out, kStatTextBytes, "%3llu", c);
  else if (c < 1000000)
    snprintf(out, kStatTextBytes, "%3llu,%03llu", c / 1000, c % 1000);
  else
    snprintf(out, kStatTextBytes, "%2llu,%03llu,%03llu", c / 1000000, c / 1000 % 1000, c % 1000);
  return out;
}

const char* FormatRate(uint64_t value, uint32_t uptime, char out[kStatTextBytes]) {
  if (uptime == 0) {
    snprintf(out, kStatTextBytes, "0.00");
    return out;
  }
  unsigned long long hundredths = value * 100 / uptime;  // value < 2^33: no overflow
  snprintf(out, kStatTextBytes, "%2llu.%02llu", hundredths / 100, hundredths % 100);
  return out;
}

void FormatStatistics(const unsigned char* reply, StatValue out[kStatValueCount]) {
  uint32_t uptime = StatField(reply, kStatUptime);
  int n = 0;
  auto put = [&](int control) -> char* {
    out[n].control = control;
    return out[n++].text;
  };
  auto count = [&](int control, uint64_t value) { FormatCount(value, put(control)); };
  auto rate = [&](int control, uint64_t value) { FormatRate(value, uptime, put(control)); };
  auto field = [&](int offset) -> uint64_t { return StatField(reply, offset); };

  FormatUptime(uptime, put(IDC_MST_UPTIME));
  count(IDC_MST_QUEUED_LOCAL, field(kStatQueuedLocal));
  count(IDC_MST_QUEUED_REMOTE, field(kStatQueuedRemote));
  count(IDC_MST_RECEIVED_LOCAL, field(kStatReceivedLocal));
  count(IDC_MST_RECEIVED_REMOTE, field(kStatReceivedRemote));
  rate(IDC_MST_RECEIVED_RATE, Sum(reply, kStatReceivedLocal, kStatReceivedRemote));
  count(IDC_MST_DELIVERED_LOCAL, field(kStatDeliveredLocal));
  count(IDC_MST_DELIVERED_REMOTE, field(kStatDeliveredRemote));
  rate(IDC_MST_DELIVERED_RATE, Sum(reply, kStatDeliveredLocal, kStatDeliveredRemote));
  count(IDC_MST_RECIPIENTS_LOCAL, field(kStatRecipientsLocal));
  count(IDC_MST_RECIPIENTS_REMOTE, field(kStatRecipientsRemote));
  rate(IDC_MST_RECIPIENTS_RATE, Sum(reply, kStatRecipientsLocal, kStatRecipientsRemote));
  count(IDC_MST_KB_RECEIVED_LOCAL, field(kStatBytesReceivedLocal) / kKilobyte);
  count(IDC_MST_KB_RECEIVED_REMOTE, field(kStatBytesReceivedRemote) / kKilobyte);
  rate(IDC_MST_KB_RECEIVED_RATE,
       Sum(reply, kStatBytesReceivedLocal, kStatBytesReceivedRemote) / kKilobyte);
  count(IDC_MST_KB_DELIVERED_LOCAL, field(kStatBytesDeliveredLocal) / kKilobyte);
  count(IDC_MST_KB_DELIVERED_REMOTE, field(kStatBytesDeliveredRemote) / kKilobyte);
  rate(IDC_MST_KB_DELIVERED_RATE,
       Sum(reply, kStatBytesDeliveredLocal, kStatBytesDeliveredRemote) / kKilobyte);
  count(IDC_MST_CLIENTS, Sum(reply, kStatClientsA, kStatClientsB));
  count(IDC_MST_SERVERS, Sum(reply, kStatServersA, kStatServersB));
}
