#include "directory_link.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>

#include "directory_values.h"
#include "ldap_backend.h"
#include "ldap_map.h"
#include "ldap_rules.h"
#include "ldap_sync.h"
#include "names.h"

namespace dir = zelm::dir;

namespace {

constexpr char kServerClass[] = "HVX Server";
constexpr char kMessagingClass[] = "Quorvel:Messaging Server";
constexpr char kStoreAgentClass[] = "Quorvel:ZELM Agent";
constexpr char kConfigChanged[] = "Quorvel:Config Changed";
constexpr int kMaxDepth = 32;
constexpr size_t kListPage = 256;


std::string Text(int code) { return std::to_string(code) + " " + dir::ResultText(code); }

const std::vector<std::string>* Find(const std::vector<dir::AttributeValues>& read,
                                     const char* name) {
  for (const dir::AttributeValues& a : read)
    if (dir::SameText(a.name, name)) return &a.values;
  return nullptr;
}

std::vector<std::string> ValuesOf(const std::vector<dir::AttributeValues>& read, const char* name) {
  const std::vector<std::string>* v = Find(read, name);
  return v ? *v : std::vector<std::string>();
}

std::string First(const std::vector<dir::AttributeValues>& read, const char* name) {
  const std::vector<std::string>* v = Find(read, name);
  return v && !v->empty() ? (*v)[0] : std::string();
}

// A reference as the pages write it (".FS1.Acme", "FS1.Acme") as a full name.
std::string FullName(const std::string& value) {
  std::string full;
  if (value.empty() || dir::ResolveName("[Root]", value, &full) != dir::kOk) return std::string();
  return full;
}

}  // namespace

// Over LDAP: what others change, as content synchronisation reports it.
// A change counts when it touches an object of the classes the server reads
// in anything but what the server writes itself (status, address) or a
// change flag turned off; a change flag turned on always counts.
struct DirectoryLink::Follower {
  std::unique_ptr<dir::LdapFollower> sync;
  std::map<std::string, std::string> contents;  // by entryUUID: what counts, as text
  std::string selfDn;
  std::chrono::steady_clock::time_point retryAt{};
  std::atomic<uint64_t> changes{0};

  static bool Counts(const std::string& description) {
    static const char* const kOwn[] = {"Quorvel:Server Status", "Quorvel:IP Address",
                                       kConfigChanged};
    uint32_t syntax;
    const dir::AttributeDef* def = dir::AttributeOfDescription(description, &syntax);
    if (!def) return !dir::SameText(description, "modifiersName") &&
                     !dir::SameText(description, "entryCSN");
    for (const char* own : kOwn)
      if (dir::SameText(def->name, own)) return false;
    return true;
  }

  // Whether one reported entry changed what the server reads.
  bool Relevant(const dir::LdapFollower::Event& e) {
    if (e.kind == dir::LdapFollower::Event::kGone) {
      contents.erase(e.uuid);
      return true;  // what it was is not known: perhaps one of ours
    }
    if (e.kind != dir::LdapFollower::Event::kEntry) return false;
    std::vector<std::string> parts;
    bool classOfOurs = false, flagOn = false, bySelf = false;
    for (const auto& [desc, values] : e.attrs) {
      if (dir::SameText(desc, "objectClass"))
        for (const std::string& v : values)
          for (const char* c : {kServerClass, kMessagingClass, kStoreAgentClass, "User"})
            if (dir::SameText(v, dir::LdapName(c))) classOfOurs = true;
      if (dir::SameText(desc, "modifiersName") && !values.empty())
        bySelf = dir::SameText(values[0], selfDn);
      uint32_t syntax;
      const dir::AttributeDef* def = dir::AttributeOfDescription(desc, &syntax);
      if (def && dir::SameText(def->name, kConfigChanged)) flagOn = FlagOn(values);
      if (!Counts(desc)) continue;
      std::vector<std::string> sorted = values;
      std::sort(sorted.begin(), sorted.end());
      std::string part = dir::Fold(desc);
      for (const std::string& v : sorted) part += '\0' + v;
      parts.push_back(part);
    }
    if (!classOfOurs) return false;
    std::sort(parts.begin(), parts.end());
    std::string content;
    for (const std::string& p : parts) content += p + '\1';
    auto it = contents.find(e.uuid);
    // Seen for the first time: the server's own write says nothing new.
    const bool changed = it == contents.end() ? !bySelf : it->second != content;
    contents[e.uuid] = std::move(content);
    return changed || flagOn;
  }
};

DirectoryLink::DirectoryLink() = default;
DirectoryLink::~DirectoryLink() = default;

bool ReadPasswordFile(const std::string& path, std::string* password, std::string* error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *error = "cannot read the password file " + path + ": " + std::strerror(errno);
    if (fd >= 0) close(fd);
    return false;
  }
  if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0 || (st.st_uid != 0 && st.st_uid != geteuid())) {
    close(fd);
    char mode[8];
    std::snprintf(mode, sizeof mode, "%03o", unsigned(st.st_mode & 0777));
    *error = "refusing the password file " + path + ": others may read or change it (mode " +
             mode + "); it must belong to root or this user, mode 600";
    return false;
  }
  char buf[1024];
  ssize_t n = read(fd, buf, sizeof buf);
  close(fd);
  if (n < 0 || n == sizeof buf) {
    *error = "cannot read the password file " + path + (n < 0 ? "" : ": longer than a password");
    return false;
  }
  password->assign(buf, size_t(n));
  password->erase(std::min(password->find('\n'), password->size()));
  if (!password->empty() && password->back() == '\r') password->pop_back();
  if (password->empty()) {
    *error = "the password file " + path + " holds no password";
    return false;
  }
  return true;
}

bool DirectoryLink::Connect(std::string* error) {
  dir_.reset();
  std::string why;
  int r = dir::OpenBackend(location_, identity_, password_, identity_.empty(), &dir_, &why);
  if (r != dir::kOk) {
    *error = "cannot open the directory " + location_ + ": " + Text(r) + (why.empty() ? "" : " (" + why + ")");
    return false;
  }
  return true;
}

bool DirectoryLink::Open(const std::string& location, const std::string& serverObject,
                         const std::string& identity, const std::string& passwordFile,
                         std::string* error) {
  location_ = location;
  ldap_ = dir::IsDirectoryAddress(location);
  volumesBeside_ = location;
  if (ldap_) {
    if (passwordFile.empty()) {
      *error = "a directory on an LDAP server needs --password-file FILE for " +
               (identity.empty() ? std::string("its administrator") : identity);
      return false;
    }
    if (!ReadPasswordFile(passwordFile, &password_, error)) return false;
    // Relative volume folders lie in the server's working folder.
    char cwd[4096];
    volumesBeside_ = std::string(getcwd(cwd, sizeof cwd) ? cwd : ".") + "/-";
  }
  if (!identity.empty()) {
    identity_ = FullName(identity);
    if (identity_.empty()) {
      *error = "no user " + identity + " in the directory to act as";
      return false;
    }
  }
  if (!Connect(error)) return false;
  server_ = FullName(serverObject);
  dir::ObjectInfo info;
  if (server_.empty() || dir_->Describe(server_, &info) != dir::kOk ||
      !dir::SameText(info.className, kServerClass)) {
    *error = "no server object " + serverObject + " (class " + kServerClass + ") in the directory";
    return false;
  }
  if (!identity_.empty() &&
      (dir_->Describe(identity_, &info) != dir::kOk || !dir::SameText(info.className, "User"))) {
    *error = "no user " + identity + " in the directory to act as";
    return false;
  }
  if (ldap_) {
    follower_ = std::make_unique<Follower>();
    std::string base = location.substr(location.find('/', 7) + 1);
    follower_->selfDn = identity_.empty() ? dir::LdapAdminDn(base) : dir::LdapUserDn(identity_, base);
    // Before the first reading, so nothing between is missed; when it
    // cannot start now, Current tries again.
    Follow();
  }
  return true;
}

int DirectoryLink::ReadAll(const std::string& object, const std::vector<std::string>& names,
                           std::vector<dir::AttributeValues>* out) {
  int r = dir_->Read(object, names, out);
  if (r == dir::kErrNoSuchAttribute) {  // none of them set: no values, not a failure
    out->clear();
    return dir::kOk;
  }
  return r;
}

std::vector<std::string> DirectoryLink::Values(const std::string& object,
                                               const std::string& attribute, int* result) {
  std::vector<dir::AttributeValues> read;
  int r = ReadAll(object, {attribute}, &read);
  if (result) *result = r;
  return r == dir::kOk && !read.empty() ? read[0].values : std::vector<std::string>();
}

std::string DirectoryLink::NetworkAddress() {
  std::vector<std::string> v = Values(server_, "Network Address");
  return v.empty() ? std::string() : v[0];
}

bool DirectoryLink::HostIsMine(const std::string& messagingServer) {
  dir::ObjectInfo info;
  if (messagingServer.empty() || dir_->Describe(messagingServer, &info) != dir::kOk ||
      !dir::SameText(info.className, kMessagingClass))
    return false;
  std::vector<std::string> hosts = Values(messagingServer, "Quorvel:Host");
  return !hosts.empty() && dir::SameText(FullName(hosts[0]), server_);
}

void DirectoryLink::Walk(const std::string& container, int depth, std::string* found) {
  if (depth > kMaxDepth || !found->empty()) return;
  std::string after;
  for (;;) {
    std::vector<dir::ObjectInfo> page;
    bool more = false;
    if (dir_->List(container, after, kListPage, &page, &more) != dir::kOk) return;
    for (const dir::ObjectInfo& o : page) {
      if (dir::SameText(o.className, kMessagingClass) && HostIsMine(o.full)) {
        *found = o.full;
        return;
      }
      if (o.container && o.subordinates > 0) Walk(o.full, depth + 1, found);
      if (!found->empty()) return;
    }
    if (!more || page.empty()) return;
    after = dir::Fold(dir::LeafName(page.back().full));
  }
}

std::string DirectoryLink::FindMessagingServer() {
  // The one found before, while it still names this server; then the one
  // the server object names back; only then a walk of the tree.
  if (HostIsMine(messaging_)) return messaging_;
  std::vector<std::string> back = Values(server_, "Quorvel:Messaging Server");
  if (!back.empty() && HostIsMine(FullName(back[0]))) return FullName(back[0]);
  std::string found;
  Walk("", 0, &found);
  return found;
}

std::string DirectoryLink::FindStoreAgent(const std::string& messagingServer) {
  std::vector<dir::ObjectInfo> page;
  bool more = false;
  std::string after;
  do {
    if (dir_->List(messagingServer, after, kListPage, &page, &more) != dir::kOk) break;
    for (const dir::ObjectInfo& o : page)
      if (dir::SameText(o.className, kStoreAgentClass)) return o.full;
    if (!page.empty()) after = dir::Fold(dir::LeafName(page.back().full));
  } while (more && !page.empty());
  return std::string();
}

void DirectoryLink::UserQuotas(const std::vector<std::string>& contexts, StoreConfig* config,
                               std::vector<std::string>* notes) {
  // A store user is the user object of the same name in one of the
  // containers the messaging server serves.
  for (const std::string& context : contexts) {
    std::string container = FullName(context);
    std::vector<dir::ObjectInfo> page;
    bool more = false;
    std::string after;
    do {
      if (dir_->List(container, after, kListPage, &page, &more) != dir::kOk) break;
      for (const dir::ObjectInfo& o : page) {
        if (!dir::SameText(o.className, "User")) continue;
        std::vector<dir::AttributeValues> read;
        if (ReadAll(o.full, {"Quorvel:Use Quota", "Quorvel:Quota Value"}, &read) != dir::kOk ||
            !FlagOn(ValuesOf(read, "Quorvel:Use Quota")))
          continue;
        uint64_t kb = 0;
        std::string value = First(read, "Quorvel:Quota Value");
        if (!ParseKilobytes(value, &kb)) {
          notes->push_back("quota of " + o.full + " is not a number of kilobytes: \"" + value + "\"");
          continue;
        }
        std::string user = dir::Fold(dir::LeafName(o.full));
        if (!config->userQuotaKb.count(user)) config->userQuotaKb[user] = kb;
      }
      if (!page.empty()) after = dir::Fold(dir::LeafName(page.back().full));
    } while (more && !page.empty());
  }
}

bool DirectoryLink::Read(const StoreConfig& base, DirectoryReading* out, std::string* error) {
  *out = DirectoryReading();
  out->config = base;
  out->config.userQuotaKb.clear();
  if (follower_) readAt_ = follower_->changes.load();
  std::vector<dir::AttributeValues> server;
  int r = ReadAll(server_, {"Volume"}, &server);
  if (r == dir::kErrSystemFailure && ldap_) {
    // The server may have restarted: one new connection, then the reading.
    std::string why;
    if (Connect(&why)) r = ReadAll(server_, {"Volume"}, &server);
  }
  if (r) {
    *error = "cannot read " + server_ + ": " + Text(r) +
             (dir_->lastError().empty() ? "" : " (" + dir_->lastError() + ")");
    return false;
  }
  out->messagingServer = messaging_ = FindMessagingServer();
  if (out->messagingServer.empty()) {
    out->unavailable = "no messaging server has " + server_ + " as its host";
    return true;
  }
  std::vector<dir::AttributeValues> ms;
  if (int r = ReadAll(out->messagingServer,
                      {"Quorvel:Disabled", "Quorvel:Context", kConfigChanged}, &ms)) {
    *error = "cannot read " + out->messagingServer + ": " + Text(r);
    return false;
  }
  out->serverDisabled = FlagOn(ValuesOf(ms, "Quorvel:Disabled"));
  if (FlagOn(ValuesOf(ms, kConfigChanged)))
    out->changed.push_back({out->messagingServer, First(ms, kConfigChanged)});

  out->storeAgent = FindStoreAgent(out->messagingServer);
  if (out->storeAgent.empty()) {
    out->unavailable = out->messagingServer + " has no store agent";
    out->config.disabled = base.disabled || out->serverDisabled;
    return true;
  }
  std::vector<dir::AttributeValues> agent;
  if (int r = ReadAll(out->storeAgent,
                      {"Quorvel:Disabled", "Quorvel:Message Store", "Quorvel:ZELM Trusted Hosts",
                       "Quorvel:Use Quota", "Quorvel:Quota Value", "Quorvel:Module Name",
                       kConfigChanged},
                      &agent)) {
    *error = "cannot read " + out->storeAgent + ": " + Text(r);
    return false;
  }
  out->agentDisabled = FlagOn(ValuesOf(agent, "Quorvel:Disabled"));
  if (FlagOn(ValuesOf(agent, kConfigChanged)))
    out->changed.push_back({out->storeAgent, First(agent, kConfigChanged)});
  std::string module = First(agent, "Quorvel:Module Name");
  if (!module.empty()) out->storeModule = module;

  StoreConfig& c = out->config;
  c.disabled = base.disabled || out->serverDisabled || out->agentDisabled;
  std::string store = First(agent, "Quorvel:Message Store");
  if (!store.empty()) {
    std::string folder, why;
    if (ResolveStorePath(store, std::string(dir::LeafName(server_)), ValuesOf(server, "Volume"),
                         volumesBeside_, &folder, &why)) {
      c.storeRoot = folder;
    } else {
      out->unavailable = why;
    }
  } else if (c.storeRoot.empty()) {
    out->unavailable = out->storeAgent + " names no message store";
  }
  std::vector<std::string> hosts = ValuesOf(agent, "Quorvel:ZELM Trusted Hosts");
  if (!hosts.empty()) {
    std::vector<std::string> ignored;
    c.trusted = TrustedFromValues(hosts, &ignored);
    for (const std::string& v : ignored)
      out->notes.push_back("trusted host \"" + v + "\" is not an IPv4 address or network; left out");
  }
  std::vector<std::string> use = ValuesOf(agent, "Quorvel:Use Quota");
  if (!use.empty()) {
    uint32_t bits = QuotaBits(use);
    c.quotaKb = 0;
    if (bits & kQuotaSystemWide) {
      std::string value = First(agent, "Quorvel:Quota Value");
      if (!ParseKilobytes(value, &c.quotaKb))
        out->notes.push_back("system-wide quota is not a number of kilobytes: \"" + value + "\"");
    }
    if (bits & kQuotaPerUser) UserQuotas(ValuesOf(ms, "Quorvel:Context"), &c, &out->notes);
  }
  return true;
}

int DirectoryLink::Replace(const std::string& object, const std::string& attribute,
                           const std::string& value) {
  int r = dir::kOk;
  std::vector<std::string> now = Values(object, attribute, &r);
  if (r != dir::kOk) return r;
  if (now.size() == 1 && now[0] == value) return dir::kOk;
  std::vector<dir::Change> changes;
  if (!now.empty()) changes.push_back({dir::kChangeRemoveAttribute, attribute, {}});
  changes.push_back({dir::kChangeAddValue, attribute, {{dir::kSyntaxCaseIgnoreString, value}}});
  return dir_->Modify(object, changes);
}

int DirectoryLink::Report(const std::string& messagingServer, const std::string& status,
                          const std::string& address) {
  if (messagingServer.empty()) return dir::kOk;
  int r = Replace(messagingServer, "Quorvel:Server Status", status);
  int a = Replace(messagingServer, "Quorvel:IP Address", address);
  return r != dir::kOk ? r : a;
}

int DirectoryLink::ClearFlags(const std::vector<DirectoryReading::Flag>& flags,
                              std::vector<std::string>* errors) {
  int cleared = 0;
  for (const DirectoryReading::Flag& f : flags) {
    // Removing the very value read fails (and changes nothing) when someone
    // set the flag anew in another form meanwhile.
    std::vector<dir::Change> changes = {
        {dir::kChangeRemoveValue, kConfigChanged, {{dir::kSyntaxCaseIgnoreString, f.value}}},
        {dir::kChangeAddValue, kConfigChanged, {{dir::kSyntaxCaseIgnoreString, "0"}}}};
    int r = dir_->Modify(f.object, changes);
    if (r == dir::kOk) {
      ++cleared;
    } else if (r != dir::kErrNoSuchValue) {
      errors->push_back("cannot clear " + std::string(kConfigChanged) + " of " + f.object + ": " +
                        Text(r) + (LastError().empty() ? "" : " (" + LastError() + ")"));
    }
  }
  return cleared;
}

DirectoryMark DirectoryLink::FileStamp() const {
  DirectoryMark s;
  struct stat st;
  if (stat(location_.c_str(), &st) != 0) return s;
  s.inode = st.st_ino;
  s.size = st.st_size;
  s.mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.ctimeNs = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return s;
}

DirectoryMark DirectoryLink::Stamp() const {
  if (!ldap_) return FileStamp();
  DirectoryMark m;
  m.changes = readAt_;
  return m;
}

// Starts following the server's changes from where it stands now.
bool DirectoryLink::Follow() {
  Follower& f = *follower_;
  std::unique_ptr<dir::LdapDirectory> d;
  std::string why;
  if (dir::LdapDirectory::Open(location_, identity_, password_, &d, &why) != dir::kOk ||
      dir::LdapFollower::Start(std::move(d), "(zelmName=*)", {"*", "modifiersName"}, true, &f.sync,
                               &why) != dir::kOk)
    return false;
  f.contents.clear();
  return true;
}

DirectoryMark DirectoryLink::Current() {
  if (!ldap_) return FileStamp();
  Follower& f = *follower_;
  auto now = std::chrono::steady_clock::now();
  if (!f.sync && now >= f.retryAt) {
    // Started again from where the server stands: what happened while no
    // one followed counts as a change.
    f.retryAt = now + std::chrono::seconds(1);
    if (Follow()) f.changes.fetch_add(1);
  }
  if (f.sync) {
    std::vector<dir::LdapFollower::Event> events;
    int r = f.sync->Poll(0, &events);
    for (const dir::LdapFollower::Event& e : events)
      if (f.Relevant(e)) f.changes.fetch_add(1);
    if (r != dir::kOk) f.sync.reset();
  }
  DirectoryMark m;
  m.changes = f.changes.load();
  return m;
}
