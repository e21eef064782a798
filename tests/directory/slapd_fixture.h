// A real slapd started by scripts/slapd.sh in a temporary folder, on a free
// port of a loopback address. Where slapd cannot run, set
// ZELM_NO_SLAPD=1 and these suites skip saying so; otherwise a missing slapd
// fails them.
#pragma once

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "dir_fixture.h"

namespace zelm::dir::testing {

// A command's standard output, and its wait status.
inline std::string Shell(const std::string& cmd, int* status) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  char buf[4096];
  size_t n;
  while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  *status = p ? pclose(p) : -1;
  return out;
}

inline std::string ReadFileText(const std::string& path) {
  std::ifstream in(path);
  std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

inline int FreePort(const std::string& addr) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  inet_pton(AF_INET, addr.c_str(), &a.sin_addr);
  socklen_t len = sizeof a;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  close(fd);
  return port;
}

class Slapd {
 public:
  // Empty error: running. ldif: what to load instead of the sample tree.
  std::string Start(const std::string& ldif = "") {
    const char* addr = std::getenv("ZELM_LDAP_TEST_ADDR");
    return Run(ldif.empty() ? "" : "ZELM_LDAP_LDIF='" + ldif + "' ", "start",
               addr ? addr : "127.0.0.1", "");
  }
  // A replica of provider, on another loopback address.
  std::string StartReplica(const Slapd& provider) {
    const char* addr = std::getenv("ZELM_LDAP_REPLICA_ADDR");
    return Run("", "replica", addr ? addr : "127.0.0.2", " '" + provider.dir() + "'");
  }
  ~Slapd() {
    if (started_)
      std::system(("'" ZELM_SOURCE_DIR "/scripts/slapd.sh' stop '" + dir() + "'").c_str());
  }
  std::string dir() const { return tmp_.File("slapd"); }
  std::string host() const { return "ldap://" + addr_ + ":" + std::to_string(port_); }
  std::string url() const { return ReadFileText(dir() + "/url"); }
  std::string adminPasswordFile() const { return dir() + "/admin.pw"; }
  const std::string& addr() const { return addr_; }
  int port() const { return port_; }

 private:
  std::string Run(const std::string& env, const char* how, const std::string& addr,
                  const std::string& more) {
    addr_ = addr;
    port_ = FreePort(addr_);
    if (!port_) return "no free port on " + addr_;
    const std::string cmd = "ZELM_NATIVE='" ZELM_NATIVE_DIR "' " + env + "'" ZELM_SOURCE_DIR
                            "/scripts/slapd.sh' " + how + " '" + dir() + "' " + addr_ + " " +
                            std::to_string(port_) + more + " 2>&1";
    started_ = std::system(cmd.c_str()) == 0;
    return started_ ? "" : "scripts/slapd.sh failed: " + cmd;
  }

  TempFolder tmp_;
  std::string addr_;
  int port_ = 0;
  bool started_ = false;
};

// In a test body: starts slapd or skips (ZELM_NO_SLAPD) or fails.
#define ZELM_START_SLAPD(slapd, ...)                                           \
  do {                                                                         \
    if (const char* no = std::getenv("ZELM_NO_SLAPD"); no && *no == '1')       \
      GTEST_SKIP() << "ZELM_NO_SLAPD=1: no slapd here, LDAP suite skipped";    \
    std::string err_ = (slapd).Start(__VA_ARGS__);                             \
    ASSERT_EQ(err_, "") << "install slapd and ldap-utils, or set ZELM_NO_SLAPD=1"; \
  } while (0)

}  // namespace zelm::dir::testing
