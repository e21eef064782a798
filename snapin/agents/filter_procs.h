// The anti-spam and alias agents' own pages, and the import of a list file
// into a page's list box that both agents offer. The host reaches the page
// procedures through the agents' page records.
#pragma once

#include <windows.h>

extern "C" {
INT_PTR CALLBACK AntiSpamConfigDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AliasConfigDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AliasLocalAliasDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AliasGlobalAliasDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
}

// Adds the entries of the file at path to the page's list box listId (alias
// pages: only lines holding "="). When the file cannot be opened the page
// shows "Could not open file" and nothing is added. The number added, or -1.
int ImportListFile(HWND page, int listId, const char* path, int aliasesOnly);
// Asks for a file with the common open-file dialog (title from the string
// table) and imports it; 1 when a file was imported.
int ImportWithDialog(HWND page, int listId, int titleId, int aliasesOnly);
