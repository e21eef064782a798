#include "user_page.h"

#include <initializer_list>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "frame.h"
#include "tarq_ids.h"
#include "user_values.h"

using namespace users;

namespace {

// The attributes in the order the page reads them.
enum UserAttr {
  kPrivacy,
  kTimeout,
  kEMail,
  kDisabled,
  kForwarding,
  kVacation,
  kForwardAddress,
  kReplyMessage,
  kQuotaValue,
  kUseQuota,
  kUserAttrCount
};
const char* const kAttributeNames[kUserAttrCount] = {
    kAttrPrivacy,   kAttrTimeout,        kAttrEMail,        kAttrDisabled,   kAttrForwarding,
    kAttrVacation,  kAttrForwardAddress, kAttrReplyMessage, kAttrQuotaValue, kAttrUseQuota};

// Write permission groups: the attribute asked, and the controls disabled
// when the user may not write it.
enum Group { kGroupPrivacy, kGroupEMail, kGroupTimeout, kGroupDisabled, kGroupForwarding,
             kGroupVacation, kGroupQuota, kGroupCount };
const struct {
  const char* attribute;
  int controls[4];  // 0 ends the list
} kGroups[kGroupCount] = {
    {kAttrPrivacy, {IDC_USR_PRIVACY, IDC_USR_PRIVACY_LABEL}},
    {kAttrEMail, {IDC_USR_EMAIL, IDC_USR_EMAIL_LABEL}},
    {kAttrTimeout, {IDC_USR_TIMEOUT, IDC_USR_TIMEOUT_LABEL, IDC_USR_TIMEOUT_UNIT}},
    {kAttrDisabled, {IDC_USR_DISABLED, IDC_USR_STATUS_GROUP}},
    {kAttrForwarding,
     {IDC_USR_FORWARD, IDC_USR_FORWARD_ADDRESS, IDC_USR_FORWARD_GROUP, IDC_USR_KEEP_COPY}},
    {kAttrVacation, {IDC_USR_VACATION, IDC_USR_REPLY_MESSAGE, IDC_USR_VACATION_GROUP}},
    {kAttrQuotaValue, {IDC_USR_USE_QUOTA, IDC_USR_QUOTA_VALUE, IDC_USR_QUOTA_UNIT}},
};

// The apply steps in order: attribute, its permission group, and the
// control that takes the focus when its write fails.
const struct {
  UserAttr attribute;
  Group group;
  int focus;
} kSteps[] = {
    {kPrivacy, kGroupPrivacy, IDC_USR_PRIVACY},
    {kTimeout, kGroupTimeout, IDC_USR_TIMEOUT},
    {kEMail, kGroupEMail, IDC_USR_EMAIL},
    {kDisabled, kGroupDisabled, IDC_USR_DISABLED},
    {kForwarding, kGroupForwarding, IDC_USR_FORWARD},
    {kVacation, kGroupVacation, IDC_USR_VACATION},
    {kForwardAddress, kGroupForwarding, IDC_USR_FORWARD_ADDRESS},
    {kReplyMessage, kGroupVacation, IDC_USR_REPLY_MESSAGE},
    {kUseQuota, kGroupQuota, IDC_USR_USE_QUOTA},
    {kQuotaValue, kGroupQuota, IDC_USR_QUOTA_VALUE},
};

// The text fields and the attribute each shows.
const struct {
  int id;
  UserAttr attribute;
} kTextFields[] = {{IDC_USR_EMAIL, kEMail},
                   {IDC_USR_FORWARD_ADDRESS, kForwardAddress},
                   {IDC_USR_REPLY_MESSAGE, kReplyMessage},
                   {IDC_USR_QUOTA_VALUE, kQuotaValue}};

// The page's state; one page at a time.
struct UserPageState {
  StrList values[kUserAttrCount];  // owned: values read at load, the old values on apply
  int writable[kGroupCount];
  int loading;  // controls being filled: their notifications are not the user's
};
UserPageState g_page;

void FreeValues() {
  for (StrList& list : g_page.values) StrListFree(&list);
}

void ReadValue(int a) {
  StrListFree(&g_page.values[a]);
  DSReadValues(&g_page.values[a], g_snapin.pageContainer, g_snapin.currentObject,
               kAttributeNames[a]);
}

void ReadValues() {
  for (int a = 0; a < kUserAttrCount; ++a) ReadValue(a);
}

int Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

void Check(HWND page, int id, int on) { CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED); }

void UpdateQuotaFields(HWND page) {
  BOOL on = Checked(page, IDC_USR_USE_QUOTA) && g_page.writable[kGroupQuota];
  EnableWindow(GetDlgItem(page, IDC_USR_QUOTA_VALUE), on);
  EnableWindow(GetDlgItem(page, IDC_USR_QUOTA_UNIT), on);
}

void FillPrivacy(HWND page) {
  char text[64];
  for (int id : {IDS_PRIVACY_NONE, IDS_PRIVACY_LIMITED, IDS_PRIVACY_UNLISTED})
    SendDlgItemMessageA(page, IDC_USR_PRIVACY, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(LoadResourceText(id, text, sizeof text)));
}

INT_PTR OnInit(HWND page) {
  g_page.loading = 1;
  FreeValues();
  BeginPage(page);
  for (int g = 0; g < kGroupCount; ++g) {
    g_page.writable[g] =
        DSCanWrite(g_snapin.pageContainer, g_snapin.currentObject, kGroups[g].attribute);
    if (g_page.writable[g]) continue;
    for (int id : kGroups[g].controls)
      if (id) EnableWindow(GetDlgItem(page, id), FALSE);
  }
  FillPrivacy(page);
  for (int id : {IDC_USR_EMAIL, IDC_USR_TIMEOUT, IDC_USR_FORWARD_ADDRESS, IDC_USR_REPLY_MESSAGE,
                 IDC_USR_QUOTA_VALUE})
    SendDlgItemMessageA(page, id, EM_LIMITTEXT, kUserTextChars, 0);

  ReadValues();
  const StrList* v = g_page.values;
  SendDlgItemMessageA(page, IDC_USR_PRIVACY, CB_SETCURSEL, PrivacyIndexOf(&v[kPrivacy]), 0);
  SetDlgItemTextA(page, IDC_USR_TIMEOUT, v[kTimeout].count ? FirstValue(&v[kTimeout]) : "0");
  for (const auto& f : kTextFields) SetDlgItemTextA(page, f.id, FirstValue(&v[f.attribute]));
  // The message in lines however it was stored (the field breaks at CR LF).
  char* reply = ToEditText(FirstValue(&v[kReplyMessage]));  // freed here
  if (reply) SetDlgItemTextA(page, IDC_USR_REPLY_MESSAGE, reply);
  free(reply);
  Check(page, IDC_USR_DISABLED, FlagOf(&v[kDisabled]));
  int forwarding = ForwardingModeOf(&v[kForwarding]);
  Check(page, IDC_USR_FORWARD, forwarding >= 1);
  Check(page, IDC_USR_KEEP_COPY, forwarding == 2);
  Check(page, IDC_USR_VACATION, FlagOf(&v[kVacation]));
  Check(page, IDC_USR_USE_QUOTA, FlagOf(&v[kUseQuota]));
  UpdateQuotaFields(page);
  g_page.loading = 0;
  return TRUE;
}

INT_PTR OnCommand(HWND page, int id, int code) {
  if (g_page.loading) return FALSE;
  switch (id) {
    case IDC_USR_FORWARD:
    case IDC_USR_VACATION:
    case IDC_USR_DISABLED:
    case IDC_USR_USE_QUOTA:
    case IDC_USR_KEEP_COPY:
      if (code != BN_CLICKED) return FALSE;
      UpdateQuotaFields(page);
      MarkPageChanged(page);
      return TRUE;
    case IDC_USR_FORWARD_ADDRESS:
    case IDC_USR_REPLY_MESSAGE:
    case IDC_USR_QUOTA_VALUE:
    case IDC_USR_EMAIL:
    case IDC_USR_TIMEOUT:
      if (code != EN_UPDATE) return FALSE;
      MarkPageChanged(page);
      return TRUE;
    case IDC_USR_PRIVACY:
      if (code != CBN_SELCHANGE) return FALSE;
      MarkPageChanged(page);
      return TRUE;
  }
  return FALSE;
}

// The text an apply step writes: a new heap string (the caller frees it),
// null when out of memory. Fields are taken whole: typing stops at
// kUserTextChars, a longer text is a stored one shown at load and goes back
// as it was (the directory refuses what it cannot hold).
char* StepText(HWND page, UserAttr attribute) {
  char value[16];
  switch (attribute) {
    case kPrivacy: {
      LRESULT index = SendDlgItemMessageA(page, IDC_USR_PRIVACY, CB_GETCURSEL, 0, 0);
      snprintf(value, sizeof value, "%d", index < 0 ? 0 : static_cast<int>(index));
      return strdup(value);
    }
    case kTimeout: {
      char* typed = ControlTextCopy(page, IDC_USR_TIMEOUT);
      char* text = typed ? strdup(TimeoutToWrite(typed)) : nullptr;
      free(typed);
      return text;
    }
    case kDisabled: return strdup(Checked(page, IDC_USR_DISABLED) ? "1" : "0");
    case kForwarding:
      return strdup(
          ForwardingValue(Checked(page, IDC_USR_FORWARD), Checked(page, IDC_USR_KEEP_COPY)));
    case kVacation: return strdup(Checked(page, IDC_USR_VACATION) ? "1" : "0");
    case kUseQuota: return strdup(Checked(page, IDC_USR_USE_QUOTA) ? "1" : "0");
    case kReplyMessage: {
      // Written back with the line breaks of the stored message; one
      // without any gets CR LF, as the field gives them.
      char* typed = ControlTextCopy(page, IDC_USR_REPLY_MESSAGE);
      const StrList* old = &g_page.values[kReplyMessage];
      char* text = typed ? ToStoredText(typed, old->count ? FirstValue(old) : nullptr, kBreakCrLf)
                         : nullptr;
      free(typed);
      return text;
    }
    default:
      for (const auto& f : kTextFields)
        if (f.attribute == attribute) return ControlTextCopy(page, f.id);
      return strdup("");
  }
}

INT_PTR OnApply(HWND page) {
  for (const auto& step : kSteps) {
    if (!g_page.writable[step.group]) continue;
    char* text = StepText(page, step.attribute);  // freed below
    if (!text) {
      DSShowError(page, kDSErrNoMemory);  // nothing written
      SetFocus(GetDlgItem(page, step.focus));
      return 0;
    }
    StrList wanted = {};  // owned here: freed below
    StrListAdd(&wanted, text);
    free(text);
    int r = DSReplaceValues(&g_page.values[step.attribute], &wanted, g_snapin.pageContainer,
                            g_snapin.currentObject, kAttributeNames[step.attribute],
                            kSyntaxCIString);
    StrListFree(&wanted);
    // A later apply (a retry, or OK after Apply) compares with what is
    // stored now, not with what the page found when it opened.
    ReadValue(step.attribute);
    if (r != 0) {
      DSShowError(page, r);
      SetFocus(GetDlgItem(page, step.focus));
      return 0;
    }
  }
  return 1;
}

}  // namespace

INT_PTR CALLBACK UserDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(page);
    case WM_COMMAND: return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
    case QZX_PAGE_APPLY: return OnApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, HELP_USER_PAGE);
    case WM_CLOSE: FreeValues(); return TRUE;
  }
  return FALSE;
}
