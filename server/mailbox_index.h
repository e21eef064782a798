// What the store knows about the messages of one Maildir, kept across
// connections and across restarts (the file "zelm-index" in the Maildir):
// each message's unique ID, facts and MIME answer, computed once from its
// bytes. Maildir files never change once delivered; flag changes only rename
// them, so a message is known by the part of its file name before the ':'.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "folder_watch.h"
#include "message_facts.h"

// MIME answers kept by any record since the process began. An index that
// saw the same count when it last looked has gained none since, and need
// not walk its records to know it.
extern std::atomic<uint64_t> g_mimeAnswersKept;

// A mailbox of a hundred thousand messages holds as many of these, so they
// are kept small: the numbers of MessageFacts and one block for the texts.
struct MessageRecord {
  MessageRecord() = default;
  MessageRecord(const MessageRecord&) = delete;
  MessageRecord& operator=(const MessageRecord&) = delete;
  ~MessageRecord() { delete[] mime.load(); }

  uint32_t uid = 0;           // stable, never reused within the Maildir
  uint32_t contentFlags = 0;  // as MessageFacts
  uint64_t rawSize = 0;
  int64_t mtime = 0;          // of the file when its facts were computed
  uint64_t headerBytes = 0, bodyBytes = 0;
  int64_t date = 0;
  // The message's MIME answer, packed (PackMime), taken from the same bytes
  // as the facts: when they were read if the message reads plainly, else at
  // its first MIME. Set once, then never changed; the record frees it.
  mutable std::atomic<char*> mime{nullptr};
  // Sets mime unless another thread did meanwhile; takes block (may be null).
  void KeepMime(char* block) const {
    char* none = nullptr;
    if (!block || !mime.compare_exchange_strong(none, block)) delete[] block;
    else g_mimeAnswersKept.fetch_add(1, std::memory_order_relaxed);
  }
  // The mailbox's change count (FolderWatch) when the file was last found
  // unchanged, with one link; 0: not known so.
  mutable std::atomic<uint32_t> checkedAt{0};

  // The file name without the ":2,..." flags, and the facts' two words.
  std::string_view Base() const { return texts_.get(); }
  std::string_view Sender() const { return texts_.get() + Base().size() + 1; }
  std::string_view Subject() const { return Sender().data() + Sender().size() + 1; }
  void SetTexts(std::string_view base, std::string_view sender, std::string_view subject);

 private:
  // Base, sender and subject, each ended by a NUL (none holds one).
  std::unique_ptr<char[]> texts_{new char[3]()};
};

// One message of a listing, as it was when the listing was made.
struct ListedMessage {
  std::string suffix;  // what follows the record's base in the file name (":2,S")
  bool inNew = false;
  uint32_t flags = 0;  // Maildir flags and content flags
  std::shared_ptr<const MessageRecord> record;
  // The name inside new/ or cur/.
  std::string File() const { return std::string(record->Base()).append(suffix); }
};

extern const char kIndexFileName[];

// Modification time of a folder, to tell whether its entries may have changed.
struct FolderStamp {
  int64_t sec = -1;
  int64_t nsec = 0;
  bool operator==(const FolderStamp& o) const { return sec == o.sec && nsec == o.nsec; }
};

class MailboxIndex {
 public:
  MailboxIndex() = default;
  ~MailboxIndex() = default;
  MailboxIndex(const MailboxIndex&) = delete;
  MailboxIndex& operator=(const MailboxIndex&) = delete;
  // Every message of the Maildir open at dirfd, sorted by unique ID. Messages
  // seen for the first time are read and given IDs. When neither new/ nor
  // cur/ changed since the last look, no folder is read at all. The index file
  // is rewritten when something changed and the folder is writable. False
  // (with a reason) when the folder cannot be read.
  using Listing = std::shared_ptr<const std::vector<ListedMessage>>;
  // Messages that appeared since an earlier look (a first look at a Maildir
  // without an index finds none: what is there already is not news).
  struct Arrivals {
    uint64_t messages = 0;
    uint64_t bytes = 0;  // of their files
  };
  bool Refresh(int dirfd, const std::string& authservId, Listing* out, std::string* error,
               Arrivals* arrived = nullptr);

  // What a repair found between the index file and the messages.
  struct IndexCheck {
    bool missing = false;    // no index file yet (not a fault: made at the first listing)
    bool damaged = false;    // an index file that does not read as one
    uint64_t vanished = 0;   // entries whose message file is gone
    uint64_t changed = 0;    // entries whose file changed after its facts were taken
    bool written = false;    // the index was written anew
    uint64_t messages = 0;   // messages indexed afterwards (with fix)
  };
  // Compares the index file with the messages of the Maildir open at dirfd.
  // With fix, the index is written anew when anything was found: entries of
  // vanished messages dropped, the facts of changed ones taken again (their
  // unique IDs kept), messages not yet indexed added. False (with a reason)
  // when the Maildir cannot be read.
  bool Repair(int dirfd, const std::string& authservId, bool fix, IndexCheck* out,
              std::string* error);

  struct Snapshot {
    uint32_t nextUid = 1;
    FolderStamp cur, fresh;  // of cur/ and new/ when the listing was made
    int64_t scannedAt = 0;   // when that listing was read (seconds)
    std::vector<ListedMessage> listing;  // filled by Parse; the index keeps its own
  };
  // Index file text <-> state (for tests and the loader).
  static std::string Serialize(const Snapshot& head, const std::vector<ListedMessage>& listing);
  static bool Parse(std::string_view text, Snapshot* s);

  // Writes the index file anew when messages gained MIME answers since it was
  // last read or written here (answers worked out at a MIME then outlast a
  // restart); never over a file another process wrote meanwhile.
  void SaveAnswers(int dirfd);

  // The count of changes reported for the mailbox's folders; null when they
  // are not watched. Given once, before the index is shared.
  void SetChanges(std::shared_ptr<const FolderWatch::Count> changes) {
    changes_ = std::move(changes);
  }
  const FolderWatch::Count* Changes() const { return changes_.get(); }

 private:
  void Load(int dirfd);
  bool Scan(int dirfd, const std::string& authservId, std::string* error, Arrivals* arrived);
  // Writes state_ and listing_ to the index file; false when it cannot.
  bool Write(int dirfd);
  // Takes note of the index file as this process knows it: its identity and
  // how many answers it holds. Called with fd on it, right after reading or writing.
  void NoteFile(int fd);
  size_t Answers() const;

  std::mutex mu_;
  bool loaded_ = false;
  Snapshot state_;   // its listing stays empty: listing_ holds it, shared with readers
  Listing listing_;  // null until the Maildir was read
  bool indexWritten_ = false;  // whether the last scan could write the index file
  // The index file as last read or written here (ino 0: none), and its answers.
  struct stat file_ = {};
  size_t fileAnswers_ = 0;
  uint64_t answersKeptSeen_ = 0;  // g_mimeAnswersKept when the answers were last counted
  std::shared_ptr<const FolderWatch::Count> changes_;
};

// Reads a message file beneath folderfd (a regular file, no link followed)
// with its status, in four system calls; they cost more than the reading on
// some machines. False when it cannot be opened or read.
bool ReadMessageFile(int folderfd, const std::string& name, std::string* content, struct stat* st);

// Reads one message file and computes its record (uid left 0), with its MIME
// answer when the message reads plainly. changeCount: the mailbox's change
// count taken before the reading (0: none), which the record keeps as its
// checkedAt when the file has one link. False when it cannot be opened or read.
bool ReadMessageRecord(int folderfd, const std::string& file, const std::string& authservId,
                       uint32_t changeCount, MessageRecord* out, std::string* content);
