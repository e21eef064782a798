#include "server_select.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zelmsh_ids.h"

const char kSelectDialogTemplate[] = "SelectZELM";

namespace {

const char kConnecting[] = "Connecting to server...";
const char kConnected[] = "Connected to server.";
const char kCouldNotConnect[] = "Could not connect to server.";

void ShowStatusText(const ShellFrame* f, const char* text) {
  if (f->showStatus) f->showStatus(f->context, text);
}

void ShowErrorText(const ShellFrame* f, const char* text) {
  if (f->showError) f->showError(f->context, text);
}

// A connection made: an earlier failure's text no longer stands.
void ShowConnected(const ShellFrame* f) {
  ShowErrorText(f, "");
  ShowStatusText(f, kConnected);
}

void SlotName(int index, char* out, size_t capacity) {
  snprintf(out, capacity, "ZELM Select MRU %d", index);
}

// Record of one open server dialog; lives on RunSelectServerDialog's heap
// block and is freed there when the dialog has ended.
struct SelectDialog {
  const ShellFrame* frame;
  StoreConnection* server;
  RecentServers recent;
};

// Surrounding blanks are never part of an address.
void TrimBlanks(char* text) {
  size_t n = strlen(text);
  while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t')) text[--n] = '\0';
  size_t lead = strspn(text, " \t");
  if (lead) memmove(text, text + lead, n - lead + 1);
}

void OnInitDialog(HWND dlg, SelectDialog* d) {
  SetWindowLongPtrA(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(d));
  MoveToStoredPosition(dlg, kPositionSelectDialog);
  HWND combo = GetDlgItem(dlg, IDC_SERVER_COMBO);
  SendMessageA(combo, CB_LIMITTEXT, kHostTextSize - 1, 0);
  bool slotZero = LoadRecentServers(&d->recent) != 0;
  for (int i = 0; i < d->recent.count; ++i)
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(d->recent.entries[i]));
  if (slotZero) SetWindowTextA(combo, d->recent.entries[0]);
}

void OnOk(HWND dlg, SelectDialog* d) {
  const ShellFrame* f = d->frame;
  char text[kHostTextSize];
  GetDlgItemTextA(dlg, IDC_SERVER_COMBO, text, sizeof text);
  TrimBlanks(text);
  if (!text[0]) {
    // Nothing to connect to: the dialog stays, as for any refused input.
    MessageBeep(MB_ICONWARNING);
    SetFocus(GetDlgItem(dlg, IDC_SERVER_COMBO));
    return;
  }
  SaveWindowPosition(dlg, kPositionSelectDialog);
  memcpy(g_shellPrefs.lastConnected, text, strlen(text) + 1);
  WriteShellSetting(kSettingsMain, kValueLastConnected, text);
  BuildRecentServerEntry(f->fileMenu, f->window, text);
  PromoteRecentServer(&d->recent, text);
  SaveRecentServers(d->recent);

  ShowStatusText(f, kConnecting);
  if (ConnectToHost(&d->server->socket, text, kStorePort)) {
    CopyHostName(d->server, text);
    ShowConnected(f);
    EndDialog(dlg, 1);
  } else {
    ShowErrorText(f, kCouldNotConnect);
    EndDialog(dlg, 0);
  }
}

INT_PTR CALLBACK SelectZELMDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  auto* d = reinterpret_cast<SelectDialog*>(GetWindowLongPtrA(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      OnInitDialog(dlg, reinterpret_cast<SelectDialog*>(lp));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDOK:
          if (d) OnOk(dlg, d);
          return TRUE;
        case IDCANCEL:
          EndDialog(dlg, 0);
          return TRUE;
        case IDC_HELP_BUTTON:
          return TRUE;
      }
      break;
  }
  return FALSE;
}

struct UserAdder {
  const ShellFrame* frame;
  StoreConnection* server;
};

void AddUser(void* ctx, const char* name) {
  auto* a = static_cast<UserAdder*>(ctx);
  UserNode* user = NewUserNode(a->server, name);
  if (!user) return;
  if (!a->frame->addUserItem || !a->frame->addUserItem(a->frame->context, a->server, user))
    FreeStoreRecord(user);
}

}  // namespace

void PromoteRecentServer(RecentServers* list, const char* text) {
  int at = -1;
  for (int i = 0; i < list->count; ++i) {
    if (lstrcmpiA(list->entries[i], text) == 0) {
      at = i;
      break;
    }
  }
  if (at < 0 && list->count >= kRecentSlots) at = kRecentSlots - 1;
  if (at >= 0) {
    memmove(list->entries[at], list->entries[at + 1],
            static_cast<size_t>(list->count - at - 1) * kHostTextSize);
    --list->count;
  }
  memmove(list->entries[1], list->entries[0], static_cast<size_t>(list->count) * kHostTextSize);
  snprintf(list->entries[0], kHostTextSize, "%s", text);
  ++list->count;
}

int LoadRecentServers(RecentServers* list) {
  list->count = 0;
  int slotZero = 0;
  for (int i = 0; i < kRecentSlots; ++i) {
    char name[32];
    SlotName(i, name, sizeof name);
    char* entry = list->entries[list->count];
    ReadShellSetting(kSettingsRecent, name, entry, kHostTextSize);
    if (!entry[0]) continue;
    if (i == 0) slotZero = 1;
    ++list->count;
  }
  return slotZero;
}

void SaveRecentServers(const RecentServers& list) {
  for (int i = 0; i < list.count && i < kRecentSlots; ++i) {
    size_t n = strlen(list.entries[i]);
    if (n == 0 || n >= kHostTextSize) continue;
    char name[32];
    SlotName(i, name, sizeof name);
    WriteShellSetting(kSettingsRecent, name, list.entries[i]);
  }
}

void BuildRecentServerEntry(HMENU fileMenu, HWND window, const char* lastServer) {
  if (!fileMenu) return;
  DeleteMenu(fileMenu, IDM_RECENT_SERVER, MF_BYCOMMAND);
  DeleteMenu(fileMenu, IDM_RECENT_SEPARATOR, MF_BYCOMMAND);
  if (lastServer && lastServer[0]) {
    // "&1 " and the host with every ampersand doubled, so it shows as typed.
    char text[3 + 2 * kHostTextSize];
    size_t n = 0;
    text[n++] = '&';
    text[n++] = '1';
    text[n++] = ' ';
    for (const char* s = lastServer; *s && n + 3 < sizeof text; ++s) {
      if (*s == '&') text[n++] = '&';
      text[n++] = *s;
    }
    text[n] = '\0';
    InsertMenuA(fileMenu, kRecentServerPosition, MF_BYPOSITION | MF_SEPARATOR,
                IDM_RECENT_SEPARATOR, nullptr);
    InsertMenuA(fileMenu, kRecentServerPosition, MF_BYPOSITION | MF_STRING, IDM_RECENT_SERVER,
                text);
  }
  if (window) DrawMenuBar(window);
}

void CopyHostName(StoreConnection* server, const char* host) {
  size_t n = strlen(host);
  if (n > kHostNameSize - 1) n = kHostNameSize - 1;
  memcpy(server->hostName, host, n);
  server->hostName[n] = '\0';
}

INT_PTR RunSelectServerDialog(const ShellFrame* frame, StoreConnection* server) {
  // The list alone is 5 KB; freed below once the dialog has ended.
  auto* d = static_cast<SelectDialog*>(calloc(1, sizeof(SelectDialog)));
  if (!d) return 0;
  d->frame = frame;
  d->server = server;
  INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), kSelectDialogTemplate,
                                   frame->window, SelectZELMDlgProc,
                                   reinterpret_cast<LPARAM>(d));
  free(d);
  return result == 1 ? 1 : 0;
}

int AddConnectedServer(const ShellFrame* frame, StoreConnection* server) {
  server->nodeKind = kNodeServer;
  TreeItem* item = frame->addServerItem ? frame->addServerItem(frame->context, server) : nullptr;
  if (!item) {
    FreeStoreRecord(server);
    return 0;
  }
  server->treeItem = item;
  UserAdder adder = {frame, server};
  if (StoreListUsers(server, AddUser, &adder) == kStoreTooLong) {
    char text[200];
    const AnswerBounds& b = CurrentAnswerBounds();
    snprintf(text, sizeof text,
             "The server's user list went on past what the shell holds (%lu entries or %llu MB of "
             "names); the connection to the server was closed.",
             b.treeEntries, b.listTextBytes >> 20);
    ShowErrorText(frame, text);
  }
  return 1;
}

int ConnectFromDialog(const ShellFrame* frame) {
  // Zero-filled as the dialog expects; owned by the server item once added.
  auto* server = static_cast<StoreConnection*>(calloc(1, sizeof(StoreConnection)));
  if (!server) return 0;
  if (RunSelectServerDialog(frame, server) != 1) {
    free(server);
    return 0;
  }
  return AddConnectedServer(frame, server);
}

int ConnectToLastServer(const ShellFrame* frame) {
  const char* last = g_shellPrefs.lastConnected;
  if (!last[0]) return 0;
  auto* server = static_cast<StoreConnection*>(calloc(1, sizeof(StoreConnection)));
  if (!server) return 0;
  ShowStatusText(frame, kConnecting);
  if (!ConnectToHost(&server->socket, last, kStorePort)) {
    ShowErrorText(frame, kCouldNotConnect);
    free(server);
    return 0;
  }
  CopyHostName(server, last);
  ShowConnected(frame);
  return AddConnectedServer(frame, server);
}

void StartRecentServer(const ShellFrame* frame) {
  BuildRecentServerEntry(frame->fileMenu, frame->window, g_shellPrefs.lastConnected);
  if (g_shellPrefs.autoconnect && g_shellPrefs.lastConnected[0] && frame->window)
    PostMessageA(frame->window, WM_COMMAND, MAKEWPARAM(IDM_RECENT_SERVER, 0), 0);
}
