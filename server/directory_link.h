// The server's side of the directory: finds its objects (its "HVX Server"
// object, the messaging server whose "Quorvel:Host" names it, and that
// server's store agent), reads its configuration there, writes back its
// status and address, and clears "Quorvel:Config Changed" once it has taken
// a change. It acts as one identity (a user object) with that identity's
// rights, or as a local system caller when none is given.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config.h"
#include "directory.h"

struct DirectoryReading {
  StoreConfig config;               // the base configuration with the directory's settings
  std::string messagingServer;      // full names; empty when not found
  std::string storeAgent;
  std::string storeModule = "STORAGNT.QMD";  // the store agent's module file name
  bool serverDisabled = false;      // the messaging server's "Quorvel:Disabled"
  bool agentDisabled = false;       // the store agent's
  std::string unavailable;          // why the store cannot be served; empty when it can
  std::vector<std::string> notes;   // for the log: values left out and why
  struct Flag {
    std::string object;
    std::string value;  // as read, starting with "1"
  };
  std::vector<Flag> changed;        // "Quorvel:Config Changed" set on the objects read
};

// Size and times of the database file: any change a process makes moves them.
struct FileStamp {
  ino_t inode = 0;
  off_t size = -1;
  int64_t mtimeNs = 0;
  int64_t ctimeNs = 0;
  bool operator==(const FileStamp& o) const {
    return inode == o.inode && size == o.size && mtimeNs == o.mtimeNs && ctimeNs == o.ctimeNs;
  }
  bool operator!=(const FileStamp& o) const { return !(*this == o); }
};

class DirectoryLink {
 public:
  DirectoryLink() = default;
  ~DirectoryLink();
  DirectoryLink(const DirectoryLink&) = delete;
  DirectoryLink& operator=(const DirectoryLink&) = delete;

  // Opens the database, checks that the server object is an "HVX Server" and
  // the identity (when given) a user. False with a reason.
  bool Open(const std::string& databasePath, const std::string& serverObject,
            const std::string& identity, std::string* error);
  // The server object's "Network Address" ("a.b.c.d[:port]"), "" when none.
  std::string NetworkAddress();
  const std::string& ServerObject() const { return server_; }


  // Reads the configuration on top of base. False with a reason only when
  // the directory itself failed; missing objects leave the reading's
  // unavailable set instead.
  bool Read(const StoreConfig& base, DirectoryReading* out, std::string* error);
  // Writes "Quorvel:Server Status" and "Quorvel:IP Address" of the messaging
  // server where they differ. 0 or a directory error code.
  int Report(const std::string& messagingServer, const std::string& status,
             const std::string& address);
  // Turns each flag read as set into "0"; a flag changed meanwhile is left
  // alone. The number of flags cleared; failures other than that are named
  // in *errors.
  int ClearFlags(const std::vector<DirectoryReading::Flag>& flags, std::vector<std::string>* errors);

  FileStamp Stamp() const;

 private:
  zelm::dir::Caller Caller() const;
  std::vector<std::string> Values(const std::string& object, const std::string& attribute,
                                  int* result = nullptr);
  int ReadAll(const std::string& object, const std::vector<std::string>& names,
              std::vector<zelm::dir::AttributeValues>* out);
  bool HostIsMine(const std::string& messagingServer);
  std::string FindMessagingServer();
  void Walk(const std::string& container, int depth, std::string* found);
  std::string FindStoreAgent(const std::string& messagingServer);
  void UserQuotas(const std::vector<std::string>& contexts, StoreConfig* config,
                  std::vector<std::string>* notes);
  int Replace(const std::string& object, const std::string& attribute, const std::string& value);

  std::string path_;
  std::unique_ptr<zelm::dir::Directory> dir_;
  std::string server_;     // full name of the "HVX Server" object
  std::string identity_;   // full name, "" = system
  std::string messaging_;  // the messaging server found last
};
