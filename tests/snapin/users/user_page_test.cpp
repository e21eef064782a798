// The messaging page of one user and of several, in tarq.dll run by the
// host program's code against a real directory: what they show, what each
// control writes, rights, refusals and the per-object apply.
#include <algorithm>
#include <string>
#include <vector>

#include "users_fixture.h"

namespace userstest {
namespace {

const char kJoe[] = "Joe.Sales.Acme";
const char kAnn[] = "Ann.Sales.Acme";
const char kBob[] = "Bob.Sales.Acme";

std::vector<std::string> Tabs(HWND sheet) {
  HWND tabs = PropSheet_GetTabControl(sheet);
  std::vector<std::string> out;
  for (int i = 0, n = TabCtrl_GetItemCount(tabs); i < n; ++i) {
    char text[128] = {};
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(tabs, TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    out.push_back(text);
  }
  return out;
}

int Selected(HWND page, int id) {
  return static_cast<int>(SendDlgItemMessageA(page, id, CB_GETCURSEL, 0, 0));
}

UINT BoxState(HWND page, int id) { return IsDlgButtonChecked(page, id); }

using MessagingPage = UserPages;

TEST_F(MessagingPage, ShowsTheStoredSettingsAndWritesThemBackUnchanged) {
  Load();
  HWND sheet = Open({kJoe});
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(Tabs(sheet), (Strings{"Halcyn Korrat Configuration", "Halcyn Korrat Proxy Configuration",
                                  "Halcyn Korrat Finger Configuration"}));
  HWND page = PageAt(sheet, 0);
  EXPECT_EQ(ItemText(page, 10), kJoe);
  EXPECT_EQ(SendDlgItemMessageA(page, IDC_USR_PRIVACY, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(Selected(page, IDC_USR_PRIVACY), 1);
  EXPECT_EQ(ItemText(page, IDC_USR_TIMEOUT), "15");
  EXPECT_EQ(ItemText(page, IDC_USR_EMAIL), "joe@sales.example");
  EXPECT_FALSE(IsItemChecked(page, IDC_USR_DISABLED));
  EXPECT_TRUE(IsItemChecked(page, IDC_USR_FORWARD));  // forwarding "2": both boxes
  EXPECT_TRUE(IsItemChecked(page, IDC_USR_KEEP_COPY));
  EXPECT_EQ(ItemText(page, IDC_USR_FORWARD_ADDRESS), "joe@home.example");
  EXPECT_TRUE(IsItemChecked(page, IDC_USR_VACATION));
  EXPECT_EQ(ItemText(page, IDC_USR_REPLY_MESSAGE), "Away until Monday.\r\nJoe");
  EXPECT_TRUE(IsItemChecked(page, IDC_USR_USE_QUOTA));
  EXPECT_EQ(ItemText(page, IDC_USR_QUOTA_VALUE), "5000");
  EXPECT_TRUE(IsItemEnabled(page, IDC_USR_QUOTA_VALUE));
  EXPECT_FALSE(ApplyEnabled(sheet));  // filling the page is no change

  EXPECT_TRUE(Apply(sheet));
  EXPECT_EQ(Values(kJoe, "Quorvel:Forwarding Enabled"), Strings{"2"});
  EXPECT_EQ(Values(kJoe, "Quorvel:Privacy"), Strings{"1"});
  EXPECT_EQ(Values(kJoe, "Quorvel:Timeout"), Strings{"15"});
  EXPECT_EQ(Values(kJoe, "Quorvel:Reply Message"), Strings{"Away until Monday.\r\nJoe"});
  EXPECT_EQ(Values(kJoe, "Quorvel:Quota Value"), Strings{"5000"});
}

TEST_F(MessagingPage, AUserWithoutSettingsShowsTheDefaultsAndGetsFlagsWritten) {
  Load();
  HWND sheet = Open({kAnn});
  HWND page = PageAt(sheet, 0);
  EXPECT_EQ(Selected(page, IDC_USR_PRIVACY), 0);
  EXPECT_EQ(ItemText(page, IDC_USR_TIMEOUT), "0");
  EXPECT_FALSE(IsItemChecked(page, IDC_USR_FORWARD));
  EXPECT_FALSE(IsItemChecked(page, IDC_USR_KEEP_COPY));
  EXPECT_FALSE(IsItemChecked(page, IDC_USR_USE_QUOTA));
  EXPECT_FALSE(IsItemEnabled(page, IDC_USR_QUOTA_VALUE));
  EXPECT_FALSE(IsItemEnabled(page, IDC_USR_QUOTA_UNIT));
  EXPECT_TRUE(Apply(sheet));
  EXPECT_EQ(Values(kAnn, "Quorvel:Privacy"), Strings{"0"});
  EXPECT_EQ(Values(kAnn, "Quorvel:Timeout"), Strings{"6"});
  EXPECT_EQ(Values(kAnn, "Quorvel:Messaging Disabled"), Strings{"0"});
  EXPECT_EQ(Values(kAnn, "Quorvel:Forwarding Enabled"), Strings{"0"});
  EXPECT_EQ(Values(kAnn, "Quorvel:Vacation Message Enabled"), Strings{"0"});
  EXPECT_EQ(Values(kAnn, "Quorvel:Use Quota"), Strings{"0"});
  snapintest::ExpectWritten(directory_.Admin(), {{kAnn, "Quorvel:Privacy", "0", 3},
                                                {kAnn, "Quorvel:Timeout", "6", 3},
                                                {kAnn, "Quorvel:Forwarding Enabled", "0", 3}});
  EXPECT_TRUE(Values(kAnn, "Quorvel:EMail Address").empty());
  EXPECT_TRUE(Values(kAnn, "Quorvel:Quota Value").empty());
}

TEST_F(MessagingPage, ATimeoutThatReadsAsZeroIsWrittenAsSix) {
  Load();
  for (const char* typed : {"0", "abc", "", "12"}) {
    SCOPED_TRACE(typed);
    HWND sheet = Open({kJoe});
    SetItemText(PageAt(sheet, 0), IDC_USR_TIMEOUT, typed);
    EXPECT_TRUE(ApplyEnabled(sheet));
    EXPECT_TRUE(Apply(sheet));
    EXPECT_EQ(Values(kJoe, "Quorvel:Timeout"), Strings{typed == std::string("12") ? "12" : "6"});
    zelm::host::CloseSheet(sheet);
  }
}

TEST_F(MessagingPage, EmptyTextFieldsRemoveTheirValuesAndKeepLocalCopyAloneIsNoForwarding) {
  Load();
  HWND sheet = Open({kJoe});
  HWND page = PageAt(sheet, 0);
  SetItemText(page, IDC_USR_EMAIL, "");
  SetItemText(page, IDC_USR_FORWARD_ADDRESS, "");
  SetItemText(page, IDC_USR_REPLY_MESSAGE, "");
  ClickItem(page, IDC_USR_FORWARD);  // "Keep local copy" stays ticked
  EXPECT_TRUE(IsItemChecked(page, IDC_USR_KEEP_COPY));
  EXPECT_TRUE(Apply(sheet));
  EXPECT_TRUE(Values(kJoe, "Quorvel:EMail Address").empty());
  EXPECT_TRUE(Values(kJoe, "Quorvel:Forwarding Address").empty());
  EXPECT_TRUE(Values(kJoe, "Quorvel:Reply Message").empty());
  EXPECT_EQ(Values(kJoe, "Quorvel:Forwarding Enabled"), Strings{"0"});
}

TEST_F(MessagingPage, EachControlLightsApplyAndTheQuotaFieldFollowsItsBox) {
  Load();
  HWND sheet = Open({kJoe});
  HWND page = PageAt(sheet, 0);
  ClickItem(page, IDC_USR_USE_QUOTA);
  EXPECT_TRUE(ApplyEnabled(sheet));
  EXPECT_FALSE(IsItemEnabled(page, IDC_USR_QUOTA_VALUE));
  EXPECT_FALSE(IsItemEnabled(page, IDC_USR_QUOTA_UNIT));
  ClickItem(page, IDC_USR_USE_QUOTA);
  EXPECT_TRUE(IsItemEnabled(page, IDC_USR_QUOTA_VALUE));
  SelectComboRow(page, IDC_USR_PRIVACY, 2);
  ClickItem(page, IDC_USR_DISABLED);
  ClickItem(page, IDC_USR_KEEP_COPY);
  ClickItem(page, IDC_USR_VACATION);
  SetItemText(page, IDC_USR_QUOTA_VALUE, "750");
  EXPECT_TRUE(Apply(sheet));
  EXPECT_EQ(Values(kJoe, "Quorvel:Privacy"), Strings{"2"});
  EXPECT_EQ(Values(kJoe, "Quorvel:Messaging Disabled"), Strings{"1"});
  EXPECT_EQ(Values(kJoe, "Quorvel:Forwarding Enabled"), Strings{"1"});
  EXPECT_EQ(Values(kJoe, "Quorvel:Vacation Message Enabled"), Strings{"0"});
  EXPECT_EQ(Values(kJoe, "Quorvel:Use Quota"), Strings{"1"});
  EXPECT_EQ(Values(kJoe, "Quorvel:Quota Value"), Strings{"750"});
}

TEST_F(MessagingPage, WithoutTheRightToTheQuotaValueNeitherQuotaAttributeIsTouched) {
  Load("Manager.Sales.Acme");
  HWND sheet = Open({kJoe});
  HWND page = PageAt(sheet, 0);
  EXPECT_TRUE(IsItemChecked(page, IDC_USR_USE_QUOTA));
  for (int id : {IDC_USR_USE_QUOTA, IDC_USR_QUOTA_VALUE, IDC_USR_QUOTA_UNIT})
    EXPECT_FALSE(IsItemEnabled(page, id)) << id;
  EXPECT_TRUE(IsItemEnabled(page, IDC_USR_TIMEOUT));
  EXPECT_TRUE(IsItemEnabled(page, IDC_USR_FORWARD));
  // Whatever the disabled controls hold now, the page must not write it.
  CheckDlgButton(page, IDC_USR_USE_QUOTA, BST_UNCHECKED);
  SetItemText(page, IDC_USR_QUOTA_VALUE, "9999");
  SetItemText(page, IDC_USR_TIMEOUT, "20");
  MessageBoxInterceptor boxes;
  EXPECT_TRUE(Apply(sheet));
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(Values(kJoe, "Quorvel:Timeout"), Strings{"20"});
  EXPECT_EQ(Values(kJoe, "Quorvel:Use Quota"), Strings{"1"});
  EXPECT_EQ(Values(kJoe, "Quorvel:Quota Value"), Strings{"5000"});
}

TEST_F(MessagingPage, AnIdentityWithoutWriteRightsSeesEveryControlDisabledAndWritesNothing) {
  Load("Kim.East.Sales.Acme");
  HWND sheet = Open({kJoe});
  HWND page = PageAt(sheet, 0);
  for (int id : {IDC_USR_PRIVACY, IDC_USR_PRIVACY_LABEL, IDC_USR_EMAIL, IDC_USR_EMAIL_LABEL,
                 IDC_USR_TIMEOUT, IDC_USR_TIMEOUT_LABEL, IDC_USR_TIMEOUT_UNIT, IDC_USR_DISABLED,
                 IDC_USR_STATUS_GROUP, IDC_USR_FORWARD, IDC_USR_FORWARD_ADDRESS,
                 IDC_USR_FORWARD_GROUP, IDC_USR_KEEP_COPY, IDC_USR_VACATION,
                 IDC_USR_REPLY_MESSAGE, IDC_USR_VACATION_GROUP, IDC_USR_USE_QUOTA,
                 IDC_USR_QUOTA_VALUE, IDC_USR_QUOTA_UNIT})
    EXPECT_FALSE(IsItemEnabled(page, id)) << id;
  EXPECT_EQ(ItemText(page, IDC_USR_EMAIL), "joe@sales.example");  // still shown
  SetItemText(page, IDC_USR_EMAIL, "changed@example");
  SetItemText(page, IDC_USR_TIMEOUT, "99");
  MessageBoxInterceptor boxes;
  EXPECT_TRUE(Apply(sheet));
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(Values(kJoe, "Quorvel:EMail Address"), Strings{"joe@sales.example"});
  EXPECT_EQ(Values(kJoe, "Quorvel:Timeout"), Strings{"15"});
}

TEST_F(MessagingPage, AFailedWriteStopsTheApplyKeepsEarlierWritesAndARetryGoesThrough) {
  Load();
  HWND sheet = Open({kJoe});
  HWND page = PageAt(sheet, 0);
  SelectComboRow(page, IDC_USR_PRIVACY, 2);
  SetItemText(page, IDC_USR_TIMEOUT, "30");
  SetItemText(page, IDC_USR_EMAIL, "new@sales.example");
  ClickItem(page, IDC_USR_VACATION);
  // Someone else changes the address meanwhile: the value the page read is gone.
  Set(kJoe, "Quorvel:EMail Address", {"other@sales.example"});
  MessageBoxInterceptor boxes;
  EXPECT_FALSE(Apply(sheet));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "[-602] Directory Error");
  EXPECT_EQ(boxes.Boxes()[0].text, "No such value");
  EXPECT_TRUE(Focused(page, IDC_USR_EMAIL));
  EXPECT_EQ(PropSheet_GetCurrentPageHwnd(sheet), page);
  EXPECT_EQ(Values(kJoe, "Quorvel:Privacy"), Strings{"2"});  // earlier steps stay written
  EXPECT_EQ(Values(kJoe, "Quorvel:Timeout"), Strings{"30"});
  EXPECT_EQ(Values(kJoe, "Quorvel:EMail Address"), Strings{"other@sales.example"});
  EXPECT_EQ(Values(kJoe, "Quorvel:Vacation Message Enabled"), Strings{"1"});  // never reached

  // The page now compares with what is stored: a second try succeeds.
  boxes.Clear();
  EXPECT_TRUE(Apply(sheet));
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(Values(kJoe, "Quorvel:EMail Address"), Strings{"new@sales.example"});
  EXPECT_EQ(Values(kJoe, "Quorvel:Vacation Message Enabled"), Strings{"0"});
}

TEST_F(MessagingPage, OkAfterApplyWritesTheLaterChangesWithoutAnError) {
  Load();
  HWND sheet = Open({kJoe});
  HWND page = PageAt(sheet, 0);
  SetItemText(page, IDC_USR_TIMEOUT, "20");
  SetItemText(page, IDC_USR_EMAIL, "a@sales.example");
  MessageBoxInterceptor boxes;
  EXPECT_TRUE(Apply(sheet));
  SetItemText(page, IDC_USR_TIMEOUT, "25");
  EXPECT_TRUE(Ok(sheet));
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(Values(kJoe, "Quorvel:Timeout"), Strings{"25"});
  EXPECT_EQ(Values(kJoe, "Quorvel:EMail Address"), Strings{"a@sales.example"});
}

TEST_F(MessagingPage, TextFieldsTakeTypingUpTo1024CharactersAndKeepLongerStoredText) {
  Load();
  const std::string fits(1024, 'r'), over = fits + "s";
  for (const std::string& text : {fits, over}) {
    HWND sheet = Open({kJoe});
    HWND page = PageAt(sheet, 0);
    EXPECT_EQ(SendDlgItemMessageA(page, IDC_USR_REPLY_MESSAGE, EM_GETLIMITTEXT, 0, 0), 1024);
    // Past the typing limit only a stored text gets into the field: it is
    // written whole, never cut.
    SetItemText(page, IDC_USR_REPLY_MESSAGE, text.c_str());
    EXPECT_TRUE(Apply(sheet));
    EXPECT_EQ(Values(kJoe, "Quorvel:Reply Message"), Strings{text}) << text.size();
    zelm::host::CloseSheet(sheet);
  }
}

// Reply and finger messages in lines whichever line breaks they were stored
// with, and written back with them.
TEST_F(MessagingPage, MultiLineMessagesShowTheirLinesAndKeepTheirLineBreaks) {
  Load();
  const struct {
    int page, field;
    const char* attribute;
  } fields[] = {{0, IDC_USR_REPLY_MESSAGE, "Quorvel:Reply Message"},
                {2, IDC_FNG_MESSAGE, "Quorvel:Finger Message"}};
  // 1,027 characters with 27 line feeds: 1,054 in the field.
  std::string longest;
  for (int i = 0; i < 27; ++i) longest += std::string(37, 'x') + "\n";
  longest += "y";
  const struct {
    std::string stored, shown, added;  // the line typed at the end
    std::string written;
  } rows[] = {
      {"Away.\nBack Monday.", "Away.\r\nBack Monday.", "Joe", "Away.\nBack Monday.\nJoe"},
      {"Away.\r\nBack Monday.", "Away.\r\nBack Monday.", "Joe", "Away.\r\nBack Monday.\r\nJoe"},
      {"Away.", "Away.", "Joe", "Away.\r\nJoe"},  // none stored: as the field gives them
      {longest, "", "", longest},
  };
  for (const auto& f : fields) {
    for (const auto& r : rows) {
      SCOPED_TRACE(f.attribute);
      SCOPED_TRACE(r.stored.substr(0, 24));
      Set(kJoe, f.attribute, {r.stored});
      HWND sheet = Open({kJoe});
      HWND page = PageAt(sheet, f.page);
      std::string shown = ItemText(page, f.field);
      if (!r.shown.empty()) {
        EXPECT_EQ(shown, r.shown);
      }
      EXPECT_EQ(SendDlgItemMessageA(page, f.field, EM_GETLINECOUNT, 0, 0),
                static_cast<LRESULT>(std::count(r.stored.begin(), r.stored.end(), '\n') + 1));
      EXPECT_TRUE(Apply(sheet));  // untouched: stored as it was
      EXPECT_EQ(Values(kJoe, f.attribute), Strings{r.stored});
      if (!r.added.empty()) {
        SetItemText(page, f.field, (shown + "\r\n" + r.added).c_str());
        EXPECT_TRUE(Apply(sheet));
        EXPECT_EQ(Values(kJoe, f.attribute), Strings{r.written});
      }
      zelm::host::CloseSheet(sheet);
    }
  }
}

TEST_F(MessagingPage, ObjectProceduresOfferTheirPagesAndAnswerNothingElse) {
  Load();
  HMODULE tarq = GetModuleHandleA("tarq.dll");
  ASSERT_NE(tarq, nullptr);
  auto user = reinterpret_cast<QZXObjectProc>(reinterpret_cast<void*>(GetProcAddress(tarq, "UserObjProc")));
  auto multi =
      reinterpret_cast<QZXObjectProc>(reinterpret_cast<void*>(GetProcAddress(tarq, "MultiUserObjProc")));
  ASSERT_NE(user, nullptr);
  ASSERT_NE(multi, nullptr);
  EXPECT_EQ(user(kJoe, QZX_MSG_OPEN, 0, 0), 3);
  const char* templates[] = {"User", "UserProxy", "UserFinger"};
  for (int i = 0; i < 3; ++i) {
    QZXPageRecord r = {};
    EXPECT_EQ(user(kJoe, QZX_MSG_PAGE, i, reinterpret_cast<intptr_t>(&r)), 0);
    EXPECT_STREQ(r.templateName, templates[i]);
    EXPECT_EQ(r.instance, tarq);
    EXPECT_EQ(r.reserved, 0);
  }
  QZXPageRecord none = {};
  EXPECT_EQ(user(kJoe, QZX_MSG_PAGE, 3, reinterpret_cast<intptr_t>(&none)), -1);
  EXPECT_EQ(none.procedure, nullptr);
  EXPECT_EQ(multi(kJoe, QZX_MSG_OPEN, 0, 0), 1);
  QZXPageRecord r = {};
  EXPECT_EQ(multi(kJoe, QZX_MSG_PAGE, 0, reinterpret_cast<intptr_t>(&r)), 0);
  EXPECT_STREQ(r.templateName, "MultiUser");
  EXPECT_STREQ(r.title, "Halcyn Korrat Configuration");
  for (QZXObjectProc proc : {user, multi}) {
    for (uint32_t m : {0x100u, 0x102u, 0x105u, 0x107u, 0x110u, 0x111u})
      EXPECT_EQ(proc("User", m, 0, 0), 0) << std::hex << m;
  }
}

// ---- several users -----------------------------------------------------------

using MultiUserPage = UserPages;

TEST_F(MultiUserPage, DifferingFlagsShowMixedBoxesAndACommonQuotaIsShown) {
  Set(kAnn, "Quorvel:Messaging Disabled", {"1"});
  Set(kAnn, "Quorvel:Use Quota", {"1"});
  Set(kAnn, "Quorvel:Quota Value", {"5000"});
  Load();
  HWND sheet = Open({kJoe, kAnn});
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(Tabs(sheet), Strings{"Halcyn Korrat Configuration"});
  HWND page = PageAt(sheet, 0);
  EXPECT_EQ(ItemText(page, 10), "<Multiple users selected>");
  EXPECT_EQ(BoxState(page, IDC_USR_DISABLED), static_cast<UINT>(BST_INDETERMINATE));
  EXPECT_EQ(BoxState(page, IDC_USR_USE_QUOTA), static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(ItemText(page, IDC_USR_QUOTA_VALUE), "5000");
  EXPECT_TRUE(IsItemEnabled(page, IDC_USR_QUOTA_VALUE));
  EXPECT_EQ(ItemText(page, IDC_USR_TIMEOUT), "15");  // the first user's
  EXPECT_EQ(Selected(page, IDC_USR_PRIVACY), -1);
  EXPECT_FALSE(ApplyEnabled(sheet));

  Set(kAnn, "Quorvel:Quota Value", {"300"});
  zelm::host::CloseSheet(sheet);
  page = PageAt(Open({kJoe, kAnn}), 0);
  EXPECT_EQ(ItemText(page, IDC_USR_QUOTA_VALUE), "");
}

TEST_F(MultiUserPage, AQuotaDifferingAfterBothBoxesTurnedMixedIsStillNoticed) {
  Set(kAnn, "Quorvel:Messaging Disabled", {"1"});
  Set(kAnn, "Quorvel:Use Quota", {"0"});
  Set(kAnn, "Quorvel:Quota Value", {"5000"});
  Set(kBob, "Quorvel:Quota Value", {"700"});
  Load();
  HWND sheet = Open({kJoe, kAnn, kBob});
  HWND page = PageAt(sheet, 0);
  EXPECT_EQ(BoxState(page, IDC_USR_DISABLED), static_cast<UINT>(BST_INDETERMINATE));
  EXPECT_EQ(BoxState(page, IDC_USR_USE_QUOTA), static_cast<UINT>(BST_INDETERMINATE));
  EXPECT_EQ(ItemText(page, IDC_USR_QUOTA_VALUE), "");
  EXPECT_TRUE(Ok(sheet));
  EXPECT_EQ(Values(kBob, "Quorvel:Quota Value"), Strings{"700"});
  EXPECT_EQ(Values(kAnn, "Quorvel:Messaging Disabled"), Strings{"1"});
  EXPECT_EQ(Values(kJoe, "Quorvel:Messaging Disabled"), Strings{"0"});
}

TEST_F(MultiUserPage, ApplyingUnchangedWritesTheShownSettingsToEveryUser) {
  Load();
  HWND sheet = Open({kJoe, kAnn, kBob});
  PageAt(sheet, 0);
  EXPECT_TRUE(Ok(sheet));
  for (const char* user : {kJoe, kAnn, kBob}) {
    SCOPED_TRACE(user);
    EXPECT_EQ(Values(user, "Quorvel:Timeout"), Strings{"15"});
    EXPECT_EQ(Values(user, "Quorvel:Messaging Disabled"), Strings{"0"});
    EXPECT_EQ(Values(user, "Quorvel:Use Quota"), Strings{"1"});
    EXPECT_EQ(Values(user, "Quorvel:Quota Value"), Strings{"5000"});
  }
  EXPECT_TRUE(Values(kAnn, "Quorvel:Privacy").empty());  // nothing selected

  // A first user without a timeout: 6 is shown and written.
  Set(kAnn, "Quorvel:Timeout", {"30"});
  sheet = Open({"Kim.East.Sales.Acme", kAnn});
  EXPECT_EQ(ItemText(PageAt(sheet, 0), IDC_USR_TIMEOUT), "6");
  EXPECT_TRUE(Ok(sheet));
  EXPECT_EQ(Values("Kim.East.Sales.Acme", "Quorvel:Timeout"), Strings{"6"});
  EXPECT_EQ(Values(kAnn, "Quorvel:Timeout"), Strings{"6"});
}

TEST_F(MultiUserPage, AFirstUserWithTimeoutZeroLeavesTheFieldEmptyAndTheTimeoutsAlone) {
  Set(kAnn, "Quorvel:Timeout", {"0"});
  Set(kBob, "Quorvel:Timeout", {"20"});
  Load();
  HWND sheet = Open({kAnn, kBob});
  EXPECT_EQ(ItemText(PageAt(sheet, 0), IDC_USR_TIMEOUT), "");
  EXPECT_TRUE(Ok(sheet));
  EXPECT_EQ(Values(kAnn, "Quorvel:Timeout"), Strings{"0"});
  EXPECT_EQ(Values(kBob, "Quorvel:Timeout"), Strings{"20"});
}

TEST_F(MultiUserPage, MixedBoxesEmptyFieldsAndNoPrivacyLeaveEachUsersValue) {
  Set(kAnn, "Quorvel:Messaging Disabled", {"1"});
  Set(kAnn, "Quorvel:Use Quota", {"0"});
  Load();
  HWND sheet = Open({kJoe, kAnn});
  HWND page = PageAt(sheet, 0);
  SetItemText(page, IDC_USR_TIMEOUT, "");
  SetItemText(page, IDC_USR_QUOTA_VALUE, "0");
  EXPECT_TRUE(ApplyEnabled(sheet));
  EXPECT_TRUE(Ok(sheet));
  EXPECT_EQ(Values(kJoe, "Quorvel:Messaging Disabled"), Strings{"0"});
  EXPECT_EQ(Values(kAnn, "Quorvel:Messaging Disabled"), Strings{"1"});
  EXPECT_EQ(Values(kJoe, "Quorvel:Use Quota"), Strings{"1"});
  EXPECT_EQ(Values(kAnn, "Quorvel:Use Quota"), Strings{"0"});
  EXPECT_EQ(Values(kJoe, "Quorvel:Timeout"), Strings{"15"});
  EXPECT_TRUE(Values(kAnn, "Quorvel:Timeout").empty());
  EXPECT_EQ(Values(kJoe, "Quorvel:Quota Value"), Strings{"5000"});
  EXPECT_TRUE(Values(kAnn, "Quorvel:Quota Value").empty());
  EXPECT_EQ(Values(kJoe, "Quorvel:Privacy"), Strings{"1"});
  EXPECT_TRUE(Values(kAnn, "Quorvel:Privacy").empty());
}

TEST_F(MultiUserPage, ChosenSettingsAreWrittenToEveryUserAndAZeroTimeoutIsKept) {
  Set(kAnn, "Quorvel:Messaging Disabled", {"1"});
  Load();
  HWND sheet = Open({kJoe, kAnn, kBob});
  HWND page = PageAt(sheet, 0);
  ASSERT_EQ(BoxState(page, IDC_USR_DISABLED), static_cast<UINT>(BST_INDETERMINATE));
  ClickItem(page, IDC_USR_DISABLED);  // mixed, then clear
  EXPECT_EQ(BoxState(page, IDC_USR_DISABLED), static_cast<UINT>(BST_UNCHECKED));
  ClickItem(page, IDC_USR_USE_QUOTA);  // set, then mixed: the field stays usable
  EXPECT_EQ(BoxState(page, IDC_USR_USE_QUOTA), static_cast<UINT>(BST_INDETERMINATE));
  EXPECT_TRUE(IsItemEnabled(page, IDC_USR_QUOTA_VALUE));
  ClickItem(page, IDC_USR_USE_QUOTA);  // clear
  EXPECT_FALSE(IsItemEnabled(page, IDC_USR_QUOTA_VALUE));
  EXPECT_FALSE(IsItemEnabled(page, IDC_USR_QUOTA_UNIT));
  SetItemText(page, IDC_USR_TIMEOUT, "0");
  SelectComboRow(page, IDC_USR_PRIVACY, 2);
  EXPECT_TRUE(Ok(sheet));
  for (const char* user : {kJoe, kAnn, kBob}) {
    SCOPED_TRACE(user);
    EXPECT_EQ(Values(user, "Quorvel:Messaging Disabled"), Strings{"0"});
    EXPECT_EQ(Values(user, "Quorvel:Use Quota"), Strings{"0"});
    EXPECT_EQ(Values(user, "Quorvel:Timeout"), Strings{"0"});
    EXPECT_EQ(Values(user, "Quorvel:Privacy"), Strings{"2"});
  }
}

TEST_F(MultiUserPage, AUserThatCannotBeWrittenIsNamedAndTheOthersAreWritten) {
  Load("Manager.Sales.Acme");
  HWND sheet = Open({kAnn, "Zed.Support.Acme"});
  SelectComboRow(PageAt(sheet, 0), IDC_USR_PRIVACY, 1);
  MessageBoxInterceptor boxes;
  EXPECT_FALSE(Apply(sheet));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "The settings could not be written to:\nZed.Support.Acme");
  EXPECT_EQ(Values(kAnn, "Quorvel:Privacy"), Strings{"1"});
  EXPECT_TRUE(Values("Zed.Support.Acme", "Quorvel:Privacy").empty());
}

}  // namespace
}  // namespace userstest
