// The store exchanges: exact command bytes, the replies read for them and what
// is taken from each. Results: 1 success, 0 failure, unless noted.
#pragma once

#include <cstdint>

#include "connection.h"

enum {
  kCommandSize = 1024,     // commands are formatted into this many bytes
  kReplyCapacity = 1025,   // reply texts are read with this capacity
  kBodyPiece = 1025,       // body pieces are read this many bytes at a time
  kBodyPieceArea = kBodyPiece + 1,  // a piece of exactly kBodyPiece bytes plus its NUL
};

enum : uint32_t {
  kFlagRead = 0x001,
  kFlagDeleted = 0x002,
  kFlagLeadingDot = 0x008,
  kFlagHighPriority = 0x010,
  kFlagLowPriority = 0x020,
  kFlagRecent = 0x080,
  kFlagAnswered = 0x100,
  kFlagDraft = 0x200,
  kFlagsInterpreted = 0x3BB,
};

// The 32-bit value sent with FLAG before INFO (bit 31 alone).
constexpr unsigned long kInfoFlag = 2147483648UL;

// Tree records made from replies. Both are single heap blocks (malloc) with
// the name stored inline; the tree item that holds one frees it through
// FreeStoreRecord when the item is deleted.
struct UserNode {
  uint8_t nodeKind;  // kNodeUser
  StoreConnection* connection;
  char name[1];
};

struct MailboxNode {
  uint8_t nodeKind;  // kNodeMailbox
  StoreConnection* connection;
  UserNode* user;
  char name[1];
};

UserNode* NewUserNode(StoreConnection* c, const char* name);
MailboxNode* NewMailboxNode(StoreConnection* c, UserNode* user, const char* name);
// Frees a server, user or mailbox record (by its node kind). A server's socket
// is released without a goodbye, as at program exit.
void FreeStoreRecord(void* record);

typedef void (*StoreTextFn)(void* ctx, const char* text);

// 1. Reads the greeting; on 1000 sends ULIST and reports each 2001 user name.
// 0 when the greeting was not 1000 or a read failed.
int StoreListUsers(StoreConnection* c, StoreTextFn onUser, void* ctx);

// 2. Mailboxes of a user; names ending in '/' (hierarchy nodes) are skipped.
int StoreListMailboxes(StoreConnection* c, const char* user, StoreTextFn onMailbox, void* ctx);

// 3. Messages of a mailbox. onCount gets N before the lines, onMessage each
// message's 1-based number and list text.
struct MessageListSink {
  void (*onCount)(void* ctx, unsigned long count);
  void (*onMessage)(void* ctx, unsigned long number, const char* listText);
  void* ctx;
};
int StoreListMessages(StoreConnection* c, const char* user, const char* mailbox,
                      const MessageListSink& sink);

// 4. 1 only when the store confirmed the removal with 1000.
int StoreRemoveMailbox(StoreConnection* c, const char* mailbox);

// 5. Capability lines.
int StoreCapabilities(StoreConnection* c, StoreTextFn onLine, void* ctx);

// 6. Configuration entries, as sent (the first colon separates name and value).
int StoreConfiguration(StoreConnection* c, StoreTextFn onEntry, void* ctx);

// 7. Disk space of the selected user, in kilobytes; limit 0 means none.
int StoreSpace(StoreConnection* c, unsigned long* usedKb, unsigned long* limitKb);

// 8. Statistics of the selected mailbox.
struct MailboxStat {
  unsigned long messages, totalBytes, newMessages, newBytes;
};
int StoreMailboxStat(StoreConnection* c, MailboxStat* out);

// 9. AINFO.
struct MessageDetails {
  unsigned long totalBytes, headerBytes, bodyBytes, flags;
  char hash[kReplyCapacity];
  unsigned long uniqueId;
  char sender[kReplyCapacity];
};
bool SenderVerified(const MessageDetails& d);
int StoreMessageDetails(StoreConnection* c, int number, MessageDetails* out);

// 10. MIME structure: one report per part with its nesting level (0 at top);
// a container part raises the level of the parts after it.
struct MimePart {
  char type[kReplyCapacity], subtype[kReplyCapacity], charset[kReplyCapacity];
  char encoding[kReplyCapacity], name[kReplyCapacity];
  unsigned long bytes, lines;
  bool container;
  bool named;  // name word does not begin with '-'
  int level;
};
typedef void (*MimePartFn)(void* ctx, const MimePart& part);
int StoreMime(StoreConnection* c, int number, MimePartFn onPart, void* ctx);

// 11. Header lines of a message.
int StoreHeader(StoreConnection* c, int number, StoreTextFn onLine, void* ctx);

// 12. Body, whole (maxBytes 0) or its first maxBytes (BRAW from offset 0).
enum BodyResult {
  kBodyOk = 1,         // ended with 1000
  kBodyRefused = 2,    // not 2021/2025; reason holds the reply text
  kBodyBadEnd = 3,     // body read but the closing reply was not 1000
  kBodyLost = 0,       // connection failed
};
// reason must hold kReplyCapacity bytes.
int StoreBody(StoreConnection* c, int number, unsigned long maxBytes,
              StoreTextFn onPiece, void* ctx, char* reason);

// Pure reply scanners, apart for testing.
bool ScanInfoLine(const char* line, char* listText);  // listText: kReplyCapacity
void ScanMessageDetails(const char* text, MessageDetails* out);
void ScanMimePart(const char* text, MimePart* out);
// Formats a command; false (nothing to send) when it does not fit kCommandSize.
bool FormatCommand(char* out, const char* format, ...);
