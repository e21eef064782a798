// Listening sockets and the connection loop, shared by every service the
// server offers (the store protocol and the request service). One thread
// waits on every listener and every connected client at once (epoll), so an
// idle connection costs a socket and a little memory, not a thread. A client
// whose input arrives is handed to a worker thread for as long as its
// commands are being answered: commands do blocking file work (Maildir scans,
// MIME parsing) and blocking sends, so workers are added as needed and one
// slow client or one large mailbox never stalls the others. Connections
// that wait past their deadline (no first command, idle) are ended by the
// loop. Caps: clients per service, and clients per address, so that a few
// hosts cannot take every slot. When the process runs out of descriptors
// new clients are turned away with the service's busy line and the loop
// backs off instead of spinning.
//
// A service's listener can be closed and opened again while the others keep
// running (the store module is unloaded and loaded that way).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

using AcceptorClock = std::chrono::steady_clock;

// What a connection wants next: to wait for input until a deadline, or to
// be closed.
struct ConnectionWait {
  bool keep = false;
  AcceptorClock::time_point deadline{};
  static ConnectionWait Close() { return {}; }
  static ConnectionWait Until(AcceptorClock::time_point t) { return {true, t}; }
};

// One client of a service, as the service drives it. The acceptor owns the
// socket (blocking; reads take MSG_DONTWAIT) and calls one of these at a time.
class ClientConnection {
 public:
  virtual ~ClientConnection() = default;
  // On the loop thread right after the client was let in: sends what goes
  // out first (the greeting) without blocking.
  virtual ConnectionWait Begin(int fd) = 0;
  // On a worker thread when input arrived or the peer closed: takes in what
  // is there without waiting, answers every complete command (sends may
  // block), and says what comes next.
  virtual ConnectionWait Readable(int fd) = 0;
  // On the loop thread when the deadline passed with nothing arriving; the
  // connection is closed afterwards. Must not block.
  virtual void Expired(int /*fd*/) {}
};

struct ServiceHandlers {
  // Makes the connection of an admitted client (peer address in host byte
  // order).
  std::function<std::unique_ptr<ClientConnection>(uint32_t peer)> open;
  // Whether a client address (host byte order) may be served at all.
  std::function<bool(uint32_t address)> trusted;
  // Line sent to refused clients (untrusted, or too many) before closing;
  // empty: closed without a word.
  std::string refusal = "5001 access denied\r\n";
  std::string busy = "5001 too many connections\r\n";
  int maxClients = 64;
  int maxPerHost = 16;  // clients one address may have at once
};

class Acceptor {
 public:
  Acceptor();
  ~Acceptor();
  // Binds a listening socket for a new service; callable before or during
  // Run(). *id names the service for the calls below.
  bool Listen(const std::string& address, uint16_t port, ServiceHandlers handlers,
              std::string* error, int* id = nullptr);
  // A service that does not listen yet (Reopen starts it); returns its id.
  int Register(const std::string& address, uint16_t port, ServiceHandlers handlers);
  // Stops listening (new clients are refused by the system) and ends the
  // service's clients. Returns once the socket is closed.
  void Close(int id);
  // Listens again on the service's address and port; true when it already was.
  bool Reopen(int id, std::string* error);
  bool Listening(int id);
  // Ends the service's clients whose address matches (all without a test):
  // their connections are shut down and closed once their work returns.
  void EndClients(int id, const std::function<bool(uint32_t peer)>& which = nullptr);

  // Serves until Stop(); then ends every client and waits for the workers.
  void Run();
  // From any thread or a signal-waiting thread.
  void Stop();
  int ActiveClients() const { return active_.load(); }
  // Clients of a service served and turned away since it was made.
  uint64_t Accepted(int id);
  uint64_t Refused(int id);

 private:
  struct Polled {
    bool listener;
  };
  struct Service : Polled {
    Service() : Polled{true} {}
    int fd = -1;  // -1 while closed; changed by the Run thread while it runs
    bool closing = false;
    std::string address;
    uint16_t port = 0;
    ServiceHandlers handlers;
    // Loop thread only: the descriptor registered with epoll, and until when
    // accepting rests after running out of descriptors.
    int polledFd = -1;
    AcceptorClock::time_point restUntil{};
    std::atomic<int> clients{0};
    std::atomic<uint64_t> accepted{0};
    std::atomic<uint64_t> refused{0};
    std::unordered_map<uint32_t, int> perHost;  // under mu_
  };
  struct Client : Polled {
    Client() : Polled{false} {}
    int fd = -1;
    Service* service = nullptr;
    uint32_t peer = 0;
    std::unique_ptr<ClientConnection> connection;
    // Loop thread only.
    bool busy = false;  // with a worker
    std::multimap<AcceptorClock::time_point, Client*>::iterator timer;
    bool timed = false;
  };
  struct Finished {
    Client* client;
    ConnectionWait next;
  };

  static int Bind(const std::string& address, uint16_t port, std::string* error);
  Service* Find(int id);
  void Wake();
  void CloseRequested();  // under mu_
  void EndClientsLocked(Service* s, const std::function<bool(uint32_t)>& which);
  // Loop thread.
  void SyncListeners();
  void Accept(Service* service);
  void TurnAway(Service* service, int fd, const std::string& line);
  bool AcceptWithSpare(Service* service);
  void Wait(Client* c, const ConnectionWait& next);
  void Hand(Client* c);
  void Drop(Client* c);
  void TakeFinished();
  void ExpireDue(AcceptorClock::time_point now);
  int PollTimeoutMs(AcceptorClock::time_point now);

  // Workers: added when every one is busy, ended after a while without work.
  void Submit(Client* c);
  void Work();
  void JoinExited();
  void StopWorkers();

  std::mutex mu_;  // services_, clients_, per-host counts; never held while answering
  std::condition_variable changed_;
  std::vector<std::unique_ptr<Service>> services_;  // never shrinks: ids are indexes
  std::list<std::unique_ptr<Client>> clients_;
  bool running_ = false;
  int epoll_ = -1;
  int wake_ = -1;   // eventfd
  int spare_ = -1;  // held for turning clients away when descriptors run out
  bool exhaustedLogged_ = false;
  std::atomic<bool> stopping_{false};
  std::atomic<int> active_{0};
  std::multimap<AcceptorClock::time_point, Client*> timers_;  // loop thread

  std::mutex finishedMu_;
  std::vector<Finished> finished_;

  std::mutex workMu_;
  std::condition_variable workWake_;
  std::deque<Client*> work_;
  int idleWorkers_ = 0;
  bool workersStop_ = false;
  std::list<std::thread> workers_;
  std::vector<std::thread::id> exited_;
};
