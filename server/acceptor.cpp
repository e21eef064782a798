#include "acceptor.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace {

// Accepting rests this long when descriptors run out and no spare is left
// to turn the client away with.
constexpr auto kRestAfterExhaustion = std::chrono::milliseconds(250);
// Workers beyond these end after this long without work.
constexpr int kSpareWorkers = 2;
constexpr auto kWorkerLinger = std::chrono::seconds(30);
constexpr int kAcceptsPerWake = 64;  // then the other services get their turn

int OpenSpare() { return open("/dev/null", O_RDONLY | O_CLOEXEC); }

bool OutOfDescriptors(int error) {
  return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

}  // namespace

Acceptor::Acceptor() {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (epoll_ >= 0 && wake_ >= 0) {
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.ptr = nullptr;  // the wake descriptor is the one without a record
    epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &ev);
  }
  spare_ = OpenSpare();
}

Acceptor::~Acceptor() {
  Stop();
  StopWorkers();
  for (auto& c : clients_) close(c->fd);  // only when Run never ended them
  for (auto& s : services_)
    if (s->fd >= 0) close(s->fd);
  for (int fd : {epoll_, wake_, spare_})
    if (fd >= 0) close(fd);
}

int Acceptor::Bind(const std::string& address, uint16_t port, std::string* error) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1) {
    *error = "not an IPv4 address: " + address;
    return -1;
  }
  // Non-blocking, so the loop can accept until the queue is empty; accepted
  // sockets are blocking again.
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
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
  if (wake_ < 0) return;
  uint64_t one = 1;
  ssize_t ignored = write(wake_, &one, sizeof one);
  (void)ignored;
}

void Acceptor::CloseRequested() {
  bool any = false;
  for (auto& s : services_) {
    if (!s->closing) continue;
    // Closing drops the socket from epoll; a new one may get the same number.
    if (s->fd >= 0) close(s->fd);
    s->fd = -1;
    s->polledFd = -1;
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
    // While Run waits on the socket only its thread may close it.
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
  // A shut-down socket reads as closed, waking the loop for an idle client
  // and failing the sends of a busy one; either way it is then dropped.
  // Clients leave clients_ before their sockets are closed, so every fd
  // here is still the client's own.
  for (auto& c : clients_)
    if (c->service == s && (!which || which(c->peer))) shutdown(c->fd, SHUT_RDWR);
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

void Acceptor::SyncListeners() {
  AcceptorClock::time_point now = AcceptorClock::now();
  std::lock_guard<std::mutex> lock(mu_);
  CloseRequested();
  for (auto& s : services_) {
    int want = s->fd >= 0 && now >= s->restUntil ? s->fd : -1;
    if (want == s->polledFd) continue;
    if (s->polledFd >= 0) epoll_ctl(epoll_, EPOLL_CTL_DEL, s->polledFd, nullptr);
    s->polledFd = -1;
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.ptr = static_cast<Polled*>(s.get());
    if (want >= 0 && epoll_ctl(epoll_, EPOLL_CTL_ADD, want, &ev) == 0) s->polledFd = want;
  }
}

void Acceptor::Run() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    running_ = true;
  }
  epoll_event events[64];
  while (!stopping_.load()) {
    if (spare_ < 0) spare_ = OpenSpare();
    SyncListeners();
    TakeFinished();
    AcceptorClock::time_point now = AcceptorClock::now();
    ExpireDue(now);
    int n = epoll_wait(epoll_, events, 64, PollTimeoutMs(now));
    if (n < 0 && errno != EINTR) break;
    for (int i = 0; i < n; ++i) {
      auto* p = static_cast<Polled*>(events[i].data.ptr);
      if (!p) {
        uint64_t drained;
        while (read(wake_, &drained, sizeof drained) > 0) {
        }
      } else if (p->listener) {
        Accept(static_cast<Service*>(p));
      } else {
        Hand(static_cast<Client*>(p));
      }
    }
  }
  // Every client is shut down; busy ones are dropped as their work returns.
  {
    std::lock_guard<std::mutex> lock(mu_);
    running_ = false;
    changed_.notify_all();
    for (auto& c : clients_) shutdown(c->fd, SHUT_RDWR);
  }
  for (;;) {
    TakeFinished();
    bool busy = false;
    std::vector<Client*> idle;
    {
      std::lock_guard<std::mutex> lock(mu_);
      for (auto& c : clients_) {
        if (c->busy) {
          busy = true;
        } else {
          idle.push_back(c.get());
        }
      }
    }
    for (Client* c : idle) Drop(c);
    if (!busy) break;
    epoll_wait(epoll_, events, 64, 100);
  }
  StopWorkers();
}

int Acceptor::PollTimeoutMs(AcceptorClock::time_point now) {
  AcceptorClock::time_point next = now + std::chrono::seconds(1);
  if (!timers_.empty()) next = std::min(next, timers_.begin()->first);
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto& s : services_)
      if (s->fd >= 0 && s->restUntil > now) next = std::min(next, s->restUntil);
  }
  if (next <= now) return 0;
  // Rounded up, so a deadline is never waited for in a loop of 0 ms waits.
  return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                              next - now + std::chrono::microseconds(999))
                              .count());
}

void Acceptor::TurnAway(Service* service, int fd, const std::string& line) {
  service->refused.fetch_add(1);
  if (!line.empty()) {
    ssize_t ignored = send(fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    (void)ignored;
  }
  close(fd);
}

bool Acceptor::AcceptWithSpare(Service* service) {
  // The spare descriptor makes room for one client, which is told the
  // service is busy instead of waiting unanswered in the queue.
  if (spare_ < 0) return false;
  close(spare_);
  spare_ = -1;
  int fd = accept4(service->polledFd, nullptr, nullptr, SOCK_CLOEXEC);
  int error = errno;
  if (fd >= 0) TurnAway(service, fd, service->handlers.busy);
  spare_ = OpenSpare();
  return fd >= 0 || error == EAGAIN || error == EWOULDBLOCK;
}

void Acceptor::Accept(Service* service) {
  const ServiceHandlers& h = service->handlers;
  for (int round = 0; round < kAcceptsPerWake && service->polledFd >= 0; ++round) {
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    int fd = accept4(service->polledFd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) continue;
      if (!OutOfDescriptors(errno)) return;  // the queue is empty
      if (!exhaustedLogged_) {
        fprintf(stderr, "zelmstored: out of file descriptors: new clients are turned away\n");
        fflush(stderr);
        exhaustedLogged_ = true;
      }
      if (AcceptWithSpare(service)) continue;
      // Nothing to turn the client away with: rest instead of spinning on
      // a queue that stays readable.
      service->restUntil = AcceptorClock::now() + kRestAfterExhaustion;
      return;
    }
    if (exhaustedLogged_) {
      fprintf(stderr, "zelmstored: file descriptors available again\n");
      fflush(stderr);
      exhaustedLogged_ = false;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    uint32_t address = ntohl(peer.sin_addr.s_addr);
    // The trust test and the registration happen under the lock that
    // EndClients takes, so a client is either judged by a new configuration
    // or registered in time to be ended by it.
    std::unique_lock<std::mutex> lock(mu_);
    const std::string* refusal = nullptr;
    if (h.trusted && !h.trusted(address)) {
      refusal = &h.refusal;
    } else if (service->clients.load() >= h.maxClients) {
      refusal = &h.busy;
    } else {
      auto host = service->perHost.find(address);
      if (host != service->perHost.end() && host->second >= h.maxPerHost) refusal = &h.busy;
    }
    if (refusal) {
      lock.unlock();
      TurnAway(service, fd, *refusal);
      continue;
    }
    auto client = std::make_unique<Client>();
    Client* c = client.get();
    c->fd = fd;
    c->service = service;
    c->peer = address;
    service->clients.fetch_add(1);
    service->perHost[address] += 1;
    service->accepted.fetch_add(1);
    active_.fetch_add(1);
    clients_.push_back(std::move(client));
    lock.unlock();
    c->connection = h.open(address);
    Wait(c, c->connection ? c->connection->Begin(fd) : ConnectionWait::Close());
  }
}

void Acceptor::Wait(Client* c, const ConnectionWait& next) {
  if (!next.keep || stopping_.load()) {
    Drop(c);
    return;
  }
  epoll_event ev{};
  ev.events = EPOLLIN | EPOLLONESHOT;
  ev.data.ptr = static_cast<Polled*>(c);
  // Added once; re-armed after each turn with a worker.
  if (epoll_ctl(epoll_, EPOLL_CTL_MOD, c->fd, &ev) != 0 &&
      (errno != ENOENT || epoll_ctl(epoll_, EPOLL_CTL_ADD, c->fd, &ev) != 0)) {
    Drop(c);
    return;
  }
  c->timer = timers_.emplace(next.deadline, c);
  c->timed = true;
}

void Acceptor::Hand(Client* c) {
  if (c->busy) return;
  if (c->timed) timers_.erase(c->timer);
  c->timed = false;
  c->busy = true;
  Submit(c);
}

void Acceptor::Drop(Client* c) {
  if (c->timed) timers_.erase(c->timer);
  c->timed = false;
  std::unique_ptr<Client> gone;
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto it = clients_.begin(); it != clients_.end(); ++it) {
      if (it->get() != c) continue;
      gone = std::move(*it);
      clients_.erase(it);
      break;
    }
    Service* s = c->service;
    auto host = s->perHost.find(c->peer);
    if (host != s->perHost.end() && --host->second <= 0) s->perHost.erase(host);
    s->clients.fetch_sub(1);
    active_.fetch_sub(1);
  }
  // Out of clients_ first: EndClients never shuts down a reused number.
  close(c->fd);
}

void Acceptor::TakeFinished() {
  std::vector<Finished> done;
  {
    std::lock_guard<std::mutex> lock(finishedMu_);
    done.swap(finished_);
  }
  for (const Finished& f : done) {
    f.client->busy = false;
    Wait(f.client, f.next);
  }
}

void Acceptor::ExpireDue(AcceptorClock::time_point now) {
  while (!timers_.empty() && timers_.begin()->first <= now) {
    Client* c = timers_.begin()->second;
    timers_.erase(timers_.begin());
    c->timed = false;
    c->connection->Expired(c->fd);
    Drop(c);
  }
}

void Acceptor::Submit(Client* c) {
  std::lock_guard<std::mutex> lock(workMu_);
  for (std::thread::id id : exited_) {
    auto it = std::find_if(workers_.begin(), workers_.end(),
                           [&](const std::thread& t) { return t.get_id() == id; });
    if (it == workers_.end()) continue;
    it->join();
    workers_.erase(it);
  }
  exited_.clear();
  work_.push_back(c);
  // An idle worker is woken even when one is added: left asleep while work
  // waits, idle ones would make every next client add another.
  workWake_.notify_one();
  // A worker for every connection in hand: one that blocks on a slow
  // reader must not hold up the next.
  if (static_cast<int>(work_.size()) > idleWorkers_) {
    try {
      workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      // No thread to be had now: the client waits for a worker to come free
      // (or for the next one added).
    }
  }
}

void Acceptor::Work() {
  std::unique_lock<std::mutex> lock(workMu_);
  for (;;) {
    while (work_.empty()) {
      if (workersStop_) return;
      ++idleWorkers_;
      bool woken = workWake_.wait_for(lock, kWorkerLinger,
                                      [this] { return !work_.empty() || workersStop_; });
      --idleWorkers_;
      int live = static_cast<int>(workers_.size() - exited_.size());
      if (!woken && live > kSpareWorkers) {
        exited_.push_back(std::this_thread::get_id());  // joined by the next Submit
        return;
      }
    }
    Client* c = work_.front();
    work_.pop_front();
    lock.unlock();
    ConnectionWait next = c->connection->Readable(c->fd);
    {
      std::lock_guard<std::mutex> done(finishedMu_);
      finished_.push_back({c, next});
    }
    // Free again before the loop can hand this client back (its next command
    // may be there already): counted as idle, no new worker is made for it.
    lock.lock();
    ++idleWorkers_;
    lock.unlock();
    Wake();
    lock.lock();
    --idleWorkers_;
  }
}

void Acceptor::StopWorkers() {
  std::list<std::thread> all;
  {
    std::lock_guard<std::mutex> lock(workMu_);
    workersStop_ = true;
    all.swap(workers_);
    exited_.clear();
  }
  workWake_.notify_all();
  for (std::thread& t : all) t.join();
}
