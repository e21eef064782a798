// Every command over real TCP against Maildirs built here.
#include <gmime/gmime.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <functional>
#include <future>

#include "mime_structure.h"
#include "session.h"
#include "store_fs.h"
#include "store_fixture.h"

namespace {

const char kFirst[] =
    "From: Alice Example <alice@example.org>\n"
    "To: bob@example.org\n"
    "Subject: Quarterly report\n"
    "Date: Mon, 6 Jan 2025 09:30:00 +0000\n"
    "X-Priority: 1\n"
    "\n"
    "Hello Bob,\n"
    ".hidden dot line\n"
    "bye\n";
const char kSecond[] =
    "From: carol@example.net\r\n"
    "Subject: Lunch?\r\n"
    "Authentication-Results: mx.example.org; dkim=pass header.d=example.net\r\n"
    "Content-Type: multipart/mixed; boundary=\"==b==\"\r\n"
    "\r\n"
    "--==b==\r\n"
    "Content-Type: text/plain; charset=utf-8\r\n"
    "\r\n"
    "Noon?\r\n"
    "--==b==\r\n"
    "Content-Type: application/pdf; name=\"menu card.pdf\"\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "JVBERi0xLjQK\r\n"
    "--==b==--\r\n";
const char kThird[] = "From: dan@example.com\nSubject: old\n\ngone soon";

// Client-side view of an INFO line, scanned as the shell scans it.
struct InfoLine {
  unsigned long number, size, flags, uid, date;
  char sender[1025], text[1025];
  unsigned long headerBytes;
};
bool ScanInfo(const std::string& line, InfoLine* out) {
  return sscanf(line.c_str(), "%lu %lu %lu %lu %lu %1024s %1024s %lu", &out->number, &out->size,
                &out->flags, &out->uid, &out->date, out->sender, out->text,
                &out->headerBytes) == 8;
}

class Protocol : public StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    MakeMaildir("alice");
    Deliver("alice", "cur", "1700000001.M1P1.host:2,RS", kFirst);
    Deliver("alice", "new", "1700000002.M2P1.host", kSecond);
    Deliver("alice", "cur", "1700000003.M3P1.host:2,T", kThird);
    MakeMaildir("alice/.Sent");
    MakeMaildir("alice/.Archive.2024");
    MakeMaildir("alice/.Archive.2024.Q1");
    mkdir(Path("alice/.notamaildir").c_str(), 0755);
    MakeMaildir("bob");
    mkdir(Path("carol").c_str(), 0755);  // a user without INBOX
  }
};

TEST_F(Protocol, UsersAndMailboxes) {
  StartServer();
  auto c = Client();
  c->Send("ULIST\r\n");
  EXPECT_EQ(std::vector<std::string>({"2001 alice", "2001 bob", "2001 carol", "1000 3 users"}),
            c->UntilDone());
  c->Send("RSET\r\nUSER alice\r\nSHOW\r\n");
  EXPECT_EQ("1000 selection cleared", c->Line());
  EXPECT_EQ("1000 user selected", c->Line());
  EXPECT_EQ("2002 5 mailboxes", c->Line());
  EXPECT_EQ(std::vector<std::string>({"2001 INBOX", "2001 Archive/", "2001 Archive/2024",
                                      "2001 Archive/2024/Q1", "2001 Sent",
                                      "1000 end of mailboxes"}),
            c->UntilDone());
  c->Send("RSET\r\nUSER carol\r\nSHOW\r\n");
  c->Line();
  c->Line();
  EXPECT_EQ("2002 0 mailboxes", c->Line());
  EXPECT_EQ("1000 end of mailboxes", c->Line());
  EXPECT_EQ("4012 no such user", Ask(c.get(), "USER nobody"));
  EXPECT_EQ("4010 no user selected", Ask(c.get(), "SHOW"));  // a failed USER selects nobody
}

TEST_F(Protocol, ListingFieldsNumbersAndFilters) {
  StartServer();
  auto c = Client();
  std::vector<std::string> lines = List(c.get(), "alice", "INBOX");
  ASSERT_EQ(3u, lines.size());
  InfoLine a, b, d;
  ASSERT_TRUE(ScanInfo(lines[0], &a)) << lines[0];
  ASSERT_TRUE(ScanInfo(lines[1], &b)) << lines[1];
  ASSERT_TRUE(ScanInfo(lines[2], &d)) << lines[2];
  EXPECT_EQ(1u, a.number);
  EXPECT_EQ(3u, d.number);
  EXPECT_EQ("Quarterly_report", std::string(a.text));
  EXPECT_EQ("Lunch?", std::string(b.text));
  EXPECT_EQ(0x001u | 0x100u | 0x008u | 0x010u, a.flags);  // read, answered, leading dot, high
  EXPECT_EQ(0x080u, b.flags);                              // in new/
  EXPECT_EQ(0x002u, d.flags);                              // trashed
  EXPECT_EQ(1736155800u, a.date);
  EXPECT_EQ(std::string("-alice@example.org"), a.sender);
  EXPECT_EQ(std::string("carol@example.net"), b.sender);  // DKIM-verified
  EXPECT_LT(a.uid, b.uid);
  EXPECT_LT(b.uid, d.uid);
  // Sizes as CR LF lines: kFirst has LF ends, kSecond CR LF already.
  size_t firstLines = 0;
  for (const char* p = kFirst; *p; ++p) firstLines += *p == '\n';
  EXPECT_EQ(strlen(kFirst) + firstLines, a.size);
  EXPECT_EQ(strlen(kSecond), b.size);

  // Without the list-deleted bit the trashed message is not listed; with a
  // flag mask only matching messages are.
  EXPECT_EQ(2u, List(c.get(), "alice", "INBOX", 0).size());
  std::vector<std::string> readOnly = List(c.get(), "alice", "INBOX", 1);
  ASSERT_EQ(1u, readOnly.size());
  EXPECT_EQ(0u, readOnly[0].find("1 "));
  // Numbers follow the last listing: message 2 is now gone from it.
  EXPECT_EQ(0u, Ask(c.get(), "AINFO 1").find("2001 1 "));
  EXPECT_EQ("4014 no such message", Ask(c.get(), "AINFO 2"));
  // An empty mailbox.
  std::vector<std::string> none = List(c.get(), "alice", "Sent");
  EXPECT_TRUE(none.empty());
}

TEST_F(Protocol, DetailsHeaderAndBodyAreExact) {
  StartServer();
  auto c = Client();
  List(c.get(), "alice", "INBOX");
  unsigned long n, total, header, body, flags, uid, date;
  char hash[1025], sender[1025];
  std::string ainfo = Ask(c.get(), "AINFO 2");
  ASSERT_EQ(9, sscanf(ainfo.c_str(), "2001 %lu %lu %lu %lu %lu %1024s %lu %lu %1024s", &n, &total,
                      &header, &body, &flags, hash, &uid, &date, sender))
      << ainfo;
  std::string second = kSecond;
  size_t split = second.find("\r\n\r\n") + 4;
  EXPECT_EQ(second.size(), total);
  EXPECT_EQ(split, header);
  EXPECT_EQ(second.size() - split, body);
  gchar* md5 = g_compute_checksum_for_string(G_CHECKSUM_MD5, kSecond, -1);
  EXPECT_EQ(std::string(md5), hash);
  g_free(md5);

  c->Send("HEAD 2\r\n");
  EXPECT_EQ("2020 header follows", c->Line());
  std::vector<std::string> head = c->UntilDone();
  ASSERT_EQ(5u, head.size());
  EXPECT_EQ("From: carol@example.net", head[0]);
  EXPECT_EQ("1000 end of header", head[4]);

  c->Send("BODY 2\r\n");
  std::string announce = c->Line();
  EXPECT_EQ("2021 " + std::to_string(body) + " bytes follow", announce);
  EXPECT_EQ(second.substr(split), c->Bytes(body));
  EXPECT_EQ("1000 end of body", c->Line());

  // LF file with an unterminated last line: every line goes with CR LF and
  // the count says so.
  c->Send("AINFO 3\r\nBODY 3\r\n");
  std::string third = c->Line();
  EXPECT_NE(std::string::npos, third.find(" 11 2 ")) << third;  // body 11, flags 0x002
  EXPECT_EQ("2021 11 bytes follow", c->Line());
  EXPECT_EQ("gone soon\r\n", c->Bytes(11));
  EXPECT_EQ("1000 end of body", c->Line());
}

TEST_F(Protocol, BrawHonoursOffsetAndLength) {
  StartServer();
  auto c = Client();
  List(c.get(), "alice", "INBOX");
  // Body of message 1 on the wire: "Hello Bob,\r\n.hidden dot line\r\nbye\r\n" (35 bytes).
  struct Row {
    const char* command;
    std::string bytes;
  } rows[] = {
      {"BRAW 1 0 12", "Hello Bob,\r\n"},
      {"BRAW 1 0 5", "Hello\r\n"},           // cut inside a line: a line end is added
      {"BRAW 1 12 7", ".hidden\r\n"},
      {"BRAW 1 30 0", "bye\r\n"},            // length 0: to the end
      {"BRAW 1 30 1000", "bye\r\n"},
      {"BRAW 1 35 10", ""},
      {"BRAW 1 4000000000 10", ""},
      {"BRAW 1 0 11", "Hello Bob,\r\r\n"},  // the CR alone: still one line end added
  };
  for (const Row& r : rows) {
    c->Send(std::string(r.command) + "\r\n");
    EXPECT_EQ("2025 " + std::to_string(r.bytes.size()) + " bytes follow", c->Line()) << r.command;
    EXPECT_EQ(r.bytes, c->Bytes(r.bytes.size())) << r.command;
    EXPECT_EQ("1000 end of body", c->Line()) << r.command;
  }
  EXPECT_EQ("4001 usage: BRAW number offset length", Ask(c.get(), "BRAW 1 0"));
  EXPECT_EQ("4001 usage: BRAW number offset length", Ask(c.get(), "BRAW 1 -1 5"));
  EXPECT_EQ("4014 no such message", Ask(c.get(), "BRAW 9 0 5"));
}

TEST_F(Protocol, MimeAnswer) {
  StartServer();
  auto c = Client();
  List(c.get(), "alice", "INBOX");
  c->Send("MIME 2\r\n");
  std::vector<std::string> lines = c->UntilDone();
  ASSERT_EQ(5u, lines.size());
  char type[1025], sub[1025], cs[1025], enc[1025], name[1025];
  unsigned long off, size, hdr, count;
  ASSERT_EQ(9, sscanf(lines[2].c_str(), "2002 %s %s %s %s %s %lu %lu %lu %lu", type, sub, cs, enc,
                      name, &off, &size, &hdr, &count));
  EXPECT_EQ("application/pdf base64 menu_card.pdf 12 1",
            std::string(type) + "/" + sub + " " + enc + " " + name + " " + std::to_string(size) +
                " " + std::to_string(count));
  EXPECT_EQ(std::string(kSecond).find("JVBERi0"), off);
  EXPECT_EQ(0u, lines[0].find("2002 multipart mixed - 7bit - "));
  EXPECT_EQ(0u, lines[1].find("2002 text plain utf-8 7bit - "));
  EXPECT_EQ("2003 end of multipart", lines[3]);
  EXPECT_EQ("1000 end of structure", lines[4]);
  // Asked again: the same answer (now kept in memory), until the message changes.
  c->Send("MIME 2\r\n");
  EXPECT_EQ(lines, c->UntilDone());
  Deliver("alice", "new", "1700000002.M2P1.host", std::string(kSecond) + "\r\n");
  c->Send("MIME 2\r\n");
  EXPECT_EQ(std::vector<std::string>({"4015 message has changed since it was listed",
                                      "1000 end of structure"}),
            c->UntilDone());
  // A failed MIME still ends with 1000, so a client reading to it never hangs.
  c->Send("MIME 7\r\n");
  EXPECT_EQ(std::vector<std::string>({"4014 no such message", "1000 end of structure"}),
            c->UntilDone());
}

TEST_F(Protocol, KeptStructureIsAlwaysTheFilesOwn) {
  // One message the plain reading takes (its answer kept when it is listed)
  // and one left to GMime (kept at its first MIME). Every answer must be the
  // one for the bytes the file holds now, or 4015.
  using Lines = std::vector<std::string>;
  const std::string plain = kSecond;
  const std::string odd =
      "Subject: odd\nContent-Type: text/plain; name*=utf-8''r%C3%A9s.txt\n\nx\n";
  auto answerFor = [](const std::string& m) {
    Lines l;
    for (const MimeLine& x : DescribeMime(m)) l.push_back(FormatMimeLine(x));
    l.push_back("1000 end of structure");
    return l;
  };
  const Lines changed = {"4015 message has changed since it was listed", "1000 end of structure"};
  const Lines gone = {"4015 message no longer exists", "1000 end of structure"};
  MakeMaildir("kim");
  Deliver("kim", "cur", "1700000001.M1.h:2,S", plain);
  Deliver("kim", "cur", "1700000002.M2.h:2,S", odd);
  StartServer();
  auto c = Client();
  auto mime = [&](int n) {
    c->Send("MIME " + std::to_string(n) + "\r\n");
    return c->UntilDone();
  };
  // A rewrite in the same second shows no change.
  auto later = [&](const std::string& rel, time_t when = 1800000000) {
    timespec t[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(0, utimensat(AT_FDCWD, Path(rel).c_str(), t, 0));
  };
  auto restart = [&] {
    c.reset();
    StopServer();
    std::string index = ReadFileText(Path("kim/zelm-index"));
    EXPECT_EQ(0u, index.find("zelm-index 4 "));
    // The second's answer was worked out at its MIME, after the index was
    // written; the session's end wrote it in.
    for (const char* base : {" - 1700000001.M1.h", " - 1700000002.M2.h"})
      EXPECT_EQ(std::string::npos, index.find(base)) << base << ": no answer kept";
    StartServer();
    c = Client();
  };
  // Same size, other structure (utf-8 becomes utf-7); and grown.
  std::string plain2 = plain;
  plain2.replace(plain2.find("utf-8"), 5, "utf-7");
  const std::string odd2 = odd + "more\n";
  struct Step {
    const char* label;
    std::function<void()> act;
    Lines first, second;
  } steps[] = {
      {"listed", [&] { List(c.get(), "kim", "INBOX"); }, answerFor(plain), answerFor(odd)},
      {"flags changed by another program",
       [&] {
         rename(Path("kim/cur/1700000001.M1.h:2,S").c_str(),
                Path("kim/cur/1700000001.M1.h:2,RS").c_str());
         rename(Path("kim/cur/1700000002.M2.h:2,S").c_str(),
                Path("kim/new/1700000002.M2.h").c_str());
       },
       answerFor(plain), answerFor(odd)},
      {"rewritten in place",
       [&] {
         Deliver("kim", "cur", "1700000001.M1.h:2,RS", plain2);
         later("kim/cur/1700000001.M1.h:2,RS");
         Deliver("kim", "new", "1700000002.M2.h", odd2);
       },
       changed, changed},
      {"listed again: still the record of the old bytes",
       [&] { List(c.get(), "kim", "INBOX"); }, changed, changed},
      {"repaired and listed",
       [&] {
         Ask(c.get(), "USER kim");
         c->Send("REPAIR MBOX INBOX\r\n");
         c->UntilDone();
         List(c.get(), "kim", "INBOX");
       },
       answerFor(plain2), answerFor(odd2)},
      {"restarted: the records and the first one's answer come from the index file",
       [&] {
         restart();
         List(c.get(), "kim", "INBOX");
       },
       answerFor(plain2), answerFor(odd2)},
      {"restarted, then rewritten in place",
       [&] {
         restart();
         c = Client();
         List(c.get(), "kim", "INBOX");
         Deliver("kim", "cur", "1700000001.M1.h:2,RS", plain);
         later("kim/cur/1700000001.M1.h:2,RS", 1800000100);
       },
       changed, answerFor(odd2)},
      {"removed", [&] { unlink(Path("kim/cur/1700000001.M1.h:2,RS").c_str()); }, gone,
       answerFor(odd2)},
  };
  for (Step& s : steps) {
    s.act();
    EXPECT_EQ(s.first, mime(1)) << s.label;
    EXPECT_EQ(s.second, mime(2)) << s.label;
  }
  // An index file another process wrote meanwhile is left as it is (the IDs
  // it gave are the clients'), answers worked out here or not.
  Deliver("kim", "cur", "1700000003.M3.h:2,S", odd);
  List(c.get(), "kim", "INBOX");
  const std::string theirs = ReadFileText(Path("kim/zelm-index"));
  ASSERT_NE(std::string::npos, theirs.find(" - 1700000003.M3.h"));
  std::ofstream(Path("kim/zelm-index"), std::ios::binary) << theirs;
  EXPECT_EQ(answerFor(odd), mime(2));
  c.reset();
  StopServer();
  EXPECT_EQ(theirs, ReadFileText(Path("kim/zelm-index")));
}

TEST_F(Protocol, PipelinedMimeAnswersMatchOneByOne) {
  MakeMaildir("many");
  for (int i = 0; i < 12; ++i)
    Deliver("many", "cur", "17000000" + std::to_string(10 + i) + ".M.h:2,S",
            i % 2 ? std::string(kSecond) : std::string(kFirst));
  StartServer();
  auto one = Client();
  List(one.get(), "many", "INBOX");
  std::vector<std::vector<std::string>> expected;
  for (int k = 1; k <= 12; ++k) {
    one->Send("MIME " + std::to_string(k) + "\r\n");
    expected.push_back(one->UntilDone());
  }
  // Fresh servers: answers kept in the index file but not yet checked, then
  // every message read afresh (no index); one message gone, one rewritten,
  // one number too high.
  for (bool withIndex : {true, false}) {
    one.reset();
    StopServer();
    if (!withIndex) {
      unlink(Path("many/zelm-index").c_str());
      Deliver("many", "cur", "1700000015.M.h:2,S", kSecond);
      Deliver("many", "cur", "1700000017.M.h:2,S", kSecond);
    }
    StartServer();
    one = Client();
    List(one.get(), "many", "INBOX");
    unlink(Path("many/cur/1700000015.M.h:2,S").c_str());
    Deliver("many", "cur", "1700000017.M.h:2,S", kFirst);
    std::string batch;
    for (int k = 1; k <= 12; ++k) batch += "MIME " + std::to_string(k) + "\r\n";
    one->Send(batch + "MIME 99\r\n");
    for (int k = 1; k <= 12; ++k) {
      std::vector<std::string> got = one->UntilDone();
      if (k == 6)
        EXPECT_EQ(std::vector<std::string>({"4015 message no longer exists",
                                            "1000 end of structure"}), got);
      else if (k == 8)
        EXPECT_EQ(std::vector<std::string>({"4015 message has changed since it was listed",
                                            "1000 end of structure"}), got) << withIndex;
      else
        EXPECT_EQ(expected[k - 1], got) << k;
    }
    EXPECT_EQ(std::vector<std::string>({"4014 no such message", "1000 end of structure"}),
              one->UntilDone());
  }
}

TEST_F(Protocol, HeaderLinesNeverReadAsRepliesAndStayShort) {
  MakeMaildir("eve");
  std::string longValue(2500, 'v');
  Deliver("eve", "cur", "1.M1.h:2,S",
          "Subject: x\n1000 fake end\nX-Long: " + longValue + "\n\nbody\n");
  StartServer();
  auto c = Client();
  List(c.get(), "eve", "INBOX");
  c->Send("HEAD 1\r\n");
  EXPECT_EQ("2020 header follows", c->Line());
  std::vector<std::string> head = c->UntilDone();
  ASSERT_EQ(6u, head.size());
  EXPECT_EQ(" 1000 fake end", head[1]);
  std::string joined = head[2] + head[3].substr(1) + head[4].substr(1);
  EXPECT_EQ("X-Long: " + longValue, joined);
  for (int i = 2; i <= 4; ++i) EXPECT_LE(head[i].size(), 999u);
  EXPECT_EQ("1000 end of header", head[5]);
}

TEST_F(Protocol, UniqueIdsAreStableAcrossRenamesAndRestarts) {
  StartServer();
  auto c = Client();
  std::vector<std::string> before = List(c.get(), "alice", "INBOX");
  ASSERT_EQ(3u, before.size());
  InfoLine first, moved;
  ScanInfo(before[1], &first);
  c.reset();
  StopServer();
  // Read by another client: moved from new/ to cur/ with the seen flag.
  ASSERT_EQ(0, rename(Path("alice/new/1700000002.M2P1.host").c_str(),
                      Path("alice/cur/1700000002.M2P1.host:2,S").c_str()));
  unlink(Path("alice/cur/1700000003.M3P1.host:2,T").c_str());
  Deliver("alice", "new", "1600000000.M9P9.host", "Subject: late\n\nx\n");
  StartServer();
  c = Client();
  std::vector<std::string> after = List(c.get(), "alice", "INBOX");
  ASSERT_EQ(3u, after.size());
  ScanInfo(after[1], &moved);
  EXPECT_EQ(first.uid, moved.uid);
  EXPECT_EQ(0x001u, moved.flags);
  InfoLine late;
  ScanInfo(after[2], &late);
  EXPECT_EQ("late", std::string(late.text));
  EXPECT_GT(late.uid, first.uid + 1);  // the expunged message's ID is not reused
  // A damaged index is rebuilt; the server keeps answering.
  StopServer();
  std::string index = Path("alice/zelm-index");
  ASSERT_TRUE(FileExists(index));
  FILE* f = fopen(index.c_str(), "w");
  fputs("zelm-index 1 garbage\n\x01\x02", f);
  fclose(f);
  StartServer();
  c = Client();
  EXPECT_EQ(3u, List(c.get(), "alice", "INBOX").size());
}

TEST_F(Protocol, ListingsFollowEveryChangeOfTheFolders) {
  // Folders last changed long ago: a second listing is taken from memory.
  auto age = [&](const std::string& rel) {
    timespec old[2] = {{1600000000, 0}, {1600000000, 0}};
    ASSERT_EQ(0, utimensat(AT_FDCWD, Path(rel).c_str(), old, 0));
  };
  age("alice/cur");
  age("alice/new");
  StartServer();
  auto c = Client();
  ASSERT_EQ(3u, List(c.get(), "alice", "INBOX").size());
  ASSERT_EQ(3u, List(c.get(), "alice", "INBOX").size());
  // New mail, a flag change by another program and an expunge all show at once.
  Deliver("alice", "new", "1700000009.M9P1.host", "Subject: fresh\n\nx\n");
  std::vector<std::string> lines = List(c.get(), "alice", "INBOX");
  ASSERT_EQ(4u, lines.size());
  EXPECT_NE(std::string::npos, lines[3].find(" fresh ")) << lines[3];
  age("alice/cur");
  age("alice/new");
  List(c.get(), "alice", "INBOX");
  ASSERT_EQ(0, rename(Path("alice/cur/1700000001.M1P1.host:2,RS").c_str(),
                      Path("alice/cur/1700000001.M1P1.host:2,RST").c_str()));
  lines = List(c.get(), "alice", "INBOX", 0);
  ASSERT_EQ(2u, lines.size());  // now trashed as well: hidden without the list-deleted bit
  unlink(Path("alice/new/1700000002.M2P1.host").c_str());
  EXPECT_EQ(1u, List(c.get(), "alice", "INBOX", 0).size());
}

TEST_F(Protocol, SpaceStatAndConfiguration) {
  config_.quotaKb = 2048;
  StartServer();
  auto c = Client();
  c->Send("RSET\r\nUSER alice\r\nSHOW\r\n");
  c->Line();
  c->Line();
  c->UntilDone();
  // The three files take well under 1 KB together: one kilobyte rounded up.
  EXPECT_EQ("1000 1 2048", Ask(c.get(), "SPACE"));
  List(c.get(), "alice", "INBOX");
  std::string second = kSecond, first = kFirst;
  std::string stat = Ask(c.get(), "STAT");
  unsigned long count, total, fresh, freshBytes;
  ASSERT_EQ(4, sscanf(stat.c_str(), "1000 %*s %lu %lu %lu %lu", &count, &total, &fresh, &freshBytes));
  EXPECT_EQ(3u, count);
  EXPECT_EQ(1u, fresh);
  EXPECT_EQ(second.size(), freshBytes);
  c->Send("CONF\r\n");
  std::vector<std::string> conf = c->UntilDone();
  EXPECT_NE(conf.end(), std::find(conf.begin(), conf.end(), "2001 Quota per user:2048 KB"));
  for (size_t i = 0; i + 1 < conf.size(); ++i) EXPECT_NE(std::string::npos, conf[i].find(':'));
  c->Send("CAPA\r\n");
  std::vector<std::string> capa = c->UntilDone();
  EXPECT_GT(capa.size(), 3u);
  EXPECT_EQ("1000 end of capabilities", capa.back());
}

TEST_F(Protocol, RemovingMailboxes) {
  StartServer();
  auto c = Client();
  EXPECT_EQ("4010 no user selected", Ask(c.get(), "RMOV Sent"));
  Ask(c.get(), "USER alice");
  c->Send("RSET MBOX\r\nRMOV Archive/2024\r\n");
  EXPECT_EQ("1000 mailbox selection cleared", c->Line());
  EXPECT_EQ("1000 mailbox removed", c->Line());
  EXPECT_FALSE(FileExists(Path("alice/.Archive.2024")));
  EXPECT_TRUE(FileExists(Path("alice/.Archive.2024.Q1/cur")));  // its child stays
  EXPECT_EQ("4013 no such mailbox", Ask(c.get(), "RMOV Archive/2024"));
  EXPECT_EQ("4017 INBOX cannot be removed", Ask(c.get(), "RMOV inbox"));
  EXPECT_EQ("4016 mailbox name refused", Ask(c.get(), "RMOV ."));
  EXPECT_TRUE(FileExists(Path("alice/cur/1700000001.M1P1.host:2,RS")));
  // The selected mailbox is let go when it is removed.
  Ask(c.get(), "MBOX Sent");
  EXPECT_EQ("1000 mailbox removed", Ask(c.get(), "RMOV Sent"));
  EXPECT_EQ("4011 no mailbox selected", Ask(c.get(), "STAT"));
  c->Send("SHOW\r\n");
  EXPECT_EQ(std::vector<std::string>({"2002 4 mailboxes", "2001 INBOX", "2001 Archive/",
                                      "2001 Archive/2024/", "2001 Archive/2024/Q1",
                                      "1000 end of mailboxes"}),
            [&] {
              std::vector<std::string> v{c->Line()};
              auto rest = c->UntilDone();
              v.insert(v.end(), rest.begin(), rest.end());
              return v;
            }());
}

TEST_F(Protocol, RemovalThatFailsSaysSoAndItsRemainsGoLater) {
  struct Row {
    const char* box;
    int spare;  // descriptors left to the process while RMOV runs
    const char* reply;
    bool listed;   // still a mailbox afterwards, message and all
    bool remains;  // a removal folder left in the user's folder
  } rows[] = {
      {"None", 0, "5000 mailbox could not be removed", true, false},
      {"One", 1, "5000 mailbox could not be removed", true, false},
      {"Two", 2, "5000 mailbox only partly removed: the rest is removed later", false, true},
      // Deeper than the descriptors left; the remains of "Two" go first.
      {"Forty", 40, "1000 mailbox removed", false, false},
  };
  for (const Row& r : rows) {
    std::string box = std::string("alice/.") + r.box;
    MakeMaildir(box);
    Deliver(box, "cur", "1700000009.M9P1.host:2,S", kThird);
    std::string deep = Path(box + "/tmp/d");
    for (int i = 0; i < 100; ++i, deep += "/d") ASSERT_EQ(0, mkdir(deep.c_str(), 0755));
  }
  // What a removal of an earlier run left is gone once the server starts.
  MakeMaildir("alice/zelm-removing.Old.1.1");
  Deliver("alice/zelm-removing.Old.1.1", "cur", "1.M1.h:2,S", kThird);
  StartServer();
  EXPECT_FALSE(FileExists(Path("alice/zelm-removing.Old.1.1")));
  auto c = Client();
  Ask(c.get(), "USER alice");
  auto remains = [&] {
    std::vector<DirEntry> entries;
    UniqueFd user(open(Path("alice").c_str(), O_RDONLY | O_DIRECTORY));
    ListDirectory(user.Get(), &entries);
    return std::any_of(entries.begin(), entries.end(),
                       [](const DirEntry& e) { return e.name.find("zelm-removing.") == 0; });
  };
  for (const Row& r : rows) {
    std::string reply;
    {
      DescriptorFill fill(r.spare);
      c->Send(std::string("RMOV ") + r.box + "\r\n");
      reply = c->Line();
    }
    EXPECT_EQ(r.reply, reply) << r.box;
    c->Send("SHOW\r\n");
    std::vector<std::string> show = c->UntilDone();
    EXPECT_EQ(r.listed, std::count(show.begin(), show.end(), std::string("2001 ") + r.box) == 1)
        << r.box;
    EXPECT_EQ(r.listed,
              FileExists(Path(std::string("alice/.") + r.box + "/cur/1700000009.M9P1.host:2,S")))
        << r.box;
    EXPECT_EQ(r.remains, remains()) << r.box;
  }
}

TEST_F(Protocol, MessageThatVanishesOrChangesAfterListing) {
  StartServer();
  auto c = Client();
  List(c.get(), "alice", "INBOX");
  // Flags changed by someone else: found again under its new name.
  ASSERT_EQ(0, rename(Path("alice/new/1700000002.M2P1.host").c_str(),
                      Path("alice/cur/1700000002.M2P1.host:2,FS").c_str()));
  std::string ainfo = Ask(c.get(), "AINFO 2");
  EXPECT_EQ(0u, ainfo.find("2001 2 ")) << ainfo;
  EXPECT_NE(std::string::npos, ainfo.find(" 5 ")) << ainfo;  // read + flagged
  // Gone.
  unlink(Path("alice/cur/1700000003.M3P1.host:2,T").c_str());
  for (const char* cmd : {"AINFO 3", "HEAD 3", "BODY 3", "BRAW 3 0 5"})
    EXPECT_EQ("4015 message no longer exists", Ask(c.get(), cmd)) << cmd;
  c->Send("MIME 3\r\n");
  EXPECT_EQ(std::vector<std::string>({"4015 message no longer exists", "1000 end of structure"}),
            c->UntilDone());
  // Rewritten in place.
  Deliver("alice", "cur", "1700000001.M1P1.host:2,RS", std::string(kFirst) + "tampered\n");
  EXPECT_EQ("4015 message has changed since it was listed", Ask(c.get(), "AINFO 1"));
  EXPECT_EQ("4015 message has changed since it was listed", Ask(c.get(), "BODY 1"));
}

TEST_F(Protocol, ErrorsLeaveTheConnectionUsable) {
  StartServer();
  auto c = Client();
  struct Row {
    std::string command, reply;
  } rows[] = {
      {"HELLO", "4000 unknown command"},
      {"", "4000 unknown command"},
      {"USER", "4001 USER needs an argument"},
      {"FLAG x", "4001 usage: FLAG number"},
      {"FLAG 4294967296", "4001 usage: FLAG number"},
      {"RSET ALL", "4001 usage: RSET or RSET MBOX"},
      {"INFO", "4010 no user selected"},
      {"AINFO 1", "4010 no user selected"},
      {"AINFO x", "4010 no user selected"},
      {std::string("US\0ER alice", 11), "4003 malformed command"},
      {"USER \x01", "4003 malformed command"},
  };
  for (const Row& r : rows) EXPECT_EQ(r.reply, Ask(c.get(), r.command)) << r.command;
  c->Send("ulist extra\r\n");
  EXPECT_EQ(std::vector<std::string>({"4001 ULIST takes no arguments", "1000 end"}), c->UntilDone());
  Ask(c.get(), "USER alice");
  EXPECT_EQ("4011 no mailbox selected", Ask(c.get(), "INFO"));
  Ask(c.get(), "MBOX INBOX");
  EXPECT_EQ("4014 no such message (no INFO yet)", Ask(c.get(), "AINFO 1"));
  EXPECT_EQ("4001 bad message number", Ask(c.get(), "AINFO 1x"));
  // A line longer than the command buffer: refused once, the next one served.
  c->Send(std::string(kMaxCommandLine + 1, 'A') + "\r\n");
  EXPECT_EQ("4002 command line too long", c->Line());
  c->Send(std::string(100000, 'B') + "\r\nCAPA\r\n");
  EXPECT_EQ("4002 command line too long", c->Line());
  EXPECT_EQ("2001 IMPLEMENTATION zelmstored 1.0", c->Line());
  c->UntilDone();
  // A line exactly at the limit is read as a command.
  EXPECT_EQ("4016 user name refused", Ask(c.get(), "USER " + std::string(kMaxCommandLine - 5, 'u')));
  // Lowercase commands and bare LF line ends are accepted.
  c->Send("rset\nulist\n");
  EXPECT_EQ("1000 selection cleared", c->Line());
  EXPECT_EQ("2001 alice", c->Line());
  c->UntilDone();
  EXPECT_EQ("1000 goodbye", Ask(c.get(), "QUIT"));
  EXPECT_TRUE(c->Closed());
}

TEST_F(Protocol, HalfClosedClientGetsItsAnswers) {
  StartServer();
  auto c = Client();
  c->Send("ULIST\r\nCAPA");  // the last command never ends
  c->ShutdownWrite();
  EXPECT_EQ("2001 alice", c->Line());
  c->UntilDone();
  EXPECT_TRUE(c->Closed());
}

TEST_F(Protocol, ShellBatchesAreAnsweredInOrder) {
  StartServer();
  auto c = Client();
  c->Send("RSET MBOX\r\nUSER alice\r\nMBOX Archive/2024\r\nFLAG 2147483648\r\nINFO\r\n"
          "STAT\r\nRSET MBOX\r\nRMOV Archive/2024/Q1\r\n");
  EXPECT_EQ("1000 mailbox selection cleared", c->Line());
  EXPECT_EQ("1000 user selected", c->Line());
  EXPECT_EQ("1000 mailbox selected", c->Line());
  EXPECT_EQ("1000 listing flags set", c->Line());
  EXPECT_EQ("2002 0 messages", c->Line());
  EXPECT_EQ("1000 end of messages", c->Line());
  EXPECT_EQ("1000 Archive/2024 0 0 0 0", c->Line());
  EXPECT_EQ("1000 mailbox selection cleared", c->Line());
  EXPECT_EQ("1000 mailbox removed", c->Line());
}

TEST_F(Protocol, AListingLongerThanOnePieceComesWholeAndInOrder) {
  // 1,100 lines of over 250 bytes: the listing leaves in several pieces,
  // between the answers pipelined before and after it; its index file is
  // written in several too, and read back after a restart.
  MakeMaildir("long");
  const std::string subject(200, 's');
  const std::string message =
      "From: someone.with.a.long.name@example.org\nSubject: " + subject + "\n\nx\n";
  for (int i = 0; i < 1100; ++i)
    Deliver("long", "cur", std::to_string(1700000000 + i) + ".M.h:2,S", message);
  StartServer();
  auto c = Client();
  c->Send("USER long\r\nMBOX INBOX\r\nSTAT\r\nINFO\r\nSTAT\r\n");
  EXPECT_EQ("1000 user selected", c->Line());
  EXPECT_EQ("1000 mailbox selected", c->Line());
  std::string stat = c->Line();
  EXPECT_EQ(0u, stat.find("1000 INBOX 1100 ")) << stat;
  EXPECT_EQ("2002 1100 messages", c->Line());
  std::vector<std::string> lines;
  size_t bytes = 0;
  for (int n = 1; n <= 1100; ++n) {
    lines.push_back(c->Line());
    bytes += lines.back().size() + 2;
    ASSERT_EQ(0u, lines.back().find(std::to_string(n) + " ")) << lines.back();
    ASSERT_NE(std::string::npos, lines.back().find(" " + subject + " ")) << n;
  }
  EXPECT_GT(bytes, 256u * 1024);  // more than one piece
  EXPECT_EQ("1000 end of messages", c->Line());
  EXPECT_EQ(stat, c->Line());
  EXPECT_GT(ReadFileText(Path("long/zelm-index")).size(), 256u * 1024);
  // Every answer is kept in the index file; answers damaged there are worked
  // out again, the entries (their IDs) kept.
  std::vector<std::string> answer;
  for (const MimeLine& l : DescribeMime(message)) answer.push_back(FormatMimeLine(l));
  answer.push_back("1000 end of structure");
  for (bool damage : {false, true}) {
    c.reset();
    StopServer();
    std::string index = ReadFileText(Path("long/zelm-index"));
    size_t kept = 0;
    for (size_t at = 0; (at = index.find(" " + subject + " ", at)) != std::string::npos;) {
      at += subject.size() + 2;
      size_t end = index.find(' ', at);
      kept += index.compare(at, end - at, "-") != 0;
      if (damage) index.replace(at, end - at, "AQM");  // a line of no kind
    }
    EXPECT_EQ(1100u, kept);
    if (damage) std::ofstream(Path("long/zelm-index"), std::ios::binary) << index;
    StartServer();
    c = Client();
    EXPECT_EQ(lines, List(c.get(), "long", "INBOX"));
    for (int n : {1, 1100}) {
      c->Send("MIME " + std::to_string(n) + "\r\n");
      EXPECT_EQ(answer, c->UntilDone()) << n;
    }
  }
}

TEST_F(Protocol, SlowClientsDoNotStallOthers) {
  // Enough mail that a client which never reads fills its socket buffers.
  MakeMaildir("big");
  std::string bigBody(200000, 'x');
  for (int i = 0; i < 20; ++i)
    Deliver("big", "cur", "17000" + std::to_string(10 + i) + ".M.h:2,S",
            "Subject: " + std::to_string(i) + "\n\n" + bigBody + "\n");
  StartServer();
  auto stuck = Client();  // sends half a command and waits
  stuck->Send("ULI");
  auto greedy = Client();  // asks for megabytes and reads nothing
  List(greedy.get(), "big", "INBOX");
  std::string flood;
  for (int i = 0; i < 50; ++i) flood += "BODY " + std::to_string(i % 20 + 1) + "\r\n";
  greedy->Send(flood);
  std::atomic<int> served{0};
  std::vector<std::future<void>> others;
  for (int i = 0; i < 8; ++i) {
    others.push_back(std::async(std::launch::async, [&] {
      TestClient c;
      if (!c.Connect(address_, 999) || c.Line() != "1000 zelmstored ready") return;
      c.Send("ULIST\r\n");
      if (c.UntilDone().back() == "1000 4 users") served.fetch_add(1);
    }));
  }
  for (auto& f : others) f.wait();
  EXPECT_EQ(8, served.load());
  stuck->Send("ST\r\n");
  EXPECT_EQ("2001 alice", stuck->Line());
}

TEST_F(Protocol, StoppingTheServerEndsEveryClient) {
  StartServer();
  auto a = Client();
  auto b = Client();
  a->Send("USER al");  // mid-command
  StopServer();
  EXPECT_TRUE(a->Closed());
  EXPECT_TRUE(b->Closed());
}

}  // namespace
