#include "session.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include <thread>

#include "message_facts.h"
#include "mime_structure.h"
#include "store_names.h"
#include "wire_words.h"

namespace {

constexpr uint32_t kListDeleted = 0x80000000u;  // FLAG bit: list deleted messages too
constexpr size_t kHeaderLineMax = 998;          // longer header lines go in pieces
constexpr size_t kPieceBytes = 256 * 1024;      // a long answer is sent on at this size

bool ParseNumber(std::string_view s, uint64_t max, uint64_t* out) {
  if (s.empty() || s.size() > 19) return false;
  uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > max) return false;
  *out = v;
  return true;
}

std::vector<std::string> Words(const std::string& s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    size_t b = s.find_first_not_of(' ', i);
    if (b == std::string::npos) break;
    size_t e = s.find(' ', b);
    out.push_back(s.substr(b, e == std::string::npos ? e : e - b));
    i = e == std::string::npos ? s.size() : e;
  }
  return out;
}

// Would a client reading header lines take this line for a reply line?
bool LooksLikeReply(const std::string& line) {
  return line.size() >= 5 && line[0] >= '0' && line[0] <= '9' && line[4] == ' ';
}

// The body as it goes on the wire: every line ended by CR LF.
std::string WireBody(std::string_view body) {
  std::string out;
  out.reserve(body.size() + body.size() / 16 + 2);
  size_t pos = 0;
  while (pos < body.size()) {
    size_t lf = body.find('\n', pos);
    size_t end = lf == std::string_view::npos ? body.size() : lf;
    std::string_view line = body.substr(pos, end - pos);
    if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    out.append(line.data(), line.size());
    out += "\r\n";
    pos = end + 1;
  }
  return out;
}

bool SendAllBytes(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // peer gone, or stopped reading past the send timeout
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

void StoreSession::Reply(std::string* out, int code, std::string_view text) {
  char digits[12];
  char* end = std::to_chars(digits, digits + sizeof digits, code).ptr;
  out->append(digits, static_cast<size_t>(end - digits));
  *out += ' ';
  *out += text;
  *out += "\r\n";
}

void StoreSession::RefuseLongLine(std::string* out) {
  *out += std::to_string(kErrLineTooLong) + " command line too long\r\n";
}

void StoreSession::ClearMailbox() {
  // Answers worked out while it was selected outlast a restart.
  if (index_ && mailboxFd_.Valid()) index_->SaveAnswers(mailboxFd_.Get());
  mailbox_.clear();
  mailboxFd_ = UniqueFd();
  curFd_ = UniqueFd();
  newFd_ = UniqueFd();
  index_.reset();
  listed_ = false;
  all_.reset();
  listing_.clear();
  listing_.shrink_to_fit();
  listingAll_ = false;
}

void StoreSession::ClearUser() {
  ClearMailbox();
  user_.clear();
  userFd_ = UniqueFd();
}

bool StoreSession::Handle(const std::string& line, std::string* out) {
  for (char c : line) {
    unsigned char u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\t') || u == 0x7F) {
      Reply(out, kErrMalformed, "malformed command");
      return true;
    }
  }
  size_t sp = line.find(' ');
  std::string word = line.substr(0, sp);
  std::string args = sp == std::string::npos ? "" : line.substr(sp + 1);
  for (char& c : word)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  bool noArgs = sp == std::string::npos;

  if (word == "QUIT") {
    Reply(out, kReplyOk, "goodbye");
    return false;
  }
  if (word == "RSET") {
    if (noArgs) {
      ClearUser();
      listFlags_ = 0;
      Reply(out, kReplyOk, "selection cleared");
    } else if (strcasecmp(args.c_str(), "MBOX") == 0) {
      ClearMailbox();
      listFlags_ = 0;
      Reply(out, kReplyOk, "mailbox selection cleared");
    } else {
      Reply(out, kErrSyntax, "usage: RSET or RSET MBOX");
    }
    return true;
  }
  // Views, so that looking a word up costs no length counting.
  struct Plain {
    std::string_view word;
    void (StoreSession::*fn)(std::string*);
  };
  static const Plain kPlain[] = {
      {"ULIST", &StoreSession::Users},        {"SHOW", &StoreSession::Show},
      {"INFO", &StoreSession::Info},          {"CAPA", &StoreSession::Capabilities},
      {"CONF", &StoreSession::Configuration}, {"SPACE", &StoreSession::Space},
      {"STAT", &StoreSession::Stat},
  };
  for (const Plain& p : kPlain) {
    if (word != p.word) continue;
    if (!noArgs) {
      Reply(out, kErrSyntax, std::string(p.word) + " takes no arguments");
      // List answers always end with 1000 (see PROTOCOL.md).
      if (word == "ULIST" || word == "CAPA" || word == "CONF") Reply(out, kReplyOk, "end");
    } else {
      (this->*p.fn)(out);
    }
    return true;
  }
  struct WithArgs {
    std::string_view word;
    void (StoreSession::*fn)(const std::string&, std::string*);
  };
  static const WithArgs kWithArgs[] = {
      {"USER", &StoreSession::SelectUser}, {"MBOX", &StoreSession::SelectMailbox},
      {"FLAG", &StoreSession::Flag},       {"RMOV", &StoreSession::Remove},
      {"AINFO", &StoreSession::Details},   {"MIME", &StoreSession::Mime},
      {"HEAD", &StoreSession::Header},
  };
  for (const WithArgs& p : kWithArgs) {
    if (word != p.word) continue;
    if (noArgs || args.empty()) {
      Reply(out, kErrSyntax, std::string(p.word) + " needs an argument");
      if (word == "MIME") Reply(out, kReplyOk, "end");
    } else {
      (this->*p.fn)(args, out);
    }
    return true;
  }
  if (word == "BODY" || word == "BRAW") {
    Body(args, word == "BRAW", out);
    return true;
  }
  if (word == "REPAIR") {
    // Taken whole when the connection does not stream it (see StoreClient).
    Repair(noArgs ? "" : args, [out](const std::string& s) { *out += s; return true; },
           [] { return false; }, out);
    return true;
  }
  if (word == "STOP") {
    // A STOP that reached the server after the repair it was meant for.
    Reply(out, kReplyOk, "no repair running");
    return true;
  }
  Reply(out, kErrUnknownCommand, "unknown command");
  return true;
}

void StoreSession::Users(std::string* out) {
  std::vector<std::string> users;
  if (!store_->ListUsers(&users)) {
    Reply(out, kErrStore, "cannot read the store");
    Reply(out, kReplyOk, "0 users");
    return;
  }
  for (const std::string& u : users) Reply(out, kReplyListLine, u);
  Reply(out, kReplyOk, std::to_string(users.size()) + " users");
}

void StoreSession::SelectUser(const std::string& name, std::string* out) {
  ClearUser();
  if (!ValidUserName(name)) {
    Reply(out, kErrNameRefused, "user name refused");
    return;
  }
  UniqueFd fd = store_->OpenUser(name);
  if (!fd.Valid()) {
    Reply(out, kErrNoSuchUser, "no such user");
    return;
  }
  user_ = name;
  userFd_ = std::move(fd);
  Reply(out, kReplyOk, "user selected");
}

void StoreSession::Show(std::string* out) {
  if (!userFd_.Valid()) {
    Reply(out, kErrNoUser, "no user selected");
    return;
  }
  std::vector<std::string> names;
  if (!store_->ListMailboxes(userFd_.Get(), &names)) {
    Reply(out, kErrStore, "cannot read the user's folder");
    return;
  }
  std::vector<std::string> listing = MailboxListing(names);
  Reply(out, kReplyListFollows, std::to_string(listing.size()) + " mailboxes");
  for (const std::string& n : listing) Reply(out, kReplyListLine, n);
  Reply(out, kReplyOk, "end of mailboxes");
}

void StoreSession::SelectMailbox(const std::string& name, std::string* out) {
  ClearMailbox();
  if (!userFd_.Valid()) {
    Reply(out, kErrNoUser, "no user selected");
    return;
  }
  std::string folder;
  if (!MailboxFolder(name, &folder)) {
    Reply(out, kErrNameRefused, "mailbox name refused");
    return;
  }
  UniqueFd fd = store_->OpenMailbox(userFd_.Get(), folder);
  if (!fd.Valid()) {
    Reply(out, kErrNoSuchMailbox, "no such mailbox");
    return;
  }
  curFd_ = OpenDirBeneath(fd.Get(), "cur");
  newFd_ = OpenDirBeneath(fd.Get(), "new");
  if (!curFd_.Valid() || !newFd_.Valid()) {
    ClearMailbox();
    Reply(out, kErrNoSuchMailbox, "no such mailbox");
    return;
  }
  mailbox_ = IsInbox(name) ? "INBOX" : name;
  mailboxFd_ = std::move(fd);
  index_ = store_->IndexFor(mailboxFd_.Get());
  Reply(out, kReplyOk, "mailbox selected");
}

void StoreSession::Flag(const std::string& arg, std::string* out) {
  uint64_t v;
  if (!ParseNumber(arg, 0xFFFFFFFFull, &v)) {
    Reply(out, kErrSyntax, "usage: FLAG number");
    return;
  }
  listFlags_ = static_cast<uint32_t>(v);
  Reply(out, kReplyOk, "listing flags set");
}

void StoreSession::Info(std::string* out) {
  if (!mailboxFd_.Valid()) {
    Reply(out, userFd_.Valid() ? kErrNoMailbox : kErrNoUser,
          userFd_.Valid() ? "no mailbox selected" : "no user selected");
    return;
  }
  MailboxIndex::Listing all;
  std::string why;
  if (!store_->Refresh(index_.get(), mailboxFd_.Get(), &all, &why)) {
    Reply(out, kErrStore, "cannot read the mailbox: " + why);
    return;
  }
  // The listing is shared with the index; this connection keeps positions in it.
  all_ = all;
  listing_.clear();
  listing_.shrink_to_fit();
  uint32_t wanted = listFlags_ & ~kListDeleted;
  auto listed = [&](const ListedMessage& m) {
    if ((m.flags & kMsgDeleted) && !(listFlags_ & kListDeleted)) return false;
    return !wanted || (m.flags & wanted) != 0;
  };
  listingAll_ = std::all_of(all->begin(), all->end(), listed);
  if (!listingAll_) {
    for (size_t i = 0; i < all->size(); ++i)
      if (listed((*all)[i])) listing_.push_back(static_cast<uint32_t>(i));
    listing_.shrink_to_fit();
  }
  listed_ = true;
  const size_t count = ListedCount();
  out->reserve(out->size() + std::min<size_t>(count * 96, kPieceBytes) + 128);
  Reply(out, kReplyListFollows, std::to_string(count) + " messages");
  // Number, size, flags, ID and date, each with its blank: at most 75 bytes.
  char line[80];
  for (size_t i = 0; i < count; ++i) {
    const ListedMessage& m = (*all)[Listed(i + 1)];
    const MessageRecord& f = *m.record;
    char* p = line;
    for (int64_t v : {static_cast<int64_t>(i + 1), static_cast<int64_t>(f.headerBytes + f.bodyBytes),
                      static_cast<int64_t>(m.flags), static_cast<int64_t>(f.uid),
                      f.date > 0 ? f.date : f.mtime}) {
      p = std::to_chars(p, line + sizeof line, v).ptr;
      *p++ = ' ';
    }
    out->append(line, static_cast<size_t>(p - line));
    *out += f.Sender();
    *out += ' ';
    *out += f.Subject();
    *out += ' ';
    p = std::to_chars(line, line + sizeof line, f.headerBytes).ptr;
    out->append(line, static_cast<size_t>(p - line));
    *out += "\r\n";
    // A big mailbox's listing goes out in pieces: two hundred clients listing
    // it at once must not hold two hundred copies of it.
    if (out->size() >= kPieceBytes && sendPiece_ && !sendPiece_(out)) return;
  }
  Reply(out, kReplyOk, "end of messages");
}

void StoreSession::Remove(const std::string& name, std::string* out) {
  if (!userFd_.Valid()) {
    Reply(out, kErrNoUser, "no user selected");
    return;
  }
  std::string folder;
  if (IsInbox(name)) {
    Reply(out, kErrInboxKept, "INBOX cannot be removed");
    return;
  }
  if (!MailboxFolder(name, &folder)) {
    Reply(out, kErrNameRefused, "mailbox name refused");
    return;
  }
  if (mailboxFd_.Valid() && mailbox_ == name) ClearMailbox();
  std::string remains;
  switch (store_->RemoveMailbox(userFd_.Get(), user_, folder, &remains)) {
    case MessageStore::kRemoved: Reply(out, kReplyOk, "mailbox removed"); break;
    case MessageStore::kNoSuchMailbox: Reply(out, kErrNoSuchMailbox, "no such mailbox"); break;
    case MessageStore::kRemoveFailed: Reply(out, kErrStore, "mailbox could not be removed"); break;
    case MessageStore::kRemovedInPart:
      // Not a success: the client keeps the mailbox, which no longer lists.
      Reply(out, kErrStore, "mailbox only partly removed: the rest is removed later");
      break;
  }
}

void StoreSession::Capabilities(std::string* out) {
  static const char* const kLines[] = {
      "IMPLEMENTATION zelmstored 1.0",
      "STORE Maildir++",
      "MIME",
      "BRAW",
      "RMOV",
      "FLAG list-deleted=2147483648",
      "SPACE",
      "REPAIR",
  };
  for (const char* l : kLines) Reply(out, kReplyListLine, l);
  Reply(out, kReplyOk, "end of capabilities");
}

void StoreSession::Configuration(std::string* out) {
  for (const std::string& e : ConfigEntries(*store_->Config())) Reply(out, kReplyListLine, e);
  Reply(out, kReplyOk, "end of configuration");
}

void StoreSession::Space(std::string* out) {
  if (!userFd_.Valid()) {
    Reply(out, kErrNoUser, "no user selected");
    return;
  }
  Reply(out, kReplyOk,
        std::to_string(store_->UsedKb(userFd_.Get())) + " " +
            std::to_string(QuotaFor(*store_->Config(), user_)));
}

void StoreSession::Stat(std::string* out) {
  if (!mailboxFd_.Valid()) {
    Reply(out, userFd_.Valid() ? kErrNoMailbox : kErrNoUser,
          userFd_.Valid() ? "no mailbox selected" : "no user selected");
    return;
  }
  MailboxIndex::Listing all;
  std::string why;
  if (!store_->Refresh(index_.get(), mailboxFd_.Get(), &all, &why)) {
    Reply(out, kErrStore, "cannot read the mailbox: " + why);
    return;
  }
  uint64_t bytes = 0, fresh = 0, freshBytes = 0;
  for (const ListedMessage& m : *all) {
    uint64_t size = m.record->headerBytes + m.record->bodyBytes;
    bytes += size;
    if (m.inNew) {
      ++fresh;
      freshBytes += size;
    }
  }
  Reply(out, kReplyOk,
        WireWord(mailbox_) + " " + std::to_string(all->size()) + " " + std::to_string(bytes) + " " +
            std::to_string(fresh) + " " + std::to_string(freshBytes));
}

StoreSession::Lookup StoreSession::FindListed(uint64_t n, std::string* content,
                                              ListedMessage* current, bool* oneLink) const {
  *current = (*all_)[Listed(n)];
  const MessageRecord& rec = *current->record;
  struct stat st;
  auto unchanged = [&] {
    if (oneLink) *oneLink = st.st_nlink == 1;
    return static_cast<uint64_t>(st.st_size) == rec.rawSize && st.st_mtime == rec.mtime;
  };
  // Where it was listed, the reading finds it too: the common case in fewest calls.
  if (content &&
      ReadMessageFile(current->inNew ? newFd_.Get() : curFd_.Get(), current->File(), content, &st))
    return unchanged() && content->size() == rec.rawSize ? kFound : kChanged;
  auto look = [&] {
    return fstatat(current->inNew ? newFd_.Get() : curFd_.Get(), current->File().c_str(), &st,
                   AT_SYMLINK_NOFOLLOW) == 0;
  };
  if (!look()) {
    // Renamed since the listing (flags changed, or moved from new/ to cur/)?
    bool found = false;
    for (const UniqueFd* dir : {&curFd_, &newFd_}) {
      std::vector<DirEntry> entries;
      if (found || !ListDirectory(dir->Get(), &entries)) continue;
      for (const DirEntry& e : entries) {
        if (e.kind == EntryKind::kFile && MaildirBaseName(e.name) == rec.Base()) {
          current->suffix = e.name.substr(rec.Base().size());
          current->inNew = dir == &newFd_;
          current->flags = MaildirFlags(e.name, current->inNew) | rec.contentFlags;
          found = true;
          break;
        }
      }
    }
    if (!found || !look()) return kVanished;
  }
  if (!S_ISREG(st.st_mode)) return kVanished;  // a link or anything else in its place
  if (!unchanged()) return kChanged;
  if (content) {
    UniqueFd file = OpenFileBeneath(current->inNew ? newFd_.Get() : curFd_.Get(), current->File());
    if (!file.Valid() || !ReadWholeFile(file.Get(), content) || content->size() != rec.rawSize)
      return kChanged;
  }
  return kFound;
}

bool StoreSession::Numbered(const std::string& numberText, uint64_t* number, std::string* out) {
  if (!mailboxFd_.Valid()) {
    Reply(out, userFd_.Valid() ? kErrNoMailbox : kErrNoUser,
          userFd_.Valid() ? "no mailbox selected" : "no user selected");
    return false;
  }
  uint64_t n;
  if (!ParseNumber(numberText, 0xFFFFFFFFull, &n)) {
    Reply(out, kErrSyntax, "bad message number");
    return false;
  }
  if (!listed_ || n == 0 || n > ListedCount()) {
    Reply(out, kErrNoSuchMessage, listed_ ? "no such message" : "no such message (no INFO yet)");
    return false;
  }
  *number = n;
  return true;
}

bool StoreSession::Found(Lookup lookup, std::string* out) {
  switch (lookup) {
    case kFound: return true;
    case kVanished: Reply(out, kErrMessageChanged, "message no longer exists"); return false;
    case kChanged:
      Reply(out, kErrMessageChanged, "message has changed since it was listed");
      return false;
  }
  return false;
}

bool StoreSession::LoadMessage(const std::string& numberText, std::string* content,
                               ListedMessage* current, uint64_t* number, std::string* out) {
  return Numbered(numberText, number, out) && Found(FindListed(*number, content, current), out);
}

uint32_t StoreSession::ChangeCount() {
  const FolderWatch::Count* changes = index_->Changes();
  if (!changes) return 0;
  if (!caught_) {
    store_->Watch().Catch();
    caught_ = true;
  }
  return changes->value.load();
}

void StoreSession::PrefetchMime(const std::vector<std::string_view>& numbers) {
  if (!mailboxFd_.Valid() || !listed_) return;
  // Kept answers not yet found current (all of them after a restart) are
  // checked here too: on a cold disk, one file status at a time leaves it idle.
  uint32_t count = ChangeCount();
  std::vector<uint64_t> wanted;
  for (std::string_view text : numbers) {
    uint64_t n;
    if (!ParseNumber(text, 0xFFFFFFFFull, &n) || n == 0 || n > ListedCount()) continue;
    const MessageRecord& r = *(*all_)[Listed(n)].record;
    if (!r.mime.load() || (count && r.checkedAt.load() != count)) wanted.push_back(n);
  }
  static const unsigned cores = std::thread::hardware_concurrency();  // asks the system each time
  unsigned helpers = std::min(cores > 1 ? cores - 1 : 0u, 3u);
  if (wanted.size() < 8 || helpers == 0) return;
  std::atomic<size_t> next{0};
  auto work = [&] {
    std::string content;
    ListedMessage m;
    for (size_t j; (j = next.fetch_add(1)) < wanted.size();) {
      // Whatever fails here is found again, and answered, in its command's turn.
      const MessageRecord& r = *(*all_)[Listed(wanted[j])].record;
      bool kept = r.mime.load() != nullptr, oneLink = false;
      if (FindListed(wanted[j], kept ? nullptr : &content, &m, &oneLink) != kFound) continue;
      if (!kept) r.KeepMime(PackMime(DescribeMime(content)));
      // As Mime does: the count was taken before the file was looked at.
      if (count && oneLink) r.checkedAt.store(count);
    }
  };
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < helpers; ++t) threads.emplace_back(work);
  work();
  for (std::thread& t : threads) t.join();
}

void StoreSession::Details(const std::string& args, std::string* out) {
  ListedMessage m;
  uint64_t n;
  std::string content;
  if (!LoadMessage(args, &content, &m, &n, out)) return;
  const MessageRecord& f = *m.record;
  Reply(out, kReplyListLine,
        std::to_string(n) + " " + std::to_string(f.headerBytes + f.bodyBytes) + " " +
            std::to_string(f.headerBytes) + " " + std::to_string(f.bodyBytes) + " " +
            std::to_string(m.flags) + " " + ContentHash(content) + " " + std::to_string(f.uid) +
            " " + std::to_string(f.date > 0 ? f.date : f.mtime) + " " + std::string(f.Sender()));
}

void StoreSession::Mime(const std::string& args, std::string* out) {
  uint64_t n;
  if (Numbered(args, &n, out)) {
    const MessageRecord& r = *(*all_)[Listed(n)].record;
    const char* kept = r.mime.load();
    uint32_t count = ChangeCount();  // taken before the file is looked at
    if (kept && count && r.checkedAt.load() == count) {
      // Nothing reported for the mailbox's folders since the file was found
      // unchanged: the kept answer is still the file's.
      AppendPackedMime(kept, out);
    } else {
      // A kept answer still needs the message to be there, unchanged.
      ListedMessage m;
      std::string content;
      bool oneLink = false;
      if (Found(FindListed(n, kept ? nullptr : &content, &m, &oneLink), out)) {
        if (kept) {
          AppendPackedMime(kept, out);
        } else {
          std::vector<MimeLine> lines = DescribeMime(content);
          r.KeepMime(PackMime(lines));
          for (const MimeLine& l : lines) {
            *out += FormatMimeLine(l);
            *out += "\r\n";
          }
        }
        if (count && oneLink) r.checkedAt.store(count);
      }
    }
  }
  Reply(out, kReplyOk, "end of structure");
}

void StoreSession::Header(const std::string& args, std::string* out) {
  std::string content;
  ListedMessage m;
  uint64_t n;
  if (!LoadMessage(args, &content, &m, &n, out)) return;
  Reply(out, kReplyHeaderFollows, "header follows");
  std::string_view header(content.data(), FindBodyStart(content));
  size_t pos = 0;
  while (pos < header.size()) {
    size_t lf = header.find('\n', pos);
    size_t end = lf == std::string_view::npos ? header.size() : lf;
    std::string line(header.substr(pos, end - pos));
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;  // the empty line closing the header
    // A header line must never read as the reply that ends the header.
    if (LooksLikeReply(line)) line.insert(0, " ");
    for (size_t at = 0; at < line.size(); at += kHeaderLineMax) {
      if (at > 0) *out += ' ';
      out->append(line, at, kHeaderLineMax);
      *out += "\r\n";
    }
  }
  Reply(out, kReplyOk, "end of header");
}

void StoreSession::Body(const std::string& args, bool range, std::string* out) {
  std::vector<std::string> w = Words(args);
  uint64_t offset = 0, length = 0;
  if (w.size() != (range ? 3u : 1u) ||
      (range && (!ParseNumber(w[1], ~0ull >> 1, &offset) || !ParseNumber(w[2], ~0ull >> 1, &length)))) {
    Reply(out, kErrSyntax, range ? "usage: BRAW number offset length" : "usage: BODY number");
    return;
  }
  std::string content;
  ListedMessage m;
  uint64_t n;
  if (!LoadMessage(w[0], &content, &m, &n, out)) return;
  std::string body = WireBody(std::string_view(content).substr(FindBodyStart(content)));
  if (range) {
    // length 0: to the end. A range ending inside a line gets a line end of
    // its own (counted), so the closing reply starts a line.
    std::string piece = offset < body.size() ? body.substr(offset, length ? length : std::string::npos)
                                             : std::string();
    if (!piece.empty() && piece.back() != '\n') piece += "\r\n";
    body.swap(piece);
  }
  // A fetch from the start of a body is a message delivered to the client;
  // every byte sent counts.
  uint32_t listen = 0;
  in_addr a;
  if (inet_pton(AF_INET, store_->Config()->listenAddress.c_str(), &a) == 1) listen = ntohl(a.s_addr);
  store_->Stats().Delivered(peer_, listen, !range || offset == 0, body.size());
  Reply(out, range ? kReplyRangeFollows : kReplyBodyFollows,
        std::to_string(body.size()) + " bytes follow");
  *out += body;
  Reply(out, kReplyOk, "end of body");
}

namespace {

enum : size_t { kRepairInputMax = 65536 };  // input taken in while a repair runs

// While a repair runs: takes in what the client sent meanwhile and tells
// whether the next line after `from` is a STOP, which it then removes. A
// client that went away stops the repair too (*gone).
bool StopArrived(int fd, std::string* in, size_t from, bool* gone) {
  char buf[4096];
  for (;;) {
    if (in->size() >= kRepairInputMax) break;  // the rest waits in the socket
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0) break;
    ssize_t got = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (got > 0) {
      in->append(buf, static_cast<size_t>(got));
      continue;
    }
    if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) break;
    *gone = true;
    return true;
  }
  size_t lf = in->find('\n', from);
  if (lf == std::string::npos) return false;
  size_t end = lf > from && (*in)[lf - 1] == '\r' ? lf - 1 : lf;
  if (end - from != 4 || strncasecmp(in->c_str() + from, "STOP", 4) != 0) return false;
  in->erase(from, lf + 1 - from);
  return true;
}

}  // namespace

StoreClient::StoreClient(MessageStore* store, uint32_t peer)
    : config_(store->Config()), session_(store, peer) {}

ConnectionWait StoreClient::Begin(int fd) {
  session_.SendPieces([fd](std::string* out) {
    bool sent = SendAllBytes(fd, *out);
    out->clear();
    return sent;
  });
  // Limits stay as they were when the client came; a change that must reach
  // connected clients ends them instead (see StoreServer).
  timeval tv{config_->sendTimeoutSeconds, 0};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  // A fresh socket takes these few bytes at once; one that does not is gone.
  const std::string line = config_->disabled ? "5001 service disabled\r\n" : "1000 zelmstored ready\r\n";
  ssize_t sent = send(fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  if (config_->disabled || sent != static_cast<ssize_t>(line.size())) return ConnectionWait::Close();
  // A client that says nothing after the greeting must not hold its slot for
  // the whole idle time.
  firstBy_ = AcceptorClock::now() + std::chrono::seconds(config_->firstCommandSeconds);
  return ConnectionWait::Until(firstBy_);
}

void StoreClient::Expired(int fd) {
  static const char kLine[] = "5001 idle timeout\r\n";
  ssize_t ignored = send(fd, kLine, sizeof kLine - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
  (void)ignored;
}

ConnectionWait StoreClient::Readable(int fd) {
  char buf[16384];
  for (;;) {
    ssize_t got = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;  // all taken in
    // Closed, half-closed or reset: nothing more will be asked.
    if (got <= 0) return ConnectionWait::Close();
    in_.append(buf, static_cast<size_t>(got));
    session_.InputArrived();
    // Pipelined MIME commands at the front of the input: their messages are
    // parsed side by side first (the parsing is the costly part).
    std::vector<std::string_view> mimeAhead;  // into in_, which stays as it is meanwhile
    for (size_t at = 0, lf; (lf = in_.find('\n', at)) != std::string::npos; at = lf + 1) {
      if (skipping_ || lf - at < 6 || strncasecmp(in_.c_str() + at, "MIME ", 5) != 0) break;
      size_t end = lf > at && in_[lf - 1] == '\r' ? lf - 1 : lf;
      mimeAhead.push_back(std::string_view(in_).substr(at + 5, end - at - 5));
    }
    if (mimeAhead.size() >= 8) session_.PrefetchMime(mimeAhead);
    bool keep = true;
    size_t start = 0;
    for (;;) {
      size_t lf = in_.find('\n', start);
      if (lf == std::string::npos) break;
      commanded_ = true;
      if (skipping_) {
        skipping_ = false;
        StoreSession::RefuseLongLine(&out_);
      } else {
        size_t end = lf;
        if (end > start && in_[end - 1] == '\r') --end;
        std::string repairArgs;
        if (end - start > kMaxCommandLine) {
          StoreSession::RefuseLongLine(&out_);
        } else if (StoreSession::IsRepair(in_.substr(start, end - start), &repairArgs)) {
          // A repair reports as it goes, and hears a STOP sent meanwhile.
          if (!out_.empty() && !SendAllBytes(fd, out_)) return ConnectionWait::Close();
          out_.clear();
          bool gone = false;
          size_t after = lf + 1;
          bool sent = session_.Repair(
              repairArgs, [fd](const std::string& s) { return SendAllBytes(fd, s); },
              [&] { return StopArrived(fd, &in_, after, &gone); }, &out_);
          if (!sent || gone) return ConnectionWait::Close();
        } else {
          keep = session_.Handle(in_.substr(start, end - start), &out_);
        }
      }
      start = lf + 1;
      if (!keep) break;
      if (out_.size() >= (1u << 20)) {
        if (!SendAllBytes(fd, out_)) return ConnectionWait::Close();
        out_.clear();
      }
    }
    in_.erase(0, start);
    if (in_.size() > kMaxCommandLine + 1) {
      skipping_ = true;
      in_.clear();
    }
    if (!out_.empty() && !SendAllBytes(fd, out_)) return ConnectionWait::Close();
    out_.clear();
    if (!keep) return ConnectionWait::Close();
  }
  // Until the first command the greeting's deadline holds, however the
  // bytes of a line trickle in; then every arrival restarts the idle time.
  return ConnectionWait::Until(commanded_ ? AcceptorClock::now() +
                                                std::chrono::seconds(config_->idleSeconds)
                                          : firstBy_);
}
