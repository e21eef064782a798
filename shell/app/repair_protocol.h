// The store's repair command as the shell speaks it, and the texts the
// repair dialogs show: pure rules, no windows, so every line form can be
// tested from a table.
//
//   REPAIR [CHECK] MBOX <mailbox>   one mailbox of the user named by USER
//   REPAIR [CHECK] STORE            every mailbox of every user
// answered by "2002 <n> mailboxes", then any number of progress lines
//   2030 <errors found so far>\t<user>\t<mailbox>\t<action>
// and one closing line "1000 done|stopped <mailboxes> <errors> <repaired>";
// or by one error line. A "STOP" line sent while it runs ends it after the
// mailbox in hand ("stopped"); one that arrives after the end is answered
// on its own. CHECK finds and counts without changing anything.
#pragma once

#include <cstddef>

#include "protocol/store_commands.h"

enum RepairType { kRepairCancelled = 0, kRepairMailbox = 1, kRepairSystem = 2 };

enum : int {
  kCodeRepairStarted = 2002,
  kCodeRepairProgress = 2030,
  kCodeUnknownCommand = 4000,
};

extern const char kRepairStopLine[];  // "STOP\r\n"

// The command for a repair of one mailbox (its name) or of the whole store;
// false when it does not fit the command buffer (kCommandSize).
bool FormatRepairCommand(int type, bool checkOnly, const char* mailbox, char* out);

struct RepairProgressLine {
  unsigned long errors;              // found so far, in the whole repair
  char user[kReplyCapacity];
  char mailbox[kReplyCapacity];
  char action[kReplyCapacity];
};
// A progress line's text (after its code); false when it is not one.
bool ParseRepairProgress(const char* text, RepairProgressLine* out);

struct RepairResult {
  bool stopped;
  unsigned long mailboxes, errors, repaired;
};
// The closing line's text; false when it is not one.
bool ParseRepairResult(const char* text, RepairResult* out);

// What the dialog and the status bar say at the end.
enum { kRepairTextSize = 1200 };
void FormatRepairSummary(const RepairResult& r, bool checkOnly, char* out, size_t capacity);
// A repair refused before it started: code and text of the store's reply.
void FormatRepairRefusal(int code, const char* text, char* out, size_t capacity);
