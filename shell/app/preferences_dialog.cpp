#include "preferences_dialog.h"

#include <cstdio>
#include <cstring>

#include "settings.h"
#include "zelmsh_ids.h"

const char kPreferencesTemplate[] = "Preferences";

namespace {

const char kBadBodySize[] =
    "Please enter the maximum body size as a number of bytes from 0 to 4294967295.";

void OnInitDialog(HWND dlg) {
  MoveToStoredPosition(dlg, kPositionPreferences);
  char text[kPreferenceCapacity];
  // The stored texts decide, not what is in memory: a value changed since
  // start-up shows as it will be read next time.
  ReadShellSetting(kSettingsMain, kValueAutoconnect, text, sizeof text);
  CheckDlgButton(dlg, IDC_PREF_AUTOCONNECT, IsOnText(text) ? BST_CHECKED : BST_UNCHECKED);
  ReadShellSetting(kSettingsMain, kValueReadonly, text, sizeof text);
  CheckDlgButton(dlg, IDC_PREF_READONLY, IsOnText(text) ? BST_CHECKED : BST_UNCHECKED);
  ReadShellSetting(kSettingsMain, kValueMaxBodySize, text, sizeof text);
  if (!text[0]) snprintf(text, sizeof text, "%lu", g_shellPrefs.maxBodySize);
  SendDlgItemMessageA(dlg, IDC_PREF_MAXBODY, EM_LIMITTEXT, kBodySizeTextSize - 1, 0);
  SetDlgItemTextA(dlg, IDC_PREF_MAXBODY, text);
}

// Refuses the OK with the focus on the offending field; the dialog stays.
void RefuseBodySize(HWND dlg) {
  MessageBoxA(dlg, kBadBodySize, "Preferences", MB_OK | MB_ICONEXCLAMATION);
  HWND edit = GetDlgItem(dlg, IDC_PREF_MAXBODY);
  SetFocus(edit);
  SendMessageA(edit, EM_SETSEL, 0, -1);
}

void OnOk(HWND dlg) {
  char text[kBodySizeTextSize];
  GetDlgItemTextA(dlg, IDC_PREF_MAXBODY, text, sizeof text);
  unsigned long bytes = 0;
  if (!ParseBodySizeText(text, &bytes)) {
    RefuseBodySize(dlg);
    return;
  }
  SaveWindowPosition(dlg, kPositionPreferences);
  bool autoconnect = IsDlgButtonChecked(dlg, IDC_PREF_AUTOCONNECT) == BST_CHECKED;
  bool readonly = IsDlgButtonChecked(dlg, IDC_PREF_READONLY) == BST_CHECKED;
  WriteShellSetting(kSettingsMain, kValueAutoconnect, autoconnect ? "On" : "Off");
  g_shellPrefs.autoconnect = autoconnect;
  WriteShellSetting(kSettingsMain, kValueReadonly, readonly ? "On" : "Off");
  g_shellPrefs.readonly = readonly;
  WriteShellSetting(kSettingsMain, kValueMaxBodySize, text);
  g_shellPrefs.maxBodySize = bytes;
  EndDialog(dlg, 1);
}

INT_PTR CALLBACK PreferencesDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      OnInitDialog(dlg);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDOK:
          OnOk(dlg);
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

}  // namespace

bool ParseBodySizeText(const char* text, unsigned long* bytes) {
  while (*text == ' ' || *text == '\t') ++text;
  unsigned long long v = 0;
  int digits = 0;
  for (; *text >= '0' && *text <= '9'; ++text, ++digits) {
    v = v * 10 + static_cast<unsigned>(*text - '0');
    if (v > 0xFFFFFFFFull) return false;
  }
  while (*text == ' ' || *text == '\t') ++text;
  if (digits == 0 || *text) return false;
  *bytes = static_cast<unsigned long>(v);
  return true;
}

INT_PTR RunPreferencesDialog(HWND owner) {
  INT_PTR r = DialogBoxParamA(GetModuleHandleA(nullptr), kPreferencesTemplate, owner,
                              PreferencesDlgProc, 0);
  return r == 1 ? 1 : 0;
}
