// The store exchanges: exact command bytes, the replies read for them and what
// is taken from each. Results: 1 success, 0 failure, and the negative
// StoreResult values below where the caller has more to say than "failed".
//
// What one answer may make the shell hold is bounded, so that a store that
// never ends an answer can neither exhaust memory nor hold the window:
//   - details answers (CAPA, CONF, MIME, HEAD): 20,000 lines;
//   - the user list (ULIST) and a user's mailboxes (SHOW): 100,000 lines,
//     they become tree items;
//   - a message list (INFO): 2,097,152 messages, a larger count is refused
//     before any line is read, and a message line past the count ends the
//     listing (at about 150 bytes an entry, some 300 MB at most beside
//     the texts);
//   - every list: 256 MiB of entry texts in all;
//   - a body shown in the details pane: its byte limit (BodyShow); up to
//     1 MiB past it is read and dropped, beyond that the connection goes.
// Lines are counted whatever their code, so an endless stream of lines the
// list passes over ends as well. An answer that reaches its bound is not
// finished: the connection is closed so that nothing of it is taken for the
// answer of a later command.
#pragma once

#include <cstdint>

#include "connection.h"

enum {
  kCommandSize = 1024,     // commands are formatted into this many bytes
  kReplyCapacity = 1025,   // reply texts are read with this capacity
  kBodyPiece = 1025,       // body pieces are read this many bytes at a time
  kBodyPieceArea = kBodyPiece + 1,  // a piece of exactly kBodyPiece bytes plus its NUL
};

enum StoreResult {
  kStoreOk = 1,
  kStoreFailed = 0,
  kStoreNotSent = -1,       // the command does not fit kCommandSize: nothing was sent
  kStoreTooLong = -2,       // the answer passed its bound; the connection was closed
  kStoreCountRefused = -3,  // INFO announced more messages than are listed; closed
};

// The bounds above; tests lower them to reach them quickly.
struct AnswerBounds {
  unsigned long detailLines;   // CAPA, CONF, MIME, HEAD
  unsigned long treeEntries;   // ULIST, SHOW
  unsigned long messages;      // INFO
  unsigned long long listTextBytes;
  unsigned long long bodyDrainBytes;
};
extern const AnswerBounds kAnswerBounds;
// Sets the bounds in force and returns the former ones.
AnswerBounds SetAnswerBounds(const AnswerBounds& bounds);
const AnswerBounds& CurrentAnswerBounds();

// Reply codes of the store's errors (4000 to 5999): inside a list such a
// line ends it, it is never an entry.
bool IsErrorCode(int code);

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
// 0 when the greeting was not 1000 or a read failed; kStoreTooLong.
int StoreListUsers(StoreConnection* c, StoreTextFn onUser, void* ctx);

// 2. Mailboxes of a user; names ending in '/' (hierarchy nodes) are skipped.
// A line with an error code ends the list (0). kStoreNotSent, kStoreTooLong.
int StoreListMailboxes(StoreConnection* c, const char* user, StoreTextFn onMailbox, void* ctx);

// 3. Messages of a mailbox. onCount gets N before the lines, onMessage each
// message's 1-based number and list text. A line that is no message line
// but an error reply ends the list (0). kStoreNotSent; kStoreCountRefused
// for a count above the bound or 32 bits (nothing listed); kStoreTooLong.
struct MessageListSink {
  void (*onCount)(void* ctx, unsigned long count);
  void (*onMessage)(void* ctx, unsigned long number, const char* listText);
  void* ctx;
};
int StoreListMessages(StoreConnection* c, const char* user, const char* mailbox,
                      const MessageListSink& sink);

// 4. 1 only when the store confirmed the removal with 1000; kStoreNotSent.
int StoreRemoveMailbox(StoreConnection* c, const char* mailbox);

// 5. Capability lines. kStoreTooLong for this and the details answers below.
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
// 1 only for a 2001 answer whose every field scans; 0 otherwise.
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

// 11. Header lines of a message. A reply line with an error code ends them (0).
int StoreHeader(StoreConnection* c, int number, StoreTextFn onLine, void* ctx);

// 12. Body, whole (maxBytes 0) or its first maxBytes (BRAW from offset 0).
enum BodyResult {
  kBodyOk = 1,         // ended with 1000
  kBodyRefused = 2,    // not 2021/2025; reason holds the reply text
  kBodyBadEnd = 3,     // body read but the closing reply was not 1000
  kBodyLost = 0,       // connection failed
  kBodyCut = 4,        // more came than the limit; the rest was not read, connection closed
};
// reason must hold kReplyCapacity bytes. Hands out the whole body, however
// long the store says it is.
int StoreBody(StoreConnection* c, int number, unsigned long maxBytes,
              StoreTextFn onPiece, void* ctx, char* reason);

// The body as the details pane shows it: at most `limit` bytes (counted as
// they came off the wire) are handed out, whatever size was asked for or
// announced. When the store announces more, onCut (may be null) runs once
// before the first piece; the rest is then read and dropped when it is at
// most bodyDrainBytes, so the connection stays in step, else the
// connection is closed (kBodyCut).
struct BodyShow {
  StoreTextFn onPiece;
  void (*onCut)(void* ctx);
  void* ctx;
  unsigned long limit;
};
int StoreShowBody(StoreConnection* c, int number, unsigned long maxBytes, const BodyShow& show,
                  char* reason);

// Pure reply scanners, apart for testing.
bool ScanInfoLine(const char* line, char* listText);  // listText: kReplyCapacity
// The number of fields scanned (8 for a complete answer).
int ScanMessageDetails(const char* text, MessageDetails* out);
// The decimal count at the start of text (after blanks; 0 without digits);
// false when it does not fit 32 bits.
bool ScanCount(const char* text, unsigned long* out);
void ScanMimePart(const char* text, MimePart* out);
// Formats a command; false (nothing to send) when it does not fit kCommandSize.
bool FormatCommand(char* out, const char* format, ...);
