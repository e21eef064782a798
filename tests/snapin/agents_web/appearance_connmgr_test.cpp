// The web-mail appearance page (colours through the colour dialog, sample
// fonts, reset, values it cannot read kept as stored) and the connection
// manager's page, against a real directory.
#include <gtest/gtest.h>

#include <algorithm>

#include "modal_driver.h"
#include "web_fixture.h"

namespace webtest {
namespace {

const char kColor[] = "Quorvel:Color";
const Values kDefaults = {"Page: 000000 ffffff Arial", "Border: ffffff 000000 Arial",
                          "Section: 000000 aaaaaa Arial", "Fieldname: 000000 cccccc Arial",
                          "Fieldbody: 000000 eeeeee Arial"};

// The colour dialog's red, green and blue fields.
enum { kRedField = 706, kGreenField = 707, kBlueField = 708 };

class AppearancePage : public WebPages {
 protected:
  HWND Open() { return OpenWeb(WebMailAppearanceDlgProc, "WebMailAppearance"); }
  struct SampleLook {
    COLORREF text, background, fill;
  };
  // What the page answers when a sample asks for its colours.
  SampleLook Sample(int id) {
    HDC dc = CreateCompatibleDC(nullptr);
    INT_PTR brush = SendMessageA(page_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(GetDlgItem(page_, id)));
    LOGBRUSH lb = {};
    GetObjectA(reinterpret_cast<HBRUSH>(brush), sizeof lb, &lb);
    SampleLook look = {GetTextColor(dc), GetBkColor(dc), lb.lbColor};
    DeleteDC(dc);
    return look;
  }
  std::string SampleFace(int id) {
    HFONT font = reinterpret_cast<HFONT>(SendDlgItemMessageA(page_, id, WM_GETFONT, 0, 0));
    LOGFONTA lf = {};
    if (!font || !GetObjectA(font, sizeof lf, &lf)) return "(none)";
    EXPECT_EQ(lf.lfHeight, -9);
    return lf.lfFaceName;
  }
};

TEST_F(AppearancePage, AgentWithoutColoursShowsAndWritesTheDefaults) {
  ASSERT_NE(Open(), nullptr);
  SampleLook page = Sample(IDC_WA_PAGE_SAMPLE);
  EXPECT_EQ(page.text, RGB(0, 0, 0));
  EXPECT_EQ(page.background, RGB(255, 255, 255));
  EXPECT_EQ(page.fill, RGB(255, 255, 255));
  EXPECT_EQ(Sample(IDC_WA_BORDER_SAMPLE).text, RGB(255, 255, 255));
  EXPECT_EQ(Sample(IDC_WA_BORDER_SAMPLE).background, RGB(0, 0, 0));
  EXPECT_EQ(Sample(IDC_WA_SECTION_SAMPLE).background, RGB(0xaa, 0xaa, 0xaa));
  EXPECT_EQ(Sample(IDC_WA_FIELDNAME_SAMPLE).background, RGB(0xcc, 0xcc, 0xcc));
  EXPECT_EQ(Sample(IDC_WA_FIELDBODY_SAMPLE).background, RGB(0xee, 0xee, 0xee));
  EXPECT_EQ(SampleFace(IDC_WA_PAGE_SAMPLE), "Arial");
  EXPECT_EQ(ItemText(page_, IDC_WA_FIELDBODY_FONT), "Arial");
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(page_, IDC_WA_PAGE_FONT)));

  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored(kColor), kDefaults);  // in the order of the elements, Page first
  EXPECT_TRUE(ChangedIn());
}

TEST_F(AppearancePage, StoredColoursShowInTheirByteOrderAndGoBackUnchanged) {
  Store(kWeb1, kColor, {"Section: ff0000 00ff00 Times New Roman", "Page: 102030 405060 Arial"});
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(Sample(IDC_WA_SECTION_SAMPLE).text, RGB(255, 0, 0));
  EXPECT_EQ(Sample(IDC_WA_SECTION_SAMPLE).background, RGB(0, 255, 0));
  EXPECT_EQ(Sample(IDC_WA_SECTION_SAMPLE).fill, RGB(0, 255, 0));
  EXPECT_EQ(Sample(IDC_WA_PAGE_SAMPLE).text, RGB(0x10, 0x20, 0x30));
  EXPECT_EQ(ItemText(page_, IDC_WA_SECTION_FONT), "Times New Roman");
  EXPECT_EQ(Apply(), 1);
  // Elements missing from the stored list get their defaults.
  EXPECT_EQ(Sorted(Stored(kColor)),
            Sorted({"Page: 102030 405060 Arial", "Border: ffffff 000000 Arial",
                    "Section: ff0000 00ff00 Times New Roman", "Fieldname: 000000 cccccc Arial",
                    "Fieldbody: 000000 eeeeee Arial"}));

  // Reset, then apply: the five defaults.
  ResetChanges();
  ClickItem(page_, IDC_WA_RESET);
  EXPECT_EQ(Changes(), 1);
  EXPECT_EQ(Sample(IDC_WA_SECTION_SAMPLE).text, RGB(0, 0, 0));
  EXPECT_EQ(ItemText(page_, IDC_WA_SECTION_FONT), "Arial");
  EXPECT_EQ(SampleFace(IDC_WA_SECTION_SAMPLE), "Arial");
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Sorted(Stored(kColor)), Sorted(kDefaults));
}

TEST_F(AppearancePage, ValuesThePageCannotReadAreKeptUntilTheUserSetsThem) {
  const std::string face31(31, 'F'), face32(32, 'G');
  Store(kWeb1, kColor,
        {"Page: zz0000 ffffff Arial", "Border: 000000 ffffff " + face31,
         "Section: 000000 aaaaaa " + face32, "Fieldname: 000000 cccccc Arial",
         "Fieldbody: 000000 eeeeee Arial", "Unknown: 1 2 x"});
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(Sample(IDC_WA_PAGE_SAMPLE).background, RGB(255, 255, 255));
  EXPECT_EQ(ItemText(page_, IDC_WA_BORDER_FONT), face31);
  EXPECT_EQ(SampleFace(IDC_WA_BORDER_SAMPLE), face31);
  EXPECT_EQ(ItemText(page_, IDC_WA_SECTION_FONT), "Arial");
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Sorted(Stored(kColor)),
            Sorted({"Page: zz0000 ffffff Arial", "Border: 000000 ffffff " + face31,
                    "Section: 000000 aaaaaa " + face32, "Fieldname: 000000 cccccc Arial",
                    "Fieldbody: 000000 eeeeee Arial"}));
}

TEST_F(AppearancePage, ColourDialogSetsAColourAndCancelKeepsIt) {
  Store(kWeb1, kColor, {"Page: zz0000 ffffff Arial"});
  ASSERT_NE(Open(), nullptr);
  {
    ModalDriver driver;
    driver.Then([](HWND d) {
      SetDlgItemInt(d, kRedField, 0x12, FALSE);
      SetDlgItemInt(d, kGreenField, 0x34, FALSE);
      SetDlgItemInt(d, kBlueField, 0x56, FALSE);
      ClickItem(d, IDOK);
    });
    ClickItem(page_, IDC_WA_PAGE_TEXT);
    EXPECT_EQ(driver.Pending(), 0u);
  }
  EXPECT_EQ(Sample(IDC_WA_PAGE_SAMPLE).text, RGB(0x12, 0x34, 0x56));
  EXPECT_EQ(Changes(), 1);
  {
    ModalDriver driver;
    driver.Then([](HWND d) {
      SetDlgItemInt(d, kRedField, 1, FALSE);
      ClickItem(d, IDCANCEL);
    });
    ClickItem(page_, IDC_WA_PAGE_BACK);
  }
  EXPECT_EQ(Sample(IDC_WA_PAGE_SAMPLE).background, RGB(255, 255, 255));
  EXPECT_EQ(Changes(), 1);
  {
    ModalDriver driver;
    driver.Then([](HWND d) {
      SetDlgItemInt(d, kBlueField, 0x80, FALSE);
      ClickItem(d, IDOK);
    });
    ClickItem(page_, IDC_WA_PAGE_BACK);
  }
  EXPECT_EQ(Sample(IDC_WA_PAGE_SAMPLE).fill, RGB(255, 255, 0x80));
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored(kColor)[0], "Page: 123456 ffff80 Arial");
}

TEST_F(AppearancePage, WithoutRightsButtonsAreOffAndNothingIsWritten) {
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(), nullptr);
  for (int id : {IDC_WA_RESET, IDC_WA_PAGE_TEXT, IDC_WA_SECTION_BACK, IDC_WA_FIELDBODY_BACK})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_EQ(Apply(), 1);
  EXPECT_TRUE(Stored(kColor).empty());
  EXPECT_FALSE(ChangedIn());
}

TEST_F(AppearancePage, DirectoryErrorRefusesWithFocusOnTheFirstButton) {
  Grant(kWeb1, "Kim.Sales.Acme", kColor);
  As("Kim.Sales.Acme");
  ASSERT_NE(Open(), nullptr);
  Revoke(kWeb1, "Kim.Sales.Acme", kColor);
  MessageBoxInterceptor boxes;
  EXPECT_EQ(Apply(), 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_NE(boxes.Boxes()[0].caption.find("Directory Error"), std::string::npos);
  EXPECT_TRUE(Focused(IDC_WA_PAGE_TEXT));
}

// ---- connection manager ---------------------------------------------------------------------

class ConnMgrPage : public WebPages {
 protected:
  HWND Open() { return OpenPage(ConnMgrObjProc, kConnMgr1, ConnMgrConfigDlgProc, "ConnManagerConfig"); }
};

TEST_F(ConnMgrPage, NewManagerExpiresAfterFifteenMinutes) {
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(ItemText(page_, kObjectNameControl), kConnMgr1);
  EXPECT_EQ(agentstest::ListItems(page_, IDC_CM_TIMEOUT),
            (Values{"5", "10", "15", "30", "45", "60", "120", "360", "720", "1440"}));
  EXPECT_EQ(agentstest::ComboIndex(page_, IDC_CM_TIMEOUT), 2);
  SelectComboRow(page_, IDC_CM_TIMEOUT, 9);
  EXPECT_EQ(Changes(), 1);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Timeout", kConnMgr1), Values{"1440"});
  EXPECT_TRUE(ChangedIn(kConnMgr1));
}

TEST_F(ConnMgrPage, TimeoutNotInTheListShowsNothingAndIsRemoved) {
  Store(kConnMgr1, "Quorvel:Timeout", {"20"});
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(agentstest::ComboIndex(page_, IDC_CM_TIMEOUT), -1);
  EXPECT_EQ(Apply(), 1);
  EXPECT_TRUE(Stored("Quorvel:Timeout", kConnMgr1).empty());
  // No value at all: "15" again.
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(agentstest::ComboIndex(page_, IDC_CM_TIMEOUT), 2);
}

TEST_F(ConnMgrPage, WithoutRightsTheChoiceIsOffAndNothingIsWritten) {
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(), nullptr);
  for (int id : {IDC_CM_TIMEOUT, IDC_CM_EXPIRE_LABEL, IDC_CM_MINUTES})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Timeout", kConnMgr1), Values{"15"});
  EXPECT_FALSE(ChangedIn(kConnMgr1));
}

}  // namespace
}  // namespace webtest
