#include "tree_geometry.h"

#include "treeview.h"

int ClampSizeFactor(int sizeFactor) {
  if (sizeFactor < 1) return 1;
  if (sizeFactor > 3) return 3;
  return sizeFactor;
}

RECT TreeImageCell(int image, int sizeFactor, int column, int rows, int width, int height) {
  if (image < 0) image = 0;
  sizeFactor = ClampSizeFactor(sizeFactor);
  RECT cell;
  cell.left = column * sizeFactor * width;
  switch (sizeFactor) {
    case 1: cell.top = image * height; break;
    // The larger grids follow the 1x grid (rows * height high) and the 2x grid
    // (rows * 2 * height high).
    case 2: cell.top = rows * height + image * height * 2; break;
    default: cell.top = height * (image + rows) * 3; break;
  }
  cell.right = cell.left + sizeFactor * width;
  cell.bottom = cell.top + sizeFactor * height;
  return cell;
}

RECT ListImageCell(int image, int columns, int width, int height) {
  if (image < 0) image = 0;
  if (columns < 1) columns = 1;
  RECT cell;
  cell.left = (image % columns) * width;
  cell.top = (image / columns) * height;
  cell.right = cell.left + width;
  cell.bottom = cell.top + height;
  return cell;
}

int TreeRowHeight(int sizeFactor, int imageHeight, int fontHeight) {
  int image = ClampSizeFactor(sizeFactor) * imageHeight;
  return image > fontHeight ? image : fontHeight;
}

int ListRowHeight(int imageHeight, int fontHeight) {
  return imageHeight < fontHeight ? fontHeight + 5 : imageHeight;
}

static RECT Box(int left, int top, int right, int bottom) {
  RECT r;
  r.left = left;
  r.top = top;
  r.right = right < left ? left : right;
  r.bottom = bottom < top ? top : bottom;
  return r;
}

PaneLayout LayoutPanes(int width, int height, int percent, DWORD options) {
  PaneLayout l = {};
  bool tree = (options & kTvTreePane) != 0;
  bool item = (options & kTvItemPane) != 0;
  if (!tree && !item) return l;
  if (!(tree && item)) {
    RECT whole = Box(1, 1, width - 1, height - 1);
    (tree ? l.tree : l.item) = whole;
    return l;
  }
  bool stacked = (options & kTvStacked) && !(options & kTvSideBySide);
  if (stacked) {
    int s = height * percent / 100;
    l.split = s;
    l.tree = Box(1, 1, width - 1, s - 3);
    l.item = Box(1, s + 3, width - 1, height - 1);
    l.band = Box(1, s - 2, width - 1, s + 2);
  } else {
    int s = width * percent / 100;
    l.split = s;
    l.tree = Box(1, 1, s - 3, height - 1);
    l.item = Box(s + 3, 1, width - 1, height - 1);
    l.band = Box(s - 2, 1, s + 2, height - 1);
  }
  return l;
}

int ClampSplitPointer(int pos, int extent) {
  int lo = extent / 10, hi = extent - extent / 10;
  if (pos < lo) return lo;
  if (pos > hi) return hi;
  return pos;
}

int SplitFromPointer(int pos, int extent, bool stacked) {
  if (extent <= 0) return -1;
  int p = ClampSplitPointer(pos, extent) * 100 / extent;
  if (!stacked && p < kMinSideSplit) p = kMinSideSplit;
  if (stacked && p > kMaxStackedSplit) p = kMaxStackedSplit;
  return p;
}

bool NearSplit(int pos, int split) {
  int d = pos - split;
  return d >= -kSplitterReach && d <= kSplitterReach;
}

int SaneSplitPercent(int percent) {
  return percent >= kMinSideSplit && percent <= kMaxStackedSplit ? percent : kDefaultSplit;
}

static unsigned char FoldCase(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  // Latin-1 capitals, except the multiplication sign.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  return c;
}

bool SameTextIgnoringCase(const char* a, const char* b) {
  if (!a || !b) return false;
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
  for (; *x && *y; ++x, ++y)
    if (FoldCase(*x) != FoldCase(*y)) return false;
  return *x == *y;
}
