#include "settings.h"

#include <climits>
#include <cstdio>
#include <cstring>

const char kSettingsMain[] = "1.0";
const char kSettingsRecent[] = "1.0\\ZELM MRU";
const char kSettingsPositions[] = "1.0\\WindowPositions";

const char kValueViewFlags[] = "View Flags";
const char kValueAutoconnect[] = "Autoconnect";
const char kValueReadonly[] = "Readonly";
const char kValueMaxBodySize[] = "Max BodySize";
const char kValueTreeSplit[] = "TreeSplit Percent";
const char kValueDetailsSplit[] = "DetailsSplit Percent";
const char kValueLastConnected[] = "Last Connected";

const char kPositionMainWindow[] = "ZELM Shell Main Window";
const char kPositionSelectDialog[] = "ZELM Select Dialog";
const char kPositionPreferences[] = "Preferences Dialog";
const char kPositionRepairType[] = "Repair Type Dialog";
const char kPositionRepairProgress[] = "Repair Progress Dialog";

ShellPreferences g_shellPrefs;

namespace {

const unsigned long kKnownViewFlags = 7;

void KeyPath(const char* subkey, char* out, size_t capacity) {
  snprintf(out, capacity, "Software\\%s\\%s\\%s", "Quorvel", "ZELMShell", subkey);
}

enum QueryResult { kMissing, kFound, kTooLong };

// One hive. The value must be text; anything else counts as missing so the
// machine-wide preset still applies.
QueryResult QueryHive(HKEY hive, const char* path, const char* name, char* out, int capacity) {
  HKEY key;
  if (RegOpenKeyExA(hive, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return kMissing;
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(capacity);
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size);
  RegCloseKey(key);
  if (rc == ERROR_MORE_DATA) return kTooLong;
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
    out[0] = '\0';
    return kMissing;
  }
  // A value stored without its NUL that fills the whole area has no room left
  // for one: it does not fit either.
  if (size == 0) {
    out[0] = '\0';
  } else if (out[size - 1] != '\0') {
    if (size >= static_cast<DWORD>(capacity)) return kTooLong;
    out[size] = '\0';
  }
  return kFound;
}

// A split percentage: absent or 0 means the default.
int ParseSplit(const char* text, int low, int high) {
  int sign = 1;
  while (*text == ' ') ++text;
  if (*text == '-') {
    sign = -1;
    ++text;
  }
  unsigned long v = ParseUnsignedSetting(text);
  if (v == 0 || sign < 0) return kDefaultSplitPercent;
  if (v < static_cast<unsigned long>(low)) return low;
  if (v > static_cast<unsigned long>(high)) return high;
  return static_cast<int>(v);
}

}  // namespace

int ReadShellSetting(const char* subkey, const char* name, char* out, int capacity) {
  if (capacity <= 0) return 0;
  out[0] = '\0';
  char path[MAX_PATH];
  KeyPath(subkey, path, sizeof path);
  QueryResult r = QueryHive(HKEY_CURRENT_USER, path, name, out, capacity);
  if (r == kMissing) r = QueryHive(HKEY_LOCAL_MACHINE, path, name, out, capacity);
  if (r == kTooLong) {
    out[0] = '\0';
    return capacity - 1;
  }
  if (r == kMissing) out[0] = '\0';
  return static_cast<int>(strlen(out));
}

int WriteShellSetting(const char* subkey, const char* name, const char* text) {
  char path[MAX_PATH];
  KeyPath(subkey, path, sizeof path);
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return 1;
  if (text) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(strlen(text) + 1));
  } else {
    RegDeleteValueA(key, name);
  }
  RegCloseKey(key);
  return 1;
}

int WriteShellNumber(const char* subkey, const char* name, int value) {
  char text[16];
  snprintf(text, sizeof text, "%d", value);
  return WriteShellSetting(subkey, name, text);
}

bool IsOnText(const char* text) { return lstrcmpiA(text, "on") == 0; }

unsigned long ParseUnsignedSetting(const char* text) {
  while (*text == ' ' || *text == '\t') ++text;
  unsigned long v = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    unsigned long digit = static_cast<unsigned long>(*text - '0');
    if (v > (ULONG_MAX - digit) / 10) return ULONG_MAX;
    v = v * 10 + digit;
  }
  return v;
}

int ParseWindowPosition(const char* text, WindowPosition* out) {
  int fields[5] = {kUseDefaultPosition, kUseDefaultPosition, kUseDefaultPosition,
                   kUseDefaultPosition, 0};
  int n = sscanf(text, "%d,%d,%d,%d,%d", &fields[0], &fields[1], &fields[2], &fields[3],
                 &fields[4]);
  if (n < 0) n = 0;
  out->left = fields[0];
  out->top = fields[1];
  out->width = fields[2];
  out->height = fields[3];
  // The state is added to a window style: only the two placement bits may
  // pass, minimized winning as Windows itself would show it.
  unsigned long state = static_cast<unsigned long>(static_cast<unsigned>(fields[4]));
  out->state = (state & kPlacementMinimized)   ? kPlacementMinimized
               : (state & kPlacementMaximized) ? kPlacementMaximized
                                               : 0UL;
  return n;
}

void FormatWindowPosition(const WindowPosition& p, char* out, int capacity) {
  snprintf(out, static_cast<size_t>(capacity), "%d,%d,%d,%d,%d", p.left, p.top, p.width, p.height,
           static_cast<int>(p.state));
}

void SaveWindowPosition(HWND window, const char* name) {
  if (!IsWindow(window)) return;
  WINDOWPLACEMENT wp;
  wp.length = sizeof wp;
  if (!GetWindowPlacement(window, &wp)) return;
  WindowPosition p;
  p.left = wp.rcNormalPosition.left;
  p.top = wp.rcNormalPosition.top;
  p.width = wp.rcNormalPosition.right - wp.rcNormalPosition.left;
  p.height = wp.rcNormalPosition.bottom - wp.rcNormalPosition.top;
  // The style tells the state also of a hidden window; a minimized window
  // that was maximized before is stored as minimized.
  p.state = IsIconic(window) ? kPlacementMinimized : IsZoomed(window) ? kPlacementMaximized : 0UL;
  char text[kLongSettingCapacity];
  FormatWindowPosition(p, text, sizeof text);
  WriteShellSetting(kSettingsPositions, name, text);
}

int LoadWindowPosition(const char* name, WindowPosition* out) {
  char text[kLongSettingCapacity];
  out->left = out->top = out->width = out->height = kUseDefaultPosition;
  out->state = 0;
  if (ReadShellSetting(kSettingsPositions, name, text, sizeof text) == 0 || text[0] == '\0')
    return 0;
  ParseWindowPosition(text, out);
  return 1;
}

RECT FitOntoMonitors(int left, int top, int width, int height, const RECT* workAreas, int count) {
  // In 64 bits: a damaged value plus its size may pass the 32-bit range.
  long long l = left, t = top, w = width, h = height;
  RECT out = {left, top, static_cast<LONG>(l + w), static_cast<LONG>(t + h)};
  if (count <= 0) return out;
  long long r = l + w, b = t + h;
  int best = 0;
  long long bestOverlap = -1, bestDistance = -1;
  for (int i = 0; i < count; ++i) {
    const RECT& m = workAreas[i];
    long long ow = (r < m.right ? r : m.right) - (l > m.left ? l : m.left);
    long long oh = (b < m.bottom ? b : m.bottom) - (t > m.top ? t : m.top);
    long long overlap = ow > 0 && oh > 0 ? ow * oh : 0;
    long long dx = m.left > r ? m.left - r : l > m.right ? l - m.right : 0;
    long long dy = m.top > b ? m.top - b : t > m.bottom ? t - m.bottom : 0;
    // Steps along both axes: no square of a 33-bit distance to overflow.
    long long distance = dx + dy;
    if (overlap > bestOverlap || (overlap == 0 && bestOverlap == 0 && distance < bestDistance)) {
      best = i;
      bestOverlap = overlap;
      bestDistance = distance;
    }
  }
  const RECT& m = workAreas[best];
  long long mw = m.right - m.left, mh = m.bottom - m.top;
  if (w > mw) w = mw;
  if (h > mh) h = mh;
  if (l + w > m.right) l = m.right - w;
  if (l < m.left) l = m.left;
  if (t + h > m.bottom) t = m.bottom - h;
  if (t < m.top) t = m.top;
  out.left = static_cast<LONG>(l);
  out.top = static_cast<LONG>(t);
  out.right = static_cast<LONG>(l + w);
  out.bottom = static_cast<LONG>(t + h);
  return out;
}

WindowPosition PlaceOnMonitors(const WindowPosition& stored, const RECT* workAreas, int count) {
  WindowPosition p = stored;
  bool damaged = p.left == kUseDefaultPosition || p.top == kUseDefaultPosition ||
                 p.width == kUseDefaultPosition || p.height == kUseDefaultPosition ||
                 p.width <= 0 || p.height <= 0;
  if (damaged) {
    p.left = p.top = p.width = p.height = kUseDefaultPosition;
    return p;
  }
  RECT r = FitOntoMonitors(p.left, p.top, p.width, p.height, workAreas, count);
  p.left = r.left;
  p.top = r.top;
  p.width = r.right - r.left;
  p.height = r.bottom - r.top;
  return p;
}

namespace {

struct WorkAreas {
  RECT* out;
  int capacity, count;
};

BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM lp) {
  auto* a = reinterpret_cast<WorkAreas*>(lp);
  MONITORINFO info;
  info.cbSize = sizeof info;
  if (a->count < a->capacity && GetMonitorInfoA(monitor, &info)) a->out[a->count++] = info.rcWork;
  return a->count < a->capacity;
}

}  // namespace

int MonitorWorkAreas(RECT* out, int capacity) {
  WorkAreas a = {out, capacity, 0};
  EnumDisplayMonitors(nullptr, nullptr, AddWorkArea, reinterpret_cast<LPARAM>(&a));
  return a.count;
}

void MoveToStoredPosition(HWND dialog, const char* name) {
  WindowPosition p;
  if (!LoadWindowPosition(name, &p) || p.left == kUseDefaultPosition) return;
  int top = p.top == kUseDefaultPosition ? 0 : p.top;
  RECT now;
  GetWindowRect(dialog, &now);
  RECT areas[kMaxMonitors];
  int count = MonitorWorkAreas(areas, kMaxMonitors);
  RECT r = FitOntoMonitors(p.left, top, now.right - now.left, now.bottom - now.top, areas, count);
  SetWindowPos(dialog, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void LoadPreferences() {
  char text[kPreferenceCapacity];
  ShellPreferences& p = g_shellPrefs;

  p.viewFlags = 0;
  if (ReadShellSetting(kSettingsMain, kValueViewFlags, text, sizeof text) > 0 && text[0])
    p.viewFlags = ParseUnsignedSetting(text) & kKnownViewFlags;

  ReadShellSetting(kSettingsMain, kValueAutoconnect, text, sizeof text);
  p.autoconnect = IsOnText(text);
  ReadShellSetting(kSettingsMain, kValueReadonly, text, sizeof text);
  p.readonly = IsOnText(text);

  ReadShellSetting(kSettingsMain, kValueMaxBodySize, text, sizeof text);
  p.maxBodySize = ParseUnsignedSetting(text);
  if (p.maxBodySize == 0) p.maxBodySize = kDefaultMaxBodySize;

  ReadShellSetting(kSettingsMain, kValueTreeSplit, text, sizeof text);
  p.treeSplitPercent = ParseSplit(text, 1, 100);
  ReadShellSetting(kSettingsMain, kValueDetailsSplit, text, sizeof text);
  p.detailsSplitPercent = ParseSplit(text, kMinDetailsSplit, kMaxDetailsSplit);
  p.rememberedDetailsSplit = p.detailsSplitPercent;

  ReadShellSetting(kSettingsMain, kValueLastConnected, p.lastConnected, sizeof p.lastConnected);
}
