#include "ldap_map.h"

#include <cstdio>
#include <map>

#include "codec.h"
#include "errors.h"
#include "names.h"

namespace zelm::dir {
namespace {

constexpr std::string_view kPrefix = "zelm-";
constexpr const char* kDirectoryString = "1.3.6.1.4.1.1466.115.121.1.15";

bool IsAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string Decode(std::string_view body) {
  std::string out;
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '-') {
      out += body[i];
    } else if (i + 1 < body.size() && body[i + 1] == '-') {
      out += ':';
      ++i;
    } else {
      out += ' ';
    }
  }
  return out;
}

uint32_t OidNumber(std::string_view name) {
  std::string folded = Fold(name);
  return Crc32(folded.data(), folded.size()) & 0x7FFFFFFFu;
}

std::string Base64(std::string_view in) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    uint32_t v = (uint8_t(in[i]) << 16) | (uint8_t(in[i + 1]) << 8) | uint8_t(in[i + 2]);
    for (int s = 18; s >= 0; s -= 6) out += kAlphabet[(v >> s) & 63];
  }
  if (i < in.size()) {
    uint32_t v = uint8_t(in[i]) << 16;
    if (i + 1 < in.size()) v |= uint8_t(in[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < in.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string Hex(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "%x", v);
  return b;
}

}  // namespace

std::string LdapName(std::string_view schemaName) {
  if (SameText(schemaName, kObjectClass)) return "objectClass";
  if (SameText(schemaName, "Password")) return "userPassword";
  if (schemaName.empty() || !IsAlnum(schemaName.front())) return "";
  std::string out(kPrefix);
  for (char c : schemaName) {
    if (IsAlnum(c)) out += c;
    else if (c == ' ') out += '-';
    else if (c == ':') out += "--";
    else return "";
  }
  // ": " or " :" would read back the other way round.
  if (Decode(out.substr(kPrefix.size())) != schemaName) return "";
  return out;
}

std::string SchemaNameOf(std::string_view ldapName) {
  if (SameText(ldapName, "objectClass")) return std::string(kObjectClass);
  if (SameText(ldapName, "userPassword")) return "Password";
  if (ldapName.size() <= kPrefix.size() || !SameText(ldapName.substr(0, kPrefix.size()), kPrefix))
    return "";
  std::string name = Decode(ldapName.substr(kPrefix.size()));
  if (const AttributeDef* a = Schema::Get().FindAttribute(name)) return a->name;
  if (const ClassDef* c = Schema::Get().FindClass(name)) return c->name;
  return name;
}

std::string LdapDescription(const AttributeDef* def, uint32_t syntax) {
  std::string d = LdapName(def->name);
  // A password stays plain userPassword whatever it was written with, or a
  // bind would not find it.
  if (syntax != def->syntax && def->syntax != kSyntaxCaseExactString)
    d += ";" + std::string(kLdapSyntaxOption) + std::to_string(syntax);
  return d;
}

const AttributeDef* AttributeOfDescription(std::string_view description, uint32_t* syntax) {
  std::string_view type = description.substr(0, description.find(';'));
  const AttributeDef* def = Schema::Get().FindAttribute(SchemaNameOf(type));
  if (!def) return nullptr;
  *syntax = def->syntax;
  std::string_view rest = description.size() > type.size() ? description.substr(type.size() + 1)
                                                           : std::string_view();
  while (!rest.empty()) {
    std::string_view opt = rest.substr(0, rest.find(';'));
    if (opt.size() > kLdapSyntaxOption.size() &&
        SameText(opt.substr(0, kLdapSyntaxOption.size()), kLdapSyntaxOption)) {
      uint32_t s = 0;
      for (char c : opt.substr(kLdapSyntaxOption.size())) {
        if (c < '0' || c > '9' || s > 1000) return nullptr;
        s = s * 10 + uint32_t(c - '0');
      }
      if (!Schema::KnownSyntax(s)) return nullptr;
      *syntax = s;
    }
    rest = opt.size() < rest.size() ? rest.substr(opt.size() + 1) : std::string_view();
  }
  return def;
}

const char* NamingAttribute(const ClassDef* cls) {
  if (cls && SameText(cls->name, "Organization")) return "o";
  if (cls && SameText(cls->name, "Organizational Unit")) return "ou";
  return "cn";
}

std::string ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (char ch : latin1) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string FromUtf8(std::string_view utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    auto c = static_cast<unsigned char>(utf8[i]);
    size_t len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (len == 2 && i + 1 < utf8.size() && c <= 0xC3)
      out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
    else
      out += len == 1 && c < 0x80 ? static_cast<char>(c) : '?';
    i += len;
  }
  return out;
}

std::string EscapeDnValue(std::string_view v) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    char c = v[i];
    bool special = c == ',' || c == '+' || c == '"' || c == '\\' || c == '<' || c == '>' ||
                   c == ';' || c == '=' || (i == 0 && (c == '#' || c == ' ')) ||
                   (i + 1 == v.size() && c == ' ');
    if (special) out += '\\';
    out += c;
  }
  return out;
}

std::string RdnFor(const ClassDef* cls, std::string_view leaf) {
  return std::string(NamingAttribute(cls)) + "=" + EscapeDnValue(ToUtf8(leaf));
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The RDNs of a DN, most specific first, as (type, unescaped UTF-8 value).
bool SplitDn(std::string_view dn, std::vector<std::pair<std::string, std::string>>* out) {
  out->clear();
  size_t i = 0;
  while (i < dn.size()) {
    size_t eq = dn.find('=', i);
    if (eq == std::string_view::npos) return false;
    std::string type(dn.substr(i, eq - i));
    while (!type.empty() && type.front() == ' ') type.erase(0, 1);
    std::string value;
    i = eq + 1;
    for (; i < dn.size() && dn[i] != ','; ++i) {
      if (dn[i] == '+') return false;  // multi-valued RDNs are never ours
      if (dn[i] != '\\') {
        value += dn[i];
        continue;
      }
      if (++i == dn.size()) return false;
      int h = HexDigit(dn[i]), l = i + 1 < dn.size() ? HexDigit(dn[i + 1]) : -1;
      if (h >= 0 && l >= 0) {
        value += static_cast<char>(h * 16 + l);
        ++i;
      } else {
        value += dn[i];
      }
    }
    if (type.empty() || value.empty()) return false;
    out->emplace_back(std::move(type), std::move(value));
    if (i < dn.size()) ++i;
  }
  return true;
}

}  // namespace

int NameOfDn(std::string_view dn, std::string_view base, std::string* full) {
  std::vector<std::pair<std::string, std::string>> rdns, baseRdns;
  if (!SplitDn(dn, &rdns) || !SplitDn(base, &baseRdns) || rdns.size() < baseRdns.size())
    return kErrBadName;
  const size_t own = rdns.size() - baseRdns.size();
  for (size_t i = 0; i < baseRdns.size(); ++i) {
    if (!SameText(rdns[own + i].first, baseRdns[i].first) ||
        !SameText(rdns[own + i].second, baseRdns[i].second))
      return kErrBadName;
  }
  std::string out;
  for (size_t i = 0; i < own; ++i) {
    // A dot inside one RDN would read as two components.
    if (rdns[i].second.find('.') != std::string::npos) return kErrBadName;
    if (i) out += '.';
    out += FromUtf8(rdns[i].second);
  }
  if (CheckFullName(out) != kOk) return kErrBadName;
  *full = std::move(out);
  return kOk;
}

std::string BaseOrganization(std::string_view base) {
  std::vector<std::pair<std::string, std::string>> rdns;
  if (!SplitDn(base, &rdns) || rdns.empty() || !SameText(rdns[0].first, "o")) return "";
  return rdns[0].second;
}

int LdapSchemaText(std::string* text, std::string* error) {
  const Schema& s = Schema::Get();
  std::string out =
      "# Generated from directory/schema.cpp by ldapgen: do not edit.\n"
      "# Needs core.schema (cn, o, ou, userPassword).\n\n";
  const std::string arc(kLdapOidArc);
  std::map<uint32_t, std::string> used[2];
  auto oid = [&](int kind, std::string_view name, std::string* o) {
    uint32_t n = OidNumber(name);
    auto [it, fresh] = used[kind].emplace(n, std::string(name));
    if (!fresh) {
      *error = "object identifier of \"" + std::string(name) + "\" collides with \"" +
               it->second + "\"";
      return false;
    }
    *o = arc + (kind == 0 ? ".1." : ".2.") + std::to_string(n);
    return true;
  };

  out += "attributetype ( " + arc + ".3.1 NAME '" + std::string(kLdapNameAttr) +
         "'\n  DESC 'full dotted name, folded' EQUALITY caseIgnoreMatch\n  SYNTAX " +
         kDirectoryString + " SINGLE-VALUE )\n";
  out += "attributetype ( " + arc + ".3.2 NAME '" + std::string(kLdapGrantAttr) +
         "'\n  DESC 'RIGHTS#SCOPE#TRUSTEE' EQUALITY caseIgnoreMatch\n  SYNTAX " +
         kDirectoryString + " )\n";
  out += "attributetype ( " + arc + ".3.3 NAME '" + std::string(kLdapSettingAttr) +
         "'\n  DESC 'KEY=VALUE' EQUALITY caseExactMatch\n  SYNTAX " + kDirectoryString + " )\n";
  out += "objectclass ( " + arc + ".4.1 NAME '" + std::string(kLdapRootClass) +
         "'\n  DESC 'the root of a directory' AUXILIARY MAY ( " + std::string(kLdapGrantAttr) +
         " $ " + std::string(kLdapSettingAttr) + " ) )\n\n";

  for (const AttributeDef& a : s.attributes()) {
    if (a.syntax == kSyntaxClassName || SameText(a.name, "Password")) continue;
    std::string name = LdapName(a.name), o;
    if (name.empty()) {
      *error = "attribute \"" + std::string(a.name) + "\" cannot be spelled in LDAP";
      return kErrInvalidRequest;
    }
    if (!oid(0, a.name, &o)) return kErrInvalidRequest;
    const bool exact = a.syntax == kSyntaxCaseExactString;
    out += "attributetype ( " + o + " NAME '" + name + "'\n  DESC '" + a.name +
           "' EQUALITY " + (exact ? "caseExactMatch" : "caseIgnoreMatch") + " SUBSTR " +
           (exact ? "caseExactSubstringsMatch" : "caseIgnoreSubstringsMatch") + "\n  SYNTAX " +
           kDirectoryString + (a.multiValued ? "" : " SINGLE-VALUE") + " )\n";
  }
  out += "\n";
  for (const ClassDef& c : s.classes()) {
    std::string name = LdapName(c.name), o;
    if (name.empty()) {
      *error = "class \"" + std::string(c.name) + "\" cannot be spelled in LDAP";
      return kErrInvalidRequest;
    }
    if (!oid(1, c.name, &o)) return kErrInvalidRequest;
    std::string may;
    for (const char* a : c.attributes) {
      if (SameText(a, kObjectClass)) continue;
      may += (may.empty() ? "" : " $ ") + LdapName(a);
    }
    if (!c.super) may += std::string(may.empty() ? "" : " $ ") + std::string(kLdapGrantAttr);
    out += "objectclass ( " + o + " NAME '" + name + "'\n  DESC '" + c.name + "' SUP " +
           (c.super ? LdapName(c.super) : "top") + (c.abstract ? " ABSTRACT" : " STRUCTURAL");
    if (!c.super) out += "\n  MUST " + std::string(kLdapNameAttr);
    else if (!c.abstract) out += std::string("\n  MUST ") + NamingAttribute(&c);
    if (!may.empty()) out += "\n  MAY ( " + may + " )";
    out += " )\n";
  }
  *text = std::move(out);
  return kOk;
}

std::string LdifLine(std::string_view description, std::string_view v) {
  bool safe = v.empty() || (v.front() != ' ' && v.front() != ':' && v.front() != '<' &&
                            v.back() != ' ');
  for (char c : v)
    if (c == 0 || c == '\n' || c == '\r' || static_cast<unsigned char>(c) >= 0x80) safe = false;
  std::string out(description);
  if (safe) out.append(": ").append(v);
  else out.append(":: ").append(Base64(v));
  return out + "\n";
}

std::string GrantValue(const Grant& g) { return Hex(g.rights) + "#" + g.scope + "#" + g.trustee; }

bool ParseGrantValue(std::string_view value, Grant* g) {
  size_t a = value.find('#');
  if (a == std::string_view::npos) return false;
  size_t b = value.find('#', a + 1);
  if (b == std::string_view::npos || a == 0) return false;
  uint32_t r = 0;
  for (char c : value.substr(0, a)) {
    int h = HexDigit(c);
    if (h < 0 || r > 0xFFFFFFF) return false;
    r = r * 16 + uint32_t(h);
  }
  g->rights = r;
  g->scope = std::string(value.substr(a + 1, b - a - 1));
  g->trustee = std::string(value.substr(b + 1));
  return !g->scope.empty() && !g->trustee.empty();
}

std::string TreeToLdif(const Tree& tree, std::string_view base) {
  std::string out = "# The directory under " + std::string(base) + ". Holds passwords.\n\n";
  out += "dn: " + std::string(base) + "\nobjectClass: organization\nobjectClass: " +
         std::string(kLdapRootClass) + "\n" + LdifLine("o", BaseOrganization(base));
  for (const auto& [key, value] : tree.settings())
    out += LdifLine(kLdapSettingAttr, ToUtf8(key + "=" + value));
  for (const Grant& g : tree.root().grants) out += LdifLine(kLdapGrantAttr, ToUtf8(GrantValue(g)));
  out += "\n";
  // Each object's DN is its parent's with its own RDN in front.
  std::map<std::string, std::string> dnOf;  // by folded full name
  dnOf[""] = std::string(base);
  tree.Walk([&](const Object& o) {
    const std::string dn = RdnFor(o.cls, LeafName(o.full)) + "," +
                           dnOf[Fold(ParentName(o.full))];
    dnOf[Fold(o.full)] = dn;
    out += LdifLine("dn", dn);
    out += "objectClass: " + LdapName(o.cls->name) + "\n";
    out += LdifLine(NamingAttribute(o.cls), ToUtf8(LeafName(o.full)));
    out += LdifLine(kLdapNameAttr, ToUtf8(Fold(o.full)));
    for (const Attribute& a : o.attributes) {
      if (a.def->syntax == kSyntaxClassName) continue;
      for (size_t i = 0; i < a.values.size(); ++i)
        out += LdifLine(LdapDescription(a.def, a.syntaxes[i]), ToUtf8(a.values[i]));
    }
    for (const Grant& g : o.grants) out += LdifLine(kLdapGrantAttr, ToUtf8(GrantValue(g)));
    out += "\n";
  });
  return out;
}

}  // namespace zelm::dir
