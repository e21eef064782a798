#include "scripted_peer.h"

#include <winsock.h>

#include <cstdio>
#include <cstring>

namespace {

SOCKET S(unsigned s) { return s == ~0u ? INVALID_SOCKET : static_cast<SOCKET>(s); }

// Picks loopback addresses spread over 127.0.0.0/16 so that peers of
// parallel test processes and sockets left in TIME_WAIT never collide.
unsigned NextCandidate() {
  static unsigned counter = 0;
  unsigned seed = GetCurrentProcessId() * 2654435761u + GetTickCount() + counter++ * 40503u;
  unsigned a = 1 + (seed >> 8) % 250;
  unsigned b = 2 + seed % 250;
  return (127u << 24) | (a << 8) | b;
}

}  // namespace

PeerStep Send(const std::string& bytes) { return {PeerStep::kSend, bytes, 0}; }
PeerStep SendSplit(const std::string& bytes, int chunk) { return {PeerStep::kSend, bytes, chunk}; }
PeerStep Delay(int ms) { return {PeerStep::kDelay, "", ms}; }
PeerStep Expect(const std::string& bytes) { return {PeerStep::kExpect, bytes, 0}; }
PeerStep CloseNow() { return {PeerStep::kClose, "", 0}; }
PeerStep Hold(int ms) { return {PeerStep::kHold, "", ms}; }
PeerStep Drip(const std::string& bytes, int ms) { return {PeerStep::kDrip, bytes, ms}; }
PeerStep Endless(const std::string& bytes) { return {PeerStep::kEndless, bytes, 0}; }

ScriptedPeer::~ScriptedPeer() {
  Stop();
  if (lockReady_) DeleteCriticalSection(&lock_);
}

bool ScriptedPeer::Start(std::vector<PeerStep> script) {
  WSADATA wsa;
  wsaStarted_ = WSAStartup(MAKEWORD(1, 1), &wsa) == 0;  // balanced in Stop
  InitializeCriticalSection(&lock_);
  lockReady_ = true;
  script_ = std::move(script);
  for (int attempt = 0; attempt < 64; ++attempt) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return false;
    sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(999);
    a.sin_addr.s_addr = htonl(NextCandidate());
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(s, 4) == 0) {
      listen_ = static_cast<unsigned>(s);
      snprintf(address_, sizeof address_, "%s", inet_ntoa(a.sin_addr));
      stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
      done_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
      thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
      return thread_ != nullptr;
    }
    closesocket(s);
  }
  return false;
}

DWORD WINAPI ScriptedPeer::ThreadMain(void* self) {
  static_cast<ScriptedPeer*>(self)->Run();
  return 0;
}

bool ScriptedPeer::Pump(int waitMs) {
  if (client_ == ~0u || clientClosed_) {
    Sleep(waitMs > 0 ? waitMs : 0);
    return false;
  }
  fd_set rd;
  FD_ZERO(&rd);
  FD_SET(S(client_), &rd);
  timeval tv = {waitMs / 1000, (waitMs % 1000) * 1000};
  if (select(0, &rd, nullptr, nullptr, &tv) <= 0) return true;
  char buf[4096];
  int n = recv(S(client_), buf, sizeof buf, 0);
  if (n <= 0) {
    clientClosed_ = true;
    return false;
  }
  EnterCriticalSection(&lock_);
  received_.append(buf, static_cast<size_t>(n));
  LeaveCriticalSection(&lock_);
  return true;
}

bool ScriptedPeer::SendAllOf(const char* data, size_t n) {
  while (n > 0) {
    if (WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0 || clientClosed_) return false;
    // Waits for room in slices, so that stopping never waits on a client
    // that has stopped reading.
    fd_set wr;
    FD_ZERO(&wr);
    FD_SET(S(client_), &wr);
    timeval tv = {0, 50000};
    int ready = select(0, nullptr, &wr, nullptr, &tv);
    if (ready < 0) return false;
    if (ready == 0) {
      Pump(0);
      continue;
    }
    int sent = send(S(client_), data, static_cast<int>(n), 0);
    if (sent <= 0) return false;
    EnterCriticalSection(&lock_);
    sentBytes_ += static_cast<unsigned long long>(sent);
    LeaveCriticalSection(&lock_);
    data += sent;
    n -= static_cast<size_t>(sent);
  }
  return true;
}

bool ScriptedPeer::RunEndless(const std::string& bytes) {
  if (bytes.empty()) return false;
  std::string block;
  while (block.size() < 65536) block += bytes;
  while (SendAllOf(block.data(), block.size())) Pump(0);
  // Ended by the client: it closed, or its socket refused more.
  return WaitForSingleObject(stop_, 0) != WAIT_OBJECT_0;
}

unsigned long long ScriptedPeer::SentBytes() {
  if (!lockReady_) return 0;
  EnterCriticalSection(&lock_);
  unsigned long long n = sentBytes_;
  LeaveCriticalSection(&lock_);
  return n;
}

void ScriptedPeer::Run() {
  fd_set rd;
  FD_ZERO(&rd);
  FD_SET(S(listen_), &rd);
  timeval tv = {20, 0};
  if (select(0, &rd, nullptr, nullptr, &tv) <= 0) {
    SetEvent(done_);
    return;
  }
  SOCKET c = accept(S(listen_), nullptr, nullptr);
  if (c == INVALID_SOCKET) {
    SetEvent(done_);
    return;
  }
  client_ = static_cast<unsigned>(c);
  BOOL one = TRUE;
  setsockopt(c, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);

  bool ok = true;
  for (const PeerStep& step : script_) {
    if (WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) {
      ok = false;
      break;
    }
    if (step.kind == PeerStep::kSend) {
      size_t chunk = step.value > 0 ? static_cast<size_t>(step.value) : step.bytes.size();
      for (size_t off = 0; off < step.bytes.size(); off += chunk) {
        size_t n = step.bytes.size() - off < chunk ? step.bytes.size() - off : chunk;
        if (send(c, step.bytes.data() + off, static_cast<int>(n), 0) != static_cast<int>(n)) {
          ok = false;
          break;
        }
        EnterCriticalSection(&lock_);
        sentBytes_ += n;
        LeaveCriticalSection(&lock_);
        if (step.value > 0) Pump(30);  // let the client take this piece alone
      }
    } else if (step.kind == PeerStep::kDelay || step.kind == PeerStep::kHold) {
      DWORD end = GetTickCount() + static_cast<DWORD>(step.value);
      while (static_cast<int>(end - GetTickCount()) > 0 &&
             WaitForSingleObject(stop_, 0) != WAIT_OBJECT_0) {
        int left = static_cast<int>(end - GetTickCount());
        Pump(left < 100 ? (left > 0 ? left : 0) : 100);
      }
    } else if (step.kind == PeerStep::kExpect) {
      DWORD end = GetTickCount() + 10000;
      bool matched = false;
      for (;;) {
        EnterCriticalSection(&lock_);
        size_t have = received_.size() - expectCursor_;
        bool enough = have >= step.bytes.size();
        if (enough) {
          matched = received_.compare(expectCursor_, step.bytes.size(), step.bytes) == 0;
          expectCursor_ += step.bytes.size();
        }
        LeaveCriticalSection(&lock_);
        if (enough || clientClosed_ || static_cast<int>(end - GetTickCount()) <= 0 ||
            WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0)
          break;
        Pump(50);
      }
      if (!matched) {
        ok = false;
        break;
      }
    } else if (step.kind == PeerStep::kDrip) {
      bool cutOff = false;
      for (char byte : step.bytes) {
        if (!SendAllOf(&byte, 1)) {
          cutOff = true;
          break;
        }
        DWORD end = GetTickCount() + static_cast<DWORD>(step.value);
        int left;
        while ((left = static_cast<int>(end - GetTickCount())) > 0 && !clientClosed_) Pump(left);
      }
      // A client that gives up on the drip ends the script, as it should.
      if (cutOff) {
        ok = WaitForSingleObject(stop_, 0) != WAIT_OBJECT_0;
        break;
      }
    } else if (step.kind == PeerStep::kEndless) {
      ok = RunEndless(step.bytes);
      break;
    } else if (step.kind == PeerStep::kClose) {
      break;
    }
    if (!ok) break;
  }
  ok_ = ok;
  SetEvent(done_);
  if (!ok || (!script_.empty() && script_.back().kind == PeerStep::kClose)) {
    shutdown(c, 1);
    closesocket(c);
    client_ = ~0u;
    return;
  }
  // Keep recording until the client goes or the test stops us.
  while (WaitForSingleObject(stop_, 0) != WAIT_OBJECT_0 && Pump(50)) {
  }
}

std::string ScriptedPeer::Received() {
  if (!lockReady_) return {};
  EnterCriticalSection(&lock_);
  std::string copy = received_;
  LeaveCriticalSection(&lock_);
  return copy;
}

bool ScriptedPeer::WaitReceivedLength(size_t length, int timeoutMs) {
  DWORD end = GetTickCount() + static_cast<DWORD>(timeoutMs);
  while (Received().size() < length) {
    if (static_cast<int>(end - GetTickCount()) <= 0) return false;
    Sleep(10);
  }
  return true;
}

bool ScriptedPeer::ScriptOk() {
  if (!thread_) return ok_;
  WaitForSingleObject(done_, 15000);
  return ok_;
}

void ScriptedPeer::Stop() {
  if (thread_) {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
    CloseHandle(done_);
    thread_ = nullptr;
    if (client_ != ~0u) closesocket(S(client_));
    closesocket(S(listen_));
    client_ = listen_ = ~0u;
  }
  if (wsaStarted_) {
    WSACleanup();
    wsaStarted_ = false;
  }
}
