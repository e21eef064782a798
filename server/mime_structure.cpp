#include "mime_structure.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <mutex>

#include "message_facts.h"
#include "wire_words.h"

namespace {

// Bare LF positions, to turn raw offsets into wire offsets.
class WireOffsets {
 public:
  explicit WireOffsets(std::string_view m) {
    for (size_t i = 0; i < m.size(); ++i)
      if (m[i] == '\n' && (i == 0 || m[i - 1] != '\r')) bare_.push_back(i);
  }
  uint64_t At(size_t raw) const {
    return raw + static_cast<uint64_t>(std::lower_bound(bare_.begin(), bare_.end(), raw) -
                                       bare_.begin());
  }

 private:
  std::vector<size_t> bare_;
};

bool IsTokenChar(char c) {
  return c > 0x20 && c < 0x7F && !strchr("()<>@,;:\\\"/[]?=", c);
}

// "type/subtype" at the start of a Content-Type value, blanks allowed around '/'.
bool HasTypePair(const char* v) {
  while (*v == ' ' || *v == '\t' || *v == '\r' || *v == '\n') ++v;
  if (!IsTokenChar(*v)) return false;
  while (IsTokenChar(*v)) ++v;
  while (*v == ' ' || *v == '\t') ++v;
  if (*v++ != '/') return false;
  while (*v == ' ' || *v == '\t') ++v;
  return IsTokenChar(*v);
}

MimeLine Closing(MimeLineKind kind) {
  MimeLine l;
  l.kind = kind;
  return l;
}

bool IsLwsp(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Whether line (without its LF) is "--boundary" or "--boundary--" with
// trailing blanks; *closing tells which.
bool IsDelimiter(std::string_view line, std::string_view boundary, bool* closing) {
  if (line.size() < boundary.size() + 2 || line[0] != '-' || line[1] != '-') return false;
  if (line.compare(2, boundary.size(), boundary) != 0) return false;
  std::string_view rest = line.substr(2 + boundary.size());
  *closing = rest.size() >= 2 && rest[0] == '-' && rest[1] == '-';
  if (*closing) rest.remove_prefix(2);
  for (char c : rest)
    if (!IsLwsp(c)) return false;
  return true;
}

struct Walker {
  std::string_view msg;
  WireOffsets wire;
  std::vector<MimeLine>* out;
  int depth = 0;

  // obj's extent in msg is [begin, end): its own header block, then its body.
  void Walk(GMimeObject* obj, size_t begin, size_t end) {
    if (++depth > 100) {  // hostile nesting: stop describing, stay bounded
      --depth;
      return;
    }
    std::string_view extent = msg.substr(begin, end - begin);
    size_t bodyBegin = begin + FindBodyStart(extent);
    std::string_view body = msg.substr(bodyBegin, end - bodyBegin);

    MimeLine line;
    line.kind = kMimePart;
    GMimeContentType* ct = g_mime_object_get_content_type(obj);
    const char* type = ct ? g_mime_content_type_get_media_type(ct) : nullptr;
    const char* subtype = ct ? g_mime_content_type_get_media_subtype(ct) : nullptr;
    // A Content-Type without a type/subtype pair means text/plain.
    const char* rawType = g_mime_object_get_header(obj, "Content-Type");
    const char* charset = ct ? g_mime_content_type_get_parameter(ct, "charset") : nullptr;
    GMimeParamList* looseParams = nullptr;
    if (rawType && !HasTypePair(rawType)) {
      type = subtype = nullptr;
      // Its parameters still say something ("text; charset=us-ascii").
      const char* semi = strchr(rawType, ';');
      looseParams = semi ? g_mime_param_list_parse(nullptr, semi + 1) : nullptr;
      GMimeParam* p = looseParams ? g_mime_param_list_get_parameter(looseParams, "charset") : nullptr;
      charset = p ? g_mime_param_get_value(p) : nullptr;
    }
    line.type = WireToken(type ? type : "text");
    line.subtype = WireToken(subtype ? subtype : "plain");
    line.charset = charset && *charset ? WireToken(charset) : "-";
    if (looseParams) g_object_unref(looseParams);
    const char* cte = g_mime_object_get_header(obj, "Content-Transfer-Encoding");
    std::string encoding;
    if (cte) {
      std::string v = cte;
      size_t b = v.find_first_not_of(" \t\r\n");
      size_t e = b == std::string::npos ? b : v.find_first_of(" \t\r\n;(", b);
      if (b != std::string::npos) encoding = v.substr(b, e == std::string::npos ? e : e - b);
    }
    line.encoding = encoding.empty() ? "7bit" : WireToken(encoding);
    // Any part may be named, containers too (a forwarded message often is).
    GMimeContentDisposition* disposition = g_mime_object_get_content_disposition(obj);
    const char* name =
        disposition ? g_mime_content_disposition_get_parameter(disposition, "filename") : nullptr;
    if (!name && ct) name = g_mime_content_type_get_parameter(ct, "name");
    line.name = name && *name ? WireValueWord(name) : "-";
    line.bodyOffset = wire.At(bodyBegin);
    line.bytes = WireBytes(body);
    line.headerBytes = WireBytes(msg.substr(begin, bodyBegin - begin));
    line.lines = LineCount(body);
    out->push_back(line);

    if (GMIME_IS_MULTIPART(obj)) {
      GMimeMultipart* mp = GMIME_MULTIPART(obj);
      const char* boundary = g_mime_multipart_get_boundary(mp);
      std::vector<Extent> parts;
      if (boundary && *boundary) parts = SplitMultipart(body, boundary);
      int count = g_mime_multipart_get_count(mp);
      // GMime passes over empty parts between two delimiters; so do the extents
      // then, to stay paired with GMime's children.
      if (parts.size() != static_cast<size_t>(count)) {
        std::vector<Extent> filled;
        for (const Extent& x : parts)
          if (x.end > x.begin) filled.push_back(x);
        if (filled.size() == static_cast<size_t>(count)) parts.swap(filled);
      }
      for (int i = 0; i < count; ++i) {
        GMimeObject* child = g_mime_multipart_get_part(mp, i);
        // A child GMime found beyond the delimiters seen here has no bytes of its own.
        size_t b = i < static_cast<int>(parts.size()) ? bodyBegin + parts[i].begin : end;
        size_t e = i < static_cast<int>(parts.size()) ? bodyBegin + parts[i].end : end;
        Walk(child, b, e);
      }
    } else if (GMIME_IS_MESSAGE_PART(obj)) {
      GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(obj));
      GMimeObject* top = inner ? g_mime_message_get_mime_part(inner) : nullptr;
      if (top) Walk(top, bodyBegin, end);
    }
    // Clients nest every "multipart" and "message" part until its closing line,
    // so one follows even where nothing was nested (message/delivery-status,
    // a multipart without a boundary).
    if (line.type == "multipart") out->push_back(Closing(kMimeEndMultipart));
    else if (line.type == "message") out->push_back(Closing(kMimeEndMessage));
    --depth;
  }
};

}  // namespace

void EnsureMimeLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
}

std::vector<Extent> SplitMultipart(std::string_view body, std::string_view boundary) {
  std::vector<Extent> parts;
  bool open = false;  // inside a body part
  size_t partBegin = 0;
  size_t pos = 0;
  while (pos < body.size()) {
    size_t lf = body.find('\n', pos);
    size_t lineEnd = lf == std::string_view::npos ? body.size() : lf;
    bool closing = false;
    if (IsDelimiter(body.substr(pos, lineEnd - pos), boundary, &closing)) {
      if (open) {
        // The line end before a delimiter belongs to the delimiter.
        size_t e = pos;
        if (e > partBegin && body[e - 1] == '\n') --e;
        if (e > partBegin && body[e - 1] == '\r') --e;
        parts.push_back({partBegin, std::max(partBegin, e)});
      }
      if (closing) return parts;
      open = true;
      partBegin = lf == std::string_view::npos ? body.size() : lf + 1;
    }
    if (lf == std::string_view::npos) break;
    pos = lf + 1;
  }
  // No closing delimiter: the last part runs to the end.
  if (open) parts.push_back({partBegin, body.size()});
  return parts;
}

std::vector<MimeLine> DescribeMime(std::string_view message) {
  std::vector<MimeLine> lines;
  if (DescribeMimePlainly(message, &lines)) return lines;
  return DescribeMimeWithLibrary(message);
}

std::vector<MimeLine> DescribeMimeWithLibrary(std::string_view message) {
  EnsureMimeLibrary();
  std::vector<MimeLine> lines;
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(message.data(), message.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  g_mime_parser_set_format(parser, GMIME_FORMAT_MESSAGE);
  // The top part with the message's header: the message-level fields
  // (addresses, dates) are not needed for the structure.
  GMimeObject* parsed = g_mime_parser_construct_part(parser, nullptr);
  Walker w{message, WireOffsets(message), &lines};
  GMimeObject* top = parsed;
  if (top) {
    w.Walk(top, 0, message.size());
  } else {
    // Nothing GMime could read as a message: one plain part of everything.
    size_t bodyBegin = FindBodyStart(message);
    MimeLine l{kMimePart, "text", "plain", "-", "7bit", "-", 0, 0, 0, 0};
    l.bodyOffset = w.wire.At(bodyBegin);
    l.bytes = WireBytes(message.substr(bodyBegin));
    l.headerBytes = WireBytes(message.substr(0, bodyBegin));
    l.lines = LineCount(message.substr(bodyBegin));
    lines.push_back(l);
  }
  if (parsed) g_object_unref(parsed);
  g_object_unref(parser);
  g_object_unref(stream);
  return lines;
}

std::string FormatMimeLine(const MimeLine& l) {
  if (l.kind == kMimeEndMultipart) return "2003 end of multipart";
  if (l.kind == kMimeEndMessage) return "2004 end of message";
  return "2002 " + l.type + " " + l.subtype + " " + l.charset + " " + l.encoding + " " + l.name +
         " " + std::to_string(l.bodyOffset) + " " + std::to_string(l.bytes) + " " +
         std::to_string(l.headerBytes) + " " + std::to_string(l.lines);
}

namespace {

// Words most answers are made of, packed as one byte each (their index);
// others are written out after kWordWritten and their length.
constexpr std::string_view kCommonWords[] = {
    "-", "text", "plain", "html", "multipart", "mixed", "alternative", "related", "report",
    "signed", "digest", "message", "rfc822", "delivery-status", "rfc822-headers", "application",
    "octet-stream", "pdf", "zip", "pgp-signature", "pkcs7-signature", "x-pkcs7-signature",
    "ms-tnef", "msword", "image", "jpeg", "png", "gif", "calendar", "us-ascii", "utf-8", "iso-8859-1",
    "iso-8859-15", "iso-8859-2", "windows-1252", "windows-1251", "koi8-r", "iso-2022-jp", "7bit",
    "8bit", "base64", "quoted-printable", "binary",
};
constexpr unsigned char kWordWritten = 0xFF;
// No packed byte stands for more than this many bytes of text (a closing
// line; a part's "2002" and line end; a common word and its blank; a
// number's seven bits, at most three digits).
constexpr size_t kTextPerPackedByte = 23;
constexpr size_t kCommonCount = sizeof kCommonWords / sizeof kCommonWords[0];
static_assert(kCommonCount < kWordWritten, "word indexes are one byte");

void PackNumber(std::string* out, uint64_t v) {
  for (; v >= 0x80; v >>= 7) *out += static_cast<char>(0x80 | (v & 0x7F));
  *out += static_cast<char>(v);
}

uint64_t UnpackNumber(const unsigned char** p) {
  uint64_t v = 0;
  for (int shift = 0;; shift += 7) {
    unsigned char b = *(*p)++;
    v |= static_cast<uint64_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) return v;
  }
}

// UnpackNumber within [*p, end): at most ten bytes, within 64 bits.
bool UnpackNumberWithin(const unsigned char** p, const unsigned char* end, uint64_t* v) {
  uint64_t n = 0;
  for (int shift = 0; shift < 70; shift += 7) {
    if (*p == end) return false;
    unsigned char b = *(*p)++;
    if (shift == 63 && b > 1) return false;
    n |= static_cast<uint64_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) {
      *v = n;
      return true;
    }
  }
  return false;
}

size_t Digits(uint64_t v) {
  size_t d = 1;
  for (; v >= 10; v /= 10) ++d;
  return d;
}

void PackWord(std::string* out, const std::string& w) {
  for (size_t i = 0; i < kCommonCount; ++i) {
    if (w == kCommonWords[i]) {
      *out += static_cast<char>(i);
      return;
    }
  }
  *out += static_cast<char>(kWordWritten);
  PackNumber(out, w.size());
  *out += w;
}

}  // namespace

char* PackMime(const std::vector<MimeLine>& lines) {
  std::string p;
  for (const MimeLine& l : lines) {
    p += static_cast<char>(l.kind - kMimePart);  // one byte: 0, 1 or 2
    if (l.kind != kMimePart) continue;
    for (const std::string* w : {&l.type, &l.subtype, &l.charset, &l.encoding, &l.name})
      PackWord(&p, *w);
    for (uint64_t v : {l.bodyOffset, l.bytes, l.headerBytes, l.lines}) PackNumber(&p, v);
  }
  if (p.size() > kPackedMimeMax) return nullptr;
  // Its length first, as a packed number.
  std::string head;
  PackNumber(&head, p.size());
  char* block = new char[head.size() + p.size()];
  memcpy(block, head.data(), head.size());
  memcpy(block + head.size(), p.data(), p.size());
  return block;
}

void AppendPackedMime(const char* packed, std::string* out) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(packed);
  uint64_t size = UnpackNumber(&p);
  const unsigned char* end = p + size;
  // Written in place, in room for kTextPerPackedByte bytes of text a packed byte.
  size_t start = out->size();
  out->resize(start + size * kTextPerPackedByte);
  char* w = &(*out)[start];
  auto put = [&](std::string_view s) {
    memcpy(w, s.data(), s.size());
    w += s.size();
  };
  while (p < end) {
    int kind = kMimePart + *p++;
    if (kind == kMimeEndMultipart) {
      put("2003 end of multipart\r\n");
      continue;
    }
    if (kind == kMimeEndMessage) {
      put("2004 end of message\r\n");
      continue;
    }
    put("2002");
    for (int i = 0; i < 5; ++i) {
      *w++ = ' ';
      unsigned char code = *p++;
      if (code != kWordWritten) {
        put(kCommonWords[code]);
        continue;
      }
      uint64_t n = UnpackNumber(&p);
      put(std::string_view(reinterpret_cast<const char*>(p), n));
      p += n;
    }
    for (int i = 0; i < 4; ++i) {
      *w++ = ' ';
      w = std::to_chars(w, w + 20, UnpackNumber(&p)).ptr;
    }
    put("\r\n");
  }
  out->resize(static_cast<size_t>(w - out->data()));
}

std::string_view PackedMimeBlock(const char* packed) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(packed);
  uint64_t size = UnpackNumber(&p);
  size_t head = static_cast<size_t>(p - reinterpret_cast<const unsigned char*>(packed));
  return std::string_view(packed, head + static_cast<size_t>(size));
}

bool PackedMimeValid(std::string_view block) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(block.data());
  const unsigned char* end = p + block.size();
  uint64_t size;
  if (!UnpackNumberWithin(&p, end, &size) || size == 0 || size > kPackedMimeMax ||
      size != static_cast<uint64_t>(end - p))
    return false;
  uint64_t text = 0;  // what AppendPackedMime would write
  while (p < end) {
    unsigned char kind = *p++;
    if (kind == kMimeEndMultipart - kMimePart) {
      text += strlen("2003 end of multipart\r\n");
      continue;
    }
    if (kind == kMimeEndMessage - kMimePart) {
      text += strlen("2004 end of message\r\n");
      continue;
    }
    if (kind != 0) return false;
    text += strlen("2002\r\n");
    for (int i = 0; i < 5; ++i) {
      if (p == end) return false;
      unsigned char code = *p++;
      if (code < kCommonCount) {
        text += 1 + kCommonWords[code].size();
        continue;
      }
      uint64_t n;
      if (code != kWordWritten || !UnpackNumberWithin(&p, end, &n) || n == 0 || n > kWordMax ||
          n > static_cast<uint64_t>(end - p))
        return false;
      for (const unsigned char* c = p; c < p + n; ++c)
        if (*c <= 0x20 || *c == 0x7F) return false;
      p += n;
      text += 1 + n;
    }
    for (int i = 0; i < 4; ++i) {
      uint64_t v;
      if (!UnpackNumberWithin(&p, end, &v)) return false;
      text += 1 + Digits(v);
    }
  }
  return text <= size * kTextPerPackedByte;
}
