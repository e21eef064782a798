// Server selection and connection: the "SelectZELM" dialog with the list of
// recently used servers, the File menu's recent-server entry, the connect
// command, command 4323 and autoconnect at start-up.
#pragma once

#include <windows.h>

#include "protocol/connection.h"
#include "protocol/store_commands.h"
#include "settings.h"

// What connecting needs of the main window. Every callback gets `context`.
struct ShellFrame {
  HWND window;    // owns the dialog and the menu bar; receives command 4323 at start-up
  HMENU fileMenu; // the File submenu that holds the recent-server entry
  void* context;
  // Status bar: ShowStatus fills the status part; ShowError clears it and
  // fills the error part.
  void (*showStatus)(void* context, const char* text);
  void (*showError)(void* context, const char* text);
  // Appends the server item (text: the host name, image 0, data: the record)
  // as the last child of the root. The item takes the record; null when no
  // item could be made, and the record stays the caller's.
  TreeItem* (*addServerItem)(void* context, StoreConnection* server);
  // Appends a user item (image 1) as the last child of the server's item.
  // 1 when the item took the record, 0 when not (the caller frees it).
  int (*addUserItem)(void* context, StoreConnection* server, UserNode* user);
};

extern const char kSelectDialogTemplate[];  // "SelectZELM"
enum { kRecentServerPosition = 4 };         // the entry's place in the File menu

// The recent-server list: up to kRecentSlots host texts, most recent first.
struct RecentServers {
  int count;
  char entries[kRecentSlots][kHostTextSize];
};

// Pure list rule: an entry equal to text without regard to case goes away,
// otherwise a full list loses its last entry; then text comes first as typed.
void PromoteRecentServer(RecentServers* list, const char* text);
// Slots "ZELM Select MRU 0" to 19, non-empty ones in order. 1 when slot 0
// itself held an entry (it then becomes the dialog's edit text).
int LoadRecentServers(RecentServers* list);
void SaveRecentServers(const RecentServers& list);

// Removes the entry and its separator and, when a last server is known,
// inserts both again at kRecentServerPosition and redraws the menu bar.
void BuildRecentServerEntry(HMENU fileMenu, HWND window, const char* lastServer);

// Runs the dialog modally with a zero-filled record (the dialog's parameter).
// 1 when it connected the record, 0 otherwise (Cancel, or connecting failed).
INT_PTR RunSelectServerDialog(const ShellFrame* frame, StoreConnection* server);

// Command 24331: dialog, then the server item and its users. 1 when a server
// was added.
int ConnectFromDialog(const ShellFrame* frame);
// Command 4323: connects to the last server without touching the list.
int ConnectToLastServer(const ShellFrame* frame);
// After a connection opened: node kind, server item, greeting and user list.
// The record belongs to the server item afterwards (or is freed here when
// no item could be made). 1 when the item was added.
int AddConnectedServer(const ShellFrame* frame, StoreConnection* server);
// Start-up, once the main window exists: the File menu entry from "Last
// Connected", and command 4323 posted when autoconnect is on.
void StartRecentServer(const ShellFrame* frame);

// Copies a host text into the record's 63-character host name, cutting a
// longer text (the connection was made with the whole text).
void CopyHostName(StoreConnection* server, const char* host);
