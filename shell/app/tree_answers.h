// What the main window answers its tree control: quick-help texts for the
// servers, users, mailboxes and messages the pointer rests on, the files of
// messages dragged out (message_export.h), and files dropped on the list.
#pragma once

#include "main_window.h"

// kTvTreeQuickHelp: a server's host and users, a user's mailboxes once
// listed, a mailbox's messages and size once known.
void AnswerTreeQuickHelp(MainWindow* m, QuickHelpRequest* req);
// kTvItemQuickHelp: a message's number and list text.
void AnswerEntryQuickHelp(MainWindow* m, QuickHelpRequest* req);
// WM_DROPFILES or kTvPaneDrop from the list: the store takes no files; the
// drop is released and the status bar says so.
LRESULT OnFilesDropped(MainWindow* m, HDROP drop, const DropNotice* notice);
