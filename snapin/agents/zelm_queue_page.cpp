// "ZELMQueue", the store agent's parameters: store path, queue timeout and
// interval, free space, where undeliverable local mail goes, bounced-message
// control and the hours in which the remote queue rests.
#include <stdio.h>
#include <stdlib.h>

#include "agent_codecs.h"
#include "agent_pages.h"
#include "agent_procs.h"
#include "frame.h"
#include "tarq_ids.h"

namespace {

enum { kHelpQueue = 19 };
const char kModule[] = "STORAGNT.QMD";

// Write-right groups, each with the controls it switches off.
enum { kTimeout, kInterval, kStore, kMinSpace, kForward, kRts, kLimit, kGroupCount };

const int kTimeoutIds[] = {IDC_ZQ_TIMEOUT, IDC_ZQ_TIMEOUT_LABEL, IDC_ZQ_TIMEOUT_UNIT};
const int kIntervalIds[] = {IDC_ZQ_INTERVAL, IDC_ZQ_INTERVAL_LABEL, IDC_ZQ_INTERVAL_UNIT};
const int kStoreIds[] = {IDC_ZQ_PATH_LABEL, IDC_ZQ_PATH, IDC_ZQ_BROWSE_PATH};
const int kMinSpaceIds[] = {IDC_ZQ_MIN_SPACE_LABEL, IDC_ZQ_MIN_SPACE_UNIT, IDC_ZQ_MIN_SPACE};
const int kForwardIds[] = {IDC_ZQ_FORWARD};
const int kRtsIds[] = {IDC_ZQ_RTS_DELAY_LABEL, IDC_ZQ_RTS_THRESHOLD_LABEL, IDC_ZQ_RTS_ENABLED,
                       IDC_ZQ_RTS_DELAY, IDC_ZQ_RTS_THRESHOLD};
// The fields the "Enabled" box switches (all of the group but the box).
const int kRtsFieldIds[] = {IDC_ZQ_RTS_DELAY_LABEL, IDC_ZQ_RTS_THRESHOLD_LABEL, IDC_ZQ_RTS_DELAY,
                            IDC_ZQ_RTS_THRESHOLD};
const int kLimitIds[] = {IDC_ZQ_WEEKDAYS_LABEL,   IDC_ZQ_WEEKENDS_LABEL,    IDC_ZQ_BEG_WEEKDAY_LABEL,
                         IDC_ZQ_END_WEEKDAY_LABEL, IDC_ZQ_BEG_WEEKEND_LABEL, IDC_ZQ_END_WEEKEND_LABEL,
                         IDC_ZQ_LIMIT,            IDC_ZQ_BEG_WEEKDAY,       IDC_ZQ_END_WEEKDAY,
                         IDC_ZQ_BEG_WEEKEND,      IDC_ZQ_END_WEEKEND};
// The hours and their labels, which the "Do not process" box switches.
const int kHourIds[] = {IDC_ZQ_WEEKDAYS_LABEL,    IDC_ZQ_WEEKENDS_LABEL,    IDC_ZQ_BEG_WEEKDAY_LABEL,
                        IDC_ZQ_END_WEEKDAY_LABEL, IDC_ZQ_BEG_WEEKEND_LABEL, IDC_ZQ_END_WEEKEND_LABEL,
                        IDC_ZQ_BEG_WEEKDAY,       IDC_ZQ_END_WEEKDAY,       IDC_ZQ_BEG_WEEKEND,
                        IDC_ZQ_END_WEEKEND};

struct Group {
  const char* attribute;  // the one whose write right counts
  const int* ids;
  int count;
};
const Group kGroups[kGroupCount] = {
    {"Quorvel:Queue Timeout", kTimeoutIds, 3},
    {"Quorvel:Queue Interval", kIntervalIds, 3},
    {"Quorvel:Message Store", kStoreIds, 3},
    {"Quorvel:Minimum Free Space", kMinSpaceIds, 3},
    {"Quorvel:Forward Undeliverable", kForwardIds, 1},
    {"TARQ:RTS Antispam Config", kRtsIds, 5},
    {"Quorvel:Limit Remote Processing", kLimitIds, 11},
};

const char* const kTimeouts[] = {"2", "3", "4", "5", "6", "10", "14"};
const char* const kIntervals[] = {"15", "30", "45", "60", "90", "120"};

// The four hours, in the order they are written.
struct Hour {
  const char* attribute;
  int combo;
};
const Hour kHours[] = {
    {"Quorvel:Limit Remote Beg Weekday", IDC_ZQ_BEG_WEEKDAY},
    {"Quorvel:Limit Remote End Weekday", IDC_ZQ_END_WEEKDAY},
    {"Quorvel:Limit Remote Beg Weekend", IDC_ZQ_BEG_WEEKEND},
    {"Quorvel:Limit Remote End Weekend", IDC_ZQ_END_WEEKEND},
};

struct QueuePage {
  // Values as last read (the old values of the next write); freed when the
  // page closes.
  StrList values[kGroupCount];
  StrList hours[4];
  StrList hosts;  // the messaging server's "Quorvel:Host"
  int writable[kGroupCount];
  int loading;    // the fields are being filled: no change to report
};
QueuePage g_page;

void FreePage() {
  for (StrList& list : g_page.values) StrListFree(&list);
  for (StrList& list : g_page.hours) StrListFree(&list);
  StrListFree(&g_page.hosts);
}

// The messaging server: the agent's name after its first dot.
const char* ServerOf(const char* agent) {
  const char* dot = strchr(agent, '.');
  return dot ? dot + 1 : agent;
}

void ReadServerHosts() {
  const char* server = ServerOf(g_snapin.currentObject);
  char* container = GetParentContext(server);  // freed below
  DSReadValues(&g_page.hosts, container ? container : "[Root]", server, "Quorvel:Host");
  free(container);
}

void FillHours(HWND page) {
  HourFormat format = UserHourFormat();
  for (const Hour& hour : kHours) {
    HWND combo = GetDlgItem(page, hour.combo);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < kHoursPerDay; ++i) {
      char entry[kHourEntryChars];
      FormatHourEntry(format, i, entry, sizeof entry);
      SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    }
  }
}

void ShowRts(HWND page) {
  RtsConfig config = {};
  int matched = 0;
  if (g_page.values[kRts].count > 0) matched = ParseRtsConfig(FirstOfList(&g_page.values[kRts]), &config);
  // Fields the stored value does not hold stay empty.
  if (matched >= 2) SetDlgItemInt(page, IDC_ZQ_RTS_DELAY, config.delay, FALSE);
  if (matched >= 3) SetDlgItemInt(page, IDC_ZQ_RTS_THRESHOLD, config.threshold, FALSE);
  if (matched >= 1 && config.enabled) {
    SetChecked(page, IDC_ZQ_RTS_ENABLED, 1);
    return;
  }
  EnableIds(page, kRtsFieldIds, 4, 0);
}

INT_PTR OnInit(HWND page) {
  FreePage();
  g_page.loading = 1;
  BeginPage(page);
  for (int g = 0; g < kGroupCount; ++g) {
    g_page.writable[g] = CanWriteAgent(kGroups[g].attribute);
    if (!g_page.writable[g]) EnableIds(page, kGroups[g].ids, kGroups[g].count, 0);
    ReadAgentValues(&g_page.values[g], kGroups[g].attribute);
  }
  for (int h = 0; h < 4; ++h) ReadAgentValues(&g_page.hours[h], kHours[h].attribute);
  LimitText(page, IDC_ZQ_RTS_DELAY, 9);
  LimitText(page, IDC_ZQ_RTS_THRESHOLD, 9);
  FillCombo(page, IDC_ZQ_TIMEOUT, kTimeouts, 7);
  FillCombo(page, IDC_ZQ_INTERVAL, kIntervals, 6);
  FillHours(page);
  ReadServerHosts();

  SetDlgItemTextA(page, IDC_ZQ_PATH, FirstOfList(&g_page.values[kStore]));
  SelectComboText(page, IDC_ZQ_TIMEOUT, FirstOfList(&g_page.values[kTimeout]));
  SelectComboText(page, IDC_ZQ_INTERVAL, FirstOfList(&g_page.values[kInterval]));
  for (int h = 0; h < 4; ++h) {
    const char* stored = g_page.hours[h].count > 0 ? FirstOfList(&g_page.hours[h]) : nullptr;
    SendDlgItemMessageA(page, kHours[h].combo, CB_SETCURSEL,
                        static_cast<WPARAM>(StoredHourIndex(stored)), 0);
  }
  if (FirstOfList(&g_page.values[kLimit])[0] == '1') {
    SetChecked(page, IDC_ZQ_LIMIT, 1);
  } else {
    EnableIds(page, kHourIds, 10, 0);
  }
  SetDlgItemTextA(page, IDC_ZQ_MIN_SPACE, FirstOfList(&g_page.values[kMinSpace]));
  SetDlgItemTextA(page, IDC_ZQ_FORWARD, FirstOfList(&g_page.values[kForward]));
  ShowRts(page);
  g_page.loading = 0;
  return TRUE;
}

void OnCommand(HWND page, int id, int code) {
  if (g_page.loading) return;
  switch (id) {
    case IDC_ZQ_MIN_SPACE:
    case IDC_ZQ_PATH:
    case IDC_ZQ_FORWARD:
    case IDC_ZQ_RTS_DELAY:
    case IDC_ZQ_RTS_THRESHOLD:
      if (code == EN_UPDATE) MarkPageChanged(page);
      return;
    case IDC_ZQ_BEG_WEEKDAY:
    case IDC_ZQ_END_WEEKDAY:
    case IDC_ZQ_BEG_WEEKEND:
    case IDC_ZQ_END_WEEKEND:
    case IDC_ZQ_INTERVAL:
    case IDC_ZQ_TIMEOUT:
      if (code == CBN_SELCHANGE) MarkPageChanged(page);
      return;
    case IDC_ZQ_LIMIT:
      if (code != BN_CLICKED) return;
      EnableIds(page, kHourIds, 10, Checked(page, IDC_ZQ_LIMIT) && g_page.writable[kLimit]);
      MarkPageChanged(page);
      return;
    case IDC_ZQ_RTS_ENABLED:
      if (code != BN_CLICKED) return;
      EnableIds(page, kRtsFieldIds, 4, Checked(page, IDC_ZQ_RTS_ENABLED) && g_page.writable[kRts]);
      MarkPageChanged(page);
      return;
    case IDC_ZQ_BROWSE_PATH: {
      if (code != BN_CLICKED) return;
      char container[kBrowseChars + 1];
      HostContainer(FirstOfList(&g_page.hosts), container, sizeof container);
      BrowsePageFolder(page, IDC_ZQ_PATH, container, IDS_SELECT_STORE_PATH);
      return;
    }
  }
}

// Writes one field's text; on an error shows it and focuses focusId.
bool WriteField(HWND page, int group, const char* text, int syntax, int focusId) {
  int r = WriteAgentText(&g_page.values[group], kGroups[group].attribute, text, syntax);
  if (r == 0) return true;
  ShowErrorAt(page, r, focusId);
  return false;
}

bool ApplyStore(HWND page) {
  char path[kDSValueBytes], shortName[kBrowseChars + 1];
  DialogText(page, IDC_ZQ_PATH, path, sizeof path);
  // Without a host on record there is nothing to check the path against.
  if (g_page.hosts.count > 0) {
    HostShortName(FirstOfList(&g_page.hosts), shortName, sizeof shortName);
    if (!PathOnHost(path, shortName)) {
      RefuseWith(page, IDS_PATH_NOT_ON_SERVER, IDS_BAD_PATH, IDC_ZQ_PATH);
      return false;
    }
  }
  return WriteField(page, kStore, path, kSyntaxDistName, IDC_ZQ_PATH);
}

bool ApplyCombo(HWND page, int group, int combo) {
  char text[kDSValueBytes];
  ComboSelection(page, combo, text, sizeof text);
  return WriteField(page, group, text, kSyntaxCIString, combo);
}

bool ApplyEdit(HWND page, int group, int edit) {
  char text[kDSValueBytes];
  DialogText(page, edit, text, sizeof text);
  return WriteField(page, group, text, kSyntaxCIString, edit);
}

bool ApplyRts(HWND page) {
  char delay[32], threshold[32], text[96];
  RtsConfig config = {};
  config.enabled = Checked(page, IDC_ZQ_RTS_ENABLED);
  config.delay = FieldNumber(DialogText(page, IDC_ZQ_RTS_DELAY, delay, sizeof delay));
  config.threshold = FieldNumber(DialogText(page, IDC_ZQ_RTS_THRESHOLD, threshold, sizeof threshold));
  FormatRtsConfig(config, text, sizeof text);
  return WriteField(page, kRts, text, kSyntaxCIString, IDC_ZQ_RTS_ENABLED);
}

bool ApplyLimit(HWND page) {
  if (!WriteField(page, kLimit, Checked(page, IDC_ZQ_LIMIT) ? "1" : "0", kSyntaxCIString,
                  IDC_ZQ_LIMIT))
    return false;
  for (int h = 0; h < 4; ++h) {
    LRESULT index = SendDlgItemMessageA(page, kHours[h].combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) continue;  // a stored hour the list does not hold stays
    char text[16];
    snprintf(text, sizeof text, "%d", static_cast<int>(index));
    int r = WriteAgentText(&g_page.hours[h], kHours[h].attribute, text, kSyntaxCIString);
    if (r != 0) {
      ShowErrorAt(page, r, kHours[h].combo);
      return false;
    }
  }
  return true;
}

INT_PTR OnApply(HWND page) {
  const int* w = g_page.writable;
  if (w[kStore] && !ApplyStore(page)) return 0;
  if (w[kTimeout] && !ApplyCombo(page, kTimeout, IDC_ZQ_TIMEOUT)) return 0;
  if (w[kInterval] && !ApplyCombo(page, kInterval, IDC_ZQ_INTERVAL)) return 0;
  if (w[kMinSpace] && !ApplyEdit(page, kMinSpace, IDC_ZQ_MIN_SPACE)) return 0;
  if (w[kForward] && !ApplyEdit(page, kForward, IDC_ZQ_FORWARD)) return 0;
  if (w[kRts] && !ApplyRts(page)) return 0;
  if (w[kLimit] && !ApplyLimit(page)) return 0;
  bool any = false;
  for (int g = 0; g < kGroupCount; ++g) any = any || w[g];
  if (any) NotifyConfigChange(g_snapin.currentObject, kModule, kNoticeChanged);
  return 1;
}

}  // namespace

extern "C" INT_PTR CALLBACK ZELMQueueDlgProc(HWND page, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(page);
    case WM_COMMAND: OnCommand(page, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case QZX_PAGE_APPLY: return OnApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpQueue);
    case WM_CLOSE: FreePage(); return FALSE;
  }
  return FALSE;
}
