// The signup, mail proxy and address-book agents' configuration pages
// against a real directory: what they show for stored values, what apply
// writes and in which order, rights, refusals and directory errors.
#include <gtest/gtest.h>

#include "agents_more_fixture.h"

namespace agentstest {
namespace {

class SignupPage : public MorePages {
 protected:
  HWND Open() { return OpenPage(kSignup1, "SIGNUAGT.QMD", SignupConfigDlgProc, "SignupConfig"); }
  Values Config() { return Read(kSignup1, "Quorvel:Configuration"); }
  bool Mode(int id) { return IsItemChecked(page_, id); }
};

TEST_F(SignupPage, NewAgentShowsSignupServerAndWritesBehaviourAndAnEmptyUrl) {
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(ItemText(page_, 10), kSignup1);
  EXPECT_TRUE(Mode(IDC_SGN_SIGNUP));
  EXPECT_FALSE(Mode(IDC_SGN_BUSY_REDIRECT));
  EXPECT_FALSE(Mode(IDC_SGN_REDIRECT_ONLY));
  EXPECT_EQ(ItemText(page_, IDC_SGN_HTTP_PORT), "80");
  EXPECT_EQ(ItemText(page_, IDC_SGN_SSL_PORT), "443");
  EXPECT_EQ(ItemText(page_, IDC_SGN_URL), "");
  for (int id : {IDC_SGN_WELCOME, IDC_SGN_STATISTICS, IDC_SGN_GUI})
    EXPECT_FALSE(IsItemChecked(page_, id)) << id;
  EXPECT_EQ(TakeChanges(), 0);  // loading is no change

  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Config(), (Values{"Behaviour:0", "URL:"}));
  EXPECT_TRUE(Told());
  // A second apply from the same open page starts from what is stored now.
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Config(), (Values{"Behaviour:0", "URL:"}));
}

TEST_F(SignupPage, BothModeBitsShowRedirectOnlyAndWriteSixtyFour) {
  Store(kSignup1, "Quorvel:Configuration", {"Behaviour:65", "URL:http://busy.example/"});
  ASSERT_NE(Open(), nullptr);
  EXPECT_TRUE(Mode(IDC_SGN_REDIRECT_ONLY));
  EXPECT_FALSE(Mode(IDC_SGN_BUSY_REDIRECT));
  EXPECT_FALSE(Mode(IDC_SGN_SIGNUP));
  EXPECT_EQ(ItemText(page_, IDC_SGN_URL), "http://busy.example/");
  EXPECT_EQ(Apply(), 1);
  // The address was left in place; only the number changed.
  EXPECT_EQ(Config(), (Values{"URL:http://busy.example/", "Behaviour:64"}));
}

TEST_F(SignupPage, RedirectOnlyWithEveryFeatureWritesEightySixAndDropsOtherKinds) {
  Store(kSignup1, "Quorvel:Configuration", {"Behaviour:1", "Name:Signup", "Colour:3"});
  ASSERT_NE(Open(), nullptr);
  EXPECT_TRUE(Mode(IDC_SGN_BUSY_REDIRECT));
  ClickItem(page_, IDC_SGN_REDIRECT_ONLY);
  EXPECT_EQ(TakeChanges(), 1);
  for (int id : {IDC_SGN_WELCOME, IDC_SGN_STATISTICS, IDC_SGN_GUI}) ClickItem(page_, id);
  SetItemText(page_, IDC_SGN_URL, "http://elsewhere.example/");
  EXPECT_GE(TakeChanges(), 1);
  SetItemText(page_, IDC_SGN_HTTP_PORT, "8080");
  SetItemText(page_, IDC_SGN_SSL_PORT, "");
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Config(), (Values{"Behaviour:86", "URL:http://elsewhere.example/"}));
  EXPECT_EQ(Read(kSignup1, "Quorvel:Port"), Values{"8080"});
  EXPECT_TRUE(Read(kSignup1, "Quorvel:SSL Port").empty());
}

TEST_F(SignupPage, LongestUrlFitsOneValueAndTheFieldTakesNoMore) {
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(SendDlgItemMessageA(page_, IDC_SGN_URL, EM_GETLIMITTEXT, 0, 0), kSignupUrlChars);
  std::string url(kSignupUrlChars, 'u');
  SetItemText(page_, IDC_SGN_URL, url.c_str());
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Config(), (Values{"Behaviour:0", "URL:" + url}));
}

TEST_F(SignupPage, WithoutRightsEverythingIsReadOnlyAndNothingIsWritten) {
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(), nullptr);
  for (int id : {IDC_SGN_HTTP_PORT, IDC_SGN_SSL_PORT, IDC_SGN_HTTP_LABEL, IDC_SGN_SSL_LABEL,
                 IDC_SGN_SIGNUP, IDC_SGN_BUSY_REDIRECT, IDC_SGN_REDIRECT_ONLY, IDC_SGN_URL,
                 IDC_SGN_URL_LABEL, IDC_SGN_WELCOME, IDC_SGN_STATISTICS, IDC_SGN_GUI})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Config(), Values{"Behaviour:0"});
  EXPECT_TRUE(ConfigChanged(kSignup1).empty());
  EXPECT_TRUE(NoticeCodes().empty());
}

TEST_F(SignupPage, ADirectoryErrorStopsTheApplyAfterThePorts) {
  for (const char* attribute : {"Quorvel:Port", "Quorvel:SSL Port", "Quorvel:Configuration"})
    Grant(kSignup1, "Kim.Sales.Acme", attribute);
  As("Kim.Sales.Acme");
  ASSERT_NE(Open(), nullptr);
  EXPECT_TRUE(IsItemEnabled(page_, IDC_SGN_URL));
  Revoke(kSignup1, "Kim.Sales.Acme", "Quorvel:Configuration");
  SetItemText(page_, IDC_SGN_HTTP_PORT, "81");
  ClickItem(page_, IDC_SGN_REDIRECT_ONLY);
  MessageBoxInterceptor boxes;
  EXPECT_EQ(Apply(), 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "[-672] Directory Error");
  EXPECT_EQ(boxes.Boxes()[0].text, "No access");
  EXPECT_TRUE(Focused(IDC_SGN_URL));
  EXPECT_EQ(Read(kSignup1, "Quorvel:Port"), Values{"81"});
  EXPECT_EQ(Config(), Values{"Behaviour:0"});
}

// ---- mail proxy ---------------------------------------------------------------------

class ProxyPage : public MorePages {
 protected:
  HWND Open() { return OpenPage(kProxy1, "PROXYAGT.QMD", ProxyConfigDlgProc, "ProxyConfig"); }
  Values Interval() { return Read(kProxy1, "Quorvel:Time Interval"); }
};

TEST_F(ProxyPage, NewAgentShowsEveryThreeHoursAndWritesTheChoice) {
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(ListItems(page_, IDC_PXC_INTERVAL),
            (Values{"1", "2", "3", "4", "5", "8", "12", "24", "36", "48"}));
  EXPECT_EQ(ComboIndex(page_, IDC_PXC_INTERVAL), 2);
  EXPECT_TRUE(ListItems(page_, IDC_PXC_PROXIES).empty());
  SelectComboRow(page_, IDC_PXC_INTERVAL, 9);
  EXPECT_EQ(TakeChanges(), 1);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Interval(), Values{"48"});
  EXPECT_EQ(Read(kProxy1, "Quorvel:Thread Limit"), Values{"5"});
  EXPECT_EQ(ConfigChanged(kProxy1), Values{"1"});
}

TEST_F(ProxyPage, AnIntervalNotInTheListShowsNothingAndApplyRemovesIt) {
  Store(kProxy1, "Quorvel:Time Interval", {"6"});
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(ComboIndex(page_, IDC_PXC_INTERVAL), -1);
  EXPECT_EQ(Apply(), 1);
  EXPECT_TRUE(Interval().empty());
}

TEST_F(ProxyPage, NoStoredIntervalShowsTheDefault) {
  Store(kProxy1, "Quorvel:Time Interval", {});
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(ComboIndex(page_, IDC_PXC_INTERVAL), 2);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Interval(), Values{"3"});
}

TEST_F(ProxyPage, WithoutTheRightNothingIsWrittenOrTold) {
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(), nullptr);
  for (int id : {IDC_PXC_INTERVAL, IDC_PXC_INTERVAL_LABEL, IDC_PXC_HOURS_LABEL})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Interval(), Values{"3"});
  EXPECT_TRUE(ConfigChanged(kProxy1).empty());
}

TEST_F(ProxyPage, ADirectoryErrorRefusesWithTheFocusOnTheList) {
  Grant(kProxy1, "Kim.Sales.Acme", "Quorvel:Time Interval");
  As("Kim.Sales.Acme");
  ASSERT_NE(Open(), nullptr);
  Revoke(kProxy1, "Kim.Sales.Acme", "Quorvel:Time Interval");
  SelectComboRow(page_, IDC_PXC_INTERVAL, 0);
  MessageBoxInterceptor boxes;
  EXPECT_EQ(Apply(), 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "No access");
  EXPECT_TRUE(Focused(IDC_PXC_INTERVAL));
  EXPECT_EQ(Interval(), Values{"3"});
}

// ---- address book ----------------------------------------------------------------------

class LdapPage : public MorePages {
 protected:
  HWND Open() {
    return OpenPage(kBook1, "ABOOKAGT.QMD", AddressBookConfigDlgProc, "LDAPConfig");
  }
  Values Stored(const char* attribute) { return Read(kBook1, attribute); }
};

TEST_F(LdapPage, NewAgentShowsOneDayPort389AndBothOff) {
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(ItemText(page_, IDC_LDC_INTERVAL), "1");
  EXPECT_EQ(ItemText(page_, IDC_LDC_PORT), "389");
  EXPECT_FALSE(IsItemChecked(page_, IDC_LDC_LOOKUP));
  EXPECT_FALSE(IsItemChecked(page_, IDC_LDC_LDIF));
  EXPECT_EQ(TakeChanges(), 0);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Time Interval"), Values{"1"});
  EXPECT_EQ(Stored("Quorvel:Port"), Values{"389"});
  EXPECT_EQ(Stored("Quorvel:LDAP Options"), Values{"0"});
  EXPECT_EQ(ConfigChanged(kBook1), Values{"1"});
}

TEST_F(LdapPage, OptionBitsFollowTheBoxes) {
  ASSERT_NE(Open(), nullptr);
  ClickItem(page_, IDC_LDC_LOOKUP);
  ClickItem(page_, IDC_LDC_LDIF);
  EXPECT_EQ(TakeChanges(), 2);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:LDAP Options"), Values{"3"});
  ClickItem(page_, IDC_LDC_LOOKUP);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:LDAP Options"), Values{"2"});
  ClosePage();

  Store(kBook1, "Quorvel:LDAP Options", {"1"});
  ASSERT_NE(Open(), nullptr);
  EXPECT_TRUE(IsItemChecked(page_, IDC_LDC_LOOKUP));
  EXPECT_FALSE(IsItemChecked(page_, IDC_LDC_LDIF));
}

TEST_F(LdapPage, PortsAreWrittenAsTypedAndShownAsNumbers) {
  Store(kBook1, "Quorvel:Port", {"ldap"});
  Store(kBook1, "Quorvel:Time Interval", {"7"});
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(ItemText(page_, IDC_LDC_PORT), "0");
  EXPECT_EQ(ItemText(page_, IDC_LDC_INTERVAL), "7");
  SetItemText(page_, IDC_LDC_PORT, "63x6");
  EXPECT_EQ(TakeChanges(), 1);
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Port"), Values{"63x6"});
  ClosePage();
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(ItemText(page_, IDC_LDC_PORT), "63");
}

TEST_F(LdapPage, WithoutRightsNothingIsWrittenAndTheFieldsAreReadOnly) {
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(), nullptr);
  for (int id : {IDC_LDC_INTERVAL, IDC_LDC_PORT, IDC_LDC_LOOKUP, IDC_LDC_LDIF})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_EQ(Apply(), 1);
  EXPECT_EQ(Stored("Quorvel:Port"), Values{"389"});
  EXPECT_TRUE(Stored("Quorvel:Time Interval").empty());
  EXPECT_TRUE(Stored("Quorvel:LDAP Options").empty());
}

TEST_F(LdapPage, AFailedIntervalStopsBeforeThePort) {
  for (const char* attribute : {"Quorvel:Time Interval", "Quorvel:LDAP Options", "Quorvel:Port"})
    Grant(kBook1, "Kim.Sales.Acme", attribute);
  As("Kim.Sales.Acme");
  ASSERT_NE(Open(), nullptr);
  Revoke(kBook1, "Kim.Sales.Acme", "Quorvel:Time Interval");
  SetItemText(page_, IDC_LDC_PORT, "1389");
  MessageBoxInterceptor boxes;
  EXPECT_EQ(Apply(), 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_TRUE(Focused(IDC_LDC_INTERVAL));
  EXPECT_EQ(Stored("Quorvel:Port"), Values{"389"});

  // With the interval allowed again, a refused option write keeps the port.
  Grant(kBook1, "Kim.Sales.Acme", "Quorvel:Time Interval");
  Revoke(kBook1, "Kim.Sales.Acme", "Quorvel:LDAP Options");
  boxes.Clear();
  EXPECT_EQ(Apply(), 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_TRUE(Focused(IDC_LDC_LOOKUP));
  EXPECT_EQ(Stored("Quorvel:Time Interval"), Values{"1"});
  EXPECT_EQ(Stored("Quorvel:Port"), Values{"1389"});
}


// ---- certificate database --------------------------------------------------------------

TEST_F(MorePages, CertificateDatabasePageShowsItsFixedTextAndWritesNothing) {
  const char name[] = "CertDB.MS1.Internet Services";
  ASSERT_EQ(CertDBObjProc(name, QZX_MSG_OPEN, 0, 0), 1);
  QZXPageRecord record = {};
  ASSERT_EQ(CertDBObjProc(name, QZX_MSG_PAGE, 0, reinterpret_cast<intptr_t>(&record)), 0);
  HelpViewer help;
  g_snapin.autoReload = 1;
  HWND page = CreateDialogParamA(record.instance, record.templateName, owner_, record.procedure, 0);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(ItemText(page, 10), "Quorvel Certificate Database");
  EXPECT_NE(FindWindowExA(page, nullptr, "Static",
                          "The Quorvel Certificate Database is a container that stores X.509 "
                          "certificates required for SSL."),
            nullptr);
  EXPECT_EQ(record.procedure(page, QZX_PAGE_APPLY, 0, 0), 1);
  EXPECT_EQ(record.procedure(page, QZX_PAGE_HELP, 0, 0), 1);
  PumpMessages();
  EXPECT_EQ(help.contexts, std::vector<long>{44});
  EXPECT_TRUE(NoticeCodes().empty());
  DestroyWindow(page);
}

}  // namespace
}  // namespace agentstest
