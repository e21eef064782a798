// The proxy-list and finger pages of one user, in tarq.dll run by the host
// program's code against a real directory: entries shown by position and
// written back relabelled, the agent's state kept or emptied, passwords
// checked, values the page does not offer kept, and the finger message.
#include <algorithm>
#include <string>
#include <vector>

#include "users_fixture.h"

namespace userstest {
namespace {

const char kJoe[] = "Joe.Sales.Acme";
const char kAnn[] = "Ann.Sales.Acme";
const char kList[] = "Quorvel:Proxy List";
constexpr int kProxyPage = 1;
constexpr int kFingerPage = 2;

Strings Sorted(Strings v) {
  std::sort(v.begin(), v.end());
  return v;
}

class ProxyPage : public UserPages {
 protected:
  HWND OpenProxy(const char* user) {
    sheet_ = Open({user});
    return page_ = PageAt(sheet_, kProxyPage);
  }
  void Type(const char* host, const char* user, const char* password, const char* retype) {
    SetItemText(page_, IDC_PRX_HOST, host);
    SetItemText(page_, IDC_PRX_USER, user);
    SetItemText(page_, IDC_PRX_PASSWORD, password);
    SetItemText(page_, IDC_PRX_RETYPE, retype);
  }
  int ShownEntry() const {
    return static_cast<int>(SendDlgItemMessageA(page_, IDC_PRX_ENTRY, CB_GETCURSEL, 0, 0));
  }
  HWND sheet_ = nullptr;
  HWND page_ = nullptr;
};

TEST_F(ProxyPage, AUserWithoutEntriesShowsThreeEmptyOnesAndApplyStoresNone) {
  Load();
  OpenProxy(kAnn);
  EXPECT_EQ(ItemText(page_, 10), kAnn);
  EXPECT_EQ(SendDlgItemMessageA(page_, IDC_PRX_ENTRY, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(ShownEntry(), 0);
  for (int row = 0; row < 3; ++row) {
    SelectComboRow(page_, IDC_PRX_ENTRY, row);
    EXPECT_EQ(ShownEntry(), row);
    EXPECT_EQ(ItemText(page_, IDC_PRX_HOST), "");
    EXPECT_EQ(ItemText(page_, IDC_PRX_PASSWORD), "");
    EXPECT_TRUE(IsItemChecked(page_, IDC_PRX_POP3));
    EXPECT_FALSE(IsItemChecked(page_, IDC_PRX_LEAVE));
  }
  EXPECT_FALSE(ApplyEnabled(sheet_));
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_TRUE(Values(kAnn, kList).empty());
}

TEST_F(ProxyPage, EntriesAreShownInReadOrderAndWrittenBackLabelledByPosition) {
  Set(kJoe, kList, {"Entry 3\rpop.a.example\rjoe\rpw\rUID 9\r1\r1",
                    "Entry 1\rpop.b.example\rjb\rpw2\r\r0\r0"});
  Load();
  OpenProxy(kJoe);
  EXPECT_EQ(ItemText(page_, IDC_PRX_HOST), "pop.a.example");
  EXPECT_EQ(ItemText(page_, IDC_PRX_USER), "joe");
  EXPECT_EQ(ItemText(page_, IDC_PRX_PASSWORD), "pw");
  EXPECT_EQ(ItemText(page_, IDC_PRX_RETYPE), "pw");
  EXPECT_TRUE(IsItemChecked(page_, IDC_PRX_IMAP4));
  EXPECT_FALSE(IsItemChecked(page_, IDC_PRX_POP3));
  EXPECT_TRUE(IsItemChecked(page_, IDC_PRX_LEAVE));
  SelectComboRow(page_, IDC_PRX_ENTRY, 1);
  EXPECT_EQ(ItemText(page_, IDC_PRX_HOST), "pop.b.example");
  EXPECT_TRUE(IsItemChecked(page_, IDC_PRX_POP3));
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Sorted(Values(kJoe, kList)), Sorted({"Entry 1\rpop.a.example\rjoe\rpw\rUID 9\r1\r1",
                                                 "Entry 2\rpop.b.example\rjb\rpw2\r\r0\r0"}));
}

TEST_F(ProxyPage, ThePasswordAloneKeepsTheAgentsStateAndANewHostOrUserEmptiesIt) {
  Set(kJoe, kList, {"Entry 1\rpop.example\rjoe\rold\rS1\r0\r0",
                    "Entry 2\rimap.example\rann\rpw\rS2\r1\r0",
                    "Entry 3\rmx.example\rbob\rpw\rS3\r0\r1"});
  Load();
  OpenProxy(kJoe);
  Type("pop.example", "joe", "new", "new");
  SelectComboRow(page_, IDC_PRX_ENTRY, 1);
  EXPECT_TRUE(ApplyEnabled(sheet_));
  Type("IMAP.Example", "ANN", "pw2", "pw2");  // host and user differ in letter case only
  SelectComboRow(page_, IDC_PRX_ENTRY, 2);
  Type("mx.example", "bobby", "pw", "pw");
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Sorted(Values(kJoe, kList)), Sorted({"Entry 1\rpop.example\rjoe\rnew\rS1\r0\r0",
                                                 "Entry 2\rIMAP.Example\rANN\rpw2\rS2\r1\r0",
                                                 "Entry 3\rmx.example\rbobby\rpw\r\r0\r1"}));
  // Back to the first entry: it shows what was stored for it.
  SelectComboRow(page_, IDC_PRX_ENTRY, 0);
  EXPECT_EQ(ItemText(page_, IDC_PRX_PASSWORD), "new");
}

TEST_F(ProxyPage, ValuesThePageDoesNotOfferAreWrittenBackAsTheyWere) {
  const Strings kept = {"Entry 9\rbroken", "Entry 4\rpop.d.example\rd\rpw\rS4\r0\r1 extra",
                        "Entry 5\rpop.e.example\re\rpw\r\r1\r0"};
  Set(kJoe, kList, {kept[0], "Entry 1\rpop.a.example\ra\rpw\r\r0\r0",
                    "Entry 2\rpop.b.example\rb\rpw\r\r0\r0",
                    "Entry 3\rpop.c.example\rc\rpw\r\r0\r0", kept[1], kept[2]});
  Load();
  OpenProxy(kJoe);
  EXPECT_EQ(ItemText(page_, IDC_PRX_HOST), "pop.a.example");  // the broken value is skipped
  SelectComboRow(page_, IDC_PRX_ENTRY, 2);
  EXPECT_EQ(ItemText(page_, IDC_PRX_HOST), "pop.c.example");
  Type("pop.z.example", "c", "pw", "pw");
  EXPECT_TRUE(Apply(sheet_));
  Strings want = kept;
  want.push_back("Entry 1\rpop.a.example\ra\rpw\r\r0\r0");
  want.push_back("Entry 2\rpop.b.example\rb\rpw\r\r0\r0");
  want.push_back("Entry 3\rpop.z.example\rc\rpw\r\r0\r0");
  EXPECT_EQ(Sorted(Values(kJoe, kList)), Sorted(want));
}

TEST_F(ProxyPage, WithoutTheRetypedPasswordTypingIsNoChangeAndApplyRefuses) {
  Load();
  OpenProxy(kAnn);
  Type("pop.example", "ann", "secret", "");
  EXPECT_FALSE(ApplyEnabled(sheet_));
  MessageBoxInterceptor boxes;
  EXPECT_FALSE(Apply(sheet_));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Error");
  EXPECT_EQ(boxes.Boxes()[0].text, "Passwords don't match!");
  EXPECT_TRUE(Focused(page_, IDC_PRX_PASSWORD));
  EXPECT_TRUE(Values(kAnn, kList).empty());

  SetItemText(page_, IDC_PRX_RETYPE, "secret");
  EXPECT_TRUE(ApplyEnabled(sheet_));
  ClickItem(page_, IDC_PRX_IMAP4);
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Values(kAnn, kList), Strings{"Entry 1\rpop.example\rann\rsecret\r\r1\r0"});
}

TEST_F(ProxyPage, SwitchingWithPasswordsThatDifferKeepsTheShownEntry) {
  Set(kJoe, kList, {"Entry 1\rpop.example\rjoe\rpw\rS1\r0\r0"});
  Load();
  OpenProxy(kJoe);
  SetItemText(page_, IDC_PRX_PASSWORD, "Secret");
  SetItemText(page_, IDC_PRX_RETYPE, "secret");  // compared byte for byte
  MessageBoxInterceptor boxes;
  SelectComboRow(page_, IDC_PRX_ENTRY, 1);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Error");
  EXPECT_EQ(boxes.Boxes()[0].text, "Passwords don't match\n");
  EXPECT_EQ(ShownEntry(), 0);
  EXPECT_EQ(ItemText(page_, IDC_PRX_HOST), "pop.example");
  EXPECT_EQ(ItemText(page_, IDC_PRX_PASSWORD), "Secret");
  EXPECT_TRUE(Focused(page_, IDC_PRX_PASSWORD));
  EXPECT_EQ(Values(kJoe, kList), Strings{"Entry 1\rpop.example\rjoe\rpw\rS1\r0\r0"});
}

TEST_F(ProxyPage, ClearEmptiesTheShownEntrySoItIsNoLongerStored) {
  Set(kJoe, kList, {"Entry 1\rpop.example\rjoe\rpw\rS1\r1\r1",
                    "Entry 2\rpop.b.example\rjb\rpw\r\r0\r0"});
  Load();
  OpenProxy(kJoe);
  ClickItem(page_, IDC_PRX_CLEAR);
  EXPECT_TRUE(ApplyEnabled(sheet_));
  EXPECT_EQ(ItemText(page_, IDC_PRX_HOST), "");
  EXPECT_EQ(ItemText(page_, IDC_PRX_RETYPE), "");
  EXPECT_TRUE(IsItemChecked(page_, IDC_PRX_POP3));
  EXPECT_FALSE(IsItemChecked(page_, IDC_PRX_LEAVE));
  EXPECT_EQ(ShownEntry(), 0);
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Values(kJoe, kList), Strings{"Entry 2\rpop.b.example\rjb\rpw\r\r0\r0"});
}

TEST_F(ProxyPage, WithoutAProxyAgentOrRightsEveryControlIsDisabledAndNothingWritten) {
  const char* kStored = "Entry 1\rpop.example\rzed\rpw\rS\r0\r0";
  Set("Zed.Support.Acme", kList, {kStored});  // its server has no proxy agent
  Set("Kim.East.Sales.Acme", kList, {kStored});  // no server serves its unit
  struct Case {
    const char* identity;
    const char* user;
  } cases[] = {{"Admin.Acme", "Zed.Support.Acme"},
               {"Admin.Acme", "Kim.East.Sales.Acme"},
               {"Kim.East.Sales.Acme", kJoe}};  // may not write Joe
  Set(kJoe, kList, {kStored});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.user);
    Load(c.identity);
    OpenProxy(c.user);
    EXPECT_EQ(ItemText(page_, IDC_PRX_HOST), "pop.example");
    for (int id : {IDC_PRX_ENTRY_LABEL, IDC_PRX_PROTOCOL_LABEL, IDC_PRX_HOST_LABEL,
                   IDC_PRX_USER_LABEL, IDC_PRX_PASSWORD_LABEL, IDC_PRX_RETYPE_LABEL, IDC_PRX_POP3,
                   IDC_PRX_IMAP4, IDC_PRX_ENTRY, IDC_PRX_HOST, IDC_PRX_USER, IDC_PRX_PASSWORD,
                   IDC_PRX_RETYPE, IDC_PRX_LEAVE, IDC_PRX_CLEAR})
      EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
    Type("other.example", "x", "a", "b");
    MessageBoxInterceptor boxes;
    EXPECT_TRUE(Apply(sheet_));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(Values(c.user, kList), Strings{kStored});
    zelm::host::CloseSheet(sheet_);
    zelm::host::CloseSnapins(nullptr);
  }
}

TEST_F(ProxyPage, FieldsAreReadUpTo127Characters) {
  const std::string fits(127, 'h'), over = fits + "x";
  for (const std::string& host : {fits, over}) {
    Load();
    OpenProxy(kAnn);
    Type(host.c_str(), "u", "p", "p");
    EXPECT_TRUE(Apply(sheet_));
    EXPECT_EQ(Values(kAnn, kList), Strings{"Entry 1\r" + fits + "\ru\rp\r\r0\r0"}) << host.size();
    zelm::host::CloseSheet(sheet_);
    zelm::host::CloseSnapins(nullptr);
  }
}

TEST_F(ProxyPage, ADirectoryErrorRefusesTheApplyAndARetryGoesThrough) {
  Set(kJoe, kList, {"Entry 1\rpop.example\rjoe\rpw\rS1\r0\r0"});
  Load();
  OpenProxy(kJoe);
  Type("pop2.example", "joe", "pw", "pw");
  Set(kJoe, kList, {"Entry 1\rpop.example\rjoe\rpw\rS2\r0\r0"});  // the agent wrote meanwhile
  MessageBoxInterceptor boxes;
  EXPECT_FALSE(Apply(sheet_));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "[-602] Directory Error");
  EXPECT_TRUE(Focused(page_, IDC_PRX_ENTRY));
  EXPECT_EQ(Values(kJoe, kList), Strings{"Entry 1\rpop.example\rjoe\rpw\rS2\r0\r0"});
  EXPECT_TRUE(Apply(sheet_));
  EXPECT_EQ(Values(kJoe, kList), Strings{"Entry 1\rpop2.example\rjoe\rpw\r\r0\r0"});
}

// ---- finger -------------------------------------------------------------------

using FingerPage = UserPages;

TEST_F(FingerPage, ShowsTheMessageWritesChangesAndRemovesAnEmptyOne) {
  Load();
  HWND sheet = Open({kJoe});
  HWND page = PageAt(sheet, kFingerPage);
  EXPECT_EQ(ItemText(page, 10), kJoe);
  EXPECT_EQ(ItemText(page, IDC_FNG_MESSAGE), "Joe Miller, sales");
  EXPECT_FALSE(ApplyEnabled(sheet));
  // Typed: a multi-line field reports no change for text set from outside.
  SetItemText(page, IDC_FNG_MESSAGE, "Joe Miller\r\nRoom 1");
  EXPECT_FALSE(ApplyEnabled(sheet));
  HWND field = GetDlgItem(page, IDC_FNG_MESSAGE);
  int end = GetWindowTextLengthA(field);
  SendMessageA(field, EM_SETSEL, end, end);
  SendMessageA(field, WM_CHAR, '2', 1);
  EXPECT_TRUE(ApplyEnabled(sheet));
  EXPECT_TRUE(Apply(sheet));
  EXPECT_EQ(Values(kJoe, "Quorvel:Finger Message"), Strings{"Joe Miller\r\nRoom 12"});
  SetItemText(page, IDC_FNG_MESSAGE, "");
  EXPECT_TRUE(Apply(sheet));  // compares with what the first apply stored
  EXPECT_TRUE(Values(kJoe, "Quorvel:Finger Message").empty());
}

TEST_F(FingerPage, TheMessageTakesTypingUpTo1023CharactersAndKeepsALongerStoredOne) {
  Load();
  const std::string fits(1023, 'f'), over = fits + "g";
  for (const std::string& text : {fits, over}) {
    HWND sheet = Open({kAnn});
    HWND page = PageAt(sheet, kFingerPage);
    EXPECT_EQ(SendDlgItemMessageA(page, IDC_FNG_MESSAGE, EM_GETLIMITTEXT, 0, 0), 1023);
    SetItemText(page, IDC_FNG_MESSAGE, text.c_str());  // past the limit: only a stored text
    EXPECT_TRUE(Apply(sheet));
    EXPECT_EQ(Values(kAnn, "Quorvel:Finger Message"), Strings{text}) << text.size();
    zelm::host::CloseSheet(sheet);
  }
}

TEST_F(FingerPage, WithoutTheRightTheMessageIsShownDisabledAndNotWritten) {
  Load("Kim.East.Sales.Acme");
  HWND sheet = Open({kJoe});
  HWND page = PageAt(sheet, kFingerPage);
  for (int id : {IDC_FNG_MESSAGE, IDC_FNG_MESSAGE_LABEL, IDC_FNG_NOTE})
    EXPECT_FALSE(IsItemEnabled(page, id)) << id;
  SetItemText(page, IDC_FNG_MESSAGE, "");
  EXPECT_TRUE(Apply(sheet));
  EXPECT_EQ(Values(kJoe, "Quorvel:Finger Message"), Strings{"Joe Miller, sales"});
}

}  // namespace
}  // namespace userstest
