// What each store and SMTP agent page tells the running server on apply:
// the whole 140-byte request the server's request service takes (its code
// and the agent's module file), or nothing where the page tells nobody.
#include <gtest/gtest.h>

#include "agents_fixture.h"
#include "server_procs.h"

namespace agentstest {
namespace {

using snapintest::ConfigNotice;
using PageNotices = AgentSnapin;

TEST_F(PageNotices, EachPageTellsTheServerWhatBecameOfItsAgent) {
  const std::string storeChanged = ConfigNotice(3, "STORAGNT.QMD");
  const std::string smtpChanged = ConfigNotice(3, "SMTPAGNT.QMD");
  const struct {
    const char* name;
    const char* identity;  // null: the administrator
    const char* object;
    const char* className;
    int page;
    DLGPROC procedure;
    int click;  // a box clicked before the apply, 0 for none
    std::vector<std::string> told;
  } rows[] = {
      {"store parameters", nullptr, kStore1, kZELMClass, 0, ZELMQueueDlgProc, 0, {storeChanged}},
      {"store parameters without a right", "Joe.Sales.Acme", kStore1, kZELMClass, 0,
       ZELMQueueDlgProc, 0, {}},
      {"store contexts", nullptr, kStore2, kZELMClass, 1, ZELMContextDlgProc, 0, {}},
      {"store quota", nullptr, kStore1, kZELMClass, 2, ZELMQuotaDlgProc, 0, {storeChanged}},
      {"store single copy", nullptr, kStore1, kZELMClass, 3, ZELMSCMSDlgProc, 0, {storeChanged}},
      // Every accepted apply of the status page tells the state it leaves.
      {"store status as it was", nullptr, kStore1, kZELMClass, 4, StatusDlgProc, 0,
       {ConfigNotice(1, "STORAGNT.QMD")}},
      {"store disabled", nullptr, kStore1, kZELMClass, 4, StatusDlgProc, IDC_AGS_DISABLE,
       {ConfigNotice(2, "STORAGNT.QMD")}},
      {"store enabled again", nullptr, kStore1, kZELMClass, 4, StatusDlgProc, IDC_AGS_DISABLE,
       {ConfigNotice(1, "STORAGNT.QMD")}},
      {"store trusted hosts", nullptr, kStore1, kZELMClass, 5, ZELMTrustedHostsDlgProc, 0,
       {storeChanged}},
      {"store clients", nullptr, kStore1, kZELMClass, 6, ZELMClientsDlgProc, 0, {}},
      {"smtp identification", nullptr, kSMTP1, kSMTPClass, 0, SMTPIdentificationDlgProc, 0,
       {smtpChanged}},
      {"smtp identification without a right", "Joe.Sales.Acme", kSMTP1, kSMTPClass, 0,
       SMTPIdentificationDlgProc, 0, {}},
      {"smtp options", nullptr, kSMTP1, kSMTPClass, 1, SMTPOptionsDlgProc, 0, {smtpChanged}},
      {"smtp unsolicited mail", nullptr, kSMTP1, kSMTPClass, 2, SMTPUBEConfigurationDlgProc, 0,
       {smtpChanged}},
      {"smtp queue server", nullptr, kSMTP1, kSMTPClass, 3, ZELMQueueServerDlgProc, 0,
       {smtpChanged}},
      {"smtp store servers", nullptr, kSMTP1, kSMTPClass, 4, ZELMToServiceDlgProc, 0,
       {smtpChanged}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    As(r.identity);
    ASSERT_NE(OpenSheet(r.object, r.className, r.page), nullptr);
    if (r.click) ClickItem(page_, r.click);
    ExpectTold(r.object, [&] { return ApplyPage(r.procedure); }, r.told);
    Close();
  }
}

}  // namespace
}  // namespace agentstest
