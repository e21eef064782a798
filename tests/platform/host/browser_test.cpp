// The directory and file-system browsers, called as snap-ins call them,
// against a real database and real folders: what is offered, where the
// browser opens, what reaches the callback (name at offset 132), and that a
// cancelled browse delivers nothing.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "host_fixture.h"
#include "hostext32.h"
#include "hostext_ids.h"
#include "modal_driver.h"
#include "ui_driver.h"

namespace {

// What the callback was told, in order.
struct Calls {
  std::vector<std::string> log;
  std::vector<std::string> filters;
  int32_t presetCount = -99;  // what the host had stored before asking
  bool answerCount = true;
  QZXObjectRecord picked = {};
};
Calls g_calls;

int32_t QZXAPI Callback(int32_t type, uint32_t msg, intptr_t p3, intptr_t p4) {
  char line[64];
  snprintf(line, sizeof line, "%d:0x%X", type, msg);
  g_calls.log.push_back(line);
  switch (msg) {
    case QZX_BROWSE_FILTER_COUNT:
      g_calls.presetCount = *reinterpret_cast<int32_t*>(p3);
      if (g_calls.answerCount) *reinterpret_cast<int32_t*>(p3) = static_cast<int32_t>(g_calls.filters.size());
      break;
    case QZX_BROWSE_FILTER:
      // Stored at the start of the record, as the snap-ins store it.
      strcpy(reinterpret_cast<char*>(p4), g_calls.filters[p3].c_str());
      break;
    case QZX_BROWSE_PICKED:
      memcpy(&g_calls.picked, reinterpret_cast<const void*>(p4), sizeof g_calls.picked);
      break;
  }
  return 0;
}

std::string PickedName() { return reinterpret_cast<const char*>(&g_calls.picked) + 132; }

class HostBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls = Calls();
    owner_ = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  }
  void TearDown() override { DestroyWindow(owner_); }

  int32_t Directory(const char* start, int32_t type, ModalDriver::Action act, const char* title = "Pick") {
    ModalDriver driver;
    driver.Then(std::move(act));
    int32_t r = QZXLaunchDSFlatBrowser(owner_, type, start, 0, 0, title, 4, Callback);
    EXPECT_EQ(driver.Pending(), 0u);
    EXPECT_TRUE(driver.Unexpected().empty());
    return r;
  }
  int32_t Files(const char* container, const char* startPath, ModalDriver::Action act) {
    ModalDriver driver;
    driver.Then(std::move(act));
    int32_t r = QZXLaunchFSFlatBrowser(owner_, 3, container, startPath, 0, 0, "Select Path", 36, Callback);
    EXPECT_EQ(driver.Pending(), 0u);
    EXPECT_TRUE(driver.Unexpected().empty());
    return r;
  }
  static std::vector<std::string> Rows(HWND browser) { return ListViewLabels(GetDlgItem(browser, IDC_BR_LIST)); }
  static std::string Place(HWND browser) { return ItemText(browser, IDC_BR_PLACE); }
  // A double-click on a row, as the list view reports it.
  static void Activate(HWND browser, const char* label) {
    ASSERT_TRUE(PickRow(browser, IDC_BR_LIST, label));
    NMITEMACTIVATE n = {};
    n.hdr.hwndFrom = GetDlgItem(browser, IDC_BR_LIST);
    n.hdr.idFrom = IDC_BR_LIST;
    n.hdr.code = NM_DBLCLK;
    SendMessageA(browser, WM_NOTIFY, IDC_BR_LIST, reinterpret_cast<LPARAM>(&n));
  }
  static void Backspace(HWND browser) {
    NMLVKEYDOWN k = {};
    k.hdr.hwndFrom = GetDlgItem(browser, IDC_BR_LIST);
    k.hdr.idFrom = IDC_BR_LIST;
    k.hdr.code = LVN_KEYDOWN;
    k.wVKey = VK_BACK;
    SendMessageA(browser, WM_NOTIFY, IDC_BR_LIST, reinterpret_cast<LPARAM>(&k));
  }

  hosttest::HostDirectory directory_;
  HWND owner_ = nullptr;
};

TEST_F(HostBrowser, AsksForFiltersThenDeliversThePickAtOffset132) {
  g_calls.filters = {"User"};
  std::vector<std::string> rows;
  std::string caption;
  int32_t r = Directory("Sales.Acme", 2, [&](HWND b) {
    caption = WindowText(b);
    rows = Rows(b);
    ASSERT_TRUE(PickRow(b, IDC_BR_LIST, "Joe"));
    EXPECT_EQ(ItemText(b, IDC_BR_PICKED), "Joe.Sales.Acme");
    ClickItem(b, IDOK);
  }, "Select Postmaster");
  EXPECT_EQ(r, 0);
  EXPECT_EQ(caption, "Select Postmaster");
  EXPECT_EQ(g_calls.presetCount, 0);
  EXPECT_EQ(g_calls.log, (std::vector<std::string>{"2:0x202", "2:0x203", "2:0x201"}));
  // Containers first (to walk into), then the users; nothing of other classes.
  EXPECT_EQ(rows, (std::vector<std::string>{"East", "Ann", "Joe", "Keep", "Manager"}));
  EXPECT_EQ(PickedName(), "Joe.Sales.Acme");
  EXPECT_STREQ(g_calls.picked.className, "User");
  EXPECT_EQ(g_calls.picked.flags & QZX_OBJECT_CONTAINER, 0u);
}

TEST_F(HostBrowser, CancelDeliversNothing) {
  g_calls.filters = {"User"};
  int32_t r = Directory("Sales.Acme", 2, [](HWND b) {
    PickRow(b, IDC_BR_LIST, "Joe");
    ClickItem(b, IDCANCEL);
  });
  EXPECT_EQ(r, -1);
  EXPECT_EQ(g_calls.log, (std::vector<std::string>{"2:0x202", "2:0x203"}));
  EXPECT_EQ(PickedName(), "");
}

TEST_F(HostBrowser, OkOnAContainerThatCannotBePickedOpensIt) {
  g_calls.filters = {"User"};
  std::vector<std::string> places;
  int32_t r = Directory(nullptr, 2, [&](HWND b) {
    places.push_back(Place(b));
    PickRow(b, IDC_BR_LIST, "Acme");
    ClickItem(b, IDOK);
    places.push_back(Place(b));
    EXPECT_EQ(Rows(b), (std::vector<std::string>{"Sales", "Support", "Admin"}));
    Activate(b, "Sales");
    places.push_back(Place(b));
    Backspace(b);
    places.push_back(Place(b));
    ClickItem(b, IDC_BR_UP);
    places.push_back(Place(b));
    EXPECT_FALSE(IsItemEnabled(b, IDC_BR_UP));
    Activate(b, "Acme");
    Activate(b, "Admin");  // a double-click on what can be picked picks it
  });
  EXPECT_EQ(r, 0);
  EXPECT_EQ(places, (std::vector<std::string>{"[Root]", "Acme", "Sales.Acme", "Acme", "[Root]"}));
  EXPECT_EQ(PickedName(), "Admin.Acme");
}

TEST_F(HostBrowser, ContainersOfTheFilterArePickedAndOkInsideOnePicksIt) {
  g_calls.filters = {"Organization", "Organizational Unit"};
  int32_t r = Directory(".", 5, [](HWND b) {
    Activate(b, "Acme");
    PickRow(b, IDC_BR_LIST, "Sales");
    ClickItem(b, IDOK);
  });
  EXPECT_EQ(r, 0);
  EXPECT_EQ(PickedName(), "Sales.Acme");
  EXPECT_EQ(g_calls.picked.flags & QZX_OBJECT_CONTAINER, QZX_OBJECT_CONTAINER);
  EXPECT_EQ(g_calls.log[1], "5:0x203");
  EXPECT_EQ(g_calls.log[2], "5:0x203");

  g_calls = Calls();
  g_calls.filters = {"Organization", "Organizational Unit"};
  r = Directory("East.Sales.Acme", 5, [](HWND b) {
    EXPECT_EQ(Rows(b), std::vector<std::string>{});
    ClickItem(b, IDOK);  // nothing selected: the container shown
  });
  EXPECT_EQ(r, 0);
  EXPECT_EQ(PickedName(), "East.Sales.Acme");
}

TEST_F(HostBrowser, StartsAtTheNearestContainerThatExists) {
  g_calls.filters = {"User"};
  struct Row {
    const char* start;
    const char* place;
  } rows[] = {{"Nowhere.Sales.Acme", "Sales.Acme"}, {".Sales.Acme.", "Sales.Acme"},
              {"Joe.Sales.Acme", "Sales.Acme"},     {"[Root]", "[Root]"},
              {"Bad..Name", "[Root]"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.start);
    std::string place;
    Directory(row.start, 2, [&](HWND b) {
      place = Place(b);
      ClickItem(b, IDCANCEL);
    });
    EXPECT_EQ(place, row.place);
  }
}

TEST_F(HostBrowser, WithoutFiltersEveryClassIsOffered) {
  // Browse type 7 has no filters: the callback leaves the count alone.
  g_calls.answerCount = false;
  std::vector<std::string> rows;
  Directory("Acme", 7, [&](HWND b) {
    rows = Rows(b);
    ClickItem(b, IDCANCEL);
  });
  EXPECT_EQ(rows, (std::vector<std::string>{"Sales", "Support", "Admin", "FS1"}));
  EXPECT_EQ(g_calls.log, (std::vector<std::string>{"7:0x202"}));
}

class HostFileBrowser : public HostBrowser {
 protected:
  void SetUp() override {
    HostBrowser::SetUp();
    directory_.MakeFolder("vol\\SYS\\mail\\queue");
    directory_.MakeFolder("vol\\SYS\\logs");
    g_calls.filters = {"Directory"};
  }
};

TEST_F(HostFileBrowser, WalksServersVolumesAndFolders) {
  ZELM_FILE_ONLY("relative volume folders lie beside a database file; a server has none");
  std::vector<std::vector<std::string>> seen;
  int32_t r = Files("Acme", "", [&](HWND b) {
    seen.push_back(Rows(b));  // the container: file servers and containers
    Activate(b, "FS1");
    seen.push_back(Rows(b));  // the server: its volumes
    EXPECT_EQ(Place(b), "FS1");
    Activate(b, "SYS");
    seen.push_back(Rows(b));
    EXPECT_EQ(Place(b), "FS1/SYS:");
    PickRow(b, IDC_BR_LIST, "mail");
    EXPECT_EQ(ItemText(b, IDC_BR_PICKED), "FS1/SYS:mail");
    ClickItem(b, IDOK);
  });
  EXPECT_EQ(r, 0);
  EXPECT_EQ(seen[0], (std::vector<std::string>{"Sales", "Support", "FS1"}));
  EXPECT_EQ(seen[1], (std::vector<std::string>{"SYS", "MAIL"}));
  EXPECT_EQ(seen[2], (std::vector<std::string>{"logs", "mail"}));
  EXPECT_EQ(PickedName(), "FS1/SYS:mail");
  EXPECT_STREQ(g_calls.picked.className, "Directory");
  EXPECT_EQ(g_calls.log, (std::vector<std::string>{"3:0x202", "3:0x203", "3:0x201"}));
}

TEST_F(HostFileBrowser, OkInsideAFolderPicksItAndTheStartPathOpensThere) {
  ZELM_FILE_ONLY("relative volume folders lie beside a database file; a server has none");
  std::string place;
  int32_t r = Files("Acme", "FS1/SYS:mail/queue", [&](HWND b) {
    place = Place(b);
    EXPECT_TRUE(Rows(b).empty());
    ClickItem(b, IDOK);
  });
  EXPECT_EQ(r, 0);
  EXPECT_EQ(place, "FS1/SYS:mail/queue");
  EXPECT_EQ(PickedName(), "FS1/SYS:mail/queue");
}

TEST_F(HostFileBrowser, AStartPathOutsideItsVolumeIsNotFollowed) {
  ZELM_FILE_ONLY("relative volume folders lie beside a database file; a server has none");
  struct Row {
    const char* start;
    const char* place;
  } rows[] = {{"FS1/SYS:../../..", "Acme"},       {"FS1/SYS:mail/../..", "Acme"},
              {"FS1/SYS:mail/nothere", "FS1/SYS:mail"}, {"FS9/SYS:mail", "Acme"},
              {"FS1/NOVOL:mail", "FS1"},          {"garbage", "Acme"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.start);
    std::string place;
    Files("Acme", row.start, [&](HWND b) {
      place = Place(b);
      ClickItem(b, IDCANCEL);
    });
    EXPECT_EQ(place, row.place);
  }
}

TEST_F(HostFileBrowser, AMissingVolumeFolderIsReportedNotListed) {
  std::string note;
  bool okEnabled = true;
  Files("Acme", "FS1/MAIL:", [&](HWND b) {
    note = ItemText(b, IDC_BR_FILTER);
    okEnabled = IsItemEnabled(b, IDOK);
    EXPECT_TRUE(Rows(b).empty());
    ClickItem(b, IDCANCEL);
  });
  EXPECT_EQ(note, "This folder cannot be read.");
  EXPECT_TRUE(okEnabled);  // the volume itself may still be picked
}

}  // namespace
