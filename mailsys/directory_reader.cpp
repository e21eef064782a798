#include "directory_reader.h"

#include "names.h"

namespace zelm::mail {
namespace {

constexpr char kMessagingClass[] = "Quorvel:Messaging Server";
constexpr char kConfigChanged[] = "Quorvel:Config Changed";
constexpr int kMaxDepth = 32;
constexpr size_t kListPage = 256;

std::string Text(int code) { return std::to_string(code) + " " + dir::ResultText(code); }

}  // namespace

std::string FullName(const std::string& value) {
  std::string full;
  if (value.empty() || dir::ResolveName("[Root]", value, &full) != dir::kOk) return std::string();
  return full;
}

DirectoryReader::DirectoryReader(std::unique_ptr<dir::Backend> backend,
                                 const std::string& serverObject, std::string storeOverride)
    : d_(std::move(backend)), server_(FullName(serverObject)),
      storeOverride_(std::move(storeOverride)) {}

std::string DirectoryReader::LastError() const {
  std::string more = d_->lastError();
  return more.empty() ? error_ : error_ + " (" + more + ")";
}

bool DirectoryReader::Object(const std::string& full, DirObject* out) {
  *out = DirObject();
  dir::ObjectInfo info;
  if (int r = d_->Describe(full, &info)) {
    error_ = "cannot read " + full + ": " + Text(r);
    return false;
  }
  std::vector<dir::AttributeValues> read;
  int r = d_->Read(full, {}, &read);
  if (r != dir::kOk && r != dir::kErrNoSuchAttribute) {
    error_ = "cannot read " + full + ": " + Text(r);
    return false;
  }
  out->full = info.full;
  out->className = info.className;
  for (dir::AttributeValues& a : read) out->values[dir::Fold(a.name)] = std::move(a.values);
  return true;
}

bool DirectoryReader::List(const std::string& container, std::vector<dir::ObjectInfo>* out) {
  out->clear();
  std::string after;
  for (;;) {
    std::vector<dir::ObjectInfo> page;
    bool more = false;
    if (int r = d_->List(container, after, kListPage, &page, &more)) {
      error_ = "cannot list " + container + ": " + Text(r);
      return false;
    }
    out->insert(out->end(), page.begin(), page.end());
    if (!more || page.empty()) return true;
    after = dir::Fold(dir::LeafName(page.back().full));
  }
}

bool DirectoryReader::HostIsMine(const std::string& messaging) {
  dir::ObjectInfo info;
  std::vector<dir::AttributeValues> host;
  if (messaging.empty() || d_->Describe(messaging, &info) != dir::kOk ||
      !dir::SameText(info.className, kMessagingClass) ||
      d_->Read(messaging, {"Quorvel:Host"}, &host) != dir::kOk || host.empty() ||
      host[0].values.empty())
    return false;
  return dir::SameText(FullName(host[0].values[0]), server_);
}

void DirectoryReader::Walk(const std::string& container, int depth, std::string* found) {
  std::vector<dir::ObjectInfo> objects;
  if (depth > kMaxDepth || !found->empty() || !List(container, &objects)) return;
  for (const dir::ObjectInfo& o : objects) {
    if (dir::SameText(o.className, kMessagingClass) && HostIsMine(o.full)) {
      *found = o.full;
      return;
    }
    // Over LDAP a container's count of objects below is not known: look.
    if (o.container) Walk(o.full, depth + 1, found);
    if (!found->empty()) return;
  }
}

std::string DirectoryReader::FindMessagingServer() {
  // The one found before while it still names this host, then the one the
  // server object names, and only then a walk of the whole tree.
  if (HostIsMine(messaging_)) return messaging_;
  std::vector<dir::AttributeValues> back;
  if (d_->Read(server_, {"Quorvel:Messaging Server"}, &back) == dir::kOk && !back.empty() &&
      !back[0].values.empty() && HostIsMine(FullName(back[0].values[0])))
    return FullName(back[0].values[0]);
  std::string found;
  Walk("", 0, &found);
  return found;
}

Snapshot DirectoryReader::Read() {
  Snapshot s;
  s.serverObject = server_;
  s.location = d_->location();
  s.storeOverride = storeOverride_;
  if (server_.empty() || !Object(server_, &s.host)) {
    s.problem = server_.empty() ? "no server object named" : LastError();
    return s;
  }
  messaging_ = FindMessagingServer();
  if (messaging_.empty()) return s;
  std::vector<dir::ObjectInfo> below;
  if (!Object(messaging_, &s.messaging) || !List(messaging_, &below)) {
    s.problem = LastError();
    return s;
  }
  for (const dir::ObjectInfo& o : below) {
    if (!IsServedClass(o.className)) continue;
    s.agents.emplace_back();
    if (!Object(o.full, &s.agents.back())) {
      s.problem = LastError();
      return s;
    }
  }
  // Global aliases live on the services container; a tree without one has none.
  if (!Object("Internet Services", &s.services)) s.services = DirObject();
  for (const std::string& c : s.messaging.Values("Quorvel:Context")) {
    Snapshot::Context context;
    std::vector<dir::ObjectInfo> users;
    std::string full = FullName(c);
    if (full.empty() || !Object(full, &context.container) || !List(full, &users)) continue;
    for (const dir::ObjectInfo& u : users) {
      if (!dir::SameText(u.className, "User")) continue;
      context.users.emplace_back();
      if (!Object(u.full, &context.users.back())) {
        s.problem = LastError();
        return s;
      }
    }
    s.contexts.push_back(std::move(context));
  }
  return s;
}

std::vector<std::pair<std::string, std::string>> DirectoryReader::SetFlags(
    const std::vector<std::string>& objects) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const std::string& o : objects) {
    std::vector<dir::AttributeValues> v;
    if (d_->Read(o, {kConfigChanged}, &v) == dir::kOk && !v.empty() && !v[0].values.empty() &&
        !v[0].values[0].empty() && v[0].values[0][0] == '1')
      out.push_back({o, v[0].values[0]});
  }
  return out;
}

int DirectoryReader::ClearFlag(const std::string& object, const std::string& value) {
  // Removing the very value read fails, changing nothing, when someone set
  // the flag anew in another form meanwhile.
  std::vector<dir::Change> changes = {
      {dir::kChangeRemoveValue, kConfigChanged, {{dir::kSyntaxCaseIgnoreString, value}}},
      {dir::kChangeAddValue, kConfigChanged, {{dir::kSyntaxCaseIgnoreString, "0"}}}};
  return d_->Modify(object, changes);
}

}  // namespace zelm::mail
