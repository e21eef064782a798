#include "file_io.h"

#include <atomic>
#include <cerrno>

#include "errors.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

namespace zelm::dir {
namespace {

std::atomic<unsigned> g_tempCounter{0};

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

}  // namespace

std::string FolderOf(const std::string& path) {
  size_t i = path.size();
  while (i > 0 && !IsSeparator(path[i - 1])) --i;
  if (i == 0) return std::string();
  return path.substr(0, i > 1 ? i - 1 : i);
}

#ifdef _WIN32

namespace {

// Locks sit far beyond any data: Windows locks are mandatory, so locking the
// data itself would stop other processes reading it.
constexpr DWORD kLockOffsetHigh = 0x40000000;

HANDLE H(void* h) { return static_cast<HANDLE>(h); }

// Polls for the lock instead of blocking in LockFileEx: a blocked request
// depends on being woken when the holder lets go, and one missed wake-up
// would leave the caller stuck for good; a poll cannot miss it. Locks are
// held for milliseconds, so a short pause between tries costs little, and a
// holder that never lets go gives "locked" after the wait, not a hang.
int TakeLock(HANDLE h, DWORD mode, DWORD waitMs) {
  DWORD start = GetTickCount();
  DWORD pause = 1;
  for (;;) {
    OVERLAPPED ov = {};
    ov.OffsetHigh = kLockOffsetHigh;
    if (LockFileEx(h, mode | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov)) return kOk;
    DWORD e = GetLastError();
    if (e != ERROR_LOCK_VIOLATION && e != ERROR_IO_PENDING) return kErrSystemFailure;
    if (GetTickCount() - start >= waitMs) return kErrLocked;
    Sleep(pause);
    if (pause < 16) pause *= 2;
  }
}

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED ov = {};
  ov.Offset = static_cast<DWORD>(offset);
  ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return ov;
}

int WriteAll(HANDLE h, uint64_t offset, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    OVERLAPPED ov = At(offset);
    DWORD done = 0;
    if (!WriteFile(h, p, chunk, &done, &ov) || done == 0) return kErrSystemFailure;
    p += done;
    offset += done;
    size -= done;
  }
  return kOk;
}

}  // namespace

File::~File() { Close(); }

int File::Open(const std::string& path) {
  Close();
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    return (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) ? kErrNoSuchEntry
                                                                      : kErrSystemFailure;
  }
  handle_ = h;
  return kOk;
}

void File::Close() {
  if (handle_) CloseHandle(H(handle_));
  handle_ = nullptr;
}

bool File::is_open() const { return handle_ != nullptr; }

int File::ReadAt(uint64_t offset, void* data, size_t size, size_t* got) {
  char* p = static_cast<char*>(data);
  *got = 0;
  while (size > 0) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    OVERLAPPED ov = At(offset);
    DWORD done = 0;
    if (!ReadFile(H(handle_), p, chunk, &done, &ov)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return kErrSystemFailure;
    }
    if (done == 0) break;
    p += done;
    offset += done;
    size -= done;
    *got += done;
  }
  return kOk;
}

int File::WriteAt(uint64_t offset, const void* data, size_t size) {
  return WriteAll(H(handle_), offset, data, size);
}

int File::Size(uint64_t* size) {
  LARGE_INTEGER li;
  if (!GetFileSizeEx(H(handle_), &li)) return kErrSystemFailure;
  *size = static_cast<uint64_t>(li.QuadPart);
  return kOk;
}

int File::Truncate(uint64_t size) {
  LARGE_INTEGER li;
  li.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(H(handle_), li, nullptr, FILE_BEGIN) || !SetEndOfFile(H(handle_)))
    return kErrSystemFailure;
  return kOk;
}

int File::Sync() { return FlushFileBuffers(H(handle_)) ? kOk : kErrSystemFailure; }

int File::LockShared() { return TakeLock(H(handle_), 0, lockWaitMs_); }

int File::LockExclusive() { return TakeLock(H(handle_), LOCKFILE_EXCLUSIVE_LOCK, lockWaitMs_); }

void File::Unlock() {
  OVERLAPPED ov = {};
  ov.OffsetHigh = kLockOffsetHigh;
  UnlockFileEx(H(handle_), 0, 1, 0, &ov);
}

int CreateFileAtomically(const std::string& path, const std::string& bytes) {
  std::string temp = path + ".new" + std::to_string(GetCurrentProcessId()) + "-" +
                     std::to_string(g_tempCounter++);
  HANDLE h = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return kErrSystemFailure;
  int r = WriteAll(h, 0, bytes.data(), bytes.size());
  if (r == kOk && !FlushFileBuffers(h)) r = kErrSystemFailure;
  CloseHandle(h);
  if (r == kOk && !MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) {
    DWORD e = GetLastError();
    r = (e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS) ? kErrEntryExists
                                                             : kErrSystemFailure;
  }
  if (r != kOk) DeleteFileA(temp.c_str());
  return r;
}

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int MakeDirectories(const std::string& path) {
  if (path.empty() || PathExists(path)) return kOk;
  std::string parent = FolderOf(path);
  if (!parent.empty() && parent != path && !(parent.size() == 2 && parent[1] == ':'))
    if (int r = MakeDirectories(parent)) return r;
  if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    return kErrSystemFailure;
  return kOk;
}

#else  // POSIX

namespace {

int WriteAll(int fd, uint64_t offset, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = pwrite(fd, p, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return kErrSystemFailure;
    p += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
  return kOk;
}

// The lock is one byte at 2^62, taken as an open-file record lock: Windows
// processes under Wine lock that byte with LockFileEx, which Wine turns into a
// record lock, so native and Windows users of one database exclude each other.
// Open-file locks belong to the descriptor, so two File objects of one process
// exclude each other too, and closing another descriptor never drops them.
//
// Taking it polls, as on Windows, so that a holder that never lets go gives
// "locked" after the wait instead of a hang: the pause between tries starts
// at 50 us and doubles up to 2 ms, short beside the time a lock is held.
int RecordLock(int fd, short type, uint32_t waitMs = 0) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(1) << 62;
  lock.l_len = 1;
  struct timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  long pauseUs = 50;
  while (fcntl(fd, F_OFD_SETLK, &lock) != 0) {
    if (errno == EINTR) continue;
    if (type == F_UNLCK || (errno != EAGAIN && errno != EACCES)) return kErrSystemFailure;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t waitedMs =
        (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
    if (waitedMs >= static_cast<int64_t>(waitMs)) return kErrLocked;
    usleep(static_cast<useconds_t>(pauseUs));
    if (pauseUs < 2000) pauseUs *= 2;
  }
  return kOk;
}

void SyncFolder(const std::string& path) {
  std::string folder = FolderOf(path);
  int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

}  // namespace

File::~File() { Close(); }

int File::Open(const std::string& path) {
  Close();
  int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? kErrNoSuchEntry : kErrSystemFailure;
  fd_ = fd;
  return kOk;
}

void File::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool File::is_open() const { return fd_ >= 0; }

int File::ReadAt(uint64_t offset, void* data, size_t size, size_t* got) {
  char* p = static_cast<char*>(data);
  *got = 0;
  while (size > 0) {
    ssize_t n = pread(fd_, p, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return kErrSystemFailure;
    if (n == 0) break;
    p += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
    *got += static_cast<size_t>(n);
  }
  return kOk;
}

int File::WriteAt(uint64_t offset, const void* data, size_t size) {
  return WriteAll(fd_, offset, data, size);
}

int File::Size(uint64_t* size) {
  struct stat st;
  if (fstat(fd_, &st) != 0) return kErrSystemFailure;
  *size = static_cast<uint64_t>(st.st_size);
  return kOk;
}

int File::Truncate(uint64_t size) {
  while (ftruncate(fd_, static_cast<off_t>(size)) != 0) {
    if (errno != EINTR) return kErrSystemFailure;
  }
  return kOk;
}

int File::Sync() { return fdatasync(fd_) == 0 ? kOk : kErrSystemFailure; }

int File::LockShared() { return RecordLock(fd_, F_RDLCK, lockWaitMs_); }
int File::LockExclusive() { return RecordLock(fd_, F_WRLCK, lockWaitMs_); }
void File::Unlock() { RecordLock(fd_, F_UNLCK); }

int CreateFileAtomically(const std::string& path, const std::string& bytes) {
  std::string temp = path + ".new" + std::to_string(getpid()) + "-" +
                     std::to_string(g_tempCounter++);
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return kErrSystemFailure;
  int r = WriteAll(fd, 0, bytes.data(), bytes.size());
  if (r == kOk && fsync(fd) != 0) r = kErrSystemFailure;
  close(fd);
  // link() refuses to replace an existing file, unlike rename().
  if (r == kOk && link(temp.c_str(), path.c_str()) != 0)
    r = errno == EEXIST ? kErrEntryExists : kErrSystemFailure;
  unlink(temp.c_str());
  if (r == kOk) SyncFolder(path);
  return r;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

int MakeDirectories(const std::string& path) {
  if (path.empty() || PathExists(path)) return kOk;
  std::string parent = FolderOf(path);
  if (!parent.empty() && parent != path)
    if (int r = MakeDirectories(parent)) return r;
  if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return kErrSystemFailure;
  return kOk;
}

#endif

}  // namespace zelm::dir
