#include "mail_settings.h"

#include <algorithm>
#include <functional>
#include <set>

#include "directory_values.h"
#include "mail_values.h"
#include "errors.h"
#include "names.h"

namespace zelm::mail {

const char kSmtpClass[] = "Quorvel:SMTP Agent";
const char kAliasClass[] = "Quorvel:Alias Agent";
const char kAntiSpamClass[] = "Quorvel:AntiSpam Agent";
const char kAutoReplyClass[] = "Quorvel:AutoReply Agent";
const char kImapClass[] = "Quorvel:IMAP Agent";
const char kPopClass[] = "Quorvel:POP Agent";
const char kStoreClass[] = "Quorvel:ZELM Agent";

namespace {

const std::vector<std::string> kNone;
constexpr char kConfigChanged[] = "Quorvel:Config Changed";

// Why a value cannot be used; "" when it can.
using Check = std::function<std::string(const std::string&)>;

std::string NeedAddress(const std::string& v) {
  return IsAddress(Trim(v)) ? "" : "not an e-mail address";
}
std::string NeedDomain(const std::string& v) {
  return IsDomain(Trim(v)) ? "" : "not a domain name";
}
Check NeedCount(uint64_t low, uint64_t high) {
  return [low, high](const std::string& v) {
    uint64_t n = 0;
    return ParseCount(v, high, &n) && n >= low
               ? ""
               : "not a number from " + std::to_string(low) + " to " + std::to_string(high);
  };
}
std::string NeedNetwork(const std::string& v) {
  std::vector<TrustedNet> one;
  std::string why;
  return v.find(',') == std::string::npos && ParseTrustedList(Trim(v), &one, &why)
             ? ""
             : "not an IPv4 address or network";
}
std::string NeedRange(const std::string& v) {
  std::vector<std::string> blocks;
  return RangeToCidrs(v, &blocks) ? "" : "not an IPv4 address range";
}

// Attribute values as the rules allow them: the values read when every one
// passes its check, else those of the last good reading, else none.
class Judge {
 public:
  Judge(const GoodValues& last, GoodValues* good, std::vector<Refusal>* refusals)
      : last_(last), good_(good), refusals_(refusals) {}

  std::vector<std::string> Values(const DirObject& o, const char* attribute, const Check& check) {
    const std::vector<std::string>& now = o.Values(attribute);
    std::string key = dir::Fold(o.full) + "\n" + dir::Fold(attribute);
    for (const std::string& v : now) {
      std::string why = check(v);
      if (why.empty()) continue;
      refusals_->push_back({o.full, attribute, v, why});
      auto kept = last_.find(key);
      if (kept == last_.end()) return kNone;
      (*good_)[key] = kept->second;
      return kept->second;
    }
    if (!now.empty()) (*good_)[key] = now;
    return now;
  }
  std::string First(const DirObject& o, const char* attribute, const Check& check) {
    std::vector<std::string> v = Values(o, attribute, check);
    return v.empty() ? std::string() : Trim(v[0]);
  }

 private:
  const GoodValues& last_;
  GoodValues* good_;
  std::vector<Refusal>* refusals_;
};

bool Flag(const DirObject& o, const char* attribute) { return FlagOn(o.Values(attribute)); }

void AddUnique(std::vector<std::string>* list, const std::string& v) {
  if (std::find(list->begin(), list->end(), v) == list->end()) list->push_back(v);
}

// A login and folder name: what a leaf name may be to serve as both.
bool UsableUserName(const std::string& name) {
  if (name.empty() || name.size() > 64 || name.front() == '.' || name.front() == '-') return false;
  for (char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_'))
      return false;
  return IsLocalPart(name);
}

const DirObject* FirstOf(const Snapshot& s, const char* className) {
  for (const DirObject& a : s.agents)
    if (dir::SameText(a.className, className)) return &a;
  return nullptr;
}

class Reading {
 public:
  Reading(const Snapshot& s, Judge* judge, std::vector<Refusal>* refusals, MailSettings* out)
      : s_(s), judge_(*judge), refusals_(*refusals), m_(*out) {}

  void Run() {
    if (s_.messaging.full.empty()) {
      m_.unavailable = "no messaging server has " + s_.serverObject + " as its host";
      return;
    }
    m_.messagingServer = s_.messaging.full;
    m_.serverDisabled = Flag(s_.messaging, "Quorvel:Disabled");
    for (const DirObject& a : s_.agents) {
      if (!IsServedClass(a.className) || dir::SameText(a.className, kStoreClass)) continue;
      m_.agents.push_back(a.full);
      if (FlagOn(a.Values(kConfigChanged))) m_.changed.push_back({a.full, a.First(kConfigChanged)});
    }
    const DirObject* store = FirstOf(s_, kStoreClass);
    if (!store) {
      m_.unavailable = s_.messaging.full + " has no store agent";
      return;
    }
    StoreAgent(*store);
    if (!m_.unavailable.empty()) return;
    const DirObject* smtp = Enabled(kSmtpClass);
    if (smtp) SmtpAgent(*smtp);
    m_.imap = Enabled(kImapClass) != nullptr;
    m_.pop = Enabled(kPopClass) != nullptr;
    Users();
    if (const DirObject* alias = Enabled(kAliasClass)) Aliases(*alias);
    if (const DirObject* spam = Enabled(kAntiSpamClass)) AntiSpam(*spam);
    Postmaster();
  }

 private:
  const DirObject* Enabled(const char* className) {
    const DirObject* a = FirstOf(s_, className);
    return a && !Flag(*a, "Quorvel:Disabled") ? a : nullptr;
  }

  void StoreAgent(const DirObject& a) {
    m_.storeDisabled = Flag(a, "Quorvel:Disabled");
    if (!s_.storeOverride.empty()) {
      m_.storeRoot = s_.storeOverride;
    } else {
      std::string path = a.First("Quorvel:Message Store"), why;
      if (path.empty()) {
        m_.unavailable = a.full + " names no message store";
      } else if (!ResolveStorePath(path, std::string(dir::LeafName(s_.serverObject)),
                                   s_.host.Values("Volume"), s_.location, &m_.storeRoot, &why)) {
        m_.unavailable = why;
      }
    }
    for (const std::string& v : judge_.Values(a, "Quorvel:ZELM Trusted Hosts", NeedNetwork)) {
      std::vector<TrustedNet> nets;
      std::string why;
      ParseTrustedList(Trim(v), &nets, &why);
      AddUnique(&m_.trusted, FormatTrustedList(nets));
    }
    uint64_t n = 0;
    if (ParseCount(judge_.First(a, "Quorvel:Queue Timeout", NeedCount(1, 100)), 100, &n))
      m_.queueDays = static_cast<uint32_t>(n);
    if (ParseCount(judge_.First(a, "Quorvel:Queue Interval", NeedCount(1, 1440)), 1440, &n))
      m_.queueMinutes = static_cast<uint32_t>(n);
    ParseCount(judge_.First(a, "Quorvel:Minimum Free Space", NeedCount(0, 1ull << 30)), 1ull << 30,
               &m_.minimumFreeKb);
    m_.undeliverableTo = Lower(judge_.First(a, "Quorvel:Forward Undeliverable", NeedAddress));
    uint32_t quota = QuotaBits(judge_.Values(a, "Quorvel:Use Quota", NeedCount(0, 3)));
    m_.perUserQuotas = quota & kQuotaPerUser;
    if (quota & kQuotaSystemWide)
      ParseKilobytes(judge_.First(a, "Quorvel:Quota Value", NeedCount(0, 0xFFFFFFFFu)),
                     &m_.quotaKb);
    m_.quotaMessage = OneAsciiLine(a.First("Quorvel:Quota Message"));
    if (m_.quotaMessage.empty()) m_.quotaMessage = "Mailbox over quota";
    m_.limitRemote = Flag(a, "Quorvel:Limit Remote Processing");
    const char* hours[4] = {"Quorvel:Limit Remote Beg Weekday", "Quorvel:Limit Remote End Weekday",
                            "Quorvel:Limit Remote Beg Weekend", "Quorvel:Limit Remote End Weekend"};
    for (int i = 0; m_.limitRemote && i < 4; ++i)
      if (ParseCount(judge_.First(a, hours[i], NeedCount(0, 23)), 23, &n))
        m_.remoteHours[i] = static_cast<int>(n);
  }

  void SmtpAgent(const DirObject& a) {
    m_.smtp = true;
    m_.smtpAgent = a.full;
    for (const std::string& d : judge_.Values(a, "Quorvel:Domain", NeedDomain))
      AddUnique(&m_.domains, Lower(Trim(d)));
    for (const std::string& d : judge_.Values(a, "TARQ:User Domain", NeedDomain)) {
      std::string domain = Lower(Trim(d));
      if (std::find(m_.domains.begin(), m_.domains.end(), domain) == m_.domains.end())
        AddUnique(&m_.hostedDomains, domain);
    }
    ParseMessageLimit(judge_.First(a, "Quorvel:Message Limit",
                                   [](const std::string& v) {
                                     uint64_t b;
                                     return ParseMessageLimit(v, &b)
                                                ? ""
                                                : "not a number of megabytes (or <none>)";
                                   }),
                      &m_.messageLimit);
    m_.vrfy = Flag(a, "Quorvel:SMTP Allow VRFY");
    m_.expn = Flag(a, "Quorvel:SMTP Allow EXPN");
    m_.acceptEtrn = Flag(a, "Quorvel:SMTP Accept ETRN");
    m_.sendEtrn = Flag(a, "Quorvel:SMTP Send ETRN");
    m_.verifyRecipients = Flag(a, "Quorvel:SMTP Verify Address");
    std::string relay = judge_.First(a, "Quorvel:RelayHost", [](const std::string& v) {
      std::string p;
      return Trim(v).empty() || ParseRelayHost(v, &p) ? "" : "not a host name or address";
    });
    if (!relay.empty()) ParseRelayHost(relay, &m_.relayHost);
    uint64_t n = 0;
    if (ParseCount(judge_.First(a, "TARQ:UBE Configuration", NeedCount(0, 0xFFFFFFFFu)),
                   0xFFFFFFFFu, &n))
      m_.ube = static_cast<uint32_t>(n);
    for (const std::string& r : judge_.Values(a, "TARQ:Allowed Address", NeedRange)) {
      std::vector<std::string> blocks;
      RangeToCidrs(r, &blocks);
      for (const std::string& b : blocks) AddUnique(&m_.allowed, b);
    }
    for (const std::string& r : judge_.Values(a, "TARQ:Blocked Address", NeedRange)) {
      std::vector<std::string> blocks;
      RangeToCidrs(r, &blocks);
      for (const std::string& b : blocks) AddUnique(&m_.blockedHosts, b);
    }
    std::string limit = judge_.First(a, "TARQ:Recipient Limit", [](const std::string& v) {
      uint64_t c;
      return Trim(v).empty() || (ParseCount(v, 1000000, &c) && c > 0)
                 ? ""
                 : "not a number from 1 to 1000000";
    });
    if (ParseCount(limit, 1000000, &n)) m_.recipientLimit = static_cast<uint32_t>(n);
    if (m_.ube & 0x10) m_.rblHost = Lower(judge_.First(a, "TARQ:RBL Host", NeedDomain));
  }

  std::string Primary() const { return m_.domains.empty() ? "localhost" : m_.domains[0]; }

  bool Accepted(const std::string& domain) const {
    return std::find(m_.domains.begin(), m_.domains.end(), domain) != m_.domains.end() ||
           std::find(m_.hostedDomains.begin(), m_.hostedDomains.end(), domain) !=
               m_.hostedDomains.end();
  }

  void Users() {
    bool replies = Enabled(kAutoReplyClass) != nullptr;
    std::set<std::string> names;
    for (const Snapshot::Context& c : s_.contexts) {
      std::string containerDomain = Lower(judge_.First(c.container, "Quorvel:Domain", NeedDomain));
      for (const DirObject& o : c.users) {
        MailUser u;
        u.object = o.full;
        u.name = Lower(std::string(dir::LeafName(o.full)));
        if (!UsableUserName(u.name)) {
          refusals_.push_back({o.full, "name", std::string(dir::LeafName(o.full)),
                               "not usable as a mailbox and login name"});
          continue;
        }
        if (!names.insert(u.name).second) continue;  // the first context's user wins
        u.folder = u.name;
        u.canonical = u.name + "@" + Primary();
        u.addresses.push_back(u.canonical);
        for (const std::string& d : m_.domains) AddUnique(&u.addresses, u.name + "@" + d);
        if (!containerDomain.empty() && Accepted(containerDomain))
          AddUnique(&u.addresses, u.name + "@" + containerDomain);
        u.official = Lower(judge_.First(o, "Quorvel:EMail Address", NeedAddress));
        if (!u.official.empty() && Accepted(u.official.substr(u.official.find('@') + 1)))
          AddUnique(&u.addresses, u.official);
        u.password = o.First("Password");
        u.disabled = Flag(o, "Quorvel:Messaging Disabled");
        std::string forwarding = o.First("Quorvel:Forwarding Enabled");
        if (replies && !forwarding.empty() && (forwarding[0] == '1' || forwarding[0] == '2')) {
          u.forwardTo = Lower(judge_.First(o, "Quorvel:Forwarding Address", NeedAddress));
          if (!u.forwardTo.empty()) u.forwarding = forwarding[0] - '0';
        }
        if (replies && Flag(o, "Quorvel:Vacation Message Enabled")) {
          u.vacation = true;
          u.reply = TextToUtf8(o.First("Quorvel:Reply Message"));
        }
        if (m_.perUserQuotas && Flag(o, "Quorvel:Use Quota"))
          ParseKilobytes(judge_.First(o, "Quorvel:Quota Value", NeedCount(0, 0xFFFFFFFFu)),
                         &u.quotaKb);
        m_.users.push_back(u);
      }
    }
  }

  const MailUser* UserNamed(const std::string& name) const {
    for (const MailUser& u : m_.users)
      if (u.name == name) return &u;
    return nullptr;
  }
  bool Taken(const std::string& address) const {
    if (m_.aliases.count(address)) return true;
    for (const MailUser& u : m_.users)
      if (std::find(u.addresses.begin(), u.addresses.end(), address) != u.addresses.end())
        return true;
    return false;
  }
  // An alias's name at every address it stands for.
  std::vector<std::string> AliasAddresses(const std::string& name) const {
    if (name.find('@') != std::string::npos) return {name};
    std::vector<std::string> out;
    for (const std::string& d : m_.domains) out.push_back(name + "@" + d);
    return out;
  }
  std::string Target(const std::string& t) const {
    if (t.find('@') != std::string::npos) return t;
    const MailUser* u = UserNamed(t);
    return u ? u->canonical : t + "@" + Primary();
  }

  void Aliases(const DirObject& agent) {
    auto parse = [](const std::string& v) {
      std::string n;
      std::vector<std::string> t;
      return ParseAlias(v, &n, &t) ? "" : "not name=address[,address...]";
    };
    // Local aliases first: they win over global ones of the same name, and
    // users' own addresses win over both.
    std::vector<std::string> all = judge_.Values(agent, "Quorvel:Alias", parse);
    for (const std::string& v : judge_.Values(s_.services, "Quorvel:Alias", parse)) all.push_back(v);
    for (const std::string& v : all) {
      std::string name;
      std::vector<std::string> targets;
      ParseAlias(v, &name, &targets);
      for (const std::string& address : AliasAddresses(name)) {
        if (Taken(address)) continue;
        for (const std::string& t : targets) AddUnique(&m_.aliases[address], Target(t));
      }
    }
    uint64_t n = 0;
    ParseCount(judge_.First(agent, "Quorvel:Alias Options", NeedCount(0, 0xFFFFFFFFu)),
               0xFFFFFFFFu, &n);
    for (const Snapshot::Context& c : s_.contexts) {
      for (const DirObject& o : c.users) {
        const MailUser* u = UserNamed(Lower(std::string(dir::LeafName(o.full))));
        if (!u || u->object != o.full) continue;
        for (const std::string& form : NameForms(static_cast<uint32_t>(n), o.First("Given Name"),
                                                 o.First("Surname"), o.First("Full Name")))
          for (const std::string& address : AliasAddresses(form))
            if (!Taken(address)) m_.aliases[address] = {u->canonical};
      }
    }
  }

  void AntiSpam(const DirObject& agent) {
    for (const std::string& v : judge_.Values(agent, "Quorvel:EMail Address", [](const std::string& e) {
           std::string k;
           return BlockedSenderKey(e, &k) ? "" : "not an address or domain";
         })) {
      std::string key;
      BlockedSenderKey(v, &key);
      AddUnique(&m_.blockedSenders, key);
    }
    uint64_t n = 0;
    if (ParseCount(judge_.First(agent, "Quorvel:Action", NeedCount(0, 3)), 3, &n))
      m_.spamAction = static_cast<uint32_t>(n);
  }

  void Postmaster() {
    std::string named = s_.messaging.First("Quorvel:Postmaster");
    std::string full;
    if (!named.empty() && dir::ResolveName("[Root]", named, &full) == dir::kOk) {
      for (const MailUser& u : m_.users)
        if (dir::SameText(u.object, full) && !u.disabled) m_.postmaster = u.canonical;
    }
    if (m_.postmaster.empty() && !m_.undeliverableTo.empty()) m_.postmaster = m_.undeliverableTo;
    if (m_.postmaster.empty()) return;
    for (const std::string& address : AliasAddresses("postmaster"))
      if (!Taken(address)) m_.aliases[address] = {m_.postmaster};
  }

  const Snapshot& s_;
  Judge& judge_;
  std::vector<Refusal>& refusals_;
  MailSettings& m_;
};

}  // namespace

const std::vector<std::string>& DirObject::Values(const std::string& attribute) const {
  auto it = values.find(dir::Fold(attribute));
  return it == values.end() ? kNone : it->second;
}

std::string DirObject::First(const std::string& attribute) const {
  const std::vector<std::string>& v = Values(attribute);
  return v.empty() ? std::string() : v[0];
}

bool IsServedClass(const std::string& className) {
  for (const char* c : {kSmtpClass, kAliasClass, kAntiSpamClass, kAutoReplyClass, kImapClass,
                        kPopClass, kStoreClass})
    if (dir::SameText(className, c)) return true;
  return false;
}

MailSettings Interpret(const Snapshot& s, const GoodValues& lastGood, GoodValues* good,
                       std::vector<Refusal>* refusals) {
  MailSettings m;
  good->clear();
  refusals->clear();
  Judge judge(lastGood, good, refusals);
  Reading(s, &judge, refusals, &m).Run();
  return m;
}

void MatchFolders(MailSettings* m, const std::vector<std::string>& folders) {
  for (MailUser& u : m->users)
    for (const std::string& f : folders)
      if (Lower(f) == u.name) u.folder = f;
}

}  // namespace zelm::mail
