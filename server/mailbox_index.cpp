#include "mailbox_index.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <unordered_map>

#include "mime_structure.h"
#include "store_fs.h"

const char kIndexFileName[] = "zelm-index";

namespace {

constexpr char kIndexMagic[] = "zelm-index 3 ";

bool PlainWord(std::string_view w) {
  if (w.empty() || w.size() > 1000) return false;
  for (char c : w)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return false;
  return true;
}

bool NameUsable(std::string_view name) {
  if (name.empty() || name[0] == '.' || name.size() > 255) return false;
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '/') return false;
  return true;
}

// Fields of one line, taken in turn; the last field may hold spaces.
class Fields {
 public:
  explicit Fields(std::string_view line) : line_(line) {}
  bool Next(std::string_view* out) {
    if (pos_ >= line_.size()) return false;
    size_t sp = line_.find(' ', pos_);
    *out = line_.substr(pos_, sp == std::string_view::npos ? std::string_view::npos : sp - pos_);
    pos_ = sp == std::string_view::npos ? line_.size() : sp + 1;
    return !out->empty();
  }
  std::string_view Rest() const { return line_.substr(std::min(pos_, line_.size())); }
  bool Number(uint64_t* v) {
    std::string_view s;
    if (!Next(&s) || s.size() > 19) return false;
    uint64_t n = 0;
    for (char c : s) {
      if (c < '0' || c > '9') return false;
      n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    *v = n;
    return true;
  }
  bool Signed(int64_t* v) {
    std::string_view s;
    if (!Next(&s)) return false;
    bool negative = s[0] == '-';
    if (negative) s.remove_prefix(1);
    if (s.empty() || s.size() > 18) return false;
    int64_t n = 0;
    for (char c : s) {
      if (c < '0' || c > '9') return false;
      n = n * 10 + (c - '0');
    }
    *v = negative ? -n : n;
    return true;
  }

 private:
  std::string_view line_;
  size_t pos_ = 0;
};

bool StampOf(int dirfd, const char* name, FolderStamp* out) {
  struct stat st;
  if (fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) return false;
  out->sec = st.st_mtim.tv_sec;
  out->nsec = st.st_mtim.tv_nsec;
  return true;
}

void AppendNumber(std::string* s, int64_t v) {
  char b[24];
  int n = snprintf(b, sizeof b, "%lld", static_cast<long long>(v));
  s->append(b, static_cast<size_t>(n));
}

}  // namespace

bool ReadMessageRecord(int folderfd, const std::string& file, const std::string& authservId,
                       MessageRecord* out, std::string* content) {
  UniqueFd fd = OpenFileBeneath(folderfd, file);
  if (!fd.Valid()) return false;
  struct stat st;
  if (fstat(fd.Get(), &st) != 0) return false;
  if (!ReadWholeFile(fd.Get(), content)) return false;
  out->base = std::string(MaildirBaseName(file));
  out->rawSize = content->size();
  out->mtime = st.st_mtime;
  out->facts = ComputeFacts(*content, authservId);
  // Plainly written messages get their structure now, while their bytes are
  // at hand; the others when first asked (GMime's reading costs ten times more).
  std::vector<MimeLine> lines;
  if (DescribeMimePlainly(*content, &lines)) out->KeepMime(PackMime(lines));
  return true;
}

std::string MailboxIndex::Serialize(const Snapshot& s, const std::vector<ListedMessage>& listing) {
  std::string out = kIndexMagic;
  out.reserve(listing.size() * 160 + 64);
  for (int64_t v : {static_cast<int64_t>(s.nextUid), s.cur.sec, s.cur.nsec, s.fresh.sec,
                    s.fresh.nsec, s.scannedAt}) {
    AppendNumber(&out, v);
    out += ' ';
  }
  out.back() = '\n';
  for (const ListedMessage& m : listing) {
    const MessageRecord& r = *m.record;
    const MessageFacts& f = r.facts;
    for (int64_t v : {static_cast<int64_t>(r.uid)}) AppendNumber(&out, v);
    out += m.inNew ? " n " : " c ";
    for (int64_t v : {static_cast<int64_t>(r.rawSize), r.mtime, static_cast<int64_t>(f.headerBytes),
                      static_cast<int64_t>(f.bodyBytes), static_cast<int64_t>(f.contentFlags),
                      f.date}) {
      AppendNumber(&out, v);
      out += ' ';
    }
    out += f.sender;
    out += ' ';
    out += f.subject;
    out += ' ';
    out += m.file;
    out += '\n';
  }
  return out;
}

bool MailboxIndex::Parse(const std::string& text, Snapshot* s) {
  *s = Snapshot();
  std::string_view all(text);
  size_t nl = all.find('\n');
  if (nl == std::string_view::npos || all.compare(0, strlen(kIndexMagic), kIndexMagic) != 0)
    return false;
  Fields head(all.substr(strlen(kIndexMagic), nl - strlen(kIndexMagic)));
  uint64_t next;
  if (!head.Number(&next) || next == 0 || next > 0xFFFFFFFFull || !head.Signed(&s->cur.sec) ||
      !head.Signed(&s->cur.nsec) || !head.Signed(&s->fresh.sec) || !head.Signed(&s->fresh.nsec) ||
      !head.Signed(&s->scannedAt) || !head.Rest().empty())
    return false;
  s->nextUid = static_cast<uint32_t>(next);
  uint32_t lastUid = 0;
  for (size_t pos = nl + 1; pos < all.size();) {
    size_t end = all.find('\n', pos);
    if (end == std::string_view::npos) return false;  // cut short
    Fields f(all.substr(pos, end - pos));
    pos = end + 1;
    auto r = std::make_shared<MessageRecord>();
    ListedMessage m;
    uint64_t uid, size, hb, bb, flags;
    std::string_view where, sender, subject;
    if (!f.Number(&uid) || !f.Next(&where) || !f.Number(&size) || !f.Signed(&r->mtime) ||
        !f.Number(&hb) || !f.Number(&bb) || !f.Number(&flags) || !f.Signed(&r->facts.date) ||
        !f.Next(&sender) || !f.Next(&subject))
      return false;
    // IDs ascend and stay below the next one to give.
    if (uid <= lastUid || uid >= next || (where != "n" && where != "c")) return false;
    if (!PlainWord(sender) || !PlainWord(subject) || !NameUsable(f.Rest()))
      return false;
    lastUid = static_cast<uint32_t>(uid);
    r->uid = lastUid;
    r->rawSize = size;
    r->facts.headerBytes = hb;
    r->facts.bodyBytes = bb;
    r->facts.contentFlags =
        static_cast<uint32_t>(flags) & (kMsgLeadingDot | kMsgHighPriority | kMsgLowPriority);
    r->facts.sender = std::string(sender);
    r->facts.subject = std::string(subject);
    m.file = std::string(f.Rest());
    m.inNew = where == "n";
    r->base = std::string(MaildirBaseName(m.file));
    m.flags = MaildirFlags(m.file, m.inNew) | r->facts.contentFlags;
    m.record = std::move(r);
    s->listing.push_back(std::move(m));
  }
  return true;
}

void MailboxIndex::Load(int dirfd) {
  loaded_ = true;
  UniqueFd fd = OpenFileBeneath(dirfd, kIndexFileName);
  std::string text;
  if (!fd.Valid() || !ReadWholeFile(fd.Get(), &text)) return;
  Snapshot s;
  // A damaged index is rebuilt from the messages; only their IDs start afresh.
  if (!Parse(text, &s)) return;
  listing_ = std::make_shared<const std::vector<ListedMessage>>(std::move(s.listing));
  state_ = std::move(s);
}

bool MailboxIndex::Scan(int dirfd, const std::string& authservId, std::string* error,
                        Arrivals* arrived) {
  // Stamps and time are taken before reading, so that any change made while
  // reading shows as a change next time.
  Snapshot next;
  next.nextUid = state_.nextUid;
  next.scannedAt = time(nullptr);
  if (!StampOf(dirfd, "cur", &next.cur) || !StampOf(dirfd, "new", &next.fresh)) {
    *error = "not a Maildir";
    return false;
  }
  // What is known already, by base name; built only when folders changed.
  std::unordered_map<std::string_view, std::shared_ptr<const MessageRecord>> known;
  if (listing_) {
    known.reserve(listing_->size());
    for (const ListedMessage& m : *listing_) known.emplace(m.record->base, m.record);
  }
  std::unordered_map<std::string, ListedMessage> seen;
  std::vector<std::shared_ptr<MessageRecord>> fresh;
  UniqueFd folders[2] = {OpenDirBeneath(dirfd, "cur"), OpenDirBeneath(dirfd, "new")};
  struct Pending {
    int folder;
    std::string file;
  };
  std::vector<Pending> pending;
  for (int i = 0; i < 2; ++i) {
    std::vector<DirEntry> entries;
    if (!folders[i].Valid() || !ListDirectory(folders[i].Get(), &entries)) {
      *error = std::string("cannot read ") + (i ? "new" : "cur");
      return false;
    }
    for (const DirEntry& e : entries) {
      if (e.kind != EntryKind::kFile || !NameUsable(e.name)) continue;
      std::string base(MaildirBaseName(e.name));
      if (seen.count(base)) continue;  // caught between new/ and cur/: once is enough
      ListedMessage m;
      m.file = e.name;
      m.inNew = i == 1;
      auto it = known.find(base);
      if (it != known.end()) {
        m.record = it->second;
      } else {
        pending.push_back({i, e.name});
      }
      seen.emplace(std::move(base), std::move(m));
    }
  }
  // Messages seen for the first time are read by a few threads: on a cold
  // disk, waiting for one file at a time leaves the disk idle.
  std::vector<std::shared_ptr<MessageRecord>> read(pending.size());
  std::atomic<size_t> nextJob{0};
  auto work = [&] {
    std::string content;
    for (size_t j; (j = nextJob.fetch_add(1)) < pending.size();) {
      auto r = std::make_shared<MessageRecord>();
      if (ReadMessageRecord(folders[pending[j].folder].Get(), pending[j].file, authservId, r.get(),
                            &content))
        read[j] = std::move(r);
    }
  };
  std::vector<std::thread> workers;
  if (pending.size() >= 64)
    for (int t = 0; t < 3; ++t) workers.emplace_back(work);
  work();
  for (std::thread& t : workers) t.join();
  for (size_t j = 0; j < pending.size(); ++j) {
    auto it = seen.find(std::string(MaildirBaseName(pending[j].file)));
    // Gone already (expunged meanwhile) or unreadable: not listed.
    if (!read[j]) {
      seen.erase(it);
      continue;
    }
    it->second.record = read[j];
    fresh.push_back(read[j]);
  }
  // New messages get IDs in delivery order (Maildir names start with the time).
  std::sort(fresh.begin(), fresh.end(),
            [](const auto& a, const auto& b) { return a->base < b->base; });
  bool looked = listing_ != nullptr;  // read before, or known from the index file
  for (auto& r : fresh) {
    if (next.nextUid == 0xFFFFFFFFu) break;  // clients read 32 bits; IDs never wrap
    r->uid = next.nextUid++;
    if (looked && arrived) {
      ++arrived->messages;
      arrived->bytes += r->rawSize;
    }
  }
  std::vector<ListedMessage> listing;
  listing.reserve(seen.size());
  for (auto& entry : seen) {
    ListedMessage& m = entry.second;
    if (m.record->uid == 0) continue;
    m.flags = MaildirFlags(m.file, m.inNew) | m.record->facts.contentFlags;
    listing.push_back(std::move(m));
  }
  seen.clear();
  std::sort(listing.begin(), listing.end(),
            [](const ListedMessage& a, const ListedMessage& b) {
              return a.record->uid < b.record->uid;
            });
  state_ = std::move(next);
  listing_ = std::make_shared<const std::vector<ListedMessage>>(std::move(listing));
  // A read-only store still works; its IDs then last as long as this process.
  indexWritten_ = ReplaceFileBeneath(dirfd, kIndexFileName, Serialize(state_, *listing_));
  return true;
}

bool MailboxIndex::Refresh(int dirfd, const std::string& authservId, Listing* out,
                           std::string* error, Arrivals* arrived) {
  out->reset();
  std::lock_guard<std::mutex> lock(mu_);
  // Other server processes on the same store take the same lock.
  flock(dirfd, LOCK_EX);
  struct Unlock {
    int fd;
    ~Unlock() { flock(fd, LOCK_UN); }
  } unlock{dirfd};
  if (!loaded_) Load(dirfd);
  FolderStamp cur, fresh;
  if (!StampOf(dirfd, "cur", &cur) || !StampOf(dirfd, "new", &fresh)) {
    *error = "not a Maildir";
    return false;
  }
  // Unchanged folders keep their listing; a change within the same second as
  // the last reading might not move the stamp, so such a listing is read again.
  bool unchanged = listing_ && cur == state_.cur && fresh == state_.fresh &&
                   cur.sec < state_.scannedAt - 1 && fresh.sec < state_.scannedAt - 1;
  if (!unchanged && !Scan(dirfd, authservId, error, arrived)) return false;
  *out = listing_;
  return true;
}


bool MailboxIndex::Repair(int dirfd, const std::string& authservId, bool fix, IndexCheck* out,
                         std::string* error) {
  *out = IndexCheck();
  std::lock_guard<std::mutex> lock(mu_);
  flock(dirfd, LOCK_EX);
  struct Unlock {
    int fd;
    ~Unlock() { flock(fd, LOCK_UN); }
  } unlock{dirfd};
  if (!loaded_) Load(dirfd);

  // What the index file says, when it says anything.
  Snapshot file;
  bool readable = false;
  struct stat st;
  if (fstatat(dirfd, kIndexFileName, &st, AT_SYMLINK_NOFOLLOW) != 0) {
    out->missing = true;
  } else {
    UniqueFd fd = OpenFileBeneath(dirfd, kIndexFileName);
    std::string text;
    readable = fd.Valid() && ReadWholeFile(fd.Get(), &text) && Parse(text, &file);
    out->damaged = !readable;
  }

  // The messages there are, by base name.
  struct Present {
    int folder;
    std::string file;
  };
  std::unordered_map<std::string, Present> present;
  UniqueFd folders[2] = {OpenDirBeneath(dirfd, "cur"), OpenDirBeneath(dirfd, "new")};
  for (int i = 0; i < 2; ++i) {
    std::vector<DirEntry> entries;
    if (!folders[i].Valid() || !ListDirectory(folders[i].Get(), &entries)) {
      *error = std::string("cannot read ") + (i ? "new" : "cur");
      return false;
    }
    for (const DirEntry& e : entries)
      if (e.kind == EntryKind::kFile && NameUsable(e.name))
        present.emplace(std::string(MaildirBaseName(e.name)), Present{i, e.name});
  }

  // The entries to check: the file's when it reads, else what is known here.
  std::vector<ListedMessage> known;
  if (readable) known = file.listing;
  else if (listing_) known = *listing_;
  std::vector<std::shared_ptr<MessageRecord>> retaken;
  for (const ListedMessage& m : known) {
    auto it = present.find(m.record->base);
    if (it == present.end()) {
      ++out->vanished;
      continue;
    }
    if (fstatat(folders[it->second.folder].Get(), it->second.file.c_str(), &st,
                AT_SYMLINK_NOFOLLOW) != 0)
      continue;  // gone this instant: the next listing sees it
    if (static_cast<uint64_t>(st.st_size) == m.record->rawSize && st.st_mtime == m.record->mtime)
      continue;
    ++out->changed;
    if (!fix) continue;
    auto r = std::make_shared<MessageRecord>();
    std::string content;
    if (!ReadMessageRecord(folders[it->second.folder].Get(), it->second.file, authservId, r.get(),
                           &content))
      continue;
    r->uid = m.record->uid;
    retaken.push_back(std::move(r));
  }
  bool faults = out->damaged || out->vanished || out->changed;
  if (!fix || (!faults && !out->missing)) {
    out->messages = listing_ ? listing_->size() : 0;
    return true;
  }

  // What is known here, with the retaken records in place of the old ones;
  // the scan then drops vanished messages, adds new ones and writes the file.
  std::vector<ListedMessage> base = listing_ ? *listing_ : std::vector<ListedMessage>();
  if (!listing_ && readable) base = file.listing;
  for (ListedMessage& m : base)
    for (const auto& r : retaken)
      if (r->base == m.record->base) m.record = r;
  if (!listing_ && readable && file.nextUid > state_.nextUid) state_.nextUid = file.nextUid;
  listing_ = std::make_shared<const std::vector<ListedMessage>>(std::move(base));
  if (!Scan(dirfd, authservId, error, nullptr)) return false;
  out->written = indexWritten_;
  out->messages = listing_->size();
  return true;
}
