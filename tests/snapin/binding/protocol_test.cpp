// The binding run in this process as the snap-in runs it (the suite plays the
// snap-in's module): page records and the shared title buffer, with and
// without a language library, object names kept by every registered
// procedure, the browse pattern with the host's real browsers, and the
// multi-valued edit control fed by MvedProc from a real directory.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "binding_fixture.h"
#include "binding_test_ids.h"
#include "entry_points.h"
#include "frame.h"
#include "hostext_ids.h"
#include "hostext_internal.h"
#include "modal_driver.h"
#include "registrations.h"
#include "ui_driver.h"

namespace {

using bindingtest::CopyBuilt;
using bindingtest::FolderPath;

constexpr int32_t kSuiteSnapin = 77;  // the host's tag for what this suite registers

std::vector<std::pair<WPARAM, LPARAM>> g_changed;  // 0x520 as the page received it

INT_PTR CALLBACK PageProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == QZX_PAGE_CHANGED) {
    g_changed.push_back({wParam, lParam});
    return TRUE;
  }
  return message == WM_INITDIALOG;
}

INT_PTR CALLBACK OtherPageProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

std::vector<std::string> Strings(const StrList& list) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < list.count; ++i) out.push_back(list.items[i] ? list.items[i] : "<null>");
  return out;
}

class InProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registry_.Ok());
    g_snapin.instance = GetModuleHandleA(nullptr);
    g_snapin.resources = g_snapin.instance;
    g_snapin.hostWindow = nullptr;
    g_changed.clear();
    owner_ = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                             nullptr, nullptr);
  }
  void TearDown() override {
    if (page_) DestroyWindow(page_);
    DestroyWindow(owner_);
    if (started_) ShutDown();
    HXForgetSnapin(kSuiteSnapin);
    PumpMessages();
  }
  void Start() {
    HXSetSnapin(kSuiteSnapin);
    int32_t r = InitSnapin();
    HXSetSnapin(-1);
    ASSERT_EQ(r, 0);
    started_ = true;
  }
  HWND OpenPage() {
    page_ = CreateDialogParamA(GetModuleHandleA(nullptr), "BindingPage", owner_, PageProc, 0);
    EXPECT_NE(page_, nullptr);
    return page_;
  }
  static QZXPageRecord Scribbled() {
    QZXPageRecord r;
    memset(&r, 0xAB, sizeof r);
    return r;
  }
  static bool Untouched(const QZXPageRecord& r) {
    QZXPageRecord s = Scribbled();
    return memcmp(&r, &s, sizeof r) == 0;
  }

  hosttest::RegistrySandbox registry_;
  hosttest::HostDirectory directory_{bindingtest::kBindingTree};
  HWND owner_ = nullptr;
  HWND page_ = nullptr;
  bool started_ = false;
};

TEST_F(InProcess, WithoutALanguageLibraryPagesComeFromTheSnapinItself) {
  Start();
  EXPECT_EQ(g_snapin.resources, GetModuleHandleA(nullptr));
  QZXPageRecord record = Scribbled();
  ASSERT_EQ(HandOutPage(0, reinterpret_cast<intptr_t>(&record), PageProc, "BindingPage",
                        IDS_TEST_TITLE),
            0);
  EXPECT_EQ(record.procedure, PageProc);
  EXPECT_EQ(record.instance, GetModuleHandleA(nullptr));
  EXPECT_STREQ(record.templateName, "BindingPage");
  EXPECT_STREQ(record.title, "Status (own module)");
  EXPECT_EQ(record.title, PageTitleBuffer());
  EXPECT_EQ(record.reserved, 0);
  EXPECT_EQ(memcmp(PageTableEntry(0), &record, sizeof record), 0);
  // No language folder: the help file is the one beside the library.
  EXPECT_EQ(std::string(HelpFile()), bindingtest::BinaryFolder() + "\\tarq.hlp");
}

TEST_F(InProcess, ALanguageLibraryInTheNlsFolderHoldsEveryPageButTheOwnModulesOnes) {
  zelm::dir::testing::TempFolder nls;
  std::string folder = FolderPath(nls);
  ASSERT_TRUE(CopyBuilt("binding_tarqres.dll", folder, "TARQRES.DLL"));
  FILE* help = fopen((folder + "\\tarq.hlp").c_str(), "w");
  ASSERT_NE(help, nullptr);
  fclose(help);
  hosttest::RegistrySandbox::PutText(HKEY_CURRENT_USER, "NLS Folder", folder);
  Start();
  HMODULE language = GetModuleHandleA("TARQRES.DLL");
  ASSERT_NE(language, nullptr);
  EXPECT_EQ(g_snapin.resources, language);

  QZXPageRecord record = Scribbled();
  ASSERT_EQ(HandOutPage(0, reinterpret_cast<intptr_t>(&record), PageProc, "BindingPage",
                        IDS_TEST_TITLE),
            0);
  EXPECT_EQ(record.instance, language);
  EXPECT_STREQ(record.title, "Status (language library)");
  // The certificate database's page names the snap-in's own module.
  QZXPageRecord own = Scribbled();
  ASSERT_EQ(HandOutPageTitled(0, reinterpret_cast<intptr_t>(&own), OtherPageProc, "CertDBInfo",
                              "Information", g_snapin.instance),
            0);
  EXPECT_EQ(own.instance, GetModuleHandleA(nullptr));
  EXPECT_STREQ(own.title, "Information");
  EXPECT_EQ(own.reserved, 0);
  EXPECT_EQ(std::string(HelpFile()), folder + "\\tarq.hlp");

  ShutDown();
  started_ = false;
  EXPECT_EQ(GetModuleHandleA("TARQRES.DLL"), nullptr);
  EXPECT_EQ(g_snapin.resources, GetModuleHandleA(nullptr));
}

TEST_F(InProcess, TitlesShareOneBufferThatHolds1023Characters) {
  std::string full;
  for (int i = 0; i < 205; ++i) full += "Title";
  QZXPageRecord a = Scribbled(), b = Scribbled();
  ASSERT_EQ(HandOutPage(0, reinterpret_cast<intptr_t>(&a), PageProc, "BindingPage",
                        IDS_TEST_TITLE_1023),
            0);
  EXPECT_EQ(std::string(a.title), full.substr(0, 1023));
  ASSERT_EQ(HandOutPage(1, reinterpret_cast<intptr_t>(&b), PageProc, "BindingPage",
                        IDS_TEST_TITLE_1024),
            0);
  EXPECT_EQ(std::string(b.title), full.substr(0, 1023));  // one past: cut
  EXPECT_EQ(a.title, b.title);  // the next request overwrites the title
  ASSERT_EQ(HandOutPage(2, reinterpret_cast<intptr_t>(&b), PageProc, "BindingPage",
                        IDS_TEST_TITLE),
            0);
  EXPECT_STREQ(a.title, "Status (own module)");
}

TEST_F(InProcess, PageRequestsOutsideThePageListAreRefused) {
  const PageSpec pages[] = {{PageProc, "BindingPage", IDS_TEST_TITLE},
                            {OtherPageProc, "Second", IDS_TEST_TITLE}};
  QZXPageRecord record = Scribbled();
  intptr_t out = reinterpret_cast<intptr_t>(&record);
  EXPECT_EQ(HandOutPage(-1, out, PageProc, "BindingPage", IDS_TEST_TITLE), -1);
  EXPECT_EQ(HandOutPage(kMaxPages, out, PageProc, "BindingPage", IDS_TEST_TITLE), -1);
  EXPECT_EQ(HandOutPage(0, 0, PageProc, "BindingPage", IDS_TEST_TITLE), -1);
  EXPECT_EQ(HandOutPageOf(pages, 2, 2, out), -1);
  EXPECT_TRUE(Untouched(record));
  EXPECT_EQ(HandOutPage(kMaxPages - 1, out, PageProc, "BindingPage", IDS_TEST_TITLE), 0);
  EXPECT_EQ(HandOutPageOf(pages, 2, 1, out), 0);
  EXPECT_EQ(record.procedure, OtherPageProc);
  EXPECT_STREQ(record.templateName, "Second");
}

TEST_F(InProcess, ClassDataGoesToTheHostAndIsWithdrawnAgain) {
  Start();
  QZXObjectProc smtp = nullptr;
  for (const TarqRegistration& row : kRegistrations)
    if (row.tarqClass == kClassSMTP) smtp = row.procedure;
  ASSERT_NE(smtp, nullptr);
  HXClassData data;
  EXPECT_EQ(HXGetClassData("Quorvel:SMTP Agent", &data), -1);
  HXSetSnapin(kSuiteSnapin);
  EXPECT_EQ(smtp("Quorvel:SMTP Agent", QZX_MSG_CLASS_DATA, 0, 0), 0);
  HXSetSnapin(-1);
  ASSERT_EQ(HXGetClassData("Quorvel:SMTP Agent", &data), 0);
  EXPECT_STREQ(data.description, "SMTP Protocol");
  EXPECT_EQ(bindingtest::PixelsOf(data.bitmaps[0]),
            bindingtest::ResourcePixels(GetModuleHandleA(nullptr), "SMTPClass"));
  EXPECT_EQ(smtp("Quorvel:SMTP Agent", QZX_MSG_REMOVE_CLASS_DATA, 0, 0), 0);
  EXPECT_EQ(HXGetClassData("Quorvel:SMTP Agent", &data), -1);
  // The snap-in's own handles stay for ShutDown to delete.
  EXPECT_NE(FamilyBitmaps(kFamilySMTP)[kBitmapClass], nullptr);
}

TEST_F(InProcess, ObjectNamesAreKeptUpTo515Characters) {
  // Every registered procedure that opens pages keeps the name in the shared
  // buffer; the abstract agent class opens nothing.
  std::string fits(515, 'a'), over(516, 'b');
  int opened = 0;
  for (const TarqRegistration& row : kRegistrations) {
    SCOPED_TRACE(ClassInfoOf(row.tarqClass).className);
    SetCurrentObject("stale");
    if (row.procedure(fits.c_str(), QZX_MSG_OPEN, 0, 0) == 0) {
      EXPECT_EQ(row.tarqClass, kClassMailAgent);
      continue;
    }
    ++opened;
    EXPECT_EQ(std::string(g_snapin.currentObject), fits);
    EXPECT_EQ(std::string(g_snapin.browse), fits);
    EXPECT_GT(row.procedure(over.c_str(), QZX_MSG_OPEN, 0, 0), 0);
    EXPECT_EQ(std::string(g_snapin.currentObject), over.substr(0, 515));
    EXPECT_GT(row.procedure(nullptr, QZX_MSG_OPEN, 0, 0), 0);
    EXPECT_STREQ(g_snapin.currentObject, "");
  }
  EXPECT_EQ(opened, kRegistrationCount - 1);

  // A new object's name goes back into the host's buffer whole, NUL included.
  struct {
    char name[QZX_NAME_BYTES];
    char guard[8];
  } host;
  memset(&host, 'g', sizeof host);
  SetBrowseText(fits.c_str());
  HandBackNewObject(reinterpret_cast<intptr_t>(host.name));
  EXPECT_EQ(std::string(host.name), fits);
  EXPECT_EQ(std::string(host.guard, sizeof host.guard), std::string(8, 'g'));
}

TEST_F(InProcess, APageStartsWithTheObjectsNameAndItsContainer) {
  HWND page = OpenPage();
  SetCurrentObject("SMTP Agent.MS1.Internet Services");
  g_snapin.pageContainer[0] = '\0';
  BeginPage(page);
  EXPECT_EQ(ItemText(page, IDC_TEST_NAME), "SMTP Agent.MS1.Internet Services");
  EXPECT_STREQ(g_snapin.pageContainer, "MS1.Internet Services.");
}

TEST_F(InProcess, ABrowseLeavesTheFieldOnCancelWritesThePickAndMarksThePageChanged) {
  Start();
  HWND page = OpenPage();
  SetDlgItemTextA(page, IDC_TEST_FIELD, "Old.Value");
  std::string caption;
  std::vector<std::string> rows;
  {
    ModalDriver driver;
    driver.Then([&](HWND b) {
      caption = WindowText(b);
      ClickItem(b, IDCANCEL);
    });
    EXPECT_EQ(BrowsePageField(page, IDC_TEST_FIELD, kBrowseUser, "Sales.Acme",
                              IDS_TEST_BROWSE_TITLE),
              0);
    EXPECT_EQ(driver.Pending(), 0u);
  }
  EXPECT_EQ(caption, "Select a User for the Test");
  EXPECT_EQ(ItemText(page, IDC_TEST_FIELD), "Old.Value");
  ASSERT_EQ(g_changed.size(), 1u);
  EXPECT_EQ(g_changed[0].first, reinterpret_cast<WPARAM>(page));
  EXPECT_EQ(g_changed[0].second, 0x10000);
  {
    ModalDriver driver;
    driver.Then([&](HWND b) {
      rows = ListViewLabels(GetDlgItem(b, IDC_BR_LIST));
      PickRow(b, IDC_BR_LIST, "Joe");
      ClickItem(b, IDOK);
    });
    EXPECT_EQ(BrowsePageField(page, IDC_TEST_FIELD, kBrowseUser, "Sales.Acme",
                              IDS_TEST_BROWSE_TITLE),
              1);
  }
  // Only users are offered: the filter came from DSLaunchProc.
  EXPECT_EQ(rows, (std::vector<std::string>{"Ann", "Joe"}));
  EXPECT_EQ(ItemText(page, IDC_TEST_FIELD), "Joe.Sales.Acme");
  EXPECT_EQ(g_changed.size(), 2u);
}

TEST_F(InProcess, AFolderBrowseOpensTheFileSystemBrowserAndKeepsTheFieldOnCancel) {
  Start();
  HWND page = OpenPage();
  SetDlgItemTextA(page, IDC_TEST_FIELD, "FS1/SYS:mail");
  std::string caption;
  ModalDriver driver;
  driver.Then([&](HWND b) {
    caption = WindowText(b);
    ClickItem(b, IDCANCEL);
  });
  EXPECT_EQ(BrowsePageFolder(page, IDC_TEST_FIELD, "Acme", IDS_TEST_BROWSE_TITLE), 0);
  EXPECT_EQ(driver.Pending(), 0u);
  EXPECT_EQ(caption, "Select a User for the Test");
  EXPECT_EQ(ItemText(page, IDC_TEST_FIELD), "FS1/SYS:mail");
  EXPECT_EQ(g_changed.size(), 1u);
}

TEST_F(InProcess, AValueControlShowsItsKindsValuesAndHandsBackWhatIsLeft) {
  Start();
  struct Case {
    const char* object;
    int kind;
    std::vector<std::string> shown;
    std::vector<std::string> read;  // the page's old values
  } cases[] = {
      {"MS1.Internet Services", kMvedResolvers, {"10.0.0.53", "10.0.0.54"},
       {"10.0.0.53", "10.0.0.54"}},
      {"ZELM Agent.MS2.Internet Services", kMvedContexts, {".Internet Services", "Sales.Acme"},
       {".Internet Services", "Sales.Acme"}},
      // Serving only the services container: an empty control.
      {"ZELM Agent.MS1.Internet Services", kMvedContexts, {}, {".Internet Services"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.object);
    OpenObject(c.object);
    HWND page = OpenPage();
    StrList list = {};
    ASSERT_EQ(CreateValueControl(page, &list, c.kind, IDC_TEST_VALUES_EDIT, IDC_TEST_VALUES_SPIN,
                                 IDC_TEST_VALUES_LIST, QZX_MVED_TYPED, IDS_TEST_VALUES_TITLE,
                                 nullptr),
              0);
    EXPECT_EQ(list.tag, c.kind);
    EXPECT_EQ(Strings(list), c.read);
    StrList left = {};
    EXPECT_EQ(ReadValueControl(page, IDC_TEST_VALUES_EDIT, &left),
              static_cast<int>(c.shown.size()));
    EXPECT_EQ(Strings(left), c.shown);
    EXPECT_EQ(ReadValueControl(page, 999, &left), -1);
    StrListFree(&left);
    StrListFree(&list);
    DestroyWindow(page);
    page_ = nullptr;
  }
}

}  // namespace

namespace {

TEST(JoinPathTest, PathsThatDoNotFitAreRefusedRatherThanCut) {
  char out[16];
  EXPECT_EQ(JoinPath(out, sizeof out, "C:\\nls", "tarq.hlp"), 1);  // 15 characters
  EXPECT_STREQ(out, "C:\\nls\\tarq.hlp");
  EXPECT_EQ(JoinPath(out, sizeof out - 1, "C:\\nls", "tarq.hlp"), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(JoinPath(out, sizeof out, "", "TARQRES.DLL"), 1);
  EXPECT_STREQ(out, "\\TARQRES.DLL");
  EXPECT_EQ(JoinPath(out, 0, "a", "b"), 0);
}

}  // namespace
