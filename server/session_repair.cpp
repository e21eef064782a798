// The REPAIR command: which mailboxes, the progress lines as the work goes
// on, STOP between mailboxes, and the closing counts.
#include <strings.h>

#include <cstring>

#include "maildir_repair.h"
#include "session.h"
#include "store_names.h"

namespace {

struct Target {
  std::string user;
  std::string mailbox;  // wire name
  std::string folder;   // "" for INBOX
};

// Takes `word` (any case) off the front of rest when it is there as a word.
bool TakeWord(std::string* rest, const char* word) {
  size_t n = strlen(word);
  if (rest->size() < n || strncasecmp(rest->c_str(), word, n) != 0) return false;
  if (rest->size() > n && (*rest)[n] != ' ') return false;
  rest->erase(0, rest->size() > n ? n + 1 : n);
  return true;
}

std::string ProgressLine(uint64_t errors, const std::string& user, const std::string& mailbox,
                         const std::string& action) {
  return "2030 " + std::to_string(errors) + "\t" + user + "\t" + mailbox + "\t" + action + "\r\n";
}

}  // namespace

bool StoreSession::IsRepair(const std::string& line, std::string* args) {
  std::string rest = line;
  if (!TakeWord(&rest, "REPAIR")) return false;
  *args = rest;
  return true;
}

bool StoreSession::Repair(const std::string& args, const Sender& send,
                          const std::function<bool()>& stopWanted, std::string* out) {
  std::string rest = args;
  bool check = TakeWord(&rest, "CHECK");
  std::vector<Target> targets;
  if (TakeWord(&rest, "STORE") && rest.empty()) {
    std::vector<std::string> users;
    if (!store_->ListUsers(&users)) {
      Reply(out, kErrStore, "the store could not be read");
      return true;
    }
    for (const std::string& user : users) {
      UniqueFd userfd = store_->OpenUser(user);
      std::vector<std::string> boxes;
      if (!userfd.Valid() || !store_->ListMailboxes(userfd.Get(), &boxes)) continue;
      for (const std::string& wire : boxes) {
        std::string folder;
        if (MailboxFolder(wire, &folder)) targets.push_back({user, wire, folder});
      }
    }
  } else if (TakeWord(&rest, "MBOX") && !rest.empty()) {
    if (!userFd_.Valid()) {
      Reply(out, kErrNoUser, "no user selected");
      return true;
    }
    std::string folder;
    if (!MailboxFolder(rest, &folder)) {
      Reply(out, kErrNameRefused, "mailbox name refused");
      return true;
    }
    if (!store_->OpenMailbox(userFd_.Get(), folder).Valid()) {
      Reply(out, kErrNoSuchMailbox, "no such mailbox");
      return true;
    }
    targets.push_back({user_, rest, folder});
  } else {
    Reply(out, kErrSyntax, "usage: REPAIR [CHECK] MBOX name, or REPAIR [CHECK] STORE");
    return true;
  }

  if (!send("2002 " + std::to_string(targets.size()) + " mailboxes\r\n")) return false;
  uint64_t mailboxes = 0, errors = 0, repaired = 0;
  bool stopped = false;
  for (const Target& t : targets) {
    if (stopWanted()) {
      stopped = true;
      break;
    }
    // The user is looked up again: a repair of the whole store may run long.
    UniqueFd userfd = store_->OpenUser(t.user);
    UniqueFd boxfd = userfd.Valid() ? store_->OpenMailbox(userfd.Get(), t.folder) : UniqueFd();
    if (!boxfd.Valid()) {
      if (!send(ProgressLine(errors, t.user, t.mailbox, "gone before its turn: passed over")))
        return false;
      continue;
    }
    if (!send(ProgressLine(errors, t.user, t.mailbox, check ? "checking" : "checking and repairing")))
      return false;
    std::vector<RepairFinding> findings;
    std::string why;
    bool read = RepairMaildir(store_, boxfd.Get(), !check, &findings, &why);
    ++mailboxes;
    for (const RepairFinding& f : findings) {
      errors += f.found;
      repaired += f.fixed;
      if (!send(ProgressLine(errors, t.user, t.mailbox, f.action))) return false;
    }
    std::string last = !read ? "cannot be read: " + why
                       : findings.empty() ? "nothing to put right"
                                          : "done";
    if (!read) ++errors;
    if (!send(ProgressLine(errors, t.user, t.mailbox, last))) return false;
  }
  return send("1000 " + std::string(stopped ? "stopped" : "done") + " " + std::to_string(mailboxes) +
              " " + std::to_string(errors) + " " + std::to_string(repaired) + "\r\n");
}
