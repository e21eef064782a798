// zelmmailsys: serves the messaging server's SMTP, alias, anti-spam, IMAP
// and POP agents and its users with Postfix and Dovecot instances of its own
// folder, configured from the directory, until SIGINT or SIGTERM (which stop
// the daemons too). README.md tells how to run it.
#include <fcntl.h>
#include <sys/stat.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "mail_system.h"
#include "mail_values.h"

namespace {

const char kUsage[] =
    "usage: zelmmailsys --directory FILE|ldap://HOST:PORT/BASE --server-object NAME\n"
    "                   --folder DIR [--listen ADDR] [--smtp-port N] [--imap-port N]\n"
    "                   [--pop-port N] [--request-port N] [--store DIR] [--mail-user NAME]\n"
    "                   [--identity NAME] [--password-file FILE] [--watch-seconds N]\n";

// A path the daemons' configuration can hold: absolute, without blanks,
// colons, '%' or control characters.
bool PlainPath(const std::string& p) {
  if (p.empty() || p[0] != '/') return false;
  for (char c : p)
    if (static_cast<unsigned char>(c) <= ' ' || c == ':' || c == '%' || c == '"' || c == 0x7F)
      return false;
  return true;
}

bool Port(const std::string& text, uint16_t* out) {
  uint64_t n = 0;
  if (!zelm::mail::ParseCount(text, 65535, &n) || n == 0) return false;
  *out = static_cast<uint16_t>(n);
  return true;
}

// The key that makes this folder's password hashes, made once.
std::string SaltKey(const std::string& folder) {
  std::string path = folder + "/salt-key";
  std::ifstream in(path);
  std::string key;
  if (in >> key && key.size() == 32) return key;
  std::random_device rd;
  static const char kHex[] = "0123456789abcdef";
  key.clear();
  for (int i = 0; i < 32; ++i) key.push_back(kHex[rd() % 16]);
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd >= 0) {
    ssize_t unused = write(fd, key.data(), key.size());
    (void)unused;
    close(fd);
  }
  return key;
}

bool Parse(int argc, char** argv, zelm::mail::MailOptions* o, std::string* error) {
  std::string passwordFile;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.compare(0, 2, "--") != 0 || i + 1 >= argc) {
      *error = "unexpected argument: " + arg;
      return false;
    }
    std::string key = arg.substr(2), value = argv[++i];
    uint64_t n = 0;
    uint32_t ip = 0;
    bool ok = true;
    if (key == "directory") o->directory = value;
    else if (key == "server-object") o->serverObject = value;
    else if (key == "folder") o->site.folder = value;
    else if (key == "listen") ok = zelm::mail::ParseIpv4(value, &ip), o->site.listen = value;
    else if (key == "smtp-port") ok = Port(value, &o->site.smtpPort);
    else if (key == "imap-port") ok = Port(value, &o->site.imapPort);
    else if (key == "pop-port") ok = Port(value, &o->site.popPort);
    else if (key == "request-port") ok = Port(value, &o->requestPort);
    else if (key == "store") o->store = value;
    else if (key == "mail-user") o->site.mailUser = value;
    else if (key == "identity") o->identity = value;
    else if (key == "password-file") passwordFile = value;
    else if (key == "watch-seconds")
      ok = zelm::mail::ParseCount(value, 3600, &n) && n > 0, o->watchSeconds = static_cast<int>(n);
    else ok = (*error = "unknown option --" + key, false);
    if (!ok) {
      if (error->empty()) *error = "--" + key + ": not usable: " + value;
      return false;
    }
  }
  if (o->directory.empty() || o->serverObject.empty() || o->site.folder.empty()) {
    *error = "--directory, --server-object and --folder are needed";
    return false;
  }
  if (!PlainPath(o->site.folder) || (!o->store.empty() && !PlainPath(o->store))) {
    *error = "--folder and --store must be absolute paths without blanks, ':', '%' or '\"'";
    return false;
  }
  passwd* mail = getpwnam(o->site.mailUser.c_str());
  if (!mail || mail->pw_uid == 0) {
    *error = "--mail-user " + o->site.mailUser + ": no such user, or root (mail is never handled as root)";
    return false;
  }
  o->site.mailUid = mail->pw_uid;
  o->site.mailGid = mail->pw_gid;
  if (!passwordFile.empty()) {
    std::ifstream in(passwordFile);
    if (!std::getline(in, o->password)) {
      *error = "cannot read " + passwordFile;
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  zelm::mail::MailOptions options;
  std::string error;
  if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
    fputs(kUsage, stdout);
    return 0;
  }
  if (!Parse(argc, argv, &options, &error)) {
    fprintf(stderr, "zelmmailsys: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  if (geteuid() != 0) {
    fprintf(stderr, "zelmmailsys: Postfix starts only as root; run it as root\n");
    return 2;
  }
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  if (mkdir(options.site.folder.c_str(), 0755) != 0 && errno != EEXIST) {
    fprintf(stderr, "zelmmailsys: cannot make %s: %s\n", options.site.folder.c_str(), strerror(errno));
    return 1;
  }
  options.site.saltKey = SaltKey(options.site.folder);

  zelm::mail::MailSystem mail(options);
  if (!mail.Start(&error)) {
    fprintf(stderr, "zelmmailsys: %s\n", error.c_str());
    return 1;
  }
  const zelm::mail::Site& s = options.site;
  printf("zelmmailsys: request service on %s:%u\n", s.listen.c_str(), options.requestPort);
  printf("zelmmailsys: SMTP %s:%u, IMAP %s:%u, POP %s:%u: %s\n", s.listen.c_str(), s.smtpPort,
         s.listen.c_str(), s.imapPort, s.listen.c_str(), s.popPort, mail.State().c_str());
  fflush(stdout);
  std::thread waiter([&] {
    int sig = 0;
    sigwait(&signals, &sig);
    mail.Stop();
  });
  mail.Run();
  kill(getpid(), SIGTERM);
  waiter.join();
  return 0;
}
