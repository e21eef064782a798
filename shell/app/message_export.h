// Messages dragged out of the list become .eml files: each is fetched whole
// (HEAD, then BODY), written as header lines, a blank line and the body into
// a folder of this run below the user's temporary folder, and named to the
// tree control for its drop. The folder goes when the main window does.
#pragma once

#include "main_window.h"

// The tree control's name request for one dragged message (kTvDragName).
void AnswerDragName(MainWindow* m, DragNameRequest* req);

// Fetches message `number` of the mailbox the store has selected on c and
// writes it to path. False with a reason (reasonSize bytes) when the store
// refused it, the connection failed or the file could not be written; a
// file begun is removed then.
bool WriteMessageFile(StoreConnection* c, int number, const char* path, char* reason,
                      size_t reasonSize);

// Removes the run's folder of written messages with everything in it.
void RemoveExportedMessages(MainWindow* m);
