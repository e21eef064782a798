// The web-mail agent's configuration, interface and address-book pages
// against a real directory: what a new agent shows, the tagged
// configuration values each page keeps or rewrites, the partial-URL
// warning, the messages-per-page check, rights and directory errors.
#include <gtest/gtest.h>

#include <algorithm>

#include "modal_driver.h"
#include "web_fixture.h"

namespace webtest {
namespace {

const char kConfig[] = "Quorvel:Configuration";
const char kAds[] = "Quorvel:Advertising Config";

// ---- configuration ----------------------------------------------------------------------

class IdentPage : public WebPages {
 protected:
  HWND Open(const char* object = kWeb1) { return OpenWeb(WebMailIdentDlgProc, "WebMailIdent", object); }
};

TEST_F(IdentPage, NewAgentShowsItsCreationValuesAndWritesThemBack) {
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(ItemText(page_, kObjectNameControl), kWeb1);
  EXPECT_EQ(ItemText(page_, IDC_WI_HTTP_PORT), "80");
  EXPECT_EQ(ItemText(page_, IDC_WI_SSL_PORT), "443");
  EXPECT_TRUE(IsItemChecked(page_, IDC_WI_HTTP_ON));
  EXPECT_TRUE(IsItemChecked(page_, IDC_WI_SSL_ON));
  EXPECT_TRUE(IsItemEnabled(page_, IDC_WI_HTTP_PORT));
  EXPECT_EQ(ItemText(page_, IDC_WI_TITLE), "TARQ WebMail");
  EXPECT_TRUE(IsItemChecked(page_, IDC_WI_AD_NONE));
  EXPECT_EQ(ItemText(page_, IDC_WI_AD_URL_LABEL), "URL:");
  EXPECT_FALSE(IsItemEnabled(page_, IDC_WI_AD_URL));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(page_, IDC_WI_AD_EMBEDDED)));
  EXPECT_EQ(agentstest::ListItems(page_, IDC_WI_LIMIT),
            (Values{"<none>", "1", "2", "5", "10", "20", "40"}));
  EXPECT_EQ(agentstest::ComboIndex(page_, IDC_WI_LIMIT), 4);
  EXPECT_EQ(Changes(), 0);

  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Sorted(Stored(kConfig)), Sorted({"Behaviour:32621", "MsgPerPage:10", "Name:TARQ WebMail"}));
  EXPECT_EQ(Sorted(Stored(kAds)), Sorted({"URL:", "Location:0"}));
  EXPECT_EQ(Stored("Quorvel:Port"), Values{"80"});
  EXPECT_EQ(Stored("Quorvel:Message Limit"), Values{"10"});
  EXPECT_TRUE(ChangedIn());
}

TEST_F(IdentPage, PortBoxesRewriteEveryBehaviourAndKeepTheRest) {
  Store(kWeb1, kConfig,
        {"Behaviour:32621", "behaviour:96", "Behaviour:", "MsgPerPage:10", "Name:Old", "Other:x"});
  ASSERT_NE(Open(), nullptr);
  ClickItem(page_, IDC_WI_SSL_ON);
  EXPECT_FALSE(IsItemEnabled(page_, IDC_WI_SSL_PORT));
  EXPECT_GT(Changes(), 0);
  SetItemText(page_, IDC_WI_TITLE, "Acme Mail");
  EXPECT_EQ(Apply(), 1);
  // A "Behaviour:" without a number was never shown, so it stays as it was.
  EXPECT_EQ(Sorted(Stored(kConfig)), Sorted({"Behaviour:32557", "Behaviour:32", "Behaviour:",
                                             "MsgPerPage:10", "Other:x", "Name:Acme Mail"}));
  ClickItem(page_, IDC_WI_SSL_ON);
  ClickItem(page_, IDC_WI_HTTP_ON);
  EXPECT_TRUE(IsItemEnabled(page_, IDC_WI_SSL_PORT));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_WI_HTTP_PORT));
  EXPECT_EQ(Apply(), 1);  // a second apply starts from what the first wrote
  EXPECT_EQ(Sorted(Stored(kConfig)), Sorted({"Behaviour:32589", "Behaviour:64", "Behaviour:",
                                             "MsgPerPage:10", "Other:x", "Name:Acme Mail"}));
}

TEST_F(IdentPage, ClearedPortBitDisablesItsFieldAtLoad) {
  Store(kWeb1, kConfig, {"Behaviour:32", "Name:x"});
  ASSERT_NE(Open(), nullptr);
  EXPECT_TRUE(IsItemChecked(page_, IDC_WI_HTTP_ON));
  EXPECT_FALSE(IsItemChecked(page_, IDC_WI_SSL_ON));
  EXPECT_TRUE(IsItemEnabled(page_, IDC_WI_HTTP_PORT));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_WI_SSL_PORT));
}

TEST_F(IdentPage, PartialFrameUrlAsksBeforeAnythingIsWritten) {
  ASSERT_NE(Open(), nullptr);
  ClickItem(page_, IDC_WI_AD_TOP);
  EXPECT_EQ(ItemText(page_, IDC_WI_AD_URL_LABEL), "Frame-URL:");
  EXPECT_TRUE(IsItemEnabled(page_, IDC_WI_AD_URL));
  SetItemText(page_, IDC_WI_AD_URL, "ads.example/top.html");
  SetItemText(page_, IDC_WI_HTTP_PORT, "8080");
  {
    ModalDriver driver;
    driver.Then([](HWND d) { ClickItem(d, IDCANCEL); });  // "Abort"
    EXPECT_EQ(Apply(), 0);
    EXPECT_EQ(driver.Seen(), std::vector<std::string>{"Partial URL"});
  }
  EXPECT_TRUE(Focused(IDC_WI_AD_URL));
  EXPECT_EQ(Sorted(Stored(kAds)), Sorted({"URL:", "Location:0"}));
  EXPECT_EQ(Stored("Quorvel:Port"), Values{"80"});
  EXPECT_FALSE(ChangedIn());
  {
    ModalDriver driver;
    driver.Then([](HWND d) { ClickItem(d, IDOK); });  // "Continue"
    EXPECT_EQ(Apply(), 1);
    EXPECT_TRUE(driver.Unexpected().empty());
  }
  EXPECT_EQ(Sorted(Stored(kAds)), Sorted({"URL:ads.example/top.html", "Location:1"}));
  EXPECT_EQ(Stored("Quorvel:Port"), Values{"8080"});

  // An absolute address in the bottom frame goes without a question.
  ClickItem(page_, IDC_WI_AD_BOTTOM);
  SetItemText(page_, IDC_WI_AD_URL, "http://ads.example/");
  ModalDriver driver;
  EXPECT_EQ(Apply(), 1);
  EXPECT_TRUE(driver.Seen().empty());
  EXPECT_EQ(Sorted(Stored(kAds)), Sorted({"URL:http://ads.example/", "Location:2"}));
}

TEST_F(IdentPage, StoredAdvertisingKinds) {
  Store(kWeb1, kAds, {"URL:http://src.example/ad", "Location:3"});
  ASSERT_NE(Open(), nullptr);
  EXPECT_TRUE(IsItemChecked(page_, IDC_WI_AD_EMBEDDED));
  EXPECT_EQ(ItemText(page_, IDC_WI_AD_URL_LABEL), "AdSource URL:");
  EXPECT_EQ(ItemText(page_, IDC_WI_AD_URL), "http://src.example/ad");
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Sorted(Stored(kAds)), Sorted({"URL:http://src.example/ad", "Location:3"}));

  // A kind the page does not know selects nothing and is not written back.
  Store(kWeb1, kAds, {"Location:9"});
  ASSERT_NE(Open(), nullptr);
  for (int id : {IDC_WI_AD_NONE, IDC_WI_AD_TOP, IDC_WI_AD_BOTTOM, IDC_WI_AD_EMBEDDED})
    EXPECT_FALSE(IsItemChecked(page_, id)) << id;
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored(kAds), Values{"URL:"});
}

TEST_F(IdentPage, LimitsAreStoredAsChosen) {
  Store(kWeb1, "Quorvel:Message Limit", {"15"});
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(agentstest::ComboIndex(page_, IDC_WI_LIMIT), -1);
  EXPECT_EQ(Apply(), 1);
  EXPECT_TRUE(Stored("Quorvel:Message Limit").empty());

  SelectComboRow(page_, IDC_WI_LIMIT, 0);
  SetItemText(page_, IDC_WI_RECIPIENTS, "25");
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Message Limit"), Values{"<none>"});
  EXPECT_EQ(Stored("TARQ:Recipient Limit"), Values{"25"});
}

TEST_F(IdentPage, WithoutRightsNothingIsEditableOrWritten) {
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(), nullptr);
  for (int id : {IDC_WI_AD_NONE, IDC_WI_AD_TOP, IDC_WI_AD_URL, IDC_WI_HTTP_PORT, IDC_WI_SSL_PORT,
                 IDC_WI_HTTP_ON, IDC_WI_SSL_ON, IDC_WI_RECIPIENTS, IDC_WI_LIMIT, IDC_WI_TITLE})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Sorted(Stored(kConfig)), Sorted({"Behaviour:32621", "MsgPerPage:10", "Name:TARQ WebMail"}));
  EXPECT_FALSE(ChangedIn());
}

TEST_F(IdentPage, DirectoryErrorStopsTheApplyAndKeepsEarlierWrites) {
  Grant(kWeb1, "Kim.Sales.Acme", kAds);
  Grant(kWeb1, "Kim.Sales.Acme", "Quorvel:Port");
  Grant(kWeb1, "Kim.Sales.Acme", "Quorvel:SSL Port");
  As("Kim.Sales.Acme");
  ASSERT_NE(Open(), nullptr);
  EXPECT_TRUE(IsItemEnabled(page_, IDC_WI_HTTP_PORT));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_WI_TITLE));
  ClickItem(page_, IDC_WI_AD_BOTTOM);
  SetItemText(page_, IDC_WI_AD_URL, "http://ads.example/");
  SetItemText(page_, IDC_WI_SSL_PORT, "8443");
  Revoke(kWeb1, "Kim.Sales.Acme", "Quorvel:SSL Port");
  MessageBoxInterceptor boxes;
  EXPECT_EQ(Apply(), 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_NE(boxes.Boxes()[0].caption.find("Directory Error"), std::string::npos);
  EXPECT_TRUE(Focused(IDC_WI_SSL_PORT));
  EXPECT_EQ(Sorted(Stored(kAds)), Sorted({"URL:http://ads.example/", "Location:2"}));
  EXPECT_EQ(Stored("Quorvel:SSL Port"), Values{"443"});
}

// ---- interface ----------------------------------------------------------------------------

class InterfacePage : public WebPages {
 protected:
  HWND Open(const char* object = kWeb1) { return OpenWeb(WebMailConfigDlgProc, "WebMailConfig", object); }
};

TEST_F(InterfacePage, NewAgentShowsItsBitsAndApplyClearsTheCreationBit) {
  ASSERT_NE(Open(), nullptr);
  struct {
    int id;
    bool on;
  } boxes[] = {{IDC_WC_PASSWORD, true},    {IDC_WC_SSL_REQUIRED, false}, {IDC_WC_PREFERENCES, true},
               {IDC_WC_PREFS_ONLY, false}, {IDC_WC_BUSY, false},         {IDC_WC_GENERAL, true},
               {IDC_WC_APPEARANCE, true},  {IDC_WC_COLORS, true},        {IDC_WC_FORWARDING, true},
               {IDC_WC_AUTOREPLY, true},   {IDC_WC_FINGER, true},        {IDC_WC_PROXY, true},
               {IDC_WC_REPLY_TO, false}};
  for (const auto& box : boxes) EXPECT_EQ(IsItemChecked(page_, box.id), box.on) << box.id;
  EXPECT_TRUE(IsItemEnabled(page_, IDC_WC_SSL_REQUIRED));
  EXPECT_TRUE(IsItemEnabled(page_, IDC_WC_PREFS_ONLY));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_WC_BUSY_URL));
  EXPECT_EQ(ItemText(page_, IDC_WC_MSG_PER_PAGE), "10");

  EXPECT_EQ(Apply(), 1);
  // 32621 without 0x4; the port bits stay.
  EXPECT_EQ(Sorted(Stored(kConfig)),
            Sorted({"Behaviour:32617", "MsgPerPage:10", "BusyURL:", "Name:TARQ WebMail"}));
  EXPECT_TRUE(ChangedIn());
}

TEST_F(InterfacePage, MessagesPerPageOutsideOneToHundredIsRefused) {
  ASSERT_NE(Open(), nullptr);
  for (const char* text : {"0", "101", "abc", ""}) {
    MessageBoxInterceptor boxes;
    SetItemText(page_, IDC_WC_MSG_PER_PAGE, text);
    EXPECT_EQ(Apply(), 0) << text;
    ASSERT_EQ(boxes.Boxes().size(), 1u) << text;
    EXPECT_EQ(boxes.Boxes()[0].caption, "Error");
    EXPECT_EQ(boxes.Boxes()[0].text, "You must enter a number between 1 and 100!");
    EXPECT_TRUE(Focused(IDC_WC_MSG_PER_PAGE));
  }
  EXPECT_FALSE(ChangedIn());
  EXPECT_EQ(Sorted(Stored(kConfig)), Sorted({"Behaviour:32621", "MsgPerPage:10", "Name:TARQ WebMail"}));
  SetItemText(page_, IDC_WC_MSG_PER_PAGE, "100");
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Sorted(Stored(kConfig)),
            Sorted({"Behaviour:32617", "MsgPerPage:100", "BusyURL:", "Name:TARQ WebMail"}));
}

TEST_F(InterfacePage, BoxesSwitchTheirDependentsAndReachTheNumber) {
  ASSERT_NE(Open(), nullptr);
  ClickItem(page_, IDC_WC_PREFERENCES);
  for (int id : {IDC_WC_PREFS_ONLY, IDC_WC_GENERAL, IDC_WC_APPEARANCE, IDC_WC_COLORS,
                 IDC_WC_FORWARDING, IDC_WC_AUTOREPLY, IDC_WC_FINGER, IDC_WC_PROXY})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  ClickItem(page_, IDC_WC_PASSWORD);
  EXPECT_FALSE(IsItemEnabled(page_, IDC_WC_SSL_REQUIRED));
  ClickItem(page_, IDC_WC_BUSY);
  EXPECT_TRUE(IsItemEnabled(page_, IDC_WC_BUSY_URL));
  SetItemText(page_, IDC_WC_BUSY_URL, "http://busy.example/");
  ClickItem(page_, IDC_WC_REPLY_TO);
  EXPECT_GE(Changes(), 4);
  EXPECT_EQ(Apply(), 1);
  // Port bits 0x60, busy 0x80, the seven page boxes still ticked 0x7F00, reply-to 0x8000.
  EXPECT_EQ(Sorted(Stored(kConfig)),
            Sorted({"Behaviour:65504", "MsgPerPage:10", "BusyURL:http://busy.example/",
                    "Name:TARQ WebMail"}));
}

TEST_F(InterfacePage, PortBitsComeFromWhatTheConfigurationPageLeft) {
  ASSERT_NE(Open(), nullptr);
  // The configuration page of the same sheet clears "SSL Port:" and is applied first.
  Store(kWeb1, kConfig, {"Behaviour:32557", "MsgPerPage:10", "Name:TARQ WebMail"});
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Sorted(Stored(kConfig)),
            Sorted({"Behaviour:32553", "MsgPerPage:10", "BusyURL:", "Name:TARQ WebMail"}));
}

TEST_F(InterfacePage, AgentWithoutBehaviourTakesNoPortBitsFromAnother) {
  ASSERT_NE(Open(kWeb1), nullptr);
  ASSERT_NE(Open(kWeb2), nullptr);
  EXPECT_FALSE(IsItemChecked(page_, IDC_WC_PASSWORD));
  EXPECT_EQ(ItemText(page_, IDC_WC_MSG_PER_PAGE), "5");
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Sorted(Stored(kConfig, kWeb2)),
            Sorted({"Behaviour:0", "MsgPerPage:5", "BusyURL:", "Name:Two"}));
}

TEST_F(InterfacePage, WithoutRightsNothingIsEditableOrWritten) {
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(), nullptr);
  for (int id : {IDC_WC_PASSWORD, IDC_WC_SSL_REQUIRED, IDC_WC_PREFERENCES, IDC_WC_PREFS_ONLY,
                 IDC_WC_BUSY, IDC_WC_BUSY_URL, IDC_WC_MSG_PER_PAGE, IDC_WC_GENERAL, IDC_WC_PROXY,
                 IDC_WC_REPLY_TO})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  SetItemText(page_, IDC_WC_MSG_PER_PAGE, "abc");
  MessageBoxInterceptor boxes;
  EXPECT_EQ(Apply(), 1);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(Sorted(Stored(kConfig)), Sorted({"Behaviour:32621", "MsgPerPage:10", "Name:TARQ WebMail"}));
  EXPECT_FALSE(ChangedIn());
}

// ---- address book ------------------------------------------------------------------------

class AddrBookPage : public WebPages {
 protected:
  HWND Open() { return OpenWeb(WebMailAddrBookDlgProc, "WebMailAddrBook"); }
};

TEST_F(AddrBookPage, NewAgentHasPersonalBooksOfFiftyEntries) {
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(agentstest::ListItems(page_, IDC_WB_ENTRIES), (Values{"10", "25", "50", "100"}));
  EXPECT_EQ(agentstest::ComboIndex(page_, IDC_WB_ENTRIES), 2);
  EXPECT_TRUE(IsItemChecked(page_, IDC_WB_ENABLED));
  EXPECT_TRUE(IsItemChecked(page_, IDC_WB_PERSONAL));
  EXPECT_TRUE(IsItemEnabled(page_, IDC_WB_ENTRIES));
  EXPECT_FALSE(IsItemChecked(page_, IDC_WB_SYSTEM));
  EXPECT_TRUE(IsItemEnabled(page_, IDC_WB_SYSTEM));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_WB_SYSTEM_URL));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_WB_PUBLIC_LABEL));
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Addressbook Config"), Values{"Entries:50 Flags:3"});
  EXPECT_TRUE(ChangedIn());
}

TEST_F(AddrBookPage, UnlistedEntriesShowNoChoiceAndWriteZero) {
  Store(kWeb1, "Quorvel:Addressbook Config", {"Entries:30 Flags:1"});
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(agentstest::ComboIndex(page_, IDC_WB_ENTRIES), -1);
  EXPECT_FALSE(IsItemChecked(page_, IDC_WB_PERSONAL));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_WB_ENTRIES));
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Addressbook Config"), Values{"Entries:0 Flags:1"});
}

TEST_F(AddrBookPage, BoxesSwitchTheirFieldsAndReachTheFlags) {
  Store(kWeb1, "Quorvel:Addressbook Config", {"Entries:25 Flags:17"});  // 0x10: no box
  ASSERT_NE(Open(), nullptr);
  ClickItem(page_, IDC_WB_SYSTEM);
  EXPECT_TRUE(IsItemEnabled(page_, IDC_WB_SYSTEM_URL));
  SetItemText(page_, IDC_WB_SYSTEM_URL, "ldap://dir.acme.example");
  ClickItem(page_, IDC_WB_PUBLIC);
  SetItemText(page_, IDC_WB_PUBLIC_URL, "ldap://public.example");
  ClickItem(page_, IDC_WB_PERSONAL);
  SelectComboRow(page_, IDC_WB_ENTRIES, 3);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Addressbook Config"), Values{"Entries:100 Flags:31"});
  EXPECT_EQ(Stored("Quorvel:Addressbook URL System"), Values{"ldap://dir.acme.example"});
  EXPECT_EQ(Stored("Quorvel:Addressbook URL Public"), Values{"ldap://public.example"});

  ClickItem(page_, IDC_WB_ENABLED);
  for (int id : {IDC_WB_PERSONAL, IDC_WB_ENTRIES, IDC_WB_SYSTEM, IDC_WB_SYSTEM_URL, IDC_WB_PUBLIC,
                 IDC_WB_PUBLIC_URL, IDC_WB_ENTRIES_LABEL, IDC_WB_SYSTEM_LABEL})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  SetItemText(page_, IDC_WB_PUBLIC_URL, "");
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Addressbook Config"), Values{"Entries:100 Flags:30"});
  EXPECT_TRUE(Stored("Quorvel:Addressbook URL Public").empty());
}

TEST_F(AddrBookPage, WithoutRightsNothingIsEditableOrWritten) {
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(), nullptr);
  for (int id : {IDC_WB_ENABLED, IDC_WB_PERSONAL, IDC_WB_ENTRIES, IDC_WB_SYSTEM, IDC_WB_PUBLIC,
                 IDC_WB_ENTRIES_LABEL})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Addressbook Config"), Values{"Entries:50 Flags:3"});
  EXPECT_FALSE(ChangedIn());
}

// Each page's notice, whole (code and module file), and none without a right.
TEST_F(WebPages, EachPageTellsTheServerOnlyWithARight) {
  using snapintest::ConfigNotice;
  const std::string web = ConfigNotice(3, "WEBAGENT.QMD");
  const struct {
    QZXObjectProc objectProc;
    const char* object;
    DLGPROC procedure;
    const char* templateName;
    std::string told;
  } pages[] = {{WebMailObjProc, kWeb1, WebMailIdentDlgProc, "WebMailIdent", web},
               {WebMailObjProc, kWeb1, WebMailConfigDlgProc, "WebMailConfig", web},
               {WebMailObjProc, kWeb1, WebMailAppearanceDlgProc, "WebMailAppearance", web},
               {WebMailObjProc, kWeb1, WebMailAddrBookDlgProc, "WebMailAddrBook", web},
               {ConnMgrObjProc, kConnMgr1, ConnMgrConfigDlgProc, "ConnManagerConfig",
                ConfigNotice(3, "CONNAGNT.QMD")}};
  for (const char* identity : {static_cast<const char*>(nullptr), "Joe.Sales.Acme"}) {
    As(identity);
    for (const auto& p : pages) {
      SCOPED_TRACE(std::string(p.templateName) + (identity ? " as Joe" : ""));
      ASSERT_NE(OpenPage(p.objectProc, p.object, p.procedure, p.templateName), nullptr);
      ExpectTold(p.object, [&] { return Apply(); },
                 identity ? std::vector<std::string>{} : std::vector<std::string>{p.told});
    }
  }
}

// ---- help -----------------------------------------------------------------------------------

TEST_F(WebPages, EachPageAsksForItsHelp) {
  struct {
    DLGPROC procedure;
    const char* templateName;
    long context;
  } pages[] = {{WebMailIdentDlgProc, "WebMailIdent", 33},
               {WebMailConfigDlgProc, "WebMailConfig", 34},
               {WebMailAppearanceDlgProc, "WebMailAppearance", 35},
               {WebMailAddrBookDlgProc, "WebMailAddrBook", 34}};
  ::HelpViewer viewer;
  for (const auto& p : pages) {
    ASSERT_NE(OpenWeb(p.procedure, p.templateName), nullptr);
    EXPECT_EQ(p.procedure(page_, QZX_PAGE_HELP, 0, 0), 1);
  }
  ASSERT_NE(OpenPage(ConnMgrObjProc, kConnMgr1, ConnMgrConfigDlgProc, "ConnManagerConfig"), nullptr);
  EXPECT_EQ(ConnMgrConfigDlgProc(page_, QZX_PAGE_HELP, 0, 0), 1);
  PumpMessages();
  EXPECT_EQ(viewer.contexts, (std::vector<long>{33, 34, 35, 34, 26}));
}

}  // namespace
}  // namespace webtest
