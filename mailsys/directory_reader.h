// The mail system's side of the directory, through whichever backend holds
// it: finds the messaging server whose host is this machine's server object,
// reads it, its agents, the global aliases and the users of its contexts
// into a Snapshot, and turns the change flags it has taken into "0".
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "backend.h"
#include "mail_settings.h"

namespace zelm::mail {

class DirectoryReader {
 public:
  // serverObject: the "HVX Server" object of this machine (a leading "."
  // allowed); storeOverride: a store folder that replaces the store agent's.
  DirectoryReader(std::unique_ptr<dir::Backend> backend, const std::string& serverObject,
                  std::string storeOverride);

  // Everything the mail system serves from; the snapshot's problem says why
  // when the directory could not be read.
  Snapshot Read();
  // The "Quorvel:Config Changed" values set ("1...") among these objects.
  std::vector<std::pair<std::string, std::string>> SetFlags(const std::vector<std::string>& objects);
  // Turns a flag read as value into "0"; a flag set anew meanwhile is left
  // alone. 0, or a directory error code (kErrNoSuchValue when it changed).
  int ClearFlag(const std::string& object, const std::string& value);

  const std::string& serverObject() const { return server_; }
  std::string LastError() const;

 private:
  bool Object(const std::string& full, DirObject* out);
  // Objects directly in container; false when it cannot be listed.
  bool List(const std::string& container, std::vector<dir::ObjectInfo>* out);
  bool HostIsMine(const std::string& messaging);
  std::string FindMessagingServer();
  void Walk(const std::string& container, int depth, std::string* found);

  std::unique_ptr<dir::Backend> d_;
  std::string server_;       // full name
  std::string storeOverride_;
  std::string messaging_;    // found last time
  std::string error_;
};

// A reference as the pages write it (".FS1.Acme", "FS1.Acme") as a full
// name; "" when it is no name.
std::string FullName(const std::string& value);

}  // namespace zelm::mail
