#include "tree_answers.h"

#include <cstdio>

#include "browse.h"

namespace {

int Children(const TreeItem* item) {
  int n = 0;
  for (const TreeItem* c = item->firstChild; c; c = c->nextSibling) ++n;
  return n;
}

}  // namespace

void AnswerTreeQuickHelp(MainWindow* m, QuickHelpRequest* req) {
  const TreeItem* item = req->item;
  if (!item || !req->data) return;  // the root says nothing
  switch (*reinterpret_cast<const uint8_t*>(req->data)) {
    case kNodeServer: {
      auto* server = reinterpret_cast<const StoreConnection*>(req->data);
      FormatServerHelp(item->text, Children(item), IsConnectionClosed(server), req->text);
      break;
    }
    case kNodeUser:
      // Until it was selected its mailboxes are not known.
      FormatUserHelp(item->text, item->firstChild ? Children(item) : -1, req->text);
      break;
    case kNodeMailbox: {
      auto* mailbox = reinterpret_cast<const MailboxNode*>(req->data);
      const MailboxFacts* f = FactsFor(m, mailbox, false);
      FormatMailboxHelp(mailbox->name, f ? f->messages : -1, f ? f->bytes : -1, req->text);
      break;
    }
  }
}

void AnswerEntryQuickHelp(MainWindow*, QuickHelpRequest* req) {
  if (!req->entry) return;
  FormatMessageHelp(static_cast<int>(req->data), req->entry->text, req->text);
}

LRESULT OnFilesDropped(MainWindow* m, HDROP drop, const DropNotice*) {
  UINT files = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  DragFinish(drop);
  char text[96];
  snprintf(text, sizeof text, "The store takes no files: %u dropped %s not added.", files,
           files == 1 ? "file was" : "files were");
  ShowStatus(m, text);
  return 0;
}
