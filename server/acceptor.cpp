#include "acceptor.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

Acceptor::Acceptor() {
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
}

Acceptor::~Acceptor() {
  Stop();
  Reap(true);
  for (auto& s : services_)
    if (s->fd >= 0) close(s->fd);
  if (wake_[0] >= 0) close(wake_[0]);
  if (wake_[1] >= 0) close(wake_[1]);
}

int Acceptor::Bind(const std::string& address, uint16_t port, std::string* error) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1) {
    *error = "not an IPv4 address: " + address;
    return -1;
  }
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = std::string("socket: ") + strerror(errno);
    return -1;
  }
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 128) != 0) {
    *error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + strerror(errno);
    close(fd);
    return -1;
  }
  return fd;
}

bool Acceptor::Listen(const std::string& address, uint16_t port, ServiceHandlers handlers,
                      std::string* error, int* id) {
  int fd = Bind(address, port, error);
  if (fd < 0) return false;
  int made = Register(address, port, std::move(handlers));
  std::lock_guard<std::mutex> lock(mu_);
  services_[made]->fd = fd;
  if (id) *id = made;
  Wake();
  return true;
}

int Acceptor::Register(const std::string& address, uint16_t port, ServiceHandlers handlers) {
  auto s = std::make_unique<Service>();
  s->address = address;
  s->port = port;
  s->handlers = std::move(handlers);
  std::lock_guard<std::mutex> lock(mu_);
  services_.push_back(std::move(s));
  return static_cast<int>(services_.size() - 1);
}

Acceptor::Service* Acceptor::Find(int id) {
  return id >= 0 && static_cast<size_t>(id) < services_.size() ? services_[id].get() : nullptr;
}

void Acceptor::Wake() {
  if (wake_[1] < 0) return;
  char b = 1;
  ssize_t ignored = write(wake_[1], &b, 1);
  (void)ignored;
}

void Acceptor::CloseRequested() {
  bool any = false;
  for (auto& s : services_) {
    if (!s->closing) continue;
    if (s->fd >= 0) close(s->fd);
    s->fd = -1;
    s->closing = false;
    any = true;
  }
  if (any) changed_.notify_all();
}

void Acceptor::Close(int id) {
  std::unique_lock<std::mutex> lock(mu_);
  Service* s = Find(id);
  if (!s) return;
  if (s->fd >= 0) {
    // While Run polls the socket only its thread may close it: a socket
    // closed under poll keeps listening until poll returns.
    s->closing = true;
    if (running_) {
      Wake();
      changed_.wait(lock, [&] { return s->fd < 0 || !running_; });
    }
    if (s->fd >= 0) CloseRequested();
  }
  EndClientsLocked(s, nullptr);
}

bool Acceptor::Reopen(int id, std::string* error) {
  std::string address;
  uint16_t port;
  {
    std::lock_guard<std::mutex> lock(mu_);
    Service* s = Find(id);
    if (!s) {
      *error = "no such service";
      return false;
    }
    if (s->fd >= 0 && !s->closing) return true;
    address = s->address;
    port = s->port;
  }
  int fd = Bind(address, port, error);
  if (fd < 0) return false;
  std::unique_lock<std::mutex> lock(mu_);
  Service* s = Find(id);
  if (s->closing) changed_.wait(lock, [&] { return !s->closing || !running_; });
  if (s->closing) CloseRequested();
  if (s->fd >= 0) {
    close(fd);  // another caller opened it meanwhile
  } else {
    s->fd = fd;
    Wake();
  }
  return true;
}

bool Acceptor::Listening(int id) {
  std::lock_guard<std::mutex> lock(mu_);
  Service* s = Find(id);
  return s && s->fd >= 0 && !s->closing;
}

void Acceptor::EndClients(int id, const std::function<bool(uint32_t)>& which) {
  std::lock_guard<std::mutex> lock(mu_);
  if (Service* s = Find(id)) EndClientsLocked(s, which);
}

void Acceptor::EndClientsLocked(Service* s, const std::function<bool(uint32_t)>& which) {
  // A shut-down socket wakes its thread out of any read; the thread ends and
  // Reap closes the socket.
  for (auto& c : clients_)
    if (c->service == s && !c->done.load() && (!which || which(c->peer)))
      shutdown(c->fd, SHUT_RDWR);
}

uint64_t Acceptor::Accepted(int id) {
  std::lock_guard<std::mutex> lock(mu_);
  Service* s = Find(id);
  return s ? s->accepted.load() : 0;
}

uint64_t Acceptor::Refused(int id) {
  std::lock_guard<std::mutex> lock(mu_);
  Service* s = Find(id);
  return s ? s->refused.load() : 0;
}

void Acceptor::Stop() {
  if (stopping_.exchange(true)) return;
  Wake();
}

void Acceptor::Run() {
  std::vector<pollfd> fds;
  std::vector<Service*> polled;
  {
    std::lock_guard<std::mutex> lock(mu_);
    running_ = true;
  }
  while (!stopping_.load()) {
    fds.clear();
    polled.clear();
    {
      std::lock_guard<std::mutex> lock(mu_);
      CloseRequested();
      for (auto& s : services_) {
        if (s->fd < 0) continue;
        fds.push_back({s->fd, POLLIN, 0});
        polled.push_back(s.get());
      }
    }
    fds.push_back({wake_[0], POLLIN, 0});
    // Finished client threads are joined at least every second.
    int n = poll(fds.data(), fds.size(), 1000);
    if (n < 0 && errno != EINTR) break;
    if (n > 0 && (fds.back().revents & POLLIN)) {
      char drain[64];
      while (read(wake_[0], drain, sizeof drain) > 0) {
      }
    }
    Reap(false);
    // Only this thread closes listening sockets, so each fd polled is still
    // the service's own.
    for (size_t i = 0; n > 0 && i < polled.size(); ++i)
      if (fds[i].revents & POLLIN) Accept(polled[i], fds[i].fd);
  }
  // Wake every client out of its blocking read; each thread then ends.
  {
    std::lock_guard<std::mutex> lock(mu_);
    running_ = false;
    changed_.notify_all();
    for (auto& c : clients_)
      if (!c->done.load()) shutdown(c->fd, SHUT_RDWR);
  }
  Reap(true);
}

void Acceptor::Accept(Service* service, int listenFd) {
  sockaddr_in peer{};
  socklen_t len = sizeof peer;
  int fd = accept4(listenFd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
  if (fd < 0) return;
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  uint32_t address = ntohl(peer.sin_addr.s_addr);
  const ServiceHandlers& h = service->handlers;
  // The trust test and the registration happen under the lock that
  // EndClients takes, so a client is either judged by a new configuration
  // or registered in time to be ended by it.
  std::unique_lock<std::mutex> lock(mu_);
  const std::string* refusal = nullptr;
  if (h.trusted && !h.trusted(address)) {
    refusal = &h.refusal;
  } else if (service->clients.load() >= h.maxClients) {
    refusal = &h.busy;
  }
  if (refusal) {
    lock.unlock();
    service->refused.fetch_add(1);
    if (!refusal->empty()) {
      ssize_t ignored = send(fd, refusal->data(), refusal->size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      (void)ignored;
    }
    close(fd);
    return;
  }
  auto client = std::make_unique<Client>();
  Client* c = client.get();
  c->fd = fd;
  c->service = service;
  c->peer = address;
  service->clients.fetch_add(1);
  service->accepted.fetch_add(1);
  active_.fetch_add(1);
  c->thread = std::thread([this, c, service] {
    service->handlers.serve(c->fd, c->peer);
    service->clients.fetch_sub(1);
    active_.fetch_sub(1);
    c->done.store(true);
  });
  clients_.push_back(std::move(client));
}

void Acceptor::Reap(bool all) {
  std::list<std::unique_ptr<Client>> finished;
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto it = clients_.begin(); it != clients_.end();) {
      if (all || (*it)->done.load()) {
        finished.push_back(std::move(*it));
        it = clients_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& c : finished) {
    if (c->thread.joinable()) c->thread.join();
    close(c->fd);
  }
}
