// zelmstored: the reference message store server. Serves the store protocol
// over a folder of users' Maildirs, and the request service beside it, until
// SIGINT or SIGTERM. README.md tells how to run it, with or without a directory.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "config.h"
#include "store_server.h"

namespace {
constexpr rlim_t kWantedDescriptors = 65536;
}  // namespace

int main(int argc, char** argv) {
  StoreConfig config;
  std::string error;
  bool help = false;
  if (!ParseCommandLine(argc, argv, &config, &error, &help)) {
    fprintf(stderr, "zelmstored: %s\n%s", error.c_str(), UsageText());
    return 2;
  }
  if (help) {
    fputs(UsageText(), stdout);
    return 0;
  }
  // Signals are taken by one waiting thread; every other thread blocks them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  // An idle client costs a descriptor and little else: take what the system
  // allows (within reason) rather than the usual 1,024.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < kWantedDescriptors) {
    files.rlim_cur = std::min<rlim_t>(files.rlim_max, kWantedDescriptors);
    setrlimit(RLIMIT_NOFILE, &files);
  }

  StoreServer server(config);
  if (!server.Start(&error)) {
    fprintf(stderr, "zelmstored: %s\n", error.c_str());
    return 1;
  }
  const StoreConfig& base = server.Base();
  if (base.requestPort)
    printf("zelmstored: request service on %s:%u\n", base.listenAddress.c_str(), base.requestPort);
  if (server.StoreListening()) {
    printf("zelmstored: serving %s on %s:%u\n", server.Store().Config()->storeRoot.c_str(),
           base.listenAddress.c_str(), base.port);
  } else {
    printf("zelmstored: not serving the store (%s): %s\n", server.Status().c_str(),
           server.Unavailable().empty() ? "see above" : server.Unavailable().c_str());
  }
  fflush(stdout);
  std::thread waiter([&] {
    int sig = 0;
    sigwait(&signals, &sig);
    server.Stop();
  });
  server.Run();
  // Run normally ends through the waiter; otherwise release it.
  kill(getpid(), SIGTERM);
  waiter.join();
  return 0;
}
