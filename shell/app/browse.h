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

// The text of the confirmation question; out holds kQuestionSize bytes.
enum { kQuestionSize = 2 * 1025 + 80 };
void FormatDeleteQuestion(const char* mailbox, const char* user, char* out);
