// The few file operations the database needs that the standard library lacks:
// positioned reads and writes, durable flushes, whole-file locks shared between
// processes, and creating a file under its final name in one step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zelm::dir {

class File {
 public:
  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing file for reading and writing; kErrNoSuchEntry when absent.
  int Open(const std::string& path);
  void Close();
  bool is_open() const;

  // Reads up to size bytes; *got is how many came (less only at the end).
  int ReadAt(uint64_t offset, void* data, size_t size, size_t* got);
  int WriteAt(uint64_t offset, const void* data, size_t size);
  int Size(uint64_t* size);
  int Truncate(uint64_t size);
  // Returns once the data written so far is on stable storage.
  int Sync();

  // Advisory locks between processes (and between File objects of one
  // process); a File holds at most one at a time. A lock another holder
  // keeps past the wait (30 s unless set) gives kErrLocked.
  int LockShared();
  int LockExclusive();
  void Unlock();
  void SetLockWait(uint32_t ms) { lockWaitMs_ = ms; }

 private:
  uint32_t lockWaitMs_ = 30000;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

// Writes bytes to a new file at path, all at once: the file appears complete
// or not at all. kErrEntryExists when path exists already.
int CreateFileAtomically(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);
// Creates the folder and any missing parents.
int MakeDirectories(const std::string& path);
// The folder part of a path ("" when there is none).
std::string FolderOf(const std::string& path);

}  // namespace zelm::dir
