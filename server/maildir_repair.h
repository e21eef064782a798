// Repair of one Maildir mailbox: its folders, the flag sections of its
// message file names and its index, checked and (unless only checking) put
// right. Nothing a client could still want is deleted: stale deliveries in
// tmp/ are the only files removed, and a message is never dropped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class MessageStore;

// One kind of fault and what became of it.
struct RepairFinding {
  std::string action;  // for people, e.g. "2 messages without their flag section: put right"
  uint64_t found = 0;  // faults of this kind (0 for mere notes)
  uint64_t fixed = 0;
};

// Files in tmp/ this much older than now are deliveries that never finished.
constexpr int64_t kStaleDeliverySeconds = 36 * 3600;

// Checks the Maildir open at mailboxfd. Findings go to out in the order
// they were made. False (with a reason) when the mailbox cannot be read.
bool RepairMaildir(MessageStore* store, int mailboxfd, bool fix, std::vector<RepairFinding>* out,
                   std::string* error);

// A Maildir file name with its flag letters in order and each once
// ("x:2,TS" -> "x:2,ST"); names without ":2," come back with an empty one.
// Names whose info is not of the ":2," kind come back unchanged.
std::string NormalizedMaildirName(const std::string& name);
