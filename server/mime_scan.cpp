// The plain reading of a message's MIME structure, without GMime. Most mail
// is written plainly: ASCII MIME fields, quoted or token parameters, exact
// delimiter lines. For such a message this scanner gives the very lines the
// GMime walk gives, in a twentieth of the time. Whatever it is not certain to
// read as GMime does (encoded words, parameter continuations, comments, quoted
// pairs, 8-bit values, a field given twice, a line that is no field, odd
// delimiters, empty parts, unusual message parts...) makes it say "unsure",
// and GMime describes the message.
#include <cstring>

#include "message_facts.h"
#include "mime_structure.h"
#include "wire_words.h"

namespace {

constexpr int kPlainDepthMax = 40;  // deeper than any plain message nests

bool IsToken(char c) { return c > 0x20 && c < 0x7F && !strchr("()<>@,;:\\\"/[]?=", c); }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool SameWord(std::string_view a, const char* b) {
  size_t n = strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != b[i]) return false;
  }
  return true;
}

// The MIME fields of one header block, unfolded (continuation lines joined
// without their line ends).
struct MimeFields {
  std::string type, encoding, disposition;
  bool hasType = false, hasEncoding = false, hasDisposition = false;
  bool any = false;  // any field at all
};

// Field names as mail writes them; anything else is left to GMime.
bool PlainName(std::string_view name) {
  for (char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
          c == '_' || c == '.'))
      return false;
  return !name.empty();
}

// Reads the header block at the start of part. *bodyAt: where the body
// starts (after the empty line). False when the block is not plainly a list
// of fields ended by an empty line.
bool ReadFields(std::string_view part, MimeFields* f, size_t* bodyAt) {
  std::string* current = nullptr;  // value being unfolded; null for other fields
  size_t pos = 0;
  while (pos < part.size()) {
    const char* start = part.data() + pos;
    const char* lf = static_cast<const char*>(memchr(start, '\n', part.size() - pos));
    if (!lf) return false;  // no empty line ends the header
    std::string_view line(start, static_cast<size_t>(lf - start));
    pos += line.size() + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) {
      *bodyAt = pos;
      return true;
    }
    if (memchr(line.data(), '\r', line.size()) || memchr(line.data(), '\0', line.size()))
      return false;
    if (IsBlank(line[0])) {
      if (!f->any) return false;
      if (current) current->append(line.data(), line.size());
      continue;
    }
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    std::string_view name = line.substr(0, colon);
    if (!PlainName(name)) return false;
    f->any = true;
    std::string* value = nullptr;
    bool* seen = nullptr;
    if (SameWord(name, "content-type")) {
      value = &f->type;
      seen = &f->hasType;
    } else if (SameWord(name, "content-transfer-encoding")) {
      value = &f->encoding;
      seen = &f->hasEncoding;
    } else if (SameWord(name, "content-disposition")) {
      value = &f->disposition;
      seen = &f->hasDisposition;
    }
    current = value;
    if (!value) continue;
    if (*seen) return false;  // which one GMime takes is its business
    *seen = true;
    value->assign(line.data() + colon + 1, line.size() - colon - 1);
  }
  return false;
}

// A field value with nothing a plain reading could get wrong: printable
// ASCII and blanks, no encoded word, comment or quoted pair.
bool PlainValue(std::string_view v) {
  bool quoted = false;
  for (char c : v) {
    if ((c < 0x20 && c != '\t') || c >= 0x7F || c == '\\' || (c == '(' && !quoted)) return false;
    if (c == '"') quoted = !quoted;
  }
  return v.find("=?") == std::string_view::npos;
}

void SkipBlanks(std::string_view v, size_t* i) {
  while (*i < v.size() && IsBlank(v[*i])) ++*i;
}

std::string_view Token(std::string_view v, size_t* i) {
  size_t b = *i;
  while (*i < v.size() && IsToken(v[*i])) ++*i;
  return v.substr(b, *i - b);
}

// The wanted parameters among "; name=value" pairs from *i on. False for any
// parameter that is not plainly name=token or name="text", a name given twice
// or a continued (starred) name.
struct Wanted {
  const char* name;
  std::string_view value;
  bool found = false;
};
bool ReadParameters(std::string_view v, size_t i, Wanted* wanted, size_t count) {
  for (;;) {
    SkipBlanks(v, &i);
    if (i == v.size()) return true;
    if (v[i] != ';') return false;
    ++i;
    SkipBlanks(v, &i);
    if (i == v.size()) return true;  // a closing ';'
    std::string_view name = Token(v, &i);
    if (name.empty() || name.find('*') != std::string_view::npos) return false;
    SkipBlanks(v, &i);
    if (i == v.size() || v[i] != '=') return false;
    ++i;
    SkipBlanks(v, &i);
    std::string_view value;
    if (i < v.size() && v[i] == '"') {
      size_t close = v.find('"', i + 1);
      if (close == std::string_view::npos) return false;
      value = v.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      value = Token(v, &i);
      if (value.empty()) return false;
    }
    for (size_t k = 0; k < count; ++k) {
      if (!SameWord(name, wanted[k].name)) continue;
      // Whether an empty value counts as given is GMime's to say.
      if (wanted[k].found || value.empty()) return false;
      wanted[k].found = true;
      wanted[k].value = value;
    }
  }
}

// Every line of body that starts with "--boundary" is a delimiter exactly
// (with at most a CR after it), one opens the parts and one closes them, and
// none follows the closing one; the parts between are not empty.
bool PlainDelimiters(std::string_view body, std::string_view boundary) {
  bool opened = false, closed = false;
  size_t pos = 0;
  while (pos < body.size()) {
    size_t lf = body.find('\n', pos);
    size_t end = lf == std::string_view::npos ? body.size() : lf;
    std::string_view line = body.substr(pos, end - pos);
    if (line.size() >= 2 + boundary.size() && line[0] == '-' && line[1] == '-' &&
        line.compare(2, boundary.size(), boundary) == 0) {
      std::string_view rest = line.substr(2 + boundary.size());
      while (!rest.empty() && (rest.back() == '\r' || IsBlank(rest.back()))) rest.remove_suffix(1);
      bool closing = rest == "--";
      if ((!rest.empty() && !closing) || closed) return false;
      if (closing && !opened) return false;
      opened = true;
      closed = closing;
    }
    if (lf == std::string_view::npos) break;
    pos = lf + 1;
  }
  return opened;
}

class PlainScan {
 public:
  PlainScan(std::string_view msg, std::vector<MimeLine>* out) : msg_(msg), out_(out) {}

  // The part whose extent in the message is [begin, end).
  // In a digest, parts without a type are messages.
  bool Part(size_t begin, size_t end, int depth, bool top, bool inDigest = false) {
    if (depth > kPlainDepthMax) return false;
    std::string_view extent = msg_.substr(begin, end - begin);
    MimeFields f;
    size_t bodyAt;
    if (!ReadFields(extent, &f, &bodyAt)) return false;
    // A message without any field is GMime's to judge.
    if (top && !f.any) return false;
    size_t bodyBegin = begin + bodyAt;
    std::string_view body = msg_.substr(bodyBegin, end - bodyBegin);

    MimeLine line;
    line.kind = kMimePart;
    std::string_view type = inDigest ? "message" : "text";
    std::string_view subtype = inDigest ? "rfc822" : "plain";
    Wanted typeParams[] = {{"charset"}, {"name"}, {"boundary"}};
    if (f.hasType) {
      std::string_view v = f.type;
      if (!PlainValue(v)) return false;
      size_t i = 0;
      SkipBlanks(v, &i);
      type = Token(v, &i);
      SkipBlanks(v, &i);
      if (type.empty() || i == v.size() || v[i] != '/') return false;
      ++i;
      SkipBlanks(v, &i);
      subtype = Token(v, &i);
      if (subtype.empty() || !ReadParameters(v, i, typeParams, 3)) return false;
    }
    Wanted filename[] = {{"filename"}};
    if (f.hasDisposition) {
      std::string_view v = f.disposition;
      if (!PlainValue(v)) return false;
      size_t i = 0;
      SkipBlanks(v, &i);
      if (Token(v, &i).empty() || !ReadParameters(v, i, filename, 1)) return false;
    }
    std::string_view encoding;
    if (f.hasEncoding) {
      std::string_view v = f.encoding;
      if (!PlainValue(v)) return false;
      size_t b = v.find_first_not_of(" \t");
      size_t e = b == std::string_view::npos ? b : v.find_first_of(" \t;", b);
      if (b != std::string_view::npos)
        encoding = v.substr(b, e == std::string_view::npos ? e : e - b);
    }
    bool multipart = SameWord(type, "multipart");
    bool message = SameWord(type, "message");
    bool nested = message && SameWord(subtype, "rfc822");
    // Only these message parts are plainly leaves; containers are read as
    // written only when their encoding is an identity.
    if (message && !nested && !SameWord(subtype, "delivery-status") &&
        !SameWord(subtype, "disposition-notification"))
      return false;
    if ((multipart || nested) && !encoding.empty() && !SameWord(encoding, "7bit") &&
        !SameWord(encoding, "8bit") && !SameWord(encoding, "binary"))
      return false;

    line.type = WireToken(type);
    line.subtype = WireToken(subtype);
    line.charset = !typeParams[0].value.empty() ? WireToken(typeParams[0].value) : "-";
    line.encoding = encoding.empty() ? "7bit" : WireToken(encoding);
    std::string_view name = filename[0].found ? filename[0].value : std::string_view();
    if (name.empty()) name = typeParams[1].value;
    line.name = name.empty() ? "-" : WireValueWord(name);
    line.bodyOffset = WireAt(bodyBegin);
    line.bytes = WireBytes(body);
    line.headerBytes = WireBytes(extent.substr(0, bodyAt));
    line.lines = LineCount(body);
    out_->push_back(std::move(line));

    if (multipart) {
      std::string_view boundary = typeParams[2].value;
      if (boundary.empty() || boundary.find_first_of(" \t") != std::string_view::npos ||
          !PlainDelimiters(body, boundary))
        return false;
      for (const Extent& x : SplitMultipart(body, boundary)) {
        if (x.end == x.begin) return false;  // GMime passes over empty parts
        if (!Part(bodyBegin + x.begin, bodyBegin + x.end, depth + 1, false,
                  SameWord(subtype, "digest")))
          return false;
      }
      out_->push_back(Closing(kMimeEndMultipart));
    } else if (message) {
      if (nested && !Part(bodyBegin, end, depth + 1, true)) return false;
      out_->push_back(Closing(kMimeEndMessage));
    }
    return true;
  }

 private:
  static MimeLine Closing(MimeLineKind kind) {
    MimeLine l;
    l.kind = kind;
    return l;
  }

  // Wire offset of a raw offset; parts are visited in ascending order, so the
  // bare LFs before it are counted once, as the walk goes.
  uint64_t WireAt(size_t raw) {
    if (raw < counted_) counted_ = bare_ = 0;
    const char* p = msg_.data() + counted_;
    const char* stop = msg_.data() + raw;
    while ((p = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(stop - p))))) {
      if (p == msg_.data() || p[-1] != '\r') ++bare_;
      ++p;
    }
    counted_ = raw;
    return raw + bare_;
  }

  std::string_view msg_;
  std::vector<MimeLine>* out_;
  size_t counted_ = 0;
  uint64_t bare_ = 0;
};

}  // namespace

bool DescribeMimePlainly(std::string_view message, std::vector<MimeLine>* out) {
  out->clear();
  PlainScan scan(message, out);
  if (scan.Part(0, message.size(), 0, true)) return true;
  out->clear();
  return false;
}
