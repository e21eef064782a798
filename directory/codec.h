// Little-endian binary encoding shared by the database file and its records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelm::dir {

uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);

// When data with its stored CRC-32 differs from what was written in exactly
// one bit, finds that bit: *bit is its index in data (byte * 8 + bit, least
// significant first), or size * 8 + k for bit k of the stored CRC itself.
// false when the CRC matches or no single bit explains the difference.
bool FindFlippedBit(const void* data, size_t size, uint32_t storedCrc, uint64_t* bit);

void PutU8(std::string* out, uint8_t v);
void PutU32(std::string* out, uint32_t v);
void PutU64(std::string* out, uint64_t v);
void PutText(std::string* out, std::string_view text);  // u32 length, bytes

uint32_t GetU32(const void* at);
uint64_t GetU64(const void* at);
void SetU32(void* at, uint32_t v);
void SetU64(void* at, uint64_t v);

// Reads what Put* wrote; any read past the end marks the reader failed and
// yields zeros, so callers check ok() once at the end.
class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}
  uint8_t U8();
  uint32_t U32();
  uint64_t U64();
  std::string_view Text();
  bool ok() const { return ok_; }
  bool done() const { return pos_ == bytes_.size(); }

 private:
  bool Need(size_t n);
  std::string_view bytes_;
  size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace zelm::dir
