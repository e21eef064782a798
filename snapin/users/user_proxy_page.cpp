#include "user_proxy_page.h"

#include <initializer_list>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "frame.h"
#include "proxy_entry.h"
#include "tarq_ids.h"
#include "user_values.h"

using namespace users;

namespace {

const char kSwitchMismatch[] = "Passwords don't match\n";
const char kSwitchCaption[] = "Error";
const char kModuleNameAttribute[] = "Quorvel:Module Name";

// Disabled when the page may not edit.
const int kEditControls[] = {IDC_PRX_ENTRY_LABEL,  IDC_PRX_PROTOCOL_LABEL, IDC_PRX_HOST_LABEL,
                             IDC_PRX_USER_LABEL,   IDC_PRX_PASSWORD_LABEL, IDC_PRX_RETYPE_LABEL,
                             IDC_PRX_POP3,         IDC_PRX_IMAP4,          IDC_PRX_ENTRY,
                             IDC_PRX_HOST,         IDC_PRX_USER,           IDC_PRX_PASSWORD,
                             IDC_PRX_RETYPE,       IDC_PRX_LEAVE,          IDC_PRX_CLEAR};

// The page's state; one page at a time.
struct ProxyPageState {
  StrList read;    // owned: the values as read, the old values on apply
  StrList others;  // owned: values not offered (malformed, or beyond the third
                   // well-formed one), written back as read
  char* texts[kProxyShownEntries];         // owned: the entry text at each position
  ProxyEntry parsed[kProxyShownEntries];   // owned: texts parsed
  int current;  // position shown, from 0
  int mayEdit;
  int loading;  // controls being filled: their notifications are not the user's
};
ProxyPageState g_page;

void SetEntry(int position, char* text) {  // takes text over
  free(g_page.texts[position]);
  FreeProxyEntry(&g_page.parsed[position]);
  g_page.texts[position] = text;
  ParseProxyEntry(text, &g_page.parsed[position]);
}

void FreeState() {
  StrListFree(&g_page.read);
  StrListFree(&g_page.others);
  for (int i = 0; i < kProxyShownEntries; ++i) SetEntry(i, nullptr);
}

char* HeapCopy(const char* text) {
  size_t n = strlen(text) + 1;
  char* copy = static_cast<char*>(malloc(n));
  if (copy) memcpy(copy, text, n);
  return copy;
}

// The page may edit when a messaging server serving the user's container
// has a proxy agent, and the user's list may be written.
int MayEdit() {
  StrList servers = {};  // owned here
  int found = FindServerForObject(g_snapin.currentObject, &servers);
  char agent[kBrowseChars + 32];
  int named = found && servers.count > 0 && ProxyAgentOf(servers.items[0], agent, sizeof agent);
  StrListFree(&servers);
  if (!named) return 0;
  StrList module = {};
  int hasAgent = DSReadValues(&module, "[Root]", agent, kModuleNameAttribute) > 0;
  StrListFree(&module);
  return hasAgent && DSCanWrite(g_snapin.pageContainer, g_snapin.currentObject, kAttrProxyList);
}

void ReadEntries() {
  FreeState();
  DSReadValues(&g_page.read, g_snapin.pageContainer, g_snapin.currentObject, kAttrProxyList);
  int shown = 0;
  for (int32_t i = 0; i < g_page.read.count; ++i) {
    const char* value = g_page.read.items[i];
    ProxyEntry probe;
    if (shown < kProxyShownEntries && ParseProxyEntry(value, &probe)) {
      FreeProxyEntry(&probe);
      SetEntry(shown++, HeapCopy(value));
    } else {
      StrListAdd(&g_page.others, value);
    }
  }
  for (; shown < kProxyShownEntries; ++shown) SetEntry(shown, EmptyProxyEntry(shown + 1));
}

int Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

void ShowEntry(HWND page, int position) {
  int wasLoading = g_page.loading;
  g_page.loading = 1;
  const ProxyEntry& e = g_page.parsed[position];
  SetDlgItemTextA(page, IDC_PRX_HOST, e.text ? e.host : "");
  SetDlgItemTextA(page, IDC_PRX_USER, e.text ? e.user : "");
  SetDlgItemTextA(page, IDC_PRX_PASSWORD, e.text ? e.password : "");
  SetDlgItemTextA(page, IDC_PRX_RETYPE, e.text ? e.password : "");
  CheckRadioButton(page, IDC_PRX_POP3, IDC_PRX_IMAP4, e.imap ? IDC_PRX_IMAP4 : IDC_PRX_POP3);
  CheckDlgButton(page, IDC_PRX_LEAVE, e.leave ? BST_CHECKED : BST_UNCHECKED);
  g_page.loading = wasLoading;
}

struct Typed {
  char host[kProxyFieldChars + 1];
  char user[kProxyFieldChars + 1];
  char password[kProxyFieldChars + 1];
  char retype[kProxyFieldChars + 1];
};

void ReadTyped(HWND page, Typed* t) {
  GetDlgItemTextA(page, IDC_PRX_HOST, t->host, sizeof t->host);
  GetDlgItemTextA(page, IDC_PRX_USER, t->user, sizeof t->user);
  GetDlgItemTextA(page, IDC_PRX_PASSWORD, t->password, sizeof t->password);
  GetDlgItemTextA(page, IDC_PRX_RETYPE, t->retype, sizeof t->retype);
}

// The controls into the shown entry's text. 0 when the passwords differ
// (nothing stored); *changed is set when the text is new.
int StoreShown(HWND page, int* changed) {
  Typed t;
  ReadTyped(page, &t);
  if (strcmp(t.password, t.retype) != 0) return 0;
  int position = g_page.current;
  char* text = FormatProxyEntry(position + 1, t.host, t.user, t.password,
                                KeptProxyState(&g_page.parsed[position], t.host, t.user),
                                Checked(page, IDC_PRX_IMAP4), Checked(page, IDC_PRX_LEAVE));
  if (!text) return 1;  // out of memory: the stored entry stays
  if (!SameText(text, g_page.texts[position])) *changed = 1;
  SetEntry(position, text);
  return 1;
}

INT_PTR OnInit(HWND page) {
  g_page.loading = 1;
  BeginPage(page);
  g_page.mayEdit = MayEdit();
  if (!g_page.mayEdit)
    for (int id : kEditControls) EnableWindow(GetDlgItem(page, id), FALSE);
  for (int id : {IDC_PRX_HOST, IDC_PRX_USER, IDC_PRX_PASSWORD, IDC_PRX_RETYPE})
    SendDlgItemMessageA(page, id, EM_LIMITTEXT, kProxyFieldChars, 0);
  ReadEntries();
  for (const char* item : {"1", "2", "3"})
    SendDlgItemMessageA(page, IDC_PRX_ENTRY, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  SendDlgItemMessageA(page, IDC_PRX_ENTRY, CB_SETCURSEL, 0, 0);
  g_page.current = 0;
  ShowEntry(page, 0);
  g_page.loading = 0;
  return TRUE;
}

void OnSwitch(HWND page) {
  LRESULT selected = SendDlgItemMessageA(page, IDC_PRX_ENTRY, CB_GETCURSEL, 0, 0);
  int changed = 0;
  if (!StoreShown(page, &changed)) {
    MessageBoxA(page, kSwitchMismatch, kSwitchCaption, MB_OK | MB_ICONERROR);
    SetFocus(GetDlgItem(page, IDC_PRX_PASSWORD));
    SendDlgItemMessageA(page, IDC_PRX_ENTRY, CB_SETCURSEL, g_page.current, 0);
    return;
  }
  if (changed) MarkPageChanged(page);
  if (selected >= 0 && selected < kProxyShownEntries) g_page.current = static_cast<int>(selected);
  ShowEntry(page, g_page.current);
}

void OnClear(HWND page) {
  int position = g_page.current;
  int wasEmpty = IsEmptyProxyEntry(g_page.texts[position]);
  SetEntry(position, EmptyProxyEntry(position + 1));
  ShowEntry(page, position);
  if (!wasEmpty) MarkPageChanged(page);
  SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_PRX_ENTRY, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_PRX_ENTRY)));
}

// Typing marks the page changed once host, user and both passwords are there.
void OnTyping(HWND page) {
  Typed t;
  ReadTyped(page, &t);
  if (t.host[0] && t.user[0] && t.password[0] && t.retype[0]) MarkPageChanged(page);
}

INT_PTR OnCommand(HWND page, int id, int code) {
  if (g_page.loading) return FALSE;
  switch (id) {
    case IDC_PRX_ENTRY:
      if (code == CBN_SELCHANGE) OnSwitch(page);
      return TRUE;
    case IDC_PRX_CLEAR:
      if (code == BN_CLICKED) OnClear(page);
      return TRUE;
    case IDC_PRX_HOST:
    case IDC_PRX_USER:
    case IDC_PRX_PASSWORD:
    case IDC_PRX_RETYPE:
      if (code == EN_UPDATE) OnTyping(page);
      return TRUE;
    case IDC_PRX_POP3:
    case IDC_PRX_IMAP4:
    case IDC_PRX_LEAVE:
      if (code == BN_CLICKED) MarkPageChanged(page);
      return TRUE;
  }
  return FALSE;
}

// Adds text unless the list holds it already (ignoring case): the directory
// takes a value once.
void AddOnce(StrList* list, const char* text) {
  for (int32_t i = 0; i < list->count; ++i)
    if (SameText(list->items[i], text)) return;
  StrListAdd(list, text);
}

INT_PTR OnApply(HWND page) {
  if (!g_page.mayEdit) return 1;
  int changed = 0;
  if (!StoreShown(page, &changed)) {
    char text[256], caption[64];
    MessageBoxA(page, LoadResourceText(IDS_PASSWORDS_DIFFER, text, sizeof text),
                LoadResourceText(IDS_ERROR_CAPTION, caption, sizeof caption),
                MB_OK | MB_ICONERROR);
    SetFocus(GetDlgItem(page, IDC_PRX_PASSWORD));
    return 0;
  }
  StrList wanted = {};  // owned here: freed below
  for (int i = 0; i < kProxyShownEntries; ++i) {
    const ProxyEntry& e = g_page.parsed[i];
    if (!e.text) continue;
    // Entries are labelled by their position on the page.
    char* text = FormatProxyEntry(i + 1, e.host, e.user, e.password, e.state, e.imap, e.leave);
    if (text && !IsEmptyProxyEntry(text)) AddOnce(&wanted, text);
    free(text);
  }
  for (int32_t i = 0; i < g_page.others.count; ++i) AddOnce(&wanted, g_page.others.items[i]);
  int r = DSReplaceValues(&g_page.read, &wanted, g_snapin.pageContainer, g_snapin.currentObject,
                          kAttrProxyList, kSyntaxCIString);
  StrListFree(&wanted);
  // A later apply (a retry, or OK after Apply) compares with what is stored
  // now, not with what the page found when it opened.
  StrListFree(&g_page.read);
  DSReadValues(&g_page.read, g_snapin.pageContainer, g_snapin.currentObject, kAttrProxyList);
  if (r != 0) {
    DSShowError(page, r);
    SetFocus(GetDlgItem(page, IDC_PRX_ENTRY));
    return 0;
  }
  return 1;
}

}  // namespace

INT_PTR CALLBACK UserProxyDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(page);
    case WM_COMMAND: return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
    case QZX_PAGE_APPLY: return OnApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, HELP_USER_PROXY_PAGE);
    case WM_CLOSE: FreeState(); return TRUE;
  }
  return FALSE;
}
