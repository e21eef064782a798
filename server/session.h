// One client of the store protocol: its selection (user, mailbox, last
// listing) and the answer to every command. Handle() takes one command line
// (without its line end) and appends the complete answer to the output.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "acceptor.h"
#include "mailbox_index.h"
#include "message_store.h"
#include "store_fs.h"

enum : size_t { kMaxCommandLine = 4096 };  // longer lines are refused with 4002

// Reply codes beyond the success and list codes.
enum StoreReplyCode {
  kReplyOk = 1000,
  kReplyListLine = 2001,
  kReplyListFollows = 2002,
  kReplyHeaderFollows = 2020,
  kReplyBodyFollows = 2021,
  kReplyRangeFollows = 2025,
  kErrUnknownCommand = 4000,
  kErrSyntax = 4001,
  kErrLineTooLong = 4002,
  kErrMalformed = 4003,
  kErrNoUser = 4010,
  kErrNoMailbox = 4011,
  kErrNoSuchUser = 4012,
  kErrNoSuchMailbox = 4013,
  kErrNoSuchMessage = 4014,
  kErrMessageChanged = 4015,
  kErrNameRefused = 4016,
  kErrInboxKept = 4017,
  kErrStore = 5000,
  kReplyGoodbye = 5001,
};

class StoreSession {
 public:
  // peer: the client's address (host byte order), for the statistics.
  explicit StoreSession(MessageStore* store, uint32_t peer = 0x7F000001)
      : store_(store), peer_(peer) {}
  ~StoreSession() { ClearMailbox(); }
  StoreSession(const StoreSession&) = delete;
  StoreSession& operator=(const StoreSession&) = delete;
  // False when the connection is to end once the output has been sent (QUIT).
  // Answers reflect the changes in the store made before input last arrived.
  bool Handle(const std::string& line, std::string* out);
  // New input came from the client: changes reported since are taken in
  // before the next answer that depends on them.
  void InputArrived() { caught_ = false; }
  // How a long answer (a listing) sends what it has so far and empties its
  // output: false when the client is gone, which ends the answer. Without
  // it the whole answer is appended to the output.
  void SendPieces(std::function<bool(std::string*)> send) { sendPiece_ = std::move(send); }
  // The answer to a line that was too long to take.
  static void RefuseLongLine(std::string* out);
  // Computes, side by side on a few threads, the MIME answers that the given
  // pipelined MIME commands (their number texts) will ask for, and checks
  // kept ones against their files; they are then answered from what the index
  // keeps. Answers nothing itself.
  void PrefetchMime(const std::vector<std::string_view>& numbers);

  // REPAIR [CHECK] MBOX <name> | REPAIR [CHECK] STORE (args: what follows
  // the word). The answer goes out through send line by line as the work goes
  // on; stopWanted is asked before each mailbox. A refusal before any work
  // goes to out. False when send failed: the client is gone.
  using Sender = std::function<bool(const std::string&)>;
  bool Repair(const std::string& args, const Sender& send, const std::function<bool()>& stopWanted,
              std::string* out);
  // Whether a command line is a REPAIR, and its arguments.
  static bool IsRepair(const std::string& line, std::string* args);

 private:
  void Reply(std::string* out, int code, std::string_view text);
  void ClearMailbox();
  void ClearUser();
  void Users(std::string* out);
  void SelectUser(const std::string& name, std::string* out);
  void Show(std::string* out);
  void SelectMailbox(const std::string& name, std::string* out);
  void Flag(const std::string& arg, std::string* out);
  void Info(std::string* out);
  void Remove(const std::string& name, std::string* out);
  void Capabilities(std::string* out);
  void Configuration(std::string* out);
  void Space(std::string* out);
  void Stat(std::string* out);
  // Message commands: n is the text of the message number.
  void Details(const std::string& args, std::string* out);
  void Mime(const std::string& args, std::string* out);
  void Header(const std::string& args, std::string* out);
  void Body(const std::string& args, bool range, std::string* out);
  // Reads message n of the last listing; on failure appends the error reply.
  enum Lookup { kFound, kVanished, kChanged };
  // Message n (valid) of the last listing, checked to be still there and
  // unchanged, found again when only renamed; content read when wanted.
  // Touches no session state, so several threads may call it at once.
  // oneLink: set to whether the file has a single link, when it was found.
  Lookup FindListed(uint64_t n, std::string* content, ListedMessage* current,
                    bool* oneLink = nullptr) const;
  // The message number text checked against the selection and the last
  // listing; on failure appends the error reply.
  bool Numbered(const std::string& numberText, uint64_t* number, std::string* out);
  // True for kFound; else appends the error reply.
  bool Found(Lookup lookup, std::string* out);
  // The selected mailbox's change count (MailboxIndex::Changes), with the
  // reports taken in once per input; 0 when its folders are not watched.
  uint32_t ChangeCount();
  // content nullptr: only check that the message is still there, unchanged.
  bool LoadMessage(const std::string& numberText, std::string* content, ListedMessage* current,
                   uint64_t* number, std::string* out);

  MessageStore* store_;
  uint32_t peer_;
  std::string user_;
  UniqueFd userFd_;
  std::string mailbox_;
  UniqueFd mailboxFd_;
  UniqueFd curFd_, newFd_;  // its cur/ and new/
  std::shared_ptr<MailboxIndex> index_;  // of the selected mailbox
  uint32_t listFlags_ = 0;
  bool listed_ = false;
  MailboxIndex::Listing all_;       // the mailbox as the last INFO found it
  // Message n is (*all_)[Listed(n)]: the index's own order when the last
  // INFO listed every message (the common case: no vector is built, which
  // costs a big mailbox's listing more than its first piece), else listing_.
  std::vector<uint32_t> listing_;
  bool listingAll_ = false;
  size_t ListedCount() const { return listingAll_ ? all_->size() : listing_.size(); }
  uint32_t Listed(uint64_t n) const {
    return listingAll_ ? static_cast<uint32_t>(n - 1) : listing_[n - 1];
  }
  bool caught_ = false;             // changes taken in since input last arrived
  std::function<bool(std::string*)> sendPiece_;
};

// One accepted store client as the connection loop drives it: the greeting,
// then every complete command line answered in order, sent before the next
// input is taken. Silent past the first-command time after the greeting, or
// past the idle time between commands, it is told "5001 idle timeout".
// peer: the client's address (host byte order).
class StoreClient : public ClientConnection {
 public:
  StoreClient(MessageStore* store, uint32_t peer);
  ConnectionWait Begin(int fd) override;
  ConnectionWait Readable(int fd) override;
  void Expired(int fd) override;

 private:
  std::shared_ptr<const StoreConfig> config_;  // as it was when the client came
  StoreSession session_;
  std::string in_;          // input not yet taken as lines
  std::string out_;         // answers not yet sent
  bool skipping_ = false;   // inside a line that was too long
  bool commanded_ = false;  // a whole line has come
  AcceptorClock::time_point firstBy_;
};
