// The alias agent's own pages: "AliasConfig" (automatic aliases from user
// objects and the rebuild interval) and "AliasLocalAlias", which shows the
// agent's own aliases or, with the second procedure, the global aliases of
// ".Internet Services".
#include <string.h>

#include "agent_codecs.h"
#include "agent_pages.h"
#include "agents_filter_ids.h"
#include "filter_procs.h"
#include "filter_values.h"
#include "frame.h"
#include "tarq_ids.h"

namespace {

const char kModule[] = "ALIASAGT.QMD";
const char kInterval[] = "Quorvel:Time Interval";
const char kOptions[] = "Quorvel:Alias Options";
const char kAlias[] = "Quorvel:Alias";
const char kServices[] = ".Internet Services";
enum { kHelpConfig = 13, kHelpLocal = 14, kHelpGlobal = 15 };
enum { kIntervalChars = 8192 };

void EnableItem(HWND page, int id, int on) { EnableWindow(GetDlgItem(page, id), on ? TRUE : FALSE); }
void NotifyChanged() { NotifyConfigChange(g_snapin.currentObject, kModule, kNoticeChanged); }

// ---- "AliasConfig" ------------------------------------------------------------------

struct Bit {
  uint32_t bit;
  int id;
};
const Bit kBits[] = {
    {kAliasAutomatic, IDC_ALC_AUTOMATIC},
    {kAliasFirstUnderscoreLast, IDC_ALC_FIRST_UNDERSCORE_LAST},
    {kAliasInitialLast, IDC_ALC_INITIAL_LAST},
    {kAliasFirstDotLast, IDC_ALC_FIRST_DOT_LAST},
    {kAliasFullDots, IDC_ALC_FULL_DOTS},
    {kAliasFullUnderscores, IDC_ALC_FULL_UNDERSCORES},
};
// The name forms, usable only with automatic creation on.
const int kFormIds[] = {IDC_ALC_FIRST_UNDERSCORE_LAST, IDC_ALC_INITIAL_LAST,
                        IDC_ALC_FIRST_DOT_LAST, IDC_ALC_FULL_DOTS, IDC_ALC_FULL_UNDERSCORES};
const int kIntervalIds[] = {IDC_ALC_INTERVAL, IDC_ALC_EVERY, IDC_ALC_DAYS};
enum { kFormCount = 5 };

struct ConfigPage {
  StrList interval, options;  // as last read; freed on close
  int intervalWritable, optionsWritable;
  int optionsTouched;  // a box was clicked: the options are written from the boxes
  int loading;
};
ConfigPage g_config;

void ConfigFree() {
  StrListFree(&g_config.interval);
  StrListFree(&g_config.options);
}

// The name forms follow the automatic box, and a page that may not write
// the options offers none of them.
void EnableForms(HWND page) {
  EnableIds(page, kFormIds, kFormCount,
            g_config.optionsWritable && Checked(page, IDC_ALC_AUTOMATIC));
}

INT_PTR ConfigInit(HWND page) {
  ConfigFree();
  g_config.loading = 1;
  g_config.optionsTouched = 0;
  BeginPage(page);
  g_config.intervalWritable = CanWriteAgent(kInterval);
  g_config.optionsWritable = CanWriteAgent(kOptions);
  ReadAgentValues(&g_config.interval, kInterval);
  LimitText(page, IDC_ALC_INTERVAL, kIntervalChars);
  SetDlgItemTextA(page, IDC_ALC_INTERVAL,
                  g_config.interval.count > 0 ? FirstOfList(&g_config.interval) : "1");
  ReadAgentValues(&g_config.options, kOptions);
  uint32_t bits = ParseBits(FirstOfList(&g_config.options));
  for (const Bit& b : kBits) SetChecked(page, b.id, bits & b.bit);
  EnableForms(page);
  // Controls of what the user may not write are shown but cannot change.
  if (!g_config.intervalWritable) EnableIds(page, kIntervalIds, 3, 0);
  if (!g_config.optionsWritable) EnableItem(page, IDC_ALC_AUTOMATIC, 0);
  g_config.loading = 0;
  return TRUE;
}

void ConfigCommand(HWND page, int id, int code) {
  if (g_config.loading) return;
  for (const Bit& b : kBits) {
    if (id != b.id) continue;
    EnableForms(page);
    g_config.optionsTouched = 1;
    MarkPageChanged(page);
    return;
  }
  if (id == IDC_ALC_INTERVAL && code == EN_CHANGE) MarkPageChanged(page);
}

INT_PTR ConfigApply(HWND page) {
  if (g_config.intervalWritable) {
    char text[kIntervalChars + 1];
    DialogText(page, IDC_ALC_INTERVAL, text, sizeof text);
    int r = WriteAgentText(&g_config.interval, kInterval, text, kSyntaxCIString);
    if (r != 0) {
      ShowErrorAt(page, r, IDC_ALC_INTERVAL);
      return 0;
    }
  }
  const char* stored = FirstOfList(&g_config.options);
  // A stored value that is no number stays until the user changes a box.
  if (g_config.optionsWritable && (g_config.optionsTouched || !*stored || IsDecimalNumber(stored))) {
    uint32_t shown = 0;
    for (const Bit& b : kBits)
      if (Checked(page, b.id)) shown |= b.bit;
    char text[16];
    FormatBits(MergeAliasOptions(ParseBits(stored), shown), text, sizeof text);
    int r = WriteAgentText(&g_config.options, kOptions, text, kSyntaxCIString);
    if (r != 0) {
      ShowErrorAt(page, r, IDC_ALC_AUTOMATIC);
      return 0;
    }
    g_config.optionsTouched = 0;
  }
  NotifyChanged();
  return 1;
}

// ---- "AliasLocalAlias" ----------------------------------------------------------------

// What distinguishes the two alias-list pages.
struct AliasScope {
  int global;
  int helpId;
};
const AliasScope kLocal = {0, kHelpLocal};
const AliasScope kGlobal = {1, kHelpGlobal};

const int kListIds[] = {IDC_FLT_LABEL, IDC_FLT_ADD,    IDC_FLT_REMOVE, IDC_FLT_LIST,
                        IDC_FLT_IMPORT, IDC_FLT_ENTRY, IDC_ALL_TARGET};

// One instance of each page at a time; the two keep separate state.
struct AliasPage {
  StrList aliases;  // as last read; freed on close
  int writable;
  int loading;
};
AliasPage g_local, g_global;

AliasPage& StateOf(const AliasScope& scope) { return scope.global ? g_global : g_local; }

void AliasFree(const AliasScope& scope) { StrListFree(&StateOf(scope).aliases); }

void ReadAliases(const AliasScope& scope) {
  AliasPage& state = StateOf(scope);
  if (!scope.global) {
    ReadAgentValues(&state.aliases, kAlias);
    return;
  }
  StrListFree(&state.aliases);
  DSReadValues(&state.aliases, "[Root]", kServices, kAlias);
}

INT_PTR AliasInit(HWND page, const AliasScope& scope) {
  AliasPage& state = StateOf(scope);
  AliasFree(scope);
  state.loading = 1;
  BeginPage(page);
  state.writable = CanWriteAgent(kAlias);
  if (scope.global) {
    SetDlgItemTextA(page, kObjectNameControl, kServices);
    char label[64];
    SetDlgItemTextA(page, IDC_FLT_LABEL, LoadResourceText(IDS_GLOBAL_ALIASES_LABEL, label, sizeof label));
    // The values written are those of ".Internet Services": the user must
    // be able to write them there too, not only on the agent.
    state.writable = state.writable && DSCanWrite("[Root]", kServices, kAlias);
  }
  if (!state.writable) EnableIds(page, kListIds, sizeof kListIds / sizeof kListIds[0], 0);
  EnableItem(page, IDC_FLT_ADD, 0);
  EnableItem(page, IDC_FLT_REMOVE, 0);
  LimitText(page, IDC_FLT_ENTRY, kListEntryChars);
  LimitText(page, IDC_ALL_TARGET, kListEntryChars);
  ReadAliases(scope);
  FillListBox(page, IDC_FLT_LIST, &state.aliases);
  state.loading = 0;
  return TRUE;
}

// The typed alias as an entry; 0 when it cannot be added (a field empty, a
// blank in a local alias's name, or longer than an entry may be).
int TypedAlias(HWND page, const AliasScope& scope, char* entry, size_t capacity) {
  char name[kListEntryChars + 1], target[kListEntryChars + 1];
  DialogText(page, IDC_FLT_ENTRY, name, sizeof name);
  DialogText(page, IDC_ALL_TARGET, target, sizeof target);
  if (!scope.global && HasWhiteSpace(name)) return 0;
  return FormatAlias(name, target, entry, capacity);
}

void UpdateAdd(HWND page, const AliasScope& scope) {
  char entry[kListEntryChars + 1];
  EnableItem(page, IDC_FLT_ADD,
             StateOf(scope).writable && TypedAlias(page, scope, entry, sizeof entry));
}

void AddAlias(HWND page, const AliasScope& scope) {
  char entry[kListEntryChars + 1];
  if (!TypedAlias(page, scope, entry, sizeof entry)) return;
  SendDlgItemMessageA(page, IDC_FLT_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
  MarkPageChanged(page);
  SetDlgItemTextA(page, IDC_FLT_ENTRY, "");
  SetDlgItemTextA(page, IDC_ALL_TARGET, "");
  EnableItem(page, IDC_FLT_ADD, 0);
  FocusItem(page, IDC_FLT_ENTRY);
}

void AliasCommand(HWND page, const AliasScope& scope, int id, int code) {
  AliasPage& state = StateOf(scope);
  if (state.loading) return;
  switch (id) {
    case IDC_FLT_ENTRY:
    case IDC_ALL_TARGET:
      if (code == EN_UPDATE) UpdateAdd(page, scope);
      break;
    case IDC_FLT_ADD:
      if (code == BN_CLICKED) AddAlias(page, scope);
      break;
    case IDC_FLT_LIST:
      if (code == LBN_SELCHANGE || code == LBN_SELCANCEL)
        EnableItem(page, IDC_FLT_REMOVE,
                   state.writable && SelectedEntryCount(page, IDC_FLT_LIST) > 0);
      break;
    case IDC_FLT_REMOVE:
      if (code != BN_CLICKED) break;
      RemoveSelectedEntries(page, IDC_FLT_LIST);
      MarkPageChanged(page);
      EnableItem(page, IDC_FLT_REMOVE, 0);
      FocusItem(page, IDC_FLT_LIST);
      break;
    case IDC_FLT_IMPORT:
      if (code == BN_CLICKED) ImportWithDialog(page, IDC_FLT_LIST, IDS_SELECT_ALIAS_FILE, 1);
      break;
  }
}

INT_PTR AliasApply(HWND page, const AliasScope& scope) {
  AliasPage& state = StateOf(scope);
  if (!state.writable) return 1;
  StrList entries = {}, wanted = {};  // freed below
  ListBoxValues(page, IDC_FLT_LIST, &entries);
  DistinctValues(&entries, &wanted);
  int r;
  if (!scope.global) {
    r = WriteAgentList(&state.aliases, kAlias, &wanted, kSyntaxCIString);
  } else {
    // DSReplaceValues consumes the new list; the old one is read again after.
    r = DSReplaceValues(&state.aliases, &wanted, nullptr, kServices, kAlias, kSyntaxCIString);
    if (r == 0) ReadAliases(scope);
  }
  StrListFree(&entries);
  StrListFree(&wanted);
  if (r != 0) {
    ShowErrorAt(page, r, IDC_FLT_LIST);
    return 0;
  }
  NotifyChanged();
  return 1;
}

INT_PTR AliasProc(const AliasScope& scope, HWND page, UINT message, WPARAM wParam) {
  switch (message) {
    case WM_INITDIALOG: return AliasInit(page, scope);
    case WM_COMMAND: AliasCommand(page, scope, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case QZX_PAGE_APPLY: return AliasApply(page, scope);
    case QZX_PAGE_HELP: return ShowPageHelp(page, scope.helpId);
    case WM_CLOSE: AliasFree(scope); return FALSE;
  }
  return FALSE;
}

}  // namespace

extern "C" INT_PTR CALLBACK AliasConfigDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return ConfigInit(page);
    case WM_COMMAND: ConfigCommand(page, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case QZX_PAGE_APPLY: return ConfigApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpConfig);
    case WM_CLOSE: ConfigFree(); return FALSE;
  }
  return FALSE;
}

extern "C" INT_PTR CALLBACK AliasLocalAliasDlgProc(HWND page, UINT message, WPARAM wParam,
                                                   LPARAM) {
  return AliasProc(kLocal, page, message, wParam);
}

extern "C" INT_PTR CALLBACK AliasGlobalAliasDlgProc(HWND page, UINT message, WPARAM wParam,
                                                    LPARAM) {
  return AliasProc(kGlobal, page, message, wParam);
}
