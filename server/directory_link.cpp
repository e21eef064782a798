#include "directory_link.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "directory_values.h"
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

DirectoryLink::~DirectoryLink() = default;

bool DirectoryLink::Open(const std::string& databasePath, const std::string& serverObject,
                         const std::string& identity, std::string* error) {
  path_ = databasePath;
  if (int r = dir::Directory::Open(databasePath, &dir_)) {
    *error = "cannot open the directory " + databasePath + ": " + Text(r);
    return false;
  }
  server_ = FullName(serverObject);
  dir::ObjectInfo info;
  if (server_.empty() || dir_->Describe(dir::Caller::System(), server_, &info) != dir::kOk ||
      !dir::SameText(info.className, kServerClass)) {
    *error = "no server object " + serverObject + " (class " + kServerClass + ") in the directory";
    return false;
  }
  if (!identity.empty()) {
    identity_ = FullName(identity);
    if (identity_.empty() || dir_->Describe(dir::Caller::System(), identity_, &info) != dir::kOk ||
        !dir::SameText(info.className, "User")) {
      *error = "no user " + identity + " in the directory to act as";
      return false;
    }
  }
  return true;
}

dir::Caller DirectoryLink::Caller() const {
  return identity_.empty() ? dir::Caller::System() : dir::Caller::As(identity_);
}

int DirectoryLink::ReadAll(const std::string& object, const std::vector<std::string>& names,
                           std::vector<dir::AttributeValues>* out) {
  int r = dir_->Read(Caller(), object, names, out);
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
  if (messagingServer.empty() || dir_->Describe(Caller(), messagingServer, &info) != dir::kOk ||
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
    if (dir_->List(Caller(), container, after, kListPage, &page, &more) != dir::kOk) return;
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
    if (dir_->List(Caller(), messagingServer, after, kListPage, &page, &more) != dir::kOk) break;
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
      if (dir_->List(Caller(), container, after, kListPage, &page, &more) != dir::kOk) break;
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
  std::vector<dir::AttributeValues> server;
  if (int r = ReadAll(server_, {"Volume"}, &server)) {
    *error = "cannot read " + server_ + ": " + Text(r);
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
                         path_, &folder, &why)) {
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
  return dir_->Modify(Caller(), object, changes);
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
    int r = dir_->Modify(Caller(), f.object, changes);
    if (r == dir::kOk) {
      ++cleared;
    } else if (r != dir::kErrNoSuchValue) {
      errors->push_back("cannot clear " + std::string(kConfigChanged) + " of " + f.object + ": " +
                        Text(r));
    }
  }
  return cleared;
}

FileStamp DirectoryLink::Stamp() const {
  FileStamp s;
  struct stat st;
  if (stat(path_.c_str(), &st) != 0) return s;
  s.inode = st.st_ino;
  s.size = st.st_size;
  s.mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.ctimeNs = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return s;
}
