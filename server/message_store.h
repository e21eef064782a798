// The store as the server sees it: the root folder, its users and their
// Maildir mailboxes, and the indexes shared by every connection.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "config.h"
#include "folder_watch.h"
#include "mailbox_index.h"
#include "server_stats.h"
#include "store_fs.h"

class MessageStore {
 public:
  explicit MessageStore(const StoreConfig& config);
  // Opens the root folder. False with a reason when it is not a readable folder.
  bool Open(std::string* error);
  // Takes a new configuration while clients are served; opens its root when
  // it names another folder (or none is open). False with a reason when that
  // folder cannot be opened: the store is then closed (nothing is listed)
  // until a configuration with a usable root comes.
  bool Reconfigure(const StoreConfig& config, std::string* error);
  bool IsOpen() const;
  // The configuration as it is now; callers keep the snapshot they got.
  std::shared_ptr<const StoreConfig> Config() const;
  ServerStats& Stats() { return stats_; }

  // User folders beneath the root (valid names only), sorted.
  bool ListUsers(std::vector<std::string>* out) const;
  // The folder of a user; invalid for refused names and missing users.
  UniqueFd OpenUser(const std::string& name) const;
  // Wire names of the user's mailboxes (INBOX when the user folder is a Maildir).
  bool ListMailboxes(int userfd, std::vector<std::string>* out) const;
  // folder "" is INBOX. Invalid when it is missing or not a Maildir.
  UniqueFd OpenMailbox(int userfd, const std::string& folder) const;
  // The mailbox's index, shared by every connection; made (and its folders
  // watched) at the first call for the mailbox.
  std::shared_ptr<MailboxIndex> IndexFor(int mailboxfd);
  // Reports of changes in watched mailboxes (MailboxIndex::Changes).
  FolderWatch& Watch() { return watch_; }
  // MailboxIndex::Refresh, counting messages that appeared since the last look.
  bool Refresh(MailboxIndex* index, int mailboxfd, MailboxIndex::Listing* out, std::string* error);
  // Kilobytes (rounded up) of the messages in all the user's mailboxes.
  uint64_t UsedKb(int userfd) const;

  // kRemoveFailed: nothing changed. kRemovedInPart: the mailbox is gone from
  // the listing but not all of it from the disk; *remains names the folder
  // holding the rest, removed at the next RMOV of the user or start.
  enum RemoveResult { kRemoved, kNoSuchMailbox, kRemoveFailed, kRemovedInPart };
  // Removes a mailbox folder (never INBOX: folder must be a ".name" folder);
  // user names it in the log.
  RemoveResult RemoveMailbox(int userfd, const std::string& user, const std::string& folder,
                             std::string* remains);
  // Removes what earlier removals left in every user's folder.
  void SweepStore();

 private:
  std::shared_ptr<const UniqueFd> Root() const;
  void SweepRemains(int userfd, const std::string& user);
  // Removal folders being worked on by some connection now.
  bool Claim(const std::string& doomed);
  void Release(const std::string& doomed);

  mutable std::mutex configMu_;  // guards config_ and root_
  std::shared_ptr<const StoreConfig> config_;
  std::shared_ptr<const UniqueFd> root_;  // null while closed
  ServerStats stats_;
  std::mutex mu_;
  std::map<std::pair<dev_t, ino_t>, std::shared_ptr<MailboxIndex>> indexes_;
  FolderWatch watch_;
  std::set<std::string> removing_;
};
