// Geometry of the main window, apart from the window code: the status bar's
// parts, where the tree control, the splitter and the details pane go, and
// what a splitter drag does with the pointer.
#pragma once

#include <windows.h>

enum {
  kSplitterWidth = 4,       // the band between the tree control and the details pane
  kStatusFirstEdge = 100,   // right edge of part 0 (the progress bar)
  kStatusMiddleOffset = 100,  // part 1 ends at half the width plus this
  kStatusParts = 3,
  kWholeWidthPercent = 100,
};

// Right edges of the status bar's three parts for a client width; the last
// one is -1 (the right end).
void StatusPartEdges(int clientWidth, int edges[kStatusParts]);

struct MainPaneRects {
  RECT tree;       // the tree control
  RECT details;    // the details pane (empty when hidden)
  int splitterX;   // the band starts here (= the tree control's width)
};
// Panes of the area width x height above the status bar; with the details
// pane shown the tree control gets width * percent / 100.
MainPaneRects LayoutMainPanes(int width, int height, int percent, bool detailsShown);

// The splitter band: the 4 pixels right of the split position.
bool OnSplitterBand(int x, int splitterX);
// A dragging pointer stays a tenth of the width away from either edge.
int ClampSplitterX(int x, int width);
// The details percentage for a pointer at x (clamped first): x * 100 / width,
// but at least 10.
int DetailsPercentAt(int x, int width);
