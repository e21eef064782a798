#include "message_store.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "store_names.h"

namespace {

// ",S=<size>" in a Maildir name saves a stat.
bool SizeFromName(const std::string& name, uint64_t* size) {
  size_t s = name.find(",S=");
  if (s == std::string::npos) return false;
  size_t i = s + 3;
  uint64_t v = 0;
  size_t digits = 0;
  for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && digits < 19; ++i, ++digits)
    v = v * 10 + static_cast<uint64_t>(name[i] - '0');
  if (digits == 0) return false;
  *size = v;
  return true;
}

uint64_t MaildirBytes(int mailboxfd) {
  uint64_t total = 0;
  for (const char* sub : {"cur", "new"}) {
    UniqueFd dir = OpenDirBeneath(mailboxfd, sub);
    std::vector<DirEntry> entries;
    if (!dir.Valid() || !ListDirectory(dir.Get(), &entries)) continue;
    for (const DirEntry& e : entries) {
      if (e.kind != EntryKind::kFile) continue;
      uint64_t size;
      struct stat st;
      if (SizeFromName(e.name, &size)) {
        total += size;
      } else if (fstatat(dir.Get(), e.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        total += static_cast<uint64_t>(st.st_size);
      }
    }
  }
  return total;
}

}  // namespace

MessageStore::MessageStore(const StoreConfig& config)
    : config_(std::make_shared<const StoreConfig>(config)) {
  // Listings of big mailboxes need buffers of megabytes for a moment (names,
  // the index text, the answer). Left to the allocator's own judgement they
  // come from the heap after the first, where what stays amid them keeps
  // their pages with the process; mapped apart, they go back when freed.
  static std::once_flag once;
  std::call_once(once, [] { mallopt(M_MMAP_THRESHOLD, 256 * 1024); });
}

bool MessageStore::Open(std::string* error) { return Reconfigure(*Config(), error); }

bool MessageStore::Reconfigure(const StoreConfig& config, std::string* error) {
  std::shared_ptr<const UniqueFd> root;
  {
    std::lock_guard<std::mutex> lock(configMu_);
    if (root_ && config.storeRoot == config_->storeRoot) root = root_;
  }
  bool opened = true;
  if (!root) {
    UniqueFd fd;
    if (!config.storeRoot.empty())
      fd = UniqueFd(open(config.storeRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid()) {
      root = std::make_shared<const UniqueFd>(std::move(fd));
    } else {
      *error = config.storeRoot.empty() ? "no store folder configured"
                                        : "cannot open the store folder " + config.storeRoot;
      opened = false;
    }
  }
  bool fresh = false;
  {
    std::lock_guard<std::mutex> lock(configMu_);
    fresh = root && root != root_;
    config_ = std::make_shared<const StoreConfig>(config);
    root_ = std::move(root);
  }
  // Whatever a removal could not finish before (this run or an earlier one).
  if (fresh) SweepStore();
  return opened;
}

bool MessageStore::IsOpen() const {
  std::lock_guard<std::mutex> lock(configMu_);
  return root_ != nullptr;
}

std::shared_ptr<const StoreConfig> MessageStore::Config() const {
  std::lock_guard<std::mutex> lock(configMu_);
  return config_;
}

std::shared_ptr<const UniqueFd> MessageStore::Root() const {
  std::lock_guard<std::mutex> lock(configMu_);
  return root_;
}

bool MessageStore::ListUsers(std::vector<std::string>* out) const {
  out->clear();
  std::vector<DirEntry> entries;
  std::shared_ptr<const UniqueFd> root = Root();
  if (!root || !ListDirectory(root->Get(), &entries)) return false;
  for (const DirEntry& e : entries)
    if (e.kind == EntryKind::kDir && ValidUserName(e.name)) out->push_back(e.name);
  std::sort(out->begin(), out->end());
  return true;
}

UniqueFd MessageStore::OpenUser(const std::string& name) const {
  std::shared_ptr<const UniqueFd> root = Root();
  if (!root || !ValidUserName(name)) return UniqueFd();
  return OpenDirBeneath(root->Get(), name);
}

bool MessageStore::ListMailboxes(int userfd, std::vector<std::string>* out) const {
  out->clear();
  std::vector<DirEntry> entries;
  if (!ListDirectory(userfd, &entries)) return false;
  if (IsMaildir(userfd)) out->push_back("INBOX");
  for (const DirEntry& e : entries) {
    std::string wire;
    if (e.kind != EntryKind::kDir || !WireMailboxName(e.name, &wire)) continue;
    UniqueFd box = OpenDirBeneath(userfd, e.name);
    if (box.Valid() && IsMaildir(box.Get())) out->push_back(wire);
  }
  return true;
}

UniqueFd MessageStore::OpenMailbox(int userfd, const std::string& folder) const {
  UniqueFd box = folder.empty() ? UniqueFd(openat(userfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC))
                                : OpenDirBeneath(userfd, folder);
  if (!box.Valid() || !IsMaildir(box.Get())) return UniqueFd();
  return box;
}

std::shared_ptr<MailboxIndex> MessageStore::IndexFor(int mailboxfd) {
  struct stat st;
  if (fstat(mailboxfd, &st) != 0) return std::make_shared<MailboxIndex>();
  std::lock_guard<std::mutex> lock(mu_);
  auto& slot = indexes_[{st.st_dev, st.st_ino}];
  if (!slot) {
    slot = std::make_shared<MailboxIndex>();
    UniqueFd cur = OpenDirBeneath(mailboxfd, "cur"), fresh = OpenDirBeneath(mailboxfd, "new");
    if (cur.Valid() && fresh.Valid()) slot->SetChanges(watch_.Watch(cur.Get(), fresh.Get()));
  }
  return slot;
}

bool MessageStore::Refresh(MailboxIndex* index, int mailboxfd, MailboxIndex::Listing* out,
                           std::string* error) {
  MailboxIndex::Arrivals arrived;
  // Changes reported so far are counted before the scan takes its count.
  watch_.Catch();
  if (!index->Refresh(mailboxfd, Config()->authservId, out, error, &arrived)) return false;
  if (arrived.messages) {
    stats_.receivedMessages.fetch_add(arrived.messages);
    stats_.receivedBytes.fetch_add(arrived.bytes);
  }
  return true;
}

uint64_t MessageStore::UsedKb(int userfd) const {
  uint64_t bytes = IsMaildir(userfd) ? MaildirBytes(userfd) : 0;
  std::vector<DirEntry> entries;
  if (ListDirectory(userfd, &entries)) {
    for (const DirEntry& e : entries) {
      std::string wire;
      if (e.kind != EntryKind::kDir || !WireMailboxName(e.name, &wire)) continue;
      UniqueFd box = OpenDirBeneath(userfd, e.name);
      if (box.Valid()) bytes += MaildirBytes(box.Get());
    }
  }
  return (bytes + 1023) / 1024;
}

namespace {

constexpr char kRemovingPrefix[] = "zelm-removing.";

void LogLine(const std::string& line) {
  fprintf(stderr, "zelmstored: %s\n", line.c_str());
  fflush(stderr);
}

}  // namespace

bool MessageStore::Claim(const std::string& doomed) {
  std::lock_guard<std::mutex> lock(mu_);
  return removing_.insert(doomed).second;
}

void MessageStore::Release(const std::string& doomed) {
  std::lock_guard<std::mutex> lock(mu_);
  removing_.erase(doomed);
}

void MessageStore::SweepRemains(int userfd, const std::string& user) {
  std::vector<DirEntry> entries;
  if (!ListDirectory(userfd, &entries)) return;
  for (const DirEntry& e : entries) {
    if (e.name.compare(0, sizeof kRemovingPrefix - 1, kRemovingPrefix) != 0) continue;
    // One being removed by another connection right now is its business.
    if (!Claim(e.name)) continue;
    if (RemoveTreeBeneath(userfd, e.name)) {
      LogLine("removed what an earlier RMOV left: " + user + "/" + e.name);
    } else {
      LogLine("cannot remove " + user + "/" + e.name + " yet (" + strerror(errno) +
              "): tried again at the next RMOV and start");
    }
    Release(e.name);
  }
}

void MessageStore::SweepStore() {
  std::vector<std::string> users;
  if (!ListUsers(&users)) return;
  for (const std::string& user : users) {
    UniqueFd fd = OpenUser(user);
    if (fd.Valid()) SweepRemains(fd.Get(), user);
  }
}

MessageStore::RemoveResult MessageStore::RemoveMailbox(int userfd, const std::string& user,
                                                       const std::string& folder,
                                                       std::string* remains) {
  if (folder.size() < 2 || folder[0] != '.') return kNoSuchMailbox;
  SweepRemains(userfd, user);
  // Only what MBOX would select is a mailbox (OpenMailbox's test): a folder,
  // not a link, with cur and new folders that are not links. A folder that
  // cannot be opened for want of descriptors is not "no such mailbox".
  struct stat st;
  {
    UniqueFd box = OpenDirBeneath(userfd, folder);
    if (!box.Valid()) return errno == EMFILE || errno == ENFILE ? kRemoveFailed : kNoSuchMailbox;
    if (!IsMaildir(box.Get())) return kNoSuchMailbox;
    if (fstat(box.Get(), &st) != 0) return kRemoveFailed;
  }
  // Out of sight in one step, then emptied: a listing never shows half a mailbox.
  static std::atomic<unsigned> counter{0};
  std::string doomed = kRemovingPrefix + folder.substr(1) + "." + std::to_string(getpid()) + "." +
                       std::to_string(++counter);
  Claim(doomed);
  if (renameat2(userfd, folder.c_str(), userfd, doomed.c_str(), RENAME_NOREPLACE) != 0) {
    Release(doomed);
    return kRemoveFailed;
  }
  {
    std::lock_guard<std::mutex> lock(mu_);
    indexes_.erase({st.st_dev, st.st_ino});
  }
  uint64_t removed = 0;
  bool ok = RemoveTreeBeneath(userfd, doomed, &removed);
  int error = errno;
  // Nothing gone yet: the mailbox goes back, as it was.
  bool back = !ok && removed == 0 &&
              renameat2(userfd, doomed.c_str(), userfd, folder.c_str(), RENAME_NOREPLACE) == 0;
  Release(doomed);
  if (ok) return kRemoved;
  if (back) return kRemoveFailed;
  *remains = doomed;
  LogLine("RMOV of " + user + "/" + folder + " removed only part of it (" + strerror(error) +
          "): the rest is in " + user + "/" + doomed + " until the next RMOV or start");
  return kRemovedInPart;
}
