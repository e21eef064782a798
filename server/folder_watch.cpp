#include "folder_watch.h"

#include <linux/magic.h>
#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace {

// Everything that can change what a message file holds or whether it is
// there; a folder that goes or moves away stops being watched (IN_IGNORED).
constexpr uint32_t kChanges = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE |
                              IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF |
                              IN_ONLYDIR;

// File systems whose every change passes through this machine's kernel.
bool Local(int fd) {
  struct statfs s;
  if (fstatfs(fd, &s) != 0) return false;
  switch (static_cast<unsigned long>(s.f_type)) {
    case EXT4_SUPER_MAGIC:
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
      return true;
    default:
      return false;
  }
}

void Advance(FolderWatch::Count* c) {
  // 0 is never a count: a record checked at no count must not pass for one.
  if (c->value.fetch_add(1) + 1 == 0) c->value.fetch_add(1);
}

}  // namespace

FolderWatch::FolderWatch() : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

FolderWatch::~FolderWatch() {
  if (fd_ >= 0) close(fd_);
}

std::shared_ptr<const FolderWatch::Count> FolderWatch::Watch(int curfd, int newfd) {
  if (fd_ < 0 || !Local(curfd) || !Local(newfd)) return nullptr;
  auto count = std::make_shared<Count>();
  std::lock_guard<std::mutex> lock(mu_);
  int made[2] = {-1, -1};
  for (int i = 0; i < 2; ++i) {
    // Watches are made by path; this one names the open folder itself.
    std::string path = "/proc/self/fd/" + std::to_string(i ? newfd : curfd);
    made[i] = inotify_add_watch(fd_, path.c_str(), kChanges);
    if (made[i] < 0) {
      if (i && counts_[made[0]].empty()) {
        inotify_rm_watch(fd_, made[0]);
        counts_.erase(made[0]);
      }
      return nullptr;
    }
  }
  for (int wd : made) counts_[wd].push_back(count);
  return count;
}

void FolderWatch::Catch() {
  if (fd_ < 0) return;
  alignas(inotify_event) char buf[16384];
  std::lock_guard<std::mutex> lock(mu_);
  for (;;) {
    ssize_t got = read(fd_, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;  // EAGAIN: nothing more
    for (ssize_t at = 0; at < got;) {
      const inotify_event* e = reinterpret_cast<const inotify_event*>(buf + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      if (e->mask & IN_Q_OVERFLOW) {
        // Reports were lost: every count moves on.
        for (auto& entry : counts_)
          for (auto& w : entry.second)
            if (auto c = w.lock()) Advance(c.get());
        continue;
      }
      auto it = counts_.find(e->wd);
      if (it == counts_.end()) continue;
      for (auto& w : it->second)
        if (auto c = w.lock()) Advance(c.get());
      if (e->mask & IN_IGNORED) counts_.erase(it);
    }
  }
}
