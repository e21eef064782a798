#include "mailbox_index.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
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

// Version 4 adds each message's packed MIME answer; files of version 3 are
// still read (their IDs are the clients').
constexpr char kIndexMagic[] = "zelm-index 4 ";
constexpr char kIndexMagic3[] = "zelm-index 3 ";
constexpr size_t kIndexPiece = 256 * 1024;  // the index file is written in pieces of this size
// Threads reading new messages: a 100,000-message mailbox from a cold disk
// took 10 s with 4, 7 s with 8 and with 16.
constexpr int kReaders = 8;

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

// Other server processes on the same store take the same lock.
class FolderLock {
 public:
  explicit FolderLock(int dirfd) : fd_(dirfd) { flock(fd_, LOCK_EX); }
  ~FolderLock() { flock(fd_, LOCK_UN); }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

bool StampOf(int dirfd, const char* name, FolderStamp* out) {
  struct stat st;
  if (fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) return false;
  out->sec = st.st_mtim.tv_sec;
  out->nsec = st.st_mtim.tv_nsec;
  return true;
}

// Packed MIME answers go into the index in base64 without padding: a third
// more than their bytes, none of them a blank or a control byte.
constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void AppendBase64(std::string_view bytes, std::string* out) {
  uint32_t bits = 0;
  int have = 0;
  for (unsigned char b : bytes) {
    bits = (bits << 8) | b;
    for (have += 8; have >= 6; have -= 6) *out += kBase64[(bits >> (have - 6)) & 0x3F];
  }
  if (have > 0) *out += kBase64[(bits << (6 - have)) & 0x3F];
}

// False for anything AppendBase64 does not write, and for more than max bytes.
bool FromBase64(std::string_view text, size_t max, std::string* out) {
  out->clear();
  if (text.size() % 4 == 1 || text.size() / 4 * 3 > max) return false;
  static const auto values = [] {  // 64: not a base64 letter
    std::array<unsigned char, 256> v;
    v.fill(64);
    for (unsigned char i = 0; i < 64; ++i) v[static_cast<unsigned char>(kBase64[i])] = i;
    return v;
  }();
  uint32_t bits = 0;
  int have = 0;
  for (char c : text) {
    unsigned char value = values[static_cast<unsigned char>(c)];
    if (value == 64) return false;
    bits = (bits << 6) | value;
    have += 6;
    if (have >= 8) {
      have -= 8;
      *out += static_cast<char>((bits >> have) & 0xFF);
    }
  }
  return (bits & ((1u << have) - 1)) == 0;  // leftover bits are zeros
}

// The index field of a record's answer: "-" for none.
void AppendMimeField(const MessageRecord& r, std::string* out) {
  const char* packed = r.mime.load();
  if (packed) AppendBase64(PackedMimeBlock(packed), out);
  else *out += '-';
}

// A record's answer from its index field; a field that is no valid packed
// answer (the file is the user's, other programs write it) leaves none.
void TakeMimeField(std::string_view field, MessageRecord* r) {
  std::string block;
  if (field == "-" || !FromBase64(field, kPackedMimeMax + 8, &block) || !PackedMimeValid(block))
    return;
  char* packed = new char[block.size()];
  memcpy(packed, block.data(), block.size());
  r->KeepMime(packed);
}

void AppendNumber(std::string* s, int64_t v) {
  char b[24];
  int n = snprintf(b, sizeof b, "%lld", static_cast<long long>(v));
  s->append(b, static_cast<size_t>(n));
}

}  // namespace

void MessageRecord::SetTexts(std::string_view base, std::string_view sender,
                             std::string_view subject) {
  std::unique_ptr<char[]> block(new char[base.size() + sender.size() + subject.size() + 3]);
  char* p = block.get();
  for (std::string_view t : {base, sender, subject}) {
    memcpy(p, t.data(), t.size());
    p += t.size();
    *p++ = '\0';
  }
  texts_ = std::move(block);
}

bool ReadMessageFile(int folderfd, const std::string& name, std::string* content,
                     struct stat* st) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
    return false;
  // O_NONBLOCK: a FIFO planted in the store must not hang the reader.
  UniqueFd fd(openat(folderfd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (!fd.Valid() || fstat(fd.Get(), st) != 0 || !S_ISREG(st->st_mode)) return false;
  // One byte more than the file holds: a short read is its end, so no
  // further read is needed to find it; one that grew is read to its end.
  size_t have = 0;
  content->resize(static_cast<size_t>(st->st_size) + 1);
  for (;;) {
    ssize_t n = read(fd.Get(), &(*content)[have], content->size() - have);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    have += static_cast<size_t>(n);
    if (have < content->size()) {
      if (n == 0 || have >= static_cast<size_t>(st->st_size)) break;
      continue;
    }
    content->resize(content->size() * 2);
  }
  content->resize(have);
  return true;
}

bool ReadMessageRecord(int folderfd, const std::string& file, const std::string& authservId,
                       uint32_t changeCount, MessageRecord* out, std::string* content) {
  struct stat st;
  if (!ReadMessageFile(folderfd, file, content, &st)) return false;
  if (changeCount && st.st_nlink == 1) out->checkedAt = changeCount;
  MessageFacts facts = ComputeFacts(*content, authservId);
  out->SetTexts(MaildirBaseName(file), facts.sender, facts.subject);
  out->rawSize = content->size();
  out->mtime = st.st_mtime;
  out->contentFlags = facts.contentFlags;
  out->headerBytes = facts.headerBytes;
  out->bodyBytes = facts.bodyBytes;
  out->date = facts.date;
  // Plainly written messages get their structure now, while their bytes are
  // at hand; the others when first asked (GMime's reading costs ten times more).
  std::vector<MimeLine> lines;
  if (DescribeMimePlainly(*content, &lines)) out->KeepMime(PackMime(lines));
  return true;
}

namespace {

void AppendHead(const MailboxIndex::Snapshot& s, std::string* out) {
  *out += kIndexMagic;
  for (int64_t v : {static_cast<int64_t>(s.nextUid), s.cur.sec, s.cur.nsec, s.fresh.sec,
                    s.fresh.nsec, s.scannedAt}) {
    AppendNumber(out, v);
    *out += ' ';
  }
  out->back() = '\n';
}

void AppendEntry(const ListedMessage& m, std::string* out) {
  const MessageRecord& r = *m.record;
  AppendNumber(out, r.uid);
  *out += m.inNew ? " n " : " c ";
  for (int64_t v : {static_cast<int64_t>(r.rawSize), r.mtime, static_cast<int64_t>(r.headerBytes),
                    static_cast<int64_t>(r.bodyBytes), static_cast<int64_t>(r.contentFlags),
                    r.date}) {
    AppendNumber(out, v);
    *out += ' ';
  }
  *out += r.Sender();
  *out += ' ';
  *out += r.Subject();
  *out += ' ';
  AppendMimeField(r, out);
  *out += ' ';
  *out += r.Base();
  *out += m.suffix;
  *out += '\n';
}

}  // namespace

std::string MailboxIndex::Serialize(const Snapshot& s, const std::vector<ListedMessage>& listing) {
  std::string out;
  out.reserve(listing.size() * 200 + 64);
  AppendHead(s, &out);
  for (const ListedMessage& m : listing) AppendEntry(m, &out);
  return out;
}

bool MailboxIndex::Parse(std::string_view all, Snapshot* s) {
  *s = Snapshot();
  size_t nl = all.find('\n');
  if (nl == std::string_view::npos) return false;
  bool withMime = all.compare(0, strlen(kIndexMagic), kIndexMagic) == 0;
  if (!withMime && all.compare(0, strlen(kIndexMagic3), kIndexMagic3) != 0) return false;
  static_assert(sizeof kIndexMagic == sizeof kIndexMagic3, "one length of magic");
  Fields head(all.substr(strlen(kIndexMagic), nl - strlen(kIndexMagic)));
  uint64_t next;
  if (!head.Number(&next) || next == 0 || next > 0xFFFFFFFFull || !head.Signed(&s->cur.sec) ||
      !head.Signed(&s->cur.nsec) || !head.Signed(&s->fresh.sec) || !head.Signed(&s->fresh.nsec) ||
      !head.Signed(&s->scannedAt) || !head.Rest().empty())
    return false;
  s->nextUid = static_cast<uint32_t>(next);
  s->listing.reserve(static_cast<size_t>(std::count(all.begin() + nl + 1, all.end(), '\n')));
  uint32_t lastUid = 0;
  for (size_t pos = nl + 1; pos < all.size();) {
    size_t end = all.find('\n', pos);
    if (end == std::string_view::npos) return false;  // cut short
    Fields f(all.substr(pos, end - pos));
    pos = end + 1;
    auto r = std::make_shared<MessageRecord>();
    ListedMessage m;
    uint64_t uid, size, hb, bb, flags;
    std::string_view where, sender, subject, mime;
    if (!f.Number(&uid) || !f.Next(&where) || !f.Number(&size) || !f.Signed(&r->mtime) ||
        !f.Number(&hb) || !f.Number(&bb) || !f.Number(&flags) || !f.Signed(&r->date) ||
        !f.Next(&sender) || !f.Next(&subject) || (withMime && !f.Next(&mime)))
      return false;
    // IDs ascend and stay below the next one to give.
    if (uid <= lastUid || uid >= next || (where != "n" && where != "c")) return false;
    if (!PlainWord(sender) || !PlainWord(subject) || !NameUsable(f.Rest()))
      return false;
    lastUid = static_cast<uint32_t>(uid);
    r->uid = lastUid;
    r->rawSize = size;
    r->headerBytes = hb;
    r->bodyBytes = bb;
    r->contentFlags =
        static_cast<uint32_t>(flags) & (kMsgLeadingDot | kMsgHighPriority | kMsgLowPriority);
    std::string_view file = f.Rest();
    std::string_view base = MaildirBaseName(file);
    r->SetTexts(base, sender, subject);
    // Its checkedAt stays 0: the file is looked at before the answer is served.
    if (withMime) TakeMimeField(mime, r.get());
    m.suffix = std::string(file.substr(base.size()));
    m.inNew = where == "n";
    m.flags = MaildirFlags(file, m.inNew) | r->contentFlags;
    m.record = std::move(r);
    s->listing.push_back(std::move(m));
  }
  return true;
}

void MailboxIndex::Load(int dirfd) {
  loaded_ = true;
  UniqueFd fd = OpenFileBeneath(dirfd, kIndexFileName);
  struct stat st;
  if (!fd.Valid() || fstat(fd.Get(), &st) != 0 || st.st_size <= 0) return;
  // Mapped rather than read, and read in at once: megabytes for a big
  // mailbox, looked at once, from a cold disk after a restart.
  size_t size = static_cast<size_t>(st.st_size);
  void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd.Get(), 0);
  if (text == MAP_FAILED) return;
  Snapshot s;
  // A damaged index is rebuilt from the messages; only their IDs start afresh.
  bool parsed = Parse(std::string_view(static_cast<const char*>(text), size), &s);
  munmap(text, size);
  if (!parsed) return;
  listing_ = std::make_shared<const std::vector<ListedMessage>>(std::move(s.listing));
  state_ = std::move(s);
  NoteFile(fd.Get());
}

std::atomic<uint64_t> g_mimeAnswersKept{0};

size_t MailboxIndex::Answers() const {
  size_t n = 0;
  if (listing_)
    for (const ListedMessage& m : *listing_) n += m.record->mime.load() != nullptr;
  return n;
}

void MailboxIndex::NoteFile(int fd) {
  if (fstat(fd, &file_) != 0) file_ = {};
  answersKeptSeen_ = g_mimeAnswersKept.load();
  fileAnswers_ = Answers();
}

bool MailboxIndex::Write(int dirfd) {
  // Written in pieces: a big mailbox's index text is megabytes.
  size_t at = 0;
  bool written = ReplaceFileBeneath(dirfd, kIndexFileName, [&](std::string* piece) {
    if (at > listing_->size()) return false;
    piece->clear();
    if (at == 0) AppendHead(state_, piece);
    for (; at < listing_->size() && piece->size() < kIndexPiece; ++at)
      AppendEntry((*listing_)[at], piece);
    if (at == listing_->size()) ++at;  // the last piece is out
    return true;
  });
  UniqueFd fd = written ? OpenFileBeneath(dirfd, kIndexFileName) : UniqueFd();
  if (fd.Valid()) NoteFile(fd.Get());
  else file_ = {};
  return written;
}

void MailboxIndex::SaveAnswers(int dirfd) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!listing_ || file_.st_ino == 0) return;
  // Leaving a big mailbox is common; walking its records each time is not
  // needed when no answer was kept anywhere since they were last counted.
  uint64_t kept = g_mimeAnswersKept.load();
  if (kept == answersKeptSeen_) return;
  answersKeptSeen_ = kept;
  if (Answers() <= fileAnswers_) return;
  FolderLock folder(dirfd);
  // Another process's index holds IDs given there: it stays.
  struct stat st;
  if (fstatat(dirfd, kIndexFileName, &st, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(st, file_)) {
    file_ = {};
    return;
  }
  Write(dirfd);
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
  // Files read from here on are what they were at this count of changes.
  uint32_t count = changes_ ? changes_->value.load() : 0;
  // The scan's scratch refers to the folder entries by view: for a big
  // mailbox, a string per name would cost more than all that is kept.
  std::vector<DirEntry> entries[2];
  UniqueFd folders[2] = {OpenDirBeneath(dirfd, "cur"), OpenDirBeneath(dirfd, "new")};
  for (int i = 0; i < 2; ++i) {
    if (!folders[i].Valid() || !ListDirectory(folders[i].Get(), &entries[i])) {
      *error = std::string("cannot read ") + (i ? "new" : "cur");
      return false;
    }
  }
  // What is known already, by base name: positions in the last listing.
  std::unordered_map<std::string_view, size_t> known;
  if (listing_) {
    known.reserve(listing_->size());
    for (size_t k = 0; k < listing_->size(); ++k) known.emplace((*listing_)[k].record->Base(), k);
  }
  struct Found {
    const DirEntry* entry;
    int folder;
    size_t baseSize;
    std::shared_ptr<const MessageRecord> record;  // null until read
  };
  std::vector<Found> found;
  found.reserve(entries[0].size() + entries[1].size());
  std::unordered_map<std::string_view, size_t> seen;
  seen.reserve(found.capacity());
  std::vector<size_t> pending;  // positions in found of messages to read
  for (int i = 0; i < 2; ++i) {
    for (const DirEntry& e : entries[i]) {
      if (e.kind != EntryKind::kFile || !NameUsable(e.name)) continue;
      std::string_view base = MaildirBaseName(e.name);
      // Caught between new/ and cur/: once is enough.
      if (!seen.emplace(base, found.size()).second) continue;
      auto it = known.find(base);
      if (it == known.end()) pending.push_back(found.size());
      found.push_back({&e, i, base.size(),
                       it == known.end() ? nullptr : (*listing_)[it->second].record});
    }
  }
  seen = {};
  known = {};
  // Messages seen for the first time are read by several threads: on a cold
  // disk, waiting for one file at a time leaves the disk idle, and a virtual
  // disk wants many reads in flight.
  std::vector<std::shared_ptr<MessageRecord>> fresh(pending.size());
  std::atomic<size_t> nextJob{0};
  auto work = [&] {
    std::string content;
    for (size_t j; (j = nextJob.fetch_add(1)) < pending.size();) {
      const Found& f = found[pending[j]];
      auto r = std::make_shared<MessageRecord>();
      if (ReadMessageRecord(folders[f.folder].Get(), f.entry->name, authservId, count, r.get(),
                            &content))
        fresh[j] = std::move(r);
    }
  };
  std::vector<std::thread> workers;
  if (pending.size() >= 64)
    for (int t = 1; t < kReaders; ++t) workers.emplace_back(work);
  work();
  for (std::thread& t : workers) t.join();
  for (size_t j = 0; j < pending.size(); ++j) found[pending[j]].record = fresh[j];
  // Gone already (expunged meanwhile) or unreadable: not listed.
  fresh.erase(std::remove(fresh.begin(), fresh.end(), nullptr), fresh.end());
  // New messages get IDs in delivery order (Maildir names start with the time).
  std::sort(fresh.begin(), fresh.end(),
            [](const auto& a, const auto& b) { return a->Base() < b->Base(); });
  bool looked = listing_ != nullptr;  // read before, or known from the index file
  for (auto& r : fresh) {
    if (next.nextUid == 0xFFFFFFFFu) break;  // clients read 32 bits; IDs never wrap
    r->uid = next.nextUid++;
    if (looked && arrived) {
      ++arrived->messages;
      arrived->bytes += r->rawSize;
    }
  }
  fresh = {};
  std::vector<ListedMessage> listing;
  listing.reserve(found.size());
  for (Found& f : found) {
    if (!f.record || f.record->uid == 0) continue;
    ListedMessage m;
    m.suffix = f.entry->name.substr(f.baseSize);
    m.inNew = f.folder == 1;
    m.flags = MaildirFlags(f.entry->name, m.inNew) | f.record->contentFlags;
    m.record = std::move(f.record);
    listing.push_back(std::move(m));
  }
  found = {};
  entries[0] = {};  // no longer looked at; gone before the index text is made
  entries[1] = {};
  std::sort(listing.begin(), listing.end(),
            [](const ListedMessage& a, const ListedMessage& b) {
              return a.record->uid < b.record->uid;
            });
  state_ = std::move(next);
  listing_ = std::make_shared<const std::vector<ListedMessage>>(std::move(listing));
  // A read-only store still works; its IDs then last as long as this process.
  indexWritten_ = Write(dirfd);
  return true;
}

bool MailboxIndex::Refresh(int dirfd, const std::string& authservId, Listing* out,
                           std::string* error, Arrivals* arrived) {
  out->reset();
  std::lock_guard<std::mutex> lock(mu_);
  FolderLock folder(dirfd);
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
  if (!unchanged) {
    if (!Scan(dirfd, authservId, error, arrived)) return false;
    // A scan's scratch (names, maps, the index text) dwarfs what it keeps;
    // its pages go back to the system rather than stay with the process.
    malloc_trim(0);
  }
  *out = listing_;
  return true;
}


bool MailboxIndex::Repair(int dirfd, const std::string& authservId, bool fix, IndexCheck* out,
                         std::string* error) {
  *out = IndexCheck();
  std::lock_guard<std::mutex> lock(mu_);
  FolderLock folder(dirfd);
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
    auto it = present.find(std::string(m.record->Base()));
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
    if (!ReadMessageRecord(folders[it->second.folder].Get(), it->second.file, authservId, 0, r.get(),
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
      if (r->Base() == m.record->Base()) m.record = r;
  if (!listing_ && readable && file.nextUid > state_.nextUid) state_.nextUid = file.nextUid;
  listing_ = std::make_shared<const std::vector<ListedMessage>>(std::move(base));
  if (!Scan(dirfd, authservId, error, nullptr)) return false;
  out->written = indexWritten_;
  out->messages = listing_->size();
  return true;
}
