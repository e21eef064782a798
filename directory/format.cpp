#include "format.h"

#include <cstring>

#include "codec.h"
#include "errors.h"

namespace zelm::dir::format {
namespace {

enum RecordType : uint8_t {
  kRecordAdd = 1,
  kRecordRemove = 2,
  kRecordModify = 3,
  kRecordGrant = 4,
  kRecordSetting = 5,
  kRecordBatch = 6,
};

int PopCount(uint32_t v) {
  int n = 0;
  for (; v; v &= v - 1) ++n;
  return n;
}

// The record's CRC covers the header after the magic and the payload.
uint32_t RecordCrc(const char* head, std::string_view payload) {
  return Crc32(payload.data(), payload.size(), Crc32(head + 4, 20));
}

void PutValues(std::string* out, const std::vector<ValueIn>& values) {
  PutU32(out, static_cast<uint32_t>(values.size()));
  for (const ValueIn& v : values) {
    PutU32(out, v.syntax);
    PutText(out, v.text);
  }
}

std::vector<ValueIn> GetValues(ByteReader& in) {
  std::vector<ValueIn> values;
  for (uint32_t n = in.U32(); n > 0 && in.ok(); --n) {
    ValueIn v;
    v.syntax = in.U32();
    v.text = in.Text();
    values.push_back(std::move(v));
  }
  return values;
}

}  // namespace

uint64_t SlotOffset(uint64_t epoch, int copy) {
  return (copy ? kSlotCopiesAt : kSlotsAt) + (epoch % 2) * kSlotSize;
}

std::string EncodeSlot(const Slot& s) {
  char b[kSlotSize] = {};
  SetU64(b, s.epoch);
  SetU64(b + 8, s.snapshotAt);
  SetU64(b + 16, s.snapshotBytes);
  SetU32(b + 24, s.snapshotCrc);
  SetU64(b + 32, s.lastSeq);
  SetU64(b + 40, s.journalAt);
  SetU32(b + 60, Crc32(b, 60));
  return std::string(b, kSlotSize);
}

bool DecodeSlot(const char* b, Slot* s) {
  if (GetU32(b + 60) != Crc32(b, 60)) return false;
  s->epoch = GetU64(b);
  s->snapshotAt = GetU64(b + 8);
  s->snapshotBytes = GetU64(b + 16);
  s->snapshotCrc = GetU32(b + 24);
  s->lastSeq = GetU64(b + 32);
  s->journalAt = GetU64(b + 40);
  return s->epoch != 0 && s->snapshotAt >= kDataStart &&
         s->journalAt == s->snapshotAt + s->snapshotBytes;
}

bool RepairSlot(const char* bytes, Slot* s, size_t* flippedByte) {
  uint64_t bit = 0;
  if (!FindFlippedBit(bytes, 60, GetU32(bytes + 60), &bit)) return false;
  char fixed[kSlotSize];
  std::memcpy(fixed, bytes, kSlotSize);
  fixed[bit / 8] ^= static_cast<char>(1u << (bit % 8));
  *flippedByte = static_cast<size_t>(bit / 8);
  return DecodeSlot(fixed, s);
}

std::string EncodeRecord(uint64_t epoch, uint64_t seq, std::string_view payload) {
  std::string r;
  r.reserve(kRecordHeader + payload.size());
  PutU32(&r, kRecordMagic);
  PutU32(&r, static_cast<uint32_t>(payload.size()));
  PutU64(&r, epoch);
  PutU64(&r, seq);
  PutU32(&r, RecordCrc(r.data(), payload));
  r.append(payload);
  return r;
}

bool ParseRecord(std::string_view bytes, size_t at, Record* out) {
  if (at > bytes.size() || bytes.size() - at < kRecordHeader) return false;
  const char* h = bytes.data() + at;
  const uint32_t length = GetU32(h + 4);
  if (GetU32(h) != kRecordMagic || length > kMaxPayload ||
      bytes.size() - at - kRecordHeader < length)
    return false;
  std::string_view payload(h + kRecordHeader, length);
  if (RecordCrc(h, payload) != GetU32(h + 24)) return false;
  out->at = at;
  out->size = kRecordHeader + length;
  out->epoch = GetU64(h + 8);
  out->seq = GetU64(h + 16);
  out->payload = payload;
  return true;
}

bool FindRecord(std::string_view bytes, size_t from, uint64_t minEpoch, Record* out) {
  const char first = static_cast<char>(kRecordMagic & 0xFF);
  for (size_t at = from; at + kRecordHeader <= bytes.size(); ++at) {
    const void* hit = std::memchr(bytes.data() + at, first, bytes.size() - kRecordHeader + 1 - at);
    if (!hit) return false;
    at = static_cast<size_t>(static_cast<const char*>(hit) - bytes.data());
    if (ParseRecord(bytes, at, out) && out->epoch >= minEpoch) return true;
  }
  return false;
}

bool RepairRecord(std::string_view bytes, size_t at, std::string* fixed, Record* out,
                  size_t* flippedByte) {
  if (at > bytes.size() || bytes.size() - at < kRecordHeader) return false;
  const std::string_view rest = bytes.substr(at);
  const uint32_t magic = GetU32(rest.data());
  const uint32_t length = GetU32(rest.data() + 4);
  auto tryFixed = [&](size_t byte, uint8_t mask, size_t size) {
    fixed->assign(rest.data(), size);
    (*fixed)[byte] ^= static_cast<char>(mask);
    if (!ParseRecord(*fixed, 0, out) || out->size != size) return false;
    out->at = at;
    *flippedByte = at + byte;
    return true;
  };
  // A flipped bit in the magic, everything else intact.
  if (magic != kRecordMagic) {
    uint32_t diff = magic ^ kRecordMagic;
    if (PopCount(diff) != 1 || length > kMaxPayload || rest.size() - kRecordHeader < length)
      return false;
    size_t byte = 0;
    while (!(diff & 0xFF)) {
      diff >>= 8;
      ++byte;
    }
    return tryFixed(byte, static_cast<uint8_t>(diff), kRecordHeader + length);
  }
  // A flipped bit in the length: the CRC tells which length was written.
  for (int b = 0; b < 32; ++b) {
    const uint32_t candidate = length ^ (1u << b);
    if (candidate > kMaxPayload || rest.size() - kRecordHeader < candidate) continue;
    std::string_view payload = rest.substr(kRecordHeader, candidate);
    char head[kRecordHeader];
    std::memcpy(head, rest.data(), kRecordHeader);
    SetU32(head + 4, candidate);
    if (RecordCrc(head, payload) == GetU32(head + 24))
      return tryFixed(4 + b / 8, static_cast<uint8_t>(1u << (b % 8)), kRecordHeader + candidate);
  }
  // A flipped bit anywhere the CRC covers, or in the CRC itself.
  if (length > kMaxPayload || rest.size() - kRecordHeader < length) return false;
  std::string covered(rest.data() + 4, 20);
  covered.append(rest.data() + kRecordHeader, length);
  uint64_t bit = 0;
  if (!FindFlippedBit(covered.data(), covered.size(), GetU32(rest.data() + 24), &bit)) return false;
  size_t byte;
  if (bit >= covered.size() * 8) {
    byte = 24 + (bit - covered.size() * 8) / 8;
    bit = (bit - covered.size() * 8) % 8;
  } else {
    byte = bit / 8 < 20 ? 4 + bit / 8 : kRecordHeader + (bit / 8 - 20);
    bit %= 8;
  }
  return tryFixed(byte, static_cast<uint8_t>(1u << bit), kRecordHeader + length);
}

std::string AddPayload(std::string_view full, const std::vector<AttributeIn>& attrs) {
  std::string p;
  PutU8(&p, kRecordAdd);
  PutText(&p, full);
  PutU32(&p, static_cast<uint32_t>(attrs.size()));
  for (const AttributeIn& a : attrs) {
    PutText(&p, a.name);
    PutValues(&p, a.values);
  }
  return p;
}

std::string ModifyPayload(std::string_view full, const std::vector<Change>& changes) {
  std::string p;
  PutU8(&p, kRecordModify);
  PutText(&p, full);
  PutU32(&p, static_cast<uint32_t>(changes.size()));
  for (const Change& c : changes) {
    PutU32(&p, c.code);
    PutText(&p, c.attribute);
    PutValues(&p, c.values);
  }
  return p;
}

std::string RemovePayload(std::string_view full) {
  std::string p;
  PutU8(&p, kRecordRemove);
  PutText(&p, full);
  return p;
}

std::string GrantPayload(std::string_view full, std::string_view trustee, std::string_view scope,
                         uint32_t rights) {
  std::string p;
  PutU8(&p, kRecordGrant);
  PutText(&p, full);
  PutText(&p, trustee);
  PutText(&p, scope);
  PutU32(&p, rights);
  return p;
}

std::string SettingPayload(std::string_view key, std::string_view value) {
  std::string p;
  PutU8(&p, kRecordSetting);
  PutText(&p, key);
  PutText(&p, value);
  return p;
}

// A batch has no name of its own: type, an empty text, then each change.
std::string BatchPayload(const std::vector<std::string>& payloads) {
  std::string p;
  PutU8(&p, kRecordBatch);
  PutText(&p, "");
  PutU32(&p, static_cast<uint32_t>(payloads.size()));
  for (const std::string& step : payloads) PutText(&p, step);
  return p;
}

bool SplitBatch(std::string_view payload, std::vector<std::string_view>* steps) {
  ByteReader in(payload);
  if (in.U8() != kRecordBatch || !in.Text().empty()) return false;
  steps->clear();
  for (uint32_t n = in.U32(); n > 0 && in.ok(); --n) {
    std::string_view step = in.Text();
    if (!step.empty() && static_cast<uint8_t>(step[0]) == kRecordBatch) return false;
    steps->push_back(step);
  }
  return in.ok() && in.done();
}

int ApplyPayload(Tree* tree, std::string_view payload, bool apply) {
  ByteReader in(payload);
  uint8_t type = in.U8();
  std::string full(in.Text());
  switch (type) {
    case kRecordAdd: {
      std::vector<AttributeIn> attrs;
      for (uint32_t n = in.U32(); n > 0 && in.ok(); --n) {
        AttributeIn a;
        a.name = in.Text();
        a.values = GetValues(in);
        attrs.push_back(std::move(a));
      }
      if (!in.ok() || !in.done()) return kErrSystemFailure;
      return tree->Add(full, attrs, apply);
    }
    case kRecordRemove:
      if (!in.ok() || !in.done()) return kErrSystemFailure;
      return tree->Remove(full, apply);
    case kRecordModify: {
      std::vector<Change> changes;
      for (uint32_t n = in.U32(); n > 0 && in.ok(); --n) {
        Change c;
        c.code = in.U32();
        c.attribute = in.Text();
        c.values = GetValues(in);
        changes.push_back(std::move(c));
      }
      if (!in.ok() || !in.done()) return kErrSystemFailure;
      return tree->Modify(full, changes, apply);
    }
    case kRecordGrant: {
      std::string trustee(in.Text());
      std::string scope(in.Text());
      uint32_t rights = in.U32();
      if (!in.ok() || !in.done()) return kErrSystemFailure;
      return tree->SetGrant(full, trustee, scope, rights, apply);
    }
    case kRecordSetting: {
      std::string value(in.Text());
      if (!in.ok() || !in.done()) return kErrSystemFailure;
      return tree->SetSetting(full, value, apply);
    }
    case kRecordBatch: {
      std::vector<std::string_view> steps;
      if (!SplitBatch(payload, &steps)) return kErrSystemFailure;
      // Each step is checked against the state the steps before it leave.
      std::unique_ptr<Tree> scratch;
      Tree* target = tree;
      if (!apply) {
        scratch = tree->Clone();
        if (!scratch) return kErrSystemFailure;
        target = scratch.get();
      }
      for (std::string_view step : steps)
        if (int r = ApplyPayload(target, step, true)) return r;
      return kOk;
    }
    default:
      return kErrSystemFailure;
  }
}

std::string DescribePayload(std::string_view payload) {
  ByteReader in(payload);
  uint8_t type = in.U8();
  std::string full(in.Text());
  if (!in.ok()) return "unreadable change";
  std::string name = full.empty() ? std::string("[Root]") : full;
  switch (type) {
    case kRecordAdd: return "add " + name;
    case kRecordRemove: return "remove " + name;
    case kRecordModify: return "modify " + name;
    case kRecordGrant: return "grant on " + name;
    case kRecordSetting: return "setting " + full;
    case kRecordBatch: {
      std::vector<std::string_view> steps;
      return SplitBatch(payload, &steps) ? "batch of " + std::to_string(steps.size()) + " changes"
                                         : "unreadable batch";
    }
    default: return "unknown change";
  }
}

}  // namespace zelm::dir::format
