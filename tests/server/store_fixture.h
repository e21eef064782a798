// A store server running in this process on a random loopback address, a
// temporary store folder with real Maildirs, and a plain TCP client.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "config.h"
#include "store_server.h"

// A blocking client with bounded waits (10 s per read), as a test needs.
class TestClient {
 public:
  ~TestClient();
  bool Connect(const std::string& address, uint16_t port);
  void Send(const std::string& bytes);
  // One line without its CR LF; "<closed>" when the connection ended,
  // "<timeout>" when nothing came.
  std::string Line();
  // Exactly n bytes (fewer only when the connection ended).
  std::string Bytes(size_t n);
  // Lines up to and including the first that starts with "1000".
  std::vector<std::string> UntilDone();
  // Whether the server closed the connection (reads EOF within the wait).
  bool Closed();
  void ShutdownWrite();
  int Fd() const { return fd_; }

 private:
  bool Fill();
  int fd_ = -1;
  std::string buf_;
};

class StoreFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the server on the store folder with the config as set up so far.
  void StartServer();
  void StopServer();
  // A connected client past the greeting.
  std::unique_ptr<TestClient> Client();

  // Maildir helpers, paths relative to the store root.
  void MakeMaildir(const std::string& rel);
  // Writes a message file into rel/sub/name; returns its full path.
  std::string Deliver(const std::string& rel, const std::string& sub, const std::string& name,
                      const std::string& content);
  std::string Path(const std::string& rel) const { return root_ + "/" + rel; }

  // Sends commands (joined with CR LF) and returns the next line.
  std::string Ask(TestClient* c, const std::string& command);
  // Selects user and mailbox and lists it; returns the INFO lines.
  std::vector<std::string> List(TestClient* c, const std::string& user, const std::string& box,
                                unsigned long flag = 2147483648UL);

  StoreConfig config_;
  std::string root_;     // the store folder
  std::string outside_;  // a folder beside it that must never be touched
  std::string address_;
  std::unique_ptr<StoreServer> server_;
  std::thread thread_;
};

std::string ReadFileText(const std::string& path);
bool FileExists(const std::string& path);
