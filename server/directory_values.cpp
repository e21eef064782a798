#include "directory_values.h"

#include <strings.h>

#include "textfile.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool UsableName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == ':') return false;
  }
  return true;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

}  // namespace

bool FlagOn(const std::vector<std::string>& values) {
  return !values.empty() && !values[0].empty() && values[0][0] == '1';
}

bool ResolveStorePath(const std::string& value, const std::string& serverLeaf,
                      const std::vector<std::string>& volumes, const std::string& databasePath,
                      std::string* folder, std::string* error) {
  size_t slash = value.find_first_of("/\\");
  size_t colon = value.find(':');
  if (slash == std::string::npos || colon == std::string::npos || colon < slash) {
    *error = "store path \"" + value + "\" is not SERVER/VOLUME:path";
    return false;
  }
  std::string server = value.substr(0, slash);
  std::string volume = value.substr(slash + 1, colon - slash - 1);
  if (strcasecmp(server.c_str(), serverLeaf.c_str()) != 0) {
    *error = "store path \"" + value + "\" lies on another server than " + serverLeaf;
    return false;
  }
  std::string base;
  for (const std::string& v : volumes) {
    std::string name, where;
    if (zelm::dir::SplitVolume(v, &name, &where) && strcasecmp(name.c_str(), volume.c_str()) == 0) {
      base = zelm::dir::VolumeFolder(databasePath, where);
      break;
    }
  }
  if (base.empty()) {
    *error = "store path \"" + value + "\": " + serverLeaf + " has no volume " + volume;
    return false;
  }
  std::string rest = value.substr(colon + 1);
  size_t at = 0;
  while (at < rest.size() && IsSeparator(rest[at])) ++at;  // "SYS:/mail" and "SYS:mail" alike
  std::string out = base;
  while (at < rest.size()) {
    size_t end = at;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    std::string part = rest.substr(at, end - at);
    if (!UsableName(part)) {
      *error = "store path \"" + value + "\" holds a folder name that is not allowed";
      return false;
    }
    out += "/" + part;
    at = end < rest.size() ? end + 1 : end;  // one trailing separator is harmless
  }
  *folder = out;
  return true;
}

std::vector<TrustedNet> TrustedFromValues(const std::vector<std::string>& values,
                                          std::vector<std::string>* ignored) {
  std::vector<TrustedNet> out;
  for (const std::string& v : values) {
    std::vector<TrustedNet> one;
    std::string why;
    // One address or network per value: a comma would let one value hide several.
    if (v.find(',') == std::string::npos && ParseTrustedList(v, &one, &why)) {
      out.insert(out.end(), one.begin(), one.end());
    } else if (ignored) {
      ignored->push_back(v);
    }
  }
  if (out.empty() && !values.empty()) out.push_back({0, 0xFFFFFFFFu});
  return out;
}

bool ParseKilobytes(const std::string& text, uint64_t* kb) {
  std::string t = Trim(text);
  if (t.empty() || t.size() > 10) return false;
  uint64_t v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > 0xFFFFFFFFull) return false;  // the store client reads 32 bits
  *kb = v;
  return true;
}

uint32_t QuotaBits(const std::vector<std::string>& values) {
  uint64_t bits = 0;
  if (values.empty() || !ParseKilobytes(values[0], &bits)) return 0;
  return static_cast<uint32_t>(bits);
}
