#include "daemons.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

namespace zelm::mail {
namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kOutputMax = 64 * 1024;

std::string ReadAll(const std::string& path, bool* found = nullptr) {
  std::ifstream in(path, std::ios::binary);
  if (found) *found = static_cast<bool>(in);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool MakeDir(const std::string& path, uid_t uid, gid_t gid, mode_t mode, std::string* error) {
  if (mkdir(path.c_str(), mode) != 0 && errno != EEXIST) {
    *error = "cannot make " + path + ": " + strerror(errno);
    return false;
  }
  if (chown(path.c_str(), uid, gid) != 0 || chmod(path.c_str(), mode) != 0) {
    *error = "cannot give " + path + " its owner: " + strerror(errno);
    return false;
  }
  return true;
}

// The process named in a pid file, when it runs under the name expected.
bool Alive(const std::string& pidFile, const char* name) {
  std::string text = ReadAll(pidFile);
  long pid = strtol(text.c_str(), nullptr, 10);
  if (pid <= 1 || kill(static_cast<pid_t>(pid), 0) != 0) return false;
  std::string comm = ReadAll("/proc/" + std::to_string(pid) + "/comm");
  return comm.compare(0, strlen(name), name) == 0;
}

// The first lines of a tool's complaint, for a log line.
std::string Gist(const std::string& output) {
  std::string out;
  std::istringstream in(output);
  std::string line;
  for (int n = 0; n < 3 && std::getline(in, line);) {
    if (line.empty()) continue;
    out += (out.empty() ? "" : " / ") + line;
    ++n;
  }
  return out.empty() ? "no reason given" : out;
}

// A command's output up to kOutputMax; the rest is read and dropped.
void Keep(std::string* output, const char* bytes, ssize_t n) {
  size_t room = kOutputMax - std::min(output->size(), kOutputMax);
  output->append(bytes, std::min(static_cast<size_t>(n), room));
}

bool Complains(const CommandResult& r) {
  return r.status != 0 || r.output.find("warning:") != std::string::npos ||
         r.output.find("fatal:") != std::string::npos;
}

}  // namespace

CommandResult RunCommand(const std::vector<std::string>& argv, int timeoutSeconds) {
  CommandResult result;
  int pipefd[2];
  if (argv.empty() || pipe2(pipefd, O_CLOEXEC) != 0) return result;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = fork();
  if (pid < 0) {
    close(pipefd[0]);
    close(pipefd[1]);
    return result;
  }
  if (pid == 0) {
    // Only async-signal-safe calls between fork and exec.
    int devnull = open("/dev/null", O_RDONLY);
    if (devnull >= 0) dup2(devnull, 0);
    dup2(pipefd[1], 1);
    dup2(pipefd[1], 2);
    close_range(3, ~0u, 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(pipefd[1]);
  fcntl(pipefd[0], F_SETFL, O_NONBLOCK);
  auto end = Clock::now() + std::chrono::seconds(timeoutSeconds);
  int status = 0;
  bool ended = false, killed = false;
  char buf[4096];
  while (!ended) {
    pollfd p{pipefd[0], POLLIN, 0};
    poll(&p, 1, 50);
    for (ssize_t n; (n = read(pipefd[0], buf, sizeof buf)) > 0;) Keep(&result.output, buf, n);
    pid_t w = waitpid(pid, &status, WNOHANG);
    if (w == pid) ended = true;
    if (!ended && Clock::now() > end && !killed) {
      kill(pid, SIGKILL);
      killed = true;
    }
  }
  for (ssize_t n; (n = read(pipefd[0], buf, sizeof buf)) > 0;) Keep(&result.output, buf, n);
  close(pipefd[0]);
  result.status = !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// The last "fatal:" line of a log: why a daemon that says nothing on its
// output did not start.
std::string LastFatal(const std::string& log) {
  std::string text = ReadAll(log);
  size_t at = text.rfind("fatal: ");
  if (at == std::string::npos) return std::string();
  size_t end = text.find('\n', at);
  return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

bool Daemons::Prepare(std::string* error) {
  // Postfix works in its folders as its own user, and Dovecot in the mail
  // user's as that user: every folder on the way must let them pass.
  for (std::string up = site_.folder; up.size() > 1; up = up.substr(0, up.rfind('/'))) {
    struct stat st;
    if (stat(up.c_str(), &st) == 0 && !(st.st_mode & S_IXOTH)) {
      *error = "the daemons' users cannot pass through " + up + " (it needs o+x)";
      return false;
    }
    if (up.rfind('/') == 0) break;
  }
  passwd* internal = getpwnam(site_.internalUser.c_str());
  if (!internal) {
    *error = "no user " + site_.internalUser + " for the daemons' own processes";
    return false;
  }
  const uid_t mu = site_.mailUid;
  const gid_t mg = site_.mailGid;
  struct {
    const char* dir;
    bool mail;
  } dirs[] = {{kPostfixDir, false}, {kDovecotDir, false}, {kSieveDir, true}, {kSpoolDir, false},
              {kRunDir, false},     {kLogDir, false},     {kHomeDir, true},  {kIndexDir, true}};
  if (!MakeDir(site_.folder, 0, 0, 0755, error)) return false;
  for (const auto& d : dirs)
    if (!MakeDir(Path(d.dir), d.mail ? mu : 0, d.mail ? mg : 0, 0755, error)) return false;
  return true;
}

bool Daemons::Owned(const std::string& path, Owner owner, unsigned mode) const {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || (st.st_mode & 07777) != mode) return false;
  uid_t want = 0;
  if (owner == Owner::kMail) want = site_.mailUid;
  if (owner == Owner::kInternal) {
    passwd* p = getpwnam(site_.internalUser.c_str());
    want = p ? p->pw_uid : 0;
  }
  return st.st_uid == want;
}

InstallPlan Daemons::Compare(const std::vector<RenderedFile>& files) const {
  InstallPlan plan;
  std::set<std::string> scripts;
  for (const RenderedFile& f : files) {
    bool found = false;
    std::string now = ReadAll(Path(f.path), &found);
    if (f.path.compare(0, strlen(kSieveDir) + 1, std::string(kSieveDir) + "/") == 0)
      scripts.insert(f.path);
    if (found && now == f.content && Owned(Path(f.path), f.owner, f.mode)) continue;
    plan.write.push_back(f);
    // Tables and user files are read afresh as they change; the rest at a reload.
    if (f.path.compare(0, strlen(kPostfixDir) + 1, std::string(kPostfixDir) + "/") == 0)
      plan.postfix = true;
    if (f.path == std::string(kDovecotDir) + "/dovecot.conf") plan.dovecot = true;
  }
  if (DIR* d = opendir(Path(kSieveDir).c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      size_t dot = name.rfind('.');
      if (dot == std::string::npos || name[0] == '.') continue;
      std::string script = std::string(kSieveDir) + "/" + name.substr(0, dot) + ".sieve";
      if (!scripts.count(script)) plan.remove.push_back(std::string(kSieveDir) + "/" + name);
    }
    closedir(d);
  }
  return plan;
}

bool Daemons::Write(const std::string& path, const RenderedFile& f, std::string* error) const {
  std::string temp = path + ".new";
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    *error = "cannot write " + temp + ": " + strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < f.content.size()) {
    ssize_t n = write(fd, f.content.data() + done, f.content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  uid_t uid = 0;
  gid_t gid = 0;
  if (f.owner == Owner::kMail) {
    uid = site_.mailUid;
    gid = site_.mailGid;
  } else if (f.owner == Owner::kInternal) {
    if (passwd* p = getpwnam(site_.internalUser.c_str())) {
      uid = p->pw_uid;
      gid = p->pw_gid;
    }
  }
  bool ok = done == f.content.size() && fsync(fd) == 0 && fchown(fd, uid, gid) == 0 &&
            fchmod(fd, f.mode) == 0;
  // Postfix waits until a file it reads is two seconds old (it might still
  // be being written); these are whole the moment they are renamed in.
  if (ok && f.path.compare(0, strlen(kPostfixDir) + 1, std::string(kPostfixDir) + "/") == 0) {
    timespec times[2];
    clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= 5;
    times[1] = times[0];
    ok = futimens(fd, times) == 0;
  }
  close(fd);
  if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
    *error = "cannot install " + path + ": " + strerror(errno);
    unlink(temp.c_str());
    return false;
  }
  return true;
}

bool Daemons::Check(const std::vector<RenderedFile>& files, std::string* complaint) {
  std::string stage = Path("stage");
  RunCommand({"rm", "-rf", stage}, 30);
  std::string error;
  bool ok = MakeDir(stage, 0, 0, 0700, &error);
  for (const char* d : {kPostfixDir, kDovecotDir, kSieveDir})
    ok = ok && MakeDir(stage + "/" + d, 0, 0, 0700, &error);
  for (const RenderedFile& f : files) {
    if (!ok) break;
    RenderedFile plain = f;
    plain.owner = Owner::kRoot;
    ok = Write(stage + "/" + f.path, plain, &error);
  }
  if (!ok) {
    *complaint = error;
    return false;
  }
  auto judge = [&](const char* who, const CommandResult& r) {
    if (!Complains(r)) return true;
    *complaint = std::string(who) + ": " + Gist(r.output);
    return false;
  };
  std::string pf = stage + "/" + kPostfixDir;
  ok = judge("postconf", RunCommand({"postconf", "-c", pf, "-n"}, 30)) &&
       judge("postconf", RunCommand({"postconf", "-c", pf, "-M"}, 30)) &&
       judge("doveconf", RunCommand({"doveconf", "-c", stage + "/" + kDovecotDir + "/dovecot.conf",
                                     "-n"},
                                    30));
  for (const RenderedFile& f : files) {
    if (!ok) break;
    const std::string& p = f.path;
    if (p.size() > 6 && p.compare(p.size() - 6, 6, ".sieve") == 0) {
      ok = judge("sievec",
                 RunCommand({"sievec", stage + "/" + p, stage + "/" + p + ".svbin"}, 30));
    } else if (p.compare(0, strlen(kPostfixDir) + 1, std::string(kPostfixDir) + "/") == 0 &&
               p.find('.') == std::string::npos && p != std::string(kPostfixDir) + "/postfix-files") {
      std::string type = p == std::string(kPostfixDir) + "/blocked-hosts" ? "cidr:" : "texthash:";
      CommandResult r =
          RunCommand({"postmap", "-c", pf, "-q", "0.0.0.0", type + stage + "/" + p}, 30);
      if (r.status == 1) r.status = 0;  // the probe is not in it: the table reads well
      ok = judge("postmap", r);
    }
  }
  RunCommand({"rm", "-rf", stage}, 30);
  return ok;
}

bool Daemons::Install(const InstallPlan& plan, std::string* error) {
  for (const RenderedFile& f : plan.write)
    if (!Write(Path(f.path), f, error)) return false;
  for (const std::string& r : plan.remove) unlink(Path(r).c_str());
  return true;
}

bool Daemons::PostfixRunning() const {
  return Alive(Path(std::string(kSpoolDir) + "/pid/master.pid"), "master");
}

bool Daemons::DovecotRunning() const {
  return Alive(Path(std::string(kRunDir) + "/dovecot/master.pid"), "dovecot");
}

bool Daemons::Apply(bool postfix, bool dovecot, std::string* error) {
  std::string pf = Path(kPostfixDir), dc = Path(std::string(kDovecotDir) + "/dovecot.conf");
  bool ok = true;
  if (postfix) {
    bool running = PostfixRunning();
    CommandResult r = RunCommand({"postfix", "-c", pf, running ? "reload" : "start"}, 60);
    if (r.status != 0) {
      std::string fatal = LastFatal(PostfixLog());
      *error = std::string("Postfix did not ") + (running ? "reload" : "start") + ": " +
               (fatal.empty() ? Gist(r.output) : fatal);
      ok = false;
    }
  }
  if (dovecot) {
    bool running = DovecotRunning();
    CommandResult r = running ? RunCommand({"dovecot", "-c", dc, "reload"}, 60)
                              : RunCommand({"dovecot", "-c", dc}, 60);
    if (r.status != 0) {
      *error += std::string(ok ? "" : "; ") + "Dovecot did not " + (running ? "reload" : "start") +
                ": " + Gist(r.output);
      ok = false;
    }
  }
  // A daemon just started writes its pid file a moment later.
  auto end = Clock::now() + std::chrono::seconds(5);
  while (ok && ((postfix && !PostfixRunning()) || (dovecot && !DovecotRunning())) &&
         Clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return ok;
}

void Daemons::Stop() {
  // Both masters end their daemons on SIGTERM; they are told at once and
  // waited for together.
  std::vector<pid_t> masters;
  for (const auto& [file, name] : {std::pair<std::string, const char*>{
                                       Path(std::string(kSpoolDir) + "/pid/master.pid"), "master"},
                                   {Path(std::string(kRunDir) + "/dovecot/master.pid"), "dovecot"}}) {
    if (!Alive(file, name)) continue;
    pid_t pid = static_cast<pid_t>(strtol(ReadAll(file).c_str(), nullptr, 10));
    if (kill(pid, SIGTERM) == 0) masters.push_back(pid);
  }
  auto end = Clock::now() + std::chrono::seconds(15);
  while ((PostfixRunning() || DovecotRunning()) && Clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

std::string Daemons::PostfixLog() const { return Path(std::string(kLogDir) + "/postfix.log"); }

}  // namespace zelm::mail
