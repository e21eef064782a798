// Names and links that try to leave the store, untrusted clients, junk.
#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "store_fixture.h"

namespace {

class Safety : public StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    MakeMaildir("alice");
    Deliver("alice", "cur", "1.M1.h:2,S", "Subject: mine\n\nhello\n");
    MakeMaildir("alice/.Sent");
    // A Maildir outside the store with a secret in it.
    mkdir((outside_ + "/box").c_str(), 0755);
    for (const char* sub : {"/cur", "/new", "/tmp"}) mkdir((outside_ + "/box" + sub).c_str(), 0755);
    secret_ = outside_ + "/box/cur/2.M2.h:2,S";
    FILE* f = fopen(secret_.c_str(), "w");
    fputs("Subject: SECRET\n\nsecret body\n", f);
    fclose(f);
  }
  bool OutsideIntact() {
    return ReadFileText(secret_) == "Subject: SECRET\n\nsecret body\n" &&
           FileExists(outside_ + "/box/new");
  }
  std::string secret_;
};

TEST_F(Safety, NamesLeavingTheStoreAreRefused) {
  StartServer();
  auto c = Client();
  for (const char* user : {"..", ".", "../outside", "alice/..", "a/b", ".alice", "/etc"})
    EXPECT_EQ("4016 user name refused", Ask(c.get(), std::string("USER ") + user)) << user;
  Ask(c.get(), "USER alice");
  for (const char* box : {"..", "../..", "../../outside/box", "Sent/..", "/Sent", "a..b", ".Sent",
                          "Sent/../../x", "INBOX/../.."}) {
    EXPECT_EQ("4016 mailbox name refused", Ask(c.get(), std::string("MBOX ") + box)) << box;
    EXPECT_EQ("4016 mailbox name refused", Ask(c.get(), std::string("RMOV ") + box)) << box;
  }
  EXPECT_TRUE(FileExists(Path("alice/.Sent/cur")));
  EXPECT_TRUE(FileExists(Path("alice/cur")));
  EXPECT_TRUE(OutsideIntact());
}

TEST_F(Safety, LinksAreNeverFollowed) {
  // A user, a mailbox, a message and a Maildir's cur/ that are links to the outside.
  ASSERT_EQ(0, symlink((outside_ + "/box").c_str(), Path("eve").c_str()));
  ASSERT_EQ(0, symlink((outside_ + "/box").c_str(), Path("alice/.Linked").c_str()));
  ASSERT_EQ(0, symlink(secret_.c_str(), Path("alice/cur/3.M3.h:2,S").c_str()));
  mkdir(Path("mallory").c_str(), 0755);
  ASSERT_EQ(0, symlink((outside_ + "/box/cur").c_str(), Path("mallory/cur").c_str()));
  mkdir(Path("mallory/new").c_str(), 0755);
  StartServer();
  auto c = Client();
  c->Send("ULIST\r\n");
  EXPECT_EQ(std::vector<std::string>({"2001 alice", "2001 mallory", "1000 2 users"}),
            c->UntilDone());
  EXPECT_EQ("4012 no such user", Ask(c.get(), "USER eve"));
  c->Send("USER mallory\r\nSHOW\r\n");
  c->Line();
  EXPECT_EQ("2002 0 mailboxes", c->Line());
  c->UntilDone();
  EXPECT_EQ("4013 no such mailbox", Ask(c.get(), "MBOX INBOX"));

  c->Send("RSET\r\nUSER alice\r\nSHOW\r\n");
  c->Line();
  c->Line();
  EXPECT_EQ("2002 2 mailboxes", c->Line());  // INBOX and Sent, not Linked
  c->UntilDone();
  EXPECT_EQ("4013 no such mailbox", Ask(c.get(), "MBOX Linked"));
  std::vector<std::string> inbox = List(c.get(), "alice", "INBOX");
  ASSERT_EQ(1u, inbox.size());  // the linked message is not listed
  EXPECT_NE(std::string::npos, inbox[0].find(" mine "));
  // A message swapped for a link after the listing is not read.
  ASSERT_EQ(0, unlink(Path("alice/cur/1.M1.h:2,S").c_str()));
  ASSERT_EQ(0, symlink(secret_.c_str(), Path("alice/cur/1.M1.h:2,S").c_str()));
  EXPECT_EQ("4015 message no longer exists", Ask(c.get(), "BODY 1"));
  // Removing a linked mailbox removes nothing outside; RMOV finds no mailbox.
  c->Send("RSET MBOX\r\nRMOV Linked\r\n");
  c->Line();
  EXPECT_EQ("4013 no such mailbox", c->Line());  // a link is no mailbox of the store
  EXPECT_TRUE(FileExists(Path("alice/.Linked")));
  EXPECT_TRUE(OutsideIntact());
}

TEST_F(Safety, RemovingAMailboxDoesNotFollowLinksInside) {
  ASSERT_EQ(0, symlink((outside_ + "/box").c_str(), Path("alice/.Sent/cur/escape").c_str()));
  ASSERT_EQ(0, symlink(outside_.c_str(), Path("alice/.Sent/tmp/up").c_str()));
  StartServer();
  auto c = Client();
  Ask(c.get(), "USER alice");
  EXPECT_EQ("1000 mailbox removed", Ask(c.get(), "RMOV Sent"));
  EXPECT_FALSE(FileExists(Path("alice/.Sent")));
  EXPECT_TRUE(OutsideIntact());
  // The user folder and INBOX are never removed.
  EXPECT_EQ("4017 INBOX cannot be removed", Ask(c.get(), "RMOV INBOX"));
  EXPECT_EQ("4001 RMOV needs an argument", Ask(c.get(), "RMOV "));
  EXPECT_TRUE(FileExists(Path("alice/cur/1.M1.h:2,S")));
}

TEST_F(Safety, RemovingRefusesFoldersThatAreNoMailbox) {
  // What MBOX calls no mailbox RMOV must not remove, whatever is inside.
  struct Row {
    const char* box;
    const char* folders[2];
    const char* file;  // made as a plain file instead of a folder
    bool linkedCur;
  } rows[] = {
      {"NoCur", {"new", nullptr}, nullptr, false},
      {"NoNew", {"cur", nullptr}, nullptr, false},
      {"NewIsAFile", {"cur", nullptr}, "new", false},
      {"CurIsALink", {"new", nullptr}, nullptr, true},
  };
  for (const Row& r : rows) {
    std::string box = Path(std::string("alice/.") + r.box);
    ASSERT_EQ(0, mkdir(box.c_str(), 0755));
    for (const char* f : r.folders) {
      if (f) {
        ASSERT_EQ(0, mkdir((box + "/" + f).c_str(), 0755));
      }
    }
    if (r.file) Deliver(std::string("alice/.") + r.box, ".", r.file, "x");
    if (r.linkedCur) {
      ASSERT_EQ(0, symlink(Path("alice/.Sent/cur").c_str(), (box + "/cur").c_str()));
    }
    Deliver(std::string("alice/.") + r.box, ".", "stray", "keep me\n");
  }
  Deliver("alice/.Sent", "cur", "5.M5.h:2,S", "Subject: sent\n\nsent\n");
  StartServer();
  auto c = Client();
  Ask(c.get(), "USER alice");
  for (const Row& r : rows) {
    EXPECT_EQ("4013 no such mailbox", Ask(c.get(), std::string("MBOX ") + r.box)) << r.box;
    EXPECT_EQ("4013 no such mailbox", Ask(c.get(), std::string("RMOV ") + r.box)) << r.box;
    EXPECT_EQ("keep me\n", ReadFileText(Path(std::string("alice/.") + r.box + "/stray"))) << r.box;
  }
  EXPECT_TRUE(FileExists(Path("alice/.Sent/cur/5.M5.h:2,S")));
}

TEST_F(Safety, UntrustedClientsAreTurnedAway) {
  std::string error;
  ASSERT_TRUE(ApplySetting(&config_, "trusted", "10.0.0.0/8", &error));
  StartServer();
  TestClient c;
  ASSERT_TRUE(c.Connect(address_, 999));
  EXPECT_EQ("5001 access denied", c.Line());
  EXPECT_TRUE(c.Closed());
}

TEST_F(Safety, ClientLimitAndDisabledService) {
  config_.maxClients = 1;
  StartServer();
  auto first = Client();
  TestClient second;
  ASSERT_TRUE(second.Connect(address_, 999));
  EXPECT_EQ("5001 too many connections", second.Line());
  EXPECT_EQ("1000 1 users", [&] {
    first->Send("ULIST\r\n");
    return first->UntilDone().back();
  }());
  StopServer();
  config_.disabled = true;
  StartServer();
  TestClient third;
  ASSERT_TRUE(third.Connect(address_, 999));
  EXPECT_EQ("5001 service disabled", third.Line());
  EXPECT_TRUE(third.Closed());
}

TEST_F(Safety, BinaryJunkGetsErrorsNotACrash) {
  StartServer();
  auto c = Client();
  std::mt19937 gen(12345);
  std::string junk;
  for (int i = 0; i < 200000; ++i) junk += static_cast<char>(gen() & 0xFF);
  c->Send(junk + "\r\n");
  // However the junk splits into lines, every line gets one error reply.
  size_t lines = 0;
  for (char ch : junk) lines += ch == '\n';
  for (size_t i = 0; i <= lines; ++i) {
    std::string reply = c->Line();
    ASSERT_EQ('4', reply[0]) << i << ": " << reply;
  }
  EXPECT_EQ("1000 user selected", Ask(c.get(), "USER alice"));
}

TEST_F(Safety, IdleClientsAreDropped) {
  config_.idleSeconds = 1;
  StartServer();
  auto c = Client();
  EXPECT_EQ("5001 idle timeout", c->Line());
  EXPECT_TRUE(c->Closed());
}

}  // namespace
