// Writers that die at any point, and writers in several processes at once.
// Each writer is a forked child working on a real database file; the parent
// checks the file afterwards.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "codec.h"
#include "damage_run.h"
#include "dir_fixture.h"

namespace zelm::dir {
namespace {

using namespace testing;

const std::string kJoe = "Joe.Sales.Acme";

// Replaces the counter held in Joe's "Quorvel:Timeout": from -> to.
int Step(Directory* d, long from, long to) {
  std::vector<Change> c;
  if (from >= 0) c.push_back({kChangeRemoveValue, "Quorvel:Timeout", {Text(std::to_string(from))}});
  c.push_back({kChangeAddValue, "Quorvel:Timeout", {Text(std::to_string(to))}});
  return d->Modify(Caller::System(), kJoe, c);
}

long Counter(Directory* d) {
  int r = 0;
  std::vector<std::string> v = Values(d, kJoe, "Quorvel:Timeout", &r);
  return r == kOk ? std::stol(v.at(0)) : -1;
}

// Reads the numbers a child acknowledged through the pipe until it closes.
std::vector<long> ReadAcks(int fd, size_t atMost = SIZE_MAX) {
  std::vector<long> acks;
  long v;
  while (acks.size() < atMost) {
    ssize_t n = read(fd, &v, sizeof v);
    if (n == sizeof v) acks.push_back(v);
    else if (n < 0 && errno == EINTR) continue;
    else break;
  }
  return acks;
}

void Ack(int fd, long v) {
  if (write(fd, &v, sizeof v) != sizeof v) _exit(4);
}

// Overwrites part of the header slot holding the older epoch, as a write torn
// by a crash would: compaction writes its next header there.
void TearOlderSlot(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR);
  char slots[128];
  if (fd < 0 || pread(fd, slots, sizeof slots, 64) != sizeof slots) _exit(5);
  int older = GetU64(slots) < GetU64(slots + 64) ? 0 : 1;
  char junk[24];
  std::memset(junk, 0xA5, sizeof junk);
  if (pwrite(fd, junk, sizeof junk, 64 + older * 64 + 8) != sizeof junk) _exit(5);
  close(fd);
}

struct CrashCase {
  const char* step;
  bool tearNextHeader;
  bool stepIsDurable;  // the change being written is on disk when the step runs
};

TEST(CrashSafety, DyingAtAnyStepOfAWriteLosesNoAcknowledgedChange) {
  const CrashCase cases[] = {
      {"append-written", false, false},   {"append-synced", false, true},
      {"compact-written", false, true},   {"compact-written", true, true},
      {"compact-header1", false, true},   {"compact-copied", false, true},
      {"compact-copied", true, true},     {"compact-header2", false, true},
      {"compact-truncated", false, true},
  };
  for (const CrashCase& c : cases) {
    SCOPED_TRACE(std::string(c.step) + (c.tearNextHeader ? " (torn header)" : ""));
    TempFolder tmp;
    const std::string path = tmp.File("c.zdb");
    ASSERT_TRUE(MakeDirectory(path));
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(fds[0]);
      bool armed = false;
      OpenOptions o;
      o.compactMinimum = 1;
      o.faultHook = [&](const char* step) {
        if (!armed || std::strcmp(step, c.step) != 0) return;
        if (c.tearNextHeader) TearOlderSlot(path);
        _exit(0);
      };
      std::unique_ptr<Directory> d;
      if (Directory::Open(path, &d, o) != kOk) _exit(2);
      for (long i = 0; i < 500; ++i) {
        armed = i >= 3;
        if (Step(d.get(), i - 1, i) != kOk) _exit(3);
        Ack(fds[1], i);
      }
      _exit(1);  // the step never came
    }
    close(fds[1]);
    std::vector<long> acks = ReadAcks(fds[0]);
    close(fds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_FALSE(acks.empty());

    std::unique_ptr<Directory> d;
    ASSERT_EQ(Directory::Open(path, &d), kOk);
    long last = acks.back();
    long now = Counter(d.get());
    if (c.stepIsDurable) {
      EXPECT_EQ(now, last + 1);
    } else {
      EXPECT_TRUE(now == last || now == last + 1) << now;
    }
    // The file takes writes again and keeps them.
    ASSERT_EQ(Step(d.get(), now, now + 1), kOk);
    d.reset();
    ASSERT_EQ(Directory::Open(path, &d), kOk);
    EXPECT_EQ(Counter(d.get()), now + 1);
  }
}

TEST(CrashSafety, KilledWritersLoseNoAcknowledgedChange) {
  TempFolder tmp;
  const std::string path = tmp.File("k.zdb");
  ASSERT_TRUE(MakeDirectory(path));
  std::mt19937 rng(20240611);
  long counter = -1;
  for (int round = 0; round < 100; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(fds[0]);
      OpenOptions o;
      o.compactMinimum = 1;  // compact often, so kills land inside compactions too
      std::unique_ptr<Directory> d;
      if (Directory::Open(path, &d, o) != kOk) _exit(2);
      long i = Counter(d.get());
      for (;; ++i) {
        if (Step(d.get(), i, i + 1) != kOk) _exit(3);
        Ack(fds[1], i + 1);
      }
    }
    close(fds[1]);
    // Kill once the child has acknowledged a random number of changes; it is
    // in the middle of further writes by then.
    std::vector<long> acks = ReadAcks(fds[0], 1 + rng() % 40);
    kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    std::vector<long> rest = ReadAcks(fds[0]);
    close(fds[0]);
    acks.insert(acks.end(), rest.begin(), rest.end());
    ASSERT_FALSE(acks.empty());
    ASSERT_TRUE(WIFSIGNALED(status)) << "child ended early with " << WEXITSTATUS(status);

    std::unique_ptr<Directory> d;
    ASSERT_EQ(Directory::Open(path, &d), kOk);
    long now = Counter(d.get());
    EXPECT_TRUE(now == acks.back() || now == acks.back() + 1)
        << "acknowledged " << acks.back() << ", found " << now;
    EXPECT_GT(now, counter);
    counter = now;
  }
}

// The small version of directory_damage_run's kills: a crash at a random
// moment loses no acknowledged change and is never taken for damage, which
// would refuse every later write.
TEST(CrashSafety, KilledWritersAreNeverTakenForDamage) {
  TempFolder tmp;
  KillFigures f = KillWriters(tmp.File("kd.zdb"), 60, 7);
  EXPECT_EQ(f.kills, 60);
  EXPECT_EQ(f.failedOpens, 0);
  EXPECT_EQ(f.lost, 0);
  EXPECT_EQ(f.falseDamage, 0);
  EXPECT_GE(f.counter, 60);
}

TEST(Concurrency, TwoProcessesWritingAtOnceLoseNoUpdate) {
  TempFolder tmp;
  const std::string path = tmp.File("p.zdb");
  {
    auto d = MakeDirectory(path);
    ASSERT_TRUE(d);
    ASSERT_EQ(Step(d.get(), -1, 0), kOk);
  }
  constexpr int kEach = 120;
  pid_t pids[2];
  for (int w = 0; w < 2; ++w) {
    pids[w] = fork();
    ASSERT_GE(pids[w], 0);
    if (pids[w] == 0) {
      OpenOptions o;
      o.compactMinimum = 4096;
      std::unique_ptr<Directory> d;
      if (Directory::Open(path, &d, o) != kOk) _exit(2);
      for (int i = 0; i < kEach; ++i) {
        // Read, then replace: a value changed meanwhile by the other process
        // is no longer there to remove, so the step is retried.
        int r;
        do {
          long v = Counter(d.get());
          r = Step(d.get(), v, v + 1);
        } while (r == kErrNoSuchValue);
        if (r != kOk) _exit(3);
        std::string mine = "w" + std::to_string(w) + "-" + std::to_string(i);
        if (d->Modify(Caller::System(), kJoe,
                      {{kChangeAddValue, "Quorvel:EMail Address", {Text(mine)}}}) != kOk)
          _exit(4);
        if (d->Add(Caller::System(), mine + ".East.Sales.Acme", OfClass("User")) != kOk) _exit(5);
      }
      _exit(0);
    }
  }
  for (pid_t pid : pids) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  std::unique_ptr<Directory> d;
  ASSERT_EQ(Directory::Open(path, &d), kOk);
  EXPECT_EQ(Counter(d.get()), 2 * kEach);
  EXPECT_EQ(Values(d.get(), kJoe, "Quorvel:EMail Address").size(), 2u * kEach);
  ObjectInfo east;
  ASSERT_EQ(d->Describe(Caller::System(), "East.Sales.Acme", &east), kOk);
  EXPECT_EQ(east.subordinates, 2u * kEach + 1);
}

}  // namespace
}  // namespace zelm::dir
