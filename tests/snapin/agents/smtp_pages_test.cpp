// The SMTP agent's own pages in the host's sheet against a real directory:
// identification (domains, hosted domains, size limit), options (the five
// switches under one right, the relay host) and unsolicited-mail prevention
// (bits, address ranges, recipient limit, blocking-list host).
#include <gtest/gtest.h>

#include "agents_fixture.h"

namespace agentstest {
namespace {

enum { kIdentification = 0, kOptions = 1, kUbe = 2 };

class SmtpPages : public AgentSnapin {
 protected:
  HWND Open(int index) { return OpenSheet(kSMTP1, kSMTPClass, index); }
  bool Changed() { return Read(kSMTP1, "Quorvel:Config Changed") == Values{"1"}; }
  Values Stored(const char* attribute) { return Read(kSMTP1, attribute); }
  void RemoveValue(int listId, int row) {
    HWND list = GetWindow(GetDlgItem(page_, listId), GW_CHILD);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    SendMessageA(list, WM_KEYDOWN, VK_DELETE, 1);
    PumpMessages();
  }
  // Types a value into a multi-valued control's edit and commits it.
  void TypeValue(int editId, const char* text) {
    SetItemText(page_, editId, text);
    SendDlgItemMessageA(page_, editId, WM_KEYDOWN, VK_RETURN, 1);
    PumpMessages();
  }
};

// ---- identification ----------------------------------------------------------------

TEST_F(SmtpPages, IdentificationShowsDomainsAndNoLimitForTheCreationValue) {
  ASSERT_NE(Open(kIdentification), nullptr);
  EXPECT_EQ(MvedValues(page_, IDC_SI_DOMAIN_LIST), (Values{"acme.example", "mail.acme.example"}));
  EXPECT_TRUE(MvedValues(page_, IDC_SI_HOSTED_LIST).empty());
  EXPECT_EQ(ListItems(page_, IDC_SI_LIMIT), (Values{"<none>", "1", "2", "5", "10", "20", "40"}));
  EXPECT_EQ(ComboIndex(page_, IDC_SI_LIMIT), -1);  // "0" is not offered
  // Applying without a choice removes it.
  EXPECT_EQ(ApplyPage(SMTPIdentificationDlgProc), 1);
  EXPECT_TRUE(Stored("Quorvel:Message Limit").empty());
  EXPECT_EQ(Stored("Quorvel:Domain"), (Values{"acme.example", "mail.acme.example"}));
  EXPECT_TRUE(Changed());
}

TEST_F(SmtpPages, IdentificationWritesLimitDomainsAndHostedDomains) {
  ASSERT_NE(Open(kIdentification), nullptr);
  SelectComboRow(page_, IDC_SI_LIMIT, 0);
  EXPECT_TRUE(ApplyEnabled());
  TypeValue(IDC_SI_HOSTED_EDIT, "hosted.example");
  RemoveValue(IDC_SI_DOMAIN_LIST, 0);
  EXPECT_EQ(ApplyPage(SMTPIdentificationDlgProc), 1);
  EXPECT_EQ(Stored("Quorvel:Message Limit"), Values{"<none>"});
  EXPECT_EQ(Stored("Quorvel:Domain"), Values{"mail.acme.example"});
  EXPECT_EQ(Stored("TARQ:User Domain"), Values{"hosted.example"});
  ExpectWritten({{kSMTP1, "Quorvel:Message Limit", "<none>", 3},
                 {kSMTP1, "TARQ:User Domain", "hosted.example", 3}});

  // No domain left: the limit is written first, then the refusal.
  MessageBoxInterceptor boxes;
  SelectComboRow(page_, IDC_SI_LIMIT, 6);
  RemoveValue(IDC_SI_DOMAIN_LIST, 0);
  EXPECT_EQ(ApplyPage(SMTPIdentificationDlgProc), 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Missing mandatory value");
  EXPECT_EQ(boxes.Boxes()[0].text, "At least one domain required!");
  EXPECT_TRUE(Focused(IDC_SI_DOMAIN_EDIT));
  EXPECT_EQ(Stored("Quorvel:Message Limit"), Values{"40"});
  EXPECT_EQ(Stored("Quorvel:Domain"), Values{"mail.acme.example"});
  EXPECT_EQ(Stored("TARQ:User Domain"), Values{"hosted.example"});
}

TEST_F(SmtpPages, IdentificationWithoutRightsIsReadOnly) {
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(kIdentification), nullptr);
  for (int id : {IDC_SI_DOMAIN_EDIT, IDC_SI_DOMAIN_LIST, IDC_SI_HOSTED_EDIT, IDC_SI_LIMIT})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_EQ(ApplyPage(SMTPIdentificationDlgProc), 1);
  EXPECT_EQ(Stored("Quorvel:Message Limit"), Values{"0"});
  EXPECT_FALSE(Changed());
}

// ---- options -------------------------------------------------------------------------

TEST_F(SmtpPages, OptionsWriteEveryFlagAndTheRelayHost) {
  ASSERT_NE(Open(kOptions), nullptr);
  EXPECT_TRUE(IsItemChecked(page_, IDC_SO_VRFY));
  EXPECT_FALSE(IsItemChecked(page_, IDC_SO_EXPN));
  EXPECT_FALSE(IsItemChecked(page_, IDC_SO_VERIFY));
  EXPECT_TRUE(IsItemChecked(page_, IDC_SO_ACCEPT_ETRN));
  EXPECT_FALSE(IsItemChecked(page_, IDC_SO_SEND_ETRN));
  EXPECT_FALSE(IsItemChecked(page_, IDC_SO_USE_RELAY));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_SO_RELAY));
  EXPECT_EQ(SendDlgItemMessageA(page_, IDC_SO_RELAY, EM_GETLIMITTEXT, 0, 0), 1024);

  ClickItem(page_, IDC_SO_EXPN);
  ClickItem(page_, IDC_SO_ACCEPT_ETRN);
  ClickItem(page_, IDC_SO_USE_RELAY);
  EXPECT_TRUE(IsItemEnabled(page_, IDC_SO_RELAY));
  SetItemText(page_, IDC_SO_RELAY, "relay.acme.example");
  EXPECT_EQ(ApplyPage(SMTPOptionsDlgProc), 1);
  EXPECT_EQ(Stored("Quorvel:SMTP Allow VRFY"), Values{"1"});
  EXPECT_EQ(Stored("Quorvel:SMTP Allow EXPN"), Values{"1"});
  EXPECT_EQ(Stored("Quorvel:SMTP Verify Address"), Values{"0"});
  EXPECT_EQ(Stored("Quorvel:SMTP Accept ETRN"), Values{"0"});
  EXPECT_EQ(Stored("Quorvel:SMTP Send ETRN"), Values{"0"});
  EXPECT_EQ(Stored("Quorvel:RelayHost"), Values{"relay.acme.example"});
  EXPECT_TRUE(Changed());

  // Unticked, the relay host goes, whatever the field holds.
  ClickItem(page_, IDC_SO_USE_RELAY);
  EXPECT_EQ(ApplyPage(SMTPOptionsDlgProc), 1);
  EXPECT_TRUE(Stored("Quorvel:RelayHost").empty());
}

TEST_F(SmtpPages, ARelayHostOfABlankIsNone) {
  Store(kSMTP1, "Quorvel:RelayHost", {" "});
  ASSERT_NE(Open(kOptions), nullptr);
  EXPECT_FALSE(IsItemChecked(page_, IDC_SO_USE_RELAY));
  EXPECT_EQ(ItemText(page_, IDC_SO_RELAY), "");
  EXPECT_EQ(ApplyPage(SMTPOptionsDlgProc), 1);
  EXPECT_TRUE(Stored("Quorvel:RelayHost").empty());
}

TEST_F(SmtpPages, TheVrfyRightGovernsAllFiveFlags) {
  As("Kim.Sales.Acme");  // may write four of the flags and the relay host, not VRFY
  g_snapin.autoReload = 1;
  ASSERT_NE(Open(kOptions), nullptr);
  for (int id : {IDC_SO_VRFY, IDC_SO_EXPN, IDC_SO_VERIFY, IDC_SO_ACCEPT_ETRN, IDC_SO_SEND_ETRN})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_TRUE(IsItemEnabled(page_, IDC_SO_USE_RELAY));
  ClickItem(page_, IDC_SO_USE_RELAY);
  SetItemText(page_, IDC_SO_RELAY, "relay.example");
  EXPECT_EQ(ApplyPage(SMTPOptionsDlgProc), 1);
  EXPECT_EQ(Stored("Quorvel:RelayHost"), Values{"relay.example"});
  EXPECT_TRUE(Stored("Quorvel:SMTP Allow EXPN").empty());
  EXPECT_TRUE(Stored("Quorvel:SMTP Verify Address").empty());
  EXPECT_EQ(Stored("Quorvel:SMTP Accept ETRN"), Values{"1"});
  EXPECT_EQ(NoticeCodes(), std::vector<uint32_t>{3});  // changed
}

TEST_F(SmtpPages, AFailingFlagStopsTheApplyAtItsBox) {
  ASSERT_NE(Open(kOptions), nullptr);  // as Admin: every flag may be written
  As("Kim.Sales.Acme");                 // who then loses the right to some
  MessageBoxInterceptor boxes;
  ClickItem(page_, IDC_SO_VRFY);
  ClickItem(page_, IDC_SO_USE_RELAY);
  SetItemText(page_, IDC_SO_RELAY, "relay.example");
  // Kim may write Verify Address (first) but not Allow VRFY (second).
  EXPECT_EQ(ApplyPage(SMTPOptionsDlgProc), 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_NE(boxes.Boxes()[0].caption.find("] Directory Error"), std::string::npos);
  EXPECT_TRUE(Focused(IDC_SO_VRFY));
  EXPECT_EQ(Stored("Quorvel:SMTP Verify Address"), Values{"0"});
  EXPECT_EQ(Stored("Quorvel:SMTP Allow VRFY"), Values{"1"});
  EXPECT_TRUE(Stored("Quorvel:RelayHost").empty());
  EXPECT_FALSE(Changed());
}

// ---- unsolicited mail ------------------------------------------------------------------

TEST_F(SmtpPages, WithoutAnyConfigurationTheBlockingListHostStaysOpenUntilAClick) {
  ASSERT_NE(Open(kUbe), nullptr);
  EXPECT_TRUE(IsItemEnabled(page_, IDC_SU_RBL_HOST));
  for (int id : {IDC_SU_DENY_BLOCKED, IDC_SU_REQUIRE_ALLOWED, IDC_SU_DENY_NO_DNS,
                 IDC_SU_AUTHENTICATED, IDC_SU_CHECK_RBL, IDC_SU_AFTER_POP})
    EXPECT_FALSE(IsItemChecked(page_, id)) << id;
  ClickItem(page_, IDC_SU_AFTER_POP);
  EXPECT_FALSE(IsItemEnabled(page_, IDC_SU_RBL_HOST));
  ClickItem(page_, IDC_SU_CHECK_RBL);
  EXPECT_TRUE(IsItemEnabled(page_, IDC_SU_RBL_HOST));
  SetItemText(page_, IDC_SU_RBL_HOST, "rbl.example");
  SetItemText(page_, IDC_SU_RECIPIENTS, "50");
  EXPECT_EQ(ApplyPage(SMTPUBEConfigurationDlgProc), 1);
  EXPECT_EQ(Stored("TARQ:UBE Configuration"), Values{"48"});  // 0x10 | 0x20
  EXPECT_EQ(Stored("TARQ:RBL Host"), Values{"rbl.example"});
  EXPECT_EQ(Stored("TARQ:Recipient Limit"), Values{"50"});
  EXPECT_TRUE(Stored("TARQ:Allowed Address").empty());
  EXPECT_TRUE(Changed());
}

TEST_F(SmtpPages, StoredBitsCheckTheirBoxes) {
  Store(kSMTP1, "TARQ:UBE Configuration", {"13"});  // 0x01 | 0x04 | 0x08
  ASSERT_NE(Open(kUbe), nullptr);
  EXPECT_TRUE(IsItemChecked(page_, IDC_SU_REQUIRE_ALLOWED));
  EXPECT_FALSE(IsItemChecked(page_, IDC_SU_DENY_BLOCKED));
  EXPECT_TRUE(IsItemChecked(page_, IDC_SU_DENY_NO_DNS));
  EXPECT_TRUE(IsItemChecked(page_, IDC_SU_AUTHENTICATED));
  EXPECT_FALSE(IsItemChecked(page_, IDC_SU_CHECK_RBL));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_SU_RBL_HOST));
  ClickItem(page_, IDC_SU_DENY_BLOCKED);
  EXPECT_EQ(ApplyPage(SMTPUBEConfigurationDlgProc), 1);
  EXPECT_EQ(Stored("TARQ:UBE Configuration"), Values{"15"});
}

TEST_F(SmtpPages, AddressRangesAreCheckedLikeThePlatformParser) {
  MessageBoxInterceptor boxes;
  Store(kSMTP1, "TARQ:Blocked Address", {"10.9.9.9-10.9.9.9"});
  ASSERT_NE(Open(kUbe), nullptr);
  EXPECT_EQ(ListItems(page_, IDC_SU_BLOCKED_LIST), Values{"10.9.9.9-10.9.9.9"});
  EXPECT_EQ(SendDlgItemMessageA(page_, IDC_SU_ALLOWED_FROM, EM_GETLIMITTEXT, 0, 0), 1023);
  EXPECT_FALSE(IsItemEnabled(page_, IDC_SU_ALLOWED_ADD));

  // Only the from-field: the range is that one address.
  SetItemText(page_, IDC_SU_ALLOWED_FROM, "192.168.1.1");
  EXPECT_TRUE(IsItemEnabled(page_, IDC_SU_ALLOWED_ADD));
  ClickItem(page_, IDC_SU_ALLOWED_ADD);
  SetItemText(page_, IDC_SU_ALLOWED_FROM, "10.0.0.1");
  SetItemText(page_, IDC_SU_ALLOWED_TO, "10.0.0.255");
  ClickItem(page_, IDC_SU_ALLOWED_ADD);
  EXPECT_EQ(ListItems(page_, IDC_SU_ALLOWED_LIST),
            (Values{"10.0.0.1-10.0.0.255", "192.168.1.1-192.168.1.1"}));
  EXPECT_TRUE(boxes.Boxes().empty());

  // The all-ones address is the parser's error value; either field may fail.
  const std::pair<const char*, const char*> bad[] = {
      {"255.255.255.255", ""}, {"10.0.0.1", "10.0.0.x"}, {"1.2.3.4.5", ""}};
  for (const auto& b : bad) {
    boxes.Clear();
    SetItemText(page_, IDC_SU_BLOCKED_FROM, b.first);
    SetItemText(page_, IDC_SU_BLOCKED_TO, b.second);
    ClickItem(page_, IDC_SU_BLOCKED_ADD);
    ASSERT_EQ(boxes.Boxes().size(), 1u) << b.first;
    EXPECT_EQ(boxes.Boxes()[0].caption, "Error");
    EXPECT_EQ(boxes.Boxes()[0].text, "You must enter an IP address in the form xxx.xxx.xxx.xxx!");
    EXPECT_EQ(ItemText(page_, IDC_SU_BLOCKED_FROM), "");
    EXPECT_EQ(ItemText(page_, IDC_SU_BLOCKED_TO), "");
    EXPECT_FALSE(IsItemEnabled(page_, IDC_SU_BLOCKED_ADD));
  }
  EXPECT_EQ(ListItems(page_, IDC_SU_BLOCKED_LIST), Values{"10.9.9.9-10.9.9.9"});

  SelectRows(page_, IDC_SU_BLOCKED_LIST, {0});
  EXPECT_TRUE(IsItemEnabled(page_, IDC_SU_BLOCKED_DELETE));
  ClickItem(page_, IDC_SU_BLOCKED_DELETE);
  EXPECT_TRUE(ListItems(page_, IDC_SU_BLOCKED_LIST).empty());
  EXPECT_EQ(ApplyPage(SMTPUBEConfigurationDlgProc), 1);
  EXPECT_EQ(Stored("TARQ:Allowed Address"),
            (Values{"10.0.0.1-10.0.0.255", "192.168.1.1-192.168.1.1"}));
  EXPECT_TRUE(Stored("TARQ:Blocked Address").empty());
}

TEST_F(SmtpPages, UnsolicitedMailWithoutRightsIsReadOnly) {
  Store(kSMTP1, "TARQ:UBE Configuration", {"16"});
  Store(kSMTP1, "TARQ:RBL Host", {"rbl.example"});
  As("Joe.Sales.Acme");
  ASSERT_NE(Open(kUbe), nullptr);
  for (int id : {IDC_SU_CHECK_RBL, IDC_SU_RBL_HOST, IDC_SU_ALLOWED_FROM, IDC_SU_ALLOWED_LIST,
                 IDC_SU_BLOCKED_FROM, IDC_SU_RECIPIENTS})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_TRUE(IsItemChecked(page_, IDC_SU_CHECK_RBL));
  EXPECT_EQ(ItemText(page_, IDC_SU_RBL_HOST), "rbl.example");
  EXPECT_EQ(ApplyPage(SMTPUBEConfigurationDlgProc), 1);
  EXPECT_FALSE(Changed());
}

TEST_F(SmtpPages, EachPageOpensItsOwnHelpAndTheSharedPagesTheClasses) {
  HelpViewer help;
  for (int index = 0; index < 6; ++index) {
    ASSERT_NE(Open(index), nullptr);
    SendMessageA(page_, QZX_PAGE_HELP, 0, 0);
  }
  EXPECT_EQ(help.contexts, (std::vector<long>{28, 29, 29, 37, 45, 11}));
}

}  // namespace
}  // namespace agentstest
