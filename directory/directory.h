// One directory database file, shared by every process that opens it.
//
//   std::unique_ptr<zelm::dir::Directory> d;
//   if (zelm::dir::Directory::Open("/srv/zelm/directory.zdb", &d) != 0) ...
//   std::vector<zelm::dir::AttributeValues> values;
//   d->Read(zelm::dir::Caller::System(), "MS1.Internet Services", {"Quorvel:Host"}, &values);
//
// Every call returns 0 or one of the negative codes of errors.h. Names are
// full names (names.h; ResolveName turns what a caller typed into one). A
// change returns only once it is on stable storage; every call first picks up
// what other processes wrote since. Calls are thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "errors.h"
#include "file_io.h"
#include "names.h"
#include "schema.h"
#include "tree.h"

namespace zelm::dir {

// Who asks. An identity is the full name of a user object ("" = anonymous);
// system callers (local tools, the store server) hold every right.
struct Caller {
  std::string identity;
  bool system = false;
  static Caller System() { return {std::string(), true}; }
  static Caller As(std::string_view identity) { return {std::string(identity), false}; }
};

struct AttributeValues {
  std::string name;  // as the schema spells it
  uint32_t syntax;   // the attribute's syntax in the schema
  std::vector<std::string> values;
  // The syntax each value was written with, one per value (values kept by
  // older files, which did not record it, take the schema's syntax).
  std::vector<uint32_t> syntaxes;
};

struct ObjectInfo {
  std::string full;       // "" for the root
  std::string className;  // "[Root]" for the root
  bool container;
  uint32_t subordinates;  // objects directly below
  uint32_t attributeCount;
};

struct OpenOptions {
  // The journal is folded into a new snapshot once it is larger than this and
  // than the snapshot itself, so compaction costs stay proportional to writes.
  uint64_t compactMinimum = 1u << 20;
  // Tests only: called at each step of a durable write ("append-written",
  // "append-synced", "compact-written", "compact-header1", "compact-copied",
  // "compact-header2", "compact-truncated") so a crash can be staged there.
  std::function<void(const char* step)> faultHook;
};

struct DirectoryStats {
  uint64_t fileSize;
  uint64_t snapshotBytes;
  uint64_t journalBytes;
  uint64_t epoch;      // grows with each compaction
  uint64_t lastChange; // sequence number of the newest change
  uint64_t objects;
};

class Directory {
 public:
  static int Open(const std::string& path, std::unique_ptr<Directory>* out,
                  OpenOptions options = OpenOptions());
  // Writes a new database file holding content; kErrEntryExists when path exists.
  static int Create(const std::string& path, const Tree& content);

  ~Directory();
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;

  // Values of the named attributes (or, with names empty, of every attribute
  // the caller may read, "Object Class" first). Attributes the object lacks
  // are left out; kErrNoSuchAttribute when none of those asked is there,
  // kErrNoAccess when one of them may not be read.
  int Read(const Caller& caller, std::string_view full, const std::vector<std::string>& names,
           std::vector<AttributeValues>* out);
  int Describe(const Caller& caller, std::string_view full, ObjectInfo* out);
  // Objects directly in a container, by name, starting after the folded leaf
  // name after ("" from the first); at most max of them; *more when others follow.
  int List(const Caller& caller, std::string_view container, std::string_view after,
           size_t max, std::vector<ObjectInfo>* out, bool* more);

  // attributes must hold "Object Class" (syntax 20) with the new object's class.
  int Add(const Caller& caller, std::string_view full, const std::vector<AttributeIn>& attributes);
  // The changes apply in order, all or none.
  int Modify(const Caller& caller, std::string_view full, const std::vector<Change>& changes);
  int Remove(const Caller& caller, std::string_view full);
  // rights 0 withdraws the grant. Needs supervisor rights on the object.
  int SetGrant(const Caller& caller, std::string_view full, std::string_view trustee,
               std::string_view scope, uint32_t rights);
  int SetSetting(const Caller& caller, std::string_view key, std::string_view value);
  int GetSetting(std::string_view key, std::string* value);

  // Rights of trustee ("" = the caller) to scope ("[Entry Rights]",
  // "[All Attributes Rights]" or an attribute name) of the object.
  int EffectiveRights(const Caller& caller, std::string_view trustee, std::string_view full,
                      std::string_view scope, uint32_t* rights);

  // Runs visit on the current tree under a shared lock (system callers only).
  int Inspect(const Caller& caller, const std::function<void(const Tree&)>& visit);
  int Compact();
  int Refresh();
  int Stats(DirectoryStats* out);

 private:
  explicit Directory(OpenOptions options);
  int RefreshLocked(bool writer);
  int LoadAll();
  int ReplayTail(uint64_t fileSize);
  int Commit(const std::string& record);
  int MaybeCompact();
  int CompactLocked();
  void Hook(const char* step);
  template <class F>
  int WithLock(bool writer, F&& body);

  OpenOptions options_;
  std::mutex mu_;
  File file_;
  std::unique_ptr<Tree> tree_;
  uint64_t epoch_ = 0;         // 0 = nothing loaded
  uint64_t lastSeq_ = 0;
  uint64_t journalStart_ = 0;
  uint64_t tail_ = 0;          // end of the last valid record
  uint64_t snapshotBytes_ = 0;
};

// Turns a description (textfile.h) or a tree into the image of a new file.
std::string NewDatabaseImage(const Tree& content);

}  // namespace zelm::dir
