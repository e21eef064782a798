#include "object_protocol.h"

#include <stdlib.h>
#include <string.h>

#include "callbacks.h"
#include "host_binding.h"
#include "names.h"
#include "snapin_state.h"

namespace {

const int32_t kBrowseFlags = QZX_BROWSE_SINGLE;                       // 4
const int32_t kFolderFlags = QZX_BROWSE_SINGLE | QZX_BROWSE_FOLDERS;  // 36
const UINT kHelpContext = 1;                                          // HELP_CONTEXT

// The host copies each title before it asks for the next page, so one
// buffer serves every page.
char g_title[kPageTitleChars];
QZXPageRecord g_pages[kMaxPages];

int32_t CopyOut(intptr_t index, intptr_t record, DLGPROC procedure, const char* templateName,
                HINSTANCE module) {
  QZXPageRecord& entry = g_pages[index];
  entry.procedure = procedure;
  entry.instance = module;
  entry.templateName = templateName;
  entry.title = g_title;
  entry.reserved = 0;
  *reinterpret_cast<QZXPageRecord*>(record) = entry;
  return 0;
}

bool ValidPage(intptr_t index, intptr_t record) {
  return record != 0 && index >= 0 && index < kMaxPages;
}

// The field's text, cut to what the browse buffer holds.
void FieldToBrowseBuffer(HWND window, int editId) {
  g_snapin.browse[0] = '\0';
  GetDlgItemTextA(window, editId, g_snapin.browse, sizeof g_snapin.browse);
}

}  // namespace

void OpenObject(const char* name) { SetCurrentObject(name ? name : ""); }

void HandBackNewObject(intptr_t hostBuffer) {
  if (hostBuffer) CopyText(reinterpret_cast<char*>(hostBuffer), QZX_NAME_BYTES, g_snapin.browse);
}

int32_t HandOutPage(intptr_t index, intptr_t record, DLGPROC procedure, const char* templateName,
                    int titleId) {
  if (!ValidPage(index, record)) return -1;
  LoadResourceText(titleId, g_title, sizeof g_title);
  return CopyOut(index, record, procedure, templateName, ResourceModule());
}

int32_t HandOutPageTitled(intptr_t index, intptr_t record, DLGPROC procedure,
                          const char* templateName, const char* title, HINSTANCE module) {
  if (!ValidPage(index, record)) return -1;
  CopyText(g_title, sizeof g_title, title ? title : "");
  return CopyOut(index, record, procedure, templateName, module);
}

int32_t HandOutPageOf(const PageSpec* pages, int count, intptr_t index, intptr_t record) {
  if (!pages || index < 0 || index >= count) return -1;
  const PageSpec& page = pages[index];
  return HandOutPage(index, record, page.procedure, page.templateName, page.titleId);
}

const char* PageTitleBuffer() { return g_title; }

const QZXPageRecord* PageTableEntry(int index) {
  return index >= 0 && index < kMaxPages ? &g_pages[index] : nullptr;
}

void BeginPage(HWND page) {
  DerivePageContainer();
  SetDlgItemTextA(page, kObjectNameControl, g_snapin.currentObject);
}

void MarkPageChanged(HWND page) {
  SendMessageA(page, QZX_PAGE_CHANGED, reinterpret_cast<WPARAM>(page), QZX_PAGE_CHANGED_LPARAM);
}

int32_t ShowPageHelp(HWND window, int helpId) {
  WinHelpA(window, g_host.helpPath, kHelpContext, static_cast<ULONG_PTR>(helpId));
  return 1;
}

const char* HelpFile() { return g_host.helpPath; }

char* ControlTextCopy(HWND page, int id) {
  HWND control = GetDlgItem(page, id);
  int n = control ? GetWindowTextLengthA(control) : 0;
  char* text = static_cast<char*>(malloc(static_cast<size_t>(n) + 1));
  if (!text) return nullptr;
  text[0] = '\0';
  if (n > 0) GetWindowTextA(control, text, n + 1);
  return text;
}

const char* LoadResourceText(int id, char* out, int capacity) {
  if (!out || capacity <= 0) return "";
  out[0] = '\0';
  if (LoadStringA(ResourceModule(), static_cast<UINT>(id), out, capacity) <= 0) out[0] = '\0';
  return out;
}

int BrowseDirectoryInto(HWND window, int editId, int browseType, const char* startContext,
                        int titleId) {
  char title[QZX_TITLE_BYTES];
  LoadResourceText(titleId, title, sizeof title);
  FieldToBrowseBuffer(window, editId);
  int32_t r = -1;
  if (g_host.api.launchDSFlatBrowser)
    r = g_host.api.launchDSFlatBrowser(window, browseType, startContext, 0, 0, title, kBrowseFlags,
                                       DSLaunchProc);
  SetDlgItemTextA(window, editId, g_snapin.browse);
  return r == 0;
}

int BrowseFolderInto(HWND window, int editId, const char* serverContainer, int titleId) {
  char title[QZX_TITLE_BYTES];
  LoadResourceText(titleId, title, sizeof title);
  FieldToBrowseBuffer(window, editId);
  int32_t r = -1;
  if (g_host.api.launchFSFlatBrowser)
    r = g_host.api.launchFSFlatBrowser(window, kBrowseDirectory, serverContainer, "", 0, 0, title,
                                       kFolderFlags, DSLaunchProc);
  SetDlgItemTextA(window, editId, g_snapin.browse);
  return r == 0;
}

int BrowsePageField(HWND page, int editId, int browseType, const char* startContext, int titleId) {
  int picked = BrowseDirectoryInto(page, editId, browseType, startContext, titleId);
  MarkPageChanged(page);
  return picked;
}

int BrowsePageFolder(HWND page, int editId, const char* serverContainer, int titleId) {
  int picked = BrowseFolderInto(page, editId, serverContainer, titleId);
  MarkPageChanged(page);
  return picked;
}

int32_t CreateValueControl(HWND page, StrList* list, int kind, int editId, int spinId, int listId,
                           int mode, int titleId, const char* startContext) {
  if (!list || !g_host.api.createMved) return -1;
  list->tag = kind;
  char title[QZX_TITLE_BYTES];
  LoadResourceText(titleId, title, sizeof title);
  return g_host.api.createMved(page, list, editId, spinId, listId, mode, kMvedValueChars, title,
                               startContext, 0, MvedProc);
}

int ReadValueControl(HWND page, int editId, StrList* out) {
  if (!out) return -1;
  StrListFree(out);
  uint16_t count = 0;
  if (!g_host.api.getMvedCount || !g_host.api.getMvedValue ||
      g_host.api.getMvedCount(page, editId, &count) != 0)
    return -1;
  // The control shows values as long as the directory holds (written by
  // another tool), longer than the user may type: each is asked for with
  // room for the longest, and with more while the host answers it cut, so
  // an apply never drops or shortens a value it did not change.
  int32_t capacity = QZX_VALUE_BYTES;
  char* value = static_cast<char*>(malloc(static_cast<size_t>(capacity)));  // freed below
  int result = value ? 0 : -1;
  for (uint16_t i = 0; i < count && result == 0; ++i) {
    int32_t r;
    while ((r = g_host.api.getMvedValue(page, editId, i, capacity, value)) == kMvedValueCut &&
           capacity < kMvedReadLimit) {
      char* larger = static_cast<char*>(realloc(value, static_cast<size_t>(capacity) * 2));
      if (!larger) break;
      value = larger;
      capacity *= 2;
    }
    if (r == kMvedValueCut) result = -1;  // never written shortened
    else if (r == 0) StrListAdd(out, value);
  }
  free(value);
  if (result != 0) {
    StrListFree(out);
    return -1;
  }
  return out->count;
}
