// Whether the files of a Maildir may have changed, known without a system
// call per message: the kernel reports every change made through the
// mailbox's cur/ and new/ folders (a write, a new time, a rename, a removal),
// and each report moves that mailbox's count on. A MIME answer kept for a
// message whose file was checked at the present count is still the file's.
//
// The kernel does not report writes made through another hard link of a
// file or through a shared mapping; answers trusted this way are therefore
// only those of files that had one link when checked, on local file systems
// (a network one may be changed by other machines unseen).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class FolderWatch {
 public:
  FolderWatch();
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // Moves on with every change reported for the folders it counts; never 0.
  struct Count {
    std::atomic<uint32_t> value{1};
  };
  // Starts watching a mailbox's cur/ and new/ folders (open descriptors);
  // null when they cannot be watched (no room left for watches, a file
  // system this process cannot see every change of).
  std::shared_ptr<const Count> Watch(int curfd, int newfd);
  // Takes in every report that came so far.
  void Catch();

 private:
  int fd_ = -1;
  std::mutex mu_;
  // Watch descriptor -> the counts of the mailboxes it is a folder of.
  std::map<int, std::vector<std::weak_ptr<Count>>> counts_;
};
