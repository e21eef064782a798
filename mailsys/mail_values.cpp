#include "mail_values.h"

#include <cstring>

namespace zelm::mail {
namespace {

bool IsAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsAtext(char c) { return IsAlnum(c) || (c != 0 && strchr("!#$%&'*+-/=?^_`{|}~", c)); }

// Code points of bytes 0x80 to 0x9F in code page 1252 (0 where it has none).
const uint16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void PutUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string Dotted(uint32_t a) {
  return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 255) + "." +
         std::to_string((a >> 8) & 255) + "." + std::to_string(a & 255);
}

// Letters and digits of a name, lower-cased; the rest dropped.
std::string NamePart(std::string_view text) {
  std::string out;
  for (char c : text)
    if (IsAlnum(c)) out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
  return out;
}

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find_first_of(" \t", at);
    if (end == std::string_view::npos) end = text.size();
    std::string w = NamePart(text.substr(at, end - at));
    if (!w.empty()) words.push_back(w);
    at = end + 1;
  }
  return words;
}

std::string Join(const std::vector<std::string>& words, char sep) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : std::string(1, sep)) + w;
  return out;
}

}  // namespace

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

std::string Trim(std::string_view text) {
  size_t b = text.find_first_not_of(" \t");
  if (b == std::string_view::npos) return std::string();
  size_t e = text.find_last_not_of(" \t");
  return std::string(text.substr(b, e - b + 1));
}

bool IsDomain(std::string_view text) {
  if (text.empty() || text.size() > 253) return false;
  size_t at = 0;
  for (;;) {
    size_t dot = text.find('.', at);
    std::string_view label = text.substr(at, dot == std::string_view::npos ? text.npos : dot - at);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
      return false;
    for (char c : label)
      if (!IsAlnum(c) && c != '-') return false;
    if (dot == std::string_view::npos) return true;
    at = dot + 1;
  }
}

bool IsLocalPart(std::string_view text) {
  if (text.empty() || text.size() > 64 || text.front() == '.' || text.back() == '.') return false;
  char last = 0;
  for (char c : text) {
    if (c == '.' ? last == '.' : !IsAtext(c)) return false;
    last = c;
  }
  return true;
}

bool IsAddress(std::string_view text) {
  size_t at = text.rfind('@');
  return at != std::string_view::npos && text.size() <= 254 &&
         IsLocalPart(text.substr(0, at)) && IsDomain(text.substr(at + 1));
}

bool ParseIpv4(std::string_view text, uint32_t* address) {
  uint32_t a = 0;
  size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    uint32_t octet = 0;
    size_t digits = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
      octet = octet * 10 + static_cast<uint32_t>(text[at++] - '0');
      if (++digits > 3 || octet > 255) return false;
    }
    if (digits == 0) return false;
    a = (a << 8) | octet;
    if (part < 3 && (at >= text.size() || text[at++] != '.')) return false;
  }
  if (at != text.size()) return false;
  *address = a;
  return true;
}

bool ParseCount(std::string_view text, uint64_t max, uint64_t* out) {
  std::string t = Trim(text);
  if (t.empty() || t.size() > 19) return false;
  uint64_t v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > max) return false;
  *out = v;
  return true;
}

bool ParseMessageLimit(std::string_view text, uint64_t* bytes) {
  std::string t = Trim(text);
  uint64_t mb = 0;
  if (t.empty() || t == "<none>") {
    *bytes = 0;
    return true;
  }
  if (!ParseCount(t, 2047, &mb)) return false;
  *bytes = mb << 20;
  return true;
}

bool ParseRelayHost(std::string_view text, std::string* postfix) {
  std::string t = Trim(text);
  std::string host = t, port;
  if (!t.empty() && t.front() == '[') {
    size_t close = t.find(']');
    if (close == std::string::npos) return false;
    host = t.substr(1, close - 1);
    std::string rest = t.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return false;
    if (!rest.empty()) port = rest.substr(1);
  } else if (size_t colon = t.find(':'); colon != std::string::npos) {
    host = t.substr(0, colon);
    port = t.substr(colon + 1);
  }
  uint32_t ip = 0;
  uint64_t p = 0;
  if (!IsDomain(host) && !ParseIpv4(host, &ip)) return false;
  if (!port.empty() && (!ParseCount(port, 65535, &p) || p == 0 || port != Trim(port)))
    return false;
  *postfix = "[" + Lower(host) + "]" + (port.empty() ? "" : ":" + port);
  return true;
}

bool RangeToCidrs(std::string_view text, std::vector<std::string>* blocks) {
  std::string t = Trim(text);
  size_t dash = t.find('-');
  uint32_t from = 0, to = 0;
  if (!ParseIpv4(Trim(t.substr(0, dash)), &from)) return false;
  if (dash == std::string::npos) {
    to = from;
  } else if (!ParseIpv4(Trim(t.substr(dash + 1)), &to)) {
    return false;
  }
  if (from > to) return false;
  blocks->clear();
  uint64_t at = from;
  while (at <= to) {
    // The largest aligned block starting here that stays inside the range.
    int bits = 32;
    while (bits > 0) {
      uint64_t size = uint64_t(1) << (33 - bits);
      if ((at & (size - 1)) != 0 || at + size - 1 > to) break;
      --bits;
    }
    blocks->push_back(Dotted(static_cast<uint32_t>(at)) + "/" + std::to_string(bits));
    at += uint64_t(1) << (32 - bits);
  }
  return true;
}

bool ParseAlias(std::string_view text, std::string* name, std::vector<std::string>* targets) {
  size_t eq = text.find('=');
  if (eq == std::string_view::npos) return false;
  std::string n = Lower(Trim(text.substr(0, eq)));
  if (!(n.find('@') == std::string::npos ? IsLocalPart(n) : IsAddress(n))) return false;
  std::vector<std::string> t;
  std::string_view rest = text.substr(eq + 1);
  size_t at = 0;
  while (at <= rest.size()) {
    size_t comma = rest.find(',', at);
    std::string one =
        Lower(Trim(rest.substr(at, comma == std::string_view::npos ? rest.npos : comma - at)));
    if (!(one.find('@') == std::string::npos ? IsLocalPart(one) : IsAddress(one))) return false;
    t.push_back(one);
    if (comma == std::string_view::npos) break;
    at = comma + 1;
  }
  *name = n;
  *targets = t;
  return true;
}

bool BlockedSenderKey(std::string_view text, std::string* key) {
  std::string t = Lower(Trim(text));
  if (t.find('@') != std::string::npos && t.front() != '@') {
    if (!IsAddress(t)) return false;
    *key = t;
    return true;
  }
  std::string domain = t.empty() ? t : t.substr(t.front() == '@' ? 1 : 0);
  bool subdomains = domain.size() > 2 && domain.compare(0, 2, "*.") == 0;
  if (subdomains) domain = domain.substr(2);
  if (!IsDomain(domain)) return false;
  *key = (subdomains ? "." : "") + domain;
  return true;
}

std::string TextToUtf8(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\r') {
      out.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n' || c == '\t' || (c >= 0x20 && c != 0x7F && c < 0x80)) {
      out.push_back(static_cast<char>(c));
    } else if (c >= 0xA0) {
      PutUtf8(c, &out);
    } else if (c >= 0x80 && kHighControls[c - 0x80]) {
      PutUtf8(kHighControls[c - 0x80], &out);
    }
  }
  return out;
}

std::string OneAsciiLine(std::string_view text) {
  std::string out;
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c == '\r' || c == '\n' || c == '\t') {
      if (!out.empty() && out.back() != ' ') out.push_back(' ');
    } else {
      out.push_back(c >= 0x20 && c < 0x7F ? ch : '?');
    }
  }
  return Trim(out);
}

std::string CutText(std::string_view text, size_t max) {
  if (text.size() <= max) return std::string(text);
  return std::string(text.substr(0, max - 3)) + "...";
}

std::vector<std::string> NameForms(uint32_t options, std::string_view given,
                                   std::string_view surname, std::string_view fullName) {
  std::vector<std::string> out;
  if (!(options & kAliasAutomatic)) return out;
  std::string first = NamePart(given), last = NamePart(surname);
  std::vector<std::string> full = Words(fullName);
  auto add = [&](const std::string& form) {
    if (!IsLocalPart(form)) return;
    for (const std::string& o : out)
      if (o == form) return;
    out.push_back(form);
  };
  if (!first.empty() && !last.empty()) {
    if (options & kAliasFirstUnderLast) add(first + "_" + last);
    if (options & kAliasInitialLast) add((first.substr(0, 1) + last).substr(0, 8));
    if (options & kAliasFirstDotLast) add(first + "." + last);
  }
  if (full.size() >= 2) {
    if (options & kAliasFullDots) add(Join(full, '.'));
    if (options & kAliasFullUnderscores) add(Join(full, '_'));
  }
  return out;
}

}  // namespace zelm::mail
