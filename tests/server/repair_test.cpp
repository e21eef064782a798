// REPAIR over real TCP on real Maildirs: what it finds, what it puts right
// and what it leaves alone, the progress lines, STOP between mailboxes, and
// the connection usable afterwards.
#include <dirent.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "maildir_repair.h"
#include "store_fixture.h"

namespace {

using Lines = std::vector<std::string>;

const char kMessage[] = "From: a@example.org\nSubject: one\n\nbody one\n";
const char kOther[] = "From: b@example.org\nSubject: two\n\nbody two\n";

Lines Entries(const std::string& dir) {
  Lines out;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) out.push_back(e->d_name);
    closedir(d);
  }
  std::sort(out.begin(), out.end());
  return out;
}

void MakeOld(const std::string& path, int hours) {
  struct timeval t[2];
  gettimeofday(&t[0], nullptr);
  t[0].tv_sec -= hours * 3600;
  t[1] = t[0];
  utimes(path.c_str(), t);
}

// The action texts of a repair's progress lines ("user/mailbox: action").
Lines Actions(const Lines& answer) {
  Lines out;
  for (const std::string& l : answer) {
    if (l.compare(0, 5, "2030 ") != 0) continue;
    size_t a = l.find('\t'), b = l.find('\t', a + 1), c = l.find('\t', b + 1);
    out.push_back(l.substr(a + 1, b - a - 1) + "/" + l.substr(b + 1, c - b - 1) + ": " + l.substr(c + 1));
  }
  return out;
}

class Repair : public StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    MakeMaildir("alice");
    MakeMaildir("alice/.Sent");
    MakeMaildir("bob");
    Deliver("alice", "cur", "1700000001.M1.host:2,S", kMessage);
    Deliver("alice", "cur", "1700000002.M2.host:2,", kOther);
    Deliver("alice", "new", "1700000003.M3.host", kMessage);
    Deliver("alice/.Sent", "cur", "1700000004.M4.host:2,S", kOther);
    Deliver("bob", "new", "1700000005.M5.host", kMessage);
  }
  // Sends a repair and reads its whole answer.
  Lines Run(TestClient* c, const std::string& command) {
    c->Send(command + "\r\n");
    return c->UntilDone();
  }
  // The faults every kind of check finds in alice's INBOX.
  void Damage() {
    Deliver("alice", "cur", "1700000006.M6.host", kOther);          // no flag section
    Deliver("alice", "cur", "1700000007.M7.host:2,TSF", kOther);    // out of order
    Deliver("alice", "cur", "1700000008.M8.host:2,SS", kOther);     // given twice
    // Also in new/, and of the same size and time as that one: only a copy,
    // not a change (a second passing since the listing must not make it one).
    std::string copy = Deliver("alice", "cur", "1700000003.M3.host:2,S", kOther);
    struct stat original;
    if (stat(Path("alice/new/1700000003.M3.host").c_str(), &original) == 0) {
      struct timeval t[2] = {{original.st_atime, 0}, {original.st_mtime, 0}};
      utimes(copy.c_str(), t);
    }
    std::string stale = Deliver("alice", "tmp", "1600000000.M9.host", "half");
    MakeOld(stale, 40);
    Deliver("alice", "tmp", "1700000010.M10.host", "arriving");    // recent: left alone
  }
};

TEST(MaildirNames, FlagLettersInOrderAndOnce) {
  struct Case {
    const char* name;
    const char* expected;
  } cases[] = {
      {"1.M1.h:2,S", "1.M1.h:2,S"},       {"1.M1.h:2,", "1.M1.h:2,"},
      {"1.M1.h", "1.M1.h:2,"},            {"1.M1.h:2,TSF", "1.M1.h:2,FST"},
      {"1.M1.h:2,SSa", "1.M1.h:2,Sa"},    {"1.M1.h:1,xyz", "1.M1.h:1,xyz"},
      {"1.M1.h:2,DFPRST", "1.M1.h:2,DFPRST"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, NormalizedMaildirName(c.name)) << c.name;
}

TEST_F(Repair, AHealthyMailboxHasNothingToPutRight) {
  StartServer();
  auto c = Client();
  ASSERT_EQ(3u, List(c.get(), "alice", "INBOX").size());
  Lines answer = Run(c.get(), "REPAIR MBOX INBOX");
  EXPECT_EQ((Lines{"2002 1 mailboxes", "2030 0\talice\tINBOX\tchecking and repairing",
                   "2030 0\talice\tINBOX\tnothing to put right", "1000 done 1 0 0"}),
            answer);
  // The selection stays: the listing still answers.
  EXPECT_EQ(0u, Ask(c.get(), "AINFO 1").find("2001 1 "));
}

TEST_F(Repair, ACheckFindsEveryKindOfFaultAndChangesNothing) {
  StartServer();
  auto c = Client();
  List(c.get(), "alice", "INBOX");
  Damage();
  // The index: one entry's message gone, another's changed.
  unlink(Path("alice/cur/1700000002.M2.host:2,").c_str());
  Deliver("alice", "cur", "1700000001.M1.host:2,S", std::string(kMessage) + "grown\n");
  Lines before[3] = {Entries(Path("alice/cur")), Entries(Path("alice/new")), Entries(Path("alice/tmp"))};
  std::string index = ReadFileText(Path("alice/zelm-index"));

  Ask(c.get(), "USER alice");
  Lines answer = Run(c.get(), "REPAIR CHECK MBOX INBOX");
  EXPECT_EQ((Lines{"alice/INBOX: checking",
                   "alice/INBOX: 1 delivery left unfinished in tmp for over 36 hours: found",
                   "alice/INBOX: 1 message without their flag section: found",
                   "alice/INBOX: 2 messages with flags out of order or given twice: found",
                   "alice/INBOX: 1 message both in new and in cur: found",
                   "alice/INBOX: 1 index entry without their message: found",
                   "alice/INBOX: 1 message changed after they were indexed: found",
                   "alice/INBOX: done"}),
            Actions(answer));
  EXPECT_EQ("1000 done 1 7 0", answer.back());
  EXPECT_EQ(before[0], Entries(Path("alice/cur")));
  EXPECT_EQ(before[1], Entries(Path("alice/new")));
  EXPECT_EQ(before[2], Entries(Path("alice/tmp")));
  EXPECT_EQ(index, ReadFileText(Path("alice/zelm-index")));
}

TEST_F(Repair, ARepairPutsItRightKeepingEveryMessageAndItsId) {
  StartServer();
  auto c = Client();
  Lines first = List(c.get(), "alice", "INBOX");
  ASSERT_EQ(3u, first.size());
  std::string uid3 = Ask(c.get(), "AINFO 3");  // 1700000003 in new/: its ID must stay
  Damage();
  Deliver("alice", "cur", "1700000001.M1.host:2,S", std::string(kMessage) + "grown\n");
  rmdir(Path("alice/tmp/x").c_str());

  Ask(c.get(), "USER alice");
  Lines answer = Run(c.get(), "REPAIR MBOX INBOX");
  EXPECT_EQ((Lines{"alice/INBOX: checking and repairing",
                   "alice/INBOX: 1 delivery left unfinished in tmp for over 36 hours: put right",
                   "alice/INBOX: 1 message without their flag section: put right",
                   "alice/INBOX: 2 messages with flags out of order or given twice: put right",
                   "alice/INBOX: 1 message both in new and in cur: put right",
                   "alice/INBOX: 1 message changed after they were indexed: put right",
                   "alice/INBOX: done"}),
            Actions(answer));
  EXPECT_EQ("1000 done 1 6 6", answer.back());
  EXPECT_EQ((Lines{"1700000001.M1.host:2,S", "1700000002.M2.host:2,", "1700000003.M3.host:2,S",
                   "1700000006.M6.host:2,", "1700000007.M7.host:2,FST", "1700000008.M8.host:2,S"}),
            Entries(Path("alice/cur")));
  EXPECT_EQ(Lines{"1700000003.M3.host.R1"}, Entries(Path("alice/new")));
  EXPECT_EQ(Lines{"1700000010.M10.host"}, Entries(Path("alice/tmp")));

  // Every message is listed, the old ones with their IDs; the grown one with its new size.
  Lines after = List(c.get(), "alice", "INBOX");
  ASSERT_EQ(7u, after.size());
  auto uidOf = [](const std::string& infoLine) {
    unsigned long n, size, flags, uid;
    sscanf(infoLine.c_str(), "%lu %lu %lu %lu", &n, &size, &flags, &uid);
    return uid;
  };
  EXPECT_EQ(uidOf(first[0]), uidOf(after[0]));
  EXPECT_EQ(uidOf(first[1]), uidOf(after[1]));
  EXPECT_EQ(uidOf(first[2]), uidOf(after[2]));
  EXPECT_NE(first[0], after[0]);  // its size changed
  // A second repair finds nothing more.
  Ask(c.get(), "USER alice");
  EXPECT_EQ("1000 done 1 0 0", Run(c.get(), "REPAIR MBOX INBOX").back());
}

TEST_F(Repair, ADamagedIndexIsWrittenAnewFromWhatTheServerKnows) {
  StartServer();
  auto c = Client();
  Lines first = List(c.get(), "alice", "INBOX");
  std::ofstream(Path("alice/zelm-index"), std::ios::binary) << "not an index at all\n";
  Ask(c.get(), "USER alice");
  Lines answer = Run(c.get(), "REPAIR MBOX INBOX");
  EXPECT_EQ((Lines{"alice/INBOX: checking and repairing",
                   "alice/INBOX: the index file was damaged: put right", "alice/INBOX: done"}),
            Actions(answer));
  EXPECT_EQ(0u, ReadFileText(Path("alice/zelm-index")).find("zelm-index "));
  EXPECT_EQ(first, List(c.get(), "alice", "INBOX"));
}

TEST_F(Repair, TheWholeStoreMailboxByMailbox) {
  StartServer();
  auto c = Client();
  Lines answer = Run(c.get(), "REPAIR STORE");
  ASSERT_FALSE(answer.empty());
  EXPECT_EQ("2002 3 mailboxes", answer[0]);
  EXPECT_EQ((Lines{"alice/INBOX: checking and repairing", "alice/INBOX: no index yet: made one",
                   "alice/INBOX: done", "alice/Sent: checking and repairing",
                   "alice/Sent: no index yet: made one", "alice/Sent: done",
                   "bob/INBOX: checking and repairing", "bob/INBOX: no index yet: made one",
                   "bob/INBOX: done"}),
            Actions(answer));
  EXPECT_EQ("1000 done 3 0 0", answer.back());
  EXPECT_TRUE(FileExists(Path("bob/zelm-index")));
}

TEST_F(Repair, StopEndsItBetweenMailboxesAndTheConnectionGoesOn) {
  StartServer();
  auto c = Client();
  // STOP right behind it: stopped before the first mailbox.
  c->Send("REPAIR STORE\r\nSTOP\r\nULIST\r\n");
  EXPECT_EQ("2002 3 mailboxes", c->Line());
  EXPECT_EQ("1000 stopped 0 0 0", c->Line());
  EXPECT_EQ((Lines{"2001 alice", "2001 bob", "1000 2 users"}), c->UntilDone());
  // Other commands behind a repair wait for it; STOP on its own has nothing to stop.
  c->Send("REPAIR CHECK STORE\r\nULIST\r\n");
  EXPECT_EQ("1000 done 3 0 0", c->UntilDone().back());
  EXPECT_EQ("2001 alice", c->Line());
  c->UntilDone();
  EXPECT_EQ("1000 no repair running", Ask(c.get(), "STOP"));
}

TEST_F(Repair, RefusalsComeAsOneLine) {
  StartServer();
  auto c = Client();
  EXPECT_EQ("4001 usage: REPAIR [CHECK] MBOX name, or REPAIR [CHECK] STORE", Ask(c.get(), "REPAIR"));
  EXPECT_EQ(0u, Ask(c.get(), "REPAIR CHECK").find("4001 "));
  EXPECT_EQ(0u, Ask(c.get(), "REPAIR STORE now").find("4001 "));
  EXPECT_EQ(0u, Ask(c.get(), "REPAIR MBOX").find("4001 "));
  EXPECT_EQ("4010 no user selected", Ask(c.get(), "REPAIR MBOX INBOX"));
  Ask(c.get(), "USER alice");
  EXPECT_EQ("4016 mailbox name refused", Ask(c.get(), "REPAIR MBOX ../bob"));
  EXPECT_EQ("4013 no such mailbox", Ask(c.get(), "REPAIR MBOX Nope"));
  // In any letter case, as every command.
  EXPECT_EQ("2002 1 mailboxes", Ask(c.get(), "repair check mbox Sent"));
  EXPECT_EQ("1000 done 1 0 0", c->UntilDone().back());
}

TEST_F(Repair, LinksAreNeverFollowedNorRemovedThrough) {
  // tmp/ of bob's INBOX is a link to a folder outside the store holding an
  // old file: it is reported, and the file stays.
  std::string outsideFile = outside_ + "/1500000000.M1.host";
  std::ofstream(outsideFile) << "keep me";
  MakeOld(outsideFile, 100);
  rmdir(Path("bob/tmp").c_str());
  ASSERT_EQ(0, symlink(outside_.c_str(), Path("bob/tmp").c_str()));
  StartServer();
  auto c = Client();
  Ask(c.get(), "USER bob");
  Lines answer = Run(c.get(), "REPAIR MBOX INBOX");
  EXPECT_NE(Actions(answer).end(), std::find(Actions(answer).begin(), Actions(answer).end(),
                                             "bob/INBOX: tmp is not a folder: could not be put right"));
  EXPECT_TRUE(FileExists(outsideFile));
}

}  // namespace
