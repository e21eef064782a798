// One TCP connection to a message store and the line transport over it.
// Every call blocks on the caller's (window) thread; a read (ReadReply or
// ReadChunk as a whole, however many receives it takes) waits at most
// kWaitsPerRead one-second readiness tests, so a store that drips a line
// byte by byte is cut off as surely as one that stays silent.
#pragma once

#include <cstddef>
#include <cstdint>

struct TreeItem;

enum : uint8_t { kNodeServer = 1, kNodeUser = 2, kNodeMailbox = 3 };

enum {
  kRecvCapacity = 4440,      // one reply line with its line end must fit
  kRecvBufferSize = 4444,
  kHostNameSize = 64,        // 63 characters and a NUL
  kWaitsPerRead = 60,
  kClosedMarker = 8,
  kCodeServerQuit = 5001,
  kStorePort = 999,
};

// Also the data of a server item in the shell's tree, hence the node kind first.
// Created zero-filled by the caller; owned by the tree item of its server.
struct StoreConnection {
  uint8_t nodeKind;                 // kNodeServer
  uint32_t socket;                  // never used for data once closed
  char recvBuffer[kRecvBufferSize]; // buffered, unconsumed bytes, NUL after them
  int32_t buffered;
  char hostName[kHostNameSize];
  uint32_t closed;                  // kClosedMarker once closed
  TreeItem* treeItem;
};

#if defined(_WIN32) && !defined(_WIN64)
// The record as 32-bit Windows lays it out; 64-bit builds differ only in the
// width of the tree item pointer.
static_assert(offsetof(StoreConnection, socket) == 4 && offsetof(StoreConnection, recvBuffer) == 8 &&
                  offsetof(StoreConnection, buffered) == 4452 &&
                  offsetof(StoreConnection, hostName) == 4456 &&
                  offsetof(StoreConnection, closed) == 4520 &&
                  offsetof(StoreConnection, treeItem) == 4524,
              "StoreConnection's fields at their 32-bit offsets");
#endif

// The 32-bit socket field holds this when there is no socket at all.
constexpr uint32_t kNoSocket = 0xFFFFFFFFu;

// Windows Sockets 1.1, started before the main window and cleaned up after.
bool StoreSocketsStartup();
void StoreSocketsCleanup();

// Opens a TCP connection to host (dotted IPv4 or a name) and port.
// 1 on success with *socketOut set, 0 on failure (*socketOut = kNoSocket).
int ConnectToHost(uint32_t* socketOut, const char* host, unsigned short port);

// Sends every byte; a failed send closes the socket and marks the connection closed.
// Returns 1 when everything went, 0 otherwise (no caller needs it).
int SendAll(StoreConnection* c, const char* bytes, int length);

// Next line into text (at most capacity - 1 characters and a NUL). With splitCode
// the four-digit reply code is split off and returned and text keeps what follows
// the separator; -1 for a line without a code. Without splitCode the number the
// line starts with is returned and text keeps the whole line. A failed read closes
// the connection and returns CloseConnection's result (1, then 0).
int ReadReply(StoreConnection* c, char* text, int capacity, bool splitCode);

// Next body piece: a whole line when its line feed is within the first bound
// bytes, else exactly bound bytes. text must hold bound + 1 bytes.
bool ReadChunk(StoreConnection* c, char* text, int bound);

// 1 when it closed the connection now (sending "QUIT\r\n" best effort), 0 when
// it was closed already.
int CloseConnection(StoreConnection* c);

// > 0 readable, 0 when every one-second wait passed, -1 when the test failed.
int WaitReadable(uint32_t socket, int waits);

// The waits a read may spend, kWaitsPerRead unless a test shortened them
// (so that a drip or a silence is cut off in seconds). Returns the former.
int SetWaitsPerRead(int waits);

// Run while a read waits for the store, about every kWaitHookMs once the
// read has waited that long: the window repaints (or a dialog pumps its
// messages) meanwhile. It may send on the connection, or close it; it is
// never entered again from a read inside itself. One per thread of reads;
// the scope puts back the one before it.
enum { kWaitHookMs = 50 };
typedef void (*StoreWaitHook)(void* context);
class StoreWaitHookScope {
 public:
  StoreWaitHookScope(StoreWaitHook hook, void* context);
  ~StoreWaitHookScope();
  StoreWaitHookScope(const StoreWaitHookScope&) = delete;
  StoreWaitHookScope& operator=(const StoreWaitHookScope&) = delete;

 private:
  StoreWaitHook previousHook_;
  void* previousContext_;
};

// The outcome of one read as the exchanges need it: whether a line came at all
// (ReadReply's 0 and 1 on failure are also ordinary codes).
struct LineRead {
  bool ok;    // a line was delivered
  int code;   // as ReadReply returns it
};
LineRead ReadLine(StoreConnection* c, char* text, int capacity, bool splitCode);

// Reads up to `count` raw lines, each as ReadLine without the code split
// delivers it (cut to capacity - 1 characters, its last carriage return
// dropped), and hands each to onLine where it was received, NUL-terminated
// until onLine returns (onLine may change its characters meanwhile). For a
// big mailbox's listing: nothing is moved per line and receives take up to a
// megabyte (a line must still end within the receive capacity); the last
// lines are taken off the socket whole, so the record then holds at most
// part of a line, as with one ReadLine per line.
// Each line has its own bound on waits, as with one ReadLine per line.
// onLine must not read from the connection (it may close it); it returns
// false to stop. Returns the number of lines handed out; *failed is set when
// the read of a further line failed (the connection is then closed, as by
// ReadLine). Afterwards the record is as ReadLine per line would have left
// it; only when a peer sent more than the record holds after the lines (or
// after a stop), unasked, is the connection closed as well, the record
// keeping what it holds of it (nothing is read past unseen).
typedef bool (*RawLineFn)(void* ctx, char* line);
unsigned long ReadRawLines(StoreConnection* c, unsigned long count, int capacity, RawLineFn onLine,
                           void* ctx, bool* failed);

// ReadChunk that also reports how many wire bytes the piece took (line end
// included), so a body's byte count is consumed exactly.
bool ReadChunkCounted(StoreConnection* c, char* text, int bound, int* wireBytes);

bool IsConnectionClosed(const StoreConnection* c);
// Copies a typed host text into the record; false when it exceeds 63 characters.
bool SetConnectionHost(StoreConnection* c, const char* host);
