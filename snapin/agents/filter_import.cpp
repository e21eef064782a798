// The import of a blocked-address or alias list file into a page's list box.
#include <windows.h>
#include <commdlg.h>
#include <stdio.h>

#include "agent_pages.h"
#include "agents_filter_ids.h"
#include "filter_procs.h"
#include "filter_values.h"
#include "frame.h"
#include "tarq_ids.h"

int ImportListFile(HWND page, int listId, const char* path, int aliasesOnly) {
  // Bytes, not text mode: the page cuts line ends itself, and a stray
  // end-of-file byte in the middle must not end the import early.
  FILE* file = path && *path ? fopen(path, "rb") : nullptr;
  if (!file) {
    RefuseWith(page, IDS_COULD_NOT_OPEN_FILE, IDS_ERROR_CAPTION, 0);
    return -1;
  }
  ImportLines lines = {};
  StrList entries = {};  // freed below
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, file)) > 0)
    FeedImportBytes(&lines, chunk, n, aliasesOnly, &entries);
  FinishImport(&lines, aliasesOnly, &entries);
  fclose(file);
  // Every line is an entry of its own: the sorted list keeps duplicates,
  // and the apply sends each value once.
  HWND list = GetDlgItem(page, listId);
  for (int32_t i = 0; i < entries.count; ++i)
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entries.items[i]));
  int added = entries.count;
  StrListFree(&entries);
  return added;
}

int ImportWithDialog(HWND page, int listId, int titleId, int aliasesOnly) {
  char path[MAX_PATH] = "";
  char title[128];
  LoadResourceText(titleId, title, sizeof title);
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = page;
  ofn.hInstance = g_snapin.instance;
  ofn.lpstrFile = path;
  ofn.nMaxFile = sizeof path;
  ofn.lpstrTitle = title;
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameA(&ofn)) return 0;
  if (ImportListFile(page, listId, path, aliasesOnly) < 0) return 0;
  MarkPageChanged(page);
  return 1;
}
