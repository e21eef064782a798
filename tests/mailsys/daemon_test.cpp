// The mail system with real Postfix and Dovecot instances (scripts/mail.sh
// starts them on a loopback address of this test's own and stops them), the
// store server passing notices on to it, both configured from one real
// directory database: no message lost across reloads, values the daemons
// would reject kept out, the store's quota holding for delivered mail.
#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <thread>

#include "daemons.h"
#include "dir_fixture.h"
#include "store_fixture.h"
#include "store_server.h"

namespace {

namespace dt = zelm::dir::testing;
using zelm::mail::RunCommand;

const char kSmtpAgent[] = "SMTP Agent.MS1.Internet Services";
const char kStoreAgent[] = "ZELM Agent.MS1.Internet Services";
const char kServer[] = "MS1.Internet Services";

bool WaitFor(const std::function<bool()>& done, int seconds = 30) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

std::string Text(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A message of about `bytes` bytes in lines of 100.
std::string Message(const std::string& subject, size_t bytes = 200) {
  std::string m = "From: ann@acme.example\r\nTo: joe@acme.example\r\nSubject: " + subject + "\r\n\r\n";
  while (m.size() < bytes) m += std::string(98, 'x') + "\r\n";
  return m;
}

// One mail system and store server for the whole suite (starting and
// stopping the daemons takes seconds); each test has a user of its own.
class MailDaemons : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (geteuid() != 0) return;
    char tmpl[] = "/tmp/zelm-mail-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    work_ = tmpl;
    chmod(tmpl, 0755);  // the daemons' users pass through it
    std::random_device rd;
    address_ = "127." + std::to_string(20 + rd() % 200) + "." + std::to_string(1 + rd() % 250) +
               "." + std::to_string(2 + rd() % 250);
    store_ = work_ + "/volumes/FS1/MAIL/zelm";
    for (const char* user : {"joe", "ann", "kim"})
      for (const char* sub : {"", "/cur", "/new", "/tmp"})
        ASSERT_EQ(RunCommand({"mkdir", "-p", store_ + "/" + user + sub}, 10).status, 0);
    db_ = work_ + "/directory.zdb";
    dir_ = dt::MakeDirectory(db_, Tree()).release();
    ASSERT_TRUE(dir_);
    zelm::mail::CommandResult r =
        RunCommand({ZELM_SOURCE_DIR "/scripts/mail.sh", "start", work_ + "/run", "--directory", db_,
                    "--server-object", "FS1.Acme", "--address", address_, "--store", store_},
                   120);
    ASSERT_EQ(r.status, 0) << r.output;
    started_ = true;
    std::string env = Text(work_ + "/run/mail.env");
    smtpPort_ = static_cast<uint16_t>(std::stoi(Value(env, "SMTP_PORT")));
    StoreConfig config;
    config.directory = db_;
    config.serverObject = "FS1.Acme";
    config.identity = "Zelmstored.Acme";
    config.mailSystem = address_ + ":" + Value(env, "REQUEST_PORT");
    server_ = new StoreServer(config);
    std::string error;
    ASSERT_TRUE(server_->Start(&error)) << error;
    thread_ = new std::thread([] { server_->Run(); });
  }
  static void TearDownTestSuite() {
    if (server_) {
      server_->Stop();
      thread_->join();
      delete thread_;
      delete server_;
    }
    if (started_) RunCommand({ZELM_SOURCE_DIR "/scripts/mail.sh", "stop", work_ + "/run"}, 60);
    delete dir_;
    if (!work_.empty()) RunCommand({"rm", "-rf", work_}, 60);
  }
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "Postfix starts only as root";
    ASSERT_TRUE(server_) << "the mail system did not start";
  }
  void TearDown() override {
    // The daemons' side of a failure is worth seeing.
    if (HasFailure())
      fprintf(stderr, "--- mail system\n%s--- Postfix\n%s", Text(work_ + "/run/mailsys.log").c_str(),
              Text(work_ + "/run/mail/log/postfix.log").c_str());
  }

  static std::string Value(const std::string& env, const std::string& key) {
    size_t at = env.find(key + "=");
    return at == std::string::npos ? "" : env.substr(at + key.size() + 1, env.find('\n', at) - at - key.size() - 1);
  }

  static std::string Tree() {
    return "supervisor Admin.Acme\n"
           "object [Root]\n"
           "    grant [Public] : [Entry Rights] = browse\n"
           "    grant [Public] : [All Attributes Rights] = compare read\n"
           "object Acme : Organization\n"
           "object Admin.Acme : User\n"
           "object Zelmstored.Acme : User\n"
           "object Joe.Acme : User\n"
           "    Password = joe\n"
           "object Ann.Acme : User\n"
           "    Password = ann\n"
           "object Kim.Acme : User\n"
           "object FS1.Acme : HVX Server\n"
           "    Network Address = " + address_ + "\n"
           "    Volume = MAIL=volumes/FS1/MAIL\n"
           "object Internet Services : Quorvel:Services\n"
           "    grant Zelmstored.Acme : Quorvel:Config Changed = compare read write\n"
           "    grant Zelmstored.Acme : Quorvel:Server Status = compare read write\n"
           "    grant Zelmstored.Acme : Quorvel:IP Address = compare read write\n"
           "object MS1.Internet Services : Quorvel:Messaging Server\n"
           "    Quorvel:Host = .FS1.Acme\n"
           "    Quorvel:Context = .Acme\n"
           "object ZELM Agent.MS1.Internet Services : Quorvel:ZELM Agent\n"
           "    Quorvel:Module Name = STORAGNT.QMD\n"
           "    Quorvel:Message Store = FS1/MAIL:zelm\n"
           "object SMTP Agent.MS1.Internet Services : Quorvel:SMTP Agent\n"
           "    Quorvel:Module Name = SMTPAGNT.QMD\n"
           "    Quorvel:Domain = acme.example\n"
           "    Quorvel:Message Limit = 10\n"
           "object IMAP Agent.MS1.Internet Services : Quorvel:IMAP Agent\n"
           "object POP Agent.MS1.Internet Services : Quorvel:POP Agent\n";
  }

  // Replaces an attribute's values (none removes it).
  static void Set(const std::string& object, const std::string& attribute,
           const std::vector<std::string>& values) {
    std::vector<zelm::dir::Change> changes;
    std::vector<zelm::dir::AttributeValues> now;
    if (dir_->Read(zelm::dir::Caller::System(), object, {attribute}, &now) == zelm::dir::kOk)
      changes.push_back({zelm::dir::kChangeRemoveAttribute, attribute, {}});
    for (const std::string& v : values)
      changes.push_back({zelm::dir::kChangeAddValue, attribute, {{zelm::dir::kSyntaxCaseIgnoreString, v}}});
    ASSERT_EQ(dir_->Modify(zelm::dir::Caller::System(), object, changes), zelm::dir::kOk);
  }
  static std::string Get(const std::string& object, const std::string& attribute) {
    std::vector<zelm::dir::AttributeValues> v;
    if (dir_->Read(zelm::dir::Caller::System(), object, {attribute}, &v) != zelm::dir::kOk ||
        v.empty() || v[0].values.empty())
      return "<none>";
    return v[0].values[0];
  }
  // As an administration page applies: the values, the notice to the store
  // server (answered once the daemons run the change), then the flag.
  static void Apply(const std::string& object, const std::string& attribute,
             const std::vector<std::string>& values, const std::string& module) {
    Set(object, attribute, values);
    WireClient wire;
    ASSERT_TRUE(wire.Connect(address_, 998));
    EXPECT_EQ(wire.Send(7, NoticeBytes(3, module)).Status(), 0);
    Set(object, "Quorvel:Config Changed", {"1"});
  }

  // The SMTP exchange for one message: the code of the first refusal, or of
  // the end of the data.
  static int Send(const std::string& to, const std::string& message, size_t declared = 0) {
    TestClient c;
    if (!c.Connect(address_, smtpPort_)) return -1;
    int code = Reply(&c);
    auto step = [&](const std::string& line) {
      c.Send(line + "\r\n");
      code = Reply(&c);
      return code < 400;
    };
    if (code != 220 || !step("EHLO test.example") ||
        !step("MAIL FROM:<ann@acme.example>" +
              (declared ? " SIZE=" + std::to_string(declared) : std::string())) ||
        !step("RCPT TO:<" + to + ">") || !step("DATA"))
      return code;
    step(message + "\r\n.");
    c.Send("QUIT\r\n");
    return code;
  }
  static int Reply(TestClient* c) {
    for (;;) {
      std::string line = c->Line();
      if (line.size() < 4 || line[3] != '-') return line.size() >= 3 ? atoi(line.c_str()) : -1;
    }
  }
  static size_t Messages(const std::string& user) {
    size_t n = 0;
    for (const char* sub : {"/new", "/cur"}) {
      if (DIR* d = opendir((store_ + "/" + user + sub).c_str())) {
        while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
        closedir(d);
      }
    }
    return n;
  }

  static std::string work_, address_, store_, db_;
  static zelm::dir::Directory* dir_;
  static uint16_t smtpPort_;
  static bool started_;
  static StoreServer* server_;
  static std::thread* thread_;
};

std::string MailDaemons::work_, MailDaemons::address_, MailDaemons::store_, MailDaemons::db_;
zelm::dir::Directory* MailDaemons::dir_ = nullptr;
uint16_t MailDaemons::smtpPort_ = 0;
bool MailDaemons::started_ = false;
StoreServer* MailDaemons::server_ = nullptr;
std::thread* MailDaemons::thread_ = nullptr;

TEST_F(MailDaemons, AStreamOfMessagesAcrossReloadsIsAllInTheStore) {
  ASSERT_TRUE(WaitFor([&] { return Get(kServer, "Quorvel:Server Status") == "Up; SMTP IMAP POP up"; }))
      << Get(kServer, "Quorvel:Server Status");
  constexpr int kMessages = 60;
  std::vector<int> codes;
  std::thread sender([&] {
    for (int i = 0; i < kMessages; ++i) codes.push_back(Send("ann@acme.example", Message("n" + std::to_string(i))));
  });
  // Each apply changes main.cf: Postfix reloads while the messages come.
  const int kReloads = 5;
  for (int i = 0; i < kReloads; ++i)
    Apply(kSmtpAgent, "Quorvel:Message Limit", {i % 2 ? "10" : "20"}, "SMTPAGNT.QMD");
  sender.join();
  for (int i = 0; i < kMessages; ++i) EXPECT_EQ(codes[i], 250) << "message " << i;
  EXPECT_TRUE(WaitFor([&] { return Messages("ann") == kMessages; })) << Messages("ann");
  std::string log = Text(work_ + "/run/mailsys.log");
  size_t reloads = 0;
  for (size_t at = 0; (at = log.find("Postfix reloaded", at)) != std::string::npos; ++at) ++reloads;
  EXPECT_GE(reloads, size_t(kReloads));
  // The statistics page counts the deliveries, asked of the store server.
  EXPECT_TRUE(WaitFor([&] {
    WireClient wire;
    if (!wire.Connect(address_, 998)) return false;
    std::string reply = wire.Send(7, NoticeBytes(4, "")).payload.substr(8);
    return reply.size() == 140 && FieldAt(reply, 76) == kMessages && FieldAt(reply, 84) == kMessages &&
           FieldAt(reply, 132) == kMessages && FieldAt(reply, 108) >= kMessages * 200u;
  }));
  EXPECT_TRUE(WaitFor([&] { return Get(kSmtpAgent, "Quorvel:Config Changed") == "0"; }, 10));
}

TEST_F(MailDaemons, MessageLimitsAndAValueThatIsNoNumber) {
  struct Step {
    const char* limit;
    size_t bytes;
    int code;  // for a message of that size
    bool refused;
  } steps[] = {
      {"1", 1536 * 1024, 552, false},
      {"1", 512 * 1024, 250, false},
      {"<none>", 11 << 20, 250, false},  // beyond Postfix's own default limit
      {"abc", 11 << 20, 250, true},      // refused: the limit before stays
      {"2", 3 << 20, 552, false},
  };
  for (const Step& s : steps) {
    Apply(kSmtpAgent, "Quorvel:Message Limit", {s.limit}, "SMTPAGNT.QMD");
    EXPECT_EQ(Send("joe@acme.example", Message("limit", s.bytes), s.bytes), s.code) << s.limit;
    // A refused change is not taken: its flag stays set, and the status says why.
    EXPECT_TRUE(WaitFor([&] {
      return (Get(kSmtpAgent, "Quorvel:Config Changed") == "1") == s.refused &&
             (Get(kServer, "Quorvel:Server Status").find("refused Message Limit") !=
              std::string::npos) == s.refused;
    }, 10)) << s.limit << ": " << Get(kServer, "Quorvel:Server Status");
  }
  EXPECT_NE(Text(work_ + "/run/mailsys.log").find("refused Message Limit \"abc\""), std::string::npos);
  EXPECT_EQ(Text(work_ + "/run/mail/postfix/main.cf").find("abc"), std::string::npos);
}

TEST_F(MailDaemons, TheStoresQuotaHoldsForDeliveredMail) {
  Set("Kim.Acme", "Quorvel:Use Quota", {"1"});
  Set("Kim.Acme", "Quorvel:Quota Value", {"4"});
  Apply(kStoreAgent, "Quorvel:Use Quota", {"1"}, "STORAGNT.QMD");
  EXPECT_EQ(Send("kim@acme.example", Message("first", 3000), 3000), 250);
  // Delivered, the store's count of what the mailbox holds included (the
  // file shows before the delivery is through).
  ASSERT_TRUE(WaitFor([&] {
    return Text(work_ + "/run/mail/log/postfix.log").find("to=<kim@acme.example>") != std::string::npos;
  }));
  EXPECT_EQ(Messages("kim"), 1u);
  // Offered with its size, the second is refused at once; the store keeps one.
  EXPECT_EQ(Send("kim@acme.example", Message("second", 3000), 3000), 552);
  EXPECT_EQ(Send("joe@acme.example", Message("to joe", 3000), 3000), 250);
  EXPECT_TRUE(WaitFor([&] { return Messages("joe") >= 1; }));
  EXPECT_EQ(Messages("kim"), 1u);
}

}  // namespace
