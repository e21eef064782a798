// Looking at a database file part by part, and writing a new one from what
// can be read of it. Works on a copy of the file's bytes, never on the file.
#include <algorithm>
#include <cstring>

#include "codec.h"
#include "directory.h"
#include "format.h"

namespace zelm::dir {
namespace {

using namespace format;

std::string N(uint64_t v) { return std::to_string(v); }

bool AllZero(const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (b[i]) return false;
  return true;
}

int ReadWholeFile(const std::string& path, std::string* bytes) {
  File f;
  if (int r = f.Open(path)) return r;
  uint64_t size = 0;
  if (f.Size(&size) != kOk || size > (uint64_t(1) << 34)) return kErrSystemFailure;
  bytes->assign(static_cast<size_t>(size), '\0');
  size_t got = 0;
  if (f.ReadAt(0, &(*bytes)[0], bytes->size(), &got) != kOk) return kErrSystemFailure;
  bytes->resize(got);
  return kOk;
}

struct Candidate {
  Slot slot;
  uint64_t at;  // where the slot lies
};

// The slots the header holds, newest first, each epoch once; a slot damaged
// in one bit counts as it was written.
std::vector<Candidate> HeaderSlots(const std::string& bytes, FileReport* report) {
  std::vector<Candidate> found;
  for (uint64_t parity = 0; parity < 2; ++parity)
    for (int copy = 0; copy < 2; ++copy) {
      const uint64_t at = SlotOffset(parity, copy);
      if (at + kSlotSize > bytes.size()) continue;
      const char* raw = bytes.data() + at;
      Slot s;
      size_t flipped = 0;
      if (DecodeSlot(raw, &s)) {
        found.push_back({s, at});
      } else if (AllZero(raw, kSlotSize)) {
        continue;  // never written: files from before slot copies were kept
      } else if (RepairSlot(raw, &s, &flipped)) {
        report->damage.push_back("header slot at offset " + N(at) +
                                 ": one flipped bit at offset " + N(at + flipped) +
                                 ", read as written");
        found.push_back({s, at});
      }
      // A slot torn by a crash during a compaction is stale, not damage.
    }
  std::stable_sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
    return a.slot.epoch > b.slot.epoch;
  });
  found.erase(std::unique(found.begin(), found.end(),
                          [](const Candidate& a, const Candidate& b) {
                            return a.slot.epoch == b.slot.epoch;
                          }),
              found.end());
  return found;
}

// The snapshot a slot names, loaded; a snapshot damaged in one bit is read
// as it was written.
std::unique_ptr<Tree> LoadSnapshot(const std::string& bytes, const Slot& s, FileReport* report) {
  if (s.journalAt > bytes.size()) {
    report->damage.push_back("the snapshot of epoch " + N(s.epoch) + " (offset " + N(s.snapshotAt) +
                             ") lies beyond the end of the file");
    return nullptr;
  }
  std::string snapshot = bytes.substr(static_cast<size_t>(s.snapshotAt),
                                      static_cast<size_t>(s.snapshotBytes));
  uint64_t bit = 0;
  if (Crc32(snapshot.data(), snapshot.size()) != s.snapshotCrc) {
    if (FindFlippedBit(snapshot.data(), snapshot.size(), s.snapshotCrc, &bit)) {
      if (bit < snapshot.size() * 8) snapshot[bit / 8] ^= static_cast<char>(1u << (bit % 8));
      report->damage.push_back("the snapshot of epoch " + N(s.epoch) + " (offset " +
                               N(s.snapshotAt) + "): one flipped bit at offset " +
                               N(s.snapshotAt + std::min<uint64_t>(bit / 8, snapshot.size())) +
                               ", read as written");
    } else {
      report->damage.push_back("the snapshot of epoch " + N(s.epoch) + " (offset " +
                               N(s.snapshotAt) + ", " + N(s.snapshotBytes) +
                               " bytes) fails its check");
      return nullptr;
    }
  }
  auto tree = std::make_unique<Tree>();
  if (tree->Load(snapshot) != kOk) {
    report->damage.push_back("the snapshot of epoch " + N(s.epoch) + " (offset " +
                             N(s.snapshotAt) + ") cannot be read");
    return nullptr;
  }
  return tree;
}

// Replays the journal of s onto tree: every record that verifies (or that
// one flipped bit explains) and still applies, in order.
void ReplayJournal(const std::string& bytes, const Slot& s, Tree* tree, FileReport* report) {
  std::string_view all(bytes);
  size_t pos = static_cast<size_t>(s.journalAt);
  uint64_t expect = s.lastSeq + 1;
  std::string fixed;
  while (pos < all.size()) {
    Record rec;
    size_t flipped = 0;
    bool ok = ParseRecord(all, pos, &rec) && rec.epoch == s.epoch;
    if (!ok && RepairRecord(all, pos, &fixed, &rec, &flipped) && rec.epoch == s.epoch) {
      ok = true;
      report->damage.push_back("journal record of change " + N(rec.seq) + " (offset " + N(pos) +
                               "): one flipped bit at offset " + N(flipped) + ", read as written");
    }
    if (!ok) {
      Record next;
      bool found = false;
      for (size_t from = pos + 1; !found && FindRecord(all, from, s.epoch, &next);
           from = next.at + 1)
        found = next.epoch == s.epoch;
      if (!found) {
        // The one record a crash cut short, or what a compaction left
        // beyond its cut: never acknowledged in this epoch.
        report->dropped.push_back(N(all.size() - pos) + " bytes at offset " + N(pos) +
                                  " after the last record (an unfinished write, never "
                                  "acknowledged, or stale data)");
        return;
      }
      report->damage.push_back("journal bytes " + N(pos) + " to " + N(next.at) +
                               " are damaged");
      if (next.seq > expect)
        report->dropped.push_back("changes " + N(expect) + " to " + N(next.seq - 1) +
                                  ": unreadable (offsets " + N(pos) + " to " + N(next.at) + ")");
      expect = std::max(expect, next.seq);
      pos = next.at;
      continue;
    }
    pos = rec.at + rec.size;
    if (rec.seq < expect) continue;  // already replayed
    if (rec.seq > expect)
      report->dropped.push_back("changes " + N(expect) + " to " + N(rec.seq - 1) + ": missing");
    expect = rec.seq + 1;
    if (int r = ApplyPayload(tree, rec.payload, false)) {
      report->dropped.push_back("change " + N(rec.seq) + " (" + DescribePayload(rec.payload) +
                                ", offset " + N(rec.at) + "): no longer applies: " +
                                ResultText(r));
      continue;
    }
    ApplyPayload(tree, rec.payload, true);
    ++report->changesKept;
  }
}

int Look(const std::string& path, const std::string& out, FileReport* report) {
  *report = FileReport();
  std::string bytes;
  if (int r = ReadWholeFile(path, &bytes)) return r;
  if (bytes.size() < 12 || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0 ||
      GetU32(bytes.data() + 8) != kFormatVersion)
    report->damage.push_back("the file header (offset 0) does not name a directory database of "
                             "format " + N(kFormatVersion));
  std::vector<Candidate> slots = HeaderSlots(bytes, report);
  if (slots.empty()) {
    report->damage.push_back("no header slot can be read");
    return kErrSystemFailure;
  }
  for (size_t i = 0; i < slots.size(); ++i) {
    const Slot& s = slots[i].slot;
    std::unique_ptr<Tree> tree = LoadSnapshot(bytes, s, report);
    if (!tree) continue;
    if (i > 0) {
      report->damage.push_back("the newest snapshot cannot be read; the older one of epoch " +
                               N(s.epoch) + " is used");
      report->dropped.push_back("whatever changed after epoch " + N(s.epoch) +
                                " and is not in its journal");
    }
    ReplayJournal(bytes, s, tree.get(), report);
    if (out.empty()) return kOk;
    return Directory::Create(out, *tree);
  }
  return kErrSystemFailure;
}

}  // namespace

int Directory::Examine(const std::string& path, FileReport* report) {
  return Look(path, std::string(), report);
}

int Directory::Salvage(const std::string& path, const std::string& out, FileReport* report) {
  if (out.empty()) return kErrInvalidRequest;
  return Look(path, out, report);
}

}  // namespace zelm::dir
