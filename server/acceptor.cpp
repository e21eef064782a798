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
  for (auto& s : services_) close(s->fd);
  if (wake_[0] >= 0) close(wake_[0]);
  if (wake_[1] >= 0) close(wake_[1]);
}

bool Acceptor::Listen(const std::string& address, uint16_t port, ServiceHandlers handlers,
                      std::string* error) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1) {
    *error = "not an IPv4 address: " + address;
    return false;
  }
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = std::string("socket: ") + strerror(errno);
    return false;
  }
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 128) != 0) {
    *error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + strerror(errno);
    close(fd);
    return false;
  }
  auto s = std::make_unique<Service>();
  s->fd = fd;
  s->handlers = std::move(handlers);
  services_.push_back(std::move(s));
  return true;
}

void Acceptor::Stop() {
  if (stopping_.exchange(true)) return;
  if (wake_[1] >= 0) {
    char b = 1;
    ssize_t ignored = write(wake_[1], &b, 1);
    (void)ignored;
  }
}

void Acceptor::Run() {
  std::vector<pollfd> fds;
  for (auto& s : services_) fds.push_back({s->fd, POLLIN, 0});
  fds.push_back({wake_[0], POLLIN, 0});
  while (!stopping_.load()) {
    for (auto& p : fds) p.revents = 0;
    // Finished client threads are joined at least every second.
    int n = poll(fds.data(), fds.size(), 1000);
    if (n < 0 && errno != EINTR) break;
    Reap(false);
    for (size_t i = 0; n > 0 && i < services_.size(); ++i)
      if (fds[i].revents & POLLIN) Accept(services_[i].get());
  }
  // Wake every client out of its blocking read; each thread then ends.
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto& c : clients_)
      if (!c->done.load()) shutdown(c->fd, SHUT_RDWR);
  }
  Reap(true);
}

void Acceptor::Accept(Service* service) {
  sockaddr_in peer{};
  socklen_t len = sizeof peer;
  int fd = accept4(service->fd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
  if (fd < 0) return;
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  const ServiceHandlers& h = service->handlers;
  const std::string* refusal = nullptr;
  if (h.trusted && !h.trusted(ntohl(peer.sin_addr.s_addr))) {
    refusal = &h.refusal;
  } else if (service->clients.load() >= h.maxClients) {
    refusal = &h.busy;
  }
  if (refusal) {
    ssize_t ignored = send(fd, refusal->data(), refusal->size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    (void)ignored;
    close(fd);
    return;
  }
  auto client = std::make_unique<Client>();
  Client* c = client.get();
  c->fd = fd;
  service->clients.fetch_add(1);
  active_.fetch_add(1);
  std::lock_guard<std::mutex> lock(mu_);
  c->thread = std::thread([this, c, service] {
    service->handlers.serve(c->fd);
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
