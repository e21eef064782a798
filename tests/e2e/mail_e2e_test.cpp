// What the mail agents' and the users' pages change takes effect in the
// real mail daemons: tarq in the real host code changes a setting, then the
// test speaks SMTP, IMAP and POP to Postfix and Dovecot on loopback and
// looks into the mailboxes through the store server, as the store shell
// does. with-mail-system.sh starts the store server and the mail system
// (scripts/mail.sh) from one directory database.
#include <winsock2.h>

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "agents_filter_ids.h"
#include "agents_ids.h"
#include "hosted_snapin.h"
#include "protocol/connection.h"
#include "protocol/store_commands.h"
#include "server_ids.h"
#include "users_ids.h"

namespace {

constexpr int32_t kSuiteSnapin = 64;
const char kServer[] = "MS1.Internet Services";
const char kSmtp[] = "SMTP Agent.MS1.Internet Services";
const char kSpam[] = "AntiSpam Agent.MS1.Internet Services";
const char kAlias[] = "Alias Agent.MS1.Internet Services";
const char kImap[] = "IMAP Agent.MS1.Internet Services";

using e2e::PumpUntil;
using e2e::Value;

// A line-at-a-time client of a mail daemon, each read bounded by 15 s.
class LineClient {
 public:
  ~LineClient() {
    if (s_ != INVALID_SOCKET) closesocket(s_);
  }
  bool Connect(const char* host, int port) {
    s_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<u_short>(port));
    a.sin_addr.s_addr = inet_addr(host);
    return s_ != INVALID_SOCKET && connect(s_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  void Send(const std::string& text) {
    for (size_t at = 0; at < text.size();) {
      int n = send(s_, text.data() + at, static_cast<int>(text.size() - at), 0);
      if (n <= 0) return;
      at += static_cast<size_t>(n);
    }
  }
  std::string Line() {
    for (;;) {
      size_t nl = buf_.find("\r\n");
      if (nl != std::string::npos) {
        std::string line = buf_.substr(0, nl);
        buf_.erase(0, nl + 2);
        return line;
      }
      fd_set r;
      FD_ZERO(&r);
      FD_SET(s_, &r);
      timeval tv = {15, 0};
      char b[4096];
      int n = select(0, &r, nullptr, nullptr, &tv) > 0 ? recv(s_, b, sizeof b, 0) : 0;
      if (n <= 0) return "<closed>";
      buf_.append(b, static_cast<size_t>(n));
    }
  }
  // An SMTP reply's code (after its continuation lines).
  int Reply() {
    for (;;) {
      std::string line = Line();
      if (line.size() < 4 || line[3] != '-') return line.size() >= 3 ? atoi(line.c_str()) : -1;
    }
  }

 private:
  SOCKET s_ = INVALID_SOCKET;
  std::string buf_;
};

class MailLoop : public e2e::HostedSnapin {
 protected:
  MailLoop() : HostedSnapin(kSuiteSnapin) {}
  void SetUp() override {
    host_ = getenv("ZELM_STORE_HOST");
    ASSERT_TRUE(host_ && getenv("ZELM_SMTP_PORT") && getenv("ZELM_MAIL_FOLDER"))
        << "run through tests/e2e/with-mail-system.sh";
    ASSERT_TRUE(StoreSocketsStartup());
    StartSnapin();
    ASSERT_TRUE(PumpUntil([] { return Value(kServer, "Quorvel:Server Status") == "Up; SMTP IMAP POP up"; }))
        << Value(kServer, "Quorvel:Server Status");
  }
  void TearDown() override {
    HostedSnapin::TearDown();
    StoreSocketsCleanup();
  }

  HWND OpenUser(const char* user) { return Open(user, "User", "Halcyn Korrat Configuration"); }
  // Apply as the button does; an agent's page has its change taken once the
  // mail system has cleared the agent's flag.
  bool Apply(const char* agent = nullptr) {
    if (!PropSheet_Apply(sheet_)) return false;
    PumpMessages();
    return !agent || PumpUntil([agent] { return Value(agent, "Quorvel:Config Changed") == "0"; });
  }
  // A file of the mail system's folder.
  static std::string MailFile(const std::string& file) {
    std::ifstream in(std::string(getenv("ZELM_MAIL_FOLDER")) + "\\" + file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // A user's page sends no notice: the mail system follows the directory.
  // A user's Sieve script saying `text` is in force once the user's entry
  // names it (the entry is written after the script).
  static bool ScriptSays(const std::string& user, const std::string& text) {
    return PumpUntil([&] {
      return MailFile("sieve\\" + user + ".sieve").find(text) != std::string::npos &&
             MailFile("dovecot\\userdb").find(user + ".sieve") != std::string::npos;
    });
  }

  // One message over SMTP; the code of the first refusal or of its end.
  int Send(const std::string& from, const std::string& to, const std::string& subject,
           size_t bytes = 300) {
    LineClient c;
    if (!c.Connect(host_, atoi(getenv("ZELM_SMTP_PORT")))) return -1;
    int code = c.Reply();
    auto step = [&](const std::string& line) {
      c.Send(line + "\r\n");
      code = c.Reply();
      return code < 400;
    };
    std::string message = "From: " + from + "\r\nTo: " + to + "\r\nSubject: " + subject +
                          "\r\nMessage-ID: <" + subject + "@test.example>\r\n\r\n";
    while (message.size() < bytes) message += std::string(78, 'x') + "\r\n";
    if (code != 220 || !step("EHLO test.example") ||
        !step("MAIL FROM:<" + from + "> SIZE=" + std::to_string(message.size())) ||
        !step("RCPT TO:<" + to + ">") || !step("DATA"))
      return code;
    step(message + ".");
    c.Send("QUIT\r\n");
    return code;
  }
  // 1 logged in, 0 refused, -1 nobody listens.
  int ImapLogin(const char* user, const char* password) {
    LineClient c;
    if (!c.Connect(host_, atoi(getenv("ZELM_IMAP_PORT"))) || c.Line().find("* OK") != 0) return -1;
    c.Send(std::string("a LOGIN ") + user + " " + password + "\r\n");
    std::string line;
    while ((line = c.Line()).rfind("a ", 0) != 0 && line != "<closed>") {
    }
    return line.rfind("a OK", 0) == 0 ? 1 : 0;
  }
  int PopLogin(const char* user, const char* password) {
    LineClient c;
    if (!c.Connect(host_, atoi(getenv("ZELM_POP_PORT"))) || c.Line().find("+OK") != 0) return -1;
    c.Send(std::string("USER ") + user + "\r\n");
    c.Line();
    c.Send(std::string("PASS ") + password + "\r\n");
    return c.Line().rfind("+OK", 0) == 0 ? 1 : 0;
  }
  // The subjects in a user's INBOX as the store server lists them.
  std::vector<std::string> Subjects(const char* user) {
    StoreConnection* c = static_cast<StoreConnection*>(calloc(1, sizeof(StoreConnection)));
    c->nodeKind = kNodeServer;
    SetConnectionHost(c, host_);
    std::vector<std::string> lines;
    std::vector<std::string> skipped;
    auto collect = [](void* ctx, const char* text) {
      static_cast<std::vector<std::string>*>(ctx)->push_back(text);
    };
    // As the shell browses: the users, the user's mailboxes, the mailbox.
    if (ConnectToHost(&c->socket, host_, kStorePort) == 1 && StoreListUsers(c, collect, &skipped) == 1 &&
        StoreListMailboxes(c, user, collect, &skipped) == 1) {
      MessageListSink sink = {nullptr,
                              [](void* ctx, unsigned long, const char* text) {
                                static_cast<std::vector<std::string>*>(ctx)->push_back(text);
                              },
                              &lines};
      StoreListMessages(c, user, "INBOX", sink);
    }
    FreeStoreRecord(c);
    return lines;
  }
  // Whether a message whose subject holds `token` is in the user's INBOX
  // within the wait.
  bool Holds(const char* user, const std::string& token, DWORD ms = 20000) {
    return PumpUntil([&] {
      for (const std::string& s : Subjects(user))
        if (s.find(token) != std::string::npos) return true;
      return false;
    }, ms);
  }

  const char* host_ = nullptr;
};

TEST_F(MailLoop, AMessageOverTheLoweredLimitIsRefused) {
  EXPECT_EQ(Send("bob@acme.example", "joe@acme.example", "limit-before", 2 << 20), 250);
  HWND page = Open(kSmtp, "Quorvel:SMTP Agent", "Identification");
  ASSERT_NE(page, nullptr);
  SelectComboRow(page, IDC_SI_LIMIT, 1);  // 1 MB
  ASSERT_TRUE(Apply(kSmtp));
  EXPECT_EQ(Value(kSmtp, "Quorvel:Message Limit"), "1");
  EXPECT_EQ(Send("bob@acme.example", "joe@acme.example", "limit-over", 2 << 20), 552);
  EXPECT_EQ(Send("bob@acme.example", "joe@acme.example", "limit-under", 4000), 250);
  EXPECT_TRUE(Holds("joe", "limit-under"));
  EXPECT_EQ(Value(kSmtp, "Quorvel:Config Changed"), "0");
}

TEST_F(MailLoop, ABlockedSenderIsRefusedAndOthersAreNot) {
  HWND page = Open(kSpam, "Quorvel:AntiSpam Agent", "Configuration");
  ASSERT_NE(page, nullptr);
  SetItemText(page, IDC_FLT_ENTRY, "spam.example");
  ClickItem(page, IDC_FLT_ADD);
  ClickItem(page, IDC_ASP_SEND_BACK);
  ASSERT_TRUE(Apply(kSpam));
  int code = Send("offers@spam.example", "eve@acme.example", "spam-offer");
  EXPECT_GE(code, 500);
  EXPECT_LT(code, 600);
  EXPECT_EQ(Send("friend@good.example", "eve@acme.example", "not-spam"), 250);
  EXPECT_TRUE(Holds("eve", "not-spam"));
  for (const std::string& s : Subjects("eve")) EXPECT_EQ(s.find("spam-offer"), std::string::npos);
}

TEST_F(MailLoop, AnAliasDeliversToItsTargetsMailbox) {
  HWND page = Open(kAlias, "Quorvel:Alias Agent", "Local Aliases");
  ASSERT_NE(page, nullptr);
  SetItemText(page, IDC_FLT_ENTRY, "sales");
  SetItemText(page, IDC_ALL_TARGET, "bob");
  ClickItem(page, IDC_FLT_ADD);
  ASSERT_TRUE(Apply(kAlias));
  EXPECT_EQ(Send("eve@acme.example", "sales@acme.example", "to-sales"), 250);
  EXPECT_TRUE(Holds("bob", "to-sales"));
}

TEST_F(MailLoop, ForwardedMailArrivesAtTheAddressWithALocalCopyOnlyWhenAsked) {
  HWND page = OpenUser("Joe.Acme");
  ASSERT_NE(page, nullptr);
  ClickItem(page, IDC_USR_FORWARD);
  SetItemText(page, IDC_USR_FORWARD_ADDRESS, "kim@acme.example");
  ASSERT_TRUE(Apply());
  ASSERT_TRUE(ScriptSays("joe", "redirect \"kim@acme.example\";"));
  EXPECT_EQ(Send("eve@acme.example", "joe@acme.example", "forward-only"), 250);
  EXPECT_TRUE(Holds("kim", "forward-only"));
  EXPECT_FALSE(Holds("joe", "forward-only", 1000));

  ClickItem(page, IDC_USR_KEEP_COPY);
  ASSERT_TRUE(Apply());
  ASSERT_TRUE(ScriptSays("joe", "keep;"));
  EXPECT_EQ(Send("eve@acme.example", "joe@acme.example", "forward-and-keep"), 250);
  EXPECT_TRUE(Holds("kim", "forward-and-keep"));
  EXPECT_TRUE(Holds("joe", "forward-and-keep"));
}

TEST_F(MailLoop, AVacationReplyIsSent) {
  HWND page = OpenUser("Ann.Acme");
  ASSERT_NE(page, nullptr);
  ClickItem(page, IDC_USR_VACATION);
  SetItemText(page, IDC_USR_REPLY_MESSAGE, "Away until Monday.\r\nAnn");
  ASSERT_TRUE(Apply());
  ASSERT_TRUE(ScriptSays("ann", "Away until Monday."));
  EXPECT_EQ(Send("bob@acme.example", "ann@acme.example", "meeting"), 250);
  EXPECT_TRUE(Holds("ann", "meeting"));
  EXPECT_TRUE(Holds("bob", "Auto:_meeting"));
}

TEST_F(MailLoop, ADisabledUserReceivesNothingAndCannotLogIn) {
  ASSERT_EQ(ImapLogin("kim", "kim"), 1);
  HWND page = OpenUser("Kim.Acme");
  ASSERT_NE(page, nullptr);
  ClickItem(page, IDC_USR_DISABLED);
  ASSERT_TRUE(Apply());
  // The user page sends no notice: mail is refused once the mail system
  // has followed the directory.
  int tries = 0, code = 0;
  EXPECT_TRUE(PumpUntil([&] {
    code = Send("bob@acme.example", "kim@acme.example", "to-disabled-" + std::to_string(++tries));
    return code >= 500 && code < 600;
  })) << code;
  EXPECT_EQ(ImapLogin("kim", "kim"), 0);
  EXPECT_EQ(PopLogin("kim", "kim"), 0);
}

TEST_F(MailLoop, DisablingTheImapAgentClosesImapWhilePopStillServes) {
  ASSERT_EQ(ImapLogin("eve", "eve"), 1);
  HWND page = Open(kImap, "Quorvel:IMAP Agent", "Status");
  ASSERT_NE(page, nullptr);
  ClickItem(page, IDC_AGS_DISABLE);
  ASSERT_TRUE(Apply(kImap));
  EXPECT_EQ(ImapLogin("eve", "eve"), -1);
  EXPECT_EQ(PopLogin("eve", "eve"), 1);
  EXPECT_TRUE(PumpUntil([] { return Value(kServer, "Quorvel:Server Status") == "Up; SMTP POP up, IMAP off"; }))
      << Value(kServer, "Quorvel:Server Status");
  ClickItem(page, IDC_AGS_DISABLE);
  ASSERT_TRUE(Apply(kImap));
  EXPECT_EQ(ImapLogin("eve", "eve"), 1);
}

TEST_F(MailLoop, AForwardingAddressThatIsNoAddressIsRefusedAndTheStatusPageSaysSo) {
  HWND page = OpenUser("Bob.Acme");
  ASSERT_NE(page, nullptr);
  ClickItem(page, IDC_USR_FORWARD);
  SetItemText(page, IDC_USR_FORWARD_ADDRESS, "joe at acme");
  ASSERT_TRUE(Apply());
  ASSERT_TRUE(PumpUntil([] {
    return Value(kServer, "Quorvel:Server Status").find("refused Forwarding Address of Bob") !=
           std::string::npos;
  })) << Value(kServer, "Quorvel:Server Status");
  // Bob's mail stays where it was: no forwarding reached the daemons.
  EXPECT_EQ(MailFile("sieve\\bob.sieve").find("redirect"), std::string::npos);
  EXPECT_EQ(Send("eve@acme.example", "bob@acme.example", "still-bobs"), 250);
  EXPECT_TRUE(Holds("bob", "still-bobs"));
  HWND status = Open(kServer, "Quorvel:Messaging Server", "Status");
  ASSERT_NE(status, nullptr);
  EXPECT_NE(ItemText(status, IDC_MSU_STATE).find("refused Forwarding Address"), std::string::npos)
      << ItemText(status, IDC_MSU_STATE);
  // Put right, the refusal goes.
  page = OpenUser("Bob.Acme");
  SetItemText(page, IDC_USR_FORWARD_ADDRESS, "eve@acme.example");
  ASSERT_TRUE(Apply());
  EXPECT_TRUE(PumpUntil([] { return Value(kServer, "Quorvel:Server Status") == "Up; SMTP IMAP POP up"; }))
      << Value(kServer, "Quorvel:Server Status");
}

}  // namespace
