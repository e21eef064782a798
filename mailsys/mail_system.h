// The mail system: reads the messaging server's agents and users from the
// directory, has Postfix and Dovecot run what they say, and answers on the
// request wire like the store server (notices, statistics) plus its state.
//
// It takes the configuration at start, on every notice (before the notice
// is answered, so the daemons run the change when the page's apply
// returns), and whenever the directory changes: the user pages send no
// notices. After taking it, it turns the "Quorvel:Config Changed" flags of
// the agents it serves into "0", except for an agent whose value it had to
// refuse: that change does not run.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "acceptor.h"
#include "daemons.h"
#include "delivery_log.h"
#include "directory_reader.h"
#include "mail_settings.h"
#include "request_service.h"

namespace zelm::mail {

struct MailOptions {
  std::string directory;      // database file or ldap:// address
  std::string serverObject;   // this machine's "HVX Server" object
  std::string identity;       // who reads the directory; "" = system (file) or administrator (LDAP)
  std::string password;       // for an LDAP identity
  std::string store;          // a store folder that replaces the store agent's
  Site site;
  uint16_t requestPort = 997;
  int watchSeconds = 5;       // over LDAP: how often the directory is read again
};

// Size and times of a database file: any change a process makes moves them.
struct DbStamp {
  ino_t inode = 0;
  off_t size = -1;
  int64_t mtime = 0, ctime = 0;
  bool operator==(const DbStamp& o) const {
    return inode == o.inode && size == o.size && mtime == o.mtime && ctime == o.ctime;
  }
  bool operator!=(const DbStamp& o) const { return !(*this == o); }
};

// Bits of the state reply's first field.
enum : uint32_t { kStateSmtp = 1, kStateImap = 2, kStatePop = 4, kStateRefused = 8 };

class MailSystem : private RequestHandler {
 public:
  explicit MailSystem(MailOptions options);
  ~MailSystem() override;
  // Opens the directory, makes the folders, takes the configuration and
  // listens. False with a reason.
  bool Start(std::string* error);
  // Serves until Stop(); the daemons are stopped on the way out.
  void Run();
  void Stop();
  // Takes the configuration now. False when the directory could not be read
  // or the daemons' tools refused the rendering (the running one stays).
  bool Take(const std::string& why);
  // One line for the status page: which protocols run, what was refused.
  std::string State();

 private:
  void Notice(uint32_t code, const std::string& module, uint32_t peer) override;
  void Statistics(unsigned char reply[kNoticeBytes]) override;
  int32_t LoadModule(const std::string&) override { return NCW_NO_SUCH_MODULE; }
  int32_t UnloadModule(const std::string&) override { return NCW_NO_SUCH_MODULE; }
  bool OtherRequest(uint32_t code, const unsigned char* request,
                    unsigned char reply[kNoticeBytes]) override;

  bool TakeLocked(const std::string& why);
  std::string StateLocked();
  uint32_t StateBitsLocked();
  void ClearFlagsLocked();
  void Watch();
  bool DatabaseChanged();
  static void Log(const std::string& line);

  MailOptions o_;
  Daemons daemons_;
  std::unique_ptr<DirectoryReader> reader_;
  Acceptor acceptor_;
  int requestService_ = -1;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();

  std::mutex control_;  // everything below
  MailSettings settings_;
  bool taken_ = false;            // a configuration runs
  GoodValues good_;
  std::vector<Refusal> refusals_;
  std::string refusedRendering_;  // the daemons' tools refused the last rendering
  std::string directoryProblem_;
  std::string daemonProblem_;
  std::chrono::steady_clock::time_point flagsUntil_{};
  int takenHour_ = -1;
  DbStamp stampLatest_, stampTaken_;  // watcher only
  std::chrono::steady_clock::time_point stampChangedAt_{};

  std::mutex statsMu_;
  DeliveryLog log_;
  LogFollower follower_;

  std::thread watcher_;
  std::mutex watchMu_;
  std::condition_variable watchWake_;
  bool stopping_ = false;
};

}  // namespace zelm::mail
