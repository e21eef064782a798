// The store as the server sees it: the root folder, its users and their
// Maildir mailboxes, and the indexes shared by every connection.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "config.h"
#include "mailbox_index.h"
#include "store_fs.h"

class MessageStore {
 public:
  explicit MessageStore(const StoreConfig& config) : config_(config) {}
  // Opens the root folder. False with a reason when it is not a readable folder.
  bool Open(std::string* error);
  const StoreConfig& Config() const { return config_; }

  // User folders beneath the root (valid names only), sorted.
  bool ListUsers(std::vector<std::string>* out) const;
  // The folder of a user; invalid for refused names and missing users.
  UniqueFd OpenUser(const std::string& name) const;
  // Wire names of the user's mailboxes (INBOX when the user folder is a Maildir).
  bool ListMailboxes(int userfd, std::vector<std::string>* out) const;
  // folder "" is INBOX. Invalid when it is missing or not a Maildir.
  UniqueFd OpenMailbox(int userfd, const std::string& folder) const;
  std::shared_ptr<MailboxIndex> IndexFor(int mailboxfd);
  // Kilobytes (rounded up) of the messages in all the user's mailboxes.
  uint64_t UsedKb(int userfd) const;

  enum RemoveResult { kRemoved, kNoSuchMailbox, kRemoveFailed };
  // Removes a mailbox folder (never INBOX: folder must be a ".name" folder).
  RemoveResult RemoveMailbox(int userfd, const std::string& folder);

 private:
  StoreConfig config_;
  UniqueFd root_;
  std::mutex mu_;
  std::map<std::pair<dev_t, ino_t>, std::shared_ptr<MailboxIndex>> indexes_;
};
