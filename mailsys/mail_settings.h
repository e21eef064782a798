// What the mail system serves, in two steps: the directory's objects as read
// (Snapshot: classes and text values, nothing judged), and the settings the
// daemons are configured from (MailSettings), which Interpret makes of them.
// Interpret is where a value a daemon would reject is caught: such a value
// is refused (named in the result) and the attribute keeps the values it had
// the last time it was good, or none.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zelm::mail {

struct DirObject {
  std::string full;       // full name; "" when not found
  std::string className;
  std::map<std::string, std::vector<std::string>> values;  // by attribute name folded to lower case

  const std::vector<std::string>& Values(const std::string& attribute) const;
  std::string First(const std::string& attribute) const;
};

struct Snapshot {
  std::string serverObject;   // the "HVX Server" object's full name
  DirObject host;             // that object (Volume values)
  std::string location;       // the directory (a database file path or an address)
  DirObject messaging;        // the messaging server on the host; empty full when none
  std::vector<DirObject> agents;  // the objects directly below it
  DirObject services;         // ".Internet Services" (global aliases)
  struct Context {
    DirObject container;      // "Quorvel:Domain" of its users
    std::vector<DirObject> users;
  };
  std::vector<Context> contexts;
  std::string storeOverride;  // the store folder given to the program; "" = the store agent's
  std::string problem;        // why the directory could not be read; empty when it could
};

struct Refusal {
  std::string object;     // full name
  std::string attribute;
  std::string value;      // the first value refused
  std::string why;
};

struct MailUser {
  std::string name;             // lower-case leaf name: login, LMTP recipient, Sieve file
  std::string folder;           // the user's folder below the store root
  std::string object;           // full name in the directory
  std::string canonical;        // name@primary domain: what every address of the user becomes
  std::vector<std::string> addresses;  // lower case, canonical first
  std::string official;         // "Quorvel:EMail Address"; "" when none
  std::string password;         // as stored; "" = no logins
  bool disabled = false;
  int forwarding = 0;           // 0 none, 1 forward only, 2 forward and keep a copy
  std::string forwardTo;
  bool vacation = false;
  std::string reply;            // UTF-8
  uint64_t quotaKb = 0;         // 0 = the system-wide rule (or none)
};

struct MailSettings {
  std::string unavailable;      // why nothing is served; empty when the store is
  std::string messagingServer;  // full names of what was read
  std::string storeRoot;
  bool serverDisabled = false;  // the messaging server
  bool storeDisabled = false;   // the store agent: mail waits in the queue

  // SMTP agent.
  bool smtp = false;            // an SMTP agent exists and is enabled
  std::string smtpAgent;
  std::vector<std::string> domains;        // the first is the primary domain
  std::vector<std::string> hostedDomains;
  uint64_t messageLimit = 0;               // bytes; 0 none
  bool vrfy = false, expn = false, acceptEtrn = false, sendEtrn = false;
  bool verifyRecipients = false;
  std::string relayHost;                   // "[host]:port"; "" direct
  uint32_t ube = 0;                        // "TARQ:UBE Configuration" bits
  std::vector<std::string> trusted;        // CIDR blocks: the store agent's trusted hosts
  std::vector<std::string> allowed;        // CIDR blocks of "TARQ:Allowed Address"
  std::vector<std::string> blockedHosts;   // CIDR blocks of "TARQ:Blocked Address"
  uint32_t recipientLimit = 0;             // 0: the daemon's default
  std::string rblHost;

  // Store agent.
  uint32_t queueDays = 5, queueMinutes = 30;
  uint64_t minimumFreeKb = 0;
  std::string undeliverableTo;             // catch-all of the local domains; "" none
  uint64_t quotaKb = 0;                    // system-wide; 0 none
  bool perUserQuotas = false;
  std::string quotaMessage;                // one line
  bool limitRemote = false;                // no remote deliveries in these hours
  int remoteHours[4] = {0, 0, 0, 0};       // weekday from, to, weekend from, to

  // Alias and anti-spam agents.
  std::map<std::string, std::vector<std::string>> aliases;  // address -> addresses
  std::vector<std::string> blockedSenders;  // sender access keys
  uint32_t spamAction = 0;                   // 1 send back, 2 postmaster
  std::string postmaster;                    // address; "" none

  // IMAP and POP agents.
  bool imap = false, pop = false;

  std::vector<MailUser> users;
  std::vector<std::string> agents;  // full names of the agents read that the mail system serves
  // The agents whose "Quorvel:Config Changed" read as set (object, value).
  std::vector<std::pair<std::string, std::string>> changed;
};

// Attribute values that were good the last time, by "object\nattribute"
// (both folded to lower case).
using GoodValues = std::map<std::string, std::vector<std::string>>;

// The settings of the snapshot. Every value a daemon would reject is refused
// into *refusals and replaced by the last good values of its attribute
// (from lastGood), or by none. *good gets the values used this time.
MailSettings Interpret(const Snapshot& s, const GoodValues& lastGood, GoodValues* good,
                       std::vector<Refusal>* refusals);

// Each user's folder: the store's folder of that name, letter case aside,
// when there is one (folders: those directly below the store root).
void MatchFolders(MailSettings* m, const std::vector<std::string>& folders);

// Agent classes the mail system serves, and their module file names.
extern const char kSmtpClass[], kAliasClass[], kAntiSpamClass[], kAutoReplyClass[],
    kImapClass[], kPopClass[], kStoreClass[];
bool IsServedClass(const std::string& className);

}  // namespace zelm::mail
