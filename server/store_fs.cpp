#include "store_fs.h"

#include <dirent.h>
#include <stdio.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

UniqueFd& UniqueFd::operator=(UniqueFd&& o) noexcept {
  if (this != &o) {
    if (fd_ >= 0) close(fd_);
    fd_ = o.Release();
  }
  return *this;
}

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) close(fd_);
}

namespace {

bool OneComponent(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

}  // namespace

UniqueFd OpenDirBeneath(int dirfd, const std::string& name) {
  if (!OneComponent(name)) return UniqueFd();
  return UniqueFd(openat(dirfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

UniqueFd OpenFileBeneath(int dirfd, const std::string& name) {
  if (!OneComponent(name)) return UniqueFd();
  // O_NONBLOCK: a FIFO planted in the store must not hang the reader.
  UniqueFd fd(openat(dirfd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (!fd.Valid()) return fd;
  struct stat st;
  if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return UniqueFd();
  return fd;
}

bool ListDirectory(int dirfd, std::vector<DirEntry>* out) {
  out->clear();
  int copy = openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (copy < 0) return false;
  DIR* dir = fdopendir(copy);
  if (!dir) {
    close(copy);
    return false;
  }
  while (dirent* e = readdir(dir)) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    EntryKind kind = EntryKind::kOther;
    unsigned char type = e->d_type;
    if (type == DT_UNKNOWN) {
      struct stat st;
      if (fstatat(dirfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
        type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_UNKNOWN;
    }
    if (type == DT_REG) kind = EntryKind::kFile;
    if (type == DT_DIR) kind = EntryKind::kDir;
    out->push_back({e->d_name, kind});
  }
  closedir(dir);
  return true;
}

bool IsMaildir(int dirfd) {
  struct stat st;
  return fstatat(dirfd, "cur", &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
         fstatat(dirfd, "new", &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

bool ReadWholeFile(int fd, std::string* out) {
  struct stat st;
  size_t size = fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0;
  // Straight into the string; a file that grows meanwhile is read to its end.
  out->resize(size + 1);
  size_t have = 0;
  for (;;) {
    if (have == out->size()) out->resize(out->size() * 2 + 4096);
    ssize_t n = read(fd, &(*out)[have], out->size() - have);
    if (n < 0) {
      if (errno == EINTR) continue;
      out->clear();
      return false;
    }
    if (n == 0) break;
    have += static_cast<size_t>(n);
  }
  out->resize(have);
  return true;
}

namespace {

// Empties an open folder without descending into it: files and links are
// removed, each subfolder is emptied of its files and its own subfolders
// are moved up into this folder, where the next pass finds them. So the
// work holds two descriptors beyond the folder's whatever the depth.
bool EmptyFolder(int topfd, uint64_t* removed) {
  static std::atomic<unsigned> counter{0};
  for (;;) {
    std::vector<DirEntry> entries;
    if (!ListDirectory(topfd, &entries)) return false;
    if (entries.empty()) return true;
    bool progress = false;
    auto gone = [&](int result) {
      if (result == 0) ++*removed;
      if (result == 0 || errno == ENOENT) progress = true;
      return result == 0 || errno == ENOENT;
    };
    for (const DirEntry& e : entries) {
      if (e.kind != EntryKind::kDir) {
        gone(unlinkat(topfd, e.name.c_str(), 0));
        continue;
      }
      if (gone(unlinkat(topfd, e.name.c_str(), AT_REMOVEDIR))) continue;  // was empty
      UniqueFd child = OpenDirBeneath(topfd, e.name);
      std::vector<DirEntry> inner;
      if (!child.Valid() || !ListDirectory(child.Get(), &inner)) continue;
      for (const DirEntry& i : inner) {
        if (i.kind != EntryKind::kDir) {
          gone(unlinkat(child.Get(), i.name.c_str(), 0));
          continue;
        }
        // A rename moves the entry itself: a link put in its place meanwhile
        // moves as a link and is removed as one.
        std::string up = "zelm-part." + std::to_string(getpid()) + "." + std::to_string(++counter);
        if (renameat2(child.Get(), i.name.c_str(), topfd, up.c_str(), RENAME_NOREPLACE) == 0)
          progress = true;
      }
      child = UniqueFd();
      gone(unlinkat(topfd, e.name.c_str(), AT_REMOVEDIR));
    }
    if (!progress) return false;
  }
}

}  // namespace

bool RemoveTreeBeneath(int parentfd, const std::string& name, uint64_t* removed) {
  uint64_t count = 0;
  if (!removed) removed = &count;
  if (!OneComponent(name)) return false;
  struct stat st;
  if (fstatat(parentfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) {
    if (unlinkat(parentfd, name.c_str(), 0) == 0) {
      ++*removed;
      return true;
    }
    return errno == ENOENT;
  }
  {
    UniqueFd dir = OpenDirBeneath(parentfd, name);
    if (!dir.Valid() || !EmptyFolder(dir.Get(), removed)) return false;
  }
  if (unlinkat(parentfd, name.c_str(), AT_REMOVEDIR) != 0) return errno == ENOENT;
  ++*removed;
  return true;
}

bool ReplaceFileBeneath(int dirfd, const std::string& name, const std::string& data) {
  bool given = false;
  return ReplaceFileBeneath(dirfd, name, [&](std::string* piece) {
    if (given) return false;
    given = true;
    *piece = data;
    return true;
  });
}

bool ReplaceFileBeneath(int dirfd, const std::string& name,
                        const std::function<bool(std::string*)>& next) {
  static std::atomic<unsigned> counter{0};
  std::string tmp = name + ".tmp." + std::to_string(getpid()) + "." + std::to_string(++counter);
  int fd = openat(dirfd, tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = true;
  std::string piece;
  while (ok && next(&piece)) {
    const char* p = piece.data();
    size_t left = piece.size();
    while (left > 0) {
      ssize_t n = write(fd, p, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = false;
        break;
      }
      p += n;
      left -= static_cast<size_t>(n);
    }
  }
  if (close(fd) != 0) ok = false;
  if (ok && renameat(dirfd, tmp.c_str(), dirfd, name.c_str()) == 0) return true;
  unlinkat(dirfd, tmp.c_str(), 0);
  return false;
}
