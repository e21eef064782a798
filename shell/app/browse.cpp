#include "browse.h"

#include <commctrl.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "confirm_dialog.h"
#include "protocol/store_commands.h"
#include "zelmsh_ids.h"

namespace {

// --- What the store has selected, per connection -----------------------------

StoreSelection* SelectionFor(MainWindow* m, StoreConnection* c) {
  if (!c) return nullptr;
  for (int i = 0; i < m->selectionCount; ++i)
    if (m->selections[i].connection == c) return &m->selections[i];
  if (m->selectionCount == m->selectionCapacity) {
    int capacity = m->selectionCapacity + 8;
    auto* grown = static_cast<StoreSelection*>(
        realloc(m->selections, static_cast<size_t>(capacity) * sizeof(StoreSelection)));
    if (!grown) return nullptr;
    m->selections = grown;
    m->selectionCapacity = capacity;
  }
  StoreSelection* s = &m->selections[m->selectionCount++];
  s->connection = c;
  s->user = nullptr;
  s->mailbox = nullptr;
  return s;
}

void NoteSelection(MainWindow* m, StoreConnection* c, const UserNode* user,
                   const MailboxNode* mailbox) {
  StoreSelection* s = SelectionFor(m, c);
  if (!s) return;
  s->user = user;
  s->mailbox = mailbox;
}

// A record is going away: nothing may point at it afterwards.
void ForgetRecord(MainWindow* m, const void* record) {
  for (int i = 0; i < m->factCount;) {
    if (m->facts[i].mailbox == record) {
      m->facts[i] = m->facts[--m->factCount];
      continue;
    }
    ++i;
  }
  for (int i = 0; i < m->selectionCount;) {
    StoreSelection& s = m->selections[i];
    if (s.connection == record) {
      s = m->selections[--m->selectionCount];
      continue;
    }
    if (s.user == record) s.user = nullptr;
    if (s.mailbox == record) s.mailbox = nullptr;
    ++i;
  }
}

const char kUserNameTooLong[] = "The user name is too long to send to the server.";
const char kMailboxNameTooLong[] = "The mailbox name is too long to send to the server.";

// What a list exchange that did not end well leaves in the status bar's
// error part; nothing for the failures the store simply answered.
void ShowListFailure(MainWindow* m, int result, const char* notSent, const char* what) {
  char text[256];
  const AnswerBounds& b = CurrentAnswerBounds();
  switch (result) {
    case kStoreNotSent:
      ShowError(m, notSent);
      break;
    case kStoreTooLong:
      snprintf(text, sizeof text,
               "The server's %s went on past what the shell holds (%lu entries or %llu MB of "
               "names); the connection to the server was closed.",
               what, strcmp(what, "message list") == 0 ? b.messages : b.treeEntries,
               b.listTextBytes >> 20);
      ShowError(m, text);
      break;
    case kStoreCountRefused:
      snprintf(text, sizeof text,
               "The server announced more messages than the shell lists (at most %lu); the "
               "connection to the server was closed.",
               b.messages);
      ShowError(m, text);
      break;
    default:
      break;
  }
}

// "RSET" and "USER": the user's space and later commands are this user's.
// False when the command could not be sent: the store's selection is then
// what it was.
bool NameUser(MainWindow* m, const UserNode* user) {
  StoreConnection* c = user->connection;
  char command[kCommandSize];
  if (!FormatCommand(command, "RSET\r\nUSER %s\r\n", user->name)) return false;
  SendAll(c, command, static_cast<int>(strlen(command)));
  char text[kReplyCapacity];
  LineRead r = {true, 0};
  for (int i = 0; i < 2 && r.ok; ++i) r = ReadLine(c, text, sizeof text, true);
  // A refused USER leaves the store with no user selected at all.
  NoteSelection(m, c, r.ok && r.code == 1000 ? user : nullptr, nullptr);
  return true;
}

// The mailbox's listing again without touching the message list, so that
// message numbers mean the list's entries once more. False when the
// command could not be sent.
bool SelectMailboxQuietly(MainWindow* m, const MailboxNode* mailbox) {
  MessageListSink sink = {nullptr, nullptr, nullptr};
  int r = StoreListMessages(mailbox->connection, mailbox->user ? mailbox->user->name : "",
                            mailbox->name, sink);
  if (r == kStoreNotSent) return false;
  NoteSelection(m, mailbox->connection, mailbox->user, mailbox);
  return true;
}

// SPACE answers for the user last named and the message commands for the
// mailbox last listed on that connection; other selections in between (a
// user's first listing, another user's mailbox) may have changed either.
// Null when the store has the selection now, else why it cannot have it.
const char* EnsureStoreSelection(MainWindow* m) {
  switch (m->inputs.selectionKind) {
    case kSelectUser:
      if (m->currentUser) {
        StoreSelection* s = SelectionFor(m, m->currentUser->connection);
        if (s && s->user != m->currentUser && !NameUser(m, m->currentUser))
          return kUserNameTooLong;
      }
      break;
    case kSelectMessage:
      if (g_shellPrefs.viewFlags == 0) break;  // nothing will be asked
      // fall through
    case kSelectMailbox:
      if (m->currentMailbox) {
        StoreSelection* s = SelectionFor(m, m->currentMailbox->connection);
        if (s && s->mailbox != m->currentMailbox && !SelectMailboxQuietly(m, m->currentMailbox))
          return kMailboxNameTooLong;
      }
      break;
  }
  return nullptr;
}

// --- Listing mailboxes and messages ---------------------------------------

struct MailboxAdder {
  MainWindow* m;
  TreeItem* userItem;
  UserNode* user;
};

void AddMailbox(void* ctx, const char* name) {
  auto* a = static_cast<MailboxAdder*>(ctx);
  MailboxNode* mailbox = NewMailboxNode(a->user->connection, a->user, name);
  if (!mailbox) return;
  // The item owns the record from here on (released through OnReleaseItem).
  if (!TvAddItem(a->m->treeControl, a->userItem, kTvAddLastChild, name, nullptr, kImageMailbox, 1,
                 reinterpret_cast<LPARAM>(mailbox)))
    FreeStoreRecord(mailbox);
}

void ListMailboxes(MainWindow* m, TreeItem* item, UserNode* user) {
  MailboxAdder adder = {m, item, user};
  int r = StoreListMailboxes(user->connection, user->name, AddMailbox, &adder);
  ShowListFailure(m, r, kUserNameTooLong, "list of mailboxes");
  // A USER that was never sent selected nobody.
  if (r != kStoreNotSent) NoteSelection(m, user->connection, user, nullptr);
}

struct MessageFiller {
  MainWindow* m;
  ListItem* last;     // appending after the last entry is O(1)
  unsigned long count;
  int barWidth;       // pixels of the bar's inside
  int shownPixel;     // how much of it shows the position now
  DWORD shownAt;      // when the bar was last repainted
  unsigned long listed, shownNumber;
};

enum { kBarRepaintMs = 50 };

void OnMessageCount(void* ctx, unsigned long count) {
  auto* f = static_cast<MessageFiller*>(ctx);
  f->count = count;
  int range = count > static_cast<unsigned long>(INT_MAX) ? INT_MAX : static_cast<int>(count);
  SendMessageA(f->m->progressBar, PBM_SETRANGE32, 0, range);
  SendMessageA(f->m->progressBar, PBM_SETPOS, 0, 0);
  RECT r;
  GetClientRect(f->m->progressBar, &r);
  f->barWidth = r.right > 1 ? r.right : 1;
  f->shownPixel = 0;
  f->shownAt = GetTickCount();
  UpdateWindow(f->m->progressBar);
}

// The bar steps with every message, but it is only told (and repaints) when
// its drawn length changed and a little time passed, and at the last
// message: a repaint per message would cost more than the listing itself.
void OnMessageLine(void* ctx, unsigned long number, const char* listText) {
  auto* f = static_cast<MessageFiller*>(ctx);
  f->listed = number;
  DWORD now = GetTickCount();
  bool last = number == f->count;
  int pixel = f->shownPixel;
  if (last || now - f->shownAt >= kBarRepaintMs)
    pixel = f->count ? static_cast<int>(static_cast<unsigned long long>(number) * f->barWidth /
                                        f->count)
                     : f->barWidth;
  if (pixel != f->shownPixel || last) {
    f->shownPixel = pixel;
    f->shownAt = now;
    f->shownNumber = number;
    SendMessageA(f->m->progressBar, PBM_SETPOS, static_cast<WPARAM>(number), 0);
    UpdateWindow(f->m->progressBar);
  }
  ListItem* e = TvAddEntry(f->m->treeControl, f->last, 0, listText, nullptr, kImageMessage,
                           static_cast<LPARAM>(number));
  if (e) f->last = e;
}

void ListMessages(MainWindow* m, MailboxNode* mailbox) {
  MessageFiller filler = {m, nullptr, 0, 1, 0, 0, 0, 0};
  MessageListSink sink = {OnMessageCount, OnMessageLine, &filler};
  int result = StoreListMessages(mailbox->connection, mailbox->user ? mailbox->user->name : "",
                                 mailbox->name, sink);
  ShowListFailure(m, result, kMailboxNameTooLong, "message list");
  if (result == kStoreOk && filler.listed == filler.count) {
    MailboxFacts* f = FactsFor(m, mailbox, true);
    if (f) {
      if (f->messages != static_cast<long long>(filler.count)) f->bytes = -1;  // changed since
      f->messages = static_cast<long long>(filler.count);
    }
  }
  // A listing cut short by a failed read leaves the bar where it really ended.
  if (filler.listed != filler.shownNumber) {
    SendMessageA(m->progressBar, PBM_SETPOS, static_cast<WPARAM>(filler.listed), 0);
    UpdateWindow(m->progressBar);
  }
  if (result != kStoreNotSent) NoteSelection(m, mailbox->connection, mailbox->user, mailbox);
}

uint8_t KindOf(LPARAM data) { return *reinterpret_cast<const uint8_t*>(data); }

}  // namespace

void EnableRepair(MainWindow* m, bool enable) {
  if (m->toolsMenu)
    EnableMenuItem(m->toolsMenu, IDM_REPAIR, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void RenderCurrent(MainWindow* m) {
  m->inputs.unavailable = EnsureStoreSelection(m);
  m->inputs.viewFlags = g_shellPrefs.viewFlags;
  m->inputs.maxBodySize = g_shellPrefs.maxBodySize;
  m->inputs.statOut = &m->lastStat;
  m->lastStat.known = false;
  RenderDetails(m->detailsPane);
  m->inputs.unavailable = nullptr;
  if (m->inputs.selectionKind == kSelectMailbox && m->lastStat.known && m->currentMailbox) {
    MailboxFacts* f = FactsFor(m, m->currentMailbox, true);
    if (f) {
      f->messages = static_cast<long long>(m->lastStat.stat.messages);
      f->bytes = static_cast<long long>(m->lastStat.stat.totalBytes);
    }
  }
}

void EnsureMailboxSelected(MainWindow* m, const MailboxNode* mailbox) {
  StoreSelection* s = SelectionFor(m, mailbox->connection);
  if (s && s->mailbox != mailbox) SelectMailboxQuietly(m, mailbox);
}

void NoteUserSelected(MainWindow* m, StoreConnection* c, const UserNode* user) {
  NoteSelection(m, c, user, nullptr);
}

MailboxFacts* FactsFor(MainWindow* m, const MailboxNode* mailbox, bool create) {
  for (int i = 0; i < m->factCount; ++i)
    if (m->facts[i].mailbox == mailbox) return &m->facts[i];
  if (!create) return nullptr;
  if (m->factCount == m->factCapacity) {
    int capacity = m->factCapacity + 16;
    auto* grown = static_cast<MailboxFacts*>(
        realloc(m->facts, static_cast<size_t>(capacity) * sizeof(MailboxFacts)));
    if (!grown) return nullptr;
    m->facts = grown;
    m->factCapacity = capacity;
  }
  MailboxFacts* f = &m->facts[m->factCount++];
  f->mailbox = mailbox;
  f->messages = -1;
  f->bytes = -1;
  return f;
}

void OnTreeSelection(MainWindow* m, TreeItem* item, LPARAM data) {
  if (m->holdSelection || m->destroying) return;
  RunSelectionFlow(m, item, data);
}

void RunSelectionFlow(MainWindow* m, TreeItem* item, LPARAM data) {
  DetailsInputs& in = m->inputs;
  if (!data) {
    EnableRepair(m, false);
    return;
  }
  bool changed = false;
  switch (KindOf(data)) {
    case kNodeServer: {
      auto* server = reinterpret_cast<StoreConnection*>(data);
      EnableRepair(m, true);
      changed = in.selectionKind != kSelectServer || in.connection != server;
      in.selectionKind = kSelectServer;
      in.connection = server;
      break;
    }
    case kNodeUser: {
      auto* user = reinterpret_cast<UserNode*>(data);
      EnableRepair(m, true);
      changed = in.selectionKind != kSelectUser || m->currentUser != user;
      in.selectionKind = kSelectUser;
      m->currentUser = user;
      in.connection = user->connection;
      // Listed once; later selections of the user send nothing for it.
      if (!TvHasChildren(m->treeControl, item)) ListMailboxes(m, item, user);
      break;
    }
    case kNodeMailbox: {
      auto* mailbox = reinterpret_cast<MailboxNode*>(data);
      EnableRepair(m, true);
      if (in.selectionKind != kSelectMailbox || m->currentMailbox != mailbox) {
        changed = true;
        TvDeleteAllEntries(m->treeControl);
        in.selectionKind = kSelectMailbox;
        m->currentMailbox = mailbox;
        in.connection = mailbox->connection;
        ListMessages(m, mailbox);
      }
      break;
    }
    default:
      EnableRepair(m, false);
      break;
  }
  if (changed) RenderCurrent(m);
}

void OnListSelection(MainWindow* m, const SelectionInfo* info) {
  if (!info || info->count < 1 || m->destroying) return;
  DetailsInputs& in = m->inputs;
  int number = static_cast<int>(info->data[0]);
  bool changed = in.selectionKind != kSelectMessage || in.messageNumber != number;
  in.selectionKind = kSelectMessage;
  in.messageNumber = number;
  // The list is the current mailbox's, whatever tree item was chosen since:
  // its messages are asked of its own server.
  if (m->currentMailbox) in.connection = m->currentMailbox->connection;
  if (changed) RenderCurrent(m);
}

void FormatDeleteQuestion(const char* mailbox, const char* user, char* out) {
  snprintf(out, kQuestionSize, "Are you sure you want to delete the mailbox '%s' of user %s?",
           mailbox, user);
}

void OnTreeDeleteKey(MainWindow* m, TreeItem* item) {
  if (g_shellPrefs.readonly || !item) return;
  LPARAM data = TvItemData(m->treeControl, item);
  if (!data || KindOf(data) != kNodeMailbox) return;
  auto* mailbox = reinterpret_cast<MailboxNode*>(data);
  char question[kQuestionSize];
  FormatDeleteQuestion(mailbox->name, mailbox->user ? mailbox->user->name : "", question);
  if (AskYesNo(m->window, question) != 1) return;

  StoreConnection* c = mailbox->connection;
  // RMOV removes a mailbox of the user the store has selected.
  // Without it another user's mailbox of the same name would go.
  StoreSelection* s = SelectionFor(m, c);
  if (s && mailbox->user && s->user != mailbox->user && !NameUser(m, mailbox->user)) {
    ShowError(m, kUserNameTooLong);
    return;
  }
  int removed = StoreRemoveMailbox(c, mailbox->name);
  if (removed == kStoreNotSent) {
    ShowError(m, kMailboxNameTooLong);
    return;
  }
  // "RSET MBOX" went first: no mailbox is selected in the store any more.
  s = SelectionFor(m, c);
  if (s) s->mailbox = nullptr;
  if (removed != kStoreOk) return;

  // The selection moves first so that the item is not selected when it
  // goes; the selection flow then runs once, for where it landed.
  m->holdSelection = true;
  TvSelectPrevious(m->treeControl);
  TvDeleteItem(m->treeControl, item);
  m->holdSelection = false;
  TreeItem* now = TvSelectedItem(m->treeControl);
  if (now) RunSelectionFlow(m, now, TvItemData(m->treeControl, now));
}

void OnReleaseItem(MainWindow* m, LPARAM data) {
  if (!data) return;
  void* record = reinterpret_cast<void*>(data);
  ForgetRecord(m, record);
  if (record == m->currentMailbox) {
    m->currentMailbox = nullptr;
    // The list showed this mailbox's messages: they are gone with it.
    if (!m->destroying) TvDeleteAllEntries(m->treeControl);
  }
  if (record == m->currentUser) m->currentUser = nullptr;
  if (record == m->inputs.connection) {
    m->inputs.connection = nullptr;
    m->inputs.selectionKind = kSelectNothing;
  }
  FreeStoreRecord(record);
}
