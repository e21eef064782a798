// load_bench: holds many store connections open and times a new client
// meanwhile; bench/server/load.sh drives it and measures the server.
//   load_bench idle ADDR PORT COUNT PER_HOST HOLD
//     COUNT connections that say nothing after the greeting, PER_HOST from
//     each local address 127.0.7.x, 127.0.8.x, ...; then a new client's wait
//     for its greeting and for the answer to ULIST; then HOLD seconds held.
//   load_bench burst ADDR PORT COUNT HOLD
//     COUNT connections from one address, each given 2 s for a first line:
//     how many were greeted, turned away or got nothing; then HOLD seconds.
//   load_bench browse ADDR PORT CLIENTS SECONDS USER MAILBOX
//     CLIENTS clients at once, each from an address of its own, browsing as
//     the store shell does with no pause: the mailbox selected and listed,
//     then message after message (at random) its details, structure, header
//     and body (AINFO, MIME, HEAD, BODY), the mailbox listed again every 20
//     messages; for SECONDS seconds.
// Lines: "greeted N refused N silent N", then "greeting S answer S" (idle),
// then "holding" while the connections are held. browse prints
// "answers N seconds S failed N", one "KIND count N p50 S p99 S max S" per
// kind of answer and for all, and "clients min N median N max N answers".
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int Connect(const char* addr, int port, const std::string& source) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  if (!source.empty()) {
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, source.c_str(), &from.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
      close(fd);
      return -1;
    }
  }
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, addr, &a.sin_addr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// The next line (without CR LF) within waitMs; "" when none came.
std::string Line(int fd, int waitMs) {
  std::string line;
  Clock::time_point end = Clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    int left = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || poll(&p, 1, left) <= 0) return "";
    char ch;
    if (recv(fd, &ch, 1, 0) != 1) return "";
    if (ch == '\n') return line.empty() || line.back() != '\r' ? line : line.substr(0, line.size() - 1);
    line += ch;
  }
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// A browsing client: buffered reads bounded by 60 s, each answer timed.
class Browser {
 public:
  enum Kind { kListing, kDetails, kStructure, kHeader, kBody, kKinds };
  static constexpr const char* kNames[kKinds] = {"listing", "AINFO", "MIME", "HEAD", "BODY"};
  std::vector<double> took[kKinds];
  bool failed = false;

  bool Run(const char* addr, int port, const std::string& source, const std::string& user,
           const std::string& box, Clock::time_point until, unsigned seed) {
    fd_ = Connect(addr, port, source);
    if (fd_ < 0) return Fail();
    timeval tv{60, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    if (Next().compare(0, 4, "1000") != 0) return Fail();
    long count = List("USER " + user + "\r\nMBOX " + box + "\r\n", 2);
    for (unsigned k = 0; count > 0 && Clock::now() < until; ++k) {
      if (k % 20 == 19 && List("MBOX " + box + "\r\n", 1) <= 0) return Fail();
      seed = seed * 1103515245u + 12345u;
      std::string n = std::to_string((seed >> 8) % static_cast<unsigned long>(count) + 1);
      if (!Ask(kDetails, "AINFO " + n, false) || !Ask(kStructure, "MIME " + n, true) ||
          !Ask(kHeader, "HEAD " + n, true) || !Body(n))
        return Fail();
    }
    close(fd_);
    return count > 0 || Fail();
  }

 private:
  bool Fail() {
    failed = true;
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    return false;
  }
  bool Send(const std::string& s) {
    return send(fd_, s.data(), s.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(s.size());
  }
  std::string Next() {
    for (;;) {
      size_t lf = buf_.find('\n', at_);
      if (lf != std::string::npos) {
        std::string line = buf_.substr(at_, lf - at_);
        at_ = lf + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      if (!Fill()) {
        broken_ = true;  // "" then stands for nothing
        return "";
      }
    }
  }
  bool Fill() {
    buf_.erase(0, at_);
    at_ = 0;
    char chunk[65536];
    ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
    if (got <= 0) return false;
    buf_.append(chunk, static_cast<size_t>(got));
    return true;
  }
  // Selection lines (each "1000"), then the listing; its message count.
  long List(const std::string& select, int selections) {
    Clock::time_point start = Clock::now();
    if (!Send(select + "INFO\r\n")) return -1;
    for (int i = 0; i < selections; ++i)
      if (Next().compare(0, 4, "1000") != 0) return -1;
    std::string head = Next();
    if (head.compare(0, 5, "2002 ") != 0) return -1;
    long n = atol(head.c_str() + 5);
    for (long i = 0; i < n; ++i) Next();
    if (Next().compare(0, 4, "1000") != 0) return -1;
    took[kListing].push_back(Seconds(start));
    return n;
  }
  // One line, or lines up to the closing "1000".
  bool Ask(Kind kind, const std::string& command, bool toDone) {
    Clock::time_point start = Clock::now();
    if (!Send(command + "\r\n")) return false;
    for (;;) {
      std::string l = Next();
      if (broken_) return false;
      if (!toDone || l.compare(0, 5, "1000 ") == 0) break;
    }
    took[kind].push_back(Seconds(start));
    return true;
  }
  bool Body(const std::string& n) {
    Clock::time_point start = Clock::now();
    if (!Send("BODY " + n + "\r\n")) return false;
    std::string head = Next();
    if (head.compare(0, 5, "2021 ") == 0) {
      size_t left = strtoul(head.c_str() + 5, nullptr, 10);
      while (buf_.size() - at_ < left)
        if (!Fill()) return false;
      at_ += left;
      if (Next().compare(0, 4, "1000") != 0) return false;
    } else if (broken_) {
      return false;
    }
    took[kBody].push_back(Seconds(start));
    return true;
  }

  int fd_ = -1;
  std::string buf_;
  size_t at_ = 0;
  bool broken_ = false;  // the connection failed or timed out
};

double Percentile(std::vector<double>* v, double p) {
  if (v->empty()) return 0;
  size_t k = static_cast<size_t>(p * static_cast<double>(v->size() - 1));
  std::nth_element(v->begin(), v->begin() + static_cast<long>(k), v->end());
  return (*v)[k];
}

int Browse(const char* addr, int port, int clients, int seconds, const std::string& user,
           const std::string& box) {
  std::vector<Browser> browsers(static_cast<size_t>(clients));
  Clock::time_point start = Clock::now();
  Clock::time_point until = start + std::chrono::seconds(seconds);
  std::vector<std::thread> threads;
  for (int i = 0; i < clients; ++i) {
    std::string source = "127.0." + std::to_string(10 + i / 250) + "." + std::to_string(i % 250 + 1);
    threads.emplace_back([&, i, source] {
      browsers[static_cast<size_t>(i)].Run(addr, port, source, user, box, until,
                                           static_cast<unsigned>(i) * 7919u + 1u);
    });
  }
  for (std::thread& t : threads) t.join();
  double elapsed = Seconds(start);
  std::vector<double> all, perKind[Browser::kKinds];
  std::vector<size_t> answers;
  int failed = 0;
  for (Browser& b : browsers) {
    size_t mine = 0;
    for (int k = 0; k < Browser::kKinds; ++k) {
      perKind[k].insert(perKind[k].end(), b.took[k].begin(), b.took[k].end());
      mine += b.took[k].size();
    }
    answers.push_back(mine);
    failed += b.failed;
  }
  for (auto& v : perKind) all.insert(all.end(), v.begin(), v.end());
  printf("answers %zu seconds %.2f failed %d\n", all.size(), elapsed, failed);
  auto line = [](const char* name, std::vector<double>* v) {
    size_t n = v->size();
    double p50 = Percentile(v, 0.5), p99 = Percentile(v, 0.99);
    double max = v->empty() ? 0 : *std::max_element(v->begin(), v->end());
    printf("%s count %zu p50 %.4f p99 %.4f max %.4f\n", name, n, p50, p99, max);
  };
  for (int k = 0; k < Browser::kKinds; ++k) line(Browser::kNames[k], &perKind[k]);
  line("all", &all);
  std::sort(answers.begin(), answers.end());
  printf("clients min %zu median %zu max %zu answers\n", answers.front(),
         answers[answers.size() / 2], answers.back());
  return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "browse" && argc == 8)
    return Browse(argv[2], atoi(argv[3]), atoi(argv[4]), atoi(argv[5]), argv[6], argv[7]);
  bool idle = mode == "idle" && argc == 7, burst = mode == "burst" && argc == 6;
  if (!idle && !burst) {
    fprintf(stderr, "usage: load_bench idle ADDR PORT COUNT PER_HOST HOLD\n"
                    "       load_bench burst ADDR PORT COUNT HOLD\n"
                    "       load_bench browse ADDR PORT CLIENTS SECONDS USER MAILBOX\n");
    return 2;
  }
  const char* addr = argv[2];
  int port = atoi(argv[3]), count = atoi(argv[4]);
  int perHost = idle ? atoi(argv[5]) : 0;
  int hold = atoi(argv[idle ? 6 : 5]);
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  setrlimit(RLIMIT_NOFILE, &files);

  std::vector<int> held;
  int greeted = 0, refused = 0, silent = 0;
  for (int i = 0; i < count; ++i) {
    std::string source;
    if (idle) {
      int host = i / perHost;
      source = "127.0." + std::to_string(7 + host / 250) + "." + std::to_string(host % 250 + 1);
    }
    int fd = Connect(addr, port, source);
    if (fd < 0) {
      ++silent;
      continue;
    }
    std::string first = Line(fd, 2000);
    if (first.compare(0, 4, "1000") == 0) {
      ++greeted;
    } else if (first.compare(0, 4, "5001") == 0) {
      ++refused;
    } else {
      ++silent;
    }
    held.push_back(fd);
  }
  printf("greeted %d refused %d silent %d\n", greeted, refused, silent);
  if (idle) {
    Clock::time_point start = Clock::now();
    int fd = Connect(addr, port, "127.0.9.1");
    std::string greeting = fd >= 0 ? Line(fd, 10000) : "";
    double toGreeting = Seconds(start);
    std::string last;
    if (greeting.compare(0, 4, "1000") == 0) {
      send(fd, "ULIST\r\n", 7, MSG_NOSIGNAL);
      do last = Line(fd, 10000);
      while (!last.empty() && last.compare(0, 4, "1000") != 0);
    }
    printf("greeting %.4f answer %.4f%s\n", toGreeting, Seconds(start),
           last.empty() ? " (no answer)" : "");
    if (fd >= 0) close(fd);
  }
  printf("holding\n");
  fflush(stdout);
  std::this_thread::sleep_for(std::chrono::seconds(hold));
  for (int fd : held) close(fd);
  return 0;
}
