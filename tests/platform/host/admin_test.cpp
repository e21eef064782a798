// The host program's real code driving the test snap-ins against a real
// directory database: loading and closing, class data, creation with every
// answer, property sheets (apply refused and accepted, help, close), several
// snap-ins for one class, multi-selection, deletion, rights.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "host_fixture.h"
#include "hostext_ids.h"
#include "modal_driver.h"
#include "object_actions.h"
#include "snapins.h"
#include "testsnap_ids.h"
#include "ui_driver.h"

namespace zelm::host {
namespace {

constexpr int kApplyButton = 0x3021;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

int Count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

class HostAdmin : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                             nullptr);
  }
  void TearDown() override {
    if (HWND sheet = OpenSheetWindow()) CloseSheet(sheet);
    if (auto canClose = Export<void (*)(int32_t)>("TestSnapSetCanClose")) canClose(1);
    CloseSnapins(nullptr);
    DestroyWindow(owner_);
    PumpMessages();
  }
  void Load(std::vector<std::string> paths = {"hosttestsnap.dll"}) {
    problems_.clear();
    LoadSnapins(paths, owner_, &problems_);
  }
  template <class F>
  static F Export(const char* name) {
    HMODULE m = GetModuleHandleA("hosttestsnap.dll");
    return m ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
  }
  static std::vector<std::string> Log() { return Lines(Export<const char* (*)()>("TestSnapLog")()); }
  static void ClearLog() { Export<void (*)()>("TestSnapClearLog")(); }
  static ClassProc UserProc() { return ProcsFor("User", QZX_SELECT_SINGLE).at(0); }

  HWND Open(std::vector<std::string> names, const char* className) {
    SheetTarget t;
    t.names = names;
    t.className = className;
    std::string problem;
    HWND sheet = OpenSheet(owner_, t, &problem);
    EXPECT_NE(sheet, nullptr) << problem;
    return sheet;
  }
  static std::vector<std::string> Tabs(HWND sheet) {
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
  static HWND Page(HWND sheet) { return PropSheet_GetCurrentPageHwnd(sheet); }
  static bool ApplyEnabled(HWND sheet) { return IsWindowEnabled(GetDlgItem(sheet, kApplyButton)) != 0; }

  hosttest::HostDirectory directory_;
  HWND owner_ = nullptr;
  std::vector<std::string> problems_;
};

TEST_F(HostAdmin, LoadingStartsTheSnapinAndAsksEveryRegistrationForItsClassData) {
  Load();
  EXPECT_TRUE(problems_.empty());
  ASSERT_EQ(Snapins().size(), 1u);
  EXPECT_TRUE(Snapins()[0].running);
  std::vector<std::string> log = Log();
  ASSERT_GE(log.size(), 11u);
  std::vector<std::string> head(log.begin(), log.begin() + 11);
  EXPECT_EQ(head, (std::vector<std::string>{
                      "InitSnapin", "PostInitSnapin", "0x100 User", "0x110 User", "0x105 User",
                      "multi 0x100 User", "multi 0x110 User", "multi 0x105 User",
                      "0x100 Quorvel:Messaging Server", "0x110 Quorvel:Messaging Server",
                      "0x105 Quorvel:Messaging Server"}));
  const std::vector<ClassProc>& procs = ClassProcs();
  ASSERT_EQ(procs.size(), 3u);
  EXPECT_EQ(procs[0].flags, QZX_CLASS_CREATES);
  EXPECT_EQ(procs[1].reg.selectionMode, QZX_SELECT_MULTIPLE);
  EXPECT_EQ(procs[2].flags, 0x6CDu);
  EXPECT_EQ(procs[2].kind, 1);
  EXPECT_EQ(ClassDescription("user"), "Test User");
  HXClassData data;
  ASSERT_EQ(HXGetClassData("Quorvel:Messaging Server", &data), 0);
  EXPECT_NE(data.bitmaps[0], nullptr);
  EXPECT_NE(data.bitmaps[2], nullptr);
}

TEST_F(HostAdmin, ASnapinThatFailsToStartIsUnloadedWithItsRegistrations) {
  HMODULE pin = LoadLibraryA("hosttestsnap.dll");
  ASSERT_NE(pin, nullptr);
  Export<void (*)(int32_t)>("TestSnapSetInitResult")(-1);
  Load({"hosttestsnap.dll", "nosuch-snapin.dll", "dsclient32.dll"});
  ASSERT_EQ(problems_.size(), 3u);
  EXPECT_EQ(problems_[0], "hosttestsnap.dll: InitSnapin failed (-1).");
  EXPECT_EQ(problems_[1].rfind("nosuch-snapin.dll: the library cannot be loaded (", 0), 0u);
  EXPECT_EQ(problems_[2], "dsclient32.dll: not a snap-in (no InitSnapin).");
  EXPECT_TRUE(ClassProcs().empty());
  EXPECT_FALSE(Has(Log(), "PostInitSnapin"));
  Export<void (*)(int32_t)>("TestSnapSetInitResult")(0);
  FreeLibrary(pin);
}

// A 64-bit host cannot load a 32-bit snap-in, nor the other way round: the
// other build's tarq.dll is named for what it is, and nothing registers.
TEST_F(HostAdmin, ALibraryOfTheOtherWidthIsNamedAsSuchAndNotLoaded) {
  const std::string other = std::string("Z:") + ZELM_OTHER_WIN_BIN + "/tarq.dll";
  if (GetFileAttributesA(other.c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "no build of the other width at " << other;
  const int own = static_cast<int>(sizeof(void*) * 8), theirs = own == 64 ? 32 : 64;
  Load({other});
  ASSERT_EQ(problems_.size(), 1u);
  EXPECT_EQ(problems_[0], other + ": a " + std::to_string(theirs) + "-bit library, which this " +
                              std::to_string(own) + "-bit host cannot load; use the " +
                              std::to_string(theirs) + "-bit zelmadmin.exe.");
  EXPECT_TRUE(ClassProcs().empty());
}

TEST_F(HostAdmin, ClosingAsksEachSnapinAndStopsWhenOneObjects) {
  Load();
  HMODULE pin = LoadLibraryA("hosttestsnap.dll");  // keeps the log readable after the close
  Export<void (*)(int32_t)>("TestSnapSetCanClose")(0);
  std::string by;
  EXPECT_FALSE(CloseSnapins(&by));
  EXPECT_EQ(by, "hosttestsnap.dll");
  EXPECT_FALSE(Has(Log(), "ShutDown"));
  EXPECT_EQ(ClassProcs().size(), 3u);

  Export<void (*)(int32_t)>("TestSnapSetCanClose")(1);
  ClearLog();
  EXPECT_TRUE(CloseSnapins(&by));
  EXPECT_EQ(Log(), (std::vector<std::string>{"CanCloseSnapin", "0x101 User", "multi 0x101 User",
                                             "0x101 Quorvel:Messaging Server", "ShutDown"}));
  EXPECT_TRUE(ClassProcs().empty());
  HXClassData data;
  EXPECT_EQ(HXGetClassData("User", &data), -1);
  FreeLibrary(pin);
  EXPECT_EQ(GetModuleHandleA("hosttestsnap.dll"), nullptr);
}

TEST_F(HostAdmin, EitherSpellingOfShutDownIsCalled) {
  Load({"hosttestsnap.dll", "hosttestsnap2.dll"});
  HMODULE first = LoadLibraryA("hosttestsnap.dll");
  HMODULE second = LoadLibraryA("hosttestsnap2.dll");
  auto logOf = [](HMODULE m) {
    return Lines(reinterpret_cast<const char* (*)()>(reinterpret_cast<void*>(GetProcAddress(m, "TestSnapLog")))());
  };
  EXPECT_TRUE(CloseSnapins(nullptr));
  EXPECT_TRUE(Has(logOf(first), "ShutDown"));
  EXPECT_TRUE(Has(logOf(second), "Shutdown"));
  EXPECT_TRUE(Has(logOf(second), "extra 0x101 User"));
  FreeLibrary(second);
  FreeLibrary(first);
}

TEST_F(HostAdmin, CreatableClassesFollowTheFlagsAndTheSchema) {
  Load();
  auto names = [](const std::vector<ClassProc>& procs) {
    std::vector<std::string> out;
    for (const ClassProc& p : procs) out.push_back(p.reg.className);
    return out;
  };
  std::vector<std::string> both = {"User", "Quorvel:Messaging Server"};
  EXPECT_EQ(names(CreatableIn("Organizational Unit")), both);
  EXPECT_EQ(names(CreatableIn("Organization")), both);
  // The multi-selection registration never creates; an unknown container
  // class is left to the directory to judge.
  EXPECT_EQ(names(CreatableIn("Some Other Class")), both);
  EXPECT_EQ(names(CreatableIn("Quorvel:Services")), std::vector<std::string>{"Quorvel:Messaging Server"});
  EXPECT_TRUE(CreatableIn("").empty());
  EXPECT_TRUE(CreatableIn("Quorvel:Messaging Server").empty());
}

TEST_F(HostAdmin, CreateCancelledMakesNothing) {
  Load();
  ModalDriver driver;
  driver.Then([](HWND d) {
    SetItemText(d, IDC_TS_NEW_NAME, "Nobody");
    ClickItem(d, IDCANCEL);
  });
  std::string created;
  EXPECT_EQ(CreateObject(owner_, "Sales.Acme", UserProc(), &created), QZX_CREATE_CANCELLED);
  EXPECT_EQ(created, "");
  EXPECT_FALSE(directory_.Exists("Nobody.Sales.Acme"));
  EXPECT_TRUE(Has(Log(), "0x102 Sales.Acme"));
  EXPECT_TRUE(driver.Unexpected().empty());
}

TEST_F(HostAdmin, CreateDoneMakesTheObjectAndReportsItsName) {
  Load();
  ModalDriver driver;
  driver.Then([](HWND d) {
    SetItemText(d, IDC_TS_NEW_NAME, "Newbie");
    ClickItem(d, IDOK);
  });
  std::string created;
  EXPECT_EQ(CreateObject(owner_, "Sales.Acme", UserProc(), &created), QZX_CREATE_DONE);
  EXPECT_EQ(created, "Newbie.Sales.Acme");
  EXPECT_TRUE(directory_.Exists("Newbie.Sales.Acme"));
  EXPECT_FALSE(Has(Log(), "0x103 Newbie.Sales.Acme"));
  EXPECT_TRUE(driver.Unexpected().empty());
}

TEST_F(HostAdmin, CreateWithMorePropertiesOpensTheNewObjectsPages) {
  Load();
  std::vector<std::string> tabs;
  ModalDriver driver;
  driver.Then([](HWND d) {
    SetItemText(d, IDC_TS_NEW_NAME, "Newbie");
    ClickItem(d, IDC_TS_MORE_PAGES);
    ClickItem(d, IDOK);
  });
  driver.Then([&](HWND sheet) {
    tabs = Tabs(sheet);
    PropSheet_PressButton(sheet, PSBTN_CANCEL);
  });
  EXPECT_EQ(CreateObject(owner_, "Sales.Acme", UserProc(), nullptr), QZX_CREATE_OPEN_PAGES);
  EXPECT_EQ(tabs, (std::vector<std::string>{"General", "Mail"}));
  std::vector<std::string> log = Log();
  EXPECT_TRUE(Has(log, "0x103 Newbie.Sales.Acme"));
  EXPECT_TRUE(Has(log, "close General"));
  EXPECT_EQ(OpenSheetWindow(), nullptr);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_TRUE(driver.Unexpected().empty());
}

TEST_F(HostAdmin, CreateAnotherAsksAgainUntilTheUserStops) {
  Load();
  ModalDriver driver;
  driver.Then([](HWND d) {
    SetItemText(d, IDC_TS_NEW_NAME, "First");
    ClickItem(d, IDC_TS_ANOTHER);
    ClickItem(d, IDOK);
  });
  driver.Then([](HWND d) {
    SetItemText(d, IDC_TS_NEW_NAME, "Second");
    ClickItem(d, IDOK);
  });
  std::string created;
  EXPECT_EQ(CreateObject(owner_, "Sales.Acme", UserProc(), &created), QZX_CREATE_DONE);
  EXPECT_EQ(created, "Second.Sales.Acme");
  EXPECT_TRUE(directory_.Exists("First.Sales.Acme"));
  EXPECT_TRUE(directory_.Exists("Second.Sales.Acme"));
  EXPECT_EQ(Count(Log(), "0x102 Sales.Acme"), 2);
  EXPECT_EQ(driver.Pending(), 0u);
}

TEST_F(HostAdmin, CreateOfANameTakenShowsTheDirectoryError) {
  Load();
  MessageBoxInterceptor boxes;
  ModalDriver driver;
  driver.Then([](HWND d) {
    SetItemText(d, IDC_TS_NEW_NAME, "Joe");
    ClickItem(d, IDOK);
  });
  EXPECT_EQ(CreateObject(owner_, "Sales.Acme", UserProc(), nullptr), QZX_CREATE_CANCELLED);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "[-606] Directory Error");
}

TEST_F(HostAdmin, ApplyRefusedKeepsTheSheetOpenAndAcceptedWrites) {
  Load();
  HWND sheet = Open({"Joe.Sales.Acme"}, "User");
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(Tabs(sheet), (std::vector<std::string>{"General", "Mail"}));
  HWND page = Page(sheet);
  EXPECT_EQ(ItemText(page, IDC_TS_NAME), "Joe.Sales.Acme");
  EXPECT_EQ(ItemText(page, IDC_TS_FULL_NAME), "Joe Miller");
  EXPECT_FALSE(ApplyEnabled(sheet));

  SetItemText(page, IDC_TS_FULL_NAME, "");  // the page reports 0x520
  EXPECT_TRUE(ApplyEnabled(sheet));
  MessageBoxInterceptor boxes;
  EXPECT_FALSE(PropSheet_Apply(sheet));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "A full name is required.");
  EXPECT_EQ(Page(sheet), page);
  EXPECT_EQ(directory_.Values("Joe.Sales.Acme", "Full Name"), std::vector<std::string>{"Joe Miller"});

  SetItemText(page, IDC_TS_FULL_NAME, "Joe Q. Miller");
  EXPECT_TRUE(PropSheet_Apply(sheet));
  EXPECT_EQ(directory_.Values("Joe.Sales.Acme", "Full Name"), std::vector<std::string>{"Joe Q. Miller"});
  EXPECT_EQ(Count(Log(), "apply General"), 2);
  CloseSheet(sheet);
  EXPECT_EQ(Count(Log(), "close General"), 1);
  EXPECT_FALSE(Has(Log(), "close Mail"));  // never shown, never made
}

TEST_F(HostAdmin, OkAppliesEveryPageShownThenClosesThem) {
  Load();
  HWND sheet = Open({"Joe.Sales.Acme"}, "User");
  ASSERT_NE(sheet, nullptr);
  PropSheet_SetCurSel(sheet, nullptr, 1);
  HWND mail = Page(sheet);
  HWND list = GetDlgItem(mail, IDC_TS_MAIL_LIST);
  EXPECT_EQ(SendMessageA(GetWindow(list, GW_CHILD), LB_GETCOUNT, 0, 0), 2);
  EXPECT_FALSE(ApplyEnabled(sheet));
  SetItemText(mail, IDC_TS_MAIL_EDIT, "joe@new.example");
  SendMessageA(GetDlgItem(mail, IDC_TS_MAIL_EDIT), WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_TRUE(ApplyEnabled(sheet));  // the control's change lit Apply

  PropSheet_PressButton(sheet, PSBTN_OK);
  PumpMessages();
  EXPECT_EQ(Page(sheet), nullptr);
  EXPECT_EQ(directory_.Values("Joe.Sales.Acme", "Quorvel:EMail Address"),
            (std::vector<std::string>{"joe@sales.example", "j.miller@sales.example", "joe@new.example"}));
  CloseSheet(sheet);
  std::vector<std::string> log = Log();
  EXPECT_TRUE(Has(log, "apply General"));
  EXPECT_TRUE(Has(log, "apply Mail"));
  EXPECT_EQ(Count(log, "close General"), 1);
  EXPECT_EQ(Count(log, "close Mail"), 1);
}

TEST_F(HostAdmin, HelpGoesToTheCurrentPage) {
  Load();
  HWND sheet = Open({"Joe.Sales.Acme"}, "User");
  ASSERT_NE(sheet, nullptr);
  HWND help = GetDlgItem(sheet, IDHELP);
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(IsWindowVisible(help) && IsWindowEnabled(help));
  ClickItem(sheet, IDHELP);
  PropSheet_SetCurSel(sheet, nullptr, 1);
  ClickItem(sheet, IDHELP);
  std::vector<std::string> log = Log();
  EXPECT_EQ(Count(log, "help General"), 1);
  EXPECT_EQ(Count(log, "help Mail"), 1);
  CloseSheet(sheet);
}

TEST_F(HostAdmin, EverySnapinOfAClassAddsItsPages) {
  Load({"hosttestsnap.dll", "hosttestsnap2.dll"});
  HWND sheet = Open({"Joe.Sales.Acme"}, "User");
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(Tabs(sheet), (std::vector<std::string>{"General", "Mail", "Extra"}));
  CloseSheet(sheet);

  // A sheet may open on a page named by its title; a title nobody has opens the first.
  SheetTarget t;
  t.names = {"Joe.Sales.Acme"};
  t.className = "User";
  t.firstPage = "mail";
  std::string problem;
  sheet = OpenSheet(owner_, t, &problem);
  ASSERT_NE(sheet, nullptr) << problem;
  EXPECT_EQ(PropSheet_HwndToIndex(sheet, Page(sheet)), 1);
  CloseSheet(sheet);
  t.firstPage = "Statistics";
  sheet = OpenSheet(owner_, t, &problem);
  ASSERT_NE(sheet, nullptr) << problem;
  EXPECT_EQ(PropSheet_HwndToIndex(sheet, Page(sheet)), 0);
  CloseSheet(sheet);
}

TEST_F(HostAdmin, AClassWithoutPagesShowsTheHostsAttributesPage) {
  Load();
  HWND sheet = Open({"Sales.Acme"}, "Organizational Unit");
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(Tabs(sheet), std::vector<std::string>{"Attributes"});
  HWND page = Page(sheet);
  EXPECT_EQ(ItemText(page, 10), "Sales.Acme");
  std::vector<std::string> rows = ListViewLabels(GetDlgItem(page, 1401));
  EXPECT_TRUE(Has(rows, "Description"));
  EXPECT_TRUE(Has(rows, "Object Class"));
  CloseSheet(sheet);
}

TEST_F(HostAdmin, SeveralUsersGetTheMultiSelectionPageAppliedToEach) {
  Load();
  HWND sheet = Open({"Joe.Sales.Acme", "Ann.Sales.Acme"}, "User");
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(Tabs(sheet), std::vector<std::string>{"Several users"});
  EXPECT_TRUE(Has(Log(), "init Multi Joe.Sales.Acme Ann.Sales.Acme | end at 2"));
  SetItemText(Page(sheet), IDC_TS_MULTI_DESCRIPTION, "team");
  PropSheet_PressButton(sheet, PSBTN_OK);
  PumpMessages();
  EXPECT_EQ(directory_.Values("Joe.Sales.Acme", "Description"), std::vector<std::string>{"team"});
  EXPECT_EQ(directory_.Values("Ann.Sales.Acme", "Description"), std::vector<std::string>{"team"});
  std::vector<std::string> log = Log();
  auto joe = std::find(log.begin(), log.end(), "multi 0x119 Joe.Sales.Acme");
  auto ann = std::find(log.begin(), log.end(), "multi 0x119 Ann.Sales.Acme");
  ASSERT_NE(joe, log.end());
  ASSERT_NE(ann, log.end());
  EXPECT_LT(joe, ann);
  EXPECT_GT(joe, std::find(log.begin(), log.end(), "apply Multi"));
  CloseSheet(sheet);
  int32_t n = -1;
  QZXGetSelObjectCount(&n);
  EXPECT_EQ(n, 0);
}

TEST_F(HostAdmin, AUserThatCannotTakeTheSettingsIsNamedAndTheSheetStays) {
  Load();
  hosttest::HostDirectory::As("Manager.Sales.Acme");  // may write in Sales only
  HWND sheet = Open({"Joe.Sales.Acme", "Zed.Support.Acme"}, "User");
  ASSERT_NE(sheet, nullptr);
  SetItemText(Page(sheet), IDC_TS_MULTI_DESCRIPTION, "team");
  MessageBoxInterceptor boxes;
  EXPECT_FALSE(PropSheet_Apply(sheet));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "The settings could not be written to:\nZed.Support.Acme");
  EXPECT_NE(Page(sheet), nullptr);
  EXPECT_EQ(directory_.Values("Joe.Sales.Acme", "Description"), std::vector<std::string>{"team"});
  EXPECT_TRUE(directory_.Values("Zed.Support.Acme", "Description").empty());
  CloseSheet(sheet);
}

TEST_F(HostAdmin, SeveralObjectsNeedAMultiSelectionProcedure) {
  Load();
  SheetTarget t;
  t.names = {"MS1.Internet Services", "MS2.Internet Services"};
  t.className = "Quorvel:Messaging Server";
  std::string problem;
  EXPECT_EQ(OpenSheet(owner_, t, &problem), nullptr);
  EXPECT_EQ(problem,
            "Objects of class Quorvel:Messaging Server cannot be edited together; open them one at a time.");
  // One sheet at a time: the snap-ins keep one object's pages.
  HWND sheet = Open({"Joe.Sales.Acme"}, "User");
  t.names = {"Ann.Sales.Acme"};
  t.className = "User";
  EXPECT_EQ(OpenSheet(owner_, t, &problem), nullptr);
  EXPECT_EQ(problem, "Close the open property sheet first.");
  CloseSheet(sheet);
}

DirEntry Entry(const char* full, const char* className, bool container = false, uint32_t below = 0) {
  DirEntry e;
  e.full = full;
  e.className = className;
  e.container = container;
  e.subordinates = below;
  return e;
}

TEST_F(HostAdmin, DeleteAsksEveryProcedureAndARefusalKeepsTheObject) {
  Load();
  MessageBoxInterceptor boxes;
  EXPECT_EQ(DeleteObjects(owner_, {Entry("Keep.Sales.Acme", "User"), Entry("Ann.Sales.Acme", "User")}, false), 1);
  EXPECT_TRUE(directory_.Exists("Keep.Sales.Acme"));
  EXPECT_FALSE(directory_.Exists("Ann.Sales.Acme"));
  std::vector<std::string> log = Log();
  EXPECT_TRUE(Has(log, "0x107 Keep.Sales.Acme"));
  EXPECT_TRUE(Has(log, "0x107 Ann.Sales.Acme"));
  EXPECT_TRUE(Has(log, "multi 0x107 Ann.Sales.Acme"));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text,
            "Not everything was deleted:\nKeep.Sales.Acme was kept: its snap-in refused the deletion.");
}

TEST_F(HostAdmin, DeleteLeavesFullContainersAndWhatTheUserMayNotDelete) {
  Load();
  MessageBoxInterceptor boxes;
  EXPECT_EQ(DeleteObjects(owner_, {Entry("East.Sales.Acme", "Organizational Unit", true, 1)}, false), 0);
  EXPECT_TRUE(directory_.Exists("East.Sales.Acme"));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text,
            "Not everything was deleted:\nEast.Sales.Acme still holds objects; delete them first.");

  boxes.Clear();
  hosttest::HostDirectory::As("Joe.Sales.Acme");
  EXPECT_EQ(DeleteObjects(owner_, {Entry("Ann.Sales.Acme", "User")}, false), 0);
  EXPECT_TRUE(directory_.Exists("Ann.Sales.Acme"));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Not everything was deleted:\nAnn.Sales.Acme: [-672] No access");

  boxes.Clear();
  boxes.QueueAnswer(IDNO);
  EXPECT_EQ(DeleteObjects(owner_, {Entry("Kim.East.Sales.Acme", "User")}, true), 0);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Delete Kim.East.Sales.Acme?");
  EXPECT_TRUE(directory_.Exists("Kim.East.Sales.Acme"));
}

TEST_F(HostAdmin, RightsDecideWhatAPageMayWrite) {
  Load();
  hosttest::HostDirectory::As("Joe.Sales.Acme");
  HWND sheet = Open({"Ann.Sales.Acme"}, "User");
  ASSERT_NE(sheet, nullptr);
  SetItemText(Page(sheet), IDC_TS_FULL_NAME, "Annie");
  MessageBoxInterceptor boxes;
  EXPECT_FALSE(PropSheet_Apply(sheet));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "[-672] Directory Error");
  EXPECT_EQ(directory_.Values("Ann.Sales.Acme", "Full Name"), std::vector<std::string>{"Ann Baker"});
  CloseSheet(sheet);
}

TEST_F(HostAdmin, BrowseButtonsOfAPageFillItsFields) {
  Load();
  directory_.MakeFolder("vol\\SYS\\mail");
  HWND sheet = Open({"MS1.Internet Services"}, "Quorvel:Messaging Server");
  ASSERT_NE(sheet, nullptr);
  HWND page = Page(sheet);
  {
    ModalDriver driver;
    driver.Then([](HWND b) {
      ASSERT_TRUE(PickRow(b, IDC_BR_LIST, "FS1"));
      ClickItem(b, IDOK);  // a server is opened, not picked
      ASSERT_TRUE(PickRow(b, IDC_BR_LIST, "SYS"));
      ClickItem(b, IDOK);  // a volume can be picked; opened with a double-click
    });
    ClickItem(page, IDC_TS_PICK_DIR);
    EXPECT_TRUE(driver.Unexpected().empty());
  }
  EXPECT_EQ(ItemText(page, IDC_TS_WORK_DIR), "FS1/SYS:");
  {
    ModalDriver driver;
    driver.Then([](HWND b) { ClickItem(b, IDCANCEL); });
    ClickItem(page, IDC_TS_PICK_DIR);
  }
  EXPECT_EQ(ItemText(page, IDC_TS_WORK_DIR), "FS1/SYS:");  // a cancelled browse leaves the field
  {
    ModalDriver driver;
    driver.Then([](HWND b) {
      ASSERT_TRUE(PickRow(b, IDC_BR_LIST, "Acme"));
      ClickItem(b, IDOK);
    });
    HWND inner = GetWindow(GetDlgItem(page, IDC_TS_CTX_LIST), GW_CHILD);
    SendMessageA(inner, WM_KEYDOWN, VK_INSERT, 1);
    EXPECT_TRUE(driver.Unexpected().empty());
  }
  EXPECT_TRUE(ApplyEnabled(sheet));
  PropSheet_PressButton(sheet, PSBTN_OK);
  PumpMessages();
  EXPECT_EQ(directory_.Values("MS1.Internet Services", "Quorvel:Work Directory"),
            std::vector<std::string>{"FS1/SYS:"});
  EXPECT_EQ(directory_.Values("MS1.Internet Services", "Quorvel:Context"),
            (std::vector<std::string>{".Internet Services", "Acme"}));
  CloseSheet(sheet);
}

}  // namespace
}  // namespace zelm::host
