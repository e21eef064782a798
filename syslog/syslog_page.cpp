#include "syslog_page.h"

#include <string.h>

#include "frame.h"
#include "logpage_ids.h"

FacilityRecord g_facilities[kFacilityCount];

const char kSyslogAttribute[] = "Quorvel:Syslog Config";
const char kGlobalSyslogObject[] = "Internet Services";
const char kSyslogErrorCaption[] = "Directory Services Error";
const char kSyslogPageTitle[] = "Syslog Configuration";

void ClearFacilityRecords() { memset(g_facilities, 0, sizeof g_facilities); }

namespace {

// The level boxes by priority, Emergency (0) to Debug (7).
const int kLevelBoxes[kLevelCount] = {IDC_LOG_EMERGENCY, IDC_LOG_ALERT,   IDC_LOG_CRITICAL,
                                      IDC_LOG_ERROR,     IDC_LOG_WARNING, IDC_LOG_NOTICE,
                                      IDC_LOG_INFO,      IDC_LOG_DEBUG};
// The destination buttons and the mode each stands for.
const struct {
  int id;
  int mode;
} kDestinations[] = {{IDC_LOG_DEFAULT, kModeDefault},
                     {IDC_LOG_DO_NOT_LOG, kModeDoNotLog},
                     {IDC_LOG_TO_FILE, kModeFile},
                     {IDC_LOG_TO_HOST, kModeRemote}};
// What the page may not touch without the write right.
const int kWritableControls[] = {IDC_LOG_EMERGENCY, IDC_LOG_ALERT,   IDC_LOG_CRITICAL,
                                 IDC_LOG_ERROR,     IDC_LOG_WARNING, IDC_LOG_NOTICE,
                                 IDC_LOG_INFO,      IDC_LOG_DEBUG,   IDC_LOG_DEFAULT,
                                 IDC_LOG_TO_FILE,   IDC_LOG_TO_HOST, IDC_LOG_DO_NOT_LOG,
                                 IDC_LOG_PATH,      IDC_LOG_HOST};

// The page's state; one page at a time.
struct SyslogPageState {
  StrList read;      // owned: the values as read, the old values on apply
  int writable;      // the user may write the attribute
  int withOverride;  // a server: the override switch is shown, read and written
  int current;       // the facility the controls show
  int loading;       // controls being filled: their notifications are not the user's
};
SyslogPageState g_page;

void Enable(HWND page, int id, int on) { EnableWindow(GetDlgItem(page, id), on ? TRUE : FALSE); }

int Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

void ShowBoxes(HWND page, unsigned boxes) {
  for (int p = 0; p < kLevelCount; ++p)
    CheckDlgButton(page, kLevelBoxes[p], (boxes & (1u << p)) ? BST_CHECKED : BST_UNCHECKED);
}

unsigned BoxesShown(HWND page) {
  unsigned boxes = 0;
  for (int p = 0; p < kLevelCount; ++p)
    if (Checked(page, kLevelBoxes[p])) boxes |= 1u << p;
  return boxes;
}

// Exactly one destination button checked (none for mode 0). The buttons
// are plain radio buttons set here: the automatic kind walks its group's
// visible buttons only and would leave a hidden one checked. The fields
// follow the mode when the page may write.
void ShowMode(HWND page, int mode) {
  for (const auto& d : kDestinations)
    CheckDlgButton(page, d.id, d.mode == mode ? BST_CHECKED : BST_UNCHECKED);
  if (g_page.writable) {
    Enable(page, IDC_LOG_PATH, mode == kModeFile);
    Enable(page, IDC_LOG_HOST, mode == kModeRemote);
  }
}

int ModeShown(HWND page) {
  if (Checked(page, IDC_LOG_TO_HOST)) return kModeRemote;
  if (Checked(page, IDC_LOG_TO_FILE)) return kModeFile;
  if (Checked(page, IDC_LOG_DO_NOT_LOG)) return kModeDoNotLog;
  return kModeDefault;
}

void ShowFacility(HWND page, int index, int noneAsDoNotLog) {
  const FacilityRecord& r = g_facilities[index];
  int wasLoading = g_page.loading;
  g_page.loading = 1;
  ShowBoxes(page, BoxesForLevel(r.level));
  ShowMode(page, r.mode == kModeNone && noneAsDoNotLog ? kModeDoNotLog : r.mode);
  SetDlgItemTextA(page, IDC_LOG_HOST, r.host);
  SetDlgItemTextA(page, IDC_LOG_PATH, r.path);
  g_page.loading = wasLoading;
}

// A field whose text is longer than its record holds (text put there past
// the typing limit): refused with a word and the focus on it, never cut.
int FieldFits(HWND page, int id, int chars, int textId) {
  if (GetWindowTextLengthA(GetDlgItem(page, id)) <= chars) return 1;
  char text[160];
  // A language library that lacks the text: the library's own says it.
  if (LoadStringA(ResourceModule(), static_cast<UINT>(textId), text, sizeof text) <= 0 &&
      LoadStringA(g_snapin.instance, static_cast<UINT>(textId), text, sizeof text) <= 0)
    text[0] = '\0';
  MessageBoxA(page, text, kSyslogPageTitle, MB_OK | MB_ICONERROR);
  SetFocus(GetDlgItem(page, id));
  return 0;
}

// The controls into the shown facility's record: host and path as typed.
// 0, with the record untouched, when a field holds more than its record.
int StoreFacility(HWND page, int index) {
  if (!FieldFits(page, IDC_LOG_HOST, kFacilityHostChars, IDS_LOG_HOST_TOO_LONG) ||
      !FieldFits(page, IDC_LOG_PATH, kFacilityPathChars, IDS_LOG_PATH_TOO_LONG))
    return 0;
  FacilityRecord& r = g_facilities[index];
  r.mode = ModeShown(page);
  r.level = LevelOfBoxes(BoxesShown(page));
  GetDlgItemTextA(page, IDC_LOG_HOST, r.host, sizeof r.host);
  GetDlgItemTextA(page, IDC_LOG_PATH, r.path, sizeof r.path);
  return 1;
}

void ReadValues() {
  StrListFree(&g_page.read);
  DSReadValues(&g_page.read, g_snapin.pageContainer, g_snapin.currentObject, kSyslogAttribute);
}

INT_PTR OnInit(HWND page) {
  g_page.loading = 1;
  ClearFacilityRecords();
  StrListFree(&g_page.read);
  g_page.withOverride = !SameText(g_snapin.currentObject, kGlobalSyslogObject);
  if (!g_page.withOverride) {
    ShowWindow(GetDlgItem(page, IDC_LOG_OVERRIDE), SW_HIDE);
    ShowWindow(GetDlgItem(page, IDC_LOG_OVERRIDE_GROUP), SW_HIDE);
  }
  BeginPage(page);
  g_page.writable = DSCanWrite(g_snapin.pageContainer, g_snapin.currentObject, kSyslogAttribute);
  if (!g_page.writable) {
    for (int id : kWritableControls) Enable(page, id, 0);
    if (g_page.withOverride) Enable(page, IDC_LOG_OVERRIDE, 0);
  }
  SendDlgItemMessageA(page, IDC_LOG_PATH, EM_LIMITTEXT, kFacilityPathChars, 0);
  SendDlgItemMessageA(page, IDC_LOG_HOST, EM_LIMITTEXT, kFacilityHostChars, 0);
  for (const char* name : kFacilityNames)
    SendDlgItemMessageA(page, IDC_LOG_FACILITY, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  SendDlgItemMessageA(page, IDC_LOG_FACILITY, CB_SETCURSEL, kMailFacility, 0);
  g_page.current = kMailFacility;

  ReadValues();
  if (g_page.read.count == 0) {
    ShowBoxes(page, BoxesForLevel(0));
    ShowMode(page, kModeDoNotLog);
    Enable(page, IDC_LOG_PATH, 0);
    Enable(page, IDC_LOG_HOST, 0);
    g_page.loading = 0;
    return TRUE;
  }
  for (int32_t i = 0; i < g_page.read.count; ++i) {
    const char* value = g_page.read.items[i];
    if (!value) continue;
    if (g_page.withOverride && IsOverrideValue(value)) {
      CheckDlgButton(page, IDC_LOG_OVERRIDE, OverrideIsOn(value) ? BST_CHECKED : BST_UNCHECKED);
      continue;
    }
    int index = -1;
    FacilityRecord record;
    if (ParseFacilityValue(value, &index, &record) && index >= 0 && index < kFacilityCount)
      g_facilities[index] = record;
  }
  ShowFacility(page, g_page.current, 0);
  g_page.loading = 0;
  return TRUE;
}

void OnFacilityChange(HWND page) {
  LRESULT selected = SendDlgItemMessageA(page, IDC_LOG_FACILITY, CB_GETCURSEL, 0, 0);
  if (selected < 0 || selected >= kFacilityCount) return;
  if (g_page.writable && !StoreFacility(page, g_page.current)) {
    SendDlgItemMessageA(page, IDC_LOG_FACILITY, CB_SETCURSEL, g_page.current, 0);
    return;
  }
  g_page.current = static_cast<int>(selected);
  ShowFacility(page, g_page.current, 1);
}

int LevelOfBox(int id) {
  for (int p = 0; p < kLevelCount; ++p)
    if (kLevelBoxes[p] == id) return p;
  return -1;
}

INT_PTR OnCommand(HWND page, int id, int code) {
  if (g_page.loading) return FALSE;
  int level = LevelOfBox(id);
  if (level >= 0 && code == BN_CLICKED) {
    ShowBoxes(page, BoxesAfterClick(BoxesShown(page), level));
    MarkPageChanged(page);
    return TRUE;
  }
  switch (id) {
    case IDC_LOG_DEFAULT:
    case IDC_LOG_DO_NOT_LOG:
    case IDC_LOG_TO_FILE:
    case IDC_LOG_TO_HOST:
      if (code != BN_CLICKED || !g_page.writable) break;
      for (const auto& d : kDestinations)
        if (d.id == id) ShowMode(page, d.mode);
      MarkPageChanged(page);
      return TRUE;
    case IDC_LOG_PATH:
    case IDC_LOG_HOST:
      if (code == EN_UPDATE) MarkPageChanged(page);
      return TRUE;
    case IDC_LOG_OVERRIDE:
      if (code == BN_CLICKED && g_page.writable) MarkPageChanged(page);
      return TRUE;
    case IDC_LOG_FACILITY:
      if (code == CBN_SELCHANGE) OnFacilityChange(page);
      return TRUE;
  }
  return FALSE;
}

INT_PTR OnApply(HWND page) {
  if (!g_page.writable) return 1;
  if (!StoreFacility(page, g_page.current)) return 0;
  StrList wanted = {};  // owned here: freed below
  for (int i = 0; i < kFacilityCount; ++i) {
    char value[kFacilityValueChars + 1];
    if (FormatFacilityValue(i, &g_facilities[i], value, sizeof value)) StrListAdd(&wanted, value);
  }
  if (g_page.withOverride)
    StrListAdd(&wanted, Checked(page, IDC_LOG_OVERRIDE) ? kOverrideOn : kOverrideOff);
  int r = DSReplaceValues(&g_page.read, &wanted, g_snapin.pageContainer, g_snapin.currentObject,
                          kSyslogAttribute, kSyntaxCIString);
  StrListFree(&wanted);
  // A later apply (a retry, or OK after Apply) compares with what is stored
  // now, not with what the page found when it opened.
  ReadValues();
  if (r != 0) {
    MessageBoxA(page, DSErrorText(r), kSyslogErrorCaption, MB_OK | MB_ICONERROR);
    SetFocus(GetDlgItem(page, IDC_LOG_FACILITY));
    return 0;
  }
  return 1;
}

}  // namespace

extern "C" INT_PTR CALLBACK SyslogConfigDlgProc(HWND page, UINT message, WPARAM wParam,
                                                LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(page);
    case WM_COMMAND: return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
    case QZX_PAGE_APPLY: return OnApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, HELP_LOG_CONFIG);
    case WM_CLOSE: StrListFree(&g_page.read); return TRUE;
  }
  return FALSE;
}
