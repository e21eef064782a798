#include "directory.h"

#include <algorithm>
#include <cstring>

#include "codec.h"

namespace zelm::dir {
namespace {

// File layout: a 4,096-byte header, then data. The header holds two slots;
// the valid one with the higher epoch says where the snapshot lies and where
// the journal of that epoch starts. Journal records follow one another up to
// the end of the file.
constexpr char kMagic[8] = {'Z', 'E', 'L', 'M', 'D', 'I', 'R', '\x1a'};
constexpr uint32_t kFormatVersion = 1;
constexpr uint64_t kDataStart = 4096;
constexpr uint64_t kSlotsAt = 64;
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

uint64_t SlotOffset(uint64_t epoch) { return kSlotsAt + (epoch % 2) * kSlotSize; }

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

enum RecordType : uint8_t {
  kRecordAdd = 1,
  kRecordRemove = 2,
  kRecordModify = 3,
  kRecordGrant = 4,
  kRecordSetting = 5,
};

// magic, payload length, epoch, sequence number, CRC of all but the magic.
std::string EncodeRecord(uint64_t epoch, uint64_t seq, std::string_view payload) {
  std::string r;
  r.reserve(kRecordHeader + payload.size());
  PutU32(&r, kRecordMagic);
  PutU32(&r, static_cast<uint32_t>(payload.size()));
  PutU64(&r, epoch);
  PutU64(&r, seq);
  uint32_t crc = Crc32(r.data() + 4, 20);
  PutU32(&r, Crc32(payload.data(), payload.size(), crc));
  r.append(payload);
  return r;
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

// Checks (apply false) or carries out (apply true) the change a record holds.
// Committing and replaying both come through here, so a replayed change has
// exactly the effect it had when it was acknowledged.
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
    default:
      return kErrSystemFailure;
  }
}

ObjectInfo InfoOf(const Object& o) {
  ObjectInfo info;
  info.full = o.full;
  info.className = o.cls ? o.cls->name : std::string(kRootName);
  info.container = !o.cls || o.cls->container;
  info.subordinates = static_cast<uint32_t>(o.children.size());
  info.attributeCount = static_cast<uint32_t>(o.attributes.size() + (o.cls ? 1 : 0));
  return info;
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
  std::memcpy(&image[SlotOffset(s.epoch)], slot.data(), slot.size());
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
  char raw[2 * kSlotSize];
  size_t got = 0;
  if (file_.ReadAt(kSlotsAt, raw, sizeof raw, &got) != kOk || got != sizeof raw)
    return kErrSystemFailure;
  uint64_t newest = 0;
  for (int i = 0; i < 2; ++i) {
    Slot s;
    if (DecodeSlot(raw + i * kSlotSize, &s)) newest = std::max(newest, s.epoch);
  }
  if (newest == 0) return kErrSystemFailure;

  uint64_t size = 0;
  if (file_.Size(&size) != kOk) return kErrSystemFailure;
  // Another process compacted, or records we hold were cut away: start over.
  if (newest != epoch_ || size < tail_) {
    if (int r = LoadAll()) return r;
  } else if (size > tail_) {
    if (int r = ReplayTail(size)) return r;
  }
  // A writer that died mid-record left a torn tail; it goes before anything
  // is appended, or later records would sit behind it unseen.
  if (writer) {
    if (file_.Size(&size) != kOk) return kErrSystemFailure;
    if (size > tail_ && (file_.Truncate(tail_) != kOk || file_.Sync() != kOk))
      return kErrSystemFailure;
  }
  return kOk;
}

int Directory::LoadAll() {
  epoch_ = 0;
  char raw[2 * kSlotSize];
  size_t got = 0;
  if (file_.ReadAt(kSlotsAt, raw, sizeof raw, &got) != kOk || got != sizeof raw)
    return kErrSystemFailure;
  Slot slots[2];
  bool valid[2];
  for (int i = 0; i < 2; ++i) valid[i] = DecodeSlot(raw + i * kSlotSize, &slots[i]);
  int order[2] = {0, 1};
  if (valid[0] && valid[1] && slots[0].epoch < slots[1].epoch) std::swap(order[0], order[1]);
  if (!valid[order[0]]) std::swap(order[0], order[1]);

  uint64_t fileSize = 0;
  if (file_.Size(&fileSize) != kOk) return kErrSystemFailure;
  // The newest slot whose snapshot reads back intact wins; the older one
  // still describes a complete state while a compaction is under way.
  for (int i : order) {
    if (!valid[i]) continue;
    const Slot& s = slots[i];
    if (s.journalAt > fileSize) continue;
    std::string snapshot(static_cast<size_t>(s.snapshotBytes), '\0');
    if (file_.ReadAt(s.snapshotAt, &snapshot[0], snapshot.size(), &got) != kOk ||
        got != snapshot.size() || Crc32(snapshot.data(), snapshot.size()) != s.snapshotCrc)
      continue;
    auto tree = std::make_unique<Tree>();
    if (tree->Load(snapshot) != kOk) continue;
    tree_ = std::move(tree);
    epoch_ = s.epoch;
    lastSeq_ = s.lastSeq;
    journalStart_ = tail_ = s.journalAt;
    snapshotBytes_ = s.snapshotBytes;
    return ReplayTail(fileSize);
  }
  return kErrSystemFailure;
}

int Directory::ReplayTail(uint64_t fileSize) {
  if (fileSize <= tail_) return kOk;
  // Look at the first record alone: a dead tail is then dismissed cheaply.
  char head[kRecordHeader];
  size_t got = 0;
  if (file_.ReadAt(tail_, head, sizeof head, &got) != kOk) return kErrSystemFailure;
  if (got < kRecordHeader || GetU32(head) != kRecordMagic || GetU64(head + 8) != epoch_ ||
      GetU64(head + 16) != lastSeq_ + 1)
    return kOk;

  std::string bytes(static_cast<size_t>(fileSize - tail_), '\0');
  if (file_.ReadAt(tail_, &bytes[0], bytes.size(), &got) != kOk) return kErrSystemFailure;
  bytes.resize(got);
  size_t pos = 0;
  while (bytes.size() - pos >= kRecordHeader) {
    const char* h = bytes.data() + pos;
    uint32_t length = GetU32(h + 4);
    if (GetU32(h) != kRecordMagic || length > kMaxPayload ||
        bytes.size() - pos - kRecordHeader < length || GetU64(h + 8) != epoch_ ||
        GetU64(h + 16) != lastSeq_ + 1)
      break;
    uint32_t crc = Crc32(h + 4, 20);
    if (Crc32(h + kRecordHeader, length, crc) != GetU32(h + 24)) break;
    // Every record was checked against this very state before it was written.
    ApplyPayload(tree_.get(), std::string_view(h + kRecordHeader, length), true);
    ++lastSeq_;
    pos += kRecordHeader + length;
  }
  tail_ += pos;
  return kOk;
}

// Appends one change durably; on success the change is applied in memory.
int Directory::Commit(const std::string& payload) {
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
  if (file_.WriteAt(end, snapshot.data(), snapshot.size()) != kOk || file_.Sync() != kOk)
    return fail();
  Hook("compact-written");
  s.epoch = epoch_ + 1;
  s.snapshotAt = end;
  s.journalAt = end + snapshot.size();
  std::string slot = EncodeSlot(s);
  if (file_.WriteAt(SlotOffset(s.epoch), slot.data(), slot.size()) != kOk ||
      file_.Sync() != kOk)
    return fail();
  Hook("compact-header1");
  epoch_ = s.epoch;
  journalStart_ = tail_ = s.journalAt;
  snapshotBytes_ = snapshot.size();

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
  slot = EncodeSlot(s);
  if (file_.WriteAt(SlotOffset(s.epoch), slot.data(), slot.size()) != kOk ||
      file_.Sync() != kOk)
    return fail();
  Hook("compact-header2");
  epoch_ = s.epoch;
  journalStart_ = tail_ = s.journalAt;
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
    if (full.empty() || CheckFullName(full) != kOk) return kErrBadName;
    const Object* parent = tree_->Find(ParentName(full));
    if (!parent) return kErrNoSuchEntry;
    if (!caller.system && !(tree_->EntryRights(caller.identity, parent) & kRightCreate))
      return kErrNoAccess;
    return Commit(AddPayload(full, attributes));
  });
}

int Directory::Modify(const Caller& caller, std::string_view full,
                      const std::vector<Change>& changes) {
  return WithLock(true, [&]() -> int {
    const Object* o = tree_->Find(full);
    if (!o) return kErrNoSuchEntry;
    if (!caller.system) {
      for (const Change& c : changes) {
        const AttributeDef* def = Schema::Get().FindAttribute(c.attribute);
        if (!def) return kErrNoSuchAttribute;
        if (!(tree_->AttributeRights(caller.identity, o, def) & kRightWrite)) return kErrNoAccess;
      }
    }
    if (changes.empty()) return tree_->Modify(full, changes, false);
    return Commit(ModifyPayload(full, changes));
  });
}

int Directory::Remove(const Caller& caller, std::string_view full) {
  return WithLock(true, [&]() -> int {
    const Object* o = tree_->Find(full);
    if (!o) return kErrNoSuchEntry;
    if (!caller.system && !(tree_->EntryRights(caller.identity, o) & kRightDelete))
      return kErrNoAccess;
    std::string p;
    PutU8(&p, kRecordRemove);
    PutText(&p, full);
    return Commit(p);
  });
}

int Directory::SetGrant(const Caller& caller, std::string_view full, std::string_view trustee,
                        std::string_view scope, uint32_t rights) {
  return WithLock(true, [&]() -> int {
    const Object* o = tree_->Find(full);
    if (!o) return kErrNoSuchEntry;
    if (!caller.system && !(tree_->EntryRights(caller.identity, o) & kRightSupervisor))
      return kErrNoAccess;
    std::string p;
    PutU8(&p, kRecordGrant);
    PutText(&p, full);
    PutText(&p, trustee);
    PutText(&p, scope);
    PutU32(&p, rights);
    return Commit(p);
  });
}

int Directory::SetSetting(const Caller& caller, std::string_view key, std::string_view value) {
  return WithLock(true, [&]() -> int {
    if (!caller.system) return kErrNoAccess;
    std::string p;
    PutU8(&p, kRecordSetting);
    PutText(&p, key);
    PutText(&p, value);
    return Commit(p);
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
