#include "store_commands.h"

#include <winsock.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr AnswerBounds kDefaultBounds = {20000, 100000, 2097152, 256ull << 20, 1ull << 20};
AnswerBounds g_bounds = kDefaultBounds;

// An answer that passed its bound is not finished: the rest of it must not
// be read as the answer of the next command.
int TooLong(StoreConnection* c) {
  CloseConnection(c);
  return kStoreTooLong;
}

// Counts what one answer made the caller hold; false once past the bounds.
struct AnswerMeter {
  unsigned long lines, maxLines;
  unsigned long long bytes, maxBytes;
  bool Take(size_t textBytes) {
    bytes += textBytes;
    return ++lines <= maxLines && bytes <= maxBytes;
  }
};

AnswerMeter DetailsMeter() { return {0, g_bounds.detailLines, 0, ~0ull}; }
AnswerMeter ListMeter(unsigned long maxEntries) {
  return {0, maxEntries, 0, g_bounds.listTextBytes};
}

// Reads replies until code 1000; every other line goes to onLine when
// wanted (code 2001 only, or any code). Every line counts against the
// meter, handed out or not. 1, 0 when a read failed first, kStoreTooLong.
int ReadUntilDone(StoreConnection* c, bool onlyListLines, void (*onLine)(void*, const char*),
                  void* ctx, AnswerMeter meter) {
  char text[kReplyCapacity];
  for (;;) {
    LineRead r = ReadLine(c, text, sizeof text, true);
    if (!r.ok) return kStoreFailed;
    if (r.code == 1000) return kStoreOk;
    bool wanted = !onlyListLines || r.code == 2001;
    if (!meter.Take(wanted ? strlen(text) : 0)) return TooLong(c);
    if (wanted) onLine(ctx, text);
  }
}

bool SendCommand(StoreConnection* c, const char* command) {
  SendAll(c, command, static_cast<int>(strlen(command)));
  return !IsConnectionClosed(c);
}

// Reads `count` replies; false when one of them could not be read. The code of
// the last one is left in *lastCode and its text in text.
bool ReadReplies(StoreConnection* c, int count, char* text, int* lastCode) {
  for (int i = 0; i < count; ++i) {
    LineRead r = ReadLine(c, text, kReplyCapacity, true);
    if (!r.ok) return false;
    *lastCode = r.code;
  }
  return true;
}

// Leading decimal digits after blanks, saturating far above any real size.
long long LeadingSize(const char* s) {
  while (*s == ' ') ++s;
  long long v = 0;
  for (; *s >= '0' && *s <= '9'; ++s) {
    v = v * 10 + (*s - '0');
    if (v > (1ll << 60)) v = 1ll << 60;
  }
  return v;
}

// The code of a raw line shaped like a reply line (four digits, then a
// space or a hyphen), or -1.
int ReplyLineCode(const char* line) {
  for (int i = 0; i < 4; ++i)
    if (line[i] < '0' || line[i] > '9') return -1;
  if (line[4] != ' ' && line[4] != '-') return -1;
  return (line[0] - '0') * 1000 + (line[1] - '0') * 100 + (line[2] - '0') * 10 + (line[3] - '0');
}

// A raw line that is a store error ends the answer it stands in; 5001 also
// ends the connection, as it does when read with its code split off.
bool EndsOnError(StoreConnection* c, const char* line) {
  int code = ReplyLineCode(line);
  if (!IsErrorCode(code)) return false;
  if (code == kCodeServerQuit) CloseConnection(c);
  return true;
}

template <typename Node>
Node* NewNode(const char* name) {
  size_t n = strlen(name);
  Node* node = static_cast<Node*>(calloc(1, sizeof(Node) + n));
  if (node) memcpy(node->name, name, n + 1);
  return node;
}

bool IsContainerPart(const char* replyText) {
  return strncasecmp(replyText, "multipart", 9) == 0 || strncasecmp(replyText, "message", 7) == 0;
}

}  // namespace

const AnswerBounds kAnswerBounds = kDefaultBounds;

AnswerBounds SetAnswerBounds(const AnswerBounds& bounds) {
  AnswerBounds former = g_bounds;
  g_bounds = bounds;
  return former;
}

const AnswerBounds& CurrentAnswerBounds() { return g_bounds; }

bool IsErrorCode(int code) { return code >= 4000 && code <= 5999; }

bool ScanCount(const char* text, unsigned long* out) {
  while (*text == ' ') ++text;
  unsigned long long v = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    v = v * 10 + static_cast<unsigned>(*text - '0');
    if (v > 0xFFFFFFFFull) return false;
  }
  *out = static_cast<unsigned long>(v);
  return true;
}

bool FormatCommand(char* out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = vsnprintf(out, kCommandSize, format, args);
  va_end(args);
  // A cut command would lose its line end and leave the store waiting.
  return n >= 0 && n < kCommandSize;
}

UserNode* NewUserNode(StoreConnection* c, const char* name) {
  UserNode* u = NewNode<UserNode>(name);
  if (u) {
    u->nodeKind = kNodeUser;
    u->connection = c;
  }
  return u;
}

MailboxNode* NewMailboxNode(StoreConnection* c, UserNode* user, const char* name) {
  MailboxNode* m = NewNode<MailboxNode>(name);
  if (m) {
    m->nodeKind = kNodeMailbox;
    m->connection = c;
    m->user = user;
  }
  return m;
}

void FreeStoreRecord(void* record) {
  if (!record) return;
  auto* c = static_cast<StoreConnection*>(record);
  if (c->nodeKind == kNodeServer && c->closed == 0 && c->socket != kNoSocket) {
    closesocket(static_cast<SOCKET>(c->socket));
  }
  free(record);
}

int StoreListUsers(StoreConnection* c, StoreTextFn onUser, void* ctx) {
  char text[kReplyCapacity];
  LineRead greeting = ReadLine(c, text, sizeof text, true);
  if (!greeting.ok || greeting.code != 1000) return 0;
  if (!SendCommand(c, "ULIST\r\n")) return 0;
  return ReadUntilDone(c, true, onUser, ctx, ListMeter(g_bounds.treeEntries));
}

int StoreListMailboxes(StoreConnection* c, const char* user, StoreTextFn onMailbox, void* ctx) {
  char command[kCommandSize];
  if (!FormatCommand(command, "RSET\r\nUSER %s\r\nSHOW\r\n", user)) return kStoreNotSent;
  if (!SendCommand(c, command)) return 0;
  char text[kReplyCapacity];
  int code = 0;
  if (!ReadReplies(c, 3, text, &code)) return 0;
  if (code != 2002) return 0;
  AnswerMeter meter = ListMeter(g_bounds.treeEntries);
  for (;;) {
    LineRead r = ReadLine(c, text, sizeof text, true);
    if (!r.ok) return 0;
    if (r.code == 1000) return 1;
    // "5001 service disabled" is the store's last word, not a mailbox.
    if (IsErrorCode(r.code)) return 0;
    size_t n = strlen(text);
    if (!meter.Take(n)) return TooLong(c);
    // Hierarchy nodes end in a slash and are not mailboxes.
    if (n > 0 && text[n - 1] != '/') onMailbox(ctx, text);
  }
}

namespace {

// Characters as the C library's scanner tells them apart: white space
// (blanks, tab to carriage return), digits, and the string's end.
enum : unsigned char { kScanSpace = 1, kScanDigit = 2, kScanEnd = 4 };
struct ScanClasses {
  unsigned char of[256];
  constexpr ScanClasses() : of() {
    of[0] = kScanEnd;
    of[static_cast<unsigned char>(' ')] = kScanSpace;
    for (int c = '\t'; c <= '\r'; ++c) of[c] = kScanSpace;
    for (int c = '0'; c <= '9'; ++c) of[c] = kScanDigit;
  }
};
constexpr ScanClasses kScan;

inline unsigned char ClassOf(const char* s) { return kScan.of[static_cast<unsigned char>(*s)]; }

// "%*u": blanks, an optional sign, at least one digit. The end, or null.
const char* SkipNumber(const char* s) {
  while (ClassOf(s) == kScanSpace) ++s;
  if (*s == '+' || *s == '-') ++s;
  if (ClassOf(s) != kScanDigit) return nullptr;
  while (ClassOf(s) == kScanDigit) ++s;
  return s;
}

// "%s": blanks, then at least one other character. The word's start, or
// null; *end is set past the word.
const char* FindWord(const char* s, const char** end) {
  while (ClassOf(s) == kScanSpace) ++s;
  if (!*s) return nullptr;
  const char* e = s;
  while (!(ClassOf(e) & (kScanSpace | kScanEnd))) ++e;
  *end = e;
  return s;
}

#if defined(__SSE2__)
// The list text of a line as stores send it, sixteen bytes at a time: five
// runs of digits, then two words, all apart by white space. Null for any
// other line (a sign, a number run into a word, too few words), which the
// byte-wise scan then decides. Loads are aligned, so none crosses into a
// page past the line's end.
const char* FastInfoWord(const char* line, const char** end) {
  const __m128i blank = _mm_set1_epi8(' '), afterCr = _mm_set1_epi8('\r' + 1);
  const __m128i beforeTab = _mm_set1_epi8('\t' - 1), zero = _mm_setzero_si128();
  const __m128i beforeZero = _mm_set1_epi8('0' - 1), afterNine = _mm_set1_epi8('9' + 1);
  uintptr_t address = reinterpret_cast<uintptr_t>(line);
  const char* base = reinterpret_cast<const char*>(address & ~static_cast<uintptr_t>(15));
  unsigned from = 0xFFFFu << (address & 15);  // the chunk's bytes that are the line's
  int runs = 0;        // runs of non-blanks begun so far
  unsigned carry = 0;  // whether the chunk before ended inside a run
  const char* word = nullptr;
  for (;; base += 16, from = 0xFFFFu) {
    __m128i x = _mm_load_si128(reinterpret_cast<const __m128i*>(base));
    unsigned white = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
        _mm_cmpeq_epi8(x, blank),
        _mm_and_si128(_mm_cmpgt_epi8(x, beforeTab), _mm_cmplt_epi8(x, afterCr)))));
    unsigned digit = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_and_si128(_mm_cmpgt_epi8(x, beforeZero), _mm_cmplt_epi8(x, afterNine))));
    unsigned nul = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, zero))) & from;
    if (word) {  // the list text began in a chunk before: where does it end?
      if (white | nul) {
        *end = base + __builtin_ctz(white | nul);
        return word;
      }
      continue;
    }
    unsigned valid = (nul ? (nul & (0u - nul)) - 1 : 0xFFFFu) & from;
    unsigned solid = ~white & valid;  // bytes of numbers and words
    unsigned starts = solid & ~((solid << 1) | carry);
    unsigned numbers = runs < 6 ? valid : 0;  // bytes still in the five numbers
    while (starts && !word) {
      unsigned at = static_cast<unsigned>(__builtin_ctz(starts));
      starts &= starts - 1;
      ++runs;
      if (runs == 6) numbers &= (1u << at) - 1;
      if (runs == 7) word = base + at;
    }
    if (solid & ~digit & numbers) return nullptr;  // a sign or a letter among the numbers
    if (word) {
      unsigned stop = (white | nul) & ~((1u << (word - base)) - 1);
      if (stop) {
        *end = base + __builtin_ctz(stop);
        return word;
      }
    } else if (nul) {
      return nullptr;  // the line ended before its list text
    }
    carry = solid >> 15;
  }
}
#endif

// Where the list text of an INFO line lies, as sscanf(line, "%*u %*u %*u
// %*u %*u %*s %1024s %*u", ...) would take it (*length at most 1,024), or
// null. By hand: the library's scanner costs more than the rest of a listing.
const char* FindInfoText(const char* line, size_t* length) {
  const char* end = nullptr;
  const char* word = nullptr;
#if defined(__SSE2__)
  word = FastInfoWord(line, &end);
#endif
  if (!word) {
    const char* s = line;
    for (int i = 0; i < 5 && s; ++i) s = SkipNumber(s);
    if (s) s = FindWord(s, &end) ? end : nullptr;
    word = s ? FindWord(s, &end) : nullptr;
  }
  if (!word) return nullptr;
  size_t n = static_cast<size_t>(end - word);
  *length = n < kReplyCapacity - 1 ? n : kReplyCapacity - 1;
  return word;
}

}  // namespace

bool ScanInfoLine(const char* line, char* listText) {
  size_t n = 0;
  const char* word = FindInfoText(line, &n);
  if (word) memcpy(listText, word, n);
  listText[word ? n : 0] = '\0';
  return word != nullptr;
}

namespace {

// One INFO answer's message lines as they are read.
struct InfoLines {
  StoreConnection* c;
  const MessageListSink* sink;
  AnswerMeter meter;
  unsigned long number;  // of the line in hand, from 1
  int result;            // when a line ended the answer early
  char empty;            // the list text of a line that does not scan
};

bool TakeInfoLine(void* ctx, char* line) {
  auto* in = static_cast<InfoLines*>(ctx);
  size_t n = 0;
  char* text = const_cast<char*>(FindInfoText(line, &n));
  // A line that does not scan may still be a message; an error reply is not.
  if (!text && EndsOnError(in->c, line)) {
    in->result = 0;
    return false;
  }
  // The list text is ended where it lies: the line is the reader's to change.
  if (text) text[n] = '\0';
  else text = &in->empty;
  if (!in->meter.Take(n)) {
    in->result = TooLong(in->c);
    return false;
  }
  if (in->sink->onMessage) in->sink->onMessage(in->sink->ctx, in->number, text);
  ++in->number;
  return true;
}

}  // namespace

int StoreListMessages(StoreConnection* c, const char* user, const char* mailbox,
                      const MessageListSink& sink) {
  char command[kCommandSize];
  if (!FormatCommand(command, "RSET MBOX\r\nUSER %s\r\nMBOX %s\r\nFLAG %lu\r\nINFO\r\n", user,
                     mailbox, kInfoFlag))
    return kStoreNotSent;
  if (!SendCommand(c, command)) return 0;
  char text[kReplyCapacity];
  int code = 0;
  if (!ReadReplies(c, 5, text, &code)) return 0;
  if (code != 2002) return 0;
  unsigned long count = 0;
  // The lines of a count that is refused are not read: the answer cannot
  // be finished, so the connection goes with it.
  if (!ScanCount(text, &count) || count > g_bounds.messages) {
    CloseConnection(c);
    return kStoreCountRefused;
  }
  if (sink.onCount) sink.onCount(sink.ctx, count);
  InfoLines lines = {c, &sink, ListMeter(count), 1, 0, {}};
  bool failed = false;
  ReadRawLines(c, count, kReplyCapacity, TakeInfoLine, &lines, &failed);
  if (failed || lines.number <= count) return failed ? 0 : lines.result;
  // The closing reply; its code says nothing the list needs. A further
  // message line in its place means the answer goes on past its count: it
  // cannot be finished, so the connection goes with it.
  LineRead closing = ReadLine(c, text, sizeof text, false);
  if (!closing.ok) return 0;
  char listText[kReplyCapacity];
  if (ScanInfoLine(text, listText) || closing.code == 2001 || closing.code == 2002)
    return TooLong(c);
  if (closing.code == kCodeServerQuit) CloseConnection(c);
  return 1;
}

int StoreRemoveMailbox(StoreConnection* c, const char* mailbox) {
  char command[kCommandSize];
  if (!FormatCommand(command, "RSET MBOX\r\nRMOV %s\r\n", mailbox)) return kStoreNotSent;
  if (!SendCommand(c, command)) return 0;
  char text[kReplyCapacity];
  int code = 0;
  return ReadReplies(c, 2, text, &code) && code == 1000 ? 1 : 0;
}

int StoreCapabilities(StoreConnection* c, StoreTextFn onLine, void* ctx) {
  if (!SendCommand(c, "CAPA\r\n")) return 0;
  return ReadUntilDone(c, true, onLine, ctx, DetailsMeter());
}

int StoreConfiguration(StoreConnection* c, StoreTextFn onEntry, void* ctx) {
  if (!SendCommand(c, "CONF\r\n")) return 0;
  return ReadUntilDone(c, true, onEntry, ctx, DetailsMeter());
}

int StoreSpace(StoreConnection* c, unsigned long* usedKb, unsigned long* limitKb) {
  *usedKb = *limitKb = 0;
  if (!SendCommand(c, "SPACE\r\n")) return 0;
  char text[kReplyCapacity];
  LineRead r = ReadLine(c, text, sizeof text, true);
  if (!r.ok || r.code != 1000) return 0;
  sscanf(text, "%lu %lu", usedKb, limitKb);
  return 1;
}

int StoreMailboxStat(StoreConnection* c, MailboxStat* out) {
  memset(out, 0, sizeof *out);
  if (!SendCommand(c, "STAT\r\n")) return 0;
  char text[kReplyCapacity];
  LineRead r = ReadLine(c, text, sizeof text, true);
  if (!r.ok || r.code != 1000) return 0;
  sscanf(text, "%*s %lu %lu %lu %lu", &out->messages, &out->totalBytes, &out->newMessages,
         &out->newBytes);
  return 1;
}

int ScanMessageDetails(const char* text, MessageDetails* out) {
  memset(out, 0, sizeof *out);
  unsigned long unused = 0;
  int n = sscanf(text, "%*u %lu %lu %lu %lu %1024s %lu %lu %1024s", &out->totalBytes, &out->headerBytes,
         &out->bodyBytes, &out->flags, out->hash, &out->uniqueId, &unused, out->sender);
  return n < 0 ? 0 : n;
}

bool SenderVerified(const MessageDetails& d) { return d.sender[0] != '-'; }

int StoreMessageDetails(StoreConnection* c, int number, MessageDetails* out) {
  memset(out, 0, sizeof *out);
  char command[kCommandSize];
  FormatCommand(command, "AINFO %d\r\n", number);
  if (!SendCommand(c, command)) return 0;
  char text[kReplyCapacity];
  LineRead r = ReadLine(c, text, sizeof text, true);
  if (!r.ok || r.code != 2001) return 0;
  // Half an answer is no answer: an empty sender or a body size of 0 that
  // the store never said must not be shown or acted on.
  if (ScanMessageDetails(text, out) != 8) {
    memset(out, 0, sizeof *out);
    return 0;
  }
  return 1;
}

void ScanMimePart(const char* text, MimePart* out) {
  out->type[0] = out->subtype[0] = out->charset[0] = out->encoding[0] = out->name[0] = '\0';
  out->bytes = out->lines = 0;
  sscanf(text, "%1024s %1024s %1024s %1024s %1024s %*u %lu %*u %lu", out->type, out->subtype,
         out->charset, out->encoding, out->name, &out->bytes, &out->lines);
  out->container = IsContainerPart(text);
  out->named = out->name[0] != '-';
}

int StoreMime(StoreConnection* c, int number, MimePartFn onPart, void* ctx) {
  char command[kCommandSize];
  FormatCommand(command, "MIME %d\r\n", number);
  if (!SendCommand(c, command)) return 0;
  char text[kReplyCapacity];
  // Five words of up to 1,024 characters each do not fit a small stack.
  MimePart* part = static_cast<MimePart*>(malloc(sizeof(MimePart)));
  if (!part) return 0;
  int level = 0;
  int result = 0;
  AnswerMeter meter = DetailsMeter();
  for (;;) {
    LineRead r = ReadLine(c, text, sizeof text, true);
    if (!r.ok) break;
    if (r.code == 1000) {
      result = 1;
      break;
    }
    if (!meter.Take(0)) {
      result = TooLong(c);
      break;
    }
    if (r.code == 2002) {
      ScanMimePart(text, part);
      part->level = level;
      onPart(ctx, *part);
      if (part->container) ++level;
    } else if ((r.code == 2003 || r.code == 2004) && level > 0) {
      --level;
    }
  }
  free(part);
  return result;
}

int StoreHeader(StoreConnection* c, int number, StoreTextFn onLine, void* ctx) {
  char command[kCommandSize];
  FormatCommand(command, "HEAD %d\r\n", number);
  if (!SendCommand(c, command)) return 0;
  char text[kReplyCapacity];
  LineRead first = ReadLine(c, text, sizeof text, true);
  if (!first.ok) return 0;
  if (first.code == 1000) return 1;  // nothing follows
  // An error reply has no header after it; waiting for one would only time out.
  if (first.code < 2000 || first.code >= 3000) return 0;
  AnswerMeter meter = DetailsMeter();
  for (;;) {
    LineRead r = ReadLine(c, text, sizeof text, false);
    if (!r.ok) return 0;
    bool replyLine = text[0] >= '0' && text[0] <= '9' && strlen(text) >= 5 && text[4] == ' ';
    if (replyLine && r.code == 1000) return 1;
    if (replyLine && EndsOnError(c, text)) return 0;
    if (!meter.Take(0)) return TooLong(c);
    if (!replyLine) onLine(ctx, text);
  }
}

namespace {

// BODY or BRAW; pieces past `limit` wire bytes are not handed out (see
// StoreShowBody).
int BodyExchange(StoreConnection* c, int number, unsigned long maxBytes, const BodyShow& show,
                 long long limit, long long drainBytes, char* reason) {
  reason[0] = '\0';
  char command[kCommandSize];
  if (maxBytes == 0)
    FormatCommand(command, "BODY %d\r\n", number);
  else
    FormatCommand(command, "BRAW %d 0 %lu\r\n", number, maxBytes);
  if (!SendCommand(c, command)) return kBodyLost;
  char text[kReplyCapacity];
  LineRead r = ReadLine(c, text, sizeof text, true);
  if (!r.ok) return kBodyLost;
  if (r.code != 2021 && r.code != 2025) {
    memcpy(reason, text, strlen(text) + 1);
    return kBodyRefused;
  }
  long long remaining = LeadingSize(text);
  if (remaining > limit && show.onCut) show.onCut(show.ctx);
  long long shown = 0;
  char piece[kBodyPieceArea];
  while (remaining > 0 && shown < limit) {
    long long bound = remaining < kBodyPiece ? remaining : static_cast<long long>(kBodyPiece);
    if (bound > limit - shown) bound = limit - shown;
    int wire = 0;
    if (!ReadChunkCounted(c, piece, static_cast<int>(bound), &wire)) return kBodyLost;
    show.onPiece(show.ctx, piece);
    // Count what the piece took off the wire: a line cut into pieces has only
    // one line end, and a bare line feed is one byte.
    remaining -= wire;
    shown += wire;
  }
  if (remaining > drainBytes) {
    CloseConnection(c);
    return kBodyCut;
  }
  // A little more than is shown is read and dropped: the connection stays in step.
  while (remaining > 0) {
    int wire = 0;
    int bound = remaining < kBodyPiece ? static_cast<int>(remaining) : kBodyPiece;
    if (!ReadChunkCounted(c, piece, bound, &wire)) return kBodyLost;
    remaining -= wire;
  }
  LineRead end = ReadLine(c, text, sizeof text, true);
  if (!end.ok) return kBodyLost;
  return end.code == 1000 ? kBodyOk : kBodyBadEnd;
}

}  // namespace

int StoreBody(StoreConnection* c, int number, unsigned long maxBytes, StoreTextFn onPiece,
              void* ctx, char* reason) {
  BodyShow whole = {onPiece, nullptr, ctx, 0};
  return BodyExchange(c, number, maxBytes, whole, 1ll << 62, 0, reason);
}

int StoreShowBody(StoreConnection* c, int number, unsigned long maxBytes, const BodyShow& show,
                  char* reason) {
  return BodyExchange(c, number, maxBytes, show, static_cast<long long>(show.limit),
                      static_cast<long long>(g_bounds.bodyDrainBytes), reason);
}
