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
  // How long a call waits for another process's lock before it gives
  // kErrLocked ("Directory services locked").
  uint32_t lockWaitMs = 30000;
  // Tests only: called at each step of a durable write ("append-written",
  // "append-synced", "compact-written", "compact-header1", "compact-copied",
  // "compact-header2", "compact-truncated") so a crash can be staged there.
  std::function<void(const char* step)> faultHook;
};

// One step of a change made of several (Directory::Apply).
struct Step {
  enum Kind { kAdd, kModify, kRemove, kGrant, kSetting };
  Kind kind;
  std::string object;                   // full name; a setting's key
  std::vector<AttributeIn> attributes;  // kAdd
  std::vector<Change> changes;          // kModify
  std::string trustee;                  // kGrant
  std::string scope;                    // kGrant
  uint32_t rights = 0;                  // kGrant
  std::string value;                    // kSetting
};

// What a look at a database file found (Directory::Examine and Salvage).
struct FileReport {
  std::vector<std::string> damage;   // each damaged part: where and what
  std::vector<std::string> dropped;  // what a salvage leaves out; empty when nothing
  uint64_t changesKept = 0;          // journal records carried over
  bool sound() const { return damage.empty(); }
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
  // Looks at a database file part by part without using it: every damaged
  // part, and what a salvage would leave out.
  static int Examine(const std::string& path, FileReport* report);
  // Writes a new database at out (which must not exist) from what can be read
  // of path: the newest snapshot that verifies, then every journal record
  // that verifies and still applies, in order. A part damaged in one bit is
  // read as it was written. The report names what was left out.
  static int Salvage(const std::string& path, const std::string& out, FileReport* report);

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
  // The steps in order, each checked (rights included) against the state the
  // ones before it leave, written as one change: all or none. *failed is the
  // index of the step refused.
  int Apply(const Caller& caller, const std::vector<Step>& steps, size_t* failed);
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
  // What this handle found wrong with the file at its last look, one line
  // each; empty when nothing. While the journal or a snapshot is damaged,
  // reads give what could be read up to the damage and every write fails
  // with kErrSystemFailure, leaving the file as it is (see Salvage).
  int Check(std::vector<std::string>* findings);

 private:
  explicit Directory(OpenOptions options);
  int RefreshLocked(bool writer);
  int LoadAll();
  int ReplayTail(uint64_t fileSize);
  void JudgeTail(std::string_view rest, uint64_t at);
  int WriteCurrentSlot();
  int Commit(const std::string& payload, bool checked = false);
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
  uint64_t headerEpoch_ = 0;   // newest epoch the header named at the last load
  uint64_t lastSeq_ = 0;
  uint64_t journalStart_ = 0;
  uint64_t tail_ = 0;          // end of the last valid record
  uint64_t snapshotAt_ = 0;
  uint64_t snapshotBytes_ = 0;
  uint32_t snapshotCrc_ = 0;
  uint64_t snapshotSeq_ = 0;   // newest change the snapshot holds
  int rewriteCopy_ = -1;       // the copy of the current header slot missing or damaged
  bool damaged_ = false;       // a snapshot is damaged: writes are refused
  std::vector<std::string> findings_;
  std::string tailFinding_;    // damage after the last good record: writes are refused
  // The bytes after tail_ that are no record, as last judged: while they stay
  // as they are they are not looked through again.
  uint64_t judgedEpoch_ = 0, judgedAt_ = 0, judgedSize_ = 0;
  std::string judgedHead_;
};

// Turns a description (textfile.h) or a tree into the image of a new file.
std::string NewDatabaseImage(const Tree& content);

}  // namespace zelm::dir
