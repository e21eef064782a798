#include "host_icons.h"

#include <cstring>

#include "host_text.h"

namespace zelm::host {

namespace {

// One character a pixel; '.' is transparent.
const char* const kPictures[kBuiltinIconCount][kIconSize] = {
    {// root
     ".....kkkkkk.....", "...kkbbbbbbkk...", "..kbbnnbbbbbbk..", ".kbnnnnbbbnbbbk.",
     ".kbnnnnnbbnnbbk.", "kbbbnnnbbbnnnbbk", "kbbbbnbbbbnnnnbk", "kbbbbbbbbbbnnnbk",
     "kbbbbbnnbbbbnbbk", "kbbbbnnnnbbbbbbk", "kbbbbbnnnnbbbbbk", ".kbbbbbnnnbbbbk.",
     ".kbbbbbbnnbbbbk.", "..kbbbbbbbbbbk..", "...kkbbbbbbkk...", ".....kkkkkk....."},
    {// container
     "................", "................", ".kkkkk..........", "kyyyyyk.........",
     "kyyyyyykkkkkkkk.", "kYYYYYYYYYYYYYk.", "kyyyyyyyyyyyyyk.", "kyyyyyyyyyyyyyk.",
     "kyyyyyyyyyyyyyk.", "kyyyyyyyyyyyyyk.", "kyyyyyyyyyyyyyk.", "kyyyyyyyyyyyyyk.",
     "kyyyyyyyyyyyyyk.", "kkkkkkkkkkkkkkk.", "................", "................"},
    {// object
     "................", "..kkkkkkkkkk....", "..kwwwwwwwwkk...", "..kwwwwwwwwkwk..",
     "..kwgggggwwkkkk.", "..kwwwwwwwwwwwk.", "..kwgggggggggwk.", "..kwwwwwwwwwwwk.",
     "..kwgggggggggwk.", "..kwwwwwwwwwwwk.", "..kwgggggggggwk.", "..kwwwwwwwwwwwk.",
     "..kwgggggggwwwk.", "..kwwwwwwwwwwwk.", "..kkkkkkkkkkkkk.", "................"},
    {// user
     "................", "......kkkk......", ".....kssssk.....", "....kssssssk....",
     "....kssssssk....", "....kssssssk....", ".....kssssk.....", "......kkkk......",
     "....kkbbbbkk....", "...kbbbbbbbbk...", "..kbbbbbbbbbbk..", "..kbbbbbbbbbbk..",
     "..kbbbbbbbbbbk..", "..kbbbbbbbbbbk..", "..kkkkkkkkkkkk..", "................"},
    {// server
     "................", "....kkkkkkkk....", "....kggggggk....", "....kgwwwwgk....",
     "....kggggggk....", "....kgGGGGgk....", "....kggggggk....", "....kgGGGGgk....",
     "....kggggggk....", "....kggggggk....", "....kggggnrk....", "....kggggggk....",
     "....kggggggk....", "....kkkkkkkk....", "...kGGGGGGGGk...", "................"},
    {// volume
     "................", "................", "................", "................",
     "................", ".kkkkkkkkkkkkkk.", "kggggggggggggggk", "kgwwwwwwwwwwwwgk",
     "kggggggggggggggk", "kGGGGGGGGGGGnGGk", "kggggggggggggggk", ".kkkkkkkkkkkkkk.",
     "................", "................", "................", "................"},
    {// folder
     "................", "................", ".kkkkk..........", "kyyyyyk.........",
     "kyyyyyykkkkkkkk.", "kyyyyyyyyyyyyyk.", "kYYYYYYYYYYYYYk.", "kyyyyyyyyyyyyyk.",
     "kyyyyyyyyyyyyyk.", "kyyyyyyyyyyyyyk.", "kyyyyyyyyyyyyyk.", "kyyyyyyyyyyyyyk.",
     "kyyyyyyyyyyyyyk.", "kkkkkkkkkkkkkkk.", "................", "................"},
};

constexpr COLORREF kMaskColour = RGB(255, 0, 255);

COLORREF Colour(char c) {
  switch (c) {
    case 'k': return RGB(0, 0, 0);
    case 'y': return RGB(255, 224, 120);
    case 'Y': return RGB(200, 160, 40);
    case 'b': return RGB(70, 120, 210);
    case 'B': return RGB(20, 50, 130);
    case 'g': return RGB(192, 192, 192);
    case 'G': return RGB(110, 110, 110);
    case 'w': return RGB(255, 255, 255);
    case 's': return RGB(240, 200, 160);
    case 'r': return RGB(220, 40, 40);
    case 'n': return RGB(60, 170, 80);
    default: return kMaskColour;
  }
}

// A 16x16 32-bit DIB section; bits receives its pixels (bottom-up rows).
HBITMAP CreatePixels(void** bits) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = kIconSize;
  bi.bmiHeader.biHeight = kIconSize;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  return CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, bits, nullptr, 0);
}

}  // namespace

HIMAGELIST CreateHostImageList() {
  HIMAGELIST list = ImageList_Create(kIconSize, kIconSize, ILC_COLOR24 | ILC_MASK,
                                     kBuiltinIconCount, 16);
  if (!list) return nullptr;
  for (int i = 0; i < kBuiltinIconCount; ++i) {
    void* bits = nullptr;
    HBITMAP bmp = CreatePixels(&bits);
    if (!bmp) continue;
    DWORD* px = static_cast<DWORD*>(bits);
    for (int y = 0; y < kIconSize; ++y) {
      for (int x = 0; x < kIconSize; ++x) {
        COLORREF c = Colour(kPictures[i][y][x]);
        // DIB pixels are 0x00RRGGBB, rows from the bottom.
        px[(kIconSize - 1 - y) * kIconSize + x] =
            (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
      }
    }
    ImageList_AddMasked(list, bmp, kMaskColour);
    DeleteObject(bmp);
  }
  return list;
}

int BuiltinIconFor(const std::string& className, bool container) {
  if (className.empty() || SameText(className, kRootText)) return kIconRoot;
  if (SameText(className, "User")) return kIconUser;
  if (SameText(className, "HVX Server")) return kIconServer;
  return container ? kIconContainer : kIconObject;
}

int AddClassBitmap(HIMAGELIST list, HBITMAP bitmap) {
  BITMAP info;
  if (!list || !bitmap || GetObjectA(bitmap, sizeof info, &info) != sizeof info ||
      info.bmWidth <= 0 || info.bmHeight <= 0)
    return -1;
  void* bits = nullptr;
  HBITMAP scaled = CreatePixels(&bits);
  if (!scaled) return -1;
  HDC screen = GetDC(nullptr);
  HDC from = CreateCompatibleDC(screen);
  HDC to = CreateCompatibleDC(screen);
  HGDIOBJ oldFrom = SelectObject(from, bitmap);
  HGDIOBJ oldTo = SelectObject(to, scaled);
  SetStretchBltMode(to, COLORONCOLOR);
  StretchBlt(to, 0, 0, kIconSize, kIconSize, from, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
  COLORREF transparent = GetPixel(from, 0, 0);
  SelectObject(to, oldTo);
  SelectObject(from, oldFrom);
  DeleteDC(to);
  DeleteDC(from);
  ReleaseDC(nullptr, screen);
  int index = ImageList_AddMasked(list, scaled, transparent);
  DeleteObject(scaled);
  return index;
}

}  // namespace zelm::host
