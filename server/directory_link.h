// The server's side of the directory: finds its objects (its "HVX Server"
// object, the messaging server whose "Quorvel:Host" names it, and that
// server's store agent), reads its configuration there, writes back its
// status and address, and clears "Quorvel:Config Changed" once it has taken
// a change. It acts as one identity (a user object) with that identity's
// rights, or as a local system caller when none is given. The directory is
// the engine's database file or an LDAP server (backend.h).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config.h"
#include "backend.h"

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

// Where the directory stands: any change a process makes moves it. Over the
// file, its size and times; over LDAP, the number of changes by others that
// content synchronisation reported.
struct DirectoryMark {
  ino_t inode = 0;
  off_t size = -1;
  int64_t mtimeNs = 0;
  int64_t ctimeNs = 0;
  uint64_t changes = 0;
  bool operator==(const DirectoryMark& o) const {
    return inode == o.inode && size == o.size && mtimeNs == o.mtimeNs && ctimeNs == o.ctimeNs &&
           changes == o.changes;
  }
  bool operator!=(const DirectoryMark& o) const { return !(*this == o); }
};

class DirectoryLink {
 public:
  DirectoryLink();
  ~DirectoryLink();
  DirectoryLink(const DirectoryLink&) = delete;
  DirectoryLink& operator=(const DirectoryLink&) = delete;

  // Opens the directory (a database file or an address ldap://HOST:PORT/BASE),
  // checks that the server object is an "HVX Server" and the identity (when
  // given) a user. Over LDAP the server binds as the identity (or the
  // directory's administrator without one) with the password held in
  // passwordFile, which only its owner may read. False with a reason, which
  // never holds the password.
  bool Open(const std::string& location, const std::string& serverObject,
            const std::string& identity, const std::string& passwordFile, std::string* error);
  // The server object's "Network Address" ("a.b.c.d[:port]"), "" when none.
  std::string NetworkAddress();
  const std::string& ServerObject() const { return server_; }
  bool OverLdap() const { return ldap_; }
  // What the directory said about the last failure, when it says more than
  // the code (the server's own words over LDAP); may be empty.
  std::string LastError() const { return dir_ ? dir_->lastError() : std::string(); }

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

  // Where the directory stood when the configuration was last read (over
  // the file: now), for telling the server's own writes from others'.
  DirectoryMark Stamp() const;
  // Where it stands now. Over LDAP this first takes what content
  // synchronisation reported; call it from one thread only.
  DirectoryMark Current();

 private:
  struct Follower;
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
  bool Connect(std::string* error);
  bool Follow();
  DirectoryMark FileStamp() const;

  std::string location_;
  std::string volumesBeside_;  // relative volume folders lie beside this path
  bool ldap_ = false;
  std::string password_;       // over LDAP, from the password file
  std::unique_ptr<zelm::dir::Backend> dir_;
  std::string server_;     // full name of the "HVX Server" object
  std::string identity_;   // full name, "" = system (or over LDAP the administrator)
  std::string messaging_;  // the messaging server found last
  std::unique_ptr<Follower> follower_;  // over LDAP: changes by others
  uint64_t readAt_ = 0;                 // over LDAP: the changes counted when last read
};

// The password in a file that only its owner may read (mode 600 or
// stricter); false with a reason otherwise.
bool ReadPasswordFile(const std::string& path, std::string* password, std::string* error);
