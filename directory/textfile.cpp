#include "textfile.h"

#include <cstdio>

namespace zelm::dir {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool StartsWithWord(std::string_view line, std::string_view word) {
  return line.size() > word.size() && line.substr(0, word.size()) == word &&
         (line[word.size()] == ' ' || line[word.size()] == '\t');
}

int Fail(std::string* error, int line, const std::string& what) {
  *error = "line " + std::to_string(line) + ": " + what;
  return kErrInvalidRequest;
}

int FailCode(std::string* error, int line, const std::string& what, int code) {
  *error = "line " + std::to_string(line) + ": " + what + ": " + ResultText(code) + " (" +
           std::to_string(code) + ")";
  return code;
}

std::string StripDot(std::string_view name) {
  if (!name.empty() && name.front() == '.') name.remove_prefix(1);
  return std::string(name);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "Name (syntax N)" names the syntax a value was written with; without the
// mark a value takes the attribute's own. false for a malformed mark.
bool SplitSyntaxMark(std::string_view* name, uint32_t* syntax) {
  *syntax = 0;
  constexpr std::string_view kMark = "(syntax ";
  if (name->empty() || name->back() != ')') return true;
  size_t at = name->rfind(kMark);
  if (at == std::string_view::npos) return false;
  std::string_view digits = name->substr(at + kMark.size());
  digits.remove_suffix(1);
  if (digits.empty() || digits.size() > 3) return false;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    *syntax = *syntax * 10 + static_cast<uint32_t>(c - '0');
  }
  if (!Schema::KnownSyntax(*syntax)) return false;
  *name = Trim(name->substr(0, at));
  return true;
}

}  // namespace

std::string ValueLine(const AttributeDef* def, uint32_t syntax, std::string_view value) {
  std::string line(def->name);
  if (syntax != def->syntax) line += " (syntax " + std::to_string(syntax) + ")";
  return line + " = " + EscapeValue(value);
}

int UnescapeValue(std::string_view text, std::string* value) {
  value->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\') {
      value->push_back(c);
      continue;
    }
    if (++i >= text.size()) return kErrInvalidRequest;
    switch (text[i]) {
      case '\\': value->push_back('\\'); break;
      case 'n': value->push_back('\n'); break;
      case 'r': value->push_back('\r'); break;
      case 't': value->push_back('\t'); break;
      case 'x': {
        int hi = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
        int lo = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        if (hi < 0 || lo < 0) return kErrInvalidRequest;
        value->push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        break;
      }
      default: return kErrInvalidRequest;
    }
  }
  return kOk;
}

std::string EscapeValue(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(value[i]);
    bool edge = (i == 0 || i + 1 == value.size()) && (c == ' ' || c == '\t');
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c < 0x20 || c == 0x7F || edge) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

int ParseText(std::string_view text, TextDirectory* out, std::string* error) {
  *out = TextDirectory();
  int lineNo = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t nl = text.find('\n', pos);
    std::string_view raw = text.substr(pos, nl == std::string_view::npos ? nl : nl - pos);
    pos = nl == std::string_view::npos ? text.size() + 1 : nl + 1;
    ++lineNo;
    std::string_view line = Trim(raw);
    if (line.empty() || line.front() == '#') continue;
    bool indented = raw.front() == ' ' || raw.front() == '\t';

    if (!indented) {
      if (StartsWithWord(line, "supervisor") || StartsWithWord(line, "identity")) {
        size_t sp = line.find_first_of(" \t");
        std::string name = StripDot(Trim(line.substr(sp)));
        if (CheckFullName(name) != kOk || name.empty()) return Fail(error, lineNo, "bad name");
        out->settings.emplace_back(std::string(line.substr(0, sp)), name);
        out->settingLines.push_back(lineNo);
      } else if (StartsWithWord(line, "object")) {
        std::string_view rest = Trim(line.substr(6));
        size_t colon = rest.find(':');
        TextObject obj;
        obj.line = lineNo;
        std::string_view name = Trim(rest.substr(0, colon));
        if (SameText(name, kRootName)) {
          if (colon != std::string_view::npos) return Fail(error, lineNo, "[Root] has no class");
        } else {
          if (colon == std::string_view::npos) return Fail(error, lineNo, "object without class");
          obj.full = StripDot(name);
          obj.className = Trim(rest.substr(colon + 1));
          if (obj.full.empty() || CheckFullName(obj.full) != kOk)
            return Fail(error, lineNo, "bad object name \"" + std::string(name) + "\"");
        }
        out->objects.push_back(std::move(obj));
      } else {
        return Fail(error, lineNo, "expected supervisor, identity or object");
      }
      continue;
    }

    if (out->objects.empty()) return Fail(error, lineNo, "indented line outside an object");
    TextObject& obj = out->objects.back();
    if (StartsWithWord(line, "grant")) {
      std::string_view rest = Trim(line.substr(5));
      size_t colon = rest.find(':');
      size_t eq = rest.rfind('=');
      if (colon == std::string_view::npos || eq == std::string_view::npos || eq < colon)
        return Fail(error, lineNo, "expected grant trustee : scope = rights");
      Grant g;
      g.trustee = StripDot(Trim(rest.substr(0, colon)));
      g.scope = Trim(rest.substr(colon + 1, eq - colon - 1));
      if (ParseRights(SameText(g.scope, kEntryRights), rest.substr(eq + 1), &g.rights) != kOk)
        return Fail(error, lineNo, "unknown rights \"" + std::string(Trim(rest.substr(eq + 1))) + "\"");
      obj.grants.push_back(std::move(g));
      obj.grantLines.push_back(lineNo);
      continue;
    }
    if (obj.full.empty()) return Fail(error, lineNo, "[Root] holds grants only");
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return Fail(error, lineNo, "expected attribute = value");
    std::string_view attrName = Trim(line.substr(0, eq));
    uint32_t syntax = 0;
    if (!SplitSyntaxMark(&attrName, &syntax))
      return Fail(error, lineNo, "bad syntax mark, expected \"(syntax N)\"");
    const AttributeDef* def = Schema::Get().FindAttribute(attrName);
    if (!def) return Fail(error, lineNo, "unknown attribute \"" + std::string(attrName) + "\"");
    ValueIn v;
    v.syntax = syntax ? syntax : def->syntax;
    if (UnescapeValue(Trim(line.substr(eq + 1)), &v.text) != kOk)
      return Fail(error, lineNo, "bad escape in value");
    auto it = obj.attributes.begin();
    while (it != obj.attributes.end() && !SameText(it->name, def->name)) ++it;
    if (it == obj.attributes.end()) {
      obj.attributes.push_back({def->name, {}});
      it = obj.attributes.end() - 1;
    }
    it->values.push_back(std::move(v));
  }
  return kOk;
}

namespace {

std::vector<AttributeIn> WithClass(const TextObject& o) {
  std::vector<AttributeIn> attrs;
  attrs.push_back({std::string(kObjectClass), {{kSyntaxClassName, o.className}}});
  attrs.insert(attrs.end(), o.attributes.begin(), o.attributes.end());
  return attrs;
}

}  // namespace

int BuildTree(const TextDirectory& text, Tree* tree, std::string* error) {
  for (const auto& s : text.settings)
    if (int r = tree->SetSetting(s.first, s.second, true))
      return FailCode(error, 0, "setting " + s.first, r);
  for (const TextObject& o : text.objects) {
    if (!o.full.empty())
      if (int r = tree->Add(o.full, WithClass(o), true))
        return FailCode(error, o.line, "object " + o.full, r);
    for (size_t i = 0; i < o.grants.size(); ++i) {
      const Grant& g = o.grants[i];
      if (int r = tree->SetGrant(o.full, g.trustee, g.scope, g.rights, true))
        return FailCode(error, o.grantLines[i], "grant to " + g.trustee, r);
    }
  }
  return kOk;
}

int ApplyText(const TextDirectory& text, Directory* dir, std::string* error) {
  return ApplyText(text, dir, Caller::System(), error);
}

int ApplyText(const TextDirectory& text, Directory* dir, const Caller& caller, std::string* error) {
  std::vector<Step> steps;
  std::vector<std::pair<int, std::string>> where;  // line and what, per step
  for (size_t i = 0; i < text.settings.size(); ++i) {
    Step s{Step::kSetting};
    s.object = text.settings[i].first;
    s.value = text.settings[i].second;
    steps.push_back(std::move(s));
    where.emplace_back(i < text.settingLines.size() ? text.settingLines[i] : 0,
                       "setting " + text.settings[i].first);
  }
  for (const TextObject& o : text.objects) {
    if (!o.full.empty()) {
      Step s{Step::kAdd};
      s.object = o.full;
      s.attributes = WithClass(o);
      steps.push_back(std::move(s));
      where.emplace_back(o.line, "object " + o.full);
    }
    for (size_t i = 0; i < o.grants.size(); ++i) {
      Step s{Step::kGrant};
      s.object = o.full;
      s.trustee = o.grants[i].trustee;
      s.scope = o.grants[i].scope;
      s.rights = o.grants[i].rights;
      steps.push_back(std::move(s));
      where.emplace_back(o.grantLines[i], "grant to " + o.grants[i].trustee);
    }
  }
  size_t failed = 0;
  int r = dir->Apply(caller, steps, &failed);
  if (r == kOk) return kOk;
  if (failed < where.size())
    FailCode(error, where[failed].first, where[failed].second, r);
  else
    *error = std::string(ResultText(r)) + " (" + std::to_string(r) + ")";
  *error += "; nothing was imported";
  return r;
}

std::string DumpText(const Tree& tree) {
  std::string out;
  for (const auto& s : tree.settings()) out += s.first + " " + s.second + "\n";
  auto grants = [&out](const Object& o) {
    for (const Grant& g : o.grants)
      out += "    grant " + g.trustee + " : " + g.scope + " = " +
             RightsText(SameText(g.scope, kEntryRights), g.rights) + "\n";
  };
  if (!tree.root().grants.empty()) {
    out += "\nobject [Root]\n";
    grants(tree.root());
  }
  tree.Walk([&](const Object& o) {
    out += "\nobject " + o.full + " : " + o.cls->name + "\n";
    for (const Attribute& a : o.attributes)
      for (size_t i = 0; i < a.values.size(); ++i)
        out += "    " + ValueLine(a.def, a.syntaxes[i], a.values[i]) + "\n";
    grants(o);
  });
  return out;
}

bool SplitVolume(std::string_view value, std::string* name, std::string* folder) {
  size_t eq = value.find('=');
  if (eq == std::string_view::npos || eq == 0 || eq + 1 == value.size()) return false;
  *name = Trim(value.substr(0, eq));
  *folder = Trim(value.substr(eq + 1));
  return !name->empty() && !folder->empty();
}

std::string VolumeFolder(const std::string& databasePath, std::string_view folder) {
  if (folder.empty()) return std::string();
  bool absolute = folder.front() == '/' || folder.front() == '\\' ||
                  (folder.size() > 1 && folder[1] == ':');
  std::string base = FolderOf(databasePath);
  if (absolute || base.empty()) return std::string(folder);
#ifdef _WIN32
  std::string out = base + "\\" + std::string(folder);
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
#else
  return base + "/" + std::string(folder);
#endif
}

int MakeVolumeFolders(const Tree& tree, const std::string& databasePath) {
  const AttributeDef* volume = Schema::Get().FindAttribute("Volume");
  int result = kOk;
  tree.Walk([&](const Object& o) {
    const Attribute* a = o.Find(volume);
    if (!a) return;
    for (const std::string& v : a->values) {
      std::string name, folder;
      if (SplitVolume(v, &name, &folder) && result == kOk)
        result = MakeDirectories(VolumeFolder(databasePath, folder));
    }
  });
  return result;
}

}  // namespace zelm::dir
