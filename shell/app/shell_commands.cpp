#include "shell_commands.h"

#include <commdlg.h>
#include <cderr.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "browse.h"
#include "repair.h"
#include "zelmsh_ids.h"

const char kFindTemplate[] = "FindMessage";
const char kAboutTemplate[] = "About";

namespace {

const char kSaveLogTitle[] = "Save log";

void ShowSystemError(HWND owner, const char* what, const char* path) {
  DWORD error = GetLastError();
  char reason[256] = "";
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           error, 0, reason, sizeof reason, nullptr);
  while (n > 0 && (reason[n - 1] == '\r' || reason[n - 1] == '\n' || reason[n - 1] == ' '))
    reason[--n] = '\0';
  char text[MAX_PATH + 400];
  snprintf(text, sizeof text, "%s %s:\n%s", what, path, n ? reason : "The system gave no reason.");
  MessageBoxA(owner, text, kSaveLogTitle, MB_OK | MB_ICONEXCLAMATION);
}

// --- Find ----------------------------------------------------------------------------

INT_PTR CALLBACK FindDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dlg, DWLP_USER, lp);
      SendDlgItemMessageA(dlg, IDC_FIND_TEXT, EM_LIMITTEXT, kFindTextSize - 1, 0);
      SetDlgItemTextA(dlg, IDC_FIND_TEXT, reinterpret_cast<const char*>(lp));
      SendDlgItemMessageA(dlg, IDC_FIND_TEXT, EM_SETSEL, 0, -1);
      SetFocus(GetDlgItem(dlg, IDC_FIND_TEXT));
      return FALSE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDOK: {
          char* text = reinterpret_cast<char*>(GetWindowLongPtrA(dlg, DWLP_USER));
          GetDlgItemTextA(dlg, IDC_FIND_TEXT, text, kFindTextSize);
          EndDialog(dlg, text[0] ? 1 : 0);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dlg, 0);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

// --- About -----------------------------------------------------------------------------

INT_PTR CALLBACK AboutDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: {
      char version[64], line[96];
      if (ProgramVersion(version, sizeof version))
        snprintf(line, sizeof line, "Version %s", version);
      else
        snprintf(line, sizeof line, "Version unknown");
      SetDlgItemTextA(dlg, IDC_ABOUT_VERSION, line);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
        EndDialog(dlg, LOWORD(wp));
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

// --- Save log ---------------------------------------------------------------------------

bool SaveDetailsLog(HWND owner, HWND detailsPane, const char* path) {
  DetailsPane* pane = GetDetailsPane(detailsPane);
  size_t length = 0;
  char* text = pane ? FormatDetailsLog(pane->lines, pane->count, &length) : nullptr;
  if (!text) {
    MessageBoxA(owner, "There is not enough memory to save the log.", kSaveLogTitle,
                MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    free(text);
    ShowSystemError(owner, "The log could not be saved to", path);
    return false;
  }
  bool ok = true;
  const char* p = text;
  size_t left = length;
  while (ok && left > 0) {
    DWORD written = 0;
    DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
    ok = WriteFile(f, p, chunk, &written, nullptr) && written > 0;
    p += written;
    left -= written;
  }
  if (!ok) ShowSystemError(owner, "The log could not be written to", path);
  if (!CloseHandle(f) && ok) {
    ShowSystemError(owner, "The log could not be written to", path);
    ok = false;
  }
  if (!ok) DeleteFileA(path);
  free(text);
  return ok;
}

void RunSaveLogCommand(MainWindow* m) {
  DetailsPane* pane = GetDetailsPane(m->detailsPane);
  if (!pane || pane->count == 0) {
    MessageBoxA(m->window, "The details pane is empty: there is no log to save.", kSaveLogTitle,
                MB_OK | MB_ICONINFORMATION);
    return;
  }
  char path[MAX_PATH] = "details.txt";
  OPENFILENAMEA ofn;
  memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = m->window;
  ofn.lpstrFilter = "Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
  ofn.lpstrFile = path;
  ofn.nMaxFile = sizeof path;
  ofn.lpstrTitle = kSaveLogTitle;
  ofn.lpstrDefExt = "txt";
  ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameA(&ofn)) {
    // Cancel is no error; a name the dialog could not hold is one.
    if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
      MessageBoxA(m->window, "The file name is too long.", kSaveLogTitle, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (SaveDetailsLog(m->window, m->detailsPane, path)) {
    char status[MAX_PATH + 32];
    snprintf(status, sizeof status, "Log saved to %s", path);
    ShowStatus(m, status);
  }
}

// --- Find ---------------------------------------------------------------------------------

INT_PTR RunFindDialog(HWND owner, char* text) {
  INT_PTR r = DialogBoxParamA(GetModuleHandleA(nullptr), kFindTemplate, owner, FindDlgProc,
                              reinterpret_cast<LPARAM>(text));
  return r == 1 ? 1 : 0;
}

bool FindNextMessage(MainWindow* m) {
  int count = 0;
  for (ListItem* e = TvFirstEntry(m->treeControl); e; e = e->next) ++count;
  // The entries' texts in list order, and where the selection is.
  const char** texts = static_cast<const char**>(malloc(sizeof(char*) * (count > 0 ? count : 1)));
  ListItem** entries = static_cast<ListItem**>(malloc(sizeof(ListItem*) * (count > 0 ? count : 1)));
  if (!texts || !entries) {
    free(texts);
    free(entries);
    ShowError(m, "There is not enough memory to search the list.");
    return false;
  }
  LPARAM selected = TvSelectedEntryData(m->treeControl);
  int after = -1, i = 0;
  for (ListItem* e = TvFirstEntry(m->treeControl); e; e = e->next, ++i) {
    texts[i] = e->text;
    entries[i] = e;
    if (selected && e->data == selected && after < 0) after = i;
  }
  int found = FindNextMatch(texts, count, after, m->findText);
  ListItem* hit = found >= 0 ? entries[found] : nullptr;
  free(texts);
  free(entries);
  if (!hit) {
    char status[kFindTextSize + 32];
    snprintf(status, sizeof status, "\"%s\" not found", m->findText);
    ShowStatus(m, status);
    return false;
  }
  TvSelectEntry(m->treeControl, hit);
  char status[kFindTextSize + 64];
  snprintf(status, sizeof status, "Found \"%s\" in message %d", m->findText,
           static_cast<int>(hit->data));
  ShowStatus(m, status);
  // As if the user had clicked it: the message's details show.
  SelectionInfo info;
  TvSelection(m->treeControl, &info);
  OnListSelection(m, &info);
  TvReleaseSelection(&info);
  return true;
}

void RunFindCommand(MainWindow* m, bool again) {
  if (!again || !m->findText[0]) {
    char text[kFindTextSize];
    memcpy(text, m->findText, sizeof text);
    if (!RunFindDialog(m->window, text)) return;
    memcpy(m->findText, text, sizeof text);
  }
  FindNextMessage(m);
}

// --- About ---------------------------------------------------------------------------------

bool ProgramVersion(char* out, size_t capacity) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return false;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return false;
  void* info = malloc(size);  // freed below
  if (!info) return false;
  bool ok = false;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (GetFileVersionInfoA(path, 0, size, info) &&
      VerQueryValueA(info, "\\", reinterpret_cast<void**>(&fixed), &length) && fixed &&
      length >= sizeof *fixed && fixed->dwSignature == 0xFEEF04BD) {
    snprintf(out, capacity, "%lu.%lu.%lu", static_cast<unsigned long>(HIWORD(fixed->dwProductVersionMS)),
             static_cast<unsigned long>(LOWORD(fixed->dwProductVersionMS)),
             static_cast<unsigned long>(HIWORD(fixed->dwProductVersionLS)));
    ok = true;
  }
  free(info);
  return ok;
}

void RunAboutDialog(HWND owner) {
  DialogBoxParamA(GetModuleHandleA(nullptr), kAboutTemplate, owner, AboutDlgProc, 0);
}

// --- Repair ---------------------------------------------------------------------------------

void RunRepairCommand(MainWindow* m) {
  // The menu item is grey without a server, user or mailbox; the key too.
  UINT state = GetMenuState(m->menu, IDM_REPAIR, MF_BYCOMMAND);
  if (state == static_cast<UINT>(-1) || (state & (MF_GRAYED | MF_DISABLED))) return;
  int kind = m->inputs.selectionKind;
  MailboxNode* mailbox = m->currentMailbox;
  bool mailboxOffered = mailbox && (kind == kSelectMailbox || kind == kSelectMessage);
  StoreConnection* c = mailboxOffered ? mailbox->connection : m->inputs.connection;
  if (!c) return;
  INT_PTR type = RunRepairTypeDialog(m->window, mailboxOffered);
  if (type == kRepairCancelled) return;

  RepairJob job;
  memset(&job, 0, sizeof job);
  job.type = static_cast<int>(type);
  job.checkOnly = g_shellPrefs.readonly;
  job.connection = c;
  if (job.type == kRepairMailbox) {
    job.user = mailbox->user ? mailbox->user->name : "";
    job.mailbox = mailbox->name;
  }
  RunRepairProgressDialog(m->window, &job);
  if (job.outcome == RepairJob::kNotRun) return;
  // The repair named its user and may have changed the mailboxes' listings:
  // the store's selection is that user alone, and what shows is asked anew.
  NoteUserSelected(m, c, job.type == kRepairMailbox ? mailbox->user : nullptr);
  if (job.outcome == RepairJob::kRefused || job.outcome == RepairJob::kLost)
    ShowError(m, job.summary);
  else
    ShowStatus(m, job.summary);
  if (job.outcome != RepairJob::kFinished && job.outcome != RepairJob::kStopped) return;
  TreeItem* item = TvSelectedItem(m->treeControl);
  if (!item) return;
  m->inputs.selectionKind = kSelectNothing;  // so the flow lists and renders anew
  RunSelectionFlow(m, item, TvItemData(m->treeControl, item));
}
