// The store server: the store with its protocol listener (the module
// "MSGSRV", loaded and unloaded on request) and the request service beside
// it, ready to run on the calling thread. With a directory it takes its
// configuration there at start, on each notice for the store's module and,
// for a short while after a notice (or always, with watchDirectory), when
// the database changes; it writes its status back and clears the change flag
// of what it took.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "acceptor.h"
#include "config.h"
#include "directory_link.h"
#include "mail_link.h"
#include "message_store.h"
#include "request_service.h"

struct NoticeRecord {
  int64_t when;        // Unix time
  uint32_t code;       // 1 to 3
  std::string module;  // module file name, as sent
  uint32_t peer;       // sender's address, host byte order
  bool taken;          // the configuration was taken for it
};

// Texts the server writes to "Quorvel:Server Status".
extern const char kStatusUp[];        // "Up": the store port serves
extern const char kStatusDisabled[];  // "Disabled": the messaging server or store agent is disabled
extern const char kStatusUnloaded[];  // "Unloaded": MSGSRV is not loaded
extern const char kStatusDown[];      // "Down": no usable store, or the server stopped

class StoreServer : private RequestHandler {
 public:
  explicit StoreServer(const StoreConfig& config);
  ~StoreServer() override;
  // Opens the store (or the directory) and binds the listeners. False with
  // a reason.
  bool Start(std::string* error);
  // Serves until Stop(); with a directory, writes the status "Down" last.
  void Run();
  void Stop();
  MessageStore& Store() { return store_; }
  // The command-line configuration, with the address the directory gave.
  const StoreConfig& Base() const { return base_; }

  bool StoreListening();
  bool ModuleLoaded();
  std::string Status();
  // Why the store is not served ("" when it is, or only disabled).
  std::string Unavailable();
  // The latest notices, oldest first (at most kNoticesKept).
  std::vector<NoticeRecord> Notices();
  uint64_t ConfigurationsTaken() const { return taken_.load(); }
  // Takes the configuration from the directory now; the number of change
  // flags cleared.
  int TakeConfiguration(const std::string& why);

  enum : size_t { kNoticesKept = 64 };

 private:
  // The request service's calls (request_service.h).
  void Notice(uint32_t code, const std::string& module, uint32_t peer) override;
  void Statistics(unsigned char reply[kNoticeBytes]) override;
  int32_t LoadModule(const std::string& module) override;
  int32_t UnloadModule(const std::string& module) override;

  // Everything below runs under control_.
  int TakeLocked(const std::string& why, std::string* bindError);
  void ApplyLocked(const StoreConfig& next, const std::string& unavailable);
  bool ReconcileLocked(std::string* error);
  void ReportLocked(const char* status = nullptr);
  void LogWriteFailure(int code);
  std::string StatusLocked();
  // The status written to the directory: the store's, then the mail system's.
  std::string ReportTextLocked();
  void PassToMailSystem(uint32_t code, const std::string& module);
  void FollowMailState();
  std::string AddressText();
  void Watch();
  static void Log(const std::string& line);

  StoreConfig base_;
  MessageStore store_;
  Acceptor acceptor_;
  std::unique_ptr<DirectoryLink> directory_;
  std::unique_ptr<MailLink> mail_;  // the mail system beside the store, when there is one
  int storeService_ = -1;
  int requestService_ = -1;

  std::mutex control_;
  bool moduleLoaded_ = true;
  std::string unavailable_;
  std::string messagingServer_;
  std::string storeModule_ = "STORAGNT.QMD";
  std::string networkAddress_;
  std::string mailState_;  // as the mail system told it last; "" when it did not answer
  DirectoryMark seen_;  // the directory as the server last left it
  std::chrono::steady_clock::time_point noticeWindowEnd_{};
  std::atomic<uint64_t> taken_{0};

  std::mutex noticesMu_;
  std::deque<NoticeRecord> notices_;

  std::thread watcher_;
  std::mutex watchMu_;
  std::condition_variable watchWake_;
  bool stopping_ = false;
};
