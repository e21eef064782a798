#include "store_names.h"

#include <algorithm>
#include <set>
#include <strings.h>

namespace {

bool HasControl(std::string_view s) {
  for (char ch : s) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

bool ValidComponent(std::string_view c) {
  return !c.empty() && c.find('.') == std::string_view::npos &&
         c.find('/') == std::string_view::npos && c.find('\\') == std::string_view::npos &&
         !HasControl(c);
}

}  // namespace

bool IsInbox(std::string_view wire) {
  return wire.size() == 5 && strncasecmp(wire.data(), "INBOX", 5) == 0;
}

bool ValidUserName(std::string_view name) {
  return !name.empty() && name.size() <= kNameMax && name[0] != '.' &&
         name.find('/') == std::string_view::npos && !HasControl(name);
}

bool MailboxFolder(std::string_view wire, std::string* folder) {
  folder->clear();
  if (IsInbox(wire)) return true;
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t slash = wire.find('/', start);
    std::string_view part =
        wire.substr(start, slash == std::string_view::npos ? std::string_view::npos
                                                           : slash - start);
    if (!ValidComponent(part)) return false;
    // INBOX's children are the top-level folders; no second spelling for them.
    if (start == 0 && IsInbox(part)) return false;
    out += '.';
    out.append(part.data(), part.size());
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  if (out.size() > kNameMax) return false;
  *folder = out;
  return true;
}

bool WireMailboxName(std::string_view folder, std::string* wire) {
  if (folder.size() < 2 || folder[0] != '.' || folder.size() > kNameMax) return false;
  std::string out;
  size_t start = 1;
  for (;;) {
    size_t dot = folder.find('.', start);
    std::string_view part =
        folder.substr(start, dot == std::string_view::npos ? std::string_view::npos
                                                           : dot - start);
    if (!ValidComponent(part)) return false;
    if (start == 1 && IsInbox(part)) return false;
    if (!out.empty()) out += '/';
    out.append(part.data(), part.size());
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  *wire = out;
  return true;
}

std::vector<std::string> MailboxListing(std::vector<std::string> names) {
  std::set<std::string> boxes(names.begin(), names.end());
  std::set<std::string> nodes;
  for (const std::string& n : boxes) {
    for (size_t slash = n.find('/'); slash != std::string::npos; slash = n.find('/', slash + 1)) {
      std::string parent = n.substr(0, slash);
      if (!boxes.count(parent)) nodes.insert(parent + "/");
    }
  }
  std::vector<std::string> all;
  for (const std::string& n : boxes)
    if (!IsInbox(n)) all.push_back(n);
  all.insert(all.end(), nodes.begin(), nodes.end());
  // A node sorts just before its children: compare with '/' as the lowest byte.
  std::sort(all.begin(), all.end(), [](const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
      unsigned char x = a[i] == '/' ? 0 : static_cast<unsigned char>(a[i]);
      unsigned char y = b[i] == '/' ? 0 : static_cast<unsigned char>(b[i]);
      if (x != y) return x < y;
    }
    return a.size() < b.size();
  });
  std::vector<std::string> out;
  if (std::any_of(boxes.begin(), boxes.end(), [](const std::string& n) { return IsInbox(n); }))
    out.push_back("INBOX");
  out.insert(out.end(), all.begin(), all.end());
  return out;
}
