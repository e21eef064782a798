#include "host_text.h"

#include <cstdio>
#include <cstring>

namespace zelm::host {

const char kRootText[] = "[Root]";

namespace {

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

std::string ParentOf(const std::string& full) {
  size_t dot = full.find('.');
  return dot == std::string::npos ? std::string() : full.substr(dot + 1);
}

std::string LeafOf(const std::string& full) { return full.substr(0, full.find('.')); }

std::string JoinName(const std::string& leaf, const std::string& container) {
  return container.empty() ? leaf : leaf + "." + container;
}

std::string ShownName(const std::string& full) { return full.empty() ? kRootText : full; }

std::string NormalizeContext(const char* context) {
  if (!context) return std::string();
  std::string s = Trim(context);
  if (SameText(s, kRootText)) return std::string();
  size_t b = 0, e = s.size();
  if (b < e && s[b] == '.') ++b;
  while (e > b && s[e - 1] == '.') --e;
  return s.substr(b, e - b);
}

std::string NormalizeName(const char* name) {
  if (!name) return std::string();
  std::string s = Trim(name);
  if (SameText(s, kRootText)) return std::string();
  if (!s.empty() && s[0] == '.') s.erase(0, 1);
  return s;
}

bool SplitVolume(const std::string& value, std::string* name, std::string* folder) {
  size_t eq = value.find('=');
  if (eq == std::string::npos) return false;
  *name = Trim(value.substr(0, eq));
  *folder = Trim(value.substr(eq + 1));
  return !name->empty() && !folder->empty() && ValidFolderName(*name);
}

std::string VolumeFolder(const std::string& databasePath, const std::string& folder) {
  bool absolute = !folder.empty() &&
                  (IsSeparator(folder[0]) || (folder.size() > 1 && folder[1] == ':'));
  size_t cut = databasePath.find_last_of("\\/");
  // A directory on a server lies in no folder: a relative folder stays relative.
  if (databasePath.size() > 7 && SameText(databasePath.substr(0, 7), "ldap://"))
    cut = std::string::npos;
  std::string out;
  if (absolute || cut == std::string::npos) {
    out = folder;
  } else {
    out = databasePath.substr(0, cut) + "\\" + folder;
  }
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

bool ValidFolderName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.size() > 255) return false;
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || std::strchr("\\/:*?\"<>|", c)) return false;
  }
  return name.back() != ' ' && name.back() != '.';
}

std::string FormatFsPath(const FsPath& path) {
  std::string out = path.server + "/" + path.volume + ":";
  for (size_t i = 0; i < path.folders.size(); ++i) {
    if (i) out += "/";
    out += path.folders[i];
  }
  return out;
}

bool ParseFsPath(const std::string& text, FsPath* out) {
  FsPath p;
  size_t slash = text.find_first_of("/\\");
  size_t colon = text.find(':');
  if (slash == std::string::npos || colon == std::string::npos || colon < slash) return false;
  p.server = text.substr(0, slash);
  p.volume = text.substr(slash + 1, colon - slash - 1);
  if (p.server.empty() || p.server.find('.') != std::string::npos ||
      !ValidFolderName(p.server) || !ValidFolderName(p.volume))
    return false;
  std::string rest = text.substr(colon + 1);
  size_t at = 0;
  while (at < rest.size() && IsSeparator(rest[at])) ++at;  // "SYS:/mail" and "SYS:mail" alike
  while (at < rest.size()) {
    size_t end = at;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    std::string part = rest.substr(at, end - at);
    if (!ValidFolderName(part)) return false;
    p.folders.push_back(part);
    at = end;
    if (at < rest.size()) {
      ++at;
      if (at == rest.size()) break;  // one trailing separator is harmless
    }
  }
  *out = p;
  return true;
}

std::string LocalFolder(const std::string& volumeFolder, const std::vector<std::string>& folders) {
  std::string out = volumeFolder;
  for (const std::string& f : folders) out += "\\" + f;
  return out;
}

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i == line.size()) break;
    std::string word;
    bool quoted = false;
    for (; i < line.size(); ++i) {
      char c = line[i];
      if (c == '\\' && i + 1 < line.size() && line[i + 1] == '"') {
        word += '"';
        ++i;
      } else if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && (c == ' ' || c == '\t')) {
        break;
      } else {
        word += c;
      }
    }
    out.push_back(word);
  }
  return out;
}

AdminArgs ParseAdminArgs(const std::vector<std::string>& args) {
  AdminArgs a;
  struct Option {
    const char* name;
    std::string* value;
  } withValue[] = {{"--database", &a.database}, {"--identity", &a.identity},
                   {"--open", &a.open},         {"--select", &a.select},
                   {"--page", &a.page}};
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool known = false;
    for (const Option& o : withValue) {
      if (arg != o.name) continue;
      known = true;
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        a.error = arg + " needs a value.";
        return a;
      }
      *o.value = args[++i];
    }
    if (known) continue;
    if (arg == "--snapin") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        a.error = "--snapin needs a library.";
        return a;
      }
      a.snapins.push_back(args[++i]);
    } else if (arg == "--no-config-snapins") {
      a.registrySnapins = false;
    } else if (arg == "--sign-in") {
      a.signIn = true;
    } else {
      a.error = "Unknown argument: " + arg;
      return a;
    }
  }
  return a;
}

std::vector<std::string> SplitSnapinList(const std::string& text, bool multiString) {
  std::vector<std::string> out;
  char separator = multiString ? '\0' : ';';
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find(separator, at);
    if (end == std::string::npos) end = text.size();
    std::string item = Trim(text.substr(at, end - at));
    if (!item.empty()) out.push_back(item);
    at = end + 1;
  }
  return out;
}

const char* DirectoryErrorText(int code) {
  static const struct {
    int code;
    const char* text;
  } kTexts[] = {
      {-304, "Buffer full"},
      {-306, "Bad syntax"},
      {-328, "The directory cannot be opened"},
      {-601, "No such entry"},
      {-602, "No such value"},
      {-603, "No such attribute"},
      {-604, "No such class"},
      {-606, "Entry already exists"},
      {-608, "Illegal attribute specified"},
      {-613, "Syntax violation"},
      {-614, "Duplicate value specified"},
      {-623, "Syntax invalid in name"},
      {-632, "System failure"},
      {-641, "Invalid request"},
      {-645, "Class already exists"},
      {-649, "Insufficient buffer space"},
      {-657, "Schema sync in progress"},
      {-663, "Directory services locked"},
      {-672, "No access"},
  };
  for (const auto& t : kTexts)
    if (t.code == code) return t.text;
  return "Undefined directory error";
}

std::string DirectoryErrorLine(int code) {
  char head[24];
  std::snprintf(head, sizeof head, "[%d] ", code);
  return head + std::string(DirectoryErrorText(code));
}

std::string NlsFolder(const std::string& base, const std::string& language) {
  std::string b = base;
  while (!b.empty() && IsSeparator(b.back())) b.pop_back();
  if (language.empty()) return b;
  return b + "\\" + language;
}

int ImageBits(const std::string& head) {
  auto u16 = [&](size_t at) -> unsigned {
    return static_cast<unsigned char>(head[at]) | static_cast<unsigned char>(head[at + 1]) << 8;
  };
  if (head.size() < 0x40 || head.compare(0, 2, "MZ") != 0) return 0;
  size_t pe = u16(0x3C) | static_cast<size_t>(u16(0x3E)) << 16;
  // "PE\0\0", the 20-byte file header, then the optional header's magic.
  if (pe > head.size() || head.size() - pe < 26 || head.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
    return 0;
  switch (u16(pe + 24)) {
    case 0x10B: return 32;
    case 0x20B: return 64;
    default: return 0;
  }
}

}  // namespace zelm::host
