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
  // source: the local address to connect from ("" lets the system choose).
  bool Connect(const std::string& address, uint16_t port, const std::string& source = "");
  void Send(const std::string& bytes);
  // One line without its CR LF; "<closed>" when the connection ended,
  // "<timeout>" when nothing came.
  std::string Line();
  // Exactly n bytes (fewer only when the connection ended).
  std::string Bytes(size_t n);
  // Lines up to and including the first that starts with "1000".
  std::vector<std::string> UntilDone();
  // Whether the server closed the connection within the wait (anything it
  // still sends first is skipped); false when it stays open and silent.
  bool Closed();
  void ShutdownWrite();
  int Fd() const { return fd_; }

 private:
  bool Fill();
  int fd_ = -1;
  std::string buf_;
};

// A client of the request wire (netcalls_wire.h): one frame out, one frame
// back, each read bounded by 10 s.
class WireClient {
 public:
  bool Connect(const std::string& address, uint16_t port) { return tcp_.Connect(address, port); }
  void SendFrame(uint16_t type, const std::string& payload);
  void SendRaw(const std::string& bytes) { tcp_.Send(bytes); }
  struct Reply {
    bool ok = false;  // a whole frame came
    uint16_t type = 0;
    std::string payload;
    int32_t Status() const;
  };
  Reply Read();
  // Lookup, send, load and unload in one call each.
  Reply Lookup(const std::string& name);
  Reply Send(uint32_t service, const std::string& request, uint32_t capacity = 140);
  Reply Module(uint16_t type, const std::string& name);
  bool Closed() { return tcp_.Closed(); }
  int Fd() const { return tcp_.Fd(); }

 private:
  TestClient tcp_;
};

// A 140-byte notice: code and module file name, zero-filled.
std::string NoticeBytes(uint32_t code, const std::string& module);
// Unsigned 32-bit little-endian field of a reply.
uint32_t FieldAt(const std::string& bytes, size_t offset);

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

  // A request-wire client connected to the server's request service.
  std::unique_ptr<WireClient> Wire();
  // Sends a notice over the wire; the status it got.
  int32_t SendNotice(uint32_t code, const std::string& module);

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

// Takes this process's descriptors (a lowered limit filled with /dev/null)
// until exactly `spare` are left; gives them all back when freed or destroyed.
class DescriptorFill {
 public:
  explicit DescriptorFill(int spare);
  ~DescriptorFill() { Free(); }
  void Free();
  // Gives one more back.
  void Loosen();

 private:
  std::vector<int> held_;
  unsigned long oldLimit_ = 0;
  bool active_ = false;
};
// Raises the descriptor limit to at least n (within the hard limit).
bool RaiseDescriptorLimit(unsigned long n);
// Threads of this process now.
int ThreadCount();

std::string ReadFileText(const std::string& path);
bool FileExists(const std::string& path);
