// "MsgSrvIdentification" in the host's sheet on a real directory: what it
// shows and lets each identity change, the apply in its order with the host
// server's back-references, its refusals and warnings, and directory errors
// that stop it with earlier writes kept.
#include <gtest/gtest.h>

#include "server_fixture.h"

namespace msgsrvtest {
namespace {

constexpr char kMessagingServerClass[] = "Quorvel:Messaging Server";

class Identification : public ServerSnapin {
 protected:
  HWND Open(const char* name = kMS1) {
    sheet_ = OpenSheet(name, kMessagingServerClass);
    page_ = sheet_ ? CurrentPage(sheet_) : nullptr;
    return page_;
  }
  void TearDown() override {
    if (sheet_) Close(sheet_);
    ServerSnapin::TearDown();
  }
  HWND Resolvers() const { return GetWindow(GetDlgItem(page_, IDC_MSI_RESOLVER_LIST), GW_CHILD); }
  std::vector<std::string> ResolversShown() const {
    std::vector<std::string> out;
    HWND list = Resolvers();
    for (int i = 0, n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)); i < n; ++i) {
      char text[300] = {};
      SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      out.push_back(text);
    }
    return out;
  }
  void AddResolver(const char* value) {
    HWND edit = GetDlgItem(page_, IDC_MSI_RESOLVER_EDIT);
    SetWindowTextA(edit, value);
    SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
  }
  void RemoveResolvers() {
    while (SendMessageA(Resolvers(), LB_GETCOUNT, 0, 0) > 0) {
      SendMessageA(Resolvers(), LB_SETCURSEL, 0, 0);
      SendMessageA(Resolvers(), WM_KEYDOWN, VK_DELETE, 1);
    }
  }
  std::vector<int> Enabled(const std::vector<int>& ids) const {
    std::vector<int> out;
    for (int id : ids)
      if (IsItemEnabled(page_, id)) out.push_back(id);
    return out;
  }

  HWND sheet_ = nullptr;
  HWND page_ = nullptr;
};

const std::vector<int> kRightControls = {
    IDC_MSI_HOST,          IDC_MSI_HOST_LABEL,       IDC_MSI_BROWSE_HOST,
    IDC_MSI_POSTMASTER,    IDC_MSI_POSTMASTER_LABEL, IDC_MSI_BROWSE_POSTMASTER,
    IDC_MSI_OFFICIAL,      IDC_MSI_OFFICIAL_LABEL,   IDC_MSI_WORKDIR,
    IDC_MSI_WORKDIR_LABEL, IDC_MSI_BROWSE_WORKDIR,   IDC_MSI_RESOLVER_EDIT,
    IDC_MSI_RESOLVER_SPIN, IDC_MSI_RESOLVER_LIST,    IDC_MSI_RESOLVER_LABEL,
    IDC_MSI_USE_CONNMGR,   IDC_MSI_CONNMGR,          IDC_MSI_BROWSE_CONNMGR,
    IDC_MSI_STANDALONE};

TEST_F(Identification, ShowsTheStoredValuesWithoutReportingAChange) {
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(ItemText(page_, 10), kMS1);
  EXPECT_EQ(ItemText(page_, IDC_MSI_HOST), "FS1.Acme");
  EXPECT_EQ(ItemText(page_, IDC_MSI_POSTMASTER), "Admin.Acme");
  EXPECT_EQ(ItemText(page_, IDC_MSI_OFFICIAL), "acme.example");
  EXPECT_EQ(ItemText(page_, IDC_MSI_WORKDIR), "FS1/SYS:mail");
  EXPECT_EQ(ItemText(page_, IDC_MSI_CONNMGR), "Connection Manager.MS1.Internet Services");
  EXPECT_TRUE(IsItemChecked(page_, IDC_MSI_USE_CONNMGR));
  EXPECT_FALSE(IsItemChecked(page_, IDC_MSI_STANDALONE));
  EXPECT_EQ(ResolversShown(), (Values{"10.0.0.53", "10.0.0.54"}));
  EXPECT_EQ(Enabled(kRightControls), kRightControls);
  EXPECT_FALSE(ApplyEnabled(sheet_));

  // What the user changes lights Apply; the connection manager's box and
  // field do not by themselves.
  ClickItem(page_, IDC_MSI_USE_CONNMGR);
  SetItemText(page_, IDC_MSI_CONNMGR, "x");
  EXPECT_FALSE(ApplyEnabled(sheet_));
  for (int id : {IDC_MSI_HOST, IDC_MSI_POSTMASTER, IDC_MSI_OFFICIAL, IDC_MSI_WORKDIR}) {
    Close(sheet_);
    ASSERT_NE(Open(), nullptr);
    SetItemText(page_, id, "changed");
    EXPECT_TRUE(ApplyEnabled(sheet_)) << id;
  }
  Close(sheet_);
  ASSERT_NE(Open(), nullptr);
  ClickItem(page_, IDC_MSI_STANDALONE);
  EXPECT_TRUE(ApplyEnabled(sheet_));
}

TEST_F(Identification, EachIdentityMayChangeOnlyWhatItMayWrite) {
  As("Joe.Sales.Acme");  // the official name only
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(Enabled(kRightControls), (std::vector<int>{IDC_MSI_OFFICIAL, IDC_MSI_OFFICIAL_LABEL}));
  SetItemText(page_, IDC_MSI_HOST, "");  // would be refused, were it written
  SetItemText(page_, IDC_MSI_POSTMASTER, "");
  SetItemText(page_, IDC_MSI_WORKDIR, "elsewhere");
  SetItemText(page_, IDC_MSI_OFFICIAL, "joe.example");
  MessageBoxInterceptor boxes;
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(Read(kMS1, "Quorvel:Official Name"), Values{"joe.example"});
  EXPECT_EQ(Read(kMS1, "Quorvel:Host"), Values{"FS1.Acme"});
  EXPECT_EQ(Read(kMS1, "Quorvel:Resolver"), (Values{"10.0.0.53", "10.0.0.54"}));
  Close(sheet_);
  sheet_ = nullptr;

  As("Manager.Sales.Acme");  // nothing of the services
  ASSERT_NE(Open(), nullptr);
  EXPECT_TRUE(Enabled(kRightControls).empty());
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kMS1, "Quorvel:Official Name"), Values{"joe.example"});
}

TEST_F(Identification, ApplyWritesEveryFieldAndMovesTheHostsReference) {
  ASSERT_NE(Open(), nullptr);
  SetItemText(page_, IDC_MSI_HOST, "FS3.Acme");
  SetItemText(page_, IDC_MSI_POSTMASTER, "Postie.Acme");
  SetItemText(page_, IDC_MSI_OFFICIAL, "");
  SetItemText(page_, IDC_MSI_WORKDIR, "fs3/SYS:queue");  // the host's name in any case
  AddResolver("10.0.0.55");
  ClickItem(page_, IDC_MSI_USE_CONNMGR);
  SetItemText(page_, IDC_MSI_CONNMGR, "Connection Manager.MS2.Internet Services");
  ClickItem(page_, IDC_MSI_STANDALONE);
  MessageBoxInterceptor boxes;
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(Read(kMS1, "Quorvel:Host"), Values{"FS3.Acme"});
  EXPECT_EQ(Read(kMS1, "Quorvel:Postmaster"), Values{"Postie.Acme"});
  EXPECT_TRUE(Read(kMS1, "Quorvel:Official Name").empty());
  EXPECT_EQ(Read(kMS1, "Quorvel:Work Directory"), Values{"fs3/SYS:queue"});
  EXPECT_EQ(Read(kMS1, "Quorvel:Resolver"), (Values{"10.0.0.53", "10.0.0.54", "10.0.0.55"}));
  EXPECT_EQ(Read(kMS1, "TARQ:ConnMgr Config"), Values{"0"});
  EXPECT_EQ(Read(kMS1, "TARQ:ConnMgr"), Values{"Connection Manager.MS2.Internet Services"});
  EXPECT_EQ(Read(kMS1, "Quorvel:Server Standalone"), Values{"1"});
  // The new host names this server; the old one no longer does, so it may
  // take another messaging server.
  EXPECT_EQ(Read("FS3.Acme", "Quorvel:Messaging Server"), Values{kMS1});
  EXPECT_TRUE(Read("FS1.Acme", "Quorvel:Messaging Server").empty());
  // References as distinguished names, the rest as text.
  ExpectWritten({{kMS1, "Quorvel:Host", "FS3.Acme", 1},
                 {kMS1, "Quorvel:Postmaster", "Postie.Acme", 1},
                 {kMS1, "Quorvel:Work Directory", "fs3/SYS:queue", 3},
                 {kMS1, "Quorvel:Resolver", "10.0.0.55", 3},
                 {kMS1, "TARQ:ConnMgr Config", "0", 3},
                 {kMS1, "TARQ:ConnMgr", "Connection Manager.MS2.Internet Services", 1},
                 {kMS1, "Quorvel:Server Standalone", "1", 3},
                 {"FS3.Acme", "Quorvel:Messaging Server", kMS1, 1}});
  // The page asks nothing of the running server.
  EXPECT_TRUE(service_.Requests().empty());

  // A second apply of the open sheet starts from what is stored now.
  SetItemText(page_, IDC_MSI_OFFICIAL, "again.example");
  SetItemText(page_, IDC_MSI_POSTMASTER, "Admin.Acme");
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(Read(kMS1, "Quorvel:Official Name"), Values{"again.example"});
  EXPECT_EQ(Read(kMS1, "Quorvel:Postmaster"), Values{"Admin.Acme"});
  EXPECT_EQ(Read("FS3.Acme", "Quorvel:Messaging Server"), Values{kMS1});
}

TEST_F(Identification, TheOldHostKeepsAReferenceToAnotherServer) {
  Store("FS1.Acme", "Quorvel:Messaging Server", {"MS2.Internet Services"});
  Store("FS3.Acme", "Quorvel:Messaging Server", {"Someone Else.Internet Services"});
  ASSERT_NE(Open(), nullptr);
  SetItemText(page_, IDC_MSI_HOST, "FS3.Acme");
  SetItemText(page_, IDC_MSI_WORKDIR, "FS3/SYS:");
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read("FS1.Acme", "Quorvel:Messaging Server"), Values{"MS2.Internet Services"});
  EXPECT_EQ(Read("FS3.Acme", "Quorvel:Messaging Server"), Values{kMS1});
}

TEST_F(Identification, AnUnchangedHostLeavesItsReferenceAlone) {
  Store("FS1.Acme", "Quorvel:Messaging Server", {".MS1.Internet Services"});
  ASSERT_NE(Open(), nullptr);
  SetItemText(page_, IDC_MSI_HOST, "fs1.acme");  // the same server
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Read(kMS1, "Quorvel:Host"), Values{"FS1.Acme"});  // equal ignoring case: kept
  EXPECT_EQ(Read("FS1.Acme", "Quorvel:Messaging Server"), Values{".MS1.Internet Services"});
}

TEST_F(Identification, RefusalsNameTheFieldAndKeepWhatWasWrittenBefore) {
  struct Row {
    int field;
    const char* text;
    const char* caption;
    const char* message;
    bool hostWritten;  // steps before the refused one took effect
  } rows[] = {
      {IDC_MSI_HOST, "", "Missing mandatory value", "Host required", false},
      {IDC_MSI_WORKDIR, "MAIL2/SYS:mail", "Bad path selected",
       "You must select a path on the server you are running TARQ", true},
      {IDC_MSI_WORKDIR, "", "Bad path selected",
       "You must select a path on the server you are running TARQ", true},
      {IDC_MSI_POSTMASTER, "", "Missing mandatory value", "You must specify a postmaster!", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    Store(kMS1, "Quorvel:Host", {"FS1.Acme"});
    Store(kMS1, "Quorvel:Work Directory", {"FS1/SYS:mail"});
    ASSERT_NE(Open(), nullptr);
    SetItemText(page_, IDC_MSI_HOST, "FS3.Acme");
    SetItemText(page_, IDC_MSI_WORKDIR, "FS3/SYS:mail");
    SetItemText(page_, IDC_MSI_OFFICIAL, "never.example");
    SetItemText(page_, row.field, row.text);
    MessageBoxInterceptor boxes;
    EXPECT_FALSE(Apply(sheet_));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, row.caption);
    EXPECT_EQ(boxes.Boxes()[0].text, row.message);
    EXPECT_TRUE(HasFocus(page_, row.field));
    EXPECT_EQ(CurrentPage(sheet_), page_);  // the sheet stays on the page
    EXPECT_EQ(Read(kMS1, "Quorvel:Host"), Values{row.hostWritten ? "FS3.Acme" : "FS1.Acme"});
    EXPECT_EQ(Read(kMS1, "Quorvel:Official Name"), Values{"acme.example"});
    Close(sheet_);
    sheet_ = nullptr;
  }
}

TEST_F(Identification, TheWorkDirectoryMustLieOnTheHostServer) {
  struct Row {
    const char* host;
    const char* path;
    bool accepted;
  } rows[] = {
      {"MAIL1.Sales.Acme", "MAIL1/SYS:mail", true},
      {"MAIL1.Sales.Acme", "mail1/SYS:mail", true},
      {"MAIL1.Sales.Acme", "Mail1", true},
      {"MAIL1.Sales.Acme", "MAIL2/SYS:mail", false},
      {"MAIL1.Sales.Acme", "MAIL", false},
      {".FS1.Acme", "FS1/SYS:", true},  // a host named from the root is FS1 all the same
      {".FS1.Acme", "/SYS:", false},
      {"FS1", "fs1/SYS:", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.host) + " " + row.path);
    Store(kMS1, "Quorvel:Host", {row.host});
    Store(kMS1, "Quorvel:Work Directory", {});
    ASSERT_NE(Open(), nullptr);
    SetItemText(page_, IDC_MSI_WORKDIR, row.path);
    MessageBoxInterceptor boxes;
    EXPECT_EQ(Apply(sheet_), row.accepted);
    EXPECT_EQ(boxes.Boxes().size(), row.accepted ? 0u : 1u);
    EXPECT_EQ(Read(kMS1, "Quorvel:Work Directory"), row.accepted ? Values{row.path} : Values{});
    Close(sheet_);
    sheet_ = nullptr;
  }
}

TEST_F(Identification, NoResolverIsWarnedOfButStillWritten) {
  ASSERT_NE(Open(), nullptr);
  RemoveResolvers();
  SetItemText(page_, IDC_MSI_OFFICIAL, "after.example");
  MessageBoxInterceptor boxes;
  EXPECT_TRUE(Apply(sheet_));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Information");
  EXPECT_EQ(boxes.Boxes()[0].text, "You cannot send mail to\nremote hosts without a resolver!");
  EXPECT_TRUE(Read(kMS1, "Quorvel:Resolver").empty());
  EXPECT_EQ(Read(kMS1, "Quorvel:Official Name"), Values{"after.example"});  // the apply went on
}

TEST_F(Identification, ADirectoryErrorStopsTheApplyAtItsField) {
  ASSERT_NE(Open(), nullptr);
  SetItemText(page_, IDC_MSI_POSTMASTER, "Postie.Acme");
  SetItemText(page_, IDC_MSI_OFFICIAL, "mine.example");
  ClickItem(page_, IDC_MSI_STANDALONE);
  // Another administrator changed the official name meanwhile: the value the
  // page would replace is gone.
  Store(kMS1, "Quorvel:Official Name", {"theirs.example"});
  MessageBoxInterceptor boxes;
  EXPECT_FALSE(Apply(sheet_));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "[-602] Directory Error");
  EXPECT_EQ(boxes.Boxes()[0].text, "No such value");
  EXPECT_TRUE(HasFocus(page_, IDC_MSI_OFFICIAL));
  EXPECT_EQ(Read(kMS1, "Quorvel:Postmaster"), Values{"Postie.Acme"});       // before: kept
  EXPECT_EQ(Read(kMS1, "Quorvel:Official Name"), Values{"theirs.example"});
  EXPECT_EQ(Read(kMS1, "Quorvel:Server Standalone"), Values{"0"});         // after: not reached
}

TEST_F(Identification, BrowsingFillsTheFieldAndACancelledBrowseLeavesIt) {
  directory_->MakeFolder("vol\\SYS\\queue");
  ASSERT_NE(Open(), nullptr);
  {
    ModalDriver driver;
    driver.Then([](HWND b) {
      ASSERT_TRUE(PickRow(b, IDC_BR_LIST, "Acme"));
      ClickItem(b, IDOK);  // a container is opened
      ASSERT_TRUE(PickRow(b, IDC_BR_LIST, "Postie"));
      ClickItem(b, IDOK);
    });
    ClickItem(page_, IDC_MSI_BROWSE_POSTMASTER);
    EXPECT_TRUE(driver.Unexpected().empty());
  }
  EXPECT_EQ(ItemText(page_, IDC_MSI_POSTMASTER), "Postie.Acme");
  {
    ModalDriver driver;
    driver.Then([](HWND b) { ClickItem(b, IDCANCEL); });
    ClickItem(page_, IDC_MSI_BROWSE_HOST);
  }
  EXPECT_EQ(ItemText(page_, IDC_MSI_HOST), "FS1.Acme");
  {
    ModalDriver driver;
    driver.Then([](HWND b) {
      ASSERT_TRUE(PickRow(b, IDC_BR_LIST, "FS1"));
      ClickItem(b, IDOK);
      ASSERT_TRUE(PickRow(b, IDC_BR_LIST, "SYS"));
      ClickItem(b, IDOK);
    });
    ClickItem(page_, IDC_MSI_BROWSE_WORKDIR);  // the host's file servers
    EXPECT_TRUE(driver.Unexpected().empty());
  }
  EXPECT_EQ(ItemText(page_, IDC_MSI_WORKDIR), "FS1/SYS:");
  EXPECT_TRUE(ApplyEnabled(sheet_));
}

}  // namespace
}  // namespace msgsrvtest
