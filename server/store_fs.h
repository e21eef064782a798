// File access inside the store. Every path is walked one component at a time
// from a directory descriptor with O_NOFOLLOW, so no symbolic link in the store
// is ever followed and nothing outside the root can be reached through one.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>

#include <string>
#include <vector>

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& o) noexcept : fd_(o.Release()) {}
  UniqueFd& operator=(UniqueFd&& o) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd();
  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release() {
    int f = fd_;
    fd_ = -1;
    return f;
  }

 private:
  int fd_ = -1;
};

// A directory beneath dirfd (name is one component); invalid when it is not a
// directory, is a symbolic link or cannot be opened.
UniqueFd OpenDirBeneath(int dirfd, const std::string& name);
// A regular file beneath dirfd, read-only; invalid for links and anything else.
UniqueFd OpenFileBeneath(int dirfd, const std::string& name);

enum class EntryKind { kFile, kDir, kOther };
struct DirEntry {
  std::string name;
  EntryKind kind;
};
// Entries of an open directory except "." and ".."; links count as kOther.
// False when the directory cannot be read.
bool ListDirectory(int dirfd, std::vector<DirEntry>* out);

// A Maildir: the folder has "cur" and "new" directories (not links).
bool IsMaildir(int dirfd);

// Reads a whole open file. False on a read error.
bool ReadWholeFile(int fd, std::string* out);

// Removes name beneath parentfd and everything inside it, never following a
// link (a link is removed itself), with a few descriptors however deep the
// tree. False when something could not be removed; *removed counts the
// entries that were (subfolders moved up to the top on the way stay there).
bool RemoveTreeBeneath(int parentfd, const std::string& name, uint64_t* removed = nullptr);

// Writes data to name beneath dirfd through a temporary file and a rename, so
// readers see the old or the new content, never a part. False on failure.
bool ReplaceFileBeneath(int dirfd, const std::string& name, const std::string& data);
// The same with the data made piece by piece (a big file need not be held
// whole): next fills its argument with the following piece, false when none is left.
bool ReplaceFileBeneath(int dirfd, const std::string& name,
                        const std::function<bool(std::string*)>& next);
