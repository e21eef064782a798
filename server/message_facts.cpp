#include "message_facts.h"

#include <gmime/gmime.h>
#include <strings.h>

#include <cstring>

#include "wire_words.h"

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string_view::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(b, e - b + 1));
}

// Domain part of an address or a bare domain, lowercased, without brackets.
std::string DomainOf(std::string_view value) {
  std::string v = Trim(value);
  while (!v.empty() && (v.front() == '<' || v.front() == '"')) v.erase(0, 1);
  while (!v.empty() && (v.back() == '>' || v.back() == '"')) v.pop_back();
  size_t at = v.rfind('@');
  if (at != std::string::npos) v = v.substr(at + 1);
  return Lower(v);
}

bool Aligned(const std::string& fromDomain, const std::string& domain) {
  if (domain.empty() || fromDomain.empty()) return false;
  if (fromDomain == domain) return true;
  return fromDomain.size() > domain.size() &&
         fromDomain.compare(fromDomain.size() - domain.size(), domain.size(), domain) == 0 &&
         fromDomain[fromDomain.size() - domain.size() - 1] == '.';
}

std::string StripComments(std::string_view s) {
  std::string out;
  int depth = 0;
  for (char c : s) {
    if (c == '(') ++depth;
    else if (c == ')' && depth > 0) --depth;
    else if (depth == 0) out += c;
  }
  return out;
}

std::vector<std::string> Split(const std::string& s, const char* seps) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    size_t b = s.find_first_not_of(seps, i);
    if (b == std::string::npos) break;
    size_t e = s.find_first_of(seps, b);
    out.push_back(s.substr(b, e == std::string::npos ? std::string::npos : e - b));
    i = e == std::string::npos ? s.size() : e;
  }
  return out;
}

// Address of the first mailbox in an address list header, via GMime.
std::string FirstMailbox(const std::string& raw) {
  std::string addr;
  InternetAddressList* list = internet_address_list_parse(nullptr, raw.c_str());
  if (!list) return addr;
  for (int i = 0; i < internet_address_list_length(list) && addr.empty(); ++i) {
    InternetAddress* a = internet_address_list_get_address(list, i);
    if (INTERNET_ADDRESS_IS_MAILBOX(a)) {
      const char* s = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(a));
      if (s) addr = s;
    } else if (INTERNET_ADDRESS_IS_GROUP(a)) {
      InternetAddressList* members = internet_address_group_get_members(INTERNET_ADDRESS_GROUP(a));
      for (int j = 0; members && j < internet_address_list_length(members) && addr.empty(); ++j) {
        InternetAddress* m = internet_address_list_get_address(members, j);
        if (INTERNET_ADDRESS_IS_MAILBOX(m)) {
          const char* s = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(m));
          if (s) addr = s;
        }
      }
    }
  }
  g_object_unref(list);
  return addr;
}

}  // namespace

size_t FindBodyStart(std::string_view m) {
  size_t pos = 0;
  while (pos < m.size()) {
    size_t lf = m.find('\n', pos);
    if (lf == std::string_view::npos) return m.size();
    size_t len = lf - pos;
    if (len == 0 || (len == 1 && m[pos] == '\r')) return lf + 1;
    pos = lf + 1;
  }
  return m.size();
}

std::vector<HeaderField> ParseHeaderFields(std::string_view block) {
  std::vector<HeaderField> fields;
  size_t pos = 0;
  while (pos < block.size()) {
    size_t lf = block.find('\n', pos);
    size_t end = lf == std::string_view::npos ? block.size() : lf;
    std::string_view line = block.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;
    if (line[0] == ' ' || line[0] == '\t') {
      if (!fields.empty()) fields.back().value.append(line.data(), line.size());
      continue;
    }
    size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) continue;  // not a field; skipped
    std::string_view name = line.substr(0, colon);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    fields.push_back({std::string(name), std::string(line.substr(colon + 1))});
  }
  return fields;
}

const HeaderField* FindField(const std::vector<HeaderField>& fields, const char* name) {
  for (const HeaderField& f : fields)
    if (strcasecmp(f.name.c_str(), name) == 0) return &f;
  return nullptr;
}

uint64_t WireBytes(std::string_view text) {
  uint64_t n = text.size();
  const char* p = text.data();
  const char* end = p + text.size();
  while ((p = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(end - p)))) != nullptr) {
    if (p == text.data() || p[-1] != '\r') ++n;
    ++p;
  }
  return n;
}

uint64_t LineCount(std::string_view text) {
  uint64_t n = 0;
  const char* p = text.data();
  const char* end = p + text.size();
  while ((p = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(end - p)))) != nullptr) {
    ++n;
    ++p;
  }
  if (!text.empty() && text.back() != '\n') ++n;
  return n;
}

uint32_t PriorityFlags(const std::vector<HeaderField>& fields) {
  if (const HeaderField* f = FindField(fields, "X-Priority")) {
    std::string v = Trim(f->value);
    if (!v.empty() && (v[0] == '1' || v[0] == '2')) return kMsgHighPriority;
    if (!v.empty() && (v[0] == '4' || v[0] == '5')) return kMsgLowPriority;
  }
  if (const HeaderField* f = FindField(fields, "Priority")) {
    std::string v = Lower(Trim(f->value));
    if (v == "urgent") return kMsgHighPriority;
    if (v == "non-urgent") return kMsgLowPriority;
  }
  for (const char* name : {"Importance", "X-MSMail-Priority"}) {
    if (const HeaderField* f = FindField(fields, name)) {
      std::string v = Lower(Trim(f->value));
      if (v == "high") return kMsgHighPriority;
      if (v == "low") return kMsgLowPriority;
    }
  }
  return 0;
}

bool SenderVerified(const std::string& fromAddress, const std::vector<std::string>& authResults,
                    const std::string& authservId) {
  std::string fromDomain = DomainOf(fromAddress);
  if (fromAddress.find('@') == std::string::npos || fromDomain.empty()) return false;
  for (const std::string& raw : authResults) {
    std::vector<std::string> pieces = Split(StripComments(raw), ";");
    if (pieces.empty()) continue;
    std::vector<std::string> idWords = Split(pieces[0], " \t\r\n");
    std::string id = idWords.empty() ? "" : Lower(idWords[0]);
    if (!authservId.empty() && id != Lower(authservId)) continue;
    for (size_t i = 1; i < pieces.size(); ++i) {
      std::vector<std::string> words = Split(pieces[i], " \t\r\n");
      if (words.empty()) continue;
      std::string result = Lower(words[0]);
      const char* prop = nullptr;
      if (result == "dkim=pass") prop = "header.d";
      else if (result == "spf=pass") prop = "smtp.mailfrom";
      else if (result == "dmarc=pass") prop = "header.from";
      if (!prop) continue;
      for (size_t w = 1; w < words.size(); ++w) {
        std::string word = Lower(words[w]);
        size_t eq = word.find('=');
        if (eq == std::string::npos) continue;
        std::string key = word.substr(0, eq);
        if (key == prop || (result == "dkim=pass" && key == "header.i")) {
          if (Aligned(fromDomain, DomainOf(word.substr(eq + 1)))) return true;
        }
      }
    }
    return false;  // only the trusted field counts; fields below it may be forged
  }
  return false;
}

uint32_t MaildirFlags(std::string_view fileName, bool inNew) {
  uint32_t flags = inNew ? uint32_t(kMsgRecent) : 0u;
  size_t info = fileName.rfind(":2,");
  if (info == std::string_view::npos) return flags;
  for (char c : fileName.substr(info + 3)) {
    switch (c) {
      case 'S': flags |= kMsgRead; break;
      case 'T': flags |= kMsgDeleted; break;
      case 'R': flags |= kMsgAnswered; break;
      case 'D': flags |= kMsgDraft; break;
      case 'F': flags |= kMsgFlagged; break;
      default: break;
    }
  }
  return flags;
}

std::string_view MaildirBaseName(std::string_view fileName) {
  size_t colon = fileName.find(':');
  return colon == std::string_view::npos ? fileName : fileName.substr(0, colon);
}

MessageFacts ComputeFacts(std::string_view m, const std::string& authservId) {
  MessageFacts f;
  size_t bodyStart = FindBodyStart(m);
  std::string_view header = m.substr(0, bodyStart);
  std::string_view body = m.substr(bodyStart);
  f.headerBytes = WireBytes(header);
  if (!header.empty() && header.back() != '\n') f.headerBytes += 2;
  f.bodyBytes = WireBytes(body);
  if (!body.empty() && body.back() != '\n') f.bodyBytes += 2;
  if ((!body.empty() && body[0] == '.') || body.find("\n.") != std::string_view::npos)
    f.contentFlags |= kMsgLeadingDot;

  std::vector<HeaderField> fields = ParseHeaderFields(header);
  f.contentFlags |= PriorityFlags(fields);

  std::string from;
  for (const char* name : {"From", "Sender", "Return-Path"}) {
    if (const HeaderField* h = FindField(fields, name)) from = FirstMailbox(h->value);
    if (!from.empty()) break;
  }
  std::vector<std::string> results;
  for (const HeaderField& h : fields)
    if (strcasecmp(h.name.c_str(), "Authentication-Results") == 0) results.push_back(h.value);
  if (SenderVerified(from, results, authservId)) {
    f.sender = WireValueWord(from);
  } else {
    f.sender = from.empty() ? "-" : "-" + WireWord(from);
  }

  if (const HeaderField* h = FindField(fields, "Subject")) {
    std::string raw = Trim(h->value);
    bool plain = raw.find("=?") == std::string::npos;
    for (char c : raw) plain = plain && static_cast<unsigned char>(c) < 0x80;
    if (plain) {  // nothing to decode; spares GMime's work for most subjects
      f.subject = WireWord(raw);
    } else {
      char* text = g_mime_utils_header_decode_text(nullptr, raw.c_str());
      f.subject = WireWord(text ? text : "");
      g_free(text);
    }
  } else {
    f.subject = "-";
  }
  if (const HeaderField* h = FindField(fields, "Date")) {
    if (GDateTime* dt = g_mime_utils_header_decode_date(h->value.c_str())) {
      f.date = g_date_time_to_unix(dt);
      g_date_time_unref(dt);
    }
  }
  return f;
}

std::string ContentHash(std::string_view m) {
  gchar* md5 = g_compute_checksum_for_data(G_CHECKSUM_MD5,
                                           reinterpret_cast<const guchar*>(m.data()), m.size());
  std::string hex = md5;
  g_free(md5);
  return hex;
}
