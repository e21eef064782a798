// The server taking its configuration from a real directory database: store
// path, trusted hosts, quota and the disabled flags, notices and the change
// flag, the status it writes back, and what it refuses to work with.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

#include "backend.h"
#include "dir_fixture.h"
#include "directory_values.h"
#include "ldap_map.h"
#include "slapd_fixture.h"
#include "netcalls_wire.h"
#include "store_fixture.h"

namespace {

namespace dt = zelm::dir::testing;

const char kAgent[] = "ZELM Agent.MS1.Internet Services";
const char kServer[] = "MS1.Internet Services";

// Polls for up to 10 s: the server takes some changes on its own thread.
bool WaitFor(const std::function<bool()>& done) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// The server taking its configuration from the engine's file, or (the
// suites over both) from a slapd holding the same tree, edited there by the
// administrator as another client.
class DirectoryConfig : public StoreFixture {
 protected:
  virtual bool OverLdap() const { return false; }
  void SetUp() override {
    if (OverLdap())
      if (const char* no = std::getenv("ZELM_NO_SLAPD"); no && *no == '1')
        GTEST_SKIP() << "ZELM_NO_SLAPD=1: no slapd here";
    StoreFixture::SetUp();
    base_ = root_.substr(0, root_.rfind('/'));
    MakeMaildir("alice");
    Deliver("alice", "cur", "1700000001.M1P1.host:2,S", "Subject: one\n\nhello\n");
    MakeMaildir("bob");
    mkdir((base_ + "/other").c_str(), 0755);
    MakeMaildir("../other/carol");
    db_ = base_ + "/directory.zdb";
    config_.storeRoot.clear();
    config_.directory = db_;
    config_.serverObject = "FS1.Acme";
    config_.identity = "Zelmstored.Acme";
  }
  void TearDown() override {
    StopServer();
    edit_.reset();
    dir_.reset();
    slapd_.reset();
    StoreFixture::TearDown();
  }

  // Makes the directory; tests change the text first when they need to.
  // Over LDAP the server binds with its identity's password from a file.
  void MakeDirectory() {
    dir_ = dt::MakeDirectory(db_, tree_.empty() ? Tree() : tree_);
    ASSERT_TRUE(dir_);
    if (!OverLdap()) {
      edit_ = zelm::dir::EngineBackend(dir_, db_, zelm::dir::Caller::System());
      return;
    }
    std::string ldif;
    dir_->Inspect(zelm::dir::Caller::System(),
                  [&](const zelm::dir::Tree& t) { ldif = zelm::dir::TreeToLdif(t, "o=Zelm"); });
    WriteFile(base_ + "/tree.ldif", ldif, 0600);
    slapd_ = std::make_unique<dt::Slapd>();
    ASSERT_EQ(slapd_->Start(base_ + "/tree.ldif"), "");
    std::string error;
    ASSERT_EQ(zelm::dir::OpenBackend(slapd_->url(), "",
                                     dt::ReadFileText(slapd_->adminPasswordFile()), false, &edit_,
                                     &error), 0) << error;
    config_.directory = slapd_->url();
    config_.passwordFile = base_ + "/zelmstored.pw";
    WriteFile(config_.passwordFile, "zelmstored\n", 0600);
  }
  void Start() {
    if (!edit_) MakeDirectory();
    StartServer();
  }
  static void WriteFile(const std::string& path, const std::string& text, mode_t mode) {
    std::ofstream(path, std::ios::trunc) << text;
    chmod(path.c_str(), mode);
  }

  std::string Tree() const {
    return "supervisor Admin.Acme\n"
           "object [Root]\n"
           "    grant [Public] : [Entry Rights] = browse\n"
           "    grant [Public] : [All Attributes Rights] = compare read\n"
           "object Acme : Organization\n"
           "object Admin.Acme : User\n"
           "object Zelmstored.Acme : User\n"
           "    Password = zelmstored\n"
           "object Joe.Acme : User\n"
           "    Password = zelmstored\n"
           "object Sales.Acme : Organizational Unit\n"
           "object Alice.Sales.Acme : User\n"
           "    Quorvel:Use Quota = 1\n"
           "    Quorvel:Quota Value = 77\n"
           "object Bob.Sales.Acme : User\n"
           "    Quorvel:Use Quota = 0\n"
           "    Quorvel:Quota Value = 99\n"
           "object FS1.Acme : HVX Server\n"
           "    Network Address = " + address_ + "\n"
           "    Volume = MAIL=" + base_ + "\n"
           "    Quorvel:Messaging Server = .MS1.Internet Services\n"
           "object FS2.Acme : HVX Server\n"
           "    Volume = MAIL=" + base_ + "\n"
           "object Internet Services : Quorvel:Services\n"
           "    grant Zelmstored.Acme : Quorvel:Config Changed = compare read write\n"
           "    grant Zelmstored.Acme : Quorvel:Server Status = compare read write\n"
           "    grant Zelmstored.Acme : Quorvel:IP Address = compare read write\n"
           "object MS0.Internet Services : Quorvel:Messaging Server\n"
           "    Quorvel:Host = FS2.Acme\n"
           "object MS1.Internet Services : Quorvel:Messaging Server\n"
           "    Quorvel:Host = .FS1.Acme\n"
           "    Quorvel:Context = Sales.Acme\n"
           "    Quorvel:Config Changed = 1\n"
           "object ZELM Agent.MS1.Internet Services : Quorvel:ZELM Agent\n"
           "    Quorvel:Module Name = STORAGNT.QMD\n"
           "    Quorvel:Message Store = FS1/MAIL:store\n"
           "    Quorvel:Config Changed = 1\n";
  }

  std::vector<std::string> Values(const std::string& object, const std::string& attribute) {
    std::vector<zelm::dir::AttributeValues> read;
    return edit_->Read(object, {attribute}, &read) == 0 ? read[0].values
                                                        : std::vector<std::string>();
  }
  std::string First(const std::string& object, const std::string& attribute) {
    std::vector<std::string> v = Values(object, attribute);
    return v.empty() ? "<none>" : v[0];
  }
  // Replaces an attribute's values, as a page's apply would.
  void Set(const std::string& object, const std::string& attribute,
           const std::vector<std::string>& values) {
    std::vector<zelm::dir::Change> changes;
    if (!Values(object, attribute).empty())
      changes.push_back({zelm::dir::kChangeRemoveAttribute, attribute, {}});
    std::vector<zelm::dir::ValueIn> in;
    for (const std::string& v : values) in.push_back(dt::Text(v));
    if (!in.empty()) changes.push_back({zelm::dir::kChangeAddValue, attribute, in});
    ASSERT_EQ(0, edit_->Modify(object, changes)) << attribute << " " << edit_->lastError();
  }
  // A change to the store agent followed by its notice, as the pages send it.
  void Change(const std::string& attribute, const std::vector<std::string>& values,
              uint32_t code = 3) {
    Set(kAgent, attribute, values);
    ASSERT_EQ(NCW_OK, SendNotice(code, "STORAGNT.QMD"));
  }

  // The store port's greeting for a new client ("<refused>": nobody listens).
  std::string Greeting() {
    TestClient c;
    if (!c.Connect(address_, 999)) return "<refused>";
    return c.Line();
  }
  std::string Space(const std::string& user) {
    auto c = Client();
    Ask(c.get(), "USER " + user);
    return Ask(c.get(), "SPACE");
  }
  std::vector<std::string> Users() {
    auto c = Client();
    c->Send("ULIST\r\n");
    return c->UntilDone();
  }

  std::string base_, db_, tree_;
  std::shared_ptr<zelm::dir::Directory> dir_;   // the file, and the tree's source
  std::unique_ptr<dt::Slapd> slapd_;            // over LDAP
  std::unique_ptr<zelm::dir::Backend> edit_;    // as another client with every right
};

// The suites that run over both backends.
class DirectoryConfigOn : public DirectoryConfig, public ::testing::WithParamInterface<bool> {
 protected:
  bool OverLdap() const override { return GetParam(); }
};
INSTANTIATE_TEST_SUITE_P(Backends, DirectoryConfigOn, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) {
                           return i.param ? "Ldap" : "File";
                         });

TEST_P(DirectoryConfigOn, StartTakesTheStoreAndWritesTheStatusBack) {
  Start();
  EXPECT_EQ(std::vector<std::string>({"2001 alice", "2001 bob", "1000 2 users"}), Users());
  EXPECT_EQ("Up", First(kServer, "Quorvel:Server Status"));
  EXPECT_EQ(address_, First(kServer, "Quorvel:IP Address"));
  // What was flagged before the start has been taken with it.
  EXPECT_EQ("0", First(kServer, "Quorvel:Config Changed"));
  EXPECT_EQ("0", First(kAgent, "Quorvel:Config Changed"));
  EXPECT_EQ("<none>", First("MS0.Internet Services", "Quorvel:Server Status"));
  auto c = Client();
  c->Send("CONF\r\n");
  std::vector<std::string> conf = c->UntilDone();
  EXPECT_NE(conf.end(), std::find(conf.begin(), conf.end(), "2001 Store root:" + root_));
  EXPECT_NE(conf.end(),
            std::find(conf.begin(), conf.end(), "2001 Directory:" + config_.directory + " (FS1.Acme)"));
}

TEST_P(DirectoryConfigOn, TrustedHostsRestrictWhoMayBrowse) {
  Start();
  auto browsing = Client();
  Change("Quorvel:ZELM Trusted Hosts", {"10.1.2.3", "192.168.0.0/16"});
  EXPECT_TRUE(browsing->Closed());  // no longer trusted: ended at once
  EXPECT_EQ("5001 access denied", Greeting());
  EXPECT_TRUE(server_->Notices().back().taken);

  Change("Quorvel:ZELM Trusted Hosts", {"10.1.2.3", "127.0.0.1"});
  EXPECT_EQ("1000 zelmstored ready", Greeting());
  auto staying = Client();
  Change("Quorvel:ZELM Trusted Hosts", {"127.0.0.0/8"});
  staying->Send("ULIST\r\n");  // still trusted: kept
  EXPECT_EQ("1000 2 users", staying->UntilDone().back());

  // Values that are no address are left out; with none left nobody is trusted.
  Change("Quorvel:ZELM Trusted Hosts", {"localhost", "127.0.0.1, 10.0.0.1"});
  EXPECT_EQ("5001 access denied", Greeting());
  Change("Quorvel:ZELM Trusted Hosts", {});  // none: the command line's list (loopback)
  EXPECT_EQ("1000 zelmstored ready", Greeting());
}

TEST_F(DirectoryConfig, NoticesForOtherModulesTakeNothing) {
  Start();
  uint64_t taken = server_->ConfigurationsTaken();
  Set(kAgent, "Quorvel:ZELM Trusted Hosts", {"10.1.2.3"});
  ASSERT_EQ(NCW_OK, SendNotice(3, "SMTPAGNT.QMD"));
  EXPECT_FALSE(server_->Notices().back().taken);
  EXPECT_EQ(taken, server_->ConfigurationsTaken());
  EXPECT_EQ("1000 zelmstored ready", Greeting());
  ASSERT_EQ(NCW_OK, SendNotice(3, "storagnt.qmd"));  // names are compared ignoring case
  EXPECT_EQ("5001 access denied", Greeting());
}

TEST_P(DirectoryConfigOn, QuotaIsTheLimitSpaceShows) {
  config_.quotaKb = 9;  // the command line's, while the directory sets none
  Start();
  EXPECT_EQ("1000 0 9", Space("bob"));
  Change("Quorvel:Quota Value", {"5120"});
  Change("Quorvel:Use Quota", {"2"});
  EXPECT_EQ("1000 0 5120", Space("bob"));
  EXPECT_EQ("1000 1 5120", Space("alice"));
  // Per-user quotas: Alice.Sales.Acme (a context of the server) has her own.
  Change("Quorvel:Use Quota", {"3"});
  EXPECT_EQ("1000 1 77", Space("alice"));
  EXPECT_EQ("1000 0 5120", Space("bob"));  // Bob's own is switched off
  Change("Quorvel:Use Quota", {"1"});
  EXPECT_EQ("1000 0 0", Space("bob"));
  Change("Quorvel:Use Quota", {"2"});
  Change("Quorvel:Quota Value", {"4294967296"});  // more than the client reads: no limit
  EXPECT_EQ("1000 0 0", Space("bob"));
  Change("Quorvel:Quota Value", {"4294967295"});
  EXPECT_EQ("1000 0 4294967295", Space("bob"));
}

TEST_P(DirectoryConfigOn, DisablingTheAgentStopsServingAndEnablingServesAgain) {
  Start();
  auto browsing = Client();
  Change("Quorvel:Disabled", {"1"}, 2);
  EXPECT_TRUE(browsing->Closed());
  EXPECT_EQ("5001 service disabled", Greeting());
  EXPECT_EQ("Disabled", First(kServer, "Quorvel:Server Status"));
  Change("Quorvel:Disabled", {"0"}, 1);
  EXPECT_EQ("1000 zelmstored ready", Greeting());
  EXPECT_EQ("Up", First(kServer, "Quorvel:Server Status"));
}

TEST_P(DirectoryConfigOn, TheMessagingServerIsDisabledThroughItsModule) {
  Start();
  auto w = Wire();
  // The status page writes the flag, then unloads or loads the module.
  Set(kServer, "Quorvel:Disabled", {"1"});
  EXPECT_EQ(NCW_OK, w->Module(NCW_UNLOAD, "MSGSRV").Status());
  EXPECT_EQ("<refused>", Greeting());
  EXPECT_EQ("Unloaded", First(kServer, "Quorvel:Server Status"));
  // Loading reads the configuration: still disabled, so loaded but not serving.
  EXPECT_EQ(NCW_OK, w->Module(NCW_LOAD, "MSGSRV").Status());
  EXPECT_EQ("5001 service disabled", Greeting());
  EXPECT_EQ("Disabled", First(kServer, "Quorvel:Server Status"));
  Set(kServer, "Quorvel:Disabled", {"0"});
  EXPECT_EQ(NCW_OK, w->Module(NCW_LOAD, "MSGSRV").Status());
  EXPECT_EQ("1000 zelmstored ready", Greeting());
  EXPECT_EQ("Up", First(kServer, "Quorvel:Server Status"));
  StopServer();
  EXPECT_EQ("Down", First(kServer, "Quorvel:Server Status"));
}

TEST_P(DirectoryConfigOn, TheChangeFlagSetAfterANoticeIsCleared) {
  Start();
  ASSERT_EQ("0", First(kAgent, "Quorvel:Config Changed"));
  uint64_t taken = server_->ConfigurationsTaken();
  // The snap-in notifies first and sets the flag just after.
  Set(kAgent, "Quorvel:ZELM Trusted Hosts", {"10.9.9.9"});
  ASSERT_EQ(NCW_OK, SendNotice(3, "STORAGNT.QMD"));
  Set(kAgent, "Quorvel:Config Changed", {"1"});
  EXPECT_TRUE(WaitFor([&] { return First(kAgent, "Quorvel:Config Changed") == "0"; }));
  EXPECT_GE(server_->ConfigurationsTaken(), taken + 2);
  EXPECT_EQ("5001 access denied", Greeting());
}

TEST_P(DirectoryConfigOn, WatchingTakesChangesWithoutNotices) {
  config_.watchDirectory = true;
  Start();
  // Values another client changes, with no change flag.
  Set(kServer, "Quorvel:Disabled", {"1"});
  EXPECT_TRUE(WaitFor([&] { return Greeting() == "5001 service disabled"; }));
  Set(kServer, "Quorvel:Disabled", {"0"});
  EXPECT_TRUE(WaitFor([&] { return Greeting() == "1000 zelmstored ready"; }));
  Set(kAgent, "Quorvel:ZELM Trusted Hosts", {"10.9.9.9"});
  Set(kAgent, "Quorvel:Config Changed", {"1"});
  EXPECT_TRUE(WaitFor([&] { return First(kAgent, "Quorvel:Config Changed") == "0"; }));
  EXPECT_EQ("5001 access denied", Greeting());
  EXPECT_TRUE(server_->Notices().empty());
}

TEST_F(DirectoryConfig, AStorePathThatCannotBeUsedLeavesTheStoreDown) {
  Start();
  struct Row {
    const char* value;
    const char* why;
  } rows[] = {
      {"FS2/MAIL:store", "another server"},
      {"FS1/SYS:store", "no volume SYS"},
      {"FS1/MAIL:../outside", "not allowed"},
      {"FS1/MAIL:store/./x", "not allowed"},
      {"FS1:store", "not SERVER/VOLUME:path"},
      {"FS1/MAIL:missing", "cannot open"},
  };
  for (const Row& row : rows) {
    Change("Quorvel:Message Store", {row.value});
    EXPECT_EQ("<refused>", Greeting()) << row.value;
    EXPECT_NE(std::string::npos, server_->Unavailable().find(row.why))
        << row.value << ": " << server_->Unavailable();
    EXPECT_EQ("Down", First(kServer, "Quorvel:Server Status")) << row.value;
  }
  Change("Quorvel:Message Store", {"FS1\\MAIL:\\store\\"});
  EXPECT_EQ("1000 zelmstored ready", Greeting());
  EXPECT_EQ("Up", First(kServer, "Quorvel:Server Status"));
}

TEST_F(DirectoryConfig, MovingTheStoreEndsBrowsingClients) {
  Start();
  auto browsing = Client();
  Change("Quorvel:Message Store", {"FS1/MAIL:other"});
  EXPECT_TRUE(browsing->Closed());
  EXPECT_EQ(std::vector<std::string>({"2001 carol", "1000 1 users"}), Users());
}

TEST_P(DirectoryConfigOn, TheMessagingServerIsFoundWithoutItsBackReference) {
  MakeDirectory();
  Set("FS1.Acme", "Quorvel:Messaging Server", {".MS0.Internet Services"});  // wrong: names FS2
  Start();
  EXPECT_EQ("1000 zelmstored ready", Greeting());
  EXPECT_EQ("Up", First(kServer, "Quorvel:Server Status"));
  EXPECT_EQ("<none>", First("MS0.Internet Services", "Quorvel:Server Status"));
}

TEST_P(DirectoryConfigOn, WithoutAMessagingServerOrAgentNothingIsServed) {
  MakeDirectory();
  Set(kServer, "Quorvel:Host", {"FS2.Acme"});
  Start();
  EXPECT_EQ("<refused>", Greeting());
  EXPECT_NE(std::string::npos, server_->Unavailable().find("no messaging server has FS1.Acme"));
  // Naming the host again and notifying puts it right.
  Set(kServer, "Quorvel:Host", {"FS1.Acme"});
  ASSERT_EQ(NCW_OK, SendNotice(1, "STORAGNT.QMD"));
  EXPECT_EQ("1000 zelmstored ready", Greeting());
  ASSERT_EQ(0, edit_->Remove(kAgent));
  auto w = Wire();
  EXPECT_EQ(NCW_OK, w->Module(NCW_LOAD, "MSGSRV").Status());  // reads the configuration
  EXPECT_EQ("<refused>", Greeting());
  EXPECT_NE(std::string::npos, server_->Unavailable().find("has no store agent"));
  EXPECT_EQ("Down", First(kServer, "Quorvel:Server Status"));
}

TEST_F(DirectoryConfig, StartRefusesObjectsItCannotUse) {
  MakeDirectory();
  struct Row {
    const char* server;
    const char* identity;
    const char* error;
  } rows[] = {
      {"FS9.Acme", "", "no server object FS9.Acme"},
      {"Sales.Acme", "", "no server object Sales.Acme"},
      {"FS1.Acme", "Sales.Acme", "no user Sales.Acme"},
      {"FS1.Acme", "Nobody.Acme", "no user Nobody.Acme"},
  };
  for (const Row& row : rows) {
    StoreConfig c = config_;
    c.serverObject = row.server;
    c.identity = row.identity;
    StoreServer s(c);
    std::string error;
    EXPECT_FALSE(s.Start(&error)) << row.server;
    EXPECT_NE(std::string::npos, error.find(row.error)) << error;
  }
  StoreConfig c = config_;
  c.directory = base_ + "/missing.zdb";
  StoreServer s(c);
  std::string error;
  EXPECT_FALSE(s.Start(&error));
  EXPECT_NE(std::string::npos, error.find("cannot open the directory")) << error;
}

TEST_P(DirectoryConfigOn, AnIdentityWithoutWriteRightsReadsButWritesNothing) {
  config_.identity = "Joe.Acme";
  Start();
  EXPECT_EQ("1000 zelmstored ready", Greeting());
  EXPECT_EQ("<none>", First(kServer, "Quorvel:Server Status"));
  EXPECT_EQ("1", First(kAgent, "Quorvel:Config Changed"));  // not cleared: no right
}

TEST_F(DirectoryConfig, TheNetworkAddressSaysWhereToListen) {
  tree_ = Tree();
  // The request service moves to the port the address names.
  size_t at = tree_.find("Network Address = " + address_);
  tree_.replace(at, 18 + address_.size(), "Network Address = " + address_ + ":1998");
  MakeDirectory();
  Start();
  EXPECT_EQ(address_, server_->Base().listenAddress);
  EXPECT_EQ(1998, server_->Base().requestPort);
  WireClient w;
  ASSERT_TRUE(w.Connect(address_, 1998));
  EXPECT_EQ(NCW_OK, w.Lookup("Arbolin Messaging System").Status());
  EXPECT_EQ("1000 zelmstored ready", Greeting());
}

TEST_F(DirectoryConfig, WindowsWritersHoldTheServerOff) {
  Start();
  Set(kAgent, "Quorvel:ZELM Trusted Hosts", {"10.9.9.9"});
  // A Windows process locks one byte at 2^62 (what the directory engine does
  // under Wine); the server must wait for it before it reads or writes.
  int fd = open(db_.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = off_t(0x40000000) << 32;
  lock.l_len = 1;
  ASSERT_EQ(0, fcntl(fd, F_OFD_SETLK, &lock));
  auto w = Wire();
  w->SendFrame(NCW_SEND, [] {
    unsigned char fixed[12];
    ncw_put_u32(fixed, 7);
    ncw_put_u32(fixed + 4, 140);
    ncw_put_u32(fixed + 8, 140);
    return std::string(reinterpret_cast<char*>(fixed), 12) + NoticeBytes(3, "STORAGNT.QMD");
  }());
  pollfd p{w->Fd(), POLLIN, 0};
  EXPECT_EQ(0, poll(&p, 1, 300));  // the notice waits for the lock
  lock.l_type = F_UNLCK;
  ASSERT_EQ(0, fcntl(fd, F_OFD_SETLK, &lock));
  close(fd);
  EXPECT_EQ(NCW_OK, w->Read().Status());
  EXPECT_EQ("5001 access denied", Greeting());
}

class DirectoryConfigLdap : public DirectoryConfig {
 protected:
  bool OverLdap() const override { return true; }
};

TEST_F(DirectoryConfigLdap, TheReadingOverLdapIsTheFilesReading) {
  tree_ = Tree() +
          "    Quorvel:ZELM Trusted Hosts = 10.1.2.3\n"
          "    Quorvel:ZELM Trusted Hosts = 192.168.0.0/16\n"
          "    Quorvel:ZELM Trusted Hosts = not-an-address\n"
          "    Quorvel:Use Quota = 3\n"
          "    Quorvel:Quota Value = 2048\n";
  MakeDirectory();
  DirectoryLink file, ldap;
  std::string error;
  ASSERT_TRUE(file.Open(db_, "FS1.Acme", "Zelmstored.Acme", "", &error)) << error;
  ASSERT_TRUE(ldap.Open(config_.directory, ".FS1.Acme", "Zelmstored.Acme", config_.passwordFile,
                        &error)) << error;
  EXPECT_TRUE(ldap.OverLdap());
  EXPECT_EQ(address_, ldap.NetworkAddress());
  DirectoryReading a, b;
  ASSERT_TRUE(file.Read(config_, &a, &error)) << error;
  ASSERT_TRUE(ldap.Read(config_, &b, &error)) << error;
  EXPECT_EQ(a.config.storeRoot, root_);
  EXPECT_EQ(b.config.storeRoot, a.config.storeRoot);
  EXPECT_EQ(FormatTrustedList(b.config.trusted), "10.1.2.3/32,192.168.0.0/16");
  EXPECT_EQ(FormatTrustedList(b.config.trusted), FormatTrustedList(a.config.trusted));
  EXPECT_EQ(b.config.quotaKb, 2048u);
  EXPECT_EQ(b.config.userQuotaKb, a.config.userQuotaKb);
  EXPECT_EQ(b.config.userQuotaKb.count("alice"), 1u);
  EXPECT_EQ(b.config.disabled, a.config.disabled);
  EXPECT_EQ(b.messagingServer, a.messagingServer);
  EXPECT_EQ(b.storeAgent, a.storeAgent);
  EXPECT_EQ(b.storeModule, a.storeModule);
  EXPECT_EQ(b.unavailable, a.unavailable);
  EXPECT_EQ(b.notes, a.notes);
  ASSERT_EQ(b.changed.size(), a.changed.size());
  for (size_t i = 0; i < a.changed.size(); ++i) {
    EXPECT_EQ(b.changed[i].object, a.changed[i].object);
    EXPECT_EQ(b.changed[i].value, a.changed[i].value);
  }
}

// Over LDAP the server proves its identity with a password from a file only
// its owner may read; each way that fails is named, and the password is not.
TEST_F(DirectoryConfigLdap, LoginsThatFailAreNamedWithoutThePassword) {
  MakeDirectory();
  const std::string pw = base_ + "/pw";
  const std::string secret = "not-the-Secret-42";
  const std::string nobody = "ldap://127.0.0.1:" + std::to_string(dt::FreePort("127.0.0.1")) + "/o=Zelm";
  struct Row {
    const char* label;
    std::string file;  // written to pw first ("" = no file)
    mode_t mode;
    std::string passwordFile;
    std::string directory;
    const char* error;
  } rows[] = {
      {"readable by others", secret, 0644, pw, "", "refusing the password file"},
      {"writable by the group", secret, 0620, pw, "", "refusing the password file"},
      {"no file", "", 0600, pw + ".missing", "", "cannot read the password file"},
      {"no file named", secret, 0600, "", "", "needs --password-file"},
      {"empty", "\n", 0600, pw, "", "holds no password"},
      {"wrong password", secret, 0600, pw, "", "wrong password for Zelmstored.Acme"},
      {"nobody listening", "zelmstored", 0600, pw, nobody, "cannot open the directory"},
  };
  for (const Row& row : rows) {
    unlink(pw.c_str());
    if (!row.file.empty()) WriteFile(pw, row.file, row.mode);
    StoreConfig c = config_;
    c.passwordFile = row.passwordFile;
    if (!row.directory.empty()) c.directory = row.directory;
    StoreServer s(c);
    std::string error;
    EXPECT_FALSE(s.Start(&error)) << row.label;
    EXPECT_NE(std::string::npos, error.find(row.error)) << row.label << ": " << error;
    EXPECT_EQ(std::string::npos, error.find(secret)) << row.label << ": " << error;
  }
}

// A server configured from a replica takes what is written through the
// replica's provider, as it arrives.
TEST_F(DirectoryConfigLdap, AServerOnAReplicaTakesChangesMadeOnTheProvider) {
  MakeDirectory();
  dt::Slapd replica;
  ASSERT_EQ(replica.StartReplica(*slapd_), "");
  config_.directory = replica.url();
  config_.watchDirectory = true;
  std::unique_ptr<zelm::dir::Backend> copy;
  std::string error;
  ASSERT_EQ(zelm::dir::OpenBackend(replica.url(), "", dt::ReadFileText(slapd_->adminPasswordFile()),
                                   false, &copy, &error), 0) << error;
  zelm::dir::ObjectInfo info;
  EXPECT_TRUE(WaitFor([&] { return copy->Describe(kAgent, &info) == 0; }));
  StartServer();
  EXPECT_EQ("1000 zelmstored ready", Greeting());
  Set(kAgent, "Quorvel:ZELM Trusted Hosts", {"10.9.9.9"});
  EXPECT_TRUE(WaitFor([&] { return Greeting() == "5001 access denied"; }));
  // Its writes go to the provider, which the replica refers them to; it
  // says so and serves on.
  Set(kAgent, "Quorvel:ZELM Trusted Hosts", {});
  Set(kServer, "Quorvel:Disabled", {"1"});
  ASSERT_EQ(NCW_OK, SendNotice(3, "STORAGNT.QMD"));
  EXPECT_TRUE(WaitFor([&] { return Greeting() == "5001 service disabled"; }));
}

// The value readers, on their own.
TEST(DirectoryValues, StorePaths) {
  std::vector<std::string> volumes = {"SYS=volumes/FS1/SYS", "MAIL = /srv/mail "};
  struct Row {
    const char* value;
    const char* folder;  // nullptr: refused
  } rows[] = {
      {"FS1/MAIL:zelm", "/srv/mail/zelm"},
      {"fs1\\mail:zelm\\users", "/srv/mail/zelm/users"},
      {"FS1/MAIL:/zelm/", "/srv/mail/zelm"},
      {"FS1/MAIL:", "/srv/mail"},
      {"FS1/SYS:mail", "/db/volumes/FS1/SYS/mail"},
      {"FS2/MAIL:zelm", nullptr},
      {"FS1/DATA:zelm", nullptr},
      {"FS1/MAIL:a/../b", nullptr},
      {"FS1/MAIL:..", nullptr},
      {"FS1/MAIL:a//b", nullptr},
      {"FS1/MAIL:a/b:c", nullptr},
      {"FS1/MAIL:a\tb", nullptr},
      {"FS1:MAIL/zelm", nullptr},
      {"MAIL:zelm", nullptr},
      {"", nullptr},
  };
  for (const Row& row : rows) {
    std::string folder, error;
    bool ok = ResolveStorePath(row.value, "FS1", volumes, "/db/directory.zdb", &folder, &error);
    EXPECT_EQ(row.folder != nullptr, ok) << row.value << ": " << error;
    if (ok && row.folder) {
      EXPECT_EQ(row.folder, folder) << row.value;
    }
    if (!ok) {
      EXPECT_FALSE(error.empty()) << row.value;
    }
  }
}

TEST(DirectoryValues, TrustedHostsQuotaAndFlags) {
  std::vector<std::string> ignored;
  std::vector<TrustedNet> nets =
      TrustedFromValues({"10.0.0.1", "bad", "192.168.1.0/24", "1.2.3.4,5.6.7.8", ""}, &ignored);
  EXPECT_EQ("10.0.0.1/32,192.168.1.0/24", FormatTrustedList(nets));
  EXPECT_EQ(std::vector<std::string>({"bad", "1.2.3.4,5.6.7.8", ""}), ignored);
  nets = TrustedFromValues({"256.1.1.1"}, nullptr);
  EXPECT_EQ("0.0.0.0/32", FormatTrustedList(nets));  // nobody
  EXPECT_TRUE(TrustedFromValues({}, nullptr).empty());

  struct Kb {
    const char* text;
    bool ok;
    uint64_t kb;
  } kbs[] = {{"0", true, 0},           {" 2048 ", true, 2048}, {"4294967295", true, 4294967295u},
             {"4294967296", false, 0}, {"12k", false, 0},      {"-1", false, 0},
             {"", false, 0},           {"00000000001", false, 0}};
  for (const Kb& k : kbs) {
    uint64_t v = 0;
    EXPECT_EQ(k.ok, ParseKilobytes(k.text, &v)) << k.text;
    if (k.ok) {
      EXPECT_EQ(k.kb, v) << k.text;
    }
  }
  EXPECT_EQ(3u, QuotaBits({"3"}));
  EXPECT_EQ(0u, QuotaBits({"x"}));
  EXPECT_EQ(0u, QuotaBits({}));
  EXPECT_TRUE(FlagOn({"1"}));
  EXPECT_TRUE(FlagOn({"10", "0"}));
  EXPECT_FALSE(FlagOn({"0", "1"}));
  EXPECT_FALSE(FlagOn({""}));
  EXPECT_FALSE(FlagOn({}));
}

TEST(DirectoryValues, CommandLineNeedsBothDirectoryAndServerObject) {
  struct Row {
    std::vector<const char*> args;
    bool ok;
  } rows[] = {
      {{"--directory", "/d.zdb", "--server-object", "FS1.Acme"}, true},
      {{"--directory", "/d.zdb"}, false},
      {{"--root", "/s", "--server-object", "FS1.Acme"}, false},
      {{"--root", "/s", "--identity", "Joe.Acme"}, false},
      {{"--root", "/s", "--request-port", "0"}, true},
      {{"--root", "/s", "--request-port", "65536"}, false},
      {{"--root", "/s", "--watch-directory", "1"}, false},
  };
  for (const Row& row : rows) {
    std::vector<char*> argv = {const_cast<char*>("zelmstored")};
    for (const char* a : row.args) argv.push_back(const_cast<char*>(a));
    StoreConfig c;
    std::string error;
    bool help = false;
    EXPECT_EQ(row.ok, ParseCommandLine(static_cast<int>(argv.size()), argv.data(), &c, &error, &help))
        << row.args[0] << " " << row.args[1] << ": " << error;
  }
}

}  // namespace
