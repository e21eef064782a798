// The syslog configuration page in logpage.dll, run by the administration
// host's own code against a real directory: what a stored configuration
// shows, the cumulative level boxes, the destinations, the values written
// for a server and for the services container, rights and errors.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "host_fixture.h"
#include "logpage_ids.h"
#include "object_actions.h"
#include "snapins.h"
#include "ui_driver.h"
#include "written_syntax.h"

namespace {

using Strings = std::vector<std::string>;

const char kAttribute[] = "Quorvel:Syslog Config";
const char kServices[] = "Internet Services";
constexpr int kApplyButton = 0x3021;

// FS1 logs mail to a file; FS2 and FS3 have nothing yet; Manager may write
// in Sales only.
const char kSyslogTree[] = R"(
supervisor Admin.Acme
identity Admin.Acme
object [Root]
    grant [Public] : [Entry Rights] = browse
    grant [Public] : [All Attributes Rights] = compare read
object Acme : Organization
object Admin.Acme : User
object Sales.Acme : Organizational Unit
    grant Manager.Sales.Acme : [Entry Rights] = browse create delete
    grant Manager.Sales.Acme : [All Attributes Rights] = compare read write
object Manager.Sales.Acme : User
object FS1.Acme : HVX Server
    Quorvel:Syslog Config = 1 6 3 - DATA:/LOG/MAIL.LOG
object FS2.Acme : HVX Server
object FS3.Acme : HVX Server
object Internet Services : Quorvel:Services
)";

const int kLevelBoxes[] = {IDC_LOG_EMERGENCY, IDC_LOG_ALERT,  IDC_LOG_CRITICAL, IDC_LOG_ERROR,
                           IDC_LOG_WARNING,   IDC_LOG_NOTICE, IDC_LOG_INFO,     IDC_LOG_DEBUG};

// The values an untouched page writes: every facility without a setting,
// Mail as shown.
Strings Untouched(const std::string& mail) {
  Strings v;
  for (int i = 0; i < 22; ++i) v.push_back(i == 1 ? mail : std::to_string(i) + " 0 0 - ");
  return v;
}

class SyslogPage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registry_.Ok());
    owner_ = CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
  }
  void TearDown() override {
    Close();
    zelm::host::CloseSnapins(nullptr);
    DestroyWindow(owner_);
    PumpMessages();
  }
  void Load(const char* identity = "Admin.Acme") {
    hosttest::HostDirectory::As(identity);
    std::vector<std::string> problems;
    zelm::host::LoadSnapins({"logpage.dll"}, owner_, &problems);
    ASSERT_TRUE(problems.empty()) << problems[0];
  }
  HWND OpenPage(const char* object, const char* className = "HVX Server") {
    zelm::host::SheetTarget t;
    t.names = {object};
    t.className = className;
    std::string problem;
    sheet_ = zelm::host::OpenSheet(owner_, t, &problem);
    EXPECT_NE(sheet_, nullptr) << problem;
    page_ = sheet_ ? PropSheet_GetCurrentPageHwnd(sheet_) : nullptr;
    return page_;
  }
  void Close() {
    if (HWND sheet = zelm::host::OpenSheetWindow()) zelm::host::CloseSheet(sheet);
    sheet_ = page_ = nullptr;
  }
  bool Apply() {
    bool ok = PropSheet_Apply(sheet_) != 0;
    PumpMessages();
    return ok;
  }
  bool ApplyEnabled() const { return IsWindowEnabled(GetDlgItem(sheet_, kApplyButton)) != 0; }
  // The ticked level boxes as a string of '1' and '0', Emergency first.
  std::string Ticks() const {
    std::string s;
    for (int id : kLevelBoxes) s += IsItemChecked(page_, id) ? '1' : '0';
    return s;
  }
  void SelectFacility(int index) { SelectComboRow(page_, IDC_LOG_FACILITY, index); }
  Strings Values(const std::string& object) { return directory_.Values(object, kAttribute); }
  // The value of one facility, wherever the directory keeps it.
  std::string Facility(const std::string& object, int index) {
    std::string prefix = std::to_string(index) + " ";
    for (const std::string& v : Values(object))
      if (v.compare(0, prefix.size(), prefix) == 0) return v;
    return "<none>";
  }
  void Set(const std::string& object, const Strings& values) {
    std::vector<zelm::dir::ValueIn> in;
    for (const std::string& v : values) in.push_back(zelm::dir::testing::Text(v));
    std::vector<zelm::dir::Change> changes;
    if (!Values(object).empty())
      changes.push_back({zelm::dir::kChangeRemoveAttribute, kAttribute, {}});
    if (!in.empty()) changes.push_back({zelm::dir::kChangeAddValue, kAttribute, in});
    ASSERT_EQ(directory_.Admin()->Modify(object, changes), 0);
  }

  hosttest::RegistrySandbox registry_;
  hosttest::HostDirectory directory_{kSyslogTree};
  HWND owner_ = nullptr;
  HWND sheet_ = nullptr;
  HWND page_ = nullptr;
};

TEST_F(SyslogPage, AStoredFileSettingShowsItsLevelsItsDestinationAndItsPath) {
  Load();
  OpenPage("FS1.Acme");
  ASSERT_NE(page_, nullptr);
  EXPECT_EQ(ItemText(page_, IDC_LOG_OBJECT_NAME), "FS1.Acme");
  EXPECT_EQ(Ticks(), "11111110");  // Emergency to Info
  EXPECT_TRUE(IsItemChecked(page_, IDC_LOG_TO_FILE));
  EXPECT_FALSE(IsItemChecked(page_, IDC_LOG_DO_NOT_LOG));
  EXPECT_EQ(ItemText(page_, IDC_LOG_PATH), "DATA:/LOG/MAIL.LOG");
  EXPECT_TRUE(IsItemEnabled(page_, IDC_LOG_PATH));
  EXPECT_EQ(ItemText(page_, IDC_LOG_HOST), "");
  EXPECT_FALSE(IsItemEnabled(page_, IDC_LOG_HOST));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(page_, IDC_LOG_OVERRIDE)));
  EXPECT_FALSE(IsItemChecked(page_, IDC_LOG_OVERRIDE));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(page_, IDC_LOG_FACILITY)));
  EXPECT_EQ(SendDlgItemMessageA(page_, IDC_LOG_FACILITY, CB_GETCOUNT, 0, 0), 22);
  EXPECT_EQ(ItemText(page_, IDC_LOG_FACILITY), "Mail");
  EXPECT_FALSE(ApplyEnabled());

  EXPECT_TRUE(Apply());
  Strings want = {"1 6 3 - DATA:/LOG/MAIL.LOG"};  // left in place; the others follow in order
  for (int i = 0; i < 22; ++i)
    if (i != 1) want.push_back(std::to_string(i) + " 0 0 - ");
  want.push_back("Override=Off");
  EXPECT_EQ(Values("FS1.Acme"), want);
}

TEST_F(SyslogPage, LevelBoxesStayCumulativeAndEveryClickIsAChange) {
  Load();
  OpenPage("FS2.Acme");
  EXPECT_EQ(Ticks(), "10000000");  // nothing stored: level 0 and "Do not log"
  EXPECT_TRUE(IsItemChecked(page_, IDC_LOG_DO_NOT_LOG));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_LOG_PATH));
  ClickItem(page_, IDC_LOG_ALERT);
  EXPECT_TRUE(ApplyEnabled());
  EXPECT_EQ(Ticks(), "11000000");
  ClickItem(page_, IDC_LOG_WARNING);
  EXPECT_EQ(Ticks(), "11111000");
  ClickItem(page_, IDC_LOG_ERROR);
  EXPECT_EQ(Ticks(), "11100000");
  ClickItem(page_, IDC_LOG_EMERGENCY);  // cannot be cleared
  EXPECT_EQ(Ticks(), "11100000");
  ClickItem(page_, IDC_LOG_DEBUG);
  ClickItem(page_, IDC_LOG_ALERT);
  EXPECT_EQ(Ticks(), "10000000");
  ClickItem(page_, IDC_LOG_CRITICAL);
  EXPECT_TRUE(Apply());
  Strings want = Untouched("1 2 2 - ");
  want.push_back("Override=Off");
  EXPECT_EQ(Values("FS2.Acme"), want);  // 23 values, in index order
}

TEST_F(SyslogPage, TheServicesContainerHasNoOverrideToReadOrWrite) {
  Set(kServices, {"1 4 3 - SYS:/LOG/ALL.LOG", "Override=On"});
  Load();
  OpenPage(kServices, "Quorvel:Services");
  ASSERT_NE(page_, nullptr);
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(page_, IDC_LOG_OVERRIDE)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(page_, IDC_LOG_OVERRIDE_GROUP)));
  EXPECT_EQ(Ticks(), "11111000");
  EXPECT_TRUE(Apply());
  Strings want = {"1 4 3 - SYS:/LOG/ALL.LOG"};  // left in place; the others follow in order
  for (int i = 0; i < 22; ++i)
    if (i != 1) want.push_back(std::to_string(i) + " 0 0 - ");
  EXPECT_EQ(Values(kServices), want);
}

TEST_F(SyslogPage, TheOverrideValueIsReadInAnyCaseAndWrittenFromItsBox) {
  for (const char* stored : {"override=on", "OVERRIDE=ON", "Override=Off", "Override=Maybe"}) {
    SCOPED_TRACE(stored);
    Set("FS3.Acme", {"1 0 2 - ", stored});
    Load();
    OpenPage("FS3.Acme");
    bool on = std::string(stored) == "override=on" || std::string(stored) == "OVERRIDE=ON";
    EXPECT_EQ(IsItemChecked(page_, IDC_LOG_OVERRIDE), on);
    ClickItem(page_, IDC_LOG_OVERRIDE);
    EXPECT_TRUE(ApplyEnabled());
    EXPECT_TRUE(Apply());
    Strings v = Values("FS3.Acme");
    ASSERT_EQ(v.size(), 23u);
    EXPECT_EQ(v.back(), on ? "Override=Off" : "Override=On");
    Close();
    zelm::host::CloseSnapins(nullptr);
  }
}

TEST_F(SyslogPage, DestinationsEnableTheirFieldAndHostAndPathAreStoredAsTyped) {
  // The record holds a path of 259 and a host of 15 characters; a field
  // holding more (set past its typing limit) is refused, never cut.
  const std::string path259 = "SYS:/LOG/" + std::string(250, 'p');
  const struct {
    std::string path, host;
    const char* refusal;  // the message, or null: stored whole
    int focus;
  } rows[] = {
      {"SYS:/LOG/" + std::string(51, 'q'), "", nullptr, 0},  // past the 47 cut of old
      {path259 + "x", "", "The path of the log file can hold at most 259 characters.", IDC_LOG_PATH},
      {path259, "192.168.100.2001", "The remote host can hold at most 15 characters.", IDC_LOG_HOST},
      {path259, "", nullptr, 0},
      {path259, "192.168.100.200", nullptr, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path.size());
    SCOPED_TRACE(row.host);
    Set("FS2.Acme", {});
    Load();
    OpenPage("FS2.Acme");
    bool remote = !row.host.empty();
    ClickItem(page_, remote ? IDC_LOG_TO_HOST : IDC_LOG_TO_FILE);  // the host's is hidden, but the page's
    EXPECT_EQ(IsItemEnabled(page_, IDC_LOG_PATH), !remote);
    EXPECT_EQ(IsItemEnabled(page_, IDC_LOG_HOST), remote);
    EXPECT_TRUE(ApplyEnabled());
    SetItemText(page_, IDC_LOG_PATH, row.path.c_str());
    SetItemText(page_, IDC_LOG_HOST, row.host.c_str());
    MessageBoxInterceptor boxes;
    EXPECT_EQ(Apply(), row.refusal == nullptr);
    if (row.refusal) {
      ASSERT_EQ(boxes.Boxes().size(), 1u);
      EXPECT_EQ(boxes.Boxes()[0].text, row.refusal);
      EXPECT_EQ(boxes.Boxes()[0].caption, "Syslog Configuration");
      EXPECT_EQ(GetFocus(), GetDlgItem(page_, row.focus));
      EXPECT_TRUE(Values("FS2.Acme").empty());
    } else {
      EXPECT_TRUE(boxes.Boxes().empty());
      EXPECT_EQ(Facility("FS2.Acme", 1),
                std::string(remote ? "1 0 4 " : "1 0 3 ") + (remote ? row.host : "-") + " " + row.path);
      snapintest::ExpectWritten(directory_.Admin(),
                                {{"FS2.Acme", kAttribute, Facility("FS2.Acme", 1), 3}});
    }
    Close();
    zelm::host::CloseSnapins(nullptr);
  }
  Load();
  OpenPage("FS2.Acme");
  EXPECT_TRUE(IsItemChecked(page_, IDC_LOG_TO_HOST));
  ClickItem(page_, IDC_LOG_DO_NOT_LOG);
  EXPECT_FALSE(IsItemEnabled(page_, IDC_LOG_PATH));
  EXPECT_FALSE(IsItemEnabled(page_, IDC_LOG_HOST));
  EXPECT_FALSE(IsItemChecked(page_, IDC_LOG_TO_HOST));
}

TEST_F(SyslogPage, OtherFacilitiesKeepTheirOwnSettingsAndSwitchingIsNoChange) {
  Load();
  OpenPage("FS2.Acme");
  SelectFacility(5);
  EXPECT_FALSE(ApplyEnabled());
  EXPECT_TRUE(IsItemChecked(page_, IDC_LOG_DO_NOT_LOG));  // no setting shows "Do not log"
  ClickItem(page_, IDC_LOG_TO_HOST);
  SetItemText(page_, IDC_LOG_HOST, "10.0.0.7");
  ClickItem(page_, IDC_LOG_NOTICE);
  SelectFacility(1);
  EXPECT_EQ(Ticks(), "10000000");
  EXPECT_TRUE(IsItemChecked(page_, IDC_LOG_DO_NOT_LOG));
  ClickItem(page_, IDC_LOG_TO_FILE);
  SetItemText(page_, IDC_LOG_PATH, "SYS:/MAIL.LOG");
  SelectFacility(5);
  EXPECT_EQ(Ticks(), "11111100");
  EXPECT_EQ(ItemText(page_, IDC_LOG_HOST), "10.0.0.7");
  EXPECT_TRUE(IsItemChecked(page_, IDC_LOG_TO_HOST));
  EXPECT_TRUE(Apply());
  Strings v = Values("FS2.Acme");
  ASSERT_EQ(v.size(), 23u);
  EXPECT_EQ(v[1], "1 0 3 - SYS:/MAIL.LOG");
  EXPECT_EQ(v[5], "5 5 4 10.0.0.7 ");
}

TEST_F(SyslogPage, AnObjectOpenedEarlierLeavesNoSettingsInTheNextOne) {
  Strings fs3;
  for (int i = 0; i < 22; ++i) fs3.push_back(std::to_string(i) + " 7 3 - SYS:/LOG/F" + std::to_string(i));
  Set("FS3.Acme", fs3);
  Load();
  OpenPage("FS3.Acme");
  EXPECT_EQ(Ticks(), "11111111");
  Close();
  OpenPage("FS2.Acme");
  EXPECT_TRUE(Apply());
  Strings want = Untouched("1 0 2 - ");
  want.push_back("Override=Off");
  EXPECT_EQ(Values("FS2.Acme"), want);
  EXPECT_EQ(Values("FS3.Acme"), fs3);
}

TEST_F(SyslogPage, WithoutTheWriteRightNothingCanBeChangedOrIsWritten) {
  Load("Manager.Sales.Acme");
  OpenPage("FS1.Acme");
  for (int id : kLevelBoxes) EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  for (int id : {IDC_LOG_DEFAULT, IDC_LOG_TO_FILE, IDC_LOG_TO_HOST, IDC_LOG_DO_NOT_LOG,
                 IDC_LOG_PATH, IDC_LOG_HOST, IDC_LOG_OVERRIDE})
    EXPECT_FALSE(IsItemEnabled(page_, id)) << id;
  EXPECT_EQ(ItemText(page_, IDC_LOG_PATH), "DATA:/LOG/MAIL.LOG");
  SetItemText(page_, IDC_LOG_PATH, "SYS:/OTHER.LOG");
  MessageBoxInterceptor boxes;
  EXPECT_TRUE(Apply());
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(Values("FS1.Acme"), Strings{"1 6 3 - DATA:/LOG/MAIL.LOG"});
}

TEST_F(SyslogPage, ADirectoryErrorIsShownAsPlainTextAndARetryGoesThrough) {
  Load();
  OpenPage("FS1.Acme");
  ClickItem(page_, IDC_LOG_DEBUG);
  Set("FS1.Acme", {"1 7 3 - X"});  // changed behind the page's back
  MessageBoxInterceptor boxes;
  EXPECT_FALSE(Apply());
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Directory Services Error");
  EXPECT_EQ(boxes.Boxes()[0].text, "No such value");
  EXPECT_EQ(Values("FS1.Acme"), Strings{"1 7 3 - X"});
  EXPECT_TRUE(Apply());
  EXPECT_EQ(Values("FS1.Acme").size(), 23u);
  EXPECT_EQ(Facility("FS1.Acme", 1), "1 7 3 - DATA:/LOG/MAIL.LOG");
}

TEST_F(SyslogPage, OkAfterApplyWritesAgainWithoutAnError) {
  Load();
  OpenPage("FS2.Acme");
  ClickItem(page_, IDC_LOG_ALERT);
  MessageBoxInterceptor boxes;
  EXPECT_TRUE(Apply());
  ClickItem(page_, IDC_LOG_CRITICAL);
  PropSheet_PressButton(sheet_, PSBTN_OK);
  PumpMessages();
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(PropSheet_GetCurrentPageHwnd(sheet_), nullptr);
  EXPECT_EQ(Facility("FS2.Acme", 1), "1 2 2 - ");
}

}  // namespace
