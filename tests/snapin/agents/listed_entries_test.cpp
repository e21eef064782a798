// An address or range typed that is listed already: the user is told, the
// fields keep what was typed, and neither the list nor the directory changes.
#include <gtest/gtest.h>

#include "agents_fixture.h"

namespace agentstest {
namespace {

using ListedEntries = AgentSnapin;

TEST_F(ListedEntries, AreRefusedWithAWordAndTheTypingKept) {
  const struct {
    const char* name;
    const char* object;
    const char* className;
    int page;
    DLGPROC procedure;
    const char* attribute;
    Values stored;
    int from, to, add, list;  // to: 0 when the page has one field
    const char *typedFrom, *typedTo;
    const char* message;
  } rows[] = {
      {"trusted host", kStore1, kZELMClass, 5, ZELMTrustedHostsDlgProc,
       "Quorvel:ZELM Trusted Hosts", {"10.0.0.1", "10.0.0.2"}, IDC_ZT_ADDRESS, 0, IDC_ZT_ADD,
       IDC_ZT_LIST, "10.0.0.2", "", "This address is in the list already."},
      {"allowed, one address", kSMTP1, kSMTPClass, 2, SMTPUBEConfigurationDlgProc,
       "TARQ:Allowed Address", {"192.168.1.1-192.168.1.1"}, IDC_SU_ALLOWED_FROM,
       IDC_SU_ALLOWED_TO, IDC_SU_ALLOWED_ADD, IDC_SU_ALLOWED_LIST, "192.168.1.1", "",
       "This address range is in the list already."},
      {"blocked range", kSMTP1, kSMTPClass, 2, SMTPUBEConfigurationDlgProc,
       "TARQ:Blocked Address", {"10.9.9.9-10.9.9.10"}, IDC_SU_BLOCKED_FROM, IDC_SU_BLOCKED_TO,
       IDC_SU_BLOCKED_ADD, IDC_SU_BLOCKED_LIST, "10.9.9.9", "10.9.9.10",
       "This address range is in the list already."},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    Store(r.object, r.attribute, r.stored);
    ASSERT_NE(OpenSheet(r.object, r.className, r.page), nullptr);
    Values listed = ListItems(page_, r.list);
    SetItemText(page_, r.from, r.typedFrom);
    if (r.to) SetItemText(page_, r.to, r.typedTo);
    MessageBoxInterceptor boxes;
    ClickItem(page_, r.add);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, "Error");
    EXPECT_EQ(boxes.Boxes()[0].text, r.message);
    EXPECT_EQ(ItemText(page_, r.from), r.typedFrom);
    if (r.to) {
      EXPECT_EQ(ItemText(page_, r.to), r.typedTo);
    }
    EXPECT_TRUE(IsItemEnabled(page_, r.add));
    EXPECT_TRUE(Focused(r.from));
    EXPECT_EQ(ListItems(page_, r.list), listed);
    EXPECT_EQ(ApplyPage(r.procedure), 1);
    EXPECT_EQ(Read(r.object, r.attribute), r.stored);
    Close();
  }
}

}  // namespace
}  // namespace agentstest
