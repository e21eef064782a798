// The statistics page's texts at their boundaries: uptime, the three count
// formats, rates (with no uptime, and with counters whose rate passes 32 bits),
// and which counters of a reply each value static shows.
#include <gtest/gtest.h>

#include <string.h>

#include <map>
#include <string>

#include "statistics_format.h"
#include "tarq_ids.h"

namespace {

std::string Uptime(uint32_t s) {
  char out[kStatTextBytes];
  return FormatUptime(s, out);
}
std::string Count(uint64_t c) {
  char out[kStatTextBytes];
  return FormatCount(c, out);
}
std::string Rate(uint64_t v, uint32_t up) {
  char out[kStatTextBytes];
  return FormatRate(v, up, out);
}

void Put(unsigned char* reply, int offset, uint32_t v) {
  for (int i = 0; i < 4; ++i) reply[offset + i] = static_cast<unsigned char>(v >> (8 * i));
}

TEST(StatisticsFormat, UptimeIsDaysHoursMinutesSeconds) {
  struct {
    uint32_t seconds;
    const char* text;
  } rows[] = {
      {0, "  0d 00h 00m 00s"},
      {59, "  0d 00h 00m 59s"},
      {90061, "  1d 01h 01m 01s"},
      {86399, "  0d 23h 59m 59s"},
      {86400 * 999, "999d 00h 00m 00s"},
      {4294967295u, "49710d 06h 28m 15s"},  // the widest a counter gets
  };
  for (const auto& r : rows) EXPECT_EQ(Uptime(r.seconds), r.text) << r.seconds;
}

TEST(StatisticsFormat, CountsChangeFormatAtAThousandAndAMillion) {
  struct {
    uint64_t count;
    const char* text;
  } rows[] = {
      {0, "  0"},           {7, "  7"},
      {999, "999"},         {1000, "  1,000"},
      {1001, "  1,001"},    {999999, "999,999"},
      {1000000, " 1,000,000"}, {1234567, " 1,234,567"},
      {99999999, "99,999,999"}, {4294967295u, "4294,967,295"},
      {8589934590ull, "8589,934,590"},  // two full counters summed
  };
  for (const auto& r : rows) EXPECT_EQ(Count(r.count), r.text) << r.count;
}

TEST(StatisticsFormat, RatesAreHundredthsPerSecondOfUptime) {
  struct {
    uint64_t value;
    uint32_t uptime;
    const char* text;
  } rows[] = {
      {3, 2, " 1.50"},
      {0, 10, " 0.00"},
      {1, 3, " 0.33"},
      {5, 0, "0.00"},  // no uptime yet
      {1234, 1, "1234.00"},
      // value x 100 passes 32 bits: the true rate, not a wrapped one
      {50000000, 100, "500000.00"},
      {8589934590ull, 1, "8589934590.00"},
  };
  for (const auto& r : rows) EXPECT_EQ(Rate(r.value, r.uptime), r.text) << r.value << "/" << r.uptime;
}

TEST(StatisticsFormat, EachStaticShowsItsCounters) {
  unsigned char reply[140];
  memset(reply, 0xEE, sizeof reply);  // bytes the page does not use stay unseen
  Put(reply, 8, 100);                 // uptime
  Put(reply, 36, 1);
  Put(reply, 44, 2);  // clients
  Put(reply, 40, 10);
  Put(reply, 48, 20);  // servers
  Put(reply, 76, 30);
  Put(reply, 80, 70);  // received
  Put(reply, 84, 5);
  Put(reply, 88, 1500);  // delivered
  Put(reply, 92, 4);
  Put(reply, 96, 6);  // queued
  Put(reply, 100, 2047);
  Put(reply, 104, 1025);  // bytes received: 1 KB and 1 KB, 3072 bytes = 3 KB together
  Put(reply, 108, 1024 * 1000);
  Put(reply, 112, 0);  // bytes delivered
  Put(reply, 132, 9);
  Put(reply, 136, 11);  // recipients
  StatValue values[kStatValueCount];
  FormatStatistics(reply, values);
  std::map<int, std::string> shown;
  for (const StatValue& v : values) shown[v.control] = v.text;
  std::map<int, std::string> expected = {
      {IDC_MST_UPTIME, "  0d 00h 01m 40s"},
      {IDC_MST_QUEUED_LOCAL, "  4"},          {IDC_MST_QUEUED_REMOTE, "  6"},
      {IDC_MST_RECEIVED_LOCAL, " 30"},        {IDC_MST_RECEIVED_REMOTE, " 70"},
      {IDC_MST_RECEIVED_RATE, " 1.00"},       {IDC_MST_DELIVERED_LOCAL, "  5"},
      {IDC_MST_DELIVERED_REMOTE, "  1,500"},  {IDC_MST_DELIVERED_RATE, "15.05"},
      {IDC_MST_RECIPIENTS_LOCAL, "  9"},      {IDC_MST_RECIPIENTS_REMOTE, " 11"},
      {IDC_MST_RECIPIENTS_RATE, " 0.20"},     {IDC_MST_KB_RECEIVED_LOCAL, "  1"},
      {IDC_MST_KB_RECEIVED_REMOTE, "  1"},    {IDC_MST_KB_RECEIVED_RATE, " 0.03"},
      {IDC_MST_KB_DELIVERED_LOCAL, "  1,000"}, {IDC_MST_KB_DELIVERED_REMOTE, "  0"},
      {IDC_MST_KB_DELIVERED_RATE, "10.00"},   {IDC_MST_CLIENTS, "  3"},
      {IDC_MST_SERVERS, " 30"},
  };
  EXPECT_EQ(shown, expected);
}

TEST(StatisticsFormat, FieldsOutsideTheReplyReadAsZero) {
  unsigned char reply[140];
  memset(reply, 0xFF, sizeof reply);
  EXPECT_EQ(StatField(reply, 136), 0xFFFFFFFFu);
  EXPECT_EQ(StatField(reply, 137), 0u);
  EXPECT_EQ(StatField(reply, -1), 0u);
  EXPECT_EQ(StatField(nullptr, 8), 0u);
}

}  // namespace
