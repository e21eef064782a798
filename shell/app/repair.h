// Repair: the "RepairType" dialog that asks what to repair, and the
// "RepairProgress" dialog that runs the store's repair command and shows its
// progress line by line, with Cancel stopping it. Command 102 of the main
// window runs both.
#pragma once

#include <windows.h>

#include "protocol/store_commands.h"
#include "repair_protocol.h"

extern const char kRepairTypeTemplate[];      // "RepairType"
extern const char kRepairProgressTemplate[];  // "RepairProgress"

// 0 cancelled, 1 the selected mailbox, 2 the whole store. mailboxOffered:
// whether "Repair selected mailbox" can be chosen (a mailbox is selected).
INT_PTR RunRepairTypeDialog(HWND owner, bool mailboxOffered);

// One repair as the progress dialog runs it; the caller's record, read and
// filled by the dialog.
struct RepairJob {
  int type;                     // kRepairMailbox or kRepairSystem
  bool checkOnly;               // read-only operation: find, change nothing
  StoreConnection* connection;  // borrowed from its server item
  const char* user;             // kRepairMailbox: the mailbox's user
  const char* mailbox;          // kRepairMailbox: its name
  // Filled by the dialog.
  enum Outcome { kNotRun, kFinished, kStopped, kRefused, kLost } outcome;
  RepairResult result;
  char summary[kRepairTextSize];  // what the Action field said last
};

// Opens the progress dialog, which starts the repair at once and stays open
// until the user closes it: Cancel while the repair runs stops it and closes
// the dialog once the store confirmed. Returns job->outcome.
int RunRepairProgressDialog(HWND owner, RepairJob* job);
