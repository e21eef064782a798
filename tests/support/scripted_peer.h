// An in-process TCP peer for the store client's tests: listens on port 999 of
// a loopback address of its own (127.0.x.y, so suites can run side by side),
// accepts one connection, plays a script of reply bytes and records every
// byte the client sent.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct PeerStep {
  enum Kind { kSend, kDelay, kExpect, kClose, kHold, kDrip, kEndless };
  Kind kind;
  std::string bytes;  // kSend: what to send; kExpect: what must arrive next
  int value;          // kSend: chunk size (0 = one send); kDelay/kHold: milliseconds;
                      // kDrip: milliseconds between bytes
};

// Script builders.
PeerStep Send(const std::string& bytes);
// Sends in chunks of `chunk` bytes with a pause between them, so the client
// sees them as separate packets.
PeerStep SendSplit(const std::string& bytes, int chunk);
PeerStep Delay(int ms);
// Waits (up to 10 s) until the client has sent `bytes` next; on a mismatch or
// timeout the peer closes the connection so the client fails fast.
PeerStep Expect(const std::string& bytes);
PeerStep CloseNow();
// Keeps the connection open without sending, for ms milliseconds.
PeerStep Hold(int ms);
// Sends one byte every `ms` milliseconds (the client reads each alone).
PeerStep Drip(const std::string& bytes, int ms);
// Sends `bytes` again and again, as fast as the client takes them, until the
// client closes or the test stops the peer; a script's last step. The step
// succeeds when the client was the one to end it.
PeerStep Endless(const std::string& bytes);

class ScriptedPeer {
 public:
  ScriptedPeer() = default;
  ~ScriptedPeer();
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  // Binds a free loopback address and starts playing once a client connects.
  bool Start(std::vector<PeerStep> script);
  const char* Address() const { return address_; }

  // Everything received so far.
  std::string Received();
  // Waits until Received() has at least `length` bytes; false on timeout.
  bool WaitReceivedLength(size_t length, int timeoutMs = 5000);
  // Waits (up to 15 s) for the script to end; true when every step ran and
  // every Expect matched. The client may still be connected afterwards.
  bool ScriptOk();
  // Bytes sent so far by every step.
  unsigned long long SentBytes();
  // Ends the script where it is and closes everything.
  void Stop();

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void Run();
  bool Pump(int waitMs);  // receives what is there; false when the client closed
  bool SendAllOf(const char* data, size_t n);  // false when the client is gone or we stop
  bool RunEndless(const std::string& bytes);

  char address_[32] = {};
  unsigned listen_ = ~0u;
  unsigned client_ = ~0u;
  HANDLE thread_ = nullptr;
  HANDLE stop_ = nullptr;
  HANDLE done_ = nullptr;  // set when the script has run to its end
  bool wsaStarted_ = false;
  CRITICAL_SECTION lock_;
  bool lockReady_ = false;
  std::vector<PeerStep> script_;
  std::string received_;
  size_t expectCursor_ = 0;
  bool ok_ = false;
  bool clientClosed_ = false;
  unsigned long long sentBytes_ = 0;
};
