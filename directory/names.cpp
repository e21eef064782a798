#include "names.h"

#include "errors.h"

namespace zelm::dir {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool ValidComponent(std::string_view c) {
  if (c.empty() || c.size() > kMaxComponentLength) return false;
  if (c.front() == ' ' || c.back() == ' ' || c.front() == '[') return false;
  for (char ch : c) {
    unsigned char u = static_cast<unsigned char>(ch);
    // ':' would make names ambiguous in the text format beside class names.
    if (u < 0x20 || u == 0x7F || ch == '.' || ch == ':') return false;
  }
  return true;
}

// True when name equals base or ends with "." followed by base.
bool EndsWithName(std::string_view name, std::string_view base) {
  if (name.size() < base.size()) return false;
  if (!SameText(name.substr(name.size() - base.size()), base)) return false;
  return name.size() == base.size() || name[name.size() - base.size() - 1] == '.';
}

}  // namespace

std::string Fold(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Lower(c);
  return out;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

int CheckFullName(std::string_view full, std::vector<std::string_view>* parts) {
  if (parts) parts->clear();
  if (full.empty()) return kOk;
  if (full.size() > kMaxNameLength) return kErrBadName;
  size_t start = 0;
  while (true) {
    size_t dot = full.find('.', start);
    std::string_view c = full.substr(start, dot == std::string_view::npos ? dot : dot - start);
    if (!ValidComponent(c)) return kErrBadName;
    if (parts) parts->push_back(c);
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return kOk;
}

int ResolveName(std::string_view context, std::string_view name, std::string* full) {
  if (name.empty()) return kErrBadName;
  if (SameText(name, kRootName)) {
    full->clear();
    return kOk;
  }
  if (name.front() == '.') {
    std::string_view body = name.substr(1);
    if (body.empty() || CheckFullName(body) != kOk) return kErrBadName;
    full->assign(body);
    return kOk;
  }

  size_t climbs = 0;
  while (climbs < name.size() && name[name.size() - 1 - climbs] == '.') ++climbs;
  std::string_view body = name.substr(0, name.size() - climbs);
  if (body.empty()) return kErrBadName;

  std::string_view base = context;
  bool loose = false;
  if (base.empty() || SameText(base, kRootName)) {
    base = {};
  } else {
    if (base.front() == '.') base.remove_prefix(1);
    if (!base.empty() && base.back() == '.') {
      base.remove_suffix(1);
      loose = true;
    }
    if (CheckFullName(base) != kOk) return kErrBadName;
  }

  std::string out;
  if (climbs > 0) {
    for (size_t i = 0; i < climbs; ++i) {
      if (base.empty()) return kErrBadName;
      size_t dot = base.find('.');
      base = dot == std::string_view::npos ? std::string_view() : base.substr(dot + 1);
    }
    out.assign(body);
    if (!base.empty()) out.append(".").append(base);
  } else if (base.empty() || (loose && EndsWithName(body, base))) {
    out.assign(body);
  } else {
    out.assign(body).append(".").append(base);
  }
  if (CheckFullName(out) != kOk) return kErrBadName;
  *full = std::move(out);
  return kOk;
}

std::string_view ParentName(std::string_view full) {
  size_t dot = full.find('.');
  return dot == std::string_view::npos ? std::string_view() : full.substr(dot + 1);
}

std::string_view LeafName(std::string_view full) {
  return full.substr(0, full.find('.'));
}

bool IsBelow(std::string_view full, std::string_view ancestor) {
  if (full.empty()) return false;
  if (ancestor.empty()) return true;
  return full.size() > ancestor.size() + 1 && EndsWithName(full, ancestor);
}

}  // namespace zelm::dir
