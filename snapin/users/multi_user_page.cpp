#include "multi_user_page.h"

#include <initializer_list>
#include <stdio.h>
#include <string.h>

#include "frame.h"
#include "tarq_ids.h"
#include "user_values.h"

MultiUserSettings g_multiUserSettings;

using namespace users;

namespace {

const char kSelectionShown[] = "<Multiple Users Selected>";
const char kRootContext[] = "[Root]";

enum { kNumberChars = 63 };  // the number fields as read

// What the page found common to the selected users.
struct MultiUserPageState {
  int disabled;  // kStateClear, kStateSet or kStateMixed
  int useQuota;
  int32_t quotaValue;  // 0: none, or the users' values differ
  int32_t timeout;     // the first user's, 6 without one
  int loading;         // controls being filled: their notifications are not the user's
};
MultiUserPageState g_page;

// A selected user's attribute read from the root, in list (freed by the caller).
void ReadOf(const char* user, const char* attribute, StrList* list) {
  DSReadValues(list, kRootContext, user, attribute);
}

int FlagStateOf(const char* user, const char* attribute) {
  StrList values = {};
  ReadOf(user, attribute, &values);
  int state = FlagOf(&values) ? kStateSet : kStateClear;
  StrListFree(&values);
  return state;
}

// The attribute as a number; *present tells whether the user has it.
int32_t NumberOfAttribute(const char* user, const char* attribute, int* present) {
  StrList values = {};
  ReadOf(user, attribute, &values);
  *present = values.count > 0;
  int32_t n = NumberOf(FirstValue(&values));
  StrListFree(&values);
  return n;
}

// Selected object `index` into name (QZX_NAME_BYTES); 0 when the host
// cannot hand it out.
int FetchSelected(int32_t index, char* name) {
  if (!g_host.api.getSelObject) return 0;
  QZXObjectRecord record;
  memset(&record, 0, sizeof record);
  if (g_host.api.getSelObject(index, &record) != 0) return 0;
  record.name[QZX_NAME_BYTES - 1] = '\0';
  CopyText(name, QZX_NAME_BYTES, record.name);
  return 1;
}

void ReadFirstUser(const char* user, int withTimeout) {
  int present = 0;
  g_page.disabled = FlagStateOf(user, kAttrDisabled);
  g_page.useQuota = FlagStateOf(user, kAttrUseQuota);
  int32_t quota = NumberOfAttribute(user, kAttrQuotaValue, &present);
  if (present) g_page.quotaValue = quota;
  if (withTimeout) {
    int32_t timeout = NumberOfAttribute(user, kAttrTimeout, &present);
    if (present) g_page.timeout = timeout;
  }
}

// Folds a further user into what is common. The quota value is compared
// for every user, not only while the boxes may still change: a value shown
// is written to all of them on apply.
void ReadFurtherUser(HWND page, const char* user) {
  SetDlgItemTextA(page, kObjectNameControl, user);
  StrList values = {};
  if (g_page.disabled != kStateMixed) {
    ReadOf(user, kAttrDisabled, &values);
    g_page.disabled = MergeFlagState(g_page.disabled, &values);
    StrListFree(&values);
  }
  if (g_page.useQuota != kStateMixed) {
    ReadOf(user, kAttrUseQuota, &values);
    g_page.useQuota = MergeFlagState(g_page.useQuota, &values);
    StrListFree(&values);
  }
  if (g_page.quotaValue != 0) {
    int present = 0;
    int32_t quota = NumberOfAttribute(user, kAttrQuotaValue, &present);
    if (present && quota != g_page.quotaValue) g_page.quotaValue = 0;
  }
}

void ReadSelection(HWND page) {
  int32_t count = 0;
  if (g_host.api.getSelObjectCount) g_host.api.getSelObjectCount(&count);
  char name[QZX_NAME_BYTES];
  if (count <= 1) {
    if (FetchSelected(0, name)) ReadFirstUser(name, 0);
    return;
  }
  if (FetchSelected(0, name)) ReadFirstUser(name, 1);
  for (int32_t i = 1; i < count; ++i) {
    if (g_page.disabled == kStateMixed && g_page.useQuota == kStateMixed && g_page.quotaValue == 0)
      break;  // nothing more to learn
    if (FetchSelected(i, name)) ReadFurtherUser(page, name);
  }
}

UINT BoxState(int state) {
  switch (state) {
    case kStateSet: return BST_CHECKED;
    case kStateMixed: return BST_INDETERMINATE;
    default: return BST_UNCHECKED;
  }
}

int StateOfBox(HWND page, int id) {
  switch (IsDlgButtonChecked(page, id)) {
    case BST_CHECKED: return kStateSet;
    case BST_INDETERMINATE: return kStateMixed;
    default: return kStateClear;
  }
}

void UpdateQuotaFields(HWND page) {
  BOOL on = IsDlgButtonChecked(page, IDC_USR_USE_QUOTA) != BST_UNCHECKED;
  EnableWindow(GetDlgItem(page, IDC_USR_QUOTA_VALUE), on);
  EnableWindow(GetDlgItem(page, IDC_USR_QUOTA_UNIT), on);
}

INT_PTR OnInit(HWND page) {
  g_page.loading = 1;
  SetDlgItemTextA(page, kObjectNameControl, kSelectionShown);
  g_page.disabled = kStateClear;
  g_page.useQuota = kStateClear;
  g_page.quotaValue = 0;
  g_page.timeout = kDefaultTimeout;
  ReadSelection(page);

  char text[256];
  SetDlgItemTextA(page, kObjectNameControl, LoadResourceText(IDS_MULTIPLE_USERS, text, sizeof text));
  CheckDlgButton(page, IDC_USR_DISABLED, BoxState(g_page.disabled));
  CheckDlgButton(page, IDC_USR_USE_QUOTA, BoxState(g_page.useQuota));
  SendDlgItemMessageA(page, IDC_USR_QUOTA_VALUE, EM_LIMITTEXT, kNumberChars, 0);
  SendDlgItemMessageA(page, IDC_USR_TIMEOUT, EM_LIMITTEXT, kNumberChars, 0);
  if (g_page.quotaValue != 0) {
    snprintf(text, sizeof text, "%u", static_cast<unsigned>(g_page.quotaValue));
    SetDlgItemTextA(page, IDC_USR_QUOTA_VALUE, text);
  }
  if (g_page.timeout != 0) {
    snprintf(text, sizeof text, "%d", static_cast<int>(g_page.timeout));
    SetDlgItemTextA(page, IDC_USR_TIMEOUT, text);
  }
  for (int id : {IDS_PRIVACY_NONE, IDS_PRIVACY_LIMITED, IDS_PRIVACY_UNLISTED})
    SendDlgItemMessageA(page, IDC_USR_PRIVACY, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(LoadResourceText(id, text, sizeof text)));
  SendDlgItemMessageA(page, IDC_USR_PRIVACY, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  UpdateQuotaFields(page);
  g_page.loading = 0;
  return TRUE;
}

INT_PTR OnCommand(HWND page, int id, int code) {
  if (g_page.loading) return FALSE;
  switch (id) {
    case IDC_USR_DISABLED:
    case IDC_USR_USE_QUOTA:
      if (code != BN_CLICKED) return FALSE;
      break;
    case IDC_USR_QUOTA_VALUE:
    case IDC_USR_TIMEOUT:
      if (code != EN_UPDATE) return FALSE;
      break;
    case IDC_USR_PRIVACY:
      if (code != CBN_SELCHANGE) return FALSE;
      break;
    default: return FALSE;
  }
  UpdateQuotaFields(page);
  MarkPageChanged(page);
  return TRUE;
}

// A number field: its number, or `none` when it is empty.
int32_t NumberField(HWND page, int id, int32_t none) {
  char text[kNumberChars + 1] = "";
  GetDlgItemTextA(page, id, text, sizeof text);
  return text[0] ? NumberOf(text) : none;
}

INT_PTR OnApply(HWND page) {
  MultiUserSettings& s = g_multiUserSettings;
  s.disabled = StateOfBox(page, IDC_USR_DISABLED);
  s.useQuota = StateOfBox(page, IDC_USR_USE_QUOTA);
  s.quotaValue = NumberField(page, IDC_USR_QUOTA_VALUE, 0);
  s.timeout = NumberField(page, IDC_USR_TIMEOUT, -1);
  LRESULT privacy = SendDlgItemMessageA(page, IDC_USR_PRIVACY, CB_GETCURSEL, 0, 0);
  s.privacy = privacy < 0 ? -1 : static_cast<int32_t>(privacy);
  return 1;
}

// One attribute of a user replaced by one value, against what it holds now.
int WriteOne(const char* container, const char* user, const char* attribute, const char* text) {
  StrList old = {}, wanted = {};  // owned here: freed below
  DSReadValues(&old, container, user, attribute);
  StrListAdd(&wanted, text);
  int r = DSReplaceValues(&old, &wanted, container, user, attribute, kSyntaxCIString);
  StrListFree(&old);
  StrListFree(&wanted);
  return r;
}

int WriteNumber(const char* container, const char* user, const char* attribute, int32_t n) {
  char text[16];
  snprintf(text, sizeof text, "%d", static_cast<int>(n));
  return WriteOne(container, user, attribute, text);
}

}  // namespace

INT_PTR CALLBACK MultiUserDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(page);
    case WM_COMMAND: return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
    case QZX_PAGE_APPLY: return OnApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, HELP_MULTI_USER_PAGE);
    case WM_CLOSE: return TRUE;  // the page holds no lists
  }
  return FALSE;
}

int32_t ApplyMultiUserSettings(const char* user) {
  char container[kBrowseChars + 2];
  if (!user || !PageContainerOf(user, container, sizeof container)) return -1;
  const MultiUserSettings& s = g_multiUserSettings;
  if (s.disabled != kStateMixed &&
      WriteOne(container, user, kAttrDisabled, s.disabled == kStateSet ? "1" : "0") != 0)
    return -1;
  if (s.useQuota != kStateMixed &&
      WriteOne(container, user, kAttrUseQuota, s.useQuota == kStateSet ? "1" : "0") != 0)
    return -1;
  if (s.quotaValue != 0 && WriteNumber(container, user, kAttrQuotaValue, s.quotaValue) != 0)
    return -1;
  if (s.privacy != -1 && WriteNumber(container, user, kAttrPrivacy, s.privacy) != 0) return -1;
  if (s.timeout != -1 && WriteNumber(container, user, kAttrTimeout, s.timeout) != 0) return -1;
  return 0;
}
