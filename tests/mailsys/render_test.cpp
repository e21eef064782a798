// From directory values to the daemons' files: each setting of the pages
// lands where its daemon reads it, a value the daemon would reject is
// refused and its last good value kept, and the counters follow Postfix's
// log.
#include <gtest/gtest.h>

#include <crypt.h>
#include <unistd.h>

#include <fstream>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "delivery_log.h"
#include "mail_settings.h"
#include "render.h"

namespace zelm::mail {
namespace {

const char kMs[] = "MS1.Internet Services";
const char kSmtp[] = "SMTP Agent.MS1.Internet Services";
const char kAlias[] = "Alias Agent.MS1.Internet Services";
const char kSpam[] = "AntiSpam Agent.MS1.Internet Services";
const char kImap[] = "IMAP Agent.MS1.Internet Services";
const char kStore[] = "ZELM Agent.MS1.Internet Services";
const char kReply[] = "AutoReply Agent.MS1.Internet Services";
const char kJoe[] = "Joe.Acme";

DirObject Obj(const std::string& full, const std::string& cls) {
  DirObject o;
  o.full = full;
  o.className = cls;
  return o;
}

// A messaging server with one agent of each class the mail system serves,
// and two users in its one context.
Snapshot Base() {
  Snapshot s;
  s.serverObject = "FS1.Acme";
  s.host = Obj("FS1.Acme", "HVX Server");
  s.location = "/srv/zelm/directory.zdb";
  s.storeOverride = "/srv/store";
  s.messaging = Obj(kMs, "Quorvel:Messaging Server");
  s.messaging.values["quorvel:context"] = {".Acme"};
  s.agents = {Obj(kStore, kStoreClass), Obj(kSmtp, kSmtpClass), Obj(kAlias, kAliasClass),
              Obj(kSpam, kAntiSpamClass), Obj(kReply, kAutoReplyClass),
              Obj(kImap, kImapClass), Obj("POP Agent.MS1.Internet Services", kPopClass)};
  s.agents[1].values["quorvel:domain"] = {"acme.example", "mail.acme.example"};
  s.services = Obj("Internet Services", "Quorvel:Services");
  Snapshot::Context c;
  c.container = Obj("Acme", "Organization");
  DirObject joe = Obj(kJoe, "User");
  joe.values["password"] = {"joe"};
  joe.values["given name"] = {"Joe"};
  joe.values["surname"] = {"Miller"};
  DirObject ann = Obj("Ann.Acme", "User");
  c.users = {joe, ann};
  s.contexts.push_back(c);
  return s;
}

DirObject* Find(Snapshot* s, const std::string& full) {
  if (full == kMs) return &s->messaging;
  if (full == "Internet Services") return &s->services;
  for (DirObject& a : s->agents)
    if (a.full == full) return &a;
  for (Snapshot::Context& c : s->contexts)
    for (DirObject& u : c.users)
      if (u.full == full) return &u;
  return nullptr;
}

// Sets attribute values (lower-cased names, as the reader keeps them).
void Set(Snapshot* s, const std::string& object, const std::string& attribute,
         std::vector<std::string> values) {
  std::string key;
  for (char c : attribute) key.push_back(static_cast<char>(tolower(static_cast<unsigned char>(c))));
  Find(s, object)->values[key] = std::move(values);
}

std::map<std::string, std::string> Files(const MailSettings& m) {
  Site site;
  site.folder = "/srv/mail";
  site.smtpPort = 2525;
  site.saltKey = "key";
  std::map<std::string, std::string> out;
  for (const RenderedFile& f : Render(m, site)) out[f.path] = f.content;
  return out;
}

MailSettings Read(const Snapshot& s, std::vector<Refusal>* refusals = nullptr) {
  GoodValues good;
  std::vector<Refusal> r;
  return Interpret(s, {}, &good, refusals ? refusals : &r);
}

TEST(MailRender, EachSettingReachesItsDaemon) {
  struct Case {
    const char* label;
    std::function<void(Snapshot*)> change;
    const char* file;
    const char* present;  // a line (or part) the file must hold
    const char* absent;   // one it must not; may be nullptr
  } cases[] = {
      {"no change: local mail goes to the store", [](Snapshot*) {}, "postfix/main.cf",
       "virtual_mailbox_domains = acme.example mail.acme.example\n", "message_size_limit = 10"},
      {"message limit in MB", [](Snapshot* s) { Set(s, kSmtp, "Quorvel:Message Limit", {"5"}); },
       "postfix/main.cf", "message_size_limit = 5242880\n", nullptr},
      {"no message limit", [](Snapshot* s) { Set(s, kSmtp, "Quorvel:Message Limit", {"<none>"}); },
       "postfix/main.cf", "message_size_limit = 0\n", nullptr},
      {"VRFY allowed", [](Snapshot* s) { Set(s, kSmtp, "Quorvel:SMTP Allow VRFY", {"1"}); },
       "postfix/main.cf", "disable_vrfy_command = no\n", "disable_vrfy_command = yes"},
      {"ETRN refused", [](Snapshot*) {}, "postfix/main.cf", "smtpd_etrn_restrictions = reject\n",
       nullptr},
      {"relay host", [](Snapshot* s) { Set(s, kSmtp, "Quorvel:RelayHost", {"relay.example:2525"}); },
       "postfix/main.cf", "relayhost = [relay.example]:2525\n", nullptr},
      {"recipients verified", [](Snapshot* s) { Set(s, kSmtp, "Quorvel:SMTP Verify Address", {"1"}); },
       "postfix/main.cf", "smtpd_reject_unlisted_recipient = yes\n", nullptr},
      {"relaying for trusted hosts by default",
       [](Snapshot* s) { Set(s, kStore, "Quorvel:ZELM Trusted Hosts", {"10.1.2.3"}); },
       "postfix/main.cf", "mynetworks = 127.0.0.0/8 10.1.2.3/32\n", nullptr},
      {"relaying only for the allowed list",
       [](Snapshot* s) {
         Set(s, kStore, "Quorvel:ZELM Trusted Hosts", {"10.1.2.3"});
         Set(s, kSmtp, "TARQ:UBE Configuration", {"1"});
         Set(s, kSmtp, "TARQ:Allowed Address", {"192.168.0.0-192.168.0.255"});
       },
       "postfix/main.cf", "mynetworks = 127.0.0.0/8 192.168.0.0/24\n", "10.1.2.3"},
      {"relaying only when authenticated",
       [](Snapshot* s) {
         Set(s, kSmtp, "TARQ:UBE Configuration", {"9"});
         Set(s, kSmtp, "TARQ:Allowed Address", {"192.168.0.0-192.168.0.255"});
       },
       "postfix/main.cf", "mynetworks = 127.0.0.0/8\n", nullptr},
      {"blocked hosts",
       [](Snapshot* s) {
         Set(s, kSmtp, "TARQ:UBE Configuration", {"2"});
         Set(s, kSmtp, "TARQ:Blocked Address", {"10.9.0.0-10.9.0.1"});
       },
       "postfix/blocked-hosts", "10.9.0.0/31 REJECT", nullptr},
      {"recipient limit", [](Snapshot* s) { Set(s, kSmtp, "TARQ:Recipient Limit", {"25"}); },
       "postfix/main.cf", "smtpd_recipient_limit = 25\n", nullptr},
      {"blocked sender sent back",
       [](Snapshot* s) {
         Set(s, kSpam, "Quorvel:EMail Address", {"*.spam.example", "bad@x.example"});
         Set(s, kSpam, "Quorvel:Action", {"1"});
       },
       "postfix/blocked-senders", ".spam.example REJECT", nullptr},
      {"blocked sender to the postmaster",
       [](Snapshot* s) {
         Set(s, kSpam, "Quorvel:EMail Address", {"spam.example"});
         Set(s, kSpam, "Quorvel:Action", {"2"});
         Set(s, kMs, "Quorvel:Postmaster", {".Ann.Acme"});
       },
       "postfix/blocked-senders", "spam.example REDIRECT ann@acme.example\n", nullptr},
      {"blocked sender dropped",
       [](Snapshot* s) { Set(s, kSpam, "Quorvel:EMail Address", {"spam.example"}); },
       "postfix/blocked-senders", "spam.example DISCARD", nullptr},
      {"local alias at every domain",
       [](Snapshot* s) { Set(s, kAlias, "Quorvel:Alias", {"sales=joe,ann@acme.example"}); },
       "postfix/aliases", "sales@mail.acme.example joe@acme.example, ann@acme.example\n", nullptr},
      {"local alias wins over the global one",
       [](Snapshot* s) {
         Set(s, kAlias, "Quorvel:Alias", {"help=ann"});
         Set(s, "Internet Services", "Quorvel:Alias", {"help=joe", "info=joe"});
       },
       "postfix/aliases",
       "help@acme.example ann@acme.example\nhelp@mail.acme.example ann@acme.example\n"
       "info@acme.example joe@acme.example\n",
       "help@acme.example joe"},
      {"aliases made from users' names",
       [](Snapshot* s) { Set(s, kAlias, "Quorvel:Alias Options", {"36"}); },
       "postfix/aliases", "joe.miller@acme.example joe@acme.example\n", nullptr},
      {"official address: received and used as sender",
       [](Snapshot* s) { Set(s, kJoe, "Quorvel:EMail Address", {"Joe.Miller@acme.example"}); },
       "postfix/senders", "joe@acme.example joe.miller@acme.example\n", nullptr},
      {"undeliverable mail to an address",
       [](Snapshot* s) { Set(s, kStore, "Quorvel:Forward Undeliverable", {"ann@acme.example"}); },
       "postfix/aliases", "@acme.example ann@acme.example\n", nullptr},
      {"queue times",
       [](Snapshot* s) {
         Set(s, kStore, "Quorvel:Queue Timeout", {"3"});
         Set(s, kStore, "Quorvel:Queue Interval", {"15"});
       },
       "postfix/main.cf", "maximal_queue_lifetime = 3d\nbounce_queue_lifetime = 3d\nqueue_run_delay = 15m\n",
       nullptr},
      {"store agent disabled: mail waits, nothing is served",
       [](Snapshot* s) { Set(s, kStore, "Quorvel:Disabled", {"1"}); }, "dovecot/dovecot.conf",
       "protocols = lmtp\n", nullptr},
      {"store agent disabled: mail waits in the queue",
       [](Snapshot* s) { Set(s, kStore, "Quorvel:Disabled", {"1"}); }, "postfix/main.cf",
       "defer_transports = lmtp\n", nullptr},
      {"IMAP agent disabled", [](Snapshot* s) { Set(s, kImap, "Quorvel:Disabled", {"1"}); },
       "dovecot/dovecot.conf", "protocols = lmtp pop3\n", nullptr},
      {"messaging server disabled: no SMTP",
       [](Snapshot* s) { Set(s, kMs, "Quorvel:Disabled", {"1"}); }, "postfix/master.cf",
       "pickup", "smtpd"},
      {"user disabled: refused, no login, no mailbox",
       [](Snapshot* s) { Set(s, kJoe, "Quorvel:Messaging Disabled", {"1"}); }, "postfix/disabled",
       "joe@acme.example REJECT", nullptr},
      {"user disabled: no login", [](Snapshot* s) { Set(s, kJoe, "Quorvel:Messaging Disabled", {"1"}); },
       "dovecot/passdb", "", "joe:"},
      {"per-user quota",
       [](Snapshot* s) {
         Set(s, kStore, "Quorvel:Use Quota", {"1"});
         Set(s, kJoe, "Quorvel:Use Quota", {"1"});
         Set(s, kJoe, "Quorvel:Quota Value", {"200"});
       },
       "dovecot/userdb", "userdb_quota_rule=*:storage=200K", nullptr},
      {"quota checked when mail is offered",
       [](Snapshot* s) {
         Set(s, kStore, "Quorvel:Use Quota", {"2"});
         Set(s, kStore, "Quorvel:Quota Value", {"1024"});
         Set(s, kStore, "Quorvel:Quota Message", {"Full.\r\nTry later."});
       },
       "dovecot/dovecot.conf", "quota_status_overquota = \"552 5.2.2 Full. Try later.\"", nullptr},
      {"forward without a copy",
       [](Snapshot* s) {
         Set(s, kJoe, "Quorvel:Forwarding Enabled", {"1"});
         Set(s, kJoe, "Quorvel:Forwarding Address", {"ann@acme.example"});
       },
       "sieve/joe.sieve", "redirect \"ann@acme.example\";\n", "keep;"},
      {"forward keeping a copy",
       [](Snapshot* s) {
         Set(s, kJoe, "Quorvel:Forwarding Enabled", {"2"});
         Set(s, kJoe, "Quorvel:Forwarding Address", {"ann@acme.example"});
       },
       "sieve/joe.sieve", "redirect \"ann@acme.example\";\nkeep;\n", nullptr},
      {"vacation reply, quotes and all",
       [](Snapshot* s) {
         Set(s, kJoe, "Quorvel:Vacation Message Enabled", {"1"});
         Set(s, kJoe, "Quorvel:Reply Message", {"Away \"till\" Monday\\\r\nJoe"});
       },
       "sieve/joe.sieve", "\"Away \\\"till\\\" Monday\\\\\nJoe\";", nullptr},
  };
  for (const Case& c : cases) {
    Snapshot s = Base();
    c.change(&s);
    std::vector<Refusal> refusals;
    std::map<std::string, std::string> files = Files(Read(s, &refusals));
    EXPECT_TRUE(refusals.empty()) << c.label << ": " << refusals[0].attribute;
    ASSERT_TRUE(files.count(c.file)) << c.label << ": no " << c.file;
    EXPECT_NE(files[c.file].find(c.present), std::string::npos) << c.label << ":\n" << files[c.file];
    if (c.absent) {
      EXPECT_EQ(files[c.file].find(c.absent), std::string::npos) << c.label << ":\n" << files[c.file];
    }
  }
}

TEST(MailRender, WithoutAnAutoReplyAgentNobodyForwardsOrReplies) {
  Snapshot s = Base();
  Set(&s, kJoe, "Quorvel:Vacation Message Enabled", {"1"});
  Set(&s, kJoe, "Quorvel:Forwarding Enabled", {"1"});
  Set(&s, kJoe, "Quorvel:Forwarding Address", {"ann@acme.example"});
  EXPECT_EQ(Files(Read(s)).count("sieve/joe.sieve"), 1u);
  Set(&s, kReply, "Quorvel:Disabled", {"1"});
  std::map<std::string, std::string> files = Files(Read(s));
  EXPECT_EQ(files.count("sieve/joe.sieve"), 0u);
  EXPECT_EQ(files["dovecot/userdb"].find("sieve"), std::string::npos);
}

TEST(MailRender, RefusedValuesKeepTheirLastGoodValues) {
  struct Case {
    const char* object;
    const char* attribute;
    std::string good, bad;
    const char* file;
    const char* kept;   // what the file still says with the bad value
    const char* fresh;  // without a good value before: what the file lacks (nullptr: no file)
  } cases[] = {
      {kSmtp, "Quorvel:Message Limit", "5", "abc", "postfix/main.cf",
       "message_size_limit = 5242880\n", "message_size_limit = 5"},
      {kSmtp, "TARQ:Recipient Limit", "20", "many", "postfix/main.cf",
       "smtpd_recipient_limit = 20\n", "smtpd_recipient_limit"},
      {kSmtp, "Quorvel:RelayHost", "relay.example", "bad host!", "postfix/main.cf",
       "relayhost = [relay.example]\n", "relayhost = ["},
      {kSmtp, "Quorvel:Domain", "acme.example", "acme example", "postfix/main.cf",
       "virtual_mailbox_domains = acme.example\n", "virtual_mailbox_domains = acme"},
      {kAlias, "Quorvel:Alias", "sales=joe", "sales joe", "postfix/aliases",
       "sales@acme.example joe@acme.example", "sales@"},
      {kJoe, "Quorvel:Forwarding Address", "ann@acme.example", "not an address", "sieve/joe.sieve",
       "redirect \"ann@acme.example\"", nullptr},
      {kStore, "Quorvel:ZELM Trusted Hosts", "10.1.2.3", "10.1.2", "postfix/main.cf",
       "mynetworks = 127.0.0.0/8 10.1.2.3/32\n", "10.1.2"},
  };
  for (const Case& c : cases) {
    Snapshot s = Base();
    Set(&s, kJoe, "Quorvel:Forwarding Enabled", {"1"});
    Set(&s, c.object, c.attribute, {c.good});
    GoodValues first, second;
    std::vector<Refusal> refusals;
    Interpret(s, {}, &first, &refusals);
    ASSERT_TRUE(refusals.empty()) << c.attribute;
    Set(&s, c.object, c.attribute, {c.bad});
    MailSettings m = Interpret(s, first, &second, &refusals);
    ASSERT_EQ(refusals.size(), 1u) << c.attribute;
    EXPECT_EQ(refusals[0].object, c.object);
    EXPECT_EQ(refusals[0].attribute, c.attribute);
    EXPECT_EQ(refusals[0].value, c.bad);
    std::map<std::string, std::string> files = Files(m);
    EXPECT_NE(files[c.file].find(c.kept), std::string::npos) << c.attribute << ":\n" << files[c.file];
    // Still refused next time, and still kept: the good values carry over.
    GoodValues third;
    Interpret(s, second, &third, &refusals);
    EXPECT_EQ(third, second) << c.attribute;
    // Without a good value before, the attribute counts as not set.
    files = Files(Interpret(s, {}, &third, &refusals));
    if (c.fresh) {
      EXPECT_EQ(files[c.file].find(c.fresh), std::string::npos) << c.attribute << ":\n" << files[c.file];
    } else {
      EXPECT_EQ(files.count(c.file), 0u) << c.attribute;
    }
  }
}

TEST(MailRender, UsersTheDaemonsCannotNameAreLeftOutAndNamed) {
  Snapshot s = Base();
  s.contexts[0].users.push_back(Obj("Maria Lopez.Acme", "User"));
  s.contexts[0].users.push_back(Obj("JOE.Acme", "User"));  // the same mailbox as Joe's
  std::vector<Refusal> refusals;
  MailSettings m = Read(s, &refusals);
  ASSERT_EQ(refusals.size(), 1u);
  EXPECT_EQ(refusals[0].object, "Maria Lopez.Acme");
  ASSERT_EQ(m.users.size(), 2u);
  EXPECT_EQ(m.users[0].object, kJoe);
  MatchFolders(&m, {"Joe", "carol"});
  EXPECT_EQ(m.users[0].folder, "Joe");
  EXPECT_EQ(m.users[1].folder, "ann");
}

TEST(MailRender, ChangeFlagsOfServedAgentsOnly) {
  Snapshot s = Base();
  Set(&s, kSmtp, "Quorvel:Config Changed", {"1"});
  Set(&s, kStore, "Quorvel:Config Changed", {"1"});  // the store server's to clear
  Set(&s, kImap, "Quorvel:Config Changed", {"0"});
  MailSettings m = Read(s);
  ASSERT_EQ(m.changed.size(), 1u);
  EXPECT_EQ(m.changed[0].first, kSmtp);
}

TEST(MailRender, PasswordsAreHashedTheSameWayEachTime) {
  std::string h = PasswordHash("secret", "key", "joe");
  ASSERT_EQ(h.compare(0, 17, "{SHA512-CRYPT}$6$"), 0) << h;
  EXPECT_EQ(h, PasswordHash("secret", "key", "joe"));
  EXPECT_NE(h, PasswordHash("secret", "key", "ann"));
  EXPECT_NE(h, PasswordHash("secret", "other", "joe"));
  std::string hash = h.substr(14);
  EXPECT_EQ(std::string(crypt("secret", hash.c_str())), hash);
  EXPECT_EQ(PasswordHash("{SSHA}abc", "key", "joe"), "{SSHA}abc");
}

TEST(MailRender, RemoteQueueHours) {
  MailSettings m;
  m.limitRemote = true;
  m.remoteHours[0] = 8;   // weekdays 8:00 to 18:00
  m.remoteHours[1] = 18;
  m.remoteHours[2] = 22;  // weekends 22:00 to 6:00
  m.remoteHours[3] = 6;
  struct Hour {
    int weekday, hour;
    bool held;
  } hours[] = {{1, 7, false}, {1, 8, true}, {3, 17, true}, {5, 18, false},
               {6, 21, false}, {6, 22, true}, {0, 5, true}, {0, 6, false}};
  for (const Hour& h : hours)
    EXPECT_EQ(RemoteQueueHeld(m, h.weekday, h.hour), h.held) << h.weekday << " " << h.hour;
  m.remoteHours[1] = 8;
  EXPECT_FALSE(RemoteQueueHeld(m, 1, 8));
  m.limitRemote = false;
  EXPECT_FALSE(RemoteQueueHeld(m, 6, 23));
}

TEST(MailCounters, DeliveriesFromPostfixLog) {
  const char* lines[] = {
      // Over SMTP from loopback to two local mailboxes.
      "Dec 09 14:37:07 acme postfix/smtpd[1644]: 10E79A72132: client=localhost[127.0.0.1]",
      "Dec 09 14:37:07 acme postfix/qmgr[1284]: 10E79A72132: from=<a@b.example>, size=360, nrcpt=2 (queue active)",
      "Dec 09 14:37:07 acme postfix/lmtp[1651]: 10E79A72132: to=<alice@acme.example>, relay=x, dsn=2.0.0, status=sent (250 2.0.0 Saved)",
      "Dec 09 14:37:07 acme postfix/lmtp[1651]: 10E79A72132: to=<bob@acme.example>, relay=x, dsn=2.0.0, status=sent (250 2.0.0 Saved)",
      "Dec 09 14:37:07 acme postfix/qmgr[1284]: 10E79A72132: removed",
      // From another host, to a remote server that defers it first.
      "Dec 09 14:38:00 acme postfix/smtpd[1700]: 2A: client=mx.other.example[192.0.2.7]",
      "Dec 09 14:38:00 acme postfix/qmgr[1284]: 2A: from=<x@other.example>, size=1000, nrcpt=1 (queue active)",
      "Dec 09 14:38:01 acme postfix/smtp[1701]: 2A: to=<y@far.example>, relay=none, status=deferred (timeout)",
      // A deferred message taken up again logs its sender once more.
      "Dec 09 14:48:01 acme postfix/qmgr[1284]: 2A: from=<x@other.example>, size=1000, nrcpt=1 (queue active)",
      // Not Postfix's, or not about a message.
      "Dec 09 14:48:02 acme dovecot: lmtp(joe): saved mail to INBOX",
      "Dec 09 14:48:02 acme postfix/master[1282]: reload -- version 3.7.11",
  };
  DeliveryLog log(0x7F000001u);
  for (const char* l : lines) log.Line(l);
  DeliveryCounters c = log.Counters();
  EXPECT_EQ(c.received[0], 1u);
  EXPECT_EQ(c.received[1], 1u);
  EXPECT_EQ(c.receivedBytes[0], 360u);
  EXPECT_EQ(c.receivedBytes[1], 1000u);
  EXPECT_EQ(c.delivered[0], 1u);        // one message, two mailboxes
  EXPECT_EQ(c.recipients[0], 2u);
  EXPECT_EQ(c.deliveredBytes[0], 360u);
  EXPECT_EQ(c.delivered[1], 0u);
  EXPECT_EQ(c.queued[0], 0u);
  EXPECT_EQ(c.queued[1], 1u);           // waits for the remote server
  log.Line("Dec 09 14:48:05 acme postfix/smtp[1702]: 2A: to=<y@far.example>, relay=mx.far.example[198.51.100.2]:25, status=sent (250 ok)");
  log.Line("Dec 09 14:48:05 acme postfix/qmgr[1284]: 2A: removed");
  c = log.Counters();
  EXPECT_EQ(c.delivered[1], 1u);
  EXPECT_EQ(c.deliveredBytes[1], 1000u);
  EXPECT_EQ(c.queued[1], 0u);
}

TEST(MailCounters, TheLogIsFollowedFromWhereItStoodAndAfterItIsCut) {
  char path[] = "/tmp/zelm-log-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  auto append = [&](const std::string& text, bool fresh = false) {
    std::ofstream(path, fresh ? std::ios::trunc : std::ios::app) << text;
  };
  append("before the start\n");
  LogFollower follower(path);
  std::vector<std::string> lines;
  auto poll = [&] {
    lines.clear();
    follower.Poll([&](std::string_view l) { lines.emplace_back(l); });
    return lines;
  };
  append("one\ntw");
  EXPECT_EQ(poll(), std::vector<std::string>{"one"});
  append("o\n");
  EXPECT_EQ(poll(), std::vector<std::string>{"two"});
  append("after a cut\n", true);  // rotated or emptied: read from its start
  EXPECT_EQ(poll(), std::vector<std::string>{"after a cut"});
  // A line longer than the follower holds is dropped, not kept growing.
  append(std::string(LogFollower::kLineMax + 1, 'x'));
  EXPECT_TRUE(poll().empty());
  append("\nlast\n");
  EXPECT_EQ(poll(), (std::vector<std::string>{"", "last"}));
  unlink(path);
}

}  // namespace
}  // namespace zelm::mail
