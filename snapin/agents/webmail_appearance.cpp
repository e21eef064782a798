// The web-mail agent's "WebMailAppearance" page: text colour, background
// colour and font face of the five elements of the agent's web pages, each
// shown on a sample.
#include <windows.h>
#include <commdlg.h>
#include <string.h>

#include "agent_pages.h"
#include "agents_web_ids.h"
#include "frame.h"
#include "tarq_ids.h"
#include "webmail_pages.h"
#include "webmail_values.h"

namespace {

const char kModule[] = "WEBAGENT.QMD";
const char kColor[] = "Quorvel:Color";
enum { kHelpAppearance = 35, kSampleHeight = -9 };

struct ElementControls {
  int sample, textButton, backButton, fontButton;
};
const ElementControls kControls[kColorElements] = {
    {IDC_WA_PAGE_SAMPLE, IDC_WA_PAGE_TEXT, IDC_WA_PAGE_BACK, IDC_WA_PAGE_FONT},
    {IDC_WA_BORDER_SAMPLE, IDC_WA_BORDER_TEXT, IDC_WA_BORDER_BACK, IDC_WA_BORDER_FONT},
    {IDC_WA_SECTION_SAMPLE, IDC_WA_SECTION_TEXT, IDC_WA_SECTION_BACK, IDC_WA_SECTION_FONT},
    {IDC_WA_FIELDNAME_SAMPLE, IDC_WA_FIELDNAME_TEXT, IDC_WA_FIELDNAME_BACK, IDC_WA_FIELDNAME_FONT},
    {IDC_WA_FIELDBODY_SAMPLE, IDC_WA_FIELDBODY_TEXT, IDC_WA_FIELDBODY_BACK, IDC_WA_FIELDBODY_FONT},
};
// What may not be touched without the right to write the colours.
const int kButtonIds[] = {IDC_WA_RESET,          IDC_WA_PAGE_TEXT,      IDC_WA_PAGE_BACK,
                          IDC_WA_PAGE_FONT,      IDC_WA_BORDER_TEXT,    IDC_WA_BORDER_BACK,
                          IDC_WA_BORDER_FONT,    IDC_WA_SECTION_TEXT,   IDC_WA_SECTION_BACK,
                          IDC_WA_SECTION_FONT,   IDC_WA_FIELDNAME_TEXT, IDC_WA_FIELDNAME_BACK,
                          IDC_WA_FIELDNAME_FONT, IDC_WA_FIELDBODY_TEXT, IDC_WA_FIELDBODY_BACK,
                          IDC_WA_FIELDBODY_FONT};

struct AppearancePage {
  ElementLook looks[kColorElements];
  // A stored value the page could not read (bad colour, face too long) is
  // written back as it was unless the user sets that element's colours.
  char kept[kColorElements][kDSValueBytes];
  HFONT fonts[kColorElements];  // owned; the samples use them until released
  HBRUSH brushes[kColorElements];  // owned: each sample's background
  StrList old;                  // "Quorvel:Color" as last read; freed on close
  int writable;
};
AppearancePage g_look;
COLORREF g_customColors[16];  // the colour dialog's custom colours, kept between uses

void ReleaseBrush(int element) {
  if (g_look.brushes[element]) DeleteObject(g_look.brushes[element]);
  g_look.brushes[element] = nullptr;
}

// A sample is filled with its background colour, not only behind the text.
void MakeBrush(int element) {
  ReleaseBrush(element);
  g_look.brushes[element] = CreateSolidBrush(g_look.looks[element].background);
}

void ReleaseFonts(HWND page) {
  for (int i = 0; i < kColorElements; ++i) {
    ReleaseBrush(i);
    if (!g_look.fonts[i]) continue;
    if (page) SendDlgItemMessageA(page, kControls[i].sample, WM_SETFONT, 0, FALSE);
    DeleteObject(g_look.fonts[i]);
    g_look.fonts[i] = nullptr;
  }
}

void LookClose(HWND page) {
  ReleaseFonts(page);
  StrListFree(&g_look.old);
}

void DefaultLooks() {
  for (int i = 0; i < kColorElements; ++i) {
    g_look.looks[i] = DefaultLook(i);
    g_look.kept[i][0] = '\0';
  }
}

// Makes the five sample fonts from the faces, puts them on the samples and
// the faces on the font buttons, and repaints.
void ShowLooks(HWND page) {
  ReleaseFonts(page);
  for (int i = 0; i < kColorElements; ++i) {
    LOGFONTA font = {};
    font.lfHeight = kSampleHeight;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfPitchAndFamily = VARIABLE_PITCH;
    CopyText(font.lfFaceName, sizeof font.lfFaceName, g_look.looks[i].face);
    g_look.fonts[i] = CreateFontIndirectA(&font);
    SendDlgItemMessageA(page, kControls[i].sample, WM_SETFONT,
                        reinterpret_cast<WPARAM>(g_look.fonts[i]), FALSE);
    SetDlgItemTextA(page, kControls[i].fontButton, g_look.looks[i].face);
    MakeBrush(i);
    InvalidateRect(GetDlgItem(page, kControls[i].sample), nullptr, TRUE);
  }
}

void LoadLooks() {
  DefaultLooks();
  for (int i = 0; i < g_look.old.count; ++i) {
    const char* value = g_look.old.items[i];
    int element = -1;
    ElementLook look = {};
    int ok = ParseColorValue(value, &element, &look);
    if (element < 0) continue;  // another kind of value: not this page's
    g_look.looks[element] = look;
    if (ok)
      g_look.kept[element][0] = '\0';
    else
      CopyText(g_look.kept[element], sizeof g_look.kept[element], value);
  }
}

INT_PTR LookInit(HWND page) {
  LookClose(page);
  BeginPage(page);
  g_look.writable = CanWriteAgent(kColor);
  if (!g_look.writable) EnableIds(page, kButtonIds, sizeof kButtonIds / sizeof kButtonIds[0], 0);
  ReadAgentValues(&g_look.old, kColor);
  LoadLooks();
  ShowLooks(page);
  return TRUE;
}

int ElementOfSample(int id) {
  for (int i = 0; i < kColorElements; ++i)
    if (kControls[i].sample == id) return i;
  return -1;
}

INT_PTR SampleColors(HDC dc, HWND control) {
  int element = ElementOfSample(GetDlgCtrlID(control));
  if (element < 0) return FALSE;
  SetTextColor(dc, g_look.looks[element].text);
  SetBkColor(dc, g_look.looks[element].background);
  if (!g_look.brushes[element]) MakeBrush(element);
  return reinterpret_cast<INT_PTR>(g_look.brushes[element]);
}

void PickColor(HWND page, int element, int background) {
  uint32_t* color = background ? &g_look.looks[element].background : &g_look.looks[element].text;
  CHOOSECOLORA choose = {};
  choose.lStructSize = sizeof choose;
  choose.hwndOwner = page;
  choose.rgbResult = *color;
  choose.lpCustColors = g_customColors;
  choose.Flags = CC_FULLOPEN | CC_RGBINIT;
  if (!ChooseColorA(&choose)) return;
  *color = choose.rgbResult & 0xFFFFFF;
  g_look.kept[element][0] = '\0';
  if (background) MakeBrush(element);
  InvalidateRect(GetDlgItem(page, kControls[element].sample), nullptr, TRUE);
  MarkPageChanged(page);
}

void LookCommand(HWND page, int id, int code) {
  if (code != BN_CLICKED) return;
  if (id == IDC_WA_RESET) {
    DefaultLooks();
    ShowLooks(page);
    MarkPageChanged(page);
    return;
  }
  for (int i = 0; i < kColorElements; ++i) {
    if (id == kControls[i].textButton) PickColor(page, i, 0);
    if (id == kControls[i].backButton) PickColor(page, i, 1);
  }
}

INT_PTR LookApply(HWND page) {
  if (!g_look.writable) return 1;
  StrList wanted = {};
  char value[kDSValueBytes];
  for (int i = 0; i < kColorElements; ++i) {
    if (g_look.kept[i][0])
      StrListAdd(&wanted, g_look.kept[i]);
    else if (FormatColorValue(i, g_look.looks[i], value, sizeof value))
      StrListAdd(&wanted, value);
  }
  int r = WriteAgentList(&g_look.old, kColor, &wanted, kSyntaxCIString);
  StrListFree(&wanted);
  if (r != 0) {
    ShowErrorAt(page, r, IDC_WA_PAGE_TEXT);
    return 0;
  }
  NotifyConfigChange(g_snapin.currentObject, kModule, kNoticeChanged);
  return 1;
}

}  // namespace

extern "C" INT_PTR CALLBACK WebMailAppearanceDlgProc(HWND page, UINT message, WPARAM wParam,
                                                     LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return LookInit(page);
    case WM_CTLCOLORSTATIC:
      return SampleColors(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_COMMAND: LookCommand(page, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case QZX_PAGE_APPLY: return LookApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpAppearance);
    case WM_CLOSE: LookClose(page); return FALSE;
    case WM_DESTROY: LookClose(page); return FALSE;
  }
  return FALSE;
}
