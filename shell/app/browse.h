// The browse model of the main window: what selecting a server, user,
// mailbox or message sends to the store and adds to the tree and list, the
// delete-mailbox flow, and the release of the records behind tree items.
#pragma once

#include "main_window.h"

// A tree row became selected (item, its data).
void OnTreeSelection(MainWindow* m, TreeItem* item, LPARAM data);
// The selection flow itself, also run after a mailbox was deleted.
void RunSelectionFlow(MainWindow* m, TreeItem* item, LPARAM data);
// The message list's selection changed.
void OnListSelection(MainWindow* m, const SelectionInfo* info);
// Delete key on a tree row: confirm, remove the mailbox in the store, then
// drop its item.
void OnTreeDeleteKey(MainWindow* m, TreeItem* item);
// A tree item is being deleted: its record is freed here.
void OnReleaseItem(MainWindow* m, LPARAM data);
// Makes sure the store has the selection the details need, then renders.
void RenderCurrent(MainWindow* m);
// Enables "&Repair..." while a server, user or mailbox is selected.
void EnableRepair(MainWindow* m, bool enable);

// Makes the store select the mailbox (and list it) on its connection when
// another selection is in place there, so that message numbers mean the
// list's entries again.
void EnsureMailboxSelected(MainWindow* m, const MailboxNode* mailbox);
// A command changed the store's selection on the connection: the user named
// last is `user` (null: not known), and no mailbox is selected.
void NoteUserSelected(MainWindow* m, StoreConnection* c, const UserNode* user);
// What is known of a mailbox; with create, a record that knows nothing yet
// (null when memory ran out).
MailboxFacts* FactsFor(MainWindow* m, const MailboxNode* mailbox, bool create);

// The text of the confirmation question; out holds kQuestionSize bytes.
enum { kQuestionSize = 2 * 1025 + 80 };
void FormatDeleteQuestion(const char* mailbox, const char* user, char* out);
