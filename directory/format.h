// The database file's layout and the codecs of its parts: header slots,
// journal records and the changes they carry. No file access here; the
// engine (directory.cpp) and the salvage (salvage.cpp) share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tree.h"

namespace zelm::dir::format {

// A 4,096-byte header, then data. The header holds two slots, each written
// twice (a copy in another sector): the valid one with the higher epoch says
// where the snapshot lies and where the journal of that epoch starts. Journal
// records follow one another up to the end of the file.
constexpr char kMagic[8] = {'Z', 'E', 'L', 'M', 'D', 'I', 'R', '\x1a'};
constexpr uint32_t kFormatVersion = 1;
constexpr uint64_t kDataStart = 4096;
constexpr uint64_t kSlotsAt = 64;
constexpr uint64_t kSlotCopiesAt = 2048 + 64;
constexpr size_t kSlotSize = 64;
constexpr uint32_t kRecordMagic = 0x4C4E524A;
constexpr size_t kRecordHeader = 28;
constexpr uint32_t kMaxPayload = 64u << 20;

struct Slot {
  uint64_t epoch = 0;
  uint64_t snapshotAt = 0;
  uint64_t snapshotBytes = 0;
  uint32_t snapshotCrc = 0;
  uint64_t lastSeq = 0;    // newest change the snapshot holds
  uint64_t journalAt = 0;  // = snapshotAt + snapshotBytes
};

// Odd epochs use the second slot, even ones the first; copy 0 or 1.
uint64_t SlotOffset(uint64_t epoch, int copy);
std::string EncodeSlot(const Slot& s);
bool DecodeSlot(const char* bytes, Slot* s);
// A slot that fails its check in one bit: decoded as written, and the offset
// of the flipped bit's byte within the slot.
bool RepairSlot(const char* bytes, Slot* s, size_t* flippedByte);

// magic, payload length, epoch, sequence number, CRC of all but the magic, payload.
std::string EncodeRecord(uint64_t epoch, uint64_t seq, std::string_view payload);

struct Record {
  size_t at = 0;    // offset in the bytes looked at
  size_t size = 0;  // header and payload
  uint64_t epoch = 0;
  uint64_t seq = 0;
  std::string_view payload;
};

// Whether a whole record passing its checks starts at bytes[at].
bool ParseRecord(std::string_view bytes, size_t at, Record* out);
// The first such record at or after from whose epoch is at least minEpoch.
bool FindRecord(std::string_view bytes, size_t from, uint64_t minEpoch, Record* out);
// A record at bytes[at] that fails its checks because of one flipped bit:
// *fixed holds it as it was written (out->payload points into it) and
// *flippedByte the offset of the damaged byte in bytes.
bool RepairRecord(std::string_view bytes, size_t at, std::string* fixed, Record* out,
                  size_t* flippedByte);

// Payloads: one change each, or a batch of them applied all or none.
std::string AddPayload(std::string_view full, const std::vector<AttributeIn>& attributes);
std::string ModifyPayload(std::string_view full, const std::vector<Change>& changes);
std::string RemovePayload(std::string_view full);
std::string GrantPayload(std::string_view full, std::string_view trustee, std::string_view scope,
                         uint32_t rights);
std::string SettingPayload(std::string_view key, std::string_view value);
std::string BatchPayload(const std::vector<std::string>& payloads);
// The changes of a batch payload, in order; false when it is none.
bool SplitBatch(std::string_view payload, std::vector<std::string_view>* steps);

// Checks (apply false) or carries out (apply true) the change a payload
// holds. Committing and replaying both come through here, so a replayed
// change has exactly the effect it had when it was acknowledged.
int ApplyPayload(Tree* tree, std::string_view payload, bool apply);
// "modify Joe.Sales.Acme", for reports.
std::string DescribePayload(std::string_view payload);

}  // namespace zelm::dir::format
