// The store shell's settings: string values under a per-user registry key,
// read with a fallback to the same key of the machine-wide hive so that an
// administrator can preset them; written to the per-user hive only.
#pragma once

#include <windows.h>

// Subkeys below "Software\Quorvel\ZELMShell".
extern const char kSettingsMain[];       // "1.0"
extern const char kSettingsRecent[];     // "1.0\ZELM MRU"
extern const char kSettingsPositions[];  // "1.0\WindowPositions"

// Value names of the key "1.0".
extern const char kValueViewFlags[];
extern const char kValueAutoconnect[];
extern const char kValueReadonly[];
extern const char kValueMaxBodySize[];
extern const char kValueTreeSplit[];
extern const char kValueDetailsSplit[];
extern const char kValueLastConnected[];

// Window position value names (key "1.0\WindowPositions").
extern const char kPositionMainWindow[];
extern const char kPositionSelectDialog[];
extern const char kPositionPreferences[];
extern const char kPositionRepairType[];
extern const char kPositionRepairProgress[];

enum {
  kPreferenceCapacity = 128,  // preference values are read with this capacity
  kLongSettingCapacity = 256, // recent servers, "Last Connected", positions
  kHostTextSize = 256,        // a host text as typed: 255 characters and a NUL
  kRecentSlots = 20,
  kDefaultMaxBodySize = 4096,
  kDefaultSplitPercent = 50,
  kMinDetailsSplit = 10,      // the splitter keeps a tenth of the width on each side
  kMaxDetailsSplit = 90,
};

// The placement state word stored after the rectangle: the minimize and
// maximize bits of the window style.
constexpr unsigned long kPlacementMinimized = 0x20000000UL;
constexpr unsigned long kPlacementMaximized = 0x01000000UL;
// Left, top, width and height of a window that has no stored position.
constexpr int kUseDefaultPosition = static_cast<int>(0x80000000u);

// Reads a value into out (capacity bytes). Returns the length read; out is
// the empty text when the value is absent. A value that does not fit leaves
// out empty (so callers see it as absent) and returns capacity - 1.
int ReadShellSetting(const char* subkey, const char* name, char* out, int capacity);

// Sets the value in the per-user hive, creating the key; text null deletes
// the value. Failures are passed over; always 1.
int WriteShellSetting(const char* subkey, const char* name, const char* text);
// The same for a decimal number ("%d").
int WriteShellNumber(const char* subkey, const char* name, int value);

// A stored window position: the restored rectangle as left, top, width and
// height in screen coordinates, and kPlacementMinimized, kPlacementMaximized or 0.
struct WindowPosition {
  int left, top, width, height;
  unsigned long state;
};

// Pure codec of the stored text "%d,%d,%d,%d,%d". Parsing leaves every field
// it could not fill at kUseDefaultPosition (state 0) and keeps only the two
// placement bits of the state, so a damaged value cannot add foreign style
// bits to a window. Returns the number of fields scanned.
int ParseWindowPosition(const char* text, WindowPosition* out);
void FormatWindowPosition(const WindowPosition& p, char* out, int capacity);

// Pure rules that keep stored positions on screen, given the work areas of
// the monitors attached now (a monitor may have gone since, a value may be
// damaged). The rectangle left, top, width, height goes onto the work area
// it overlaps most, or the nearest one when it overlaps none: shrunk to it
// when larger, moved inside it. With no work area it stays as it is.
RECT FitOntoMonitors(int left, int top, int width, int height, const RECT* workAreas, int count);
// A stored main window position as it can be used: a position with a field
// that did not scan, or a width or height not above 0, becomes the system's
// default place (kUseDefaultPosition); any other is fitted as above. The
// state stays.
WindowPosition PlaceOnMonitors(const WindowPosition& stored, const RECT* workAreas, int count);
// The work areas of the monitors attached now, at most capacity; the count.
int MonitorWorkAreas(RECT* out, int capacity);
enum { kMaxMonitors = 16 };

// Stores the placement of a window that still exists.
void SaveWindowPosition(HWND window, const char* name);
// 1 when a position is stored; otherwise everything is kUseDefaultPosition and
// the state 0, and the result is 0.
int LoadWindowPosition(const char* name, WindowPosition* out);
// Moves a dialog to its stored top-left corner when one is stored, kept on
// a monitor that is attached now; the template keeps the size.
void MoveToStoredPosition(HWND dialog, const char* name);

// Preferences, loaded once at start-up and then owned by the main window,
// which changes them through its dialogs.
struct ShellPreferences {
  unsigned long viewFlags;         // 1 header, 2 body, 4 details
  bool autoconnect;
  bool readonly;
  unsigned long maxBodySize;       // largest body fetched whole, in bytes
  int treeSplitPercent;            // server tree against message list
  int detailsSplitPercent;         // tree control against the whole width
  int rememberedDetailsSplit;      // returned to when the details pane comes back
  char lastConnected[kHostTextSize];
};
extern ShellPreferences g_shellPrefs;

// Fills g_shellPrefs from the registry, with the defaults for what is absent.
void LoadPreferences();

// Pure value rules, apart for testing.
bool IsOnText(const char* text);              // "on" in any case
unsigned long ParseUnsignedSetting(const char* text);  // leading digits; saturates
