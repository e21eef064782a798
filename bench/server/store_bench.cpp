// store_bench: times one piece of work against a server over a raw socket
// and prints "<seconds> <items>".
//   store_bench zelm-info ADDR PORT USER MAILBOX       the INFO listing
//   store_bench zelm-mime ADDR PORT USER MAILBOX       MIME for every listed message
//   store_bench zelm-structure ADDR PORT USER MAILBOX  both: from the selection to the last MIME
//   store_bench imap-list ADDR PORT USER PASS          EXAMINE INBOX + FETCH 1:* (FLAGS RFC822.SIZE)
//   store_bench imap-structure ADDR PORT USER PASS     FETCH 1:* BODYSTRUCTURE
//   store_bench imap-examine-structure ADDR PORT USER PASS   EXAMINE INBOX + FETCH 1:* BODYSTRUCTURE
// Requests for every message are written by a second thread while the replies
// are read, so neither side waits for the other's round trips.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

class Conn {
 public:
  Conn(const char* addr, int port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, addr, &a.sin_addr);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) Fail("connect");
    int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    timeval tv{300, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  }
  ~Conn() { close(fd_); }
  void Send(const std::string& s) {
    size_t off = 0;
    while (off < s.size()) {
      ssize_t n = send(fd_, s.data() + off, s.size() - off, MSG_NOSIGNAL);
      if (n <= 0) Fail("send");
      off += static_cast<size_t>(n);
    }
  }
  // Next line without its line end.
  std::string Line() {
    for (;;) {
      const char* lf = static_cast<const char*>(memchr(buf_ + start_, '\n', end_ - start_));
      if (lf) {
        size_t len = static_cast<size_t>(lf - (buf_ + start_));
        std::string line(buf_ + start_, len && lf[-1] == '\r' ? len - 1 : len);
        start_ += len + 1;
        return line;
      }
      Fill();
    }
  }
  void Skip(size_t n) {
    while (n > 0) {
      if (start_ == end_) Fill();
      size_t take = std::min(n, end_ - start_);
      start_ += take;
      n -= take;
    }
  }
  [[noreturn]] static void Fail(const char* what) {
    fprintf(stderr, "store_bench: %s failed\n", what);
    exit(1);
  }

 private:
  void Fill() {
    if (start_ > 0) {
      memmove(buf_, buf_ + start_, end_ - start_);
      end_ -= start_;
      start_ = 0;
    }
    if (end_ == sizeof buf_) Fail("line too long");
    ssize_t n = recv(fd_, buf_ + end_, sizeof buf_ - end_, 0);
    if (n <= 0) Fail("receive");
    end_ += static_cast<size_t>(n);
  }
  int fd_;
  char buf_[1 << 20];
  size_t start_ = 0, end_ = 0;
};

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool Starts(const std::string& s, const char* p) { return s.compare(0, strlen(p), p) == 0; }

long ZelmSelectAndList(Conn& c, const char* user, const char* box) {
  c.Send(std::string("USER ") + user + "\r\nMBOX " + box + "\r\nFLAG 2147483648\r\nINFO\r\n");
  for (int i = 0; i < 3; ++i)
    if (!Starts(c.Line(), "1000")) Conn::Fail("selection");
  std::string head = c.Line();
  if (!Starts(head, "2002 ")) Conn::Fail("INFO");
  long n = atol(head.c_str() + 5);
  for (long i = 0; i < n; ++i) c.Line();
  if (!Starts(c.Line(), "1000")) Conn::Fail("INFO end");
  return n;
}

// Reads one tagged IMAP answer, skipping literals; true on OK.
bool ImapAnswer(Conn& c, const std::string& tag, long* untagged) {
  for (;;) {
    std::string l = c.Line();
    // A line ending in {n} announces n bytes that follow before the line goes on.
    while (!l.empty() && l.back() == '}') {
      size_t open = l.rfind('{');
      if (open == std::string::npos) break;
      c.Skip(strtoul(l.c_str() + open + 1, nullptr, 10));
      l = c.Line();
    }
    if (Starts(l, (tag + " ").c_str())) return Starts(l, (tag + " OK").c_str());
    if (untagged && Starts(l, "* ")) ++*untagged;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    fprintf(stderr,
            "usage: store_bench zelm-info|zelm-mime|zelm-structure|imap-list|imap-structure|"
            "imap-examine-structure ADDR PORT A B\n");
    return 2;
  }
  std::string what = argv[1];
  Conn c(argv[2], atoi(argv[3]));
  double t0 = 0, t1 = 0;
  long items = 0;
  if (what == "zelm-info" || what == "zelm-mime" || what == "zelm-structure") {
    if (!Starts(c.Line(), "1000")) Conn::Fail("greeting");
    t0 = Now();
    items = ZelmSelectAndList(c, argv[4], argv[5]);
    t1 = Now();
    if (what != "zelm-info") {
      if (what == "zelm-mime") t0 = Now();
      std::thread writer([&] {
        std::string batch;
        for (long k = 1; k <= items; ++k) {
          batch += "MIME " + std::to_string(k) + "\r\n";
          if (batch.size() > 60000) {
            c.Send(batch);
            batch.clear();
          }
        }
        c.Send(batch);
      });
      for (long done = 0; done < items;)
        if (Starts(c.Line(), "1000")) ++done;
      writer.join();
      t1 = Now();
    }
  } else if (what == "imap-list" || what == "imap-structure" || what == "imap-examine-structure") {
    c.Line();
    c.Send(std::string("a LOGIN ") + argv[4] + " " + argv[5] + "\r\n");
    if (!ImapAnswer(c, "a", nullptr)) Conn::Fail("LOGIN");
    t0 = Now();
    c.Send("b EXAMINE INBOX\r\n");
    if (!ImapAnswer(c, "b", nullptr)) Conn::Fail("EXAMINE");
    if (what == "imap-list") {
      c.Send("c FETCH 1:* (FLAGS RFC822.SIZE)\r\n");
    } else {
      if (what == "imap-structure") t0 = Now();
      c.Send("c FETCH 1:* BODYSTRUCTURE\r\n");
    }
    if (!ImapAnswer(c, "c", &items)) Conn::Fail("FETCH");
    t1 = Now();
    c.Send("d LOGOUT\r\n");
  } else {
    fprintf(stderr, "store_bench: unknown measurement %s\n", what.c_str());
    return 2;
  }
  printf("%.4f %ld\n", t1 - t0, items);
  return 0;
}
