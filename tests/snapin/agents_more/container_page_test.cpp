// The options page of organizations and organizational units in the
// host's sheet: the message store path checked against the file server of
// the messaging server serving the container, the domain, rights and the
// object procedure's answers; and the help each configuration page asks for
// and what each tells the running server.
#include <gtest/gtest.h>

#include "agents_more_fixture.h"

namespace agentstest {
namespace {

constexpr char kSales[] = "Sales.Acme";  // served by MS2 on FS1
constexpr char kOU[] = "Organizational Unit";

class ContainerPage : public MorePages {
 protected:
  Values StorePath(const char* container) { return Read(container, "Quorvel:Message Store"); }
  Values Domains(const char* container) { return Read(container, "Quorvel:Domain"); }
  INT_PTR ApplyOptions() { return ApplyPage(ContextDlgProc); }
};

TEST_F(ContainerPage, ObjectProcedureOffersOnePageFromTheResourceModule) {
  EXPECT_EQ(ContainerObjProc(kSales, QZX_MSG_OPEN, 0, 0), 1);
  EXPECT_STREQ(g_snapin.currentObject, kSales);
  EXPECT_STREQ(g_snapin.browse, kSales);
  QZXPageRecord record = {};
  EXPECT_EQ(ContainerObjProc(kSales, QZX_MSG_PAGE, 0, reinterpret_cast<intptr_t>(&record)), 0);
  EXPECT_STREQ(record.templateName, "Context");
  EXPECT_STREQ(record.title, "Halcyn Korrat Options");
  EXPECT_EQ(record.instance, ResourceModule());
  QZXPageRecord untouched = {};
  EXPECT_EQ(ContainerObjProc(kSales, QZX_MSG_PAGE, 1, reinterpret_cast<intptr_t>(&untouched)), -1);
  EXPECT_EQ(untouched.templateName, nullptr);
  // The directory's own classes keep their class data, flags and creation.
  for (uint32_t message : {QZX_MSG_CLASS_DATA, QZX_MSG_REMOVE_CLASS_DATA, QZX_MSG_CREATE,
                           QZX_MSG_CLASS_KIND, QZX_MSG_DELETE, QZX_MSG_CLASS_FLAGS})
    EXPECT_EQ(ContainerObjProc(kSales, message, 0, 0), 0) << message;
}

TEST_F(ContainerPage, APathOnTheServingServerIsWrittenAndOthersAreRefused) {
  ASSERT_NE(OpenOptions(kSales, kOU), nullptr);
  EXPECT_EQ(ItemText(page_, 10), kSales);
  EXPECT_TRUE(IsItemEnabled(page_, IDC_CTX_STORE));
  EXPECT_TRUE(IsItemEnabled(page_, IDC_CTX_BROWSE_STORE));
  EXPECT_TRUE(IsItemEnabled(page_, IDC_CTX_DOMAIN));
  EXPECT_EQ(ItemText(page_, IDC_CTX_STORE), "");

  MessageBoxInterceptor boxes;
  // Another volume name, and a server whose name only begins like FS1's.
  for (const char* path : {"DATA:MAIL", "FS10/DATA:MAIL"}) {
    SetItemText(page_, IDC_CTX_STORE, path);
    SetItemText(page_, IDC_CTX_DOMAIN, "sales.example");
    boxes.Clear();
    EXPECT_EQ(ApplyOptions(), 0) << path;
    ASSERT_EQ(boxes.Boxes().size(), 1u) << path;
    EXPECT_EQ(boxes.Boxes()[0].caption, "Bad path selected");
    EXPECT_EQ(boxes.Boxes()[0].text, "You must select a path on the server you are running TARQ");
    EXPECT_TRUE(Focused(IDC_CTX_STORE));
    EXPECT_TRUE(StorePath(kSales).empty());
    EXPECT_TRUE(Domains(kSales).empty());
  }

  SetItemText(page_, IDC_CTX_STORE, "fs1/DATA:MAIL");
  EXPECT_TRUE(ApplyEnabled());
  EXPECT_EQ(ApplyOptions(), 1);
  EXPECT_EQ(StorePath(kSales), Values{"fs1/DATA:MAIL"});
  EXPECT_EQ(Domains(kSales), Values{"sales.example"});
  ExpectWritten({{kSales, "Quorvel:Message Store", "fs1/DATA:MAIL", 1},
                 {kSales, "Quorvel:Domain", "sales.example", 3}});
  EXPECT_TRUE(NoticeCodes().empty());

  // Emptied, the path goes without a check; a second apply of the same sheet.
  SetItemText(page_, IDC_CTX_STORE, "");
  SetItemText(page_, IDC_CTX_DOMAIN, "");
  EXPECT_EQ(ApplyOptions(), 1);
  EXPECT_TRUE(StorePath(kSales).empty());
  EXPECT_TRUE(Domains(kSales).empty());
}

TEST_F(ContainerPage, PathFieldTakesItsSizeInFull) {
  ASSERT_NE(OpenOptions(kSales, kOU), nullptr);
  EXPECT_EQ(SendDlgItemMessageA(page_, IDC_CTX_STORE, EM_GETLIMITTEXT, 0, 0), 1024);
  std::string path = "FS1/" + std::string(1020, 'p');
  SetItemText(page_, IDC_CTX_STORE, path.c_str());
  EXPECT_EQ(ApplyOptions(), 1);
  EXPECT_EQ(StorePath(kSales), Values{path});
  Close();

  // A longer path another tool stored (up to the directory's 1,027) goes
  // back whole when only the domain changed.
  for (size_t length : {size_t{1025}, size_t{1027}}) {
    std::string stored = "FS1/" + std::string(length - 4, 's');
    Store(kSales, "Quorvel:Message Store", {stored});
    ASSERT_NE(OpenOptions(kSales, kOU), nullptr);
    SetItemText(page_, IDC_CTX_DOMAIN, "sales.example");
    EXPECT_EQ(ApplyOptions(), 1);
    EXPECT_EQ(StorePath(kSales), Values{stored}) << length;
    Close();
  }
}

TEST_F(ContainerPage, EditingTheDomainKeepsFurtherDomains) {
  Store(kSales, "Quorvel:Domain", {"sales.example", "old.example"});
  ASSERT_NE(OpenOptions(kSales, kOU), nullptr);
  EXPECT_EQ(ItemText(page_, IDC_CTX_DOMAIN), "sales.example");
  SetItemText(page_, IDC_CTX_DOMAIN, "new.example");
  EXPECT_EQ(ApplyOptions(), 1);
  EXPECT_EQ(Domains(kSales), (Values{"old.example", "new.example"}));
}

TEST_F(ContainerPage, AContainerNoServerServesIsReadOnlyAndKeepsItsValues) {
  ASSERT_NE(OpenOptions(kWest, kOU), nullptr);
  EXPECT_EQ(ItemText(page_, IDC_CTX_STORE), "FS9/VOL:OLD");
  EXPECT_EQ(ItemText(page_, IDC_CTX_DOMAIN), "west.example");
  for (int id : {IDC_CTX_STORE, IDC_CTX_BROWSE_STORE, IDC_CTX_DOMAIN})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_EQ(ApplyOptions(), 1);
  EXPECT_EQ(StorePath(kWest), Values{"FS9/VOL:OLD"});
  EXPECT_EQ(Domains(kWest), Values{"west.example"});
}

TEST_F(ContainerPage, AServerWithoutAHostServesNothingToCheckAgainst) {
  // MS3 has no host: a container only it serves is read-only too.
  AddObject("North.Acme", kOU, {});
  Store(kMS3, "Quorvel:Context", {"North.Acme"});
  ASSERT_NE(OpenOptions("North.Acme", kOU), nullptr);
  EXPECT_FALSE(IsItemEnabled(page_, IDC_CTX_STORE));
  EXPECT_EQ(ApplyOptions(), 1);
  EXPECT_TRUE(StorePath("North.Acme").empty());
}

TEST_F(ContainerPage, AContextStoredFromTheRootFindsItsServer) {
  AddObject("South.Acme", kOU, {});
  Store(kMS2, "Quorvel:Context", {"Sales.Acme", ".South.Acme"});
  ASSERT_NE(OpenOptions("South.Acme", kOU), nullptr);
  EXPECT_TRUE(IsItemEnabled(page_, IDC_CTX_STORE));
  SetItemText(page_, IDC_CTX_STORE, "FS1/SYS:south");
  EXPECT_EQ(ApplyOptions(), 1);
  EXPECT_EQ(StorePath("South.Acme"), Values{"FS1/SYS:south"});
}

TEST_F(ContainerPage, RightsDisableTheirFieldsAndStopTheirWrites) {
  Store(kSales, "Quorvel:Message Store", {"FS1/SYS:sales"});
  Grant(kSales, "Kim.Sales.Acme", "Quorvel:Domain");
  As("Kim.Sales.Acme");
  ASSERT_NE(OpenOptions(kSales, kOU), nullptr);
  EXPECT_FALSE(IsItemEnabled(page_, IDC_CTX_STORE));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_CTX_BROWSE_STORE));
  EXPECT_TRUE(IsItemEnabled(page_, IDC_CTX_DOMAIN));
  SetItemText(page_, IDC_CTX_DOMAIN, "kim.example");
  EXPECT_EQ(ApplyOptions(), 1);
  EXPECT_EQ(Domains(kSales), Values{"kim.example"});
  EXPECT_EQ(StorePath(kSales), Values{"FS1/SYS:sales"});
}

TEST_F(ContainerPage, ADomainWriteErrorKeepsTheWrittenPath) {
  Grant(kSales, "Kim.Sales.Acme", "Quorvel:Domain");
  Grant(kSales, "Kim.Sales.Acme", "Quorvel:Message Store");
  As("Kim.Sales.Acme");
  ASSERT_NE(OpenOptions(kSales, kOU), nullptr);
  Revoke(kSales, "Kim.Sales.Acme", "Quorvel:Domain");
  SetItemText(page_, IDC_CTX_STORE, "FS1/SYS:kim");
  SetItemText(page_, IDC_CTX_DOMAIN, "kim.example");
  MessageBoxInterceptor boxes;
  EXPECT_EQ(ApplyOptions(), 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "[-672] Directory Error");
  EXPECT_TRUE(Focused(IDC_CTX_DOMAIN));
  EXPECT_EQ(StorePath(kSales), Values{"FS1/SYS:kim"});
  EXPECT_TRUE(Domains(kSales).empty());
}

TEST_F(ContainerPage, EachPageAsksForItsOwnHelp) {
  HelpViewer help;
  ASSERT_NE(OpenOptions(kSales, kOU), nullptr);
  EXPECT_EQ(ContextDlgProc(page_, QZX_PAGE_HELP, 0, 0), 1);
  Close();
  struct Page {
    const char* object;
    DLGPROC procedure;
    const char* templateName;
  };
  const Page pages[] = {{kSignup1, SignupConfigDlgProc, "SignupConfig"},
                        {kProxy1, ProxyConfigDlgProc, "ProxyConfig"},
                        {kBook1, AddressBookConfigDlgProc, "LDAPConfig"}};
  for (const Page& p : pages) {
    ASSERT_NE(OpenPage(p.object, "X.QMD", p.procedure, p.templateName), nullptr);
    EXPECT_EQ(p.procedure(page_, QZX_PAGE_HELP, 0, 0), 1);
  }
  PumpMessages();
  EXPECT_EQ(help.contexts, (std::vector<long>{42, 33, 26, 17}));
}

// What each page tells the running server on apply, whole (code and the
// agent's module file): the address-book page tells whatever the rights, the
// others only with a right; the options page tells nobody.
TEST_F(MorePages, EachPageTellsTheServerOnlyWhatItShould) {
  using snapintest::ConfigNotice;
  const struct {
    const char* identity;  // null: the administrator
    const char* object;
    DLGPROC procedure;
    const char* templateName;
    std::vector<std::string> told;
  } rows[] = {
      {nullptr, kSignup1, SignupConfigDlgProc, "SignupConfig", {ConfigNotice(3, "SIGNUAGT.QMD")}},
      {"Joe.Sales.Acme", kSignup1, SignupConfigDlgProc, "SignupConfig", {}},
      {nullptr, kProxy1, ProxyConfigDlgProc, "ProxyConfig", {ConfigNotice(3, "PROXYAGT.QMD")}},
      {"Joe.Sales.Acme", kProxy1, ProxyConfigDlgProc, "ProxyConfig", {}},
      {nullptr, kBook1, AddressBookConfigDlgProc, "LDAPConfig", {ConfigNotice(3, "ABOOKAGT.QMD")}},
      {"Joe.Sales.Acme", kBook1, AddressBookConfigDlgProc, "LDAPConfig",
       {ConfigNotice(3, "ABOOKAGT.QMD")}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.templateName) + (r.identity ? " as Joe" : ""));
    As(r.identity);
    ASSERT_NE(OpenPage(r.object, "X.QMD", r.procedure, r.templateName), nullptr);
    // Joe may not write the value that flags the change.
    ExpectTold(r.object, [&] { return Apply(); }, r.told, !r.identity && !r.told.empty());
  }
  As(nullptr);
  ClosePage();
  ASSERT_NE(OpenOptions(kSales, kOU), nullptr);
  ExpectTold(kSales, [&] { return ApplyPage(ContextDlgProc); }, {});
}

}  // namespace
}  // namespace agentstest
