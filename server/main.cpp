// zelmstored: the reference message store server. Serves the store protocol
// over a folder of users' Maildirs until SIGINT or SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "config.h"
#include "store_server.h"

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

  StoreServer server(config);
  if (!server.Start(&error)) {
    fprintf(stderr, "zelmstored: %s\n", error.c_str());
    return 1;
  }
  printf("zelmstored: serving %s on %s:%u\n", config.storeRoot.c_str(),
         config.listenAddress.c_str(), config.port);
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
