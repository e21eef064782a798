// The store agent's pages in the host's sheet against a real directory:
// parameters (lists, hours, bounced-message control, the store path),
// contexts, quota, single copy, trusted hosts and clients; rights, refusals,
// directory errors that stop an apply, and each page's help.
#include <gtest/gtest.h>

#include "agent_codecs.h"
#include "agents_fixture.h"
#include "hostext_ids.h"

namespace agentstest {
namespace {

enum { kQueue = 0, kContext = 1, kQuota = 2, kScms = 3, kStatus = 4, kTrusted = 5, kClients = 6 };

class StorePages : public AgentSnapin {
 protected:
  HWND Open(int index, const char* store = kStore1) { return OpenSheet(store, kZELMClass, index); }
  bool Changed() { return Read(kStore1, "Quorvel:Config Changed") == Values{"1"}; }
  // Removes row `row` of a multi-valued control as the user does.
  void RemoveValue(int listId, int row) {
    HWND list = GetWindow(GetDlgItem(page_, listId), GW_CHILD);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    SendMessageA(list, WM_KEYDOWN, VK_DELETE, 1);
    PumpMessages();
  }
};

// ---- parameters -------------------------------------------------------------------

TEST_F(StorePages, ParametersShowWhatIsStored) {
  ASSERT_NE(Open(kQueue), nullptr);
  EXPECT_EQ(ItemText(page_, IDC_ZQ_PATH), "FS1/SYS:mail");
  EXPECT_EQ(ListItems(page_, IDC_ZQ_TIMEOUT), (Values{"2", "3", "4", "5", "6", "10", "14"}));
  EXPECT_EQ(ListItems(page_, IDC_ZQ_INTERVAL), (Values{"15", "30", "45", "60", "90", "120"}));
  EXPECT_EQ(ComboIndex(page_, IDC_ZQ_TIMEOUT), 3);
  EXPECT_EQ(ComboIndex(page_, IDC_ZQ_INTERVAL), 1);
  EXPECT_EQ(ItemText(page_, IDC_ZQ_MIN_SPACE), "2048");
  EXPECT_EQ(ItemText(page_, IDC_ZQ_FORWARD), "postmaster@acme.example");
  // No bounced-message control stored: off, its fields off.
  EXPECT_FALSE(IsItemChecked(page_, IDC_ZQ_RTS_ENABLED));
  EXPECT_TRUE(IsItemEnabled(page_, IDC_ZQ_RTS_ENABLED));
  for (int id : {IDC_ZQ_RTS_DELAY, IDC_ZQ_RTS_THRESHOLD, IDC_ZQ_RTS_DELAY_LABEL})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  // No limit: the hours rest at midnight, switched off.
  EXPECT_FALSE(IsItemChecked(page_, IDC_ZQ_LIMIT));
  HourFormat format = UserHourFormat();
  for (int id : {IDC_ZQ_BEG_WEEKDAY, IDC_ZQ_END_WEEKDAY, IDC_ZQ_BEG_WEEKEND, IDC_ZQ_END_WEEKEND}) {
    Values entries = ListItems(page_, id);
    ASSERT_EQ(entries.size(), 24u);
    char expected[kHourEntryChars];
    FormatHourEntry(format, 13, expected, sizeof expected);
    EXPECT_EQ(entries[13], expected);
    EXPECT_EQ(ComboIndex(page_, id), 0);
    EXPECT_FALSE(IsItemEnabled(page_, id));
  }
  EXPECT_FALSE(ApplyEnabled());  // filling reports no change
}

TEST_F(StorePages, ATimeoutNotInTheListShowsNothingAndApplyingRemovesIt) {
  Store(kStore1, "Quorvel:Queue Timeout", {"7"});
  ASSERT_NE(Open(kQueue), nullptr);
  EXPECT_EQ(ComboIndex(page_, IDC_ZQ_TIMEOUT), -1);
  EXPECT_EQ(ApplyPage(ZELMQueueDlgProc), 1);
  EXPECT_TRUE(Read(kStore1, "Quorvel:Queue Timeout").empty());
  EXPECT_EQ(Read(kStore1, "Quorvel:Queue Interval"), Values{"30"});
  EXPECT_EQ(Read(kStore1, "Quorvel:Message Store"), Values{"FS1/SYS:mail"});
  EXPECT_TRUE(Changed());
}

TEST_F(StorePages, BouncedMessageControlRoundTrips) {
  Store(kStore1, "TARQ:RTS Antispam Config", {"Enabled:0 Delay:30 Threshhold:5"});
  ASSERT_NE(Open(kQueue), nullptr);
  EXPECT_EQ(ItemText(page_, IDC_ZQ_RTS_DELAY), "30");
  EXPECT_EQ(ItemText(page_, IDC_ZQ_RTS_THRESHOLD), "5");
  EXPECT_FALSE(IsItemEnabled(page_, IDC_ZQ_RTS_DELAY));
  ClickItem(page_, IDC_ZQ_RTS_ENABLED);
  EXPECT_TRUE(IsItemEnabled(page_, IDC_ZQ_RTS_DELAY));
  EXPECT_TRUE(ApplyEnabled());
  EXPECT_EQ(ApplyPage(ZELMQueueDlgProc), 1);
  EXPECT_EQ(Read(kStore1, "TARQ:RTS Antispam Config"), Values{"Enabled:1 Delay:30 Threshhold:5"});

  // Text that is no number writes 0.
  SetItemText(page_, IDC_ZQ_RTS_THRESHOLD, "many");
  ClickItem(page_, IDC_ZQ_RTS_ENABLED);
  EXPECT_EQ(ApplyPage(ZELMQueueDlgProc), 1);
  EXPECT_EQ(Read(kStore1, "TARQ:RTS Antispam Config"), Values{"Enabled:0 Delay:30 Threshhold:0"});
}

TEST_F(StorePages, HoursOutsideTheDayStayAsTheyAre) {
  Store(kStore1, "Quorvel:Limit Remote Processing", {"1"});
  Store(kStore1, "Quorvel:Limit Remote Beg Weekday", {"13"});
  Store(kStore1, "Quorvel:Limit Remote End Weekday", {"25"});
  ASSERT_NE(Open(kQueue), nullptr);
  EXPECT_TRUE(IsItemChecked(page_, IDC_ZQ_LIMIT));
  EXPECT_TRUE(IsItemEnabled(page_, IDC_ZQ_BEG_WEEKDAY));
  EXPECT_EQ(ComboIndex(page_, IDC_ZQ_BEG_WEEKDAY), 13);
  EXPECT_EQ(ComboIndex(page_, IDC_ZQ_END_WEEKDAY), -1);
  SelectComboRow(page_, IDC_ZQ_BEG_WEEKEND, 22);
  EXPECT_TRUE(ApplyEnabled());
  EXPECT_EQ(ApplyPage(ZELMQueueDlgProc), 1);
  EXPECT_EQ(Read(kStore1, "Quorvel:Limit Remote Processing"), Values{"1"});
  EXPECT_EQ(Read(kStore1, "Quorvel:Limit Remote Beg Weekday"), Values{"13"});
  EXPECT_EQ(Read(kStore1, "Quorvel:Limit Remote End Weekday"), Values{"25"});
  EXPECT_EQ(Read(kStore1, "Quorvel:Limit Remote Beg Weekend"), Values{"22"});
  EXPECT_EQ(Read(kStore1, "Quorvel:Limit Remote End Weekend"), Values{"0"});

  // Unticking switches the hours off and stores "0".
  ClickItem(page_, IDC_ZQ_LIMIT);
  EXPECT_FALSE(IsItemEnabled(page_, IDC_ZQ_BEG_WEEKEND));
  EXPECT_EQ(ApplyPage(ZELMQueueDlgProc), 1);
  EXPECT_EQ(Read(kStore1, "Quorvel:Limit Remote Processing"), Values{"0"});
}

TEST_F(StorePages, AStorePathOffTheHostIsRefusedBeforeAnythingIsWritten) {
  MessageBoxInterceptor boxes;
  ASSERT_NE(Open(kQueue), nullptr);
  SetItemText(page_, IDC_ZQ_PATH, "FS2/SYS:mail");
  SelectComboRow(page_, IDC_ZQ_TIMEOUT, 0);
  EXPECT_EQ(ApplyPage(ZELMQueueDlgProc), 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Bad path selected");
  EXPECT_EQ(boxes.Boxes()[0].text, "You must select a path on the server you are running TARQ");
  EXPECT_TRUE(Focused(IDC_ZQ_PATH));
  EXPECT_EQ(Read(kStore1, "Quorvel:Message Store"), Values{"FS1/SYS:mail"});
  EXPECT_EQ(Read(kStore1, "Quorvel:Queue Timeout"), Values{"5"});
  EXPECT_FALSE(Changed());

  SetItemText(page_, IDC_ZQ_PATH, "FS1\\VOL2:store");
  EXPECT_EQ(ApplyPage(ZELMQueueDlgProc), 1);
  EXPECT_EQ(Read(kStore1, "Quorvel:Message Store"), Values{"FS1\\VOL2:store"});
  EXPECT_EQ(Read(kStore1, "Quorvel:Queue Timeout"), Values{"2"});
  ExpectWritten({{kStore1, "Quorvel:Message Store", "FS1\\VOL2:store", 1},
                 {kStore1, "Quorvel:Queue Timeout", "2", 3}});
}

TEST_F(StorePages, ParametersFollowTheRightsAndADirectoryErrorKeepsEarlierWrites) {
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(kQueue), nullptr);
  for (int id : {IDC_ZQ_PATH, IDC_ZQ_BROWSE_PATH, IDC_ZQ_TIMEOUT, IDC_ZQ_INTERVAL, IDC_ZQ_MIN_SPACE,
                 IDC_ZQ_FORWARD, IDC_ZQ_RTS_ENABLED, IDC_ZQ_LIMIT, IDC_ZQ_BEG_WEEKDAY})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_EQ(ApplyPage(ZELMQueueDlgProc), 1);
  EXPECT_FALSE(Changed());

  As("Kim.Sales.Acme");  // the path, the timeout and the forwarding address
  g_snapin.autoReload = 1;
  ASSERT_NE(Open(kQueue), nullptr);
  EXPECT_TRUE(IsItemEnabled(page_, IDC_ZQ_PATH));
  EXPECT_TRUE(IsItemEnabled(page_, IDC_ZQ_TIMEOUT));
  EXPECT_TRUE(IsItemEnabled(page_, IDC_ZQ_FORWARD));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_ZQ_INTERVAL));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_ZQ_MIN_SPACE));
  SetItemText(page_, IDC_ZQ_PATH, "FS1/SYS:new");
  SelectComboRow(page_, IDC_ZQ_TIMEOUT, 6);
  SetItemText(page_, IDC_ZQ_FORWARD, "root@acme.example");
  Revoke(kStore1, "Kim.Sales.Acme", "Quorvel:Forward Undeliverable");
  MessageBoxInterceptor boxes;
  EXPECT_EQ(ApplyPage(ZELMQueueDlgProc), 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_NE(boxes.Boxes()[0].caption.find("] Directory Error"), std::string::npos);
  EXPECT_TRUE(Focused(IDC_ZQ_FORWARD));
  EXPECT_EQ(Read(kStore1, "Quorvel:Message Store"), Values{"FS1/SYS:new"});
  EXPECT_EQ(Read(kStore1, "Quorvel:Queue Timeout"), Values{"14"});
  EXPECT_EQ(Read(kStore1, "Quorvel:Forward Undeliverable"), Values{"postmaster@acme.example"});
  EXPECT_TRUE(NoticeCodes().empty());

  // With the right back, the same sheet applies against what is stored now.
  Grant(kStore1, "Kim.Sales.Acme", "Quorvel:Forward Undeliverable");
  EXPECT_EQ(ApplyPage(ZELMQueueDlgProc), 1);
  EXPECT_EQ(Read(kStore1, "Quorvel:Forward Undeliverable"), Values{"root@acme.example"});
  EXPECT_EQ(NoticeCodes(), std::vector<uint32_t>{3});  // changed
}

// ---- contexts ------------------------------------------------------------------------

TEST_F(StorePages, ContextsAreTheServersAndAtLeastOneMustStay) {
  ASSERT_NE(Open(kContext, kStore2), nullptr);
  EXPECT_EQ(ItemText(page_, 10), kStore2);
  EXPECT_EQ(MvedValues(page_, IDC_ZC_LIST), (Values{"Sales.Acme", "East.Sales.Acme"}));
  RemoveValue(IDC_ZC_LIST, 1);
  EXPECT_EQ(ApplyPage(ZELMContextDlgProc), 1);
  EXPECT_EQ(Read(kMS2, "Quorvel:Context"), Values{"Sales.Acme"});
  // The server takes new contexts when it starts again: no notice.
  EXPECT_TRUE(Read(kStore2, "Quorvel:Config Changed").empty());

  MessageBoxInterceptor boxes;
  RemoveValue(IDC_ZC_LIST, 0);
  EXPECT_EQ(ApplyPage(ZELMContextDlgProc), 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Missing mandatory value");
  EXPECT_EQ(boxes.Boxes()[0].text, "At least one context required!");
  EXPECT_TRUE(Focused(IDC_ZC_EDIT));
  EXPECT_EQ(Read(kMS2, "Quorvel:Context"), Values{"Sales.Acme"});

  // A context picked in the browser goes to the server as a reference.
  {
    ModalDriver driver;
    driver.Then([](HWND browser) {
      ASSERT_TRUE(PickRow(browser, IDC_BR_LIST, "Acme"));
      ClickItem(browser, IDOK);
    });
    SendDlgItemMessageA(page_, IDC_ZC_EDIT, WM_KEYDOWN, VK_RETURN, 1);
    PumpMessages();
    EXPECT_TRUE(driver.Unexpected().empty());
  }
  EXPECT_EQ(ApplyPage(ZELMContextDlgProc), 1);
  EXPECT_EQ(Read(kMS2, "Quorvel:Context"), Values{"Acme"});
  ExpectWritten({{kMS2, "Quorvel:Context", "Acme", 1}});
}

TEST_F(StorePages, TheServicesContainerAloneShowsAsNoContext) {
  ASSERT_NE(Open(kContext), nullptr);
  EXPECT_TRUE(MvedValues(page_, IDC_ZC_LIST).empty());
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(kContext, kStore2), nullptr);
  EXPECT_FALSE(IsItemEnabled(page_, IDC_ZC_EDIT));
  EXPECT_EQ(ApplyPage(ZELMContextDlgProc), 1);
  EXPECT_EQ(Read(kMS2, "Quorvel:Context"), (Values{"Sales.Acme", "East.Sales.Acme"}));
}

// ---- quota ----------------------------------------------------------------------------

TEST_F(StorePages, QuotaBitsShowAndWriteAsTheBoxesSay) {
  ASSERT_NE(Open(kQuota), nullptr);
  EXPECT_TRUE(IsItemChecked(page_, IDC_ZU_PER_USER));
  EXPECT_FALSE(IsItemChecked(page_, IDC_ZU_SYSTEM));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_ZU_VALUE));
  EXPECT_EQ(ItemText(page_, IDC_ZU_VALUE), "50000");
  EXPECT_EQ(ItemText(page_, IDC_ZU_MESSAGE), "Over quota.\r\nTry later.");  // a line each

  Store(kStore1, "Quorvel:Use Quota", {"2"});
  ASSERT_NE(Open(kQuota), nullptr);
  EXPECT_FALSE(IsItemChecked(page_, IDC_ZU_PER_USER));
  EXPECT_TRUE(IsItemChecked(page_, IDC_ZU_SYSTEM));
  EXPECT_TRUE(IsItemEnabled(page_, IDC_ZU_VALUE));

  const struct {
    bool perUser, system;
    const char* stored;
  } cases[] = {{true, true, "3"}, {true, false, "1"}, {false, true, "2"}, {false, false, "0"}};
  for (const auto& c : cases) {
    if (IsItemChecked(page_, IDC_ZU_PER_USER) != c.perUser) ClickItem(page_, IDC_ZU_PER_USER);
    if (IsItemChecked(page_, IDC_ZU_SYSTEM) != c.system) ClickItem(page_, IDC_ZU_SYSTEM);
    EXPECT_EQ(IsItemEnabled(page_, IDC_ZU_VALUE), c.system);
    EXPECT_EQ(ApplyPage(ZELMQuotaDlgProc), 1);
    EXPECT_EQ(Read(kStore1, "Quorvel:Use Quota"), Values{c.stored});
    // The message nobody touched keeps its bare line feed.
    EXPECT_EQ(Read(kStore1, "Quorvel:Quota Message"), Values{"Over quota.\nTry later."});
  }
  SetItemText(page_, IDC_ZU_VALUE, "");
  SetItemText(page_, IDC_ZU_MESSAGE, "Full.\r\nTry tomorrow.");
  EXPECT_EQ(ApplyPage(ZELMQuotaDlgProc), 1);
  EXPECT_TRUE(Read(kStore1, "Quorvel:Quota Value").empty());
  EXPECT_EQ(Read(kStore1, "Quorvel:Quota Message"), Values{"Full.\nTry tomorrow."});
  // A message stored with CR LF keeps them; a new one without any stored
  // gets the default message's bare line feed.
  Store(kStore1, "Quorvel:Quota Message", {"Full.\r\nSorry."});
  ASSERT_NE(Open(kQuota), nullptr);
  SetItemText(page_, IDC_ZU_MESSAGE, "Full.\r\nSorry.\r\nBye.");
  EXPECT_EQ(ApplyPage(ZELMQuotaDlgProc), 1);
  EXPECT_EQ(Read(kStore1, "Quorvel:Quota Message"), Values{"Full.\r\nSorry.\r\nBye."});
  Store(kStore1, "Quorvel:Quota Message", {});
  ASSERT_NE(Open(kQuota), nullptr);
  SetItemText(page_, IDC_ZU_MESSAGE, "Full.\r\nBye.");
  EXPECT_EQ(ApplyPage(ZELMQuotaDlgProc), 1);
  EXPECT_EQ(Read(kStore1, "Quorvel:Quota Message"), Values{"Full.\nBye."});
  EXPECT_TRUE(Changed());
}

TEST_F(StorePages, QuotaAndSingleCopyWithoutRightsWriteNothing) {
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(kQuota), nullptr);
  for (int id : {IDC_ZU_PER_USER, IDC_ZU_SYSTEM, IDC_ZU_VALUE, IDC_ZU_MESSAGE})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_EQ(ApplyPage(ZELMQuotaDlgProc), 1);
  ASSERT_NE(Open(kScms), nullptr);
  for (int id : {IDC_ZS_SIZE, IDC_ZS_USERS, IDC_ZS_GROUP}) EXPECT_FALSE(IsItemEnabled(page_, id));
  EXPECT_EQ(ItemText(page_, IDC_ZS_SIZE), "4");
  EXPECT_EQ(ItemText(page_, IDC_ZS_USERS), "2");
  EXPECT_EQ(ApplyPage(ZELMSCMSDlgProc), 1);
  EXPECT_FALSE(Changed());
}

TEST_F(StorePages, SingleCopyThresholdsAreWrittenAsTyped) {
  ASSERT_NE(Open(kScms), nullptr);
  SetItemText(page_, IDC_ZS_SIZE, "16");
  EXPECT_TRUE(ApplyEnabled());
  SetItemText(page_, IDC_ZS_USERS, "");
  EXPECT_EQ(ApplyPage(ZELMSCMSDlgProc), 1);
  EXPECT_EQ(Read(kStore1, "Quorvel:SCMS Size Threshold"), Values{"16"});
  EXPECT_TRUE(Read(kStore1, "Quorvel:SCMS User Threshold").empty());
  EXPECT_TRUE(Changed());
}

// ---- trusted hosts and clients ---------------------------------------------------------------

TEST_F(StorePages, TrustedHostsTakeOnlyDottedQuads) {
  MessageBoxInterceptor boxes;
  ASSERT_NE(Open(kTrusted), nullptr);
  EXPECT_EQ(ListItems(page_, IDC_ZT_LIST), (Values{"10.0.0.1", "10.0.0.2"}));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_ZT_ADD));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_ZT_REMOVE));
  EXPECT_EQ(SendDlgItemMessageA(page_, IDC_ZT_ADDRESS, EM_GETLIMITTEXT, 0, 0), 1023);

  SetItemText(page_, IDC_ZT_ADDRESS, "255.255.255.255");
  EXPECT_TRUE(IsItemEnabled(page_, IDC_ZT_ADD));
  ClickItem(page_, IDC_ZT_ADD);
  EXPECT_EQ(ItemText(page_, IDC_ZT_ADDRESS), "");
  EXPECT_FALSE(IsItemEnabled(page_, IDC_ZT_ADD));
  EXPECT_TRUE(boxes.Boxes().empty());

  for (const char* bad : {"192.168.1.1 ", "0.1.2.3", "1.2.3", "1.2.3.256"}) {
    boxes.Clear();
    SetItemText(page_, IDC_ZT_ADDRESS, bad);
    ClickItem(page_, IDC_ZT_ADD);
    ASSERT_EQ(boxes.Boxes().size(), 1u) << bad;
    EXPECT_EQ(boxes.Boxes()[0].caption, "Error");
    EXPECT_EQ(boxes.Boxes()[0].text, "Address is not in a valid format!");
    EXPECT_EQ(ItemText(page_, IDC_ZT_ADDRESS), bad);  // kept for mending
  }
  EXPECT_EQ(ListItems(page_, IDC_ZT_LIST), (Values{"10.0.0.1", "10.0.0.2", "255.255.255.255"}));

  SelectRows(page_, IDC_ZT_LIST, {0, 2});
  EXPECT_TRUE(IsItemEnabled(page_, IDC_ZT_REMOVE));
  ClickItem(page_, IDC_ZT_REMOVE);
  EXPECT_FALSE(IsItemEnabled(page_, IDC_ZT_REMOVE));
  EXPECT_EQ(ListItems(page_, IDC_ZT_LIST), Values{"10.0.0.2"});
  EXPECT_EQ(ApplyPage(ZELMTrustedHostsDlgProc), 1);
  EXPECT_EQ(Read(kStore1, "Quorvel:ZELM Trusted Hosts"), Values{"10.0.0.2"});
  EXPECT_TRUE(Changed());
}

TEST_F(StorePages, ClientsAreListedAndNothingIsWritten) {
  ASSERT_NE(Open(kClients), nullptr);
  EXPECT_EQ(ListItems(page_, IDC_ZL_LIST), Values{kSMTP1});
  EXPECT_EQ(ApplyPage(ZELMClientsDlgProc), 1);
  EXPECT_FALSE(Changed());
}

TEST_F(StorePages, EachPageOpensItsOwnHelp) {
  HelpViewer help;
  const int pages[] = {kQueue, kContext, kQuota, kScms, kStatus, kTrusted, kClients};
  for (int index : pages) {
    ASSERT_NE(Open(index), nullptr);
    SendMessageA(page_, QZX_PAGE_HELP, 0, 0);
  }
  EXPECT_EQ(help.contexts, (std::vector<long>{19, 22, 21, 24, 11, 23, 20}));
}

}  // namespace
}  // namespace agentstest
