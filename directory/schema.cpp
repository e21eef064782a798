#include "schema.h"

#include <algorithm>

#include "names.h"

namespace zelm::dir {
namespace {

constexpr uint32_t kDN = kSyntaxDistinguishedName;
constexpr uint32_t kCI = kSyntaxCaseIgnoreString;
constexpr bool kMulti = true;
constexpr bool kSingle = false;

const char* const kAgentClasses[] = {
    "Quorvel:ZELM Agent",  "Quorvel:SMTP Agent",        "Quorvel:AntiSpam Agent",
    "Quorvel:Alias Agent", "Quorvel:AutoReply Agent",   "Quorvel:WebMail Agent",
    "Quorvel:Signup Agent", "Quorvel:Proxy Agent",      "Quorvel:Addressbook Agent",
    "Quorvel:Finger Agent", "TARQ:ConnMgr Agent",       "Quorvel:IMAP Agent",
    "Quorvel:POP Agent"};

}  // namespace

Schema::Schema() {
  attributes_ = {
      {"Object Class", kSyntaxClassName, kSingle, false},
      {"Description", kCI, kSingle, false},
      // Users, file servers: what the stand-ins themselves need.
      {"Given Name", kCI, kSingle, false},
      {"Surname", kCI, kSingle, false},
      {"Full Name", kCI, kSingle, false},
      {"Password", kSyntaxCaseExactString, kSingle, true},
      {"Network Address", kCI, kSingle, false},  // "a.b.c.d" or "a.b.c.d:port"
      {"Volume", kCI, kMulti, false},            // "NAME=folder"
      // Messaging server and its agents.
      {"Quorvel:Action", kCI, kSingle, false},
      {"Quorvel:Addressbook Config", kCI, kSingle, false},
      {"Quorvel:Addressbook URL Public", kCI, kSingle, false},
      {"Quorvel:Addressbook URL System", kCI, kSingle, false},
      {"Quorvel:Advertising Config", kCI, kMulti, false},
      {"Quorvel:Alias", kCI, kMulti, false},
      {"Quorvel:Alias Options", kCI, kSingle, false},
      {"Quorvel:Client", kDN, kMulti, false},
      {"Quorvel:Color", kCI, kMulti, false},
      {"Quorvel:Config Changed", kCI, kSingle, false},
      {"Quorvel:Configuration", kCI, kMulti, false},
      {"Quorvel:Context", kDN, kMulti, false},
      {"Quorvel:Disabled", kCI, kSingle, false},
      {"Quorvel:Domain", kCI, kMulti, false},
      {"Quorvel:EMail Address", kCI, kMulti, false},
      {"Quorvel:Finger Message", kCI, kSingle, false},
      {"Quorvel:Forward Undeliverable", kCI, kSingle, false},
      {"Quorvel:Forwarding Address", kCI, kSingle, false},
      {"Quorvel:Forwarding Enabled", kCI, kSingle, false},
      {"Quorvel:Host", kDN, kSingle, false},
      {"Quorvel:IP Address", kCI, kSingle, false},
      {"Quorvel:LDAP Options", kCI, kSingle, false},
      {"Quorvel:Limit Remote Beg Weekday", kCI, kSingle, false},
      {"Quorvel:Limit Remote Beg Weekend", kCI, kSingle, false},
      {"Quorvel:Limit Remote End Weekday", kCI, kSingle, false},
      {"Quorvel:Limit Remote End Weekend", kCI, kSingle, false},
      {"Quorvel:Limit Remote Processing", kCI, kSingle, false},
      {"Quorvel:Message Limit", kCI, kSingle, false},
      {"Quorvel:Message Store", kDN, kSingle, false},
      {"Quorvel:Messaging Disabled", kCI, kSingle, false},
      {"Quorvel:Messaging Server", kDN, kSingle, false},
      {"Quorvel:Minimum Free Space", kCI, kSingle, false},
      {"Quorvel:Module Name", kCI, kSingle, false},
      {"Quorvel:Module Version", kCI, kSingle, false},
      {"Quorvel:Official Name", kCI, kSingle, false},
      {"Quorvel:Port", kCI, kSingle, false},
      {"Quorvel:Postmaster", kDN, kSingle, false},
      {"Quorvel:Privacy", kCI, kSingle, false},
      {"Quorvel:Proxy List", kCI, kMulti, false},
      {"Quorvel:Queue Interval", kCI, kSingle, false},
      {"Quorvel:Queue Timeout", kCI, kSingle, false},
      {"Quorvel:Quota Message", kCI, kSingle, false},
      {"Quorvel:Quota Value", kCI, kSingle, false},
      {"Quorvel:RelayHost", kCI, kSingle, false},
      {"Quorvel:Reply Message", kCI, kSingle, false},
      {"Quorvel:Resolver", kCI, kMulti, false},
      {"Quorvel:Routing", kCI, kSingle, false},
      {"Quorvel:SCMS Size Threshold", kCI, kSingle, false},
      {"Quorvel:SCMS User Threshold", kCI, kSingle, false},
      {"Quorvel:SMTP Accept ETRN", kCI, kSingle, false},
      {"Quorvel:SMTP Allow EXPN", kCI, kSingle, false},
      {"Quorvel:SMTP Allow VRFY", kCI, kSingle, false},
      {"Quorvel:SMTP Send ETRN", kCI, kSingle, false},
      {"Quorvel:SMTP Verify Address", kCI, kSingle, false},
      {"Quorvel:SNMP Contact", kCI, kSingle, false},
      {"Quorvel:SNMP Description", kCI, kSingle, false},
      {"Quorvel:SNMP Location", kCI, kSingle, false},
      {"Quorvel:SNMP Name", kCI, kSingle, false},
      {"Quorvel:SNMP Organization", kCI, kSingle, false},
      {"Quorvel:SNMP Version", kCI, kSingle, false},
      {"Quorvel:SSL Options", kCI, kSingle, false},
      {"Quorvel:SSL Port", kCI, kSingle, false},
      {"Quorvel:Server Standalone", kCI, kSingle, false},
      {"Quorvel:Server Status", kCI, kSingle, false},
      {"Quorvel:Syslog Config", kCI, kMulti, false},
      {"Quorvel:Thread Limit", kCI, kSingle, false},
      {"Quorvel:Time Interval", kCI, kSingle, false},
      {"Quorvel:Timeout", kCI, kSingle, false},
      {"Quorvel:Use Quota", kCI, kSingle, false},
      {"Quorvel:Vacation Message Enabled", kCI, kSingle, false},
      {"Quorvel:Work Directory", kCI, kSingle, false},
      {"Quorvel:ZELM Queue Server", kDN, kSingle, false},
      {"Quorvel:ZELM Server", kDN, kMulti, false},
      {"Quorvel:ZELM Trusted Hosts", kCI, kMulti, false},
      {"TARQ:Allowed Address", kCI, kMulti, false},
      {"TARQ:Blocked Address", kCI, kMulti, false},
      {"TARQ:ConnMgr", kDN, kSingle, false},
      {"TARQ:ConnMgr Config", kCI, kSingle, false},
      {"TARQ:RBL Host", kCI, kSingle, false},
      {"TARQ:RTS Antispam Config", kCI, kSingle, false},
      {"TARQ:Recipient Limit", kCI, kSingle, false},
      {"TARQ:UBE Configuration", kCI, kSingle, false},
      {"TARQ:User Domain", kCI, kMulti, false},
  };

  const std::vector<const char*> orgUnits = {"Organization", "Organizational Unit"};
  classes_ = {
      {"Top", nullptr, true, false, {}, {"Object Class", "Description"}},
      {"Organization", "Top", false, true, {"[Root]"},
       {"Quorvel:Message Store", "Quorvel:Domain"}},
      {"Organizational Unit", "Top", false, true, orgUnits,
       {"Quorvel:Message Store", "Quorvel:Domain"}},
      {"User", "Top", false, false, orgUnits,
       {"Given Name", "Surname", "Full Name", "Password", "Quorvel:Privacy", "Quorvel:Timeout",
        "Quorvel:EMail Address", "Quorvel:Messaging Disabled", "Quorvel:Forwarding Enabled",
        "Quorvel:Forwarding Address", "Quorvel:Vacation Message Enabled",
        "Quorvel:Reply Message", "Quorvel:Use Quota", "Quorvel:Quota Value",
        "Quorvel:Proxy List", "Quorvel:Finger Message"}},
      {"HVX Server", "Top", false, false, orgUnits,
       {"Network Address", "Volume", "Quorvel:Messaging Server", "Quorvel:Syslog Config"}},
      {"Quorvel:Services", "Top", false, true, {"[Root]", "Organization", "Organizational Unit"},
       {"Quorvel:Alias", "Quorvel:Syslog Config"}},
      {"Quorvel:Messaging Server", "Top", false, true,
       {"Organization", "Organizational Unit", "Quorvel:Services"},
       {"Quorvel:Host", "Quorvel:Postmaster", "Quorvel:Official Name", "Quorvel:Context",
        "Quorvel:SNMP Description", "Quorvel:SNMP Version", "Quorvel:Work Directory",
        "Quorvel:Resolver", "TARQ:ConnMgr Config", "TARQ:ConnMgr", "Quorvel:Server Standalone",
        "Quorvel:SSL Options", "Quorvel:SNMP Organization", "Quorvel:SNMP Location",
        "Quorvel:SNMP Contact", "Quorvel:SNMP Name", "Quorvel:Disabled", "Quorvel:IP Address",
        "Quorvel:Server Status", "Quorvel:Config Changed"}},
      {"Quorvel:Certificate Database", "Top", false, true,
       {"Organization", "Organizational Unit", "Quorvel:Services", "Quorvel:Messaging Server"},
       {}},
      {"Quorvel:Mail Agent", "Top", true, false, {"Quorvel:Messaging Server"},
       {"Quorvel:Module Name", "Quorvel:Module Version", "Quorvel:Disabled",
        "Quorvel:ZELM Queue Server", "Quorvel:ZELM Server", "Quorvel:Config Changed"}},
  };
  const std::vector<std::vector<const char*>> agentAttributes = {
      // ZELM
      {"Quorvel:Message Store", "Quorvel:Queue Timeout", "Quorvel:Queue Interval",
       "Quorvel:Minimum Free Space", "Quorvel:Forward Undeliverable", "TARQ:RTS Antispam Config",
       "Quorvel:Limit Remote Processing", "Quorvel:Limit Remote Beg Weekday",
       "Quorvel:Limit Remote End Weekday", "Quorvel:Limit Remote Beg Weekend",
       "Quorvel:Limit Remote End Weekend", "Quorvel:Use Quota", "Quorvel:Quota Value",
       "Quorvel:Quota Message", "Quorvel:SCMS User Threshold", "Quorvel:SCMS Size Threshold",
       "Quorvel:ZELM Trusted Hosts", "Quorvel:Client"},
      // SMTP
      {"Quorvel:Domain", "TARQ:User Domain", "Quorvel:Message Limit", "Quorvel:Routing",
       "Quorvel:SMTP Accept ETRN", "Quorvel:SMTP Send ETRN", "Quorvel:SMTP Allow VRFY",
       "Quorvel:SMTP Allow EXPN", "Quorvel:SMTP Verify Address", "Quorvel:RelayHost",
       "TARQ:UBE Configuration", "TARQ:Allowed Address", "TARQ:Blocked Address",
       "TARQ:Recipient Limit", "TARQ:RBL Host"},
      // AntiSpam
      {"Quorvel:EMail Address", "Quorvel:Action"},
      // Alias
      {"Quorvel:Time Interval", "Quorvel:Alias Options", "Quorvel:Alias"},
      // AutoReply
      {},
      // WebMail
      {"Quorvel:Port", "Quorvel:SSL Port", "Quorvel:Configuration", "Quorvel:Addressbook Config",
       "Quorvel:Addressbook URL System", "Quorvel:Addressbook URL Public",
       "Quorvel:Advertising Config", "Quorvel:Message Limit", "TARQ:Recipient Limit",
       "Quorvel:Color"},
      // Signup
      {"Quorvel:Port", "Quorvel:SSL Port", "Quorvel:Configuration"},
      // Proxy
      {"Quorvel:Time Interval", "Quorvel:Thread Limit"},
      // Addressbook
      {"Quorvel:Port", "Quorvel:Time Interval", "Quorvel:LDAP Options"},
      // Finger
      {},
      // ConnMgr
      {"Quorvel:Timeout"},
      // IMAP, POP
      {},
      {},
  };
  for (size_t i = 0; i < std::size(kAgentClasses); ++i) {
    classes_.push_back({kAgentClasses[i], "Quorvel:Mail Agent", false, false,
                        {"Quorvel:Messaging Server"}, agentAttributes[i]});
  }
}

const Schema& Schema::Get() {
  static const Schema schema;
  return schema;
}

const AttributeDef* Schema::FindAttribute(std::string_view name) const {
  for (const AttributeDef& a : attributes_)
    if (SameText(a.name, name)) return &a;
  return nullptr;
}

const ClassDef* Schema::FindClass(std::string_view name) const {
  for (const ClassDef& c : classes_)
    if (SameText(c.name, name)) return &c;
  return nullptr;
}

bool Schema::Allows(const ClassDef* cls, const AttributeDef* attr) const {
  for (const ClassDef* c = cls; c; c = c->super ? FindClass(c->super) : nullptr) {
    for (const char* a : c->attributes)
      if (SameText(a, attr->name)) return true;
  }
  return false;
}

bool Schema::MayContain(const ClassDef* parent, const ClassDef* child) const {
  std::string_view parentName = parent ? std::string_view(parent->name) : kRootName;
  for (const ClassDef* c = child; c; c = c->super ? FindClass(c->super) : nullptr) {
    for (const char* p : c->parents)
      if (SameText(p, parentName)) return true;
  }
  return false;
}

bool Schema::KnownSyntax(uint32_t syntax) {
  return syntax == kSyntaxDistinguishedName || syntax == kSyntaxCaseExactString ||
         syntax == kSyntaxCaseIgnoreString || syntax == kSyntaxClassName;
}

bool Schema::Accepts(const AttributeDef* attr, uint32_t syntax) {
  if (attr->syntax == kSyntaxClassName || syntax == kSyntaxClassName)
    return attr->syntax == syntax;
  if (attr->syntax == kSyntaxCaseExactString)
    return syntax == kSyntaxCaseExactString || syntax == kSyntaxCaseIgnoreString;
  return syntax == kSyntaxDistinguishedName || syntax == kSyntaxCaseIgnoreString;
}

}  // namespace zelm::dir
