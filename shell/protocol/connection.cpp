#include "connection.h"

#include <winsock.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kQuit[] = "QUIT\r\n";

SOCKET AsSocket(uint32_t s) {
  return s == kNoSocket ? INVALID_SOCKET : static_cast<SOCKET>(s);
}

// Closes the socket without a goodbye and marks the record closed.
void DropSocket(StoreConnection* c) {
  if (c->closed == 0 && c->socket != kNoSocket) closesocket(AsSocket(c->socket));
  c->closed = kClosedMarker;
}

// Decimal number at the start of s: optional blanks and sign, then digits;
// saturates instead of overflowing on hostile input.
int LeadingNumber(const char* s) {
  while (*s == ' ' || *s == '\t') ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') negative = (*s++ == '-');
  long long v = 0;
  for (; *s >= '0' && *s <= '9'; ++s) {
    v = v * 10 + (*s - '0');
    if (v > INT_MAX) v = INT_MAX;
  }
  return static_cast<int>(negative ? -v : v);
}

// Offset of the first line feed among the first limit buffered bytes, or -1.
int FindLineFeed(const StoreConnection* c, int limit) {
  int n = c->buffered < limit ? c->buffered : limit;
  if (n <= 0) return -1;
  const void* lf = memchr(c->recvBuffer, '\n', static_cast<size_t>(n));
  return lf ? static_cast<int>(static_cast<const char*>(lf) - c->recvBuffer) : -1;
}

// Removes the first `taken` buffered bytes, moving the rest to the front.
void Consume(StoreConnection* c, int taken) {
  int rest = c->buffered - taken;
  memmove(c->recvBuffer, c->recvBuffer + taken, static_cast<size_t>(rest));
  c->buffered = rest;
  c->recvBuffer[rest] = '\0';
}

// Copies `length` bytes of the buffer to the caller (cut to capacity - 1) and
// drops the last carriage return of the copy. Returns the copy's length.
int CopyOut(const StoreConnection* c, int length, char* text, int capacity) {
  int n = length < capacity ? length : capacity - 1;
  memcpy(text, c->recvBuffer, static_cast<size_t>(n));
  text[n] = '\0';
  for (int i = n - 1; i >= 0; --i) {
    if (text[i] == '\r') {
      text[i] = '\0';
      return i;
    }
  }
  return n;
}

int g_waitsPerRead = kWaitsPerRead;
StoreWaitHook g_waitHook = nullptr;
void* g_waitContext = nullptr;
bool g_inWaitHook = false;

// The clock of one read: every receive of it draws on the same waits.
struct ReadClock {
  bool started;
  DWORD start;     // when the read first had to wait
  DWORD lastHook;  // when the wait hook last ran
};

void RunWaitHook(ReadClock* t, DWORD now) {
  if (!g_waitHook || g_inWaitHook) return;
  if (now - t->start < kWaitHookMs || now - t->lastHook < kWaitHookMs) return;
  t->lastHook = now;
  g_inWaitHook = true;
  g_waitHook(g_waitContext);
  g_inWaitHook = false;
}

// > 0 when s is readable (bytes, or the peer's close or an error for recv
// to find) within `ms`, 0 when not, -1 when the test itself failed.
int SelectSlice(SOCKET s, DWORD ms) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval wait = {static_cast<long>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000};
  int ready = select(0, &readable, nullptr, nullptr, &wait);
  return ready < 0 ? -1 : ready;
}

// Readiness is heard of as a notice the socket layer posts to a window when
// bytes come or the peer closes. Under Wine a select() on a socket with
// nothing to read yet wakes one to five milliseconds after the bytes came
// (the first answer to a listing, each time a listing catches up with the
// store), a notice at once. One message-only window per thread takes them;
// the sockets' clean-up destroys its thread's, any other goes with its
// thread.
constexpr UINT kReadableNotice = WM_APP + 0x2A5;
thread_local HWND t_noticeWindow = nullptr;
thread_local bool t_noticeFailed = false;

HWND NoticeWindowOfThread() {
  if (!t_noticeWindow && !t_noticeFailed) {
    t_noticeWindow = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
    t_noticeFailed = t_noticeWindow == nullptr;
  }
  return t_noticeWindow;
}

// One wait of at most `ms` for s to become readable, as SelectSlice. The
// socket is blocking again afterwards and no notice of it is left queued.
// Only posted messages are looked at: nothing is dispatched meanwhile, and
// messages sent from other threads wait as they do during select().
int WaitSlice(SOCKET s, DWORD ms) {
  HWND notice = NoticeWindowOfThread();
  if (!notice || WSAAsyncSelect(s, notice, kReadableNotice, FD_READ | FD_CLOSE) != 0)
    return SelectSlice(s, ms);
  // Bytes that came before the notices were asked for. (A close that came
  // before is noticed at once: asking for notices posts those of events
  // already there.)
  u_long pending = 0;
  int ready = ioctlsocket(s, FIONREAD, &pending) == 0 && pending > 0 ? 1 : 0;
  DWORD begin = GetTickCount();
  const UINT take = PM_REMOVE | PM_QS_POSTMESSAGE;
  MSG msg;
  while (ready == 0) {
    if (PeekMessageA(&msg, notice, kReadableNotice, kReadableNotice, take)) {
      if (msg.wParam == static_cast<WPARAM>(s)) ready = 1;  // another socket's is stale
      continue;
    }
    DWORD spent = GetTickCount() - begin;
    if (spent >= ms) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_POSTMESSAGE);
  }
  // Notices off, then blocking: in this order, as the socket layer requires.
  u_long blocking = 0;
  if (WSAAsyncSelect(s, notice, 0, 0) != 0 || ioctlsocket(s, FIONBIO, &blocking) != 0) ready = -1;
  while (PeekMessageA(&msg, notice, kReadableNotice, kReadableNotice, take)) {
  }
  return ready;
}

// Waits until the socket is readable, for what is left of the read's
// one-second waits; a wait cut short by data counts only for the time it
// took. > 0 readable, 0 when the time is up, -1 when the readiness test
// failed or the connection was closed meanwhile (by the wait hook).
int WaitForData(StoreConnection* c, ReadClock* t) {
  const DWORD budget = static_cast<DWORD>(g_waitsPerRead) * 1000u;
  if (!t->started) {
    t->started = true;
    t->start = t->lastHook = GetTickCount();
  }
  for (;;) {
    RunWaitHook(t, GetTickCount());
    if (c->closed != 0) return -1;
    DWORD spent = GetTickCount() - t->start;
    if (spent >= budget) return 0;
    DWORD slice = budget - spent < 1000u ? budget - spent : 1000u;
    // With a hook the waits are cut into slices, so it runs on time.
    if (g_waitHook && !g_inWaitHook && slice > static_cast<DWORD>(kWaitHookMs)) slice = kWaitHookMs;
    SOCKET s = AsSocket(c->socket);
    // Bytes already there need no readiness test: under Wine that is a trip
    // through its server each time, whose wake-up can come milliseconds
    // late, and a listing mostly finds its bytes there.
    u_long pending = 0;
    if (ioctlsocket(s, FIONREAD, &pending) == 0 && pending > 0) return 1;
    int ready = WaitSlice(s, slice);
    if (ready != 0) return ready;
  }
}

// Waits for and appends more bytes. False when the read must fail: no room
// left (a line of kRecvCapacity bytes without a line feed can never end),
// the read's waits ran out, or the peer closed or errored.
bool Receive(StoreConnection* c, ReadClock* t) {
  if (c->closed != 0) return false;
  int room = kRecvCapacity - c->buffered;
  if (room <= 0) return false;
  if (WaitForData(c, t) <= 0) return false;
  int got = recv(AsSocket(c->socket), c->recvBuffer + c->buffered, room, 0);
  if (got <= 0) return false;
  c->buffered += got;
  c->recvBuffer[c->buffered] = '\0';
  return true;
}

// Splits the reply code off a line held in text (see ReadReply).
int SplitCode(char* text) {
  size_t len = strlen(text);
  char* sep;
  if (len >= 5 && (text[4] == ' ' || text[4] == '-')) {
    sep = text + 4;
  } else {
    sep = strchr(text, ' ');
    if (!sep) return -1;
  }
  char saved = *sep;
  *sep = '\0';
  int code = LeadingNumber(text);
  *sep = saved;
  memmove(text, sep + 1, strlen(sep + 1) + 1);
  return code;
}

// What a listing receives into. Large, since every receive is a trip
// through the system; kept once made, since fresh pages cost a long listing
// more than used ones. A listing read inside another's wait hook has an
// area of its own.
constexpr int kPeekSize = 1024 * 1024;
char* g_area = nullptr;
bool g_areaTaken = false;

char* TakeArea() {
  if (g_areaTaken) return static_cast<char*>(malloc(kPeekSize));
  if (!g_area) g_area = static_cast<char*>(malloc(kPeekSize));
  if (g_area) g_areaTaken = true;
  return g_area;
}

void GiveBackArea(char* area) {
  if (area && area == g_area) g_areaTaken = false;
  else free(area);
}

// A read still under way frees its area when it gives it back.
void FreeListingArea() {
  if (!g_areaTaken) free(g_area);
  g_area = nullptr;
  g_areaTaken = false;
}

}  // namespace

bool StoreSocketsStartup() {
  WSADATA data;
  return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

void StoreSocketsCleanup() {
  if (t_noticeWindow) DestroyWindow(t_noticeWindow);
  t_noticeWindow = nullptr;
  FreeListingArea();
  WSACleanup();
}

int ConnectToHost(uint32_t* socketOut, const char* host, unsigned short port) {
  *socketOut = kNoSocket;
  sockaddr_in addr;
  memset(&addr, 0, sizeof addr);
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  unsigned long dotted = inet_addr(host);
  if (dotted != INADDR_NONE) {
    addr.sin_addr.s_addr = dotted;
  } else {
    hostent* he = gethostbyname(host);
    if (!he || !he->h_addr_list || !he->h_addr_list[0]) return 0;
    size_t n = static_cast<size_t>(he->h_length);
    if (n > sizeof addr.sin_addr) n = sizeof addr.sin_addr;
    memcpy(&addr.sin_addr, he->h_addr_list[0], n);
  }
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return 0;
  if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    closesocket(s);
    return 0;
  }
  // The record keeps 32 bits; Windows socket handles fit in them.
  *socketOut = static_cast<uint32_t>(s);
  return 1;
}

bool SetConnectionHost(StoreConnection* c, const char* host) {
  size_t n = strlen(host);
  if (n >= sizeof c->hostName) return false;
  memcpy(c->hostName, host, n + 1);
  return true;
}

bool IsConnectionClosed(const StoreConnection* c) { return c->closed != 0; }

int SendAll(StoreConnection* c, const char* bytes, int length) {
  if (c->closed != 0 || c->socket == kNoSocket) return 0;
  while (length > 0) {
    int sent = send(AsSocket(c->socket), bytes, length, 0);
    if (sent <= 0) {
      DropSocket(c);
      CloseConnection(c);  // finds it closed: no QUIT on a dead socket
      return 0;
    }
    bytes += sent;
    length -= sent;
  }
  return 1;
}

int CloseConnection(StoreConnection* c) {
  if (c->closed != 0) return 0;
  if (c->socket != kNoSocket) {
    SOCKET s = AsSocket(c->socket);
    // Best effort: a server that is already gone is not waited for.
    send(s, kQuit, sizeof kQuit - 1, 0);
    closesocket(s);
  }
  c->closed = kClosedMarker;
  return 1;
}

int WaitReadable(uint32_t socket, int waits) {
  SOCKET s = AsSocket(socket);
  int ready = 0;
  for (int i = 0; i < waits; ++i) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval oneSecond = {1, 0};
    ready = select(0, &readable, nullptr, nullptr, &oneSecond);
    if (ready != 0) break;
  }
  return ready < 0 ? -1 : ready;
}

int SetWaitsPerRead(int waits) {
  int former = g_waitsPerRead;
  g_waitsPerRead = waits > 0 ? waits : 1;
  return former;
}

StoreWaitHookScope::StoreWaitHookScope(StoreWaitHook hook, void* context)
    : previousHook_(g_waitHook), previousContext_(g_waitContext) {
  g_waitHook = hook;
  g_waitContext = context;
}

StoreWaitHookScope::~StoreWaitHookScope() {
  g_waitHook = previousHook_;
  g_waitContext = previousContext_;
}

LineRead ReadLine(StoreConnection* c, char* text, int capacity, bool splitCode) {
  if (c->socket == kNoSocket || capacity < 1) return {false, -1};
  ReadClock clock = {false, 0, 0};
  int lf;
  while ((lf = FindLineFeed(c, c->buffered)) < 0) {
    if (!Receive(c, &clock)) return {false, CloseConnection(c)};
  }
  CopyOut(c, lf, text, capacity);
  Consume(c, lf + 1);
  int code;
  if (splitCode) {
    code = SplitCode(text);
    if (code == kCodeServerQuit) CloseConnection(c);
  } else {
    code = LeadingNumber(text);
  }
  return {true, code};
}

namespace {

struct LineHandout {
  int capacity;
  RawLineFn onLine;
  void* ctx;
  unsigned long done, count;
  bool stopped;
};

// The first line feed among p[0, n), or null; sixteen bytes at a time where
// the processor allows (the library's search goes a byte at a time).
const char* FindLineFeedIn(const char* p, int n) {
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  for (; n >= 16; p += 16, n -= 16) {
    __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(chunk, lf));
    if (hits) return p + __builtin_ctz(static_cast<unsigned>(hits));
  }
#endif
  return n > 0 ? static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(n))) : nullptr;
}

// Hands out the whole lines at the start of area[0, length): each must end
// within kRecvCapacity bytes, as in the receive buffer. Returns the bytes
// they took.
int HandOut(LineHandout* h, char* area, int length) {
  int start = 0;
  while (!h->stopped && h->done < h->count) {
    int rest = length - start;
    const char* found = FindLineFeedIn(area + start, rest < kRecvCapacity ? rest : kRecvCapacity);
    if (!found) break;
    char* line = area + start;
    int n = static_cast<int>(found - line);
    start += n + 1;
    if (n >= h->capacity) n = h->capacity - 1;  // the rest of the line is dropped
    line[n] = '\0';
    for (int i = n - 1; i >= 0; --i) {
      if (line[i] == '\r') {
        line[i] = '\0';
        break;
      }
    }
    ++h->done;
    if (!h->onLine(h->ctx, line)) h->stopped = true;
  }
  return start;
}

// A listing with at least this many lines still to come is read with plain
// receives as large as the area. A server sends nothing unasked after an
// answer, so what such a receive takes past the listing's last line is its
// closing line; more than the record holds closes the connection. Nearer the end,
// receives look first and take whole lines only (copying every byte twice),
// so that the record is left exactly as one read per line leaves it.
constexpr unsigned long kBulkLines = 4096;

// One plain receive into area after the bytes the record held (moved
// there), whose whole lines are handed out; what follows the last of them
// goes back into the record. False when the read must fail: the waits ran
// out, the peer closed or errored, or a line cannot end within the record.
// When more came after the last line asked for (or after a stop) than the
// record holds, the record keeps what it can for the caller to judge and
// the connection is closed: what could not be kept is never read past as if
// it had not come.
bool ReceiveBulk(StoreConnection* c, LineHandout* h, char* area, ReadClock* clock) {
  if (WaitForData(c, clock) <= 0) return false;
  int held = c->buffered;
  memcpy(area, c->recvBuffer, static_cast<size_t>(held));
  int got = recv(AsSocket(c->socket), area + held, kPeekSize - held, 0);
  if (got <= 0) return false;
  int length = held + got;
  int taken = HandOut(h, area, length);
  if (c->closed != 0) return h->stopped;
  int rest = length - taken;
  int kept = rest < kRecvCapacity ? rest : kRecvCapacity;
  memcpy(c->recvBuffer, area + taken, static_cast<size_t>(kept));
  c->buffered = kept;
  c->recvBuffer[kept] = '\0';
  if (!h->stopped && h->done < h->count) return rest < kRecvCapacity;
  if (kept < rest) CloseConnection(c);
  return true;
}

// Takes n bytes that the socket is known to hold.
bool Discard(StoreConnection* c, char* area, int n) {
  while (n > 0) {
    int got = recv(AsSocket(c->socket), area, n, 0);
    if (got <= 0) return false;
    n -= got;
  }
  return true;
}

}  // namespace

unsigned long ReadRawLines(StoreConnection* c, unsigned long count, int capacity, RawLineFn onLine,
                           void* ctx, bool* failed) {
  *failed = false;
  if (c->socket == kNoSocket || capacity < 1) {
    *failed = count > 0;
    return 0;
  }
  LineHandout h = {capacity, onLine, ctx, 0, count, false};
  Consume(c, HandOut(&h, c->recvBuffer, c->buffered));
  if (h.stopped || h.done == count) return h.done;
  // Without the larger area the record's buffer does, a receive at a time.
  char* area = TakeArea();
  ReadClock clock = {false, 0, 0};
  bool ok = true;
  while (ok && !h.stopped && h.done < count) {
    unsigned long before = h.done;
    // The record now holds part of a line at most.
    if (area && count - h.done >= kBulkLines) {
      ok = c->closed == 0 && ReceiveBulk(c, &h, area, &clock);
    } else if (!area) {
      ok = Receive(c, &clock);
      if (ok) Consume(c, HandOut(&h, c->recvBuffer, c->buffered));
    } else if (c->closed != 0 || c->buffered >= kRecvCapacity || WaitForData(c, &clock) <= 0) {
      ok = false;
    } else {
      int held = c->buffered;
      memcpy(area, c->recvBuffer, static_cast<size_t>(held));
      int peeked = recv(AsSocket(c->socket), area + held, kPeekSize - held, MSG_PEEK);
      int taken = peeked > 0 ? HandOut(&h, area, held + peeked) : 0;
      if (peeked <= 0) {
        ok = false;
      } else if (taken > 0) {
        // The first line began with what the record held.
        Consume(c, held);
        if (c->closed == 0) ok = Discard(c, area, taken - held);
      } else {
        // No whole line yet: the part comes into the record as a receive
        // would bring it, as far as there is room.
        int room = kRecvCapacity - held;
        int got = recv(AsSocket(c->socket), c->recvBuffer + held, peeked < room ? peeked : room, 0);
        ok = got > 0;
        if (ok) {
          c->buffered += got;
          c->recvBuffer[c->buffered] = '\0';
        }
      }
    }
    if (h.done > before) clock.started = false;  // the next line's read starts now
  }
  GiveBackArea(area);
  if (!ok) {
    CloseConnection(c);
    *failed = true;
  }
  return h.done;
}

int ReadReply(StoreConnection* c, char* text, int capacity, bool splitCode) {
  return ReadLine(c, text, capacity, splitCode).code;
}

bool ReadChunkCounted(StoreConnection* c, char* text, int bound, int* wireBytes) {
  *wireBytes = 0;
  if (c->socket == kNoSocket || bound < 1) return false;
  if (bound > kRecvCapacity) bound = kRecvCapacity;
  ReadClock clock = {false, 0, 0};
  for (;;) {
    // A line feed at offset `bound` still ends a line of `bound` bytes.
    int lf = FindLineFeed(c, bound + 1);
    if (lf >= 0) {
      CopyOut(c, lf, text, bound + 1);
      Consume(c, lf + 1);
      *wireBytes = lf + 1;
      return true;
    }
    if (c->buffered >= bound) {
      memcpy(text, c->recvBuffer, static_cast<size_t>(bound));
      text[bound] = '\0';
      Consume(c, bound);
      *wireBytes = bound;
      return true;
    }
    if (!Receive(c, &clock)) {
      CloseConnection(c);
      return false;
    }
  }
}

bool ReadChunk(StoreConnection* c, char* text, int bound) {
  int ignored;
  return ReadChunkCounted(c, text, bound, &ignored);
}
