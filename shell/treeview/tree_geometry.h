// Geometry and text rules of the tree control that need no window: image
// cells, pane layout, splitter arithmetic, row heights, text comparison.
// Kept apart so tests can walk their boundaries in tables.
#pragma once

#include <windows.h>

// Image cell columns in the tree bitmap.
enum { kCellExpanded = 0, kCellCollapsed = 1, kCellLeaf = 2 };

enum {
  kSplitBand = 4,           // the bar between the panes
  kSplitterReach = 2,       // pointer distance from the split that grabs it
  kMinSideSplit = 5,        // side by side: percentage floor
  kMaxStackedSplit = 95,    // stacked: percentage ceiling
  kDefaultSplit = 50,
  kButtonWidth = 11,        // expand button, hit-tested from its left edge
  kExtentSlack = 20,        // added to a new item's right end for the scroll extent
};

// The size factor a caller asked for, kept to 1..3.
int ClampSizeFactor(int sizeFactor);

// The item's cell in the tree bitmap: `rows` image rows of width x height
// cells in three columns, then the same at twice and three times the size.
RECT TreeImageCell(int image, int sizeFactor, int column, int rows, int width, int height);
// The entry's cell in the item bitmap (`columns` images per bitmap row).
RECT ListImageCell(int image, int columns, int width, int height);

// Rows: a tree row is as high as its scaled image or the font, an entry row
// as its image, or font + 5 when the image is lower than the font.
int TreeRowHeight(int sizeFactor, int imageHeight, int fontHeight);
int ListRowHeight(int imageHeight, int fontHeight);

struct PaneLayout {
  RECT tree;   // empty when there is no tree pane
  RECT item;   // empty when there is no item pane
  RECT band;   // the splitter band, empty with one pane
  int split;   // s: the split's position along the split axis
};
// Places the panes of a width x height client for `options` (kTvTreePane,
// kTvItemPane, kTvStacked) and split percentage p. Sizes never go negative.
PaneLayout LayoutPanes(int width, int height, int percent, DWORD options);

// The percentage for a splitter dragged to `pos` along an axis of `extent`
// pixels: pos kept a tenth of the extent away from both edges; side by side
// at least kMinSideSplit, stacked at most kMaxStackedSplit. -1 when extent <= 0.
int SplitFromPointer(int pos, int extent, bool stacked);
// The pointer position a drag is drawn at (the clamped pos).
int ClampSplitPointer(int pos, int extent);
// Whether the pointer at pos grabs a split at s.
bool NearSplit(int pos, int split);
// A stored or given split percentage made usable.
int SaneSplitPercent(int percent);

// Equal texts when case is ignored (ASCII and the Latin-1 letters).
bool SameTextIgnoringCase(const char* a, const char* b);
