#include "codec.h"

namespace zelm::dir {
namespace {

struct CrcTable {
  uint32_t v[256];
  CrcTable() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      v[i] = c;
    }
  }
};

const CrcTable& Table() {
  static const CrcTable table;
  return table;
}

}  // namespace

uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
  const CrcTable& table = Table();
  const auto* p = static_cast<const unsigned char*>(data);
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table.v[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

// The CRC is linear: flipping bit b of byte i changes it by the register that
// a lone 1 bit there leaves after the size - 1 - i bytes that follow, fed as
// zeros. Walking back from the last byte yields every such change in O(size).
bool FindFlippedBit(const void* data, size_t size, uint32_t storedCrc, uint64_t* bit) {
  const CrcTable& table = Table();
  const uint32_t syndrome = Crc32(data, size) ^ storedCrc;
  if (syndrome == 0) return false;
  if ((syndrome & (syndrome - 1)) == 0) {
    uint64_t k = 0;
    while (!(syndrome >> k & 1)) ++k;
    *bit = uint64_t(size) * 8 + k;
    return true;
  }
  uint32_t reg[8];
  for (int b = 0; b < 8; ++b) reg[b] = table.v[1u << b];
  for (size_t i = size; i-- > 0;) {
    for (int b = 0; b < 8; ++b) {
      if (reg[b] == syndrome) {
        *bit = uint64_t(i) * 8 + b;
        return true;
      }
      reg[b] = table.v[reg[b] & 0xFF] ^ (reg[b] >> 8);
    }
  }
  return false;
}

void PutU8(std::string* out, uint8_t v) { out->push_back(static_cast<char>(v)); }

void PutU32(std::string* out, uint32_t v) {
  char b[4];
  SetU32(b, v);
  out->append(b, 4);
}

void PutU64(std::string* out, uint64_t v) {
  char b[8];
  SetU64(b, v);
  out->append(b, 8);
}

void PutText(std::string* out, std::string_view text) {
  PutU32(out, static_cast<uint32_t>(text.size()));
  out->append(text.data(), text.size());
}

uint32_t GetU32(const void* at) {
  const auto* p = static_cast<const unsigned char*>(at);
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint64_t GetU64(const void* at) {
  const auto* p = static_cast<const unsigned char*>(at);
  return uint64_t(GetU32(p)) | uint64_t(GetU32(p + 4)) << 32;
}

void SetU32(void* at, uint32_t v) {
  auto* p = static_cast<unsigned char*>(at);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

void SetU64(void* at, uint64_t v) {
  auto* p = static_cast<unsigned char*>(at);
  SetU32(p, static_cast<uint32_t>(v));
  SetU32(p + 4, static_cast<uint32_t>(v >> 32));
}

bool ByteReader::Need(size_t n) {
  if (!ok_ || bytes_.size() - pos_ < n) {
    ok_ = false;
    return false;
  }
  return true;
}

uint8_t ByteReader::U8() {
  if (!Need(1)) return 0;
  return static_cast<uint8_t>(bytes_[pos_++]);
}

uint32_t ByteReader::U32() {
  if (!Need(4)) return 0;
  uint32_t v = GetU32(bytes_.data() + pos_);
  pos_ += 4;
  return v;
}

uint64_t ByteReader::U64() {
  if (!Need(8)) return 0;
  uint64_t v = GetU64(bytes_.data() + pos_);
  pos_ += 8;
  return v;
}

std::string_view ByteReader::Text() {
  uint32_t n = U32();
  if (!Need(n)) return {};
  std::string_view v = bytes_.substr(pos_, n);
  pos_ += n;
  return v;
}

}  // namespace zelm::dir
