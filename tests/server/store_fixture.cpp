#include "store_fixture.h"

#include "netcalls_wire.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

TestClient::~TestClient() {
  if (fd_ >= 0) close(fd_);
}

bool TestClient::Connect(const std::string& address, uint16_t port, const std::string& source) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  if (!source.empty()) {
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, source.c_str(), &from.sin_addr);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) return false;
  }
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  inet_pton(AF_INET, address.c_str(), &a.sin_addr);
  return connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

void TestClient::Send(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

bool TestClient::Fill() {
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, 10000) <= 0) return false;
  char b[65536];
  ssize_t n = recv(fd_, b, sizeof b, 0);
  if (n <= 0) return false;
  buf_.append(b, static_cast<size_t>(n));
  return true;
}

std::string TestClient::Line() {
  for (;;) {
    size_t lf = buf_.find('\n');
    if (lf != std::string::npos) {
      std::string line = buf_.substr(0, lf);
      buf_.erase(0, lf + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0) return "<timeout>";
    if (!Fill()) return "<closed>";
  }
}

std::string TestClient::Bytes(size_t n) {
  while (buf_.size() < n)
    if (!Fill()) break;
  std::string out = buf_.substr(0, n);
  buf_.erase(0, out.size());
  return out;
}

std::vector<std::string> TestClient::UntilDone() {
  std::vector<std::string> lines;
  for (;;) {
    lines.push_back(Line());
    const std::string& l = lines.back();
    if (l.compare(0, 4, "1000") == 0 || l[0] == '<') return lines;
  }
}

bool TestClient::Closed() {
  // Whatever still comes is read past; only an end of the connection within
  // the wait counts (a silent, open connection is not closed).
  buf_.clear();
  for (;;) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0) return false;
    char b[65536];
    ssize_t n = recv(fd_, b, sizeof b, 0);
    if (n <= 0) return true;
  }
}

void TestClient::ShutdownWrite() { shutdown(fd_, SHUT_WR); }

void StoreFixture::SetUp() {
  char tmpl[] = "/tmp/zelmstore-test-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(tmpl));
  std::string base = tmpl;
  root_ = base + "/store";
  outside_ = base + "/outside";
  ASSERT_EQ(0, mkdir(root_.c_str(), 0755));
  ASSERT_EQ(0, mkdir(outside_.c_str(), 0755));
  std::random_device rd;
  std::mt19937 gen(rd());
  address_ = "127." + std::to_string(gen() % 200 + 20) + "." + std::to_string(gen() % 250 + 1) +
             "." + std::to_string(gen() % 250 + 2);
  config_.storeRoot = root_;
  config_.listenAddress = address_;
  config_.port = 999;
}

void StoreFixture::TearDown() {
  StopServer();
  std::string base = root_.substr(0, root_.rfind('/'));
  std::string cmd = "rm -rf '" + base + "'";
  if (base.find("/tmp/zelmstore-test-") == 0) (void)!system(cmd.c_str());
}

void StoreFixture::StartServer() {
  server_ = std::make_unique<StoreServer>(config_);
  std::string error;
  ASSERT_TRUE(server_->Start(&error)) << error;
  thread_ = std::thread([this] { server_->Run(); });
}

void StoreFixture::StopServer() {
  if (!server_) return;
  server_->Stop();
  if (thread_.joinable()) thread_.join();
  server_.reset();
}

std::unique_ptr<TestClient> StoreFixture::Client() {
  auto c = std::make_unique<TestClient>();
  EXPECT_TRUE(c->Connect(address_, 999));
  EXPECT_EQ("1000 zelmstored ready", c->Line());
  return c;
}

void StoreFixture::MakeMaildir(const std::string& rel) {
  std::string p = Path(rel);
  mkdir(p.c_str(), 0755);
  for (const char* sub : {"/cur", "/new", "/tmp"}) mkdir((p + sub).c_str(), 0755);
}

std::string StoreFixture::Deliver(const std::string& rel, const std::string& sub,
                                  const std::string& name, const std::string& content) {
  std::string p = Path(rel) + "/" + sub + "/" + name;
  std::ofstream(p, std::ios::binary) << content;
  return p;
}

std::string StoreFixture::Ask(TestClient* c, const std::string& command) {
  c->Send(command + "\r\n");
  return c->Line();
}

std::vector<std::string> StoreFixture::List(TestClient* c, const std::string& user,
                                            const std::string& box, unsigned long flag) {
  c->Send("RSET MBOX\r\nUSER " + user + "\r\nMBOX " + box + "\r\nFLAG " + std::to_string(flag) +
          "\r\nINFO\r\n");
  std::vector<std::string> lines;
  for (int i = 0; i < 4; ++i) c->Line();
  std::string head = c->Line();
  if (head.compare(0, 5, "2002 ") != 0) return {head};
  unsigned long n = strtoul(head.c_str() + 5, nullptr, 10);
  for (unsigned long i = 0; i < n; ++i) lines.push_back(c->Line());
  EXPECT_EQ("1000 end of messages", c->Line());
  return lines;
}

DescriptorFill::DescriptorFill(int spare) {
  rlimit now{};
  getrlimit(RLIMIT_NOFILE, &now);
  oldLimit_ = now.rlim_cur;
  int highest = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (dirent* e = readdir(d)) highest = std::max(highest, atoi(e->d_name));
    closedir(d);
  }
  // A limit just above what is open keeps the filling short.
  rlimit lowered = now;
  lowered.rlim_cur = std::min<rlim_t>(now.rlim_cur, highest + 64);
  setrlimit(RLIMIT_NOFILE, &lowered);
  active_ = true;
  for (;;) {
    int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd < 0) break;
    held_.push_back(fd);
  }
  for (int i = 0; i < spare && !held_.empty(); ++i) Loosen();
}

void DescriptorFill::Loosen() {
  if (held_.empty()) return;
  close(held_.back());
  held_.pop_back();
}

void DescriptorFill::Free() {
  if (!active_) return;
  for (int fd : held_) close(fd);
  held_.clear();
  rlimit now{};
  getrlimit(RLIMIT_NOFILE, &now);
  now.rlim_cur = oldLimit_;
  setrlimit(RLIMIT_NOFILE, &now);
  active_ = false;
}

bool RaiseDescriptorLimit(unsigned long n) {
  rlimit now{};
  getrlimit(RLIMIT_NOFILE, &now);
  if (now.rlim_cur >= n) return true;
  if (now.rlim_max < n) return false;
  now.rlim_cur = n;
  return setrlimit(RLIMIT_NOFILE, &now) == 0;
}

int ThreadCount() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/task")) {
    while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
    closedir(d);
  }
  return n;
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool FileExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

void WireClient::SendFrame(uint16_t type, const std::string& payload) {
  unsigned char header[NCW_HEADER_BYTES];
  ncw_write_header(header, type, static_cast<uint32_t>(payload.size()));
  tcp_.Send(std::string(reinterpret_cast<char*>(header), sizeof header) + payload);
}

int32_t WireClient::Reply::Status() const {
  return payload.size() >= 4 ? static_cast<int32_t>(FieldAt(payload, 0)) : -1;
}

WireClient::Reply WireClient::Read() {
  Reply r;
  std::string header = tcp_.Bytes(NCW_HEADER_BYTES);
  uint32_t length = 0;
  if (header.size() != NCW_HEADER_BYTES ||
      ncw_read_header(reinterpret_cast<const unsigned char*>(header.data()), &r.type, &length) != 0)
    return r;
  r.payload = tcp_.Bytes(length);
  r.ok = r.payload.size() == length;
  return r;
}

WireClient::Reply WireClient::Lookup(const std::string& name) {
  std::string p(2, '\0');
  p[0] = static_cast<char>(name.size() & 0xFF);
  p[1] = static_cast<char>(name.size() >> 8);
  SendFrame(NCW_LOOKUP, p + name);
  return Read();
}

WireClient::Reply WireClient::Send(uint32_t service, const std::string& request, uint32_t capacity) {
  unsigned char fixed[12];
  ncw_put_u32(fixed, service);
  ncw_put_u32(fixed + 4, capacity);
  ncw_put_u32(fixed + 8, static_cast<uint32_t>(request.size()));
  SendFrame(NCW_SEND, std::string(reinterpret_cast<char*>(fixed), sizeof fixed) + request);
  return Read();
}

WireClient::Reply WireClient::Module(uint16_t type, const std::string& name) {
  std::string p(2, '\0');
  p[0] = static_cast<char>(name.size() & 0xFF);
  p[1] = static_cast<char>(name.size() >> 8);
  SendFrame(type, p + name);
  return Read();
}

std::string NoticeBytes(uint32_t code, const std::string& module) {
  std::string bytes(140, '\0');
  ncw_put_u32(reinterpret_cast<unsigned char*>(&bytes[0]), code);
  bytes.replace(4, module.size(), module);
  return bytes;
}

uint32_t FieldAt(const std::string& bytes, size_t offset) {
  return ncw_get_u32(reinterpret_cast<const unsigned char*>(bytes.data() + offset));
}

std::unique_ptr<WireClient> StoreFixture::Wire() {
  auto w = std::make_unique<WireClient>();
  EXPECT_TRUE(w->Connect(server_ ? server_->Base().listenAddress : address_,
                         server_ ? server_->Base().requestPort : 998));
  return w;
}

int32_t StoreFixture::SendNotice(uint32_t code, const std::string& module) {
  auto w = Wire();
  WireClient::Reply r = w->Send(7, NoticeBytes(code, module));
  return r.ok ? r.Status() : -1;
}
