// The pages every agent shares, on the SMTP agent's sheet as its object
// procedure hands them out (after its own three): status with its notices, queue server and store
// servers with the store agents' back-references; the services container,
// the mail-agent base class and the file server's page; and help, which
// each page asks for with its own id (the shared pages with the agent's).
#include <gtest/gtest.h>

#include "server_fixture.h"

namespace msgsrvtest {
namespace {

constexpr char kAgentClass[] = "Quorvel:SMTP Agent";
enum { kQueuePage = 3, kStorePage = 4, kStatusPage = 5 };

class SharedPages : public ServerSnapin {
 protected:
  HWND Open(int index, const char* name = kSMTP, const char* className = kAgentClass) {
    if (sheet_) Close(sheet_);
    sheet_ = OpenSheet(name, className, index);
    page_ = sheet_ ? CurrentPage(sheet_) : nullptr;
    return page_;
  }
  void TearDown() override {
    if (sheet_) Close(sheet_);
    ServerSnapin::TearDown();
  }
  HWND StoreList() const { return GetWindow(GetDlgItem(page_, IDC_ZTS_LIST), GW_CHILD); }
  Values StoresShown() const {
    Values out;
    for (int i = 0, n = static_cast<int>(SendMessageA(StoreList(), LB_GETCOUNT, 0, 0)); i < n; ++i) {
      char text[300] = {};
      SendMessageA(StoreList(), LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      out.push_back(text);
    }
    return out;
  }
  void RemoveStore(int row) {
    SendMessageA(StoreList(), LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    SendMessageA(StoreList(), WM_KEYDOWN, VK_DELETE, 1);
  }
  // Picks a store agent of MS1 in the host's browser.
  static void PickStore(HWND browser, const char* leaf) {
    for (const char* step : {"Internet Services", "MS1"}) {
      if (!PickRow(browser, IDC_BR_LIST, step)) continue;  // already there
      ClickItem(browser, IDOK);
    }
    ASSERT_TRUE(PickRow(browser, IDC_BR_LIST, leaf));
    ClickItem(browser, IDOK);
  }
  Values Clients(const char* store) const { return Read(store, "Quorvel:Client"); }

  HWND sheet_ = nullptr;
  HWND page_ = nullptr;
};

// ---- status ----------------------------------------------------------------------

TEST_F(SharedPages, StatusTellsTheServerTheAgentsStateOnEveryApply) {
  ASSERT_NE(Open(kStatusPage), nullptr);
  EXPECT_EQ(Tabs(sheet_), (std::vector<std::string>{"Identification", "Options", "UBE Prevention",
                                                    "Queue Server", "Monitored Queues", "Status"}));
  EXPECT_EQ(ItemText(page_, 10), kSMTP);
  EXPECT_FALSE(IsItemChecked(page_, IDC_AGS_DISABLE));
  EXPECT_TRUE(Apply(sheet_));  // unchanged: enabled all the same
  ClickItem(page_, IDC_AGS_DISABLE);
  EXPECT_TRUE(ApplyEnabled(sheet_));
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kSMTP, "Quorvel:Disabled"), Values{"1"});
  EXPECT_EQ(Read(kSMTP, "Quorvel:Config Changed"), Values{"1"});
  // Enabled, then disabled, each request whole; the sheet opens on its first
  // page too, whose applies tell of a change.
  using snapintest::ConfigNotice;
  std::vector<std::string> states;
  for (const std::string& r : snapintest::SentRequests(service_))
    if (r != ConfigNotice(3, "SMTPAGNT.QMD")) states.push_back(r);
  EXPECT_EQ(states, (std::vector<std::string>{ConfigNotice(1, "SMTPAGNT.QMD"),
                                              ConfigNotice(2, "SMTPAGNT.QMD")}));
}

TEST_F(SharedPages, StatusWithoutTheRightWritesAndTellsNothing) {
  As("Manager.Sales.Acme");
  ASSERT_NE(Open(kStatusPage), nullptr);
  EXPECT_FALSE(IsItemEnabled(page_, IDC_AGS_DISABLE));
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_TRUE(Read(kSMTP, "Quorvel:Config Changed").empty());
  EXPECT_EQ(service_.Connections(), 0);

  As("Joe.Sales.Acme");  // may write the agent's state, nothing else
  ASSERT_NE(Open(kStatusPage), nullptr);
  EXPECT_TRUE(IsItemEnabled(page_, IDC_AGS_DISABLE));
  ClickItem(page_, IDC_AGS_DISABLE);
  g_snapin.autoReload = 0;
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kSMTP, "Quorvel:Disabled"), Values{"1"});
  EXPECT_EQ(service_.Connections(), 0);
}

// ---- queue server ------------------------------------------------------------------

TEST_F(SharedPages, MovingTheQueueServerMovesTheAgentBetweenClientLists) {
  g_snapin.autoReload = 0;
  ASSERT_NE(Open(kQueuePage), nullptr);
  EXPECT_EQ(ItemText(page_, IDC_ZQS_SERVER), kStoreQ);
  SetItemText(page_, IDC_ZQS_SERVER, kStoreC);
  EXPECT_FALSE(ApplyEnabled(sheet_));  // typing alone reports no change
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kSMTP, "Quorvel:ZELM Queue Server"), Values{kStoreC});
  EXPECT_EQ(Clients(kStoreQ), Values{"Other Agent.MS1.Internet Services"});
  EXPECT_EQ(Clients(kStoreC), Values{kSMTP});
  EXPECT_EQ(Read(kSMTP, "Quorvel:Config Changed"), Values{"1"});
  ExpectWritten({{kSMTP, "Quorvel:ZELM Queue Server", kStoreC, 1},
                 {kStoreC, "Quorvel:Client", kSMTP, 1}});

  // Unchanged: the reference stays, once.
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Clients(kStoreC), Values{kSMTP});

  // A store agent the agent also monitors keeps the reference when it stops
  // being the queue server; one of another messaging server is found too.
  SetItemText(page_, IDC_ZQS_SERVER, kStoreA);
  EXPECT_TRUE(Apply(sheet_));
  SetItemText(page_, IDC_ZQS_SERVER, "ZELM Agent.MS2.Internet Services");
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Clients(kStoreC), Values{});
  EXPECT_EQ(Clients(kStoreA), Values{kSMTP});
  EXPECT_EQ(Clients("ZELM Agent.MS2.Internet Services"), Values{kSMTP});
}

TEST_F(SharedPages, AnEmptyQueueServerIsRefusedEvenWithoutAPreviousOne) {
  Store(kSMTP, "Quorvel:ZELM Queue Server", {});
  ASSERT_NE(Open(kQueuePage), nullptr);
  EXPECT_EQ(ItemText(page_, IDC_ZQS_SERVER), "");
  MessageBoxInterceptor boxes;
  EXPECT_FALSE(Apply(sheet_));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Missing mandatory value");
  EXPECT_EQ(boxes.Boxes()[0].text, "ZELM Queue Server required!");
  EXPECT_TRUE(HasFocus(page_, IDC_ZQS_SERVER));
  // A first queue server takes nobody's reference away.
  g_snapin.autoReload = 0;
  SetItemText(page_, IDC_ZQS_SERVER, "Store C");  // a name in the agent's own server
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kSMTP, "Quorvel:ZELM Queue Server"), Values{"Store C"});
  EXPECT_EQ(Clients(kStoreC), Values{kSMTP});
  EXPECT_EQ(Clients(kStoreQ), (Values{kSMTP, "Other Agent.MS1.Internet Services"}));
}

TEST_F(SharedPages, TheQueueServerFieldTakes255TypedCharacters) {
  ASSERT_NE(Open(kQueuePage), nullptr);
  HWND edit = GetDlgItem(page_, IDC_ZQS_SERVER);
  SetWindowTextA(edit, "");
  for (int i = 0; i < 256; ++i) SendMessageA(edit, WM_CHAR, 'q', 1);
  EXPECT_EQ(ItemText(page_, IDC_ZQS_SERVER), std::string(255, 'q'));
}

TEST_F(SharedPages, BrowsingPicksAStoreAgentAndMarksTheChange) {
  ASSERT_NE(Open(kQueuePage), nullptr);
  {
    ModalDriver driver;
    driver.Then([](HWND b) { PickStore(b, "Store B"); });
    ClickItem(page_, IDC_ZQS_BROWSE);
    EXPECT_TRUE(driver.Unexpected().empty());
  }
  EXPECT_EQ(ItemText(page_, IDC_ZQS_SERVER), kStoreB);
  EXPECT_TRUE(ApplyEnabled(sheet_));
  {
    ModalDriver driver;
    driver.Then([](HWND b) { ClickItem(b, IDCANCEL); });
    ClickItem(page_, IDC_ZQS_BROWSE);
  }
  EXPECT_EQ(ItemText(page_, IDC_ZQS_SERVER), kStoreB);
}

TEST_F(SharedPages, QueueServerWithoutTheRightIsReadOnly) {
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(kQueuePage), nullptr);
  EXPECT_FALSE(IsItemEnabled(page_, IDC_ZQS_SERVER));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_ZQS_BROWSE));
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Clients(kStoreQ), (Values{kSMTP, "Other Agent.MS1.Internet Services"}));
  EXPECT_EQ(service_.Connections(), 0);
}

// ---- store servers ------------------------------------------------------------------

TEST_F(SharedPages, ReplacingStoreServersKeepsTheReferenceOfOneThatStays) {
  g_snapin.autoReload = 0;
  ASSERT_NE(Open(kStorePage), nullptr);
  EXPECT_EQ(StoresShown(), (Values{kStoreA, kStoreB}));
  RemoveStore(0);  // A
  {
    ModalDriver driver;
    driver.Then([](HWND b) { PickStore(b, "Store C"); });
    SendMessageA(StoreList(), WM_KEYDOWN, VK_INSERT, 1);
    EXPECT_TRUE(driver.Unexpected().empty());
  }
  EXPECT_EQ(StoresShown(), (Values{kStoreB, kStoreC}));
  EXPECT_TRUE(ApplyEnabled(sheet_));
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kSMTP, "Quorvel:ZELM Server"), (Values{kStoreB, kStoreC}));
  EXPECT_TRUE(Clients(kStoreA).empty());
  EXPECT_EQ(Clients(kStoreB), Values{kSMTP});
  EXPECT_EQ(Clients(kStoreC), Values{kSMTP});
  EXPECT_EQ(Read(kSMTP, "Quorvel:Config Changed"), Values{"1"});
  ExpectWritten({{kSMTP, "Quorvel:ZELM Server", kStoreC, 1},
                 {kStoreC, "Quorvel:Client", kSMTP, 1}});

  // The queue server stays one's client when it stops being monitored.
  RemoveStore(0);  // B
  {
    ModalDriver driver;
    driver.Then([](HWND b) { PickStore(b, "Store Q"); });
    SendMessageA(StoreList(), WM_KEYDOWN, VK_INSERT, 1);
  }
  EXPECT_TRUE(Apply(sheet_));
  RemoveStore(1);  // Q
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kSMTP, "Quorvel:ZELM Server"), Values{kStoreC});
  EXPECT_TRUE(Clients(kStoreB).empty());
  EXPECT_EQ(Clients(kStoreQ), (Values{kSMTP, "Other Agent.MS1.Internet Services"}));
}

TEST_F(SharedPages, AtLeastOneStoreServerIsRequired) {
  ASSERT_NE(Open(kStorePage), nullptr);
  RemoveStore(0);
  RemoveStore(0);
  MessageBoxInterceptor boxes;
  EXPECT_FALSE(Apply(sheet_));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Missing mandatory value");
  EXPECT_EQ(boxes.Boxes()[0].text, "At least on ZELM Agent required!");
  EXPECT_EQ(Read(kSMTP, "Quorvel:ZELM Server"), (Values{kStoreA, kStoreB}));
  EXPECT_EQ(Clients(kStoreB), Values{kSMTP});
}

TEST_F(SharedPages, AStoreServerErrorStopsTheApplyBeforeTheReferences) {
  ASSERT_NE(Open(kStorePage), nullptr);
  RemoveStore(1);  // B
  Store(kSMTP, "Quorvel:ZELM Server", {kStoreC});  // changed meanwhile
  MessageBoxInterceptor boxes;
  EXPECT_FALSE(Apply(sheet_));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "[-602] Directory Error");
  EXPECT_EQ(Clients(kStoreB), Values{kSMTP});
  EXPECT_TRUE(Clients(kStoreC).empty());
}

TEST_F(SharedPages, StoreServersWithoutTheRightAreReadOnly) {
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(kStorePage), nullptr);
  EXPECT_EQ(StoresShown(), (Values{kStoreA, kStoreB}));
  for (int id : {IDC_ZTS_EDIT, IDC_ZTS_SPIN, IDC_ZTS_LIST}) EXPECT_FALSE(IsItemEnabled(page_, id));
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kSMTP, "Quorvel:ZELM Server"), (Values{kStoreA, kStoreB}));
}

// ---- services container, mail-agent base, file server ---------------------------------

TEST_F(SharedPages, TheServicesContainerHasOneFixedPageTheAgentBaseNone) {
  ASSERT_NE(Open(0, "Internet Services", "Quorvel:Services"), nullptr);
  EXPECT_EQ(Tabs(sheet_), std::vector<std::string>{"Information"});
  EXPECT_EQ(ItemText(page_, IDC_SVI_HEADING), "Internet Services Container");
  EXPECT_TRUE(Apply(sheet_));
  Close(sheet_);
  sheet_ = nullptr;
  zelm::host::ClassProc services = ProcOf("Quorvel:Services");
  char created[QZX_NAME_BYTES] = "untouched";
  EXPECT_EQ(services.reg.procedure("[Root]", QZX_MSG_CREATE, reinterpret_cast<intptr_t>(created), 0), 0);
  EXPECT_STREQ(created, "untouched");
  EXPECT_EQ(services.flags, 0x489u);
  EXPECT_EQ(zelm::host::ClassDescription("Quorvel:Services"), "Internet Services");

  zelm::host::ClassProc base = ProcOf("Quorvel:Mail Agent");
  EXPECT_EQ(base.reg.procedure("MS1.Internet Services", QZX_MSG_CREATE,
                               reinterpret_cast<intptr_t>(created), 0), 0);
  EXPECT_EQ(base.reg.procedure(kSMTP, QZX_MSG_OPEN, 0, 0), 0);
  EXPECT_EQ(base.flags, 0x400u);
  EXPECT_EQ(base.kind, 1);
  EXPECT_EQ(zelm::host::ClassDescription("Quorvel:Mail Agent"), "Quorvel Abstract Agent Baseclass");
}

TEST_F(SharedPages, TheFileServerPageNamesItsMessagingServer) {
  ASSERT_NE(Open(0, "FS1.Acme", "HVX Server"), nullptr);
  EXPECT_EQ(Tabs(sheet_), std::vector<std::string>{"Halcyn Korrat Information"});
  EXPECT_EQ(ItemText(page_, 10), "FS1.Acme");
  EXPECT_EQ(ItemText(page_, IDC_SRV_RUNNING), kMS1);
  EXPECT_TRUE(Apply(sheet_));
  ASSERT_NE(Open(0, "FS2.Acme", "HVX Server"), nullptr);
  EXPECT_EQ(ItemText(page_, IDC_SRV_RUNNING), "<No Messaging Server running>");
  EXPECT_EQ(zelm::host::ClassDescription("HVX Server"), "");  // the host keeps its own icons
  EXPECT_EQ(ProcOf("HVX Server").flags, 0u);
}

TEST_F(SharedPages, HelpTakesEachPagesIdTheSharedOnesTheAgentClasss) {
  HelpViewer viewer;
  auto helpOn = [&](const char* name, const char* className, int index) -> long {
    Open(index, name, className);
    viewer.requests.clear();
    PropSheet_PressButton(sheet_, PSBTN_HELP);
    PumpMessages();
    if (viewer.requests.size() != 1) return -1;
    EXPECT_EQ(viewer.requests[0].command, 1u);  // context help
    EXPECT_NE(viewer.requests[0].file.find("tarq.hlp"), std::string::npos);
    return viewer.requests[0].context;
  };
  struct Row {
    const char* name;
    const char* className;
    int index;
    long id;
  } rows[] = {
      {kMS1, "Quorvel:Messaging Server", 0, 2}, {kMS1, "Quorvel:Messaging Server", 1, 3},
      {kMS1, "Quorvel:Messaging Server", 2, 5}, {kMS1, "Quorvel:Messaging Server", 3, 7},
      {kMS1, "Quorvel:Messaging Server", 4, 4}, {"Internet Services", "Quorvel:Services", 0, 44},
      {"FS1.Acme", "HVX Server", 0, 43},        {kSMTP, kAgentClass, kStatusPage, 11},
      {kSMTP, kAgentClass, kQueuePage, 37},     {kSMTP, kAgentClass, kStorePage, 45},
  };
  for (const Row& row : rows) EXPECT_EQ(helpOn(row.name, row.className, row.index), row.id) << row.name << " " << row.index;
  // Another class sets other ids; the pages follow.
  SetStoreServerHelpId(36);
  SetQueueServerHelpId(99);
  Open(kStorePage);  // the SMTP agent sets its own again when asked for pages
  EXPECT_EQ(StoreServerHelpId(), 45);
  SetStoreServerHelpId(36);
  viewer.requests.clear();
  PropSheet_PressButton(sheet_, PSBTN_HELP);
  PumpMessages();
  ASSERT_EQ(viewer.requests.size(), 1u);
  EXPECT_EQ(viewer.requests[0].context, 36);
}

}  // namespace
}  // namespace msgsrvtest
