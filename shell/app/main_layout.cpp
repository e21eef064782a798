#include "main_layout.h"

#include "settings.h"

void StatusPartEdges(int clientWidth, int edges[kStatusParts]) {
  if (clientWidth < 0) clientWidth = 0;
  edges[0] = kStatusFirstEdge;
  edges[1] = clientWidth / 2 + kStatusMiddleOffset;
  edges[2] = -1;
}

MainPaneRects LayoutMainPanes(int width, int height, int percent, bool detailsShown) {
  MainPaneRects r = {};
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (!detailsShown) {
    SetRect(&r.tree, 0, 0, width, height);
    r.splitterX = width;
    return r;
  }
  if (percent < kMinDetailsSplit) percent = kMinDetailsSplit;
  if (percent > kWholeWidthPercent) percent = kWholeWidthPercent;
  int tree = static_cast<int>(static_cast<long long>(width) * percent / 100);
  int detailsLeft = tree + kSplitterWidth;
  if (detailsLeft > width) detailsLeft = width;
  SetRect(&r.tree, 0, 0, tree, height);
  SetRect(&r.details, detailsLeft, 0, width, height);
  r.splitterX = tree;
  return r;
}

bool OnSplitterBand(int x, int splitterX) { return x >= splitterX && x < splitterX + kSplitterWidth; }

int ClampSplitterX(int x, int width) {
  int low = width / 10, high = width - width / 10;
  if (x < low) return low;
  if (x > high) return high;
  return x;
}

int DetailsPercentAt(int x, int width) {
  if (width <= 0) return kMinDetailsSplit;
  x = ClampSplitterX(x, width);
  int percent = static_cast<int>(static_cast<long long>(x) * 100 / width);
  return percent < kMinDetailsSplit ? kMinDetailsSplit : percent;
}
