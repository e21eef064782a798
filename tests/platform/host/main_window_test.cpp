// The main window with the test snap-in loaded: what it shows, its keys
// (through the same accelerator path as the program's message loop), signing
// in as another identity, and the read-only icons that rights give.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "admin_dialogs.h"
#include "admin_ids.h"
#include "host_fixture.h"
#include "main_window.h"
#include "modal_driver.h"
#include "object_actions.h"
#include "snapins.h"
#include "testsnap_ids.h"
#include "ui_driver.h"

namespace zelm::host {
namespace {

class HostMainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    main_ = CreateMainWindow(GetModuleHandleA(nullptr));
    ASSERT_NE(main_, nullptr);
    std::vector<std::string> problems;
    LoadSnapins({"hosttestsnap.dll"}, main_, &problems);
    MainWindowReady(main_, "");
    ShowWindow(main_, SW_SHOWNA);
  }
  void TearDown() override {
    CloseSnapins(nullptr);
    DestroyWindow(main_);
    PumpMessages();  // takes the quit message the window posts
  }
  HWND List() const { return GetDlgItem(main_, IDC_MAIN_LIST); }
  HWND Tree() const { return GetDlgItem(main_, IDC_MAIN_TREE); }
  // A key pressed in a pane, as the message loop meets it.
  bool Press(HWND pane, WPARAM key) {
    MSG m = {};
    m.hwnd = pane;
    m.message = WM_KEYDOWN;
    m.wParam = key;
    m.lParam = 1;
    return MainTranslate(main_, &m);
  }
  int RowImage(const char* label) {
    int row = FindListRow(List(), label);
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageA(List(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return row < 0 ? -2 : item.iImage;
  }

  hosttest::HostDirectory directory_;
  HWND main_ = nullptr;
};

TEST_F(HostMainWindow, ShowsTheDirectoryWithIdentityAndDatabase) {
  EXPECT_EQ(MainContainer(main_), "");
  EXPECT_EQ(MainListNames(main_), (std::vector<std::string>{"Acme", "Internet Services"}));
  char root[32] = {};
  TVITEMA item = {};
  item.mask = TVIF_TEXT;
  item.hItem = TreeView_GetRoot(Tree());
  item.pszText = root;
  item.cchTextMax = sizeof root;
  TreeView_GetItem(Tree(), &item);
  EXPECT_STREQ(root, "[Root]");
  EXPECT_EQ(MainStatusText(main_, 0), "Identity: Admin.Acme");
  EXPECT_EQ(MainStatusText(main_, 1), "Database: " + directory_.Path());

  EXPECT_TRUE(MainSelect(main_, "Sales.Acme"));
  EXPECT_EQ(MainContainer(main_), "Sales.Acme");
  EXPECT_EQ(MainListNames(main_), (std::vector<std::string>{"East", "Ann", "Joe", "Keep", "Manager"}));
  EXPECT_EQ(MainStatusText(main_, 2), "5 object(s)");

  EXPECT_TRUE(MainSelect(main_, "Joe.Sales.Acme"));
  char selected[32] = {};
  TVITEMA sel = {};
  sel.mask = TVIF_TEXT;
  sel.hItem = TreeView_GetSelection(Tree());
  sel.pszText = selected;
  sel.cchTextMax = sizeof selected;
  TreeView_GetItem(Tree(), &sel);
  EXPECT_STREQ(selected, "Sales");  // the container stays marked in the tree
  std::vector<DirEntry> targets = MainTargets(main_);
  ASSERT_EQ(targets.size(), 1u);
  EXPECT_EQ(targets[0].full, "Joe.Sales.Acme");
  EXPECT_EQ(targets[0].className, "User");
  EXPECT_FALSE(MainSelect(main_, "Nobody.Sales.Acme"));
}

// The children of a tree item: label and whether it shows a "+".
std::vector<std::pair<std::string, bool>> TreeChildren(HWND tree, HTREEITEM parent) {
  std::vector<std::pair<std::string, bool>> out;
  for (HTREEITEM c = TreeView_GetChild(tree, parent); c; c = TreeView_GetNextSibling(tree, c)) {
    char text[128] = {};
    TVITEMA item = {};
    item.mask = TVIF_TEXT | TVIF_CHILDREN;
    item.hItem = c;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    TreeView_GetItem(tree, &item);
    out.push_back({text, item.cChildren != 0});
  }
  return out;
}

TEST_F(HostMainWindow, TheTreeHoldsContainersWithAPlusOnlyWhereMoreFollow) {
  HTREEITEM root = TreeView_GetRoot(Tree());
  auto top = TreeChildren(Tree(), root);
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(top[0], (std::pair<std::string, bool>{"Acme", true}));
  EXPECT_EQ(top[1], (std::pair<std::string, bool>{"Internet Services", true}));
  HTREEITEM services = TreeView_GetNextSibling(Tree(), TreeView_GetChild(Tree(), root));
  TreeView_Expand(Tree(), services, TVE_EXPAND);
  // A messaging server is a container, empty here.
  EXPECT_EQ(TreeChildren(Tree(), services),
            (std::vector<std::pair<std::string, bool>>{{"MS1", false}}));
  HTREEITEM acme = TreeView_GetChild(Tree(), root);
  TreeView_Expand(Tree(), acme, TVE_EXPAND);
  // Users and the file server stay in the list; Support holds users only.
  EXPECT_EQ(TreeChildren(Tree(), acme), (std::vector<std::pair<std::string, bool>>{
                                            {"Sales", true}, {"Support", false}}));
}

TEST_F(HostMainWindow, DeleteKeyAsksThenDeletes) {
  MainSelect(main_, "Ann.Sales.Acme");
  MessageBoxInterceptor boxes(IDYES);
  EXPECT_TRUE(Press(List(), VK_DELETE));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Delete Ann.Sales.Acme?");
  EXPECT_FALSE(directory_.Exists("Ann.Sales.Acme"));
  EXPECT_EQ(MainListNames(main_), (std::vector<std::string>{"East", "Joe", "Keep", "Manager"}));
}

TEST_F(HostMainWindow, F5ShowsWhatOthersChanged) {
  MainSelect(main_, "Sales.Acme");
  ASSERT_EQ(directory_.Admin()->Add("Bob.Sales.Acme",
                                     dir::testing::OfClass("User")),
            0);
  EXPECT_TRUE(Press(Tree(), VK_F5));
  EXPECT_EQ(MainContainer(main_), "Sales.Acme");
  EXPECT_EQ(MainListNames(main_), (std::vector<std::string>{"East", "Ann", "Bob", "Joe", "Keep", "Manager"}));
  EXPECT_TRUE(Press(Tree(), VK_BACK));
  EXPECT_EQ(MainContainer(main_), "Acme");
}

TEST_F(HostMainWindow, InsertPicksAClassThenRunsItsCreationDialog) {
  MainSelect(main_, "Sales.Acme");
  SetFocus(Tree());
  std::vector<std::string> classes;
  ModalDriver driver;
  driver.Then([&](HWND d) {
    classes = ListViewLabels(GetDlgItem(d, IDC_NO_CLASSES));
    ClickItem(d, IDOK);
  });
  driver.Then([](HWND d) {
    SetItemText(d, IDC_TS_NEW_NAME, "Newbie");
    ClickItem(d, IDOK);
  });
  EXPECT_TRUE(Press(Tree(), VK_INSERT));
  EXPECT_TRUE(driver.Unexpected().empty());
  EXPECT_EQ(classes, (std::vector<std::string>{"Test User", "Test Messaging Server"}));
  EXPECT_TRUE(directory_.Exists("Newbie.Sales.Acme"));
  std::vector<DirEntry> targets = MainTargets(main_);
  ASSERT_EQ(targets.size(), 1u);
  EXPECT_EQ(targets[0].full, "Newbie.Sales.Acme");
}

TEST_F(HostMainWindow, InsertWhereNothingCanBeCreatedSaysSo) {
  MainSelect(main_, "");
  MessageBoxInterceptor boxes;
  EXPECT_TRUE(Press(Tree(), VK_INSERT));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "No snap-in can create objects in [Root].");
}

TEST_F(HostMainWindow, EnterOnSeveralUsersOpensTheirCommonPage) {
  MainSelect(main_, "Sales.Acme");
  SetFocus(List());
  ListView_SetItemState(List(), FindListRow(List(), "Ann"), LVIS_SELECTED, LVIS_SELECTED);
  ListView_SetItemState(List(), FindListRow(List(), "Joe"), LVIS_SELECTED, LVIS_SELECTED);
  std::string caption;
  std::vector<std::string> tabs;
  ModalDriver driver;
  driver.Then([&](HWND sheet) {
    caption = WindowText(sheet);
    PropSheet_PressButton(sheet, PSBTN_CANCEL);
  });
  EXPECT_TRUE(Press(List(), VK_RETURN));
  EXPECT_NE(caption.find("2 selected objects"), std::string::npos) << caption;
  EXPECT_EQ(OpenSheetWindow(), nullptr);
}

TEST_F(HostMainWindow, SignInChecksTheUserAndChangesWhatTheStatusShows) {
  const bool ldap = zelm::testdir::OverLdap();
  const std::string joe = directory_.PasswordOf("Joe.Sales.Acme");
  struct Case {
    const char* identity;
    std::string password;
    const char* problem;      // over the file
    const char* ldapProblem;  // over LDAP, where only a user can log in
  } refused[] = {
      {"Nobody.Acme", "x", "There is no user Nobody.Acme in the directory.",
       "There is no user Nobody.Acme in the directory."},
      {"Sales.Acme", "x", "Sales.Acme is not a user.", "Wrong password for Sales.Acme."},
      {"Joe.Sales.Acme", joe + "x", nullptr, "Wrong password for Joe.Sales.Acme."},
      {"Joe.Sales.Acme", std::string(256, 'p'), "A password has at most 255 characters.",
       "A password has at most 255 characters."},
      {"", "", "Type the full name of a user, for example Admin.Acme.",
       "Type the full name of a user, for example Admin.Acme."},
  };
  std::string problem;
  for (const Case& c : refused) {
    const char* want = ldap ? c.ldapProblem : c.problem;
    if (!want) continue;
    EXPECT_FALSE(SignIn(c.identity, "", c.password, &problem)) << c.identity;
    EXPECT_EQ(problem, want);
    EXPECT_EQ(CurrentIdentity(), "Admin.Acme");
  }

  EXPECT_TRUE(SignIn(".Joe.Sales.Acme", "", joe, &problem)) << problem;
  EXPECT_EQ(CurrentIdentity(), "Joe.Sales.Acme");
  SendMessageA(main_, WM_COMMAND, IDM_REFRESH, 0);
  EXPECT_EQ(MainStatusText(main_, 0), "Identity: Joe.Sales.Acme");

  // A database that is not there: nothing changes.
  EXPECT_FALSE(SignIn("Admin.Acme", directory_.Folder() + "\\missing.zdb", "", &problem));
  EXPECT_EQ(problem.rfind("The directory cannot be used: ", 0), 0u) << problem;
  EXPECT_EQ(CurrentIdentity(), "Joe.Sales.Acme");
  EXPECT_EQ(CurrentDatabase(), directory_.Path());
}

// A directory on a server: the login dialog takes a dotted user name and a
// password, says what was wrong and asks again, and Cancel logs nobody in.
TEST_F(HostMainWindow, TheLoginDialogAsksUntilThePasswordIsRight) {
  if (!zelm::testdir::OverLdap()) GTEST_SKIP() << "logins are proved on an LDAP server only";
  const std::string joe = directory_.PasswordOf("Joe.Sales.Acme");
  struct Try {
    const char* user;
    std::string password;
    const char* says;  // nullptr: logged in
  } tries[] = {
      {"Joe.Sales.Acme", joe + "x", "Wrong password for Joe.Sales.Acme."},
      {"Joe.Sales.Acme", std::string(256, 'p'), "A password has at most 255 characters."},
      {"Sales..Acme", joe, "Sales..Acme is not a user name."},
      {".Joe.Sales.Acme", joe, nullptr},
  };
  MessageBoxInterceptor boxes;
  ModalDriver driver;
  std::string shownUser;
  driver.Then([&](HWND d) {
    shownUser = ItemText(d, IDC_LI_USER);
    for (const Try& t : tries) {
      SetDlgItemTextA(d, IDC_LI_USER, t.user);
      SetDlgItemTextA(d, IDC_LI_PASSWORD, t.password.c_str());
      SendMessageA(d, WM_COMMAND, IDOK, 0);
    }
  });
  driver.Then([](HWND d) { SendMessageA(d, WM_COMMAND, IDCANCEL, 0); });
  ASSERT_TRUE(RunLoginDialog(main_, "Kim.East.Sales.Acme"));
  EXPECT_EQ(shownUser, "Kim.East.Sales.Acme");
  ASSERT_EQ(boxes.Boxes().size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(boxes.Boxes()[i].text, tries[i].says);
  EXPECT_EQ(CurrentIdentity(), "Joe.Sales.Acme");
  EXPECT_FALSE(RunLoginDialog(main_, ""));
  EXPECT_EQ(CurrentIdentity(), "Joe.Sales.Acme");
  EXPECT_TRUE(driver.Unexpected().empty());
}

TEST_F(HostMainWindow, ObjectsTheIdentityMayNotChangeShowTheReadOnlyIcon) {
  MainSelect(main_, "Sales.Acme");
  int writable = RowImage("Ann");
  std::string problem;
  ASSERT_TRUE(SignIn("Joe.Sales.Acme", "", directory_.PasswordOf("Joe.Sales.Acme"), &problem))
      << problem;
  SendMessageA(main_, WM_COMMAND, IDM_REFRESH, 0);
  EXPECT_NE(RowImage("Ann"), writable);
  ASSERT_TRUE(SignIn("Manager.Sales.Acme", "", directory_.PasswordOf("Manager.Sales.Acme"), &problem))
      << problem;
  SendMessageA(main_, WM_COMMAND, IDM_REFRESH, 0);
  EXPECT_EQ(RowImage("Ann"), writable);
}

}  // namespace
}  // namespace zelm::host
