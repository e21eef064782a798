#include "store_server.h"

#include <arpa/inet.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "mime_structure.h"
#include "session.h"

const char kStatusUp[] = "Up";
const char kStatusDisabled[] = "Disabled";
const char kStatusUnloaded[] = "Unloaded";
const char kStatusDown[] = "Down";

namespace {

using Clock = std::chrono::steady_clock;

// How the server follows the database: it looks every kPoll, and takes a
// change once the file has been quiet for kSettle (a page's apply is several
// writes in a row), or after kLongest of steady writing. A notice opens a
// window of kNoticeWindow in which changes are taken even without
// watchDirectory: the notifying tool sets the change flag just after.
constexpr auto kPoll = std::chrono::milliseconds(100);
constexpr auto kSettle = std::chrono::milliseconds(500);
constexpr auto kLongest = std::chrono::seconds(2);
constexpr auto kNoticeWindow = std::chrono::seconds(10);
// The mail system is asked for its state this often, and waited for this
// long: a notice passed on lasts as long as its daemons take to reload.
constexpr int kMailStatePolls = 20;
constexpr int kMailStateWait = 2;
constexpr int kMailNoticeWait = 60;

std::string Dotted(uint32_t hostOrder) {
  in_addr a;
  a.s_addr = htonl(hostOrder);
  char buf[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, &a, buf, sizeof buf);
  return buf;
}

bool SameNets(const std::vector<TrustedNet>& a, const std::vector<TrustedNet>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].address != b[i].address || a[i].mask != b[i].mask) return false;
  return true;
}

}  // namespace

StoreServer::StoreServer(const StoreConfig& config) : base_(config), store_(config) {}

StoreServer::~StoreServer() {
  Stop();
  if (watcher_.joinable()) watcher_.join();
}

void StoreServer::Log(const std::string& line) {
  fprintf(stderr, "zelmstored: %s\n", line.c_str());
  fflush(stderr);
}

bool StoreServer::Start(std::string* error) {
  EnsureMimeLibrary();
  if (!base_.mailSystem.empty()) {
    mail_ = std::make_unique<MailLink>(base_.mailSystem);
    mailState_ = mail_->State(kMailStateWait);
  }
  if (!base_.directory.empty()) {
    directory_ = std::make_unique<DirectoryLink>();
    if (!directory_->Open(base_.directory, base_.serverObject, base_.identity, base_.passwordFile,
                          error))
      return false;
    // The request service answers where the directory says the server is.
    networkAddress_ = directory_->NetworkAddress();
    uint32_t ip = 0;
    uint16_t port = 0;
    if (!base_.listenGiven && !networkAddress_.empty()) {
      if (ncw_parse_address(networkAddress_.c_str(), &ip, &port) == 0) {
        base_.listenAddress = Dotted(ip);
        if (base_.requestPort) base_.requestPort = port;
      } else {
        Log("the network address \"" + networkAddress_ + "\" of " + directory_->ServerObject() +
            " is not a.b.c.d[:port]; listening on " + base_.listenAddress);
      }
    }
  } else if (!store_.Open(error)) {
    return false;
  }

  ServiceHandlers h;
  h.open = [this](uint32_t peer) -> std::unique_ptr<ClientConnection> {
    return std::make_unique<StoreClient>(&store_, peer);
  };
  h.trusted = [this](uint32_t address) { return IsTrustedAddress(*store_.Config(), address); };
  h.maxClients = base_.maxClients;
  h.maxPerHost = base_.maxPerHost;
  storeService_ = acceptor_.Register(base_.listenAddress, base_.port, std::move(h));
  if (base_.requestPort) {
    ServiceHandlers r;
    r.open = [this](uint32_t peer) -> std::unique_ptr<ClientConnection> {
      RequestHandler* handler = this;
      return std::make_unique<RequestClient>(handler, peer, base_.firstCommandSeconds);
    };
    // Who may load and unload modules is the command line's business only:
    // the directory's list is the store's, and may shut out its own editor.
    r.trusted = [this](uint32_t address) { return IsTrustedAddress(base_, address); };
    // Requests are short: the cap only bounds what silent callers may hold.
    r.maxClients = 64;
    r.maxPerHost = base_.maxPerHost;
    r.refusal.clear();  // the wire has no words for it: the connection just closes
    r.busy.clear();
    if (!acceptor_.Listen(base_.listenAddress, base_.requestPort, std::move(r), error,
                          &requestService_))
      return false;
  }
  std::lock_guard<std::mutex> lock(control_);
  if (directory_) {
    TakeLocked("start", error);
    if (!error->empty()) {
      ReportLocked(kStatusDown);
      return false;
    }
    seen_ = directory_->Stamp();
    watcher_ = std::thread([this] { Watch(); });
  } else if (!ReconcileLocked(error)) {
    return false;
  }
  return true;
}

void StoreServer::Run() {
  acceptor_.Run();
  {
    std::lock_guard<std::mutex> lock(watchMu_);
    stopping_ = true;
  }
  watchWake_.notify_all();
  if (watcher_.joinable()) watcher_.join();
  std::lock_guard<std::mutex> lock(control_);
  if (directory_) ReportLocked(kStatusDown);
}

void StoreServer::Stop() {
  acceptor_.Stop();
  {
    std::lock_guard<std::mutex> lock(watchMu_);
    stopping_ = true;
  }
  watchWake_.notify_all();
}

bool StoreServer::StoreListening() { return acceptor_.Listening(storeService_); }

bool StoreServer::ModuleLoaded() {
  std::lock_guard<std::mutex> lock(control_);
  return moduleLoaded_;
}

std::string StoreServer::Status() {
  std::lock_guard<std::mutex> lock(control_);
  return StatusLocked();
}

std::string StoreServer::Unavailable() {
  std::lock_guard<std::mutex> lock(control_);
  return unavailable_;
}

std::vector<NoticeRecord> StoreServer::Notices() {
  std::lock_guard<std::mutex> lock(noticesMu_);
  return std::vector<NoticeRecord>(notices_.begin(), notices_.end());
}

int StoreServer::TakeConfiguration(const std::string& why) {
  std::lock_guard<std::mutex> lock(control_);
  std::string bindError;
  int cleared = TakeLocked(why, &bindError);
  if (!bindError.empty()) Log(bindError);
  return cleared;
}

std::string StoreServer::StatusLocked() {
  if (!moduleLoaded_) return kStatusUnloaded;
  if (!unavailable_.empty() || !store_.IsOpen()) return kStatusDown;
  if (store_.Config()->disabled) return kStatusDisabled;
  return kStatusUp;
}

std::string StoreServer::AddressText() {
  // A server listening on every address is reached at the one the directory names.
  if (base_.listenAddress != "0.0.0.0" || networkAddress_.empty()) return base_.listenAddress;
  uint32_t ip = 0;
  uint16_t port = 0;
  return ncw_parse_address(networkAddress_.c_str(), &ip, &port) == 0 ? Dotted(ip)
                                                                     : base_.listenAddress;
}

void StoreServer::LogWriteFailure(int code) {
  const std::string why = directory_->LastError();
  Log("cannot write the status of " + messagingServer_ + ": " + std::to_string(code) + " " +
      zelm::dir::ResultText(code) + (why.empty() ? "" : " (" + why + ")"));
}

std::string StoreServer::ReportTextLocked() {
  std::string status = StatusLocked();
  if (!mail_) return status;
  return status + "; " + (mailState_.empty() ? std::string("mail system not answering") : mailState_);
}

void StoreServer::ReportLocked(const char* status) {
  if (!directory_ || messagingServer_.empty()) return;
  if (int r = directory_->Report(messagingServer_, status ? status : ReportTextLocked(), AddressText()))
    LogWriteFailure(r);
  seen_ = directory_->Stamp();
}

int StoreServer::TakeLocked(const std::string& why, std::string* bindError) {
  bindError->clear();
  if (!directory_) return 0;
  DirectoryReading r;
  std::string error;
  if (!directory_->Read(base_, &r, &error)) {
    Log("directory: " + error + "; configuration kept");
    return 0;
  }
  for (const std::string& note : r.notes) Log("directory: " + note);
  messagingServer_ = r.messagingServer;
  storeModule_ = r.storeModule;
  ApplyLocked(r.config, r.unavailable);
  ReconcileLocked(bindError);
  taken_.fetch_add(1);  // counted before the flags say so
  std::string status = StatusLocked();
  if (int w = directory_->Report(messagingServer_, ReportTextLocked(), AddressText()))
    LogWriteFailure(w);
  std::vector<std::string> errors;
  int cleared = directory_->ClearFlags(r.changed, &errors);
  for (const std::string& e : errors) Log("directory: " + e);
  seen_ = directory_->Stamp();
  std::shared_ptr<const StoreConfig> c = store_.Config();
  Log("configuration taken (" + why + "): store " +
      (c->storeRoot.empty() ? std::string("none") : c->storeRoot) + ", trusted " +
      FormatTrustedList(c->trusted) + ", quota " + std::to_string(c->quotaKb) + " KB" +
      (c->userQuotaKb.empty() ? "" : " (" + std::to_string(c->userQuotaKb.size()) + " users of their own)") +
      ", status " + status + (unavailable_.empty() ? "" : " (" + unavailable_ + ")") +
      (cleared ? ", change flags cleared: " + std::to_string(cleared) : ""));
  return cleared;
}

void StoreServer::ApplyLocked(const StoreConfig& next, const std::string& unavailable) {
  std::shared_ptr<const StoreConfig> old = store_.Config();
  std::string why;
  bool opened = store_.Reconfigure(next, &why);
  unavailable_ = unavailable.empty() && !opened ? why : unavailable;
  // Connected clients keep what they were admitted with, so a change that
  // takes something away from them ends their connections.
  if (old->storeRoot != next.storeRoot || (next.disabled && !old->disabled)) {
    acceptor_.EndClients(storeService_);
  } else if (!SameNets(old->trusted, next.trusted)) {
    StoreConfig now = next;
    acceptor_.EndClients(storeService_, [&now](uint32_t peer) { return !IsTrustedAddress(now, peer); });
  }
}

bool StoreServer::ReconcileLocked(std::string* error) {
  bool wanted = moduleLoaded_ && unavailable_.empty() && store_.IsOpen();
  bool listening = acceptor_.Listening(storeService_);
  if (wanted && !listening) {
    if (!acceptor_.Reopen(storeService_, error)) return false;
    Log("serving " + store_.Config()->storeRoot + " on " + base_.listenAddress + ":" +
        std::to_string(base_.port));
  } else if (!wanted && listening) {
    acceptor_.Close(storeService_);
    Log("store port closed: " + (!moduleLoaded_ ? std::string("MSGSRV unloaded") : unavailable_));
  }
  return true;
}

void StoreServer::Notice(uint32_t code, const std::string& module, uint32_t peer) {
  bool ours = false;
  {
    std::lock_guard<std::mutex> lock(control_);
    ours = directory_ && strcasecmp(module.c_str(), storeModule_.c_str()) == 0;
  }
  Log("notice " + NoticeCodeText(code) + " for " + (module.empty() ? "(no module)" : module) +
      " from " + Dotted(peer) +
      (ours || mail_ ? "" : directory_ ? ": not the store's module" : ": no directory to take it from"));
  {
    std::lock_guard<std::mutex> lock(noticesMu_);
    notices_.push_back({static_cast<int64_t>(time(nullptr)), code, module, peer, ours});
    while (notices_.size() > kNoticesKept) notices_.pop_front();
  }
  if (ours) {
    std::lock_guard<std::mutex> lock(control_);
    std::string bindError;
    TakeLocked("notice " + std::to_string(code) + " for " + module, &bindError);
    if (!bindError.empty()) Log(bindError);
    noticeWindowEnd_ = Clock::now() + kNoticeWindow;
  }
  // The mail system takes every notice too (the store agent's quota and
  // store are its business as well), before the notice is answered.
  if (mail_) PassToMailSystem(code, module);
}

void StoreServer::PassToMailSystem(uint32_t code, const std::string& module) {
  unsigned char request[kNoticeBytes] = {};
  unsigned char reply[kNoticeBytes] = {};
  ncw_put_u32(request, code);
  memcpy(request + 4, module.data(), std::min(module.size(), size_t(kNoticeModuleBytes - 1)));
  std::string error;
  if (!mail_->Ask(request, reply, kMailNoticeWait, &error))
    Log("notice " + std::to_string(code) + " for " + module + " not passed on: " + error);
  FollowMailState();
}

void StoreServer::FollowMailState() {
  std::string state = mail_->State(kMailStateWait);
  std::lock_guard<std::mutex> lock(control_);
  if (state == mailState_) return;
  mailState_ = state;
  ReportLocked();
}

void StoreServer::Statistics(unsigned char reply[kNoticeBytes]) {
  ServerStats& s = store_.Stats();
  s.storeConnections.store(acceptor_.Accepted(storeService_));
  s.storeRefusals.store(acceptor_.Refused(storeService_));
  s.requestConnections.store(acceptor_.Accepted(requestService_));
  EncodeStatistics(CollectStatistics(s), reply);
  // With a mail system the messages are its: received over SMTP, delivered
  // into the store or to other servers, queued, and their recipients.
  unsigned char request[kNoticeBytes] = {};
  unsigned char mail[kNoticeBytes] = {};
  std::string error;
  ncw_put_u32(request, kNoticeStatistics);
  if (mail_ && mail_->Ask(request, mail, kMailStateWait, &error)) {
    memcpy(reply + 76, mail + 76, 116 - 76);
    memcpy(reply + 132, mail + 132, 8);
  }
}

int32_t StoreServer::LoadModule(const std::string& module) {
  if (strcasecmp(module.c_str(), kStoreModule) != 0) return NCW_NO_SUCH_MODULE;
  std::lock_guard<std::mutex> lock(control_);
  moduleLoaded_ = true;
  std::string error;
  // Loading is when the module reads its configuration (the status page
  // writes "Quorvel:Disabled" just before it asks).
  if (directory_) {
    TakeLocked("MSGSRV loaded", &error);
  } else {
    ReconcileLocked(&error);
  }
  if (!error.empty()) {
    Log("MSGSRV could not be loaded: " + error);
    moduleLoaded_ = false;
    ReportLocked();
    return NCW_MODULE_FAILED;
  }
  Log("MSGSRV loaded");
  return NCW_OK;
}

int32_t StoreServer::UnloadModule(const std::string& module) {
  if (strcasecmp(module.c_str(), kStoreModule) != 0) return NCW_NO_SUCH_MODULE;
  std::lock_guard<std::mutex> lock(control_);
  if (!moduleLoaded_) return NCW_NO_SUCH_MODULE;
  moduleLoaded_ = false;
  std::string unused;
  ReconcileLocked(&unused);
  ReportLocked();
  Log("MSGSRV unloaded");
  return NCW_OK;
}

void StoreServer::Watch() {
  Clock::time_point firstChange{}, lastChange{};
  bool pending = false;
  int polls = 0;
  DirectoryMark last;
  {
    std::lock_guard<std::mutex> lock(control_);
    last = seen_;
  }
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(watchMu_);
      if (watchWake_.wait_for(lock, kPoll, [this] { return stopping_; })) return;
    }
    if (mail_ && ++polls % kMailStatePolls == 0) FollowMailState();
    DirectoryMark now = directory_->Current();
    Clock::time_point t = Clock::now();
    {
      std::lock_guard<std::mutex> lock(control_);
      if (!pending && seen_ != last) last = seen_;  // the server's own writes
    }
    if (now != last) {
      if (!pending) firstChange = t;
      pending = true;
      lastChange = t;
      last = now;
    }
    if (!pending || (t - lastChange < kSettle && t - firstChange < kLongest)) continue;
    pending = false;
    std::lock_guard<std::mutex> lock(control_);
    if (now == seen_) continue;  // nothing but the server's own writes
    if (!base_.watchDirectory && t >= noticeWindowEnd_) continue;
    std::string bindError;
    int cleared = TakeLocked("directory changed", &bindError);
    if (!bindError.empty()) Log(bindError);
    // The flag a notice announced is taken: the window has done its work.
    if (cleared > 0) noticeWindowEnd_ = Clock::time_point{};
    last = seen_;
  }
}
