// Listening sockets and the accept loop, shared by every service the server
// offers (the store protocol now; the request service later). Each accepted
// client gets a thread of its own: commands do blocking file work (Maildir
// scans, MIME parsing), so a thread per client keeps one slow client or one
// large mailbox from ever stalling the others, with a cap on clients.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ServiceHandlers {
  // Serves one client; the socket is closed by the acceptor afterwards.
  std::function<void(int fd)> serve;
  // Whether a client address (host byte order) may be served at all.
  std::function<bool(uint32_t address)> trusted;
  // Line sent to refused clients (untrusted, or too many) before closing.
  std::string refusal = "5001 access denied\r\n";
  std::string busy = "5001 too many connections\r\n";
  int maxClients = 64;
};

class Acceptor {
 public:
  Acceptor();
  ~Acceptor();
  // Binds a listening socket; callable for several services before Run().
  bool Listen(const std::string& address, uint16_t port, ServiceHandlers handlers,
              std::string* error);
  // Accepts until Stop(); then ends every client and waits for their threads.
  void Run();
  // From any thread or a signal-waiting thread.
  void Stop();
  int ActiveClients() const { return active_.load(); }

 private:
  struct Service {
    int fd;
    ServiceHandlers handlers;
    std::atomic<int> clients{0};
  };
  struct Client {
    int fd;
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void Accept(Service* service);
  void Reap(bool all);

  std::vector<std::unique_ptr<Service>> services_;
  std::mutex mu_;
  std::list<std::unique_ptr<Client>> clients_;
  int wake_[2] = {-1, -1};
  std::atomic<bool> stopping_{false};
  std::atomic<int> active_{0};
};
