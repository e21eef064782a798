// The database file: changes survive reopening, several handles share one
// file, torn or corrupt tails are dropped and written over, and compaction
// keeps everything while bounding the file.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "codec.h"
#include "damage_run.h"
#include "dir_fixture.h"
#include "file_io.h"

namespace zelm::dir {
namespace {

using namespace testing;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

int AddAddress(Directory* d, const std::string& value) {
  return d->Modify(Caller::System(), "Joe.Sales.Acme",
                   {{kChangeAddValue, "Quorvel:EMail Address", {Text(value)}}});
}

std::vector<std::string> Addresses(Directory* d) {
  return Values(d, "Joe.Sales.Acme", "Quorvel:EMail Address");
}

TEST(Durability, EveryKindOfChangeSurvivesReopening) {
  TempFolder tmp;
  const std::string path = tmp.File("d.zdb");
  auto d = MakeDirectory(path);
  ASSERT_TRUE(d);
  const Caller sys = Caller::System();
  ASSERT_EQ(d->Add(sys, "New.Sales.Acme", OfClass("User", {{"Full Name", {Text("N\r\nEw")}}})), kOk);
  ASSERT_EQ(AddAddress(d.get(), "joe@x"), kOk);
  ASSERT_EQ(d->Remove(sys, "Kim.East.Sales.Acme"), kOk);
  ASSERT_EQ(d->SetGrant(sys, "FS1.Acme", "Joe.Sales.Acme", "Description", kRightWrite), kOk);
  ASSERT_EQ(d->SetSetting(sys, "identity", "Joe.Sales.Acme"), kOk);
  const std::string before = Dump(d.get());
  d.reset();

  std::unique_ptr<Directory> again;
  ASSERT_EQ(Directory::Open(path, &again), kOk);
  EXPECT_EQ(Dump(again.get()), before);
  std::string identity;
  ASSERT_EQ(again->GetSetting("identity", &identity), kOk);
  EXPECT_EQ(identity, "Joe.Sales.Acme");
}

TEST(Durability, HandlesOnOneFileSeeEachOthersChanges) {
  TempFolder tmp;
  const std::string path = tmp.File("d.zdb");
  auto a = MakeDirectory(path);
  ASSERT_TRUE(a);
  std::unique_ptr<Directory> b;
  ASSERT_EQ(Directory::Open(path, &b), kOk);

  ASSERT_EQ(AddAddress(a.get(), "one"), kOk);
  EXPECT_EQ(Addresses(b.get()), std::vector<std::string>{"one"});
  ASSERT_EQ(AddAddress(b.get(), "two"), kOk);
  EXPECT_EQ(Addresses(a.get()), (std::vector<std::string>{"one", "two"}));
  // A change the other handle checked against a stale view is refused.
  EXPECT_EQ(AddAddress(a.get(), "TWO"), kErrDuplicateValue);

  // After one handle compacts, the other reloads and writes on.
  ASSERT_EQ(a->Compact(), kOk);
  ASSERT_EQ(AddAddress(b.get(), "three"), kOk);
  EXPECT_EQ(Addresses(a.get()), (std::vector<std::string>{"one", "two", "three"}));
  DirectoryStats sa, sb;
  ASSERT_EQ(a->Stats(&sa), kOk);
  ASSERT_EQ(b->Stats(&sb), kOk);
  EXPECT_EQ(sa.epoch, sb.epoch);
  EXPECT_EQ(sa.lastChange, 3u);
  EXPECT_EQ(Dump(a.get()), Dump(b.get()));
}

class TailTest : public ::testing::Test {
 protected:
  // Five acknowledged changes; sizes_[i] is the file size after change i.
  void SetUp() override {
    path_ = tmp_.File("t.zdb");
    auto d = MakeDirectory(path_);
    ASSERT_TRUE(d);
    DirectoryStats before;
    ASSERT_EQ(d->Stats(&before), kOk);
    start_ = before.fileSize;
    for (int i = 0; i < 5; ++i) {
      ASSERT_EQ(AddAddress(d.get(), "v" + std::to_string(i)), kOk);
      DirectoryStats s;
      ASSERT_EQ(d->Stats(&s), kOk);
      sizes_.push_back(s.fileSize);
    }
    bytes_ = ReadFile(path_);
    ASSERT_EQ(bytes_.size(), sizes_.back());
  }
  std::vector<std::string> FirstValues(int n) {
    std::vector<std::string> v;
    for (int i = 0; i < n; ++i) v.push_back("v" + std::to_string(i));
    return v;
  }
  TempFolder tmp_;
  std::string path_;
  uint64_t start_ = 0;          // the journal's first record
  std::vector<uint64_t> sizes_;
  std::string bytes_;
};

TEST_F(TailTest, ATornLastRecordIsDroppedWhereverItEnds) {
  const std::string copy = tmp_.File("cut.zdb");
  for (uint64_t cut = sizes_[3]; cut < sizes_[4]; ++cut) {
    WriteFile(copy, bytes_.substr(0, cut));
    std::unique_ptr<Directory> d;
    ASSERT_EQ(Directory::Open(copy, &d), kOk) << "cut at " << cut;
    EXPECT_EQ(Addresses(d.get()), FirstValues(4)) << "cut at " << cut;
  }
}

// Damage inside the journal, in the last record too, is told from a torn
// tail: reads give the state before it, the damage is named, writes are
// refused without touching the file, and a salvage keeps every change (one
// flipped bit is read as written) or names what it leaves out.
TEST_F(TailTest, DamageInTheJournalIsReportedAndNeverWrittenOver) {
  struct Case {
    int record;       // which of the five
    size_t at;        // byte in that record: 0 magic, 4 length, 8 epoch, 16 sequence, 24 CRC, 28+ payload
    size_t bytes;     // 0 = one flipped bit, else that many bytes overwritten
    int kept;         // changes a salvage keeps
  };
  const Case cases[] = {
      {0, 0, 0, 5},  {1, 5, 0, 5},  {2, 9, 0, 5},  {2, 17, 0, 5}, {3, 26, 0, 5},
      {2, 40, 0, 5}, {4, 0, 0, 5},  {4, 6, 0, 5},  {4, 20, 0, 5}, {4, 30, 0, 5},
      {1, 30, 12, 4}, {2, 2, 20, 4},
  };
  const std::string out = tmp_.File("saved.zdb");
  for (const Case& c : cases) {
    SCOPED_TRACE("record " + std::to_string(c.record) + " byte " + std::to_string(c.at));
    const uint64_t begin = c.record ? sizes_[c.record - 1] : start_;
    std::string bad = bytes_;
    if (c.bytes == 0) bad[begin + c.at] ^= 0x10;
    else bad.replace(begin + c.at, c.bytes, std::string(c.bytes, '\x5a'));
    WriteFile(path_, bad);
    {
      std::unique_ptr<Directory> d;
      ASSERT_EQ(Directory::Open(path_, &d), kOk);
      EXPECT_EQ(Addresses(d.get()), FirstValues(c.record));
      std::vector<std::string> found;
      ASSERT_EQ(d->Check(&found), kOk);
      ASSERT_EQ(found.size(), 1u);
      EXPECT_NE(found[0].find("offset " + std::to_string(begin)), std::string::npos) << found[0];
      EXPECT_EQ(AddAddress(d.get(), "after"), kErrSystemFailure);
      EXPECT_EQ(d->Compact(), kErrSystemFailure);
    }
    EXPECT_EQ(ReadFile(path_), bad);

    FileReport report;
    ASSERT_EQ(Directory::Examine(path_, &report), kOk);
    EXPECT_FALSE(report.sound());
    std::remove(out.c_str());
    ASSERT_EQ(Directory::Salvage(path_, out, &report), kOk);
    EXPECT_EQ(report.changesKept, uint64_t(c.kept));
    EXPECT_EQ(report.dropped.size(), c.kept == 5 ? 0u : 1u);
    std::unique_ptr<Directory> saved;
    ASSERT_EQ(Directory::Open(out, &saved), kOk);
    std::vector<std::string> want = FirstValues(5);
    if (c.kept < 5) want.erase(want.begin() + c.record);
    EXPECT_EQ(Addresses(saved.get()), want);
    EXPECT_EQ(AddAddress(saved.get(), "after"), kOk);
  }
}

TEST_F(TailTest, GarbageAfterTheLastRecordIsCutBeforeTheNextWrite) {
  std::string junk = bytes_;
  for (int i = 0; i < 300; ++i) junk.push_back(static_cast<char>(i * 7 + 1));
  WriteFile(path_, junk);
  {
    std::unique_ptr<Directory> d;
    ASSERT_EQ(Directory::Open(path_, &d), kOk);
    EXPECT_EQ(Addresses(d.get()), FirstValues(5));
    ASSERT_EQ(AddAddress(d.get(), "v5"), kOk);
  }
  std::unique_ptr<Directory> d;
  ASSERT_EQ(Directory::Open(path_, &d), kOk);
  EXPECT_EQ(Addresses(d.get()), FirstValues(6));
}

TEST_F(TailTest, ADamagedHeaderOrSnapshotIsNotTakenForAnEmptyDirectory) {
  std::string bad = bytes_;
  bad[4096 + 10] ^= 0x01;  // inside the only snapshot
  WriteFile(path_, bad);
  std::unique_ptr<Directory> d;
  EXPECT_EQ(Directory::Open(path_, &d), kErrSystemFailure);
  WriteFile(path_, std::string(5000, '\0'));
  EXPECT_EQ(Directory::Open(path_, &d), kErrSystemFailure);
  EXPECT_EQ(Directory::Open(tmp_.File("absent.zdb"), &d), kErrNoSuchEntry);
}

// After a compaction the other slot's snapshot is gone, so each slot is kept
// twice: one damaged copy of the slot in use is read from the other, named,
// and written again by the next writer. Damage past that is named exactly,
// and a salvage reads a part damaged in one bit as it was written.
TEST(Durability, DamagedHeaderSlotsAndSnapshotsAreNamedAndSurvived) {
  TempFolder tmp;
  const std::string path = tmp.File("h.zdb");
  uint64_t epoch = 0;
  {
    auto d = MakeDirectory(path);
    ASSERT_TRUE(d);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(AddAddress(d.get(), "v" + std::to_string(i)), kOk);
    ASSERT_EQ(d->Compact(), kOk);
    for (int i = 3; i < 5; ++i) ASSERT_EQ(AddAddress(d.get(), "v" + std::to_string(i)), kOk);
    DirectoryStats st;
    ASSERT_EQ(d->Stats(&st), kOk);
    epoch = st.epoch;
  }
  const std::vector<std::string> all = {"v0", "v1", "v2", "v3", "v4"};
  const std::string good = ReadFile(path);
  const size_t slot = 64 + (epoch % 2) * 64, copy = 2048 + slot;
  const std::string out = tmp.File("saved.zdb");
  struct Case {
    std::vector<size_t> flips;
    bool opens;
    const char* named;  // in what the open handle or the examination says
  };
  const Case cases[] = {
      {{slot + 0}, true, "offset 128"},   {{slot + 33}, true, "offset 128"},
      {{slot + 61}, true, "offset 128"},  {{copy + 9}, true, "offset 2176"},
      {{slot + 8, copy + 8}, false, "header slot at offset 128"},
      {{4096 + 10}, false, "the snapshot of epoch"},
      {{4096 + 200}, false, "the snapshot of epoch"},
  };
  ASSERT_EQ(slot, 128u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named + std::string(" at ") + std::to_string(c.flips[0]));
    std::string bad = good;
    for (size_t at : c.flips) bad[at] ^= 0x04;
    WriteFile(path, bad);
    std::unique_ptr<Directory> d;
    ASSERT_EQ(Directory::Open(path, &d), c.opens ? kOk : kErrSystemFailure);
    FileReport report;
    ASSERT_EQ(Directory::Examine(path, &report), kOk);
    if (c.opens) {
      EXPECT_EQ(Addresses(d.get()), all);
      std::vector<std::string> found;
      ASSERT_EQ(d->Check(&found), kOk);
      ASSERT_EQ(found.size(), 1u);
      EXPECT_NE(found[0].find(c.named), std::string::npos) << found[0];
      ASSERT_EQ(AddAddress(d.get(), "v5"), kOk);
      const std::string now = ReadFile(path);
      EXPECT_EQ(now.substr(slot, 64), now.substr(copy, 64));
      d.reset();
      ASSERT_EQ(Directory::Open(path, &d), kOk);
      ASSERT_EQ(d->Check(&found), kOk);
      EXPECT_TRUE(found.empty());
      EXPECT_EQ(Addresses(d.get()).size(), 6u);
      continue;
    }
    ASSERT_FALSE(report.damage.empty());
    EXPECT_NE(report.damage[0].find(c.named), std::string::npos) << report.damage[0];
    std::remove(out.c_str());
    ASSERT_EQ(Directory::Salvage(path, out, &report), kOk);
    EXPECT_TRUE(report.dropped.empty());
    ASSERT_EQ(Directory::Open(out, &d), kOk);
    EXPECT_EQ(Addresses(d.get()), all);
  }
}

TEST(Durability, CompactionKeepsEverythingAndBoundsTheFile) {
  TempFolder tmp;
  const std::string path = tmp.File("c.zdb");
  OpenOptions options;
  options.compactMinimum = 1;  // whenever the journal outgrows the snapshot
  auto d = MakeDirectory(path, kSmallTree, options);
  ASSERT_TRUE(d);
  std::unique_ptr<Directory> reader;
  ASSERT_EQ(Directory::Open(path, &reader), kOk);
  std::string value = "0";
  ASSERT_EQ(d->Modify(Caller::System(), "Joe.Sales.Acme",
                      {{kChangeAddValue, "Quorvel:Timeout", {Text(value)}}}),
            kOk);
  uint64_t largest = 0;
  for (int i = 1; i <= 300; ++i) {
    std::string next = std::to_string(i);
    ASSERT_EQ(d->Modify(Caller::System(), "Joe.Sales.Acme",
                        {{kChangeRemoveValue, "Quorvel:Timeout", {Text(value)}},
                         {kChangeAddValue, "Quorvel:Timeout", {Text(next)}}}),
              kOk);
    value = next;
    if (i % 37 == 0) {
      EXPECT_EQ(Values(reader.get(), "Joe.Sales.Acme", "Quorvel:Timeout")[0], value);
    }
    DirectoryStats s;
    ASSERT_EQ(d->Stats(&s), kOk);
    largest = std::max(largest, s.fileSize);
  }
  DirectoryStats s;
  ASSERT_EQ(d->Stats(&s), kOk);
  EXPECT_GT(s.epoch, 10u);
  EXPECT_EQ(s.lastChange, 301u);
  // Header, at most two snapshots and a journal no larger than one snapshot.
  EXPECT_LT(largest, 4096 + 4 * s.snapshotBytes);
  const std::string before = Dump(d.get());
  d.reset();
  EXPECT_EQ(Dump(reader.get()), before);
  std::unique_ptr<Directory> again;
  ASSERT_EQ(Directory::Open(path, &again), kOk);
  EXPECT_EQ(Dump(again.get()), before);
}

// Two handles on one file, as a page and a test's own engine hold them: a
// writer waits for readers and gets the lock as soon as they let go.
TEST(Durability, AWaitingLockIsTakenOnceTheHolderLetsGo) {
  TempFolder tmp;
  auto d = MakeDirectory(tmp.File("l.zdb"));
  ASSERT_TRUE(d);
  File holder, waiter;
  ASSERT_EQ(holder.Open(tmp.File("l.zdb")), kOk);
  ASSERT_EQ(waiter.Open(tmp.File("l.zdb")), kOk);
  ASSERT_EQ(holder.LockShared(), kOk);
  std::atomic<int> got{1};
  std::atomic<bool> done{false};
  std::thread t([&] {
    got = waiter.LockExclusive();
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(done);  // still waiting behind the reader
  holder.Unlock();
  t.join();
  EXPECT_EQ(got, kOk);
  waiter.Unlock();
  // Shared locks do not wait for each other.
  ASSERT_EQ(holder.LockShared(), kOk);
  EXPECT_EQ(waiter.LockShared(), kOk);
  holder.Unlock();
  waiter.Unlock();
}

// Each value keeps the syntax it was written with through the journal, a
// compaction, reopening and the text format.
TEST(Durability, ValuesKeepTheSyntaxTheyWereWrittenWith) {
  TempFolder tmp;
  const std::string path = tmp.File("s.zdb");
  auto d = MakeDirectory(path);
  ASSERT_TRUE(d);
  const std::string ms = "MS1.Internet Services";
  ASSERT_EQ(d->Modify(Caller::System(), ms,
                      {{kChangeAddValue, "Quorvel:Context", {Name("A.Acme"), Text("B.Acme"), Name("C.Acme")}},
                       {kChangeRemoveValue, "Quorvel:Host", {Name("FS1.Acme")}},
                       {kChangeAddValue, "Quorvel:Host", {Text("FS1.Acme")}}}),
            kOk);
  ASSERT_EQ(d->Modify(Caller::System(), ms, {{kChangeRemoveValue, "Quorvel:Context", {Text("a.acme")}}}),
            kOk);
  const std::vector<uint32_t> want = {kSyntaxCaseIgnoreString, kSyntaxDistinguishedName};
  auto check = [&](Directory* x, const char* when) {
    SCOPED_TRACE(when);
    EXPECT_EQ(Syntaxes(x, ms, "Quorvel:Context"), want);
    EXPECT_EQ(Syntaxes(x, ms, "Quorvel:Host"), std::vector<uint32_t>{kSyntaxCaseIgnoreString});
    EXPECT_EQ(Syntaxes(x, "ZELM Agent.MS1.Internet Services", "Quorvel:Module Name"),
              std::vector<uint32_t>{kSyntaxCaseIgnoreString});
  };
  check(d.get(), "written");
  std::unique_ptr<Directory> again;
  ASSERT_EQ(Directory::Open(path, &again), kOk);
  check(again.get(), "replayed");
  ASSERT_EQ(d->Compact(), kOk);
  again.reset();
  ASSERT_EQ(Directory::Open(path, &again), kOk);
  check(again.get(), "from the snapshot");
  const std::string text = Dump(again.get());
  EXPECT_NE(text.find("    Quorvel:Context (syntax 3) = B.Acme\n    Quorvel:Context = C.Acme\n"),
            std::string::npos)
      << text;
  auto copy = MakeDirectory(tmp.File("t.zdb"), text);
  ASSERT_TRUE(copy);
  check(copy.get(), "from the text");
}

// A file written before values had a recorded syntax: a version 1 snapshot
// whose values take their attribute's syntax.
TEST(Durability, FilesWithoutRecordedSyntaxesStillOpen) {
  std::string snapshot;
  PutU8(&snapshot, 1);
  PutU32(&snapshot, 0);  // settings
  PutU32(&snapshot, 0);  // grants of the root
  PutU64(&snapshot, 2);
  PutText(&snapshot, "Acme");
  PutText(&snapshot, "Organization");
  PutU32(&snapshot, 0);
  PutU32(&snapshot, 0);
  PutText(&snapshot, "MS1.Acme");
  PutText(&snapshot, "Quorvel:Messaging Server");
  PutU32(&snapshot, 1);
  PutText(&snapshot, "Quorvel:Context");
  PutU32(&snapshot, 2);
  PutText(&snapshot, "Sales.Acme");
  PutText(&snapshot, "Acme");
  PutU32(&snapshot, 0);
  std::string image(4096, '\0');
  image.replace(0, 8, "ZELMDIR\x1a", 8);
  SetU32(&image[8], 1);
  char* slot = &image[128];  // epoch 1
  SetU64(slot, 1);
  SetU64(slot + 8, 4096);
  SetU64(slot + 16, snapshot.size());
  SetU32(slot + 24, Crc32(snapshot.data(), snapshot.size()));
  SetU64(slot + 40, 4096 + snapshot.size());
  SetU32(slot + 60, Crc32(slot, 60));
  TempFolder tmp;
  const std::string path = tmp.File("old.zdb");
  WriteFile(path, image + snapshot);
  std::unique_ptr<Directory> d;
  ASSERT_EQ(Directory::Open(path, &d), kOk);
  EXPECT_EQ(Values(d.get(), "MS1.Acme", "Quorvel:Context"),
            (std::vector<std::string>{"Sales.Acme", "Acme"}));
  EXPECT_EQ(Syntaxes(d.get(), "MS1.Acme", "Quorvel:Context"),
            (std::vector<uint32_t>{kSyntaxDistinguishedName, kSyntaxDistinguishedName}));
  ASSERT_EQ(d->Modify(Caller::System(), "MS1.Acme", {{kChangeAddValue, "Quorvel:Context", {Text("X.Acme")}}}),
            kOk);
  ASSERT_EQ(d->Compact(), kOk);
  d.reset();
  ASSERT_EQ(Directory::Open(path, &d), kOk);
  EXPECT_EQ(Syntaxes(d.get(), "MS1.Acme", "Quorvel:Context"),
            (std::vector<uint32_t>{kSyntaxDistinguishedName, kSyntaxDistinguishedName,
                                   kSyntaxCaseIgnoreString}));
}

// A holder that does not let go makes every call give "locked" after the
// wait, the same on both builds, never a hang; once it lets go calls succeed.
TEST(Durability, ALockHeldTooLongGivesLockedInsteadOfAHang) {
  TempFolder tmp;
  const std::string path = tmp.File("w.zdb");
  ASSERT_TRUE(MakeDirectory(path));
  OpenOptions options;
  options.lockWaitMs = 300;
  std::unique_ptr<Directory> d;
  ASSERT_EQ(Directory::Open(path, &d, options), kOk);
  File holder;
  ASSERT_EQ(holder.Open(path), kOk);
  ASSERT_EQ(holder.LockExclusive(), kOk);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Addresses(d.get()), std::vector<std::string>{});
  std::vector<AttributeValues> read;
  EXPECT_EQ(d->Read(Caller::System(), "Joe.Sales.Acme", {}, &read), kErrLocked);
  EXPECT_EQ(AddAddress(d.get(), "x"), kErrLocked);
  const double waited =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(waited, 0.85);
  EXPECT_LT(waited, 30.0);
  EXPECT_STREQ(ResultText(kErrLocked), "Directory services locked");
  holder.Unlock();
  EXPECT_EQ(AddAddress(d.get(), "x"), kOk);
}

// The small version of directory_damage_run's flips: one bit every 61 all
// over a database (61 walks through every bit position of a byte).
TEST(Durability, SingleBitFlipsAnywhereAreNeverSilentNorWrittenOver) {
  TempFolder tmp;
  FlipFigures f = FlipBits(tmp.File(""), 61);
  ASSERT_EQ(f.regions.size(), 6u);
  for (const FlipRegion& r : f.regions) EXPECT_GT(r.flips, 0) << r.name;
  EXPECT_EQ(f.Bad(), 0) << FlipTable(f);
  // One flipped bit is always read back as written: a salvage keeps everything.
  for (const FlipRegion& r : f.regions) EXPECT_EQ(r.lostNamed, 0) << FlipTable(f);
  EXPECT_GT(f.regions[4].salvaged, 0) << FlipTable(f);  // the snapshot
  EXPECT_GT(f.regions[5].salvaged, 0) << FlipTable(f);  // the journal
}

TEST(Durability, CreateNeverReplacesADatabase) {
  TempFolder tmp;
  const std::string path = tmp.File("x.zdb");
  auto d = MakeDirectory(path);
  ASSERT_TRUE(d);
  ASSERT_EQ(AddAddress(d.get(), "kept"), kOk);
  Tree empty;
  EXPECT_EQ(Directory::Create(path, empty), kErrEntryExists);
  EXPECT_EQ(Addresses(d.get()), std::vector<std::string>{"kept"});
}

}  // namespace
}  // namespace zelm::dir
