#include "directory.h"

#include <algorithm>
#include <cstring>

#include "codec.h"
#include "format.h"

namespace zelm::dir {
namespace {

using namespace format;

// The header up to the end of the slot copies.
constexpr size_t kHeaderBytes = kSlotCopiesAt + 2 * kSlotSize;

ObjectInfo InfoOf(const Object& o) {
  ObjectInfo info;
  info.full = o.full;
  info.className = o.cls ? o.cls->name : std::string(kRootName);
  info.container = !o.cls || o.cls->container;
  info.subordinates = static_cast<uint32_t>(o.children.size());
  info.attributeCount = static_cast<uint32_t>(o.attributes.size() + (o.cls ? 1 : 0));
  return info;
}

std::string N(uint64_t v) { return std::to_string(v); }

bool AllZero(const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (b[i]) return false;
  return true;
}

// The rights each kind of write needs, checked against the state it would
// change. An add needs create on the container; one that sets a guarded
// attribute (a password) also needs write on that attribute there, so the
// right to create and delete objects is not the right to choose their
// passwords.
int CheckAdd(const Tree& t, const Caller& caller, std::string_view full,
             const std::vector<AttributeIn>& attributes) {
  if (full.empty() || CheckFullName(full) != kOk) return kErrBadName;
  const Object* parent = t.Find(ParentName(full));
  if (!parent) return kErrNoSuchEntry;
  if (caller.system) return kOk;
  if (!(t.EntryRights(caller.identity, parent) & kRightCreate)) return kErrNoAccess;
  for (const AttributeIn& a : attributes) {
    const AttributeDef* def = Schema::Get().FindAttribute(a.name);
    if (def && def->guarded && !a.values.empty() &&
        !(t.AttributeRights(caller.identity, parent, def) & kRightWrite))
      return kErrNoAccess;
  }
  return kOk;
}

int CheckModify(const Tree& t, const Caller& caller, std::string_view full,
                const std::vector<Change>& changes) {
  const Object* o = t.Find(full);
  if (!o) return kErrNoSuchEntry;
  if (caller.system) return kOk;
  for (const Change& c : changes) {
    const AttributeDef* def = Schema::Get().FindAttribute(c.attribute);
    if (!def) return kErrNoSuchAttribute;
    if (!(t.AttributeRights(caller.identity, o, def) & kRightWrite)) return kErrNoAccess;
  }
  return kOk;
}

int CheckRemove(const Tree& t, const Caller& caller, std::string_view full) {
  const Object* o = t.Find(full);
  if (!o) return kErrNoSuchEntry;
  if (!caller.system && !(t.EntryRights(caller.identity, o) & kRightDelete)) return kErrNoAccess;
  return kOk;
}

int CheckGrant(const Tree& t, const Caller& caller, std::string_view full) {
  const Object* o = t.Find(full);
  if (!o) return kErrNoSuchEntry;
  if (!caller.system && !(t.EntryRights(caller.identity, o) & kRightSupervisor))
    return kErrNoAccess;
  return kOk;
}

// The rights check and the payload of one step.
int PrepareStep(const Tree& t, const Caller& caller, const Step& step, std::string* payload) {
  int r = kErrInvalidRequest;
  switch (step.kind) {
    case Step::kAdd:
      r = CheckAdd(t, caller, step.object, step.attributes);
      *payload = AddPayload(step.object, step.attributes);
      break;
    case Step::kModify:
      r = CheckModify(t, caller, step.object, step.changes);
      *payload = ModifyPayload(step.object, step.changes);
      break;
    case Step::kRemove:
      r = CheckRemove(t, caller, step.object);
      *payload = RemovePayload(step.object);
      break;
    case Step::kGrant:
      r = CheckGrant(t, caller, step.object);
      *payload = GrantPayload(step.object, step.trustee, step.scope, step.rights);
      break;
    case Step::kSetting:
      r = caller.system ? kOk : kErrNoAccess;
      *payload = SettingPayload(step.object, step.value);
      break;
  }
  return r;
}

}  // namespace

std::string NewDatabaseImage(const Tree& content) {
  std::string snapshot = content.Serialize();
  std::string image(kDataStart, '\0');
  std::memcpy(&image[0], kMagic, sizeof kMagic);
  SetU32(&image[8], kFormatVersion);
  Slot s;
  s.epoch = 1;
  s.snapshotAt = kDataStart;
  s.snapshotBytes = snapshot.size();
  s.snapshotCrc = Crc32(snapshot.data(), snapshot.size());
  s.lastSeq = 0;
  s.journalAt = kDataStart + snapshot.size();
  std::string slot = EncodeSlot(s);
  for (int copy = 0; copy < 2; ++copy)
    std::memcpy(&image[SlotOffset(s.epoch, copy)], slot.data(), slot.size());
  image += snapshot;
  return image;
}

Directory::Directory(OpenOptions options) : options_(std::move(options)) {}
Directory::~Directory() = default;

int Directory::Create(const std::string& path, const Tree& content) {
  return CreateFileAtomically(path, NewDatabaseImage(content));
}

int Directory::Open(const std::string& path, std::unique_ptr<Directory>* out,
                    OpenOptions options) {
  std::unique_ptr<Directory> d(new Directory(std::move(options)));
  if (int r = d->file_.Open(path)) return r;
  d->file_.SetLockWait(d->options_.lockWaitMs);
  char head[12];
  size_t got = 0;
  if (d->file_.ReadAt(0, head, sizeof head, &got) != kOk || got != sizeof head ||
      std::memcmp(head, kMagic, sizeof kMagic) != 0 || GetU32(head + 8) != kFormatVersion)
    return kErrSystemFailure;
  if (int r = d->Refresh()) return r;
  *out = std::move(d);
  return kOk;
}

template <class F>
int Directory::WithLock(bool writer, F&& body) {
  std::lock_guard<std::mutex> guard(mu_);
  int r = writer ? file_.LockExclusive() : file_.LockShared();
  if (r != kOk) return r;
  r = RefreshLocked(writer);
  if (r == kOk) r = body();
  file_.Unlock();
  return r;
}

void Directory::Hook(const char* step) {
  if (options_.faultHook) options_.faultHook(step);
}

int Directory::RefreshLocked(bool writer) {
  char raw[kHeaderBytes];
  size_t got = 0;
  if (file_.ReadAt(0, raw, sizeof raw, &got) != kOk || got != sizeof raw)
    return kErrSystemFailure;
  uint64_t newest = 0;
  for (uint64_t parity = 0; parity < 2; ++parity)
    for (int copy = 0; copy < 2; ++copy) {
      Slot s;
      if (DecodeSlot(raw + SlotOffset(parity, copy), &s)) newest = std::max(newest, s.epoch);
    }
  if (newest == 0) return kErrSystemFailure;

  uint64_t size = 0;
  if (file_.Size(&size) != kOk) return kErrSystemFailure;
  // Another process compacted, or records we hold were cut away: start over.
  if (epoch_ == 0 || newest != headerEpoch_ || size < tail_) {
    if (int r = LoadAll()) return r;
  } else if (size > tail_) {
    if (int r = ReplayTail(size)) return r;
  }
  if (!writer) return kOk;
  // Nothing is written over damage: what lies after it may be all that is
  // left of acknowledged changes.
  if (damaged_ || !tailFinding_.empty()) return kErrSystemFailure;
  if (rewriteCopy_ >= 0)
    if (int r = WriteCurrentSlot()) return r;
  // A writer that died mid-record left a torn tail; it goes before anything
  // is appended, or later records would sit behind it unseen.
  if (file_.Size(&size) != kOk) return kErrSystemFailure;
  if (size > tail_ && (file_.Truncate(tail_) != kOk || file_.Sync() != kOk))
    return kErrSystemFailure;
  return kOk;
}

int Directory::LoadAll() {
  epoch_ = 0;
  damaged_ = false;
  rewriteCopy_ = -1;
  findings_.clear();
  tailFinding_.clear();
  judgedSize_ = 0;
  char raw[kHeaderBytes];
  size_t got = 0;
  if (file_.ReadAt(0, raw, sizeof raw, &got) != kOk || got != sizeof raw)
    return kErrSystemFailure;
  std::vector<Slot> slots;
  for (uint64_t parity = 0; parity < 2; ++parity)
    for (int copy = 0; copy < 2; ++copy) {
      Slot s;
      if (DecodeSlot(raw + SlotOffset(parity, copy), &s)) slots.push_back(s);
    }
  std::sort(slots.begin(), slots.end(),
            [](const Slot& a, const Slot& b) { return a.epoch > b.epoch; });
  slots.erase(std::unique(slots.begin(), slots.end(),
                          [](const Slot& a, const Slot& b) { return a.epoch == b.epoch; }),
              slots.end());
  if (slots.empty()) return kErrSystemFailure;
  headerEpoch_ = slots.front().epoch;

  uint64_t fileSize = 0;
  if (file_.Size(&fileSize) != kOk) return kErrSystemFailure;
  // The newest slot always names an intact snapshot: each is made durable
  // before its slot is written. An older slot names what was current before
  // the last compaction, which may since have been written over.
  for (const Slot& s : slots) {
    const bool newest = s.epoch == headerEpoch_;
    std::string snapshot;
    bool intact = s.journalAt <= fileSize;
    if (intact) {
      snapshot.resize(static_cast<size_t>(s.snapshotBytes));
      intact = file_.ReadAt(s.snapshotAt, &snapshot[0], snapshot.size(), &got) == kOk &&
               got == snapshot.size() &&
               Crc32(snapshot.data(), snapshot.size()) == s.snapshotCrc;
    }
    auto tree = std::make_unique<Tree>();
    if (intact) intact = tree->Load(snapshot) == kOk;
    if (!intact) {
      if (newest) {
        damaged_ = true;
        findings_.push_back("the snapshot of epoch " + N(s.epoch) + " (offset " + N(s.snapshotAt) +
                            ", " + N(s.snapshotBytes) + " bytes) " +
                            (s.journalAt > fileSize ? "lies beyond the end of the file"
                                                    : "fails its check"));
      }
      continue;
    }
    if (!newest)
      findings_.push_back("reading the older snapshot of epoch " + N(s.epoch) +
                          " instead: changes made after it may be missing");
    tree_ = std::move(tree);
    epoch_ = s.epoch;
    lastSeq_ = snapshotSeq_ = s.lastSeq;
    journalStart_ = tail_ = s.journalAt;
    snapshotAt_ = s.snapshotAt;
    snapshotBytes_ = s.snapshotBytes;
    snapshotCrc_ = s.snapshotCrc;
    // Both copies of the slot in use should say the same; a missing one (a
    // file from before copies were kept) or a damaged one is written again
    // by the next writer.
    const std::string want = EncodeSlot(s);
    for (int copy = 0; copy < 2; ++copy) {
      const char* at = raw + SlotOffset(s.epoch, copy);
      if (std::memcmp(at, want.data(), kSlotSize) == 0) continue;
      rewriteCopy_ = copy;
      Slot other;
      if (!AllZero(at, kSlotSize) && !DecodeSlot(at, &other))
        findings_.push_back("the copy of the header slot at offset " +
                            N(SlotOffset(s.epoch, copy)) + " fails its check; the one at offset " +
                            N(SlotOffset(s.epoch, 1 - copy)) + " is used");
    }
    return ReplayTail(fileSize);
  }
  return kErrSystemFailure;
}

int Directory::ReplayTail(uint64_t fileSize) {
  if (fileSize <= tail_) return kOk;
  // Look at the first record's head alone: a dead tail judged before is then
  // passed over cheaply.
  char head[kRecordHeader];
  size_t got = 0;
  if (file_.ReadAt(tail_, head, sizeof head, &got) != kOk) return kErrSystemFailure;
  const bool next = got == kRecordHeader && GetU32(head) == kRecordMagic &&
                    GetU64(head + 8) == epoch_ && GetU64(head + 16) == lastSeq_ + 1;
  if (!next && judgedSize_ == fileSize && judgedAt_ == tail_ && judgedEpoch_ == epoch_ &&
      judgedHead_ == std::string_view(head, got))
    return kOk;

  std::string bytes(static_cast<size_t>(fileSize - tail_), '\0');
  if (file_.ReadAt(tail_, &bytes[0], bytes.size(), &got) != kOk) return kErrSystemFailure;
  bytes.resize(got);
  size_t pos = 0;
  Record rec;
  while (ParseRecord(bytes, pos, &rec) && rec.epoch == epoch_ && rec.seq == lastSeq_ + 1) {
    // Every record was checked against this very state before it was written.
    ApplyPayload(tree_.get(), rec.payload, true);
    ++lastSeq_;
    pos += rec.size;
  }
  tail_ += pos;
  if (pos == bytes.size()) {
    tailFinding_.clear();
  } else if (judgedSize_ != fileSize || judgedAt_ != tail_ || judgedEpoch_ != epoch_ ||
             judgedHead_ != std::string_view(bytes).substr(pos, kRecordHeader)) {
    JudgeTail(std::string_view(bytes).substr(pos), tail_);
  }
  return kOk;
}

// What follows the last good record is either a torn tail (the one record a
// crash cut short, with nothing valid after it), which the next writer cuts
// off, or damage: a record that fails its check with valid ones after it, or
// one that a single flipped bit explains. Damage is reported and kept.
void Directory::JudgeTail(std::string_view rest, uint64_t at) {
  judgedEpoch_ = epoch_;
  judgedAt_ = at;
  judgedSize_ = at + rest.size();
  judgedHead_.assign(rest.substr(0, kRecordHeader));
  tailFinding_.clear();
  const std::string where = "the journal record after change " + N(lastSeq_) + " (offset " +
                            N(at) + ") fails its check";
  const std::string refused = "; writes are refused until the database is salvaged";
  Record rec;
  if (FindRecord(rest, 0, epoch_, &rec)) {
    const uint64_t from = at + rec.at, first = rec.seq;
    uint64_t last = rec.seq, count = 0;
    for (size_t p = rec.at; ParseRecord(rest, p, &rec) && rec.epoch == epoch_; p += rec.size) {
      last = rec.seq;
      ++count;
    }
    tailFinding_ = where + ", yet " + N(count) + " valid records follow from offset " + N(from) +
                   " (changes " + N(first) + " to " + N(last) + ")" + refused;
    return;
  }
  std::string fixed;
  size_t flipped = 0;
  if (RepairRecord(rest, 0, &fixed, &rec, &flipped) && rec.epoch == epoch_ &&
      rec.seq == lastSeq_ + 1) {
    tailFinding_ = where + ": change " + N(rec.seq) + " has a flipped bit at offset " +
                   N(at + flipped) + refused;
  }
}

int Directory::WriteCurrentSlot() {
  Slot s;
  s.epoch = epoch_;
  s.snapshotAt = snapshotAt_;
  s.snapshotBytes = snapshotBytes_;
  s.snapshotCrc = snapshotCrc_;
  s.lastSeq = snapshotSeq_;
  s.journalAt = journalStart_;
  std::string slot = EncodeSlot(s);
  // Only the copy that differs is written: the good one is never at risk.
  if (file_.WriteAt(SlotOffset(s.epoch, rewriteCopy_), slot.data(), slot.size()) != kOk ||
      file_.Sync() != kOk)
    return kErrSystemFailure;
  rewriteCopy_ = -1;
  return kOk;
}

// Appends one change durably; on success the change is applied in memory.
int Directory::Commit(const std::string& payload, bool checked) {
  if (payload.size() > kMaxPayload) return kErrInvalidRequest;
  if (!checked)
    if (int r = ApplyPayload(tree_.get(), payload, false)) return r;
  std::string record = EncodeRecord(epoch_, lastSeq_ + 1, payload);
  int r = file_.WriteAt(tail_, record.data(), record.size());
  if (r == kOk) {
    Hook("append-written");
    r = file_.Sync();
  }
  if (r != kOk) {
    file_.Truncate(tail_);
    return kErrSystemFailure;
  }
  Hook("append-synced");
  ApplyPayload(tree_.get(), payload, true);
  tail_ += record.size();
  ++lastSeq_;
  MaybeCompact();  // the change is safe whatever happens there
  return kOk;
}

int Directory::MaybeCompact() {
  if (tail_ - journalStart_ <= std::max(options_.compactMinimum, snapshotBytes_)) return kOk;
  return CompactLocked();
}

// Folds the journal into a new snapshot without ever leaving the file without
// a complete state: the snapshot is first appended and made current, then
// copied to the front, made current there, and the rest cut off. A crash at
// any step leaves one header slot naming an intact snapshot and journal.
// Each slot is written twice, in two sectors, so one damaged copy leaves the
// other to read.
int Directory::CompactLocked() {
  std::string snapshot = tree_->Serialize();
  const uint64_t end = tail_;
  Slot s;
  s.snapshotBytes = snapshot.size();
  s.snapshotCrc = Crc32(snapshot.data(), snapshot.size());
  s.lastSeq = lastSeq_;

  auto fail = [this]() {
    epoch_ = 0;  // the next call reloads whatever the file now says
    return kErrSystemFailure;
  };
  auto writeSlot = [this, &s]() {
    std::string slot = EncodeSlot(s);
    return file_.WriteAt(SlotOffset(s.epoch, 0), slot.data(), slot.size()) == kOk &&
           file_.WriteAt(SlotOffset(s.epoch, 1), slot.data(), slot.size()) == kOk &&
           file_.Sync() == kOk;
  };
  auto adopt = [this, &s]() {
    epoch_ = headerEpoch_ = s.epoch;
    journalStart_ = tail_ = s.journalAt;
    snapshotAt_ = s.snapshotAt;
    snapshotBytes_ = s.snapshotBytes;
    snapshotCrc_ = s.snapshotCrc;
    snapshotSeq_ = s.lastSeq;
    rewriteCopy_ = -1;
  };
  if (file_.WriteAt(end, snapshot.data(), snapshot.size()) != kOk || file_.Sync() != kOk)
    return fail();
  Hook("compact-written");
  s.epoch = epoch_ + 1;
  s.snapshotAt = end;
  s.journalAt = end + snapshot.size();
  if (!writeSlot()) return fail();
  Hook("compact-header1");
  adopt();

  // The copy must not overlap its source; otherwise the front waits for the
  // next compaction.
  if (end - kDataStart < snapshot.size()) return kOk;
  if (file_.WriteAt(kDataStart, snapshot.data(), snapshot.size()) != kOk ||
      file_.Sync() != kOk)
    return fail();
  Hook("compact-copied");
  s.epoch = epoch_ + 1;
  s.snapshotAt = kDataStart;
  s.journalAt = kDataStart + snapshot.size();
  if (!writeSlot()) return fail();
  Hook("compact-header2");
  adopt();
  // Whatever lies beyond is stale (older epoch), so a failed cut is harmless.
  if (file_.Truncate(tail_) == kOk) file_.Sync();
  Hook("compact-truncated");
  return kOk;
}

int Directory::Refresh() {
  return WithLock(false, [] { return kOk; });
}

int Directory::Compact() {
  return WithLock(true, [this] { return CompactLocked(); });
}

int Directory::Read(const Caller& caller, std::string_view full,
                    const std::vector<std::string>& names, std::vector<AttributeValues>* out) {
  return WithLock(false, [&]() -> int {
    out->clear();
    const Object* o = tree_->Find(full);
    if (!o) return kErrNoSuchEntry;
    const AttributeDef* classDef = Schema::Get().FindAttribute(kObjectClass);
    auto readable = [&](const AttributeDef* def) {
      return caller.system || (tree_->AttributeRights(caller.identity, o, def) & kRightRead);
    };
    auto putClass = [&]() {
      out->push_back({classDef->name, kSyntaxClassName, {o->cls->name}, {kSyntaxClassName}});
    };
    if (names.empty()) {
      if (o->cls && readable(classDef)) putClass();
      for (const Attribute& a : o->attributes)
        if (readable(a.def)) out->push_back({a.def->name, a.def->syntax, a.values, a.syntaxes});
      return kOk;
    }
    for (const std::string& name : names) {
      const AttributeDef* def = Schema::Get().FindAttribute(name);
      if (!def) return kErrNoSuchAttribute;
      const Attribute* a = o->Find(def);
      if (def == classDef ? !o->cls : !a) continue;
      if (!readable(def)) return kErrNoAccess;
      if (def == classDef) putClass();
      else out->push_back({def->name, def->syntax, a->values, a->syntaxes});
    }
    return out->empty() ? kErrNoSuchAttribute : kOk;
  });
}

int Directory::Describe(const Caller& caller, std::string_view full, ObjectInfo* out) {
  return WithLock(false, [&]() -> int {
    const Object* o = tree_->Find(full);
    if (!o) return kErrNoSuchEntry;
    *out = InfoOf(*o);
    return kOk;
  });
}

int Directory::List(const Caller& caller, std::string_view container, std::string_view after,
                    size_t max, std::vector<ObjectInfo>* out, bool* more) {
  return WithLock(false, [&]() -> int {
    out->clear();
    *more = false;
    const Object* c = tree_->Find(container);
    if (!c) return kErrNoSuchEntry;
    if (!caller.system && !(tree_->EntryRights(caller.identity, c) & kRightBrowse))
      return kErrNoAccess;
    auto it = after.empty() ? c->children.begin() : c->children.upper_bound(std::string(after));
    for (; it != c->children.end() && out->size() < max; ++it) out->push_back(InfoOf(*it->second));
    *more = it != c->children.end();
    return kOk;
  });
}

int Directory::Add(const Caller& caller, std::string_view full,
                   const std::vector<AttributeIn>& attributes) {
  return WithLock(true, [&]() -> int {
    if (int r = CheckAdd(*tree_, caller, full, attributes)) return r;
    return Commit(AddPayload(full, attributes));
  });
}

int Directory::Modify(const Caller& caller, std::string_view full,
                      const std::vector<Change>& changes) {
  return WithLock(true, [&]() -> int {
    if (int r = CheckModify(*tree_, caller, full, changes)) return r;
    if (changes.empty()) return tree_->Modify(full, changes, false);
    return Commit(ModifyPayload(full, changes));
  });
}

int Directory::Remove(const Caller& caller, std::string_view full) {
  return WithLock(true, [&]() -> int {
    if (int r = CheckRemove(*tree_, caller, full)) return r;
    return Commit(RemovePayload(full));
  });
}

int Directory::SetGrant(const Caller& caller, std::string_view full, std::string_view trustee,
                        std::string_view scope, uint32_t rights) {
  return WithLock(true, [&]() -> int {
    if (int r = CheckGrant(*tree_, caller, full)) return r;
    return Commit(GrantPayload(full, trustee, scope, rights));
  });
}

int Directory::SetSetting(const Caller& caller, std::string_view key, std::string_view value) {
  return WithLock(true, [&]() -> int {
    if (!caller.system) return kErrNoAccess;
    return Commit(SettingPayload(key, value));
  });
}

int Directory::Apply(const Caller& caller, const std::vector<Step>& steps, size_t* failed) {
  *failed = 0;
  return WithLock(true, [&]() -> int {
    std::unique_ptr<Tree> scratch = tree_->Clone();
    if (!scratch) return kErrSystemFailure;
    std::vector<std::string> payloads;
    for (size_t i = 0; i < steps.size(); ++i) {
      *failed = i;
      std::string payload;
      if (int r = PrepareStep(*scratch, caller, steps[i], &payload)) return r;
      if (int r = ApplyPayload(scratch.get(), payload, true)) return r;
      payloads.push_back(std::move(payload));
    }
    *failed = steps.size();
    if (payloads.empty()) return kOk;
    return Commit(BatchPayload(payloads), true);
  });
}

int Directory::GetSetting(std::string_view key, std::string* value) {
  return WithLock(false, [&]() -> int {
    *value = tree_->Setting(key);
    return kOk;
  });
}

int Directory::EffectiveRights(const Caller& caller, std::string_view trustee,
                               std::string_view full, std::string_view scope, uint32_t* rights) {
  return WithLock(false, [&]() -> int {
    *rights = 0;
    const Object* o = tree_->Find(full);
    if (!o) return kErrNoSuchEntry;
    bool entry = SameText(scope, kEntryRights);
    const AttributeDef* def = nullptr;
    if (!entry && !SameText(scope, kAllAttributesRights)) {
      def = Schema::Get().FindAttribute(scope);
      if (!def) return kErrNoSuchAttribute;
    }
    if (!trustee.empty() && trustee.front() == '.') trustee.remove_prefix(1);
    if (trustee.empty() && caller.system) {
      *rights = entry ? uint32_t(kAllEntryRights) : uint32_t(kAllAttributeRights);
      return kOk;
    }
    std::string_view who = trustee.empty() ? std::string_view(caller.identity) : trustee;
    *rights = entry ? tree_->EntryRights(who, o) : tree_->AttributeRights(who, o, def);
    return kOk;
  });
}

int Directory::Inspect(const Caller& caller, const std::function<void(const Tree&)>& visit) {
  return WithLock(false, [&]() -> int {
    if (!caller.system) return kErrNoAccess;
    visit(*tree_);
    return kOk;
  });
}

int Directory::Check(std::vector<std::string>* findings) {
  return WithLock(false, [&]() -> int {
    *findings = findings_;
    if (!tailFinding_.empty()) findings->push_back(tailFinding_);
    return kOk;
  });
}

int Directory::Stats(DirectoryStats* out) {
  return WithLock(false, [&]() -> int {
    if (file_.Size(&out->fileSize) != kOk) return kErrSystemFailure;
    out->snapshotBytes = snapshotBytes_;
    out->journalBytes = tail_ - journalStart_;
    out->epoch = epoch_;
    out->lastChange = lastSeq_;
    out->objects = tree_->size();
    return kOk;
  });
}

}  // namespace zelm::dir
