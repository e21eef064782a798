// Listening sockets and the accept loop, shared by every service the server
// offers (the store protocol and the request service). Each accepted client
// gets a thread of its own: commands do blocking file work (Maildir scans,
// MIME parsing), so a thread per client keeps one slow client or one large
// mailbox from ever stalling the others, with a cap on clients. A service's
// listener can be closed and opened again while the others keep running
// (the store module is unloaded and loaded that way).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ServiceHandlers {
  // Serves one client (peer address in host byte order); the socket is
  // closed by the acceptor afterwards.
  std::function<void(int fd, uint32_t peer)> serve;
  // Whether a client address (host byte order) may be served at all.
  std::function<bool(uint32_t address)> trusted;
  // Line sent to refused clients (untrusted, or too many) before closing;
  // empty: closed without a word.
  std::string refusal = "5001 access denied\r\n";
  std::string busy = "5001 too many connections\r\n";
  int maxClients = 64;
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
  // their connections are shut down and their threads finish on their own.
  void EndClients(int id, const std::function<bool(uint32_t peer)>& which = nullptr);

  // Accepts until Stop(); then ends every client and waits for their threads.
  void Run();
  // From any thread or a signal-waiting thread.
  void Stop();
  int ActiveClients() const { return active_.load(); }
  // Clients of a service served and turned away since it was made.
  uint64_t Accepted(int id);
  uint64_t Refused(int id);

 private:
  struct Service {
    int fd = -1;  // -1 while closed; changed by the Run thread while it runs
    bool closing = false;
    std::string address;
    uint16_t port = 0;
    ServiceHandlers handlers;
    std::atomic<int> clients{0};
    std::atomic<uint64_t> accepted{0};
    std::atomic<uint64_t> refused{0};
  };
  struct Client {
    int fd;
    Service* service;
    uint32_t peer;
    std::thread thread;
    std::atomic<bool> done{false};
  };
  static int Bind(const std::string& address, uint16_t port, std::string* error);
  Service* Find(int id);
  void Wake();
  void CloseRequested();  // under mu_
  void EndClientsLocked(Service* s, const std::function<bool(uint32_t)>& which);
  void Accept(Service* service, int listenFd);
  void Reap(bool all);

  std::mutex mu_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<Service>> services_;  // never shrinks: ids are indexes
  std::list<std::unique_ptr<Client>> clients_;
  bool running_ = false;
  int wake_[2] = {-1, -1};
  std::atomic<bool> stopping_{false};
  std::atomic<int> active_{0};
};
