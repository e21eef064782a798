#include "mail_system.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "config.h"
#include "mail_values.h"
#include "names.h"
#include "server_stats.h"

namespace zelm::mail {
namespace {

using Clock = std::chrono::steady_clock;

// The watcher looks this often; a notice opens a window of kFlagWindow in
// which the change flags are looked at each time (the snap-in sets them just
// after its notice is answered); daemons found not running are started
// again at most every kRestartPause.
constexpr auto kPoll = std::chrono::milliseconds(200);
constexpr auto kSettle = std::chrono::milliseconds(300);
constexpr auto kFlagWindow = std::chrono::seconds(10);
constexpr auto kRestartPause = std::chrono::seconds(30);
// The state text's room in the reply: after the 4-byte bits, with its NUL.
constexpr size_t kStateTextMax = kNoticeBytes - 5;

std::vector<std::string> Folders(const std::string& root) {
  std::vector<std::string> out;
  if (DIR* d = opendir(root.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.' && e->d_type == DT_DIR) out.push_back(e->d_name);
    closedir(d);
  }
  return out;
}

std::string ShortAttribute(const std::string& a) {
  size_t colon = a.find(':');
  return colon == std::string::npos ? a : a.substr(colon + 1);
}

std::string RefusalText(const Refusal& r) {
  return ShortAttribute(r.attribute) + " \"" + r.value + "\" of " + r.object + ": " + r.why;
}

DbStamp StampOf(const std::string& path) {
  DbStamp s;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return s;
  s.inode = st.st_ino;
  s.size = st.st_size;
  s.mtime = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.ctime = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return s;
}

uint32_t ListenAddress(const std::string& text) {
  uint32_t ip = 0;
  return ParseIpv4(text, &ip) ? ip : 0x7F000001u;
}

}  // namespace

MailSystem::MailSystem(MailOptions options)
    : o_(std::move(options)), daemons_(o_.site), log_(ListenAddress(o_.site.listen)),
      follower_(o_.site.folder + "/" + kLogDir + "/postfix.log") {}

MailSystem::~MailSystem() {
  Stop();
  if (watcher_.joinable()) watcher_.join();
}

void MailSystem::Log(const std::string& line) {
  fprintf(stderr, "zelmmailsys: %s\n", line.c_str());
  fflush(stderr);
}

bool MailSystem::Start(std::string* error) {
  std::unique_ptr<dir::Backend> backend;
  bool system = o_.identity.empty();
  if (dir::OpenBackend(o_.directory, o_.identity, o_.password, system, &backend, error) != 0)
    return false;
  reader_ = std::make_unique<DirectoryReader>(std::move(backend), o_.serverObject, o_.store);
  if (!daemons_.Prepare(error)) return false;
  {
    std::lock_guard<std::mutex> lock(control_);
    if (!TakeLocked("start") && !taken_) {
      *error = !directoryProblem_.empty() ? directoryProblem_
               : !refusedRendering_.empty() ? refusedRendering_
                                            : daemonProblem_;
      return false;
    }
  }
  ServiceHandlers r;
  r.open = [this](uint32_t peer) -> std::unique_ptr<ClientConnection> {
    RequestHandler* handler = this;
    return std::make_unique<RequestClient>(handler, peer, 5);
  };
  // The store server on this machine passes notices on; nobody else need.
  StoreConfig loopback;
  r.trusted = [loopback](uint32_t address) { return IsTrustedAddress(loopback, address); };
  r.refusal.clear();
  r.busy.clear();
  if (!acceptor_.Listen(o_.site.listen, o_.requestPort, std::move(r), error, &requestService_))
    return false;
  watcher_ = std::thread([this] { Watch(); });
  return true;
}

void MailSystem::Run() {
  acceptor_.Run();
  {
    std::lock_guard<std::mutex> lock(watchMu_);
    stopping_ = true;
  }
  watchWake_.notify_all();
  if (watcher_.joinable()) watcher_.join();
  daemons_.Stop();
  Log("stopped; Postfix and Dovecot stopped");
}

void MailSystem::Stop() {
  acceptor_.Stop();
  {
    std::lock_guard<std::mutex> lock(watchMu_);
    stopping_ = true;
  }
  watchWake_.notify_all();
}

bool MailSystem::Take(const std::string& why) {
  std::lock_guard<std::mutex> lock(control_);
  return TakeLocked(why);
}

bool MailSystem::TakeLocked(const std::string& why) {
  Clock::time_point began = Clock::now();
  Snapshot snapshot = reader_->Read();
  if (!snapshot.problem.empty()) {
    if (directoryProblem_ != snapshot.problem)
      Log("directory: " + snapshot.problem + "; configuration kept");
    directoryProblem_ = snapshot.problem;
    return false;
  }
  directoryProblem_.clear();
  GoodValues good;
  std::vector<Refusal> refusals;
  MailSettings next = Interpret(snapshot, good_, &good, &refusals);
  MatchFolders(&next, Folders(next.storeRoot));
  time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  Site site = o_.site;
  site.weekday = local.tm_wday;
  site.hour = local.tm_hour;
  takenHour_ = local.tm_hour;
  std::vector<RenderedFile> files = Render(next, site);
  InstallPlan plan = daemons_.Compare(files);
  std::string complaint, error;
  if (!plan.empty() && !daemons_.Check(files, &complaint)) {
    if (refusedRendering_ != complaint)
      Log("configuration refused by " + complaint + "; the last good configuration stays (" +
          why + ")");
    refusedRendering_ = complaint;
    return false;
  }
  refusedRendering_.clear();
  if (!plan.empty() && !daemons_.Install(plan, &error)) {
    Log(error + "; the daemons keep what they run");
    daemonProblem_ = error;
    return false;
  }
  // A daemon that does not run yet is started, one that runs reloads what
  // changed for it.
  bool postfix = plan.postfix || !daemons_.PostfixRunning();
  bool dovecot = plan.dovecot || !daemons_.DovecotRunning();
  daemonProblem_.clear();
  if ((postfix || dovecot) && !daemons_.Apply(postfix, dovecot, &daemonProblem_))
    Log(daemonProblem_);
  for (const Refusal& r : refusals) {
    bool known = false;
    for (const Refusal& old : refusals_)
      known = known || (old.object == r.object && old.attribute == r.attribute && old.value == r.value);
    if (!known) Log("refused " + RefusalText(r) + "; its last good value stays");
  }
  refusals_ = refusals;
  good_ = good;
  settings_ = next;
  taken_ = true;
  if (!plan.empty() || why == "start") {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count();
    Log("configuration taken (" + why + ") in " + std::to_string(ms) + " ms: " +
        std::to_string(plan.write.size()) + " files written" +
        (postfix ? ", Postfix reloaded" : "") + (dovecot ? ", Dovecot reloaded" : "") + "; " +
        StateLocked());
  }
  ClearFlagsLocked();
  return daemonProblem_.empty();
}

void MailSystem::ClearFlagsLocked() {
  for (const auto& [object, value] : settings_.changed) {
    bool refused = false;
    for (const Refusal& r : refusals_) refused = refused || dir::SameText(r.object, object);
    if (refused) continue;  // that change does not run: the flag stays set
    int r = reader_->ClearFlag(object, value);
    if (r != dir::kOk && r != dir::kErrNoSuchValue)
      Log("cannot clear the change flag of " + object + ": " + std::to_string(r) + " " +
          dir::ResultText(r));
  }
  settings_.changed.clear();
}

std::string MailSystem::State() {
  std::lock_guard<std::mutex> lock(control_);
  return StateLocked();
}

std::string MailSystem::StateLocked() {
  const MailSettings& m = settings_;
  if (!directoryProblem_.empty() && !taken_) return "mail: directory unreadable";
  if (!m.unavailable.empty()) return "mail off: " + m.unavailable;
  std::vector<std::string> up, off, down;
  bool served = !m.serverDisabled;
  bool dovecotServes = served && !m.storeDisabled;
  auto sort = [&](const char* name, bool wanted, bool running) {
    (!wanted ? off : running ? up : down).push_back(name);
  };
  sort("SMTP", served && m.smtp, daemons_.PostfixRunning());
  sort("IMAP", dovecotServes && m.imap, daemons_.DovecotRunning());
  sort("POP", dovecotServes && m.pop, daemons_.DovecotRunning());
  std::string text;
  auto group = [&](const std::vector<std::string>& names, const char* word) {
    if (names.empty()) return;
    std::string list;
    for (const std::string& n : names) list += (list.empty() ? "" : " ") + n;
    text += (text.empty() ? "" : ", ") + list + " " + word;
  };
  group(up, "up");
  group(down, "down");
  group(off, "off");
  if (m.storeDisabled) text += ", mail queued";
  if (!refusedRendering_.empty()) text += "; new configuration refused, last kept";
  if (!refusals_.empty()) {
    const Refusal& r = refusals_.front();
    text += "; refused " + ShortAttribute(r.attribute) + " of " +
            std::string(dir::LeafName(r.object));
    if (refusals_.size() > 1) text += " (+" + std::to_string(refusals_.size() - 1) + ")";
  }
  return CutText(text, kStateTextMax);
}

uint32_t MailSystem::StateBitsLocked() {
  uint32_t bits = 0;
  bool served = settings_.unavailable.empty() && !settings_.serverDisabled;
  bool dovecot = served && !settings_.storeDisabled && daemons_.DovecotRunning();
  if (served && settings_.smtp && daemons_.PostfixRunning()) bits |= kStateSmtp;
  if (dovecot && settings_.imap) bits |= kStateImap;
  if (dovecot && settings_.pop) bits |= kStatePop;
  if (!refusals_.empty() || !refusedRendering_.empty()) bits |= kStateRefused;
  return bits;
}

void MailSystem::Notice(uint32_t code, const std::string& module, uint32_t peer) {
  Log("notice " + NoticeCodeText(code) + " for " + (module.empty() ? "(no module)" : module));
  std::lock_guard<std::mutex> lock(control_);
  TakeLocked("notice " + std::to_string(code) + " for " + module);
  flagsUntil_ = Clock::now() + kFlagWindow;
}

void MailSystem::Statistics(unsigned char reply[kNoticeBytes]) {
  StatisticsFields f;
  f.uptime = Saturate32(static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started_).count()));
  {
    std::lock_guard<std::mutex> lock(statsMu_);
    follower_.Poll([this](std::string_view line) { log_.Line(line); });
    const DeliveryCounters& c = log_.Counters();
    for (int i = 0; i < 2; ++i) {
      f.received[i] = Saturate32(c.received[i]);
      f.delivered[i] = Saturate32(c.delivered[i]);
      f.queued[i] = Saturate32(c.queued[i]);
      f.bytesReceived[i] = Saturate32(c.receivedBytes[i]);
      f.bytesDelivered[i] = Saturate32(c.deliveredBytes[i]);
      f.recipients[i] = Saturate32(c.recipients[i]);
    }
  }
  f.serverConnections[0] = Saturate32(acceptor_.Accepted(requestService_));
  EncodeStatistics(f, reply);
}

bool MailSystem::OtherRequest(uint32_t code, const unsigned char*, unsigned char reply[kNoticeBytes]) {
  if (code != kNoticeMailState) return false;
  std::lock_guard<std::mutex> lock(control_);
  std::string text = StateLocked();
  ncw_put_u32(reply, StateBitsLocked());
  memcpy(reply + 4, text.data(), std::min(text.size(), kStateTextMax));
  return true;
}

bool MailSystem::DatabaseChanged() {
  if (dir::IsDirectoryAddress(o_.directory)) return false;
  // A page writes several values in a row: a change is taken once the file
  // has been quiet for a moment.
  DbStamp now = StampOf(o_.directory);
  if (now != stampLatest_) {
    stampLatest_ = now;
    stampChangedAt_ = Clock::now();
    return false;
  }
  if (now == stampTaken_ || Clock::now() - stampChangedAt_ < kSettle) return false;
  stampTaken_ = now;
  return true;
}

void MailSystem::Watch() {
  Clock::time_point lastRead = Clock::now(), lastRestart{};
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(watchMu_);
      if (watchWake_.wait_for(lock, kPoll, [this] { return stopping_; })) return;
    }
    {
      std::lock_guard<std::mutex> lock(statsMu_);
      follower_.Poll([this](std::string_view line) { log_.Line(line); });
    }
    const bool ldap = dir::IsDirectoryAddress(o_.directory);
    std::string why;
    if (DatabaseChanged()) why = "directory changed";
    if (ldap && Clock::now() - lastRead > std::chrono::seconds(o_.watchSeconds))
      why = "directory read again";
    std::lock_guard<std::mutex> lock(control_);
    time_t t = time(nullptr);
    tm local{};
    localtime_r(&t, &local);
    if (why.empty() && local.tm_hour != takenHour_) why = "hour changed";
    if (why.empty() && ldap && Clock::now() < flagsUntil_) {
      if (!reader_->SetFlags(settings_.agents).empty()) why = "change flags set";
    }
    if (why.empty() && taken_ && Clock::now() - lastRestart > kRestartPause &&
        (!daemons_.PostfixRunning() || !daemons_.DovecotRunning())) {
      lastRestart = Clock::now();
      why = "a daemon was not running";
    }
    if (why.empty()) continue;
    lastRead = Clock::now();
    TakeLocked(why);
  }
}

}  // namespace zelm::mail
