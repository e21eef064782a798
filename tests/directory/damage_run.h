// Crash-and-damage runs against real database files, shared by the suites
// (small runs) and directory_damage_run (the large one, opt-in):
//   - FlipBits flips single bits all over a database (header, slots and
//     their copies, snapshot, journal) and checks that no damage goes
//     unnoticed, that nothing is written over it, and what a salvage keeps;
//   - KillWriters (POSIX) kills writers at random and checks that no
//     acknowledged change is lost and that a crash never looks like damage.
#pragma once

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dir_fixture.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#endif

namespace zelm::dir::testing {

inline std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void PutFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct FlipRegion {
  std::string name;
  int flips = 0;
  int noEffect = 0;     // opens to the whole state, nothing to say (unused bytes, the older slot)
  int noticed = 0;      // named: by the open handle, or by a refused open
  int silent = 0;       // a different state with no word: must stay 0
  int overwritten = 0;  // a write went through over damage: must stay 0
  int salvaged = 0;     // a salvage gave back the whole state
  int lostNamed = 0;    // a salvage left something out and said so
  int lostSilently = 0; // a salvage left something out without a word: must stay 0
};

struct FlipFigures {
  std::vector<FlipRegion> regions;
  std::vector<std::string> problems;  // the first few, for the failure message
  int Bad() const {
    int n = 0;
    for (const FlipRegion& r : regions) n += r.silent + r.overwritten + r.lostSilently;
    return n;
  }
};

// One Joe address per change: enough records to reach past a compaction.
inline int AddJoeAddress(Directory* d, int i) {
  return d->Modify(Caller::System(), "Joe.Sales.Acme",
                   {{kChangeAddValue, "Quorvel:EMail Address", {Text("a" + std::to_string(i))}}});
}

// Builds a database holding a compacted snapshot and a journal of 12
// records, then tries one flipped bit every strideBits bits of it.
inline FlipFigures FlipBits(const std::string& folder, size_t strideBits) {
  FlipFigures f;
  const std::string path = folder + "/flip.zdb", out = folder + "/saved.zdb";
  DirectoryStats st = {};
  std::string whole;
  {
    auto d = MakeDirectory(path);
    if (!d) return f;
    for (int i = 0; i < 3; ++i) AddJoeAddress(d.get(), i);
    d->Compact();
    for (int i = 3; i < 15; ++i) AddJoeAddress(d.get(), i);
    d->Stats(&st);
    whole = Dump(d.get());
  }
  const std::string good = FileBytes(path);
  const uint64_t journalAt = st.fileSize - st.journalBytes;
  auto regionOf = [&](uint64_t at) -> std::string {
    if (at < 12) return "file header";
    if (at >= 64 && at < 192) return "header slots";
    if (at >= 2112 && at < 2240) return "slot copies";
    if (at < 4096) return "unused header";
    if (at < journalAt) return "snapshot";
    return "journal";
  };
  for (const char* name :
       {"file header", "header slots", "slot copies", "unused header", "snapshot", "journal"})
    f.regions.push_back({name});
  auto problem = [&](const std::string& what) {
    if (f.problems.size() < 5) f.problems.push_back(what);
  };

  for (uint64_t bit = 0; bit < good.size() * 8; bit += strideBits) {
    const uint64_t at = bit / 8;
    const std::string name = regionOf(at);
    FlipRegion& r = *std::find_if(f.regions.begin(), f.regions.end(),
                                  [&](const FlipRegion& x) { return x.name == name; });
    ++r.flips;
    std::string bad = good;
    bad[at] ^= static_cast<char>(1u << (bit % 8));
    PutFileBytes(path, bad);
    const std::string where = name + " bit " + std::to_string(bit);

    bool exact = false;
    {
      std::unique_ptr<Directory> d;
      if (Directory::Open(path, &d) == kOk) {
        std::vector<std::string> found;
        d->Check(&found);
        exact = Dump(d.get()) == whole;
        if (exact && found.empty()) {
          ++r.noEffect;
        } else if (!found.empty()) {
          ++r.noticed;
        } else {
          ++r.silent;
          problem(where + ": a different state with no word");
        }
        if (!exact) {
          if (AddJoeAddress(d.get(), 99) == kOk) {
            ++r.overwritten;
            problem(where + ": a write went through over damage");
          } else if (FileBytes(path) != bad) {
            ++r.overwritten;
            problem(where + ": a refused write changed the file");
          }
        }
      } else {
        ++r.noticed;
        FileReport report;
        Directory::Examine(path, &report);
        if (report.sound()) problem(where + ": the open fails, the examination finds nothing");
      }
    }
    if (exact) continue;
    std::remove(out.c_str());
    FileReport report;
    std::unique_ptr<Directory> saved;
    if (Directory::Salvage(path, out, &report) == kOk && Directory::Open(out, &saved) == kOk &&
        Dump(saved.get()) == whole) {
      ++r.salvaged;
    } else if (!report.dropped.empty() || !report.damage.empty()) {
      ++r.lostNamed;
    } else {
      ++r.lostSilently;
      problem(where + ": the salvage lost changes without a word");
    }
  }
  std::remove(out.c_str());
  return f;
}

inline std::string FlipTable(const FlipFigures& f) {
  std::string t = "region          flips  no effect  noticed  silent  overwritten  salvaged whole  "
                  "lost (named)  lost (silently)\n";
  char line[200];
  for (const FlipRegion& r : f.regions) {
    std::snprintf(line, sizeof line, "%-15s %5d  %9d  %7d  %6d  %11d  %14d  %12d  %15d\n",
                  r.name.c_str(), r.flips, r.noEffect, r.noticed, r.silent, r.overwritten,
                  r.salvaged, r.lostNamed, r.lostSilently);
    t += line;
  }
  for (const std::string& p : f.problems) t += "  " + p + "\n";
  return t;
}

#ifndef _WIN32

struct KillFigures {
  int kills = 0;
  int acknowledged = 0;   // changes acknowledged in all
  int lost = 0;           // rounds that lost an acknowledged change: must stay 0
  int falseDamage = 0;    // a crash taken for damage: must stay 0
  int failedOpens = 0;    // must stay 0
  long counter = -1;      // the counter at the end
};

inline long JoeCounter(Directory* d) {
  int r = 0;
  std::vector<std::string> v = Values(d, "Joe.Sales.Acme", "Quorvel:Timeout", &r);
  return r == kOk ? std::stol(v.at(0)) : -1;
}

// Replaces the counter held in Joe's "Quorvel:Timeout": from -> to.
inline int StepJoeCounter(Directory* d, long from, long to) {
  std::vector<Change> c;
  if (from >= 0)
    c.push_back({kChangeRemoveValue, "Quorvel:Timeout", {Text(std::to_string(from))}});
  c.push_back({kChangeAddValue, "Quorvel:Timeout", {Text(std::to_string(to))}});
  return d->Modify(Caller::System(), "Joe.Sales.Acme", c);
}

// Each round a child counts up as fast as it can, compacting whenever the
// journal outgrows the snapshot, and is killed once it has acknowledged a
// random number of changes, in the middle of further writes.
inline KillFigures KillWriters(const std::string& path, int rounds, uint32_t seed) {
  KillFigures f;
  if (!MakeDirectory(path)) return f;
  std::mt19937 rng(seed);
  for (int round = 0; round < rounds; ++round) {
    int fds[2];
    if (pipe(fds) != 0) break;
    pid_t pid = fork();
    if (pid < 0) break;
    if (pid == 0) {
      close(fds[0]);
      OpenOptions o;
      o.compactMinimum = 1;
      std::unique_ptr<Directory> d;
      if (Directory::Open(path, &d, o) != kOk) _exit(2);
      for (long i = JoeCounter(d.get());; ++i) {
        if (StepJoeCounter(d.get(), i, i + 1) != kOk) _exit(3);
        long v = i + 1;
        if (write(fds[1], &v, sizeof v) != sizeof v) _exit(4);
      }
    }
    close(fds[1]);
    const size_t wanted = 1 + rng() % 40;
    long last = -1;
    size_t got = 0;
    long v;
    while (got < wanted) {
      ssize_t n = read(fds[0], &v, sizeof v);
      if (n == sizeof v) {
        last = v;
        ++got;
      } else if (!(n < 0 && errno == EINTR)) {
        break;
      }
    }
    // Some rounds die at once, some after a pause of up to 2 ms.
    if (rng() % 2) usleep(rng() % 2000);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    for (ssize_t n; (n = read(fds[0], &v, sizeof v)) == sizeof v || (n < 0 && errno == EINTR);)
      if (n == sizeof v) {
        last = v;
        ++got;
      }
    close(fds[0]);
    ++f.kills;
    f.acknowledged += static_cast<int>(got);
    std::unique_ptr<Directory> d;
    if (Directory::Open(path, &d) != kOk) {
      ++f.failedOpens;
      break;
    }
    std::vector<std::string> found;
    d->Check(&found);
    if (!found.empty()) ++f.falseDamage;
    long now = JoeCounter(d.get());
    if (now < last) ++f.lost;
    f.counter = now;
  }
  return f;
}

#endif

}  // namespace zelm::dir::testing
