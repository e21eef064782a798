#include "maildir_repair.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <unordered_map>

#include "message_facts.h"
#include "message_store.h"
#include "store_fs.h"

namespace {

std::string Count(uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Outcome(bool fix, uint64_t found, uint64_t fixed) {
  if (!fix) return "found";
  if (fixed == found) return "put right";
  if (fixed == 0) return "could not be put right";
  return std::to_string(fixed) + " put right";
}

void Note(std::vector<RepairFinding>* out, bool fix, uint64_t found, uint64_t fixed,
          const std::string& what) {
  if (found == 0) return;
  RepairFinding f;
  f.action = what + ": " + Outcome(fix, found, fixed);
  f.found = found;
  f.fixed = fixed;
  out->push_back(f);
}

// Renames within one folder, never over an existing file.
bool RenameQuietly(int dirfd, const std::string& from, const std::string& to) {
  if (renameat2(dirfd, from.c_str(), dirfd, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without RENAME_NOREPLACE: a link cannot replace either.
  if (linkat(dirfd, from.c_str(), dirfd, to.c_str(), 0) != 0) return false;
  unlinkat(dirfd, from.c_str(), 0);
  return true;
}

void CheckTmp(int mailboxfd, bool fix, std::vector<RepairFinding>* out) {
  struct stat st;
  if (fstatat(mailboxfd, "tmp", &st, AT_SYMLINK_NOFOLLOW) != 0) {
    bool made = fix && mkdirat(mailboxfd, "tmp", 0700) == 0;
    Note(out, fix, 1, made ? 1 : 0, "the tmp folder is missing");
    return;
  }
  if (!S_ISDIR(st.st_mode)) {
    // Something else stands there; it is left for a person to look at.
    Note(out, fix, 1, 0, "tmp is not a folder");
    return;
  }
  UniqueFd tmp = OpenDirBeneath(mailboxfd, "tmp");
  std::vector<DirEntry> entries;
  if (!tmp.Valid() || !ListDirectory(tmp.Get(), &entries)) return;
  int64_t now = time(nullptr);
  uint64_t stale = 0, removed = 0;
  for (const DirEntry& e : entries) {
    if (e.kind != EntryKind::kFile) continue;
    if (fstatat(tmp.Get(), e.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (now - st.st_mtime < kStaleDeliverySeconds) continue;
    ++stale;
    if (fix && unlinkat(tmp.Get(), e.name.c_str(), 0) == 0) ++removed;
  }
  Note(out, fix, stale, removed,
       Count(stale, "delivery", "deliveries") + " left unfinished in tmp for over 36 hours");
}

void CheckNames(int mailboxfd, bool fix, std::vector<RepairFinding>* out) {
  UniqueFd cur = OpenDirBeneath(mailboxfd, "cur");
  UniqueFd fresh = OpenDirBeneath(mailboxfd, "new");
  std::vector<DirEntry> curEntries, newEntries;
  if (!cur.Valid() || !ListDirectory(cur.Get(), &curEntries)) return;
  if (!fresh.Valid() || !ListDirectory(fresh.Get(), &newEntries)) return;

  uint64_t bare = 0, bareFixed = 0, disorder = 0, disorderFixed = 0;
  std::unordered_map<std::string, std::string> curBases;
  for (const DirEntry& e : curEntries) {
    if (e.kind != EntryKind::kFile) continue;
    curBases.emplace(std::string(MaildirBaseName(e.name)), e.name);
    std::string want = NormalizedMaildirName(e.name);
    if (want == e.name) continue;
    bool noSection = e.name.find(':') == std::string::npos;
    bool done = fix && RenameQuietly(cur.Get(), e.name, want);
    if (noSection) {
      ++bare;
      bareFixed += done;
    } else {
      ++disorder;
      disorderFixed += done;
    }
  }
  Note(out, fix, bare, bareFixed, Count(bare, "message", "messages") + " without their flag section");
  Note(out, fix, disorder, disorderFixed,
       Count(disorder, "message", "messages") + " with flags out of order or given twice");

  // The same message in new/ and in cur/: the copy in new/ gets a name of its
  // own, so both are listed and neither is lost.
  uint64_t twins = 0, parted = 0;
  for (const DirEntry& e : newEntries) {
    if (e.kind != EntryKind::kFile) continue;
    std::string base(MaildirBaseName(e.name));
    if (!curBases.count(base)) continue;
    ++twins;
    if (!fix) continue;
    for (int k = 1; k < 100; ++k) {
      std::string renamed = base + ".R" + std::to_string(k) + e.name.substr(base.size());
      if (curBases.count(std::string(MaildirBaseName(renamed)))) continue;
      if (RenameQuietly(fresh.Get(), e.name, renamed)) {
        ++parted;
        break;
      }
      if (errno != EEXIST) break;
    }
  }
  Note(out, fix, twins, parted, Count(twins, "message", "messages") + " both in new and in cur");
}

}  // namespace

std::string NormalizedMaildirName(const std::string& name) {
  size_t colon = name.find(':');
  if (colon == std::string::npos) return name + ":2,";
  if (name.compare(colon, 3, ":2,") != 0) return name;
  std::string letters = name.substr(colon + 3);
  std::sort(letters.begin(), letters.end());
  letters.erase(std::unique(letters.begin(), letters.end()), letters.end());
  return name.substr(0, colon + 3) + letters;
}

bool RepairMaildir(MessageStore* store, int mailboxfd, bool fix, std::vector<RepairFinding>* out,
                   std::string* error) {
  if (!IsMaildir(mailboxfd)) {
    *error = "not a Maildir";
    return false;
  }
  CheckTmp(mailboxfd, fix, out);
  CheckNames(mailboxfd, fix, out);
  std::shared_ptr<MailboxIndex> index = store->IndexFor(mailboxfd);
  MailboxIndex::IndexCheck c;
  if (!index->Repair(mailboxfd, store->Config()->authservId, fix, &c, error)) return false;
  uint64_t w = c.written ? 1 : 0;
  Note(out, fix, c.damaged ? 1 : 0, c.damaged ? w : 0, "the index file was damaged");
  Note(out, fix, c.vanished, c.vanished * w,
       Count(c.vanished, "index entry", "index entries") + " without their message");
  Note(out, fix, c.changed, c.changed * w,
       Count(c.changed, "message", "messages") + " changed after they were indexed");
  if (c.missing && fix && c.written) {
    RepairFinding note;
    note.action = "no index yet: made one";
    out->push_back(note);
  }
  return true;
}
