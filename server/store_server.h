// The store server: the store and its protocol listener, ready to run on the
// calling thread. A second service (the request service) joins by one more
// Acceptor::Listen with its own handlers.
#pragma once

#include <string>

#include "acceptor.h"
#include "config.h"
#include "message_store.h"

class StoreServer {
 public:
  explicit StoreServer(const StoreConfig& config) : store_(config) {}
  // Opens the store and binds the listener. False with a reason.
  bool Start(std::string* error);
  void Run() { acceptor_.Run(); }
  void Stop() { acceptor_.Stop(); }
  MessageStore& Store() { return store_; }

 private:
  MessageStore store_;
  Acceptor acceptor_;
};
