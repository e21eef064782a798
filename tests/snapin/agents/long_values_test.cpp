// Values as long as the directory holds, written by another tool, in the
// multi-valued edit controls and in a field limited in what may be typed:
// shown whole, and still stored whole after the page applied a change to
// something else.
#include <gtest/gtest.h>

#include <functional>

#include "agents_fixture.h"
#include "server_procs.h"

namespace agentstest {
namespace {

class LongValues : public AgentSnapin {
 public:
  // Removes row `row` of a multi-valued control as the user does.
  void RemoveRow(int listId, int row) {
    HWND list = GetWindow(GetDlgItem(page_, listId), GW_CHILD);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    SendMessageA(list, WM_KEYDOWN, VK_DELETE, 1);
    PumpMessages();
  }
};

// Long values named by their length, so a failure reads.
Values Named(Values values) {
  for (std::string& v : values)
    if (v.size() > 64) v = "<" + std::to_string(v.size()) + " characters>";
  return values;
}

// Where each control keeps its values, what stands beside the long one, the
// change made elsewhere on the page, and what is stored after the apply.
struct Row {
  const char* name;
  const char* object;  // whose pages are opened
  const char* className;
  int page;
  DLGPROC procedure;
  const char* owner;  // who holds the attribute
  const char* attribute;
  int listId;
  Values others;  // stored after the long value
  std::function<void(LongValues*, HWND page)> change;
  Values othersAfter;
};

TEST_F(LongValues, SurviveAnApplyOfAnUnrelatedChange) {
  auto limit = [](LongValues*, HWND page) { SelectComboRow(page, IDC_SI_LIMIT, 1); };
  const Row rows[] = {
      {"contexts", kStore2, kZELMClass, 1, ZELMContextDlgProc, kMS2, "Quorvel:Context",
       IDC_ZC_LIST, {"Sales.Acme", "East.Sales.Acme"},
       [](LongValues* t, HWND) { t->RemoveRow(IDC_ZC_LIST, 2); }, {"Sales.Acme"}},
      {"domains", kSMTP1, kSMTPClass, 0, SMTPIdentificationDlgProc, kSMTP1, "Quorvel:Domain",
       IDC_SI_DOMAIN_LIST, {"acme.example"}, limit, {"acme.example"}},
      {"hosted domains", kSMTP1, kSMTPClass, 0, SMTPIdentificationDlgProc, kSMTP1,
       "TARQ:User Domain", IDC_SI_HOSTED_LIST, {}, limit, {}},
      {"store servers", kSMTP1, kSMTPClass, 4, ZELMToServiceDlgProc, kSMTP1,
       "Quorvel:ZELM Server", IDC_ZTS_LIST, {kStore1, kStore2},
       [](LongValues* t, HWND) { t->RemoveRow(IDC_ZTS_LIST, 2); }, {kStore1}},
  };
  // 1,025 characters, what the pages take; 1,027, the most the directory holds.
  for (size_t length : {size_t{1025}, size_t{1027}}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.name);
      SCOPED_TRACE(length);
      const std::string suffix = ".Sales.Acme";
      const std::string longValue = std::string(length - suffix.size(), 'v') + suffix;
      Values stored = {longValue};
      stored.insert(stored.end(), row.others.begin(), row.others.end());
      Store(row.owner, row.attribute, stored);
      ASSERT_NE(OpenSheet(row.object, row.className, row.page), nullptr);
      EXPECT_EQ(Named(MvedValues(page_, row.listId)), Named(stored));
      row.change(this, page_);
      EXPECT_EQ(ApplyPage(row.procedure), 1);
      Values after = {longValue};
      after.insert(after.end(), row.othersAfter.begin(), row.othersAfter.end());
      EXPECT_EQ(Named(Read(row.owner, row.attribute)), Named(after));
      // Left alone in the file, as the other tool wrote it (as text).
      ExpectWritten({{row.owner, row.attribute, longValue, 3}});
      Close();
    }
  }
}

// A field the user may type fewer characters into than the directory holds:
// the stored value goes back whole when something else changed.
TEST_F(LongValues, ARelayHostLongerThanMayBeTypedSurvivesAnApplyOfTheFlags) {
  for (size_t length : {size_t{1024}, size_t{1025}, size_t{1027}}) {
    SCOPED_TRACE(length);
    const std::string relay = std::string(length - 8, 'r') + ".example";
    Store(kSMTP1, "Quorvel:RelayHost", {relay});
    ASSERT_NE(OpenSheet(kSMTP1, kSMTPClass, 1), nullptr);
    EXPECT_EQ(ItemText(page_, IDC_SO_RELAY).size(), length);
    ClickItem(page_, IDC_SO_EXPN);
    EXPECT_EQ(ApplyPage(SMTPOptionsDlgProc), 1);
    EXPECT_EQ(Named(Read(kSMTP1, "Quorvel:RelayHost")), Named({relay}));
    Close();
  }
}

}  // namespace
}  // namespace agentstest
