// load_bench: holds many store connections open and times a new client
// meanwhile; bench/server/load.sh drives it and measures the server.
//   load_bench idle ADDR PORT COUNT PER_HOST HOLD
//     COUNT connections that say nothing after the greeting, PER_HOST from
//     each local address 127.0.7.x, 127.0.8.x, ...; then a new client's wait
//     for its greeting and for the answer to ULIST; then HOLD seconds held.
//   load_bench burst ADDR PORT COUNT HOLD
//     COUNT connections from one address, each given 2 s for a first line:
//     how many were greeted, turned away or got nothing; then HOLD seconds.
// Lines: "greeted N refused N silent N", then "greeting S answer S" (idle),
// then "holding" while the connections are held.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

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

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  bool idle = mode == "idle" && argc == 7, burst = mode == "burst" && argc == 6;
  if (!idle && !burst) {
    fprintf(stderr, "usage: load_bench idle ADDR PORT COUNT PER_HOST HOLD\n"
                    "       load_bench burst ADDR PORT COUNT HOLD\n");
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
