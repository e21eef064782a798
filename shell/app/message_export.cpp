#include "message_export.h"

#include <cstdio>
#include <cstring>

#include "browse.h"
#include "protocol/store_commands.h"

namespace {

// Writes all of a buffer; false when the file refused it.
bool Put(HANDLE f, const char* bytes, size_t n) {
  while (n > 0) {
    DWORD chunk = n > 0x10000000 ? 0x10000000 : static_cast<DWORD>(n), written = 0;
    if (!WriteFile(f, bytes, chunk, &written, nullptr) || written == 0) return false;
    bytes += written;
    n -= written;
  }
  return true;
}

struct HeaderWriter {
  HANDLE file;
  bool failed;
};

void WriteHeaderLine(void* ctx, const char* line) {
  auto* w = static_cast<HeaderWriter*>(ctx);
  if (w->failed) return;
  w->failed = !Put(w->file, line, strlen(line)) || !Put(w->file, "\r\n", 2);
}

void SystemReason(const char* what, char* reason, size_t size) {
  char text[256] = "";
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           GetLastError(), 0, text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) text[--n] = 0;
  snprintf(reason, size, "%s: %s", what, n ? text : "the system gave no reason");
}

// BODY, whole, written as the store sends it: every piece that ended a line
// gets its CR LF back.
bool WriteBody(StoreConnection* c, int number, HANDLE f, char* reason, size_t size) {
  char command[kCommandSize];
  FormatCommand(command, "BODY %d\r\n", number);
  if (!SendAll(c, command, static_cast<int>(strlen(command)))) {
    snprintf(reason, size, "the connection to the server is lost");
    return false;
  }
  char text[kReplyCapacity];
  LineRead r = ReadLine(c, text, sizeof text, true);
  if (!r.ok) {
    snprintf(reason, size, "the connection to the server was lost");
    return false;
  }
  if (r.code != 2021) {
    snprintf(reason, size, "the server refused the body: %s", text);
    return false;
  }
  long long remaining = 0;
  // Saturated: twenty digits must not wrap to a small count.
  for (const char* p = text; *p >= '0' && *p <= '9'; ++p)
    if ((remaining = remaining * 10 + (*p - '0')) > (1ll << 60)) remaining = 1ll << 60;
  char piece[kBodyPieceArea];
  bool carriage = false;  // a cut piece ended with CR: its LF may come next
  while (remaining > 0) {
    int bound = remaining < kBodyPiece ? static_cast<int>(remaining) : kBodyPiece;
    int wire = 0;
    if (!ReadChunkCounted(c, piece, bound, &wire)) {
      snprintf(reason, size, "the connection to the server was lost in the body");
      return false;
    }
    remaining -= wire;
    size_t n = strlen(piece);
    bool lineEnd = static_cast<int>(n) < wire;  // a cut piece is all text, a line is shorter
    bool ok = true;
    if (carriage) {
      // The CR held back at the cut was the line end's own when its LF
      // follows alone (that line end is written below); otherwise it was text.
      carriage = false;
      if (!(lineEnd && n == 0 && wire == 1)) ok = Put(f, "\r", 1);
    }
    if (!lineEnd && n > 0 && piece[n - 1] == '\r') {
      carriage = true;
      --n;
    }
    ok = ok && Put(f, piece, n) && (!lineEnd || Put(f, "\r\n", 2));
    if (!ok) {
      SystemReason("the file could not be written", reason, size);
      // The rest of the body is read so the connection stays in step.
      while (remaining > 0) {
        bound = remaining < kBodyPiece ? static_cast<int>(remaining) : kBodyPiece;
        if (!ReadChunkCounted(c, piece, bound, &wire)) return false;
        remaining -= wire;
      }
      ReadLine(c, text, sizeof text, true);
      return false;
    }
  }
  if (carriage && !Put(f, "\r", 1)) {
    SystemReason("the file could not be written", reason, size);
    return false;
  }
  LineRead end = ReadLine(c, text, sizeof text, true);
  if (!end.ok || end.code != 1000) {
    snprintf(reason, size, "the body did not end properly");
    return false;
  }
  return true;
}

void RemoveTree(const char* folder);

// The folder of this run, made on first use. One of the same name is the
// leftover of an earlier run that ended without clearing up (process
// numbers come round again): it goes first, so no old file mixes with ours.
bool ExportFolder(MainWindow* m) {
  MessageExport& e = m->exported;
  if (e.folder[0]) return true;
  char temp[MAX_PATH];
  DWORD n = GetTempPathA(sizeof temp, temp);
  if (n == 0 || n >= sizeof temp) return false;
  char folder[MAX_PATH];
  if (snprintf(folder, sizeof folder, "%szelmsh-%lu", temp, GetCurrentProcessId()) >=
      static_cast<int>(sizeof folder))
    return false;
  if (GetFileAttributesA(folder) != INVALID_FILE_ATTRIBUTES) RemoveTree(folder);
  if (!CreateDirectoryA(folder, nullptr)) return false;
  memcpy(e.folder, folder, sizeof folder);
  return true;
}

// A new drop begins with the first selected entry: a fresh subfolder keeps
// its names apart from earlier drops.
bool StartDrop(MainWindow* m) {
  if (!ExportFolder(m)) return false;
  MessageExport& e = m->exported;
  ++e.drops;
  if (snprintf(e.dropFolder, sizeof e.dropFolder, "%s\\%d", e.folder, e.drops) >=
      static_cast<int>(sizeof e.dropFolder)) {
    e.dropFolder[0] = '\0';
    return false;
  }
  if (!CreateDirectoryA(e.dropFolder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    e.dropFolder[0] = '\0';
    return false;
  }
  return true;
}

bool IsFirstSelected(MainWindow* m, const ListItem* entry) {
  SelectionInfo info;
  TvSelection(m->treeControl, &info);
  bool first = info.count > 0 && info.items[0] == entry;
  TvReleaseSelection(&info);
  return first;
}

// The path for a message in the drop's folder; two messages of one drop
// with the same name get " (2)", " (3)", ... before ".eml".
bool UniquePath(const char* folder, const char* name, char* path) {
  size_t n = strlen(name);
  const char* dot = n > 4 ? name + n - 4 : name + n;
  int base = static_cast<int>(dot - name);
  for (int k = 1; k < 1000; ++k) {
    int w = k == 1 ? snprintf(path, MAX_PATH, "%s\\%s", folder, name)
                   : snprintf(path, MAX_PATH, "%s\\%.*s (%d)%s", folder, base, name, k, dot);
    if (w >= MAX_PATH) return false;
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return true;
  }
  return false;
}

void RemoveTree(const char* folder) {
  char pattern[MAX_PATH];
  if (snprintf(pattern, sizeof pattern, "%s\\*", folder) >= static_cast<int>(sizeof pattern)) return;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(pattern, &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (strcmp(fd.cFileName, ".") == 0 || strcmp(fd.cFileName, "..") == 0) continue;
      char path[MAX_PATH];
      if (snprintf(path, sizeof path, "%s\\%s", folder, fd.cFileName) >= static_cast<int>(sizeof path))
        continue;
      // A linked folder is unlinked, never emptied: what it points to is not ours.
      if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
          !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        RemoveTree(path);
      else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveDirectoryA(path);
      else
        DeleteFileA(path);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(folder);
}

}  // namespace

bool WriteMessageFile(StoreConnection* c, int number, const char* path, char* reason,
                      size_t reasonSize) {
  HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    SystemReason("the file could not be made", reason, reasonSize);
    return false;
  }
  HeaderWriter header = {f, false};
  bool ok = StoreHeader(c, number, WriteHeaderLine, &header) == kStoreOk;
  if (!ok) snprintf(reason, reasonSize, "the server did not send the message's header");
  else if (header.failed) SystemReason("the file could not be written", reason, reasonSize);
  ok = ok && !header.failed;
  if (ok && !Put(f, "\r\n", 2)) {
    SystemReason("the file could not be written", reason, reasonSize);
    ok = false;
  }
  ok = ok && WriteBody(c, number, f, reason, reasonSize);
  CloseHandle(f);
  if (!ok) DeleteFileA(path);
  return ok;
}

void AnswerDragName(MainWindow* m, DragNameRequest* req) {
  MailboxNode* mailbox = m->currentMailbox;
  if (!mailbox || !req->entry) return;
  int number = static_cast<int>(req->data);
  if ((IsFirstSelected(m, req->entry) || !m->exported.dropFolder[0]) && !StartDrop(m)) {
    ShowError(m, "No folder for the dragged messages: the temporary folder cannot be written.");
    return;
  }
  char name[kSafeNameChars + 16];
  SafeMessageFileName(req->entry->text, number, name);
  char path[MAX_PATH];
  if (!UniquePath(m->exported.dropFolder, name, path)) {
    ShowError(m, "No file name is left for a dragged message.");
    return;
  }
  char status[kReplyCapacity + 64];
  snprintf(status, sizeof status, "Saving message %d to a file...", number);
  ShowStatus(m, status);
  // Message numbers are the list's: the store must have its mailbox selected.
  EnsureMailboxSelected(m, mailbox);
  char reason[512];
  if (!WriteMessageFile(mailbox->connection, number, path, reason, sizeof reason)) {
    snprintf(status, sizeof status, "Message %d was not saved: %s", number, reason);
    ShowError(m, status);
    return;
  }
  snprintf(req->name, sizeof req->name, "%s", path);
  // Another tree control can show the message by its list text.
  snprintf(req->secondName, sizeof req->secondName, "%s", req->entry->text);
  snprintf(status, sizeof status, "Message %d saved as %s", number, path);
  ShowStatus(m, status);
}

void RemoveExportedMessages(MainWindow* m) {
  if (m->exported.folder[0]) RemoveTree(m->exported.folder);
  m->exported.folder[0] = '\0';
  m->exported.dropFolder[0] = '\0';
}
