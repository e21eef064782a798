// The request wire's codec at its boundaries: what each side accepts.
#include <gtest/gtest.h>

#include <string>

#include "netcalls_wire.h"

namespace {

const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

std::string Header(uint32_t magic, uint16_t type, uint16_t flags, uint32_t length) {
  unsigned char h[NCW_HEADER_BYTES];
  ncw_put_u32(h, magic);
  ncw_put_u16(h + 4, type);
  ncw_put_u16(h + 6, flags);
  ncw_put_u32(h + 8, length);
  return std::string(reinterpret_cast<char*>(h), sizeof h);
}

std::string U32(uint32_t v) {
  unsigned char b[4];
  ncw_put_u32(b, v);
  return std::string(reinterpret_cast<char*>(b), 4);
}

std::string Named(const std::string& name) {
  unsigned char b[2];
  ncw_put_u16(b, static_cast<uint16_t>(name.size()));
  return std::string(reinterpret_cast<char*>(b), 2) + name;
}

std::string Send(uint32_t capacity, size_t dataLength, int extra = 0) {
  std::string data(dataLength, 'd');
  std::string p = U32(7) + U32(capacity) + U32(static_cast<uint32_t>(dataLength)) + data;
  if (extra > 0) p += std::string(static_cast<size_t>(extra), 'x');
  if (extra < 0) p.resize(p.size() - static_cast<size_t>(-extra));
  return p;
}

TEST(WireTest, HeadersAreLittleEndianAndBounded) {
  unsigned char h[NCW_HEADER_BYTES];
  ncw_write_header(h, NCW_SEND, 0x0102);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(h), 12),
            std::string("NCW1\x02\x00\x00\x00\x02\x01\x00\x00", 12));

  struct Row {
    const char* label;
    std::string header;
    int want;
  } rows[] = {
      {"longest payload", Header(NCW_MAGIC, 1, 0, NCW_MAX_PAYLOAD), 0},
      {"one byte more", Header(NCW_MAGIC, 1, 0, NCW_MAX_PAYLOAD + 1), -1},
      {"empty payload", Header(NCW_MAGIC, 9, 0, 0), 0},
      {"other magic", Header(NCW_MAGIC ^ 1, 1, 0, 4), -1},
      {"flags set", Header(NCW_MAGIC, 1, 0x8000, 4), -1},
      {"huge length", Header(NCW_MAGIC, 1, 0, 0xFFFFFFFFu), -1},
  };
  for (const Row& row : rows) {
    uint16_t type = 0;
    uint32_t length = 0;
    EXPECT_EQ(ncw_read_header(Bytes(row.header), &type, &length), row.want) << row.label;
  }
}

TEST(WireTest, NamesArePrintableAndAtMost255Bytes) {
  unsigned char out[2 + NCW_MAX_NAME + 8];
  EXPECT_EQ(ncw_encode_name(out, std::string(255, 'n').c_str()), 257u);
  EXPECT_EQ(ncw_get_u16(out), 255);
  EXPECT_EQ(ncw_encode_name(out, std::string(256, 'n').c_str()), 0u);
  EXPECT_EQ(ncw_encode_name(out, ""), 0u);
  EXPECT_EQ(ncw_encode_name(out, nullptr), 0u);
  EXPECT_EQ(ncw_encode_name(out, "tab\there"), 0u);
  EXPECT_EQ(ncw_encode_name(out, "del\x7f"), 0u);
  EXPECT_EQ(ncw_encode_name(out, "high\xe9"), 0u);
  EXPECT_EQ(ncw_encode_name(out, " ~"), 4u);
}

TEST(WireTest, TheServiceChecksEveryRequestLayoutExactly) {
  struct Row {
    const char* label;
    uint16_t type;
    std::string payload;
    int32_t want;
  } rows[] = {
      {"lookup", NCW_LOOKUP, Named("Arbolin Messaging System"), NCW_OK},
      {"lookup, trailing byte", NCW_LOOKUP, Named("A") + "x", NCW_BAD_REQUEST},
      {"lookup, name cut", NCW_LOOKUP, Named("AB").substr(0, 3), NCW_BAD_REQUEST},
      {"lookup, empty name", NCW_LOOKUP, Named(""), NCW_BAD_REQUEST},
      {"lookup, no length", NCW_LOOKUP, "A", NCW_BAD_REQUEST},
      {"load", NCW_LOAD, Named("MSGSRV"), NCW_OK},
      {"unload, control byte", NCW_UNLOAD, Named("MSG\nSRV"), NCW_BAD_REQUEST},
      {"send 140 of 140", NCW_SEND, Send(140, 140), NCW_OK},
      {"send, largest data", NCW_SEND, Send(NCW_MAX_DATA, NCW_MAX_DATA), NCW_OK},
      {"send, data one over", NCW_SEND, Send(0, NCW_MAX_DATA + 1), NCW_BAD_REQUEST},
      {"send, capacity one over", NCW_SEND, Send(NCW_MAX_DATA + 1, 1), NCW_BAD_REQUEST},
      {"send, no data", NCW_SEND, Send(140, 0), NCW_BAD_REQUEST},
      {"send, extra byte", NCW_SEND, Send(140, 10, 1), NCW_BAD_REQUEST},
      {"send, byte missing", NCW_SEND, Send(140, 10, -1), NCW_BAD_REQUEST},
      {"send, header only", NCW_SEND, U32(7), NCW_BAD_REQUEST},
      {"unknown type", 0x0005, Named("A"), NCW_BAD_REQUEST},
      {"a reply as request", NCW_LOOKUP | NCW_REPLY_BIT, Named("A"), NCW_BAD_REQUEST},
  };
  for (const Row& row : rows)
    EXPECT_EQ(ncw_check_request(row.type, Bytes(row.payload), static_cast<uint32_t>(row.payload.size())),
              row.want)
        << row.label;
}

TEST(WireTest, TheClientAcceptsOnlyTheReplyItsRequestAllows) {
  const std::string lookup = U32(0) + U32(7) + std::string(8, '\0');
  const std::string data140 = U32(0) + U32(140) + std::string(140, 'r');
  struct Row {
    const char* label;
    uint16_t request, reply;
    std::string payload;
    uint32_t capacity;
    int want;
  } rows[] = {
      {"lookup", NCW_LOOKUP, 0x8001, lookup, 0, 0},
      {"lookup, short", NCW_LOOKUP, 0x8001, lookup.substr(0, 15), 0, -1},
      {"lookup answered as load", NCW_LOOKUP, 0x8003, U32(0), 0, -1},
      {"send, reply at capacity", NCW_SEND, 0x8002, data140, 140, 0},
      {"send, reply over capacity", NCW_SEND, 0x8002, data140, 139, -2},
      {"send, shorter reply", NCW_SEND, 0x8002, U32(0) + U32(3) + "abc", 140, 0},
      {"send, length disagrees", NCW_SEND, 0x8002, U32(0) + U32(4) + "abc", 140, -1},
      {"send, refused with data", NCW_SEND, 0x8002, U32(1) + U32(1) + "a", 140, -1},
      {"send, refused", NCW_SEND, 0x8002, U32(5) + U32(0), 140, 0},
      {"send, over the wire maximum", NCW_SEND, 0x8002, U32(0) + U32(NCW_MAX_DATA + 1), 140, -1},
      {"unload", NCW_UNLOAD, 0x8004, U32(2), 0, 0},
      {"unload, long", NCW_UNLOAD, 0x8004, U32(2) + "x", 0, -1},
  };
  for (const Row& row : rows)
    EXPECT_EQ(ncw_check_reply(row.request, row.reply, Bytes(row.payload),
                              static_cast<uint32_t>(row.payload.size()), row.capacity),
              row.want)
        << row.label;
}

TEST(WireTest, AddressesAreDottedQuadsWithAnOptionalPort) {
  struct Row {
    const char* text;
    int want;
    uint32_t ip;
    uint16_t port;
  } rows[] = {
      {"127.0.0.9", 0, 0x7F000009u, NCW_DEFAULT_PORT},
      {"10.1.2.3:5000", 0, 0x0A010203u, 5000},
      {"255.255.255.255:65535", 0, 0xFFFFFFFFu, 65535},
      {"0.0.0.0:1", 0, 0, 1},
      {"256.0.0.1", -1, 0, 0},
      {"1.2.3", -1, 0, 0},
      {"1.2.3.4.5", -1, 0, 0},
      {"1.2.3.4:", -1, 0, 0},
      {"1.2.3.4:0", -1, 0, 0},
      {"1.2.3.4:65536", -1, 0, 0},
      {"1.2.3.4:999999", -1, 0, 0},
      {"1.2.3.0004", -1, 0, 0},
      {" 1.2.3.4", -1, 0, 0},
      {"1.2.3.4 ", -1, 0, 0},
      {"mail.example", -1, 0, 0},
      {"", -1, 0, 0},
  };
  for (const Row& row : rows) {
    uint32_t ip = 0;
    uint16_t port = 0;
    ASSERT_EQ(ncw_parse_address(row.text, &ip, &port), row.want) << row.text;
    if (row.want == 0) {
      EXPECT_EQ(ip, row.ip) << row.text;
      EXPECT_EQ(port, row.port) << row.text;
    }
  }
  uint32_t ip;
  uint16_t port;
  EXPECT_EQ(ncw_parse_address(nullptr, &ip, &port), -1);
}

}  // namespace
