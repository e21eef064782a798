// storeprobe HOST: connects to a message store on port 999 and prints its
// users, the first user's mailboxes, the first mailbox's messages and the
// details of one message, through the same exchanges the shell uses.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "protocol/connection.h"
#include "protocol/store_commands.h"

namespace {

void Collect(void* ctx, const char* text) {
  static_cast<std::vector<std::string>*>(ctx)->push_back(text);
}

void PrintIndented(void* ctx, const char* text) { printf("%s%s\n", static_cast<const char*>(ctx), text); }

void PrintPart(void*, const MimePart& p) {
  printf("    %*s%s/%s %lu bytes, %lu lines%s%s\n", p.level * 3, "", p.type, p.subtype, p.bytes,
         p.lines, p.named ? ", name " : "", p.named ? p.name : "");
}

struct Messages {
  std::vector<std::string> texts;
};

void OnMessage(void* ctx, unsigned long number, const char* text) {
  static_cast<Messages*>(ctx)->texts.push_back(text);
  printf("    %lu  %s\n", number, text);
}

}  // namespace

int main(int argc, char** argv) {
  const char* host = argc > 1 ? argv[1] : "127.0.0.1";
  const char* wantUser = argc > 2 ? argv[2] : nullptr;
  if (!StoreSocketsStartup()) {
    fprintf(stderr, "Windows Sockets 1.1 is not available.\n");
    return 2;
  }
  auto* c = static_cast<StoreConnection*>(calloc(1, sizeof(StoreConnection)));
  c->nodeKind = kNodeServer;
  if (!SetConnectionHost(c, host) || !ConnectToHost(&c->socket, host, kStorePort)) {
    fprintf(stderr, "Could not connect to server %s.\n", host);
    return 1;
  }
  std::vector<std::string> users;
  StoreListUsers(c, Collect, &users);
  printf("Server %s: %zu users\n", host, users.size());
  for (auto& u : users) printf("  %s\n", u.c_str());
  std::string user = wantUser ? wantUser : users.empty() ? "" : users.front();
  if (!user.empty()) {
    std::vector<std::string> boxes;
    StoreListMailboxes(c, user.c_str(), Collect, &boxes);
    unsigned long used = 0, limit = 0;
    if (StoreSpace(c, &used, &limit)) printf("User %s: %lu KB used, limit %lu\n", user.c_str(), used, limit);
    printf("Mailboxes of %s:\n", user.c_str());
    for (auto& b : boxes) printf("  %s\n", b.c_str());
    if (!boxes.empty()) {
      Messages m;
      printf("Messages of %s:\n", boxes.front().c_str());
      StoreListMessages(c, user.c_str(), boxes.front().c_str(), {nullptr, OnMessage, &m});
      MailboxStat st;
      if (StoreMailboxStat(c, &st))
        printf("  %lu messages, %lu bytes, %lu new (%lu bytes)\n", st.messages, st.totalBytes,
               st.newMessages, st.newBytes);
      if (!m.texts.empty()) {
        MessageDetails d;
        if (StoreMessageDetails(c, 1, &d))
          printf("Message 1: %lu bytes (header %lu, body %lu), flags 0x%03lx, uid %lu, sender %s\n",
                 d.totalBytes, d.headerBytes, d.bodyBytes, d.flags, d.uniqueId, d.sender);
        printf("  MIME structure:\n");
        StoreMime(c, 1, PrintPart, nullptr);
        printf("  Header:\n");
        StoreHeader(c, 1, PrintIndented, const_cast<char*>("    "));
        printf("  Body (first 4096 bytes):\n");
        char reason[kReplyCapacity];
        int r = StoreBody(c, 1, 4096, PrintIndented, const_cast<char*>("    | "), reason);
        if (r == kBodyRefused) printf("    body refused: %s\n", reason);
      }
    }
  }
  FreeStoreRecord(c);
  StoreSocketsCleanup();
  return 0;
}
