// Painting rows of both panes and the splitter band. Every object selected
// into a DC here is put back before the function returns, and every DC
// setting changed is restored, since the DC belongs to the list box.
#include <cstring>

#include "tree_geometry.h"
#include "tree_state.h"

namespace {

enum { kImageGap = 10 };  // from the button's x to the image

struct DcSettings {
  HDC dc;
  HGDIOBJ font;
  UINT align;
  COLORREF back, text;
  int mode;
};

DcSettings Prepare(HDC dc) {
  DcSettings saved;
  saved.dc = dc;
  // Selecting a font costs a lookup of the font and of the system's smoothing
  // settings even when it is the DC's already (the list boxes are given it).
  saved.font = GetCurrentObject(dc, OBJ_FONT);
  if (saved.font != g_tree.font) SelectObject(dc, g_tree.font);
  saved.align = SetTextAlign(dc, TA_BOTTOM | TA_LEFT | TA_NOUPDATECP);
  saved.back = SetBkColor(dc, g_tree.window);
  saved.text = SetTextColor(dc, g_tree.windowText);
  saved.mode = SetBkMode(dc, OPAQUE);
  return saved;
}

void Restore(const DcSettings& saved) {
  SetBkMode(saved.dc, saved.mode);
  SetTextColor(saved.dc, saved.text);
  SetBkColor(saved.dc, saved.back);
  SetTextAlign(saved.dc, saved.align);
  if (saved.font != g_tree.font) SelectObject(saved.dc, saved.font);
}

// The text's box: from x over its width, the font's height up from the row's
// bottom, inside the row.
RECT TextBox(HDC dc, const RECT& row, int x, const char* text) {
  SIZE size = {};
  GetTextExtentPoint32A(dc, text, static_cast<int>(strlen(text)), &size);
  RECT box;
  box.left = x;
  box.right = x + size.cx;
  box.bottom = row.bottom;
  box.top = row.bottom - g_tree.fontHeight;
  if (box.top < row.top) box.top = row.top;
  return box;
}

void PaintText(HDC dc, const RECT& row, int x, const char* text, bool selected) {
  SetBkColor(dc, selected ? g_tree.highlight : g_tree.window);
  SetTextColor(dc, selected ? g_tree.highlightText : g_tree.windowText);
  RECT box = TextBox(dc, row, x, text);
  RECT clip;
  IntersectRect(&clip, &box, &row);
  ExtTextOutA(dc, x, row.bottom, ETO_OPAQUE | ETO_CLIPPED, &clip, text,
              static_cast<UINT>(strlen(text)), nullptr);
}

void DrawFocus(HDC dc, const RECT& row, int x, const char* text) {
  RECT box = TextBox(dc, row, x, text);
  // DrawFocusRect inverts, so the pane's colours must be the ones it expects.
  SetBkColor(dc, g_tree.window);
  SetTextColor(dc, g_tree.windowText);
  DrawFocusRect(dc, &box);
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

// Lines of the ancestors' later siblings passing this row, then the item's
// own connector and expand button.
void DrawLines(TreeControlState* s, HDC dc, const RECT& r, TreeItem* item) {
  HGDIOBJ oldPen = SelectObject(dc, g_tree.linePen);
  int x = item->indent;
  for (TreeItem* a = item->parent; a; a = a->parent) {
    x = x - a->halfImageWidth - 3;
    if (a->nextSibling) Line(dc, r.left + x, r.top, r.left + x, r.bottom);
  }
  if (item != s->root) {
    int cx = r.left + item->indent;
    int cy = r.bottom - (r.bottom - r.top) / 2;
    if (item->firstChild) {
      item->button.x = cx - 5;
      item->button.y = cy - 5;
      Line(dc, cx + 10, cy, cx + 5, cy);
      Line(dc, cx, cy - 5, cx, r.top - 1);
      if (item->nextSibling) Line(dc, cx, cy + 5, cx, r.bottom);
      SelectObject(dc, g_tree.shadowPen);
      HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
      RoundRect(dc, cx - 5, cy - 5, cx + 6, cy + 6, 2, 2);
      SelectObject(dc, oldBrush);
      Line(dc, cx - 2, cy, cx + 3, cy);
      if (item->collapsed) Line(dc, cx, cy - 2, cx, cy + 3);
    } else {
      Line(dc, cx + 10, cy, cx, cy);
      LineTo(dc, cx, r.top - 1);
      if (item->nextSibling) LineTo(dc, cx, r.bottom);
    }
  }
  SelectObject(dc, oldPen);
}

// A memory DC with one bitmap selected, kept while a PaneImagesScope lives.
struct KeptImage {
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ former;  // what the DC held before the bitmap
};
KeptImage g_kept[2];  // the image, the mask
int g_keptScopes;

void ReleaseKept(KeptImage* k) {
  if (!k->dc) return;
  SelectObject(k->dc, k->former);
  DeleteDC(k->dc);
  *k = KeptImage{};
}

// The kept DC of slot `which` holding bitmap, or null when none could be
// made. A bitmap is selected into one DC at a time: the other slot lets go
// of it first.
HDC KeptDC(int which, HDC like, HBITMAP bitmap) {
  KeptImage* k = &g_kept[which];
  if (k->dc && k->bitmap == bitmap) return k->dc;
  ReleaseKept(k);
  if (g_kept[1 - which].bitmap == bitmap) ReleaseKept(&g_kept[1 - which]);
  HDC dc = CreateCompatibleDC(like);
  if (!dc) return nullptr;
  HGDIOBJ former = SelectObject(dc, bitmap);
  if (!former) {
    DeleteDC(dc);
    return nullptr;
  }
  *k = KeptImage{dc, bitmap, former};
  return dc;
}

}  // namespace

PaneImagesScope::PaneImagesScope() { ++g_keptScopes; }

PaneImagesScope::~PaneImagesScope() {
  if (--g_keptScopes > 0) return;
  ReleaseKept(&g_kept[0]);
  ReleaseKept(&g_kept[1]);
}

void DrawMasked(HDC dc, HBITMAP image, HBITMAP mask, RECT cell, RECT target, int options) {
  if (!image) return;
  if (options & kMaskWhole) {
    BITMAP bm = {};
    if (!GetObjectA(image, sizeof bm, &bm)) return;
    SetRect(&cell, 0, 0, bm.bmWidth, bm.bmHeight);
  }
  int sw = cell.right - cell.left, sh = cell.bottom - cell.top;
  int tw = target.right - target.left, th = target.bottom - target.top;
  if ((options & kMaskCentreX) && sw < tw) {
    target.left += (tw - sw) / 2;
    tw = sw;
  }
  if ((options & kMaskCentreY) && sh < th) {
    target.top += (th - sh) / 2;
    th = sh;
  }
  if (sw <= 0 || sh <= 0 || tw <= 0 || th <= 0) return;
  // Outside a pane's paint the DCs last for this drawing alone.
  PaneImagesScope images;
  HDC imageDC = KeptDC(0, dc, image);
  HDC maskDC = !mask || mask == image ? imageDC : KeptDC(1, dc, mask);
  if (!imageDC || !maskDC) return;
  if (!mask) {
    StretchBlt(dc, target.left, target.top, tw, th, imageDC, cell.left, cell.top, sw, sh, SRCCOPY);
    return;
  }
  // dst ^ image, then & mask (black clears where the image goes, white
  // keeps), then ^ image again: the background survives where the mask is
  // white and the image replaces it where the mask is black.
  StretchBlt(dc, target.left, target.top, tw, th, imageDC, cell.left, cell.top, sw, sh, SRCINVERT);
  COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
  COLORREF oldBack = SetBkColor(dc, RGB(255, 255, 255));
  StretchBlt(dc, target.left, target.top, tw, th, maskDC, cell.left, cell.top, sw, sh, SRCAND);
  SetTextColor(dc, oldText);
  SetBkColor(dc, oldBack);
  StretchBlt(dc, target.left, target.top, tw, th, imageDC, cell.left, cell.top, sw, sh, SRCINVERT);
}

void DrawTreeRow(TreeControlState* s, const DRAWITEMSTRUCT* d) {
  TreeItem* item = reinterpret_cast<TreeItem*>(d->itemData);
  if (static_cast<int>(d->itemID) < 0 || !item) return;
  HDC dc = d->hDC;
  const RECT& r = d->rcItem;
  bool selected = (d->itemState & ODS_SELECTED) != 0;
  bool focused = (d->itemState & ODS_FOCUS) != 0;
  int textX = r.left + item->indent + kImageGap + item->sizeFactor * s->treeImageWidth;
  DcSettings saved = Prepare(dc);
  if (d->itemAction & ODA_DRAWENTIRE) {
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    DrawLines(s, dc, r, item);
    RECT target;
    target.left = r.left + item->indent + kImageGap;
    target.right = target.left + item->sizeFactor * s->treeImageWidth;
    target.bottom = r.bottom;
    target.top = r.bottom - item->sizeFactor * s->treeImageHeight;
    DrawMasked(dc, s->treeBitmap, s->treeMask, item->imageCell, target, 0);
    PaintText(dc, r, textX, item->text, selected);
    if (focused) DrawFocus(dc, r, textX, item->text);
  } else if (d->itemAction & ODA_SELECT) {
    PaintText(dc, r, textX, item->text, selected);
    if (focused) DrawFocus(dc, r, textX, item->text);
  } else if (d->itemAction & ODA_FOCUS) {
    DrawFocus(dc, r, textX, item->text);
  }
  Restore(saved);
}

void DrawEntryRow(TreeControlState* s, const DRAWITEMSTRUCT* d) {
  ListItem* e = EntryAtRow(s, static_cast<int>(d->itemID));
  if (!e) return;
  HDC dc = d->hDC;
  const RECT& r = d->rcItem;
  bool selected = (d->itemState & ODS_SELECTED) != 0;
  bool focused = (d->itemState & ODS_FOCUS) != 0;
  int textX = r.left + s->itemImageWidth;
  DcSettings saved = Prepare(dc);
  if (d->itemAction & ODA_DRAWENTIRE) {
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    RECT target;
    target.left = r.left;
    target.right = r.left + s->itemImageWidth;
    target.bottom = r.bottom;
    target.top = r.bottom - s->itemImageHeight;
    DrawMasked(dc, s->itemBitmap, s->itemMask, e->imageCell, target, 0);
    PaintText(dc, r, textX, e->text, selected);
    if (focused) DrawFocus(dc, r, textX, e->text);
  } else if (d->itemAction & ODA_SELECT) {
    PaintText(dc, r, textX, e->text, selected);
    if (focused) DrawFocus(dc, r, textX, e->text);
  } else if (d->itemAction & ODA_FOCUS) {
    DrawFocus(dc, r, textX, e->text);
  }
  Restore(saved);
}

void PaintSplitBand(TreeControlState* s, HDC dc) {
  PaneLayout l = LayoutPanes(s->width, s->height, s->splitPercent, s->options);
  if (!IsRectEmpty(&l.band)) FillRect(dc, &l.band, g_tree.bandBrush);
}
