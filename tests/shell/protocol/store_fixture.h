// A connection to a scripted peer, made the way the shell makes one.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "protocol/connection.h"
#include "protocol/store_commands.h"
#include "scripted_peer.h"

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(StoreSocketsStartup()); }
  void TearDown() override {
    if (conn) FreeStoreRecord(conn);
    peer.Stop();
    StoreSocketsCleanup();
  }

  // Starts the peer with `script` and connects to it.
  void Connect(std::vector<PeerStep> script) {
    ASSERT_TRUE(peer.Start(std::move(script)));
    conn = static_cast<StoreConnection*>(calloc(1, sizeof(StoreConnection)));
    conn->nodeKind = kNodeServer;
    ASSERT_TRUE(SetConnectionHost(conn, peer.Address()));
    ASSERT_EQ(1, ConnectToHost(&conn->socket, peer.Address(), kStorePort));
  }

  // Reads one reply with the shell's capacity.
  int Read(std::string* text, bool split = true) {
    char buf[kReplyCapacity] = {};
    int code = ReadReply(conn, buf, sizeof buf, split);
    *text = buf;
    return code;
  }

  ScriptedPeer peer;
  StoreConnection* conn = nullptr;
};

// Reads spend `waits` one-second waits while it lives (the program's 60 after).
class ShortWaits {
 public:
  explicit ShortWaits(int waits) : former_(SetWaitsPerRead(waits)) {}
  ~ShortWaits() { SetWaitsPerRead(former_); }

 private:
  int former_;
};

// Answer bounds in force while it lives.
class Bounds {
 public:
  explicit Bounds(const AnswerBounds& b) : former_(SetAnswerBounds(b)) {}
  ~Bounds() { SetAnswerBounds(former_); }

 private:
  AnswerBounds former_;
};

// Collects texts handed to a StoreTextFn.
inline void CollectText(void* ctx, const char* text) {
  static_cast<std::vector<std::string>*>(ctx)->push_back(text);
}
