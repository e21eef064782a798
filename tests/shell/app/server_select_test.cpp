// Server selection against the real registry of the prefix and a real TCP
// peer: the dialog driven while it runs modally, the recent-server list and
// slots, the File menu entry, and the connect paths that add servers and users.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "registry_sandbox.h"
#include "scripted_peer.h"
#include "server_select.h"
#include "ui_driver.h"
#include "zelmsh_ids.h"

namespace {

// Runs `action` on the server dialog once its modal loop is running. A
// thread timer fires inside that loop; whatever the action leaves open is
// cancelled, so a test can never hang on the dialog.
class DialogAction {
 public:
  explicit DialogAction(std::function<void(HWND)> action) {
    pending_ = std::move(action);
    ran_ = false;
    timer_ = SetTimer(nullptr, 0, 20, Tick);
  }
  ~DialogAction() {
    if (timer_) KillTimer(nullptr, timer_);
  }
  static bool Ran() { return ran_; }

 private:
  static BOOL CALLBACK FindDialog(HWND w, LPARAM lp) {
    char cls[16] = {}, title[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, title, sizeof title);
    if (lstrcmpA(cls, "#32770") == 0 && lstrcmpA(title, "Enter Address") == 0 &&
        IsWindowVisible(w)) {
      *reinterpret_cast<HWND*>(lp) = w;
      return FALSE;
    }
    return TRUE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog || ran_) return;
    KillTimer(nullptr, id);
    ran_ = true;
    std::function<void(HWND)> action = std::move(pending_);
    action(dialog);
    if (IsWindowVisible(dialog)) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  }
  static std::function<void(HWND)> pending_;
  static bool ran_;
  UINT_PTR timer_ = 0;
};
std::function<void(HWND)> DialogAction::pending_;
bool DialogAction::ran_ = false;

// What the main window would have been asked to do.
struct FrameLog {
  std::vector<std::string> status;  // "status: ..." and "error: ..." in order
  std::vector<StoreConnection*> servers;
  std::vector<UserNode*> users;
  bool refuseServer = false;
};

void LogStatus(void* ctx, const char* text) {
  static_cast<FrameLog*>(ctx)->status.push_back(std::string("status: ") + text);
}
void LogError(void* ctx, const char* text) {
  static_cast<FrameLog*>(ctx)->status.push_back(std::string("error: ") + text);
}
TreeItem* AddServerItem(void* ctx, StoreConnection* server) {
  auto* log = static_cast<FrameLog*>(ctx);
  if (log->refuseServer) return nullptr;
  log->servers.push_back(server);
  return reinterpret_cast<TreeItem*>(static_cast<uintptr_t>(0x1000 + log->servers.size()));
}
int AddUserItem(void* ctx, StoreConnection* server, UserNode* user) {
  static_cast<FrameLog*>(ctx)->users.push_back(user);
  return 1;
}

// A loopback address with nothing listening on port 999: connecting fails at once.
std::string UnusedAddress() {
  static unsigned counter = 0;
  unsigned seed = GetCurrentProcessId() * 2654435761u + GetTickCount() + ++counter * 40503u;
  return "127.253." + std::to_string(1 + seed % 250) + "." + std::to_string(2 + (seed >> 8) % 250);
}

// The same address written with zero-padded octal parts: any length, still no
// name lookup.
std::string PaddedAddress(const char* dotted, size_t length) {
  unsigned parts[4] = {};
  sscanf(dotted, "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]);
  std::string tail;
  for (int i = 1; i < 4; ++i) {
    char octal[16];
    snprintf(octal, sizeof octal, ".0%o", parts[i]);
    tail += octal;
  }
  char first[16];
  snprintf(first, sizeof first, "0%o", parts[0]);
  std::string head = first;
  return std::string(length - head.size() - tail.size(), '0') + head + tail;
}

class ServerSelectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox.Ok());
    ASSERT_TRUE(StoreSocketsStartup());
    memset(&g_shellPrefs, 0, sizeof g_shellPrefs);
    menu = LoadMenuA(GetModuleHandleA(nullptr), "MainMenu");
    ASSERT_NE(nullptr, menu);
    window = CreateWindowExA(0, "STATIC", "ZELM Management", WS_OVERLAPPEDWINDOW, 0, 0, 500, 300,
                             nullptr, menu, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    frame.window = window;
    frame.fileMenu = GetSubMenu(menu, 0);
    frame.context = &log;
    frame.showStatus = LogStatus;
    frame.showError = LogError;
    frame.addServerItem = AddServerItem;
    frame.addUserItem = AddUserItem;
  }
  void TearDown() override {
    for (UserNode* u : log.users) FreeStoreRecord(u);
    for (StoreConnection* s : log.servers) FreeStoreRecord(s);
    if (window) DestroyWindow(window);  // takes the menu with it
    peer.Stop();
    StoreSocketsCleanup();
    EXPECT_TRUE(boxes.Boxes().empty()) << "unexpected message box";
  }

  void PutSlots(const std::vector<std::string>& entries) {
    for (size_t i = 0; i < entries.size(); ++i)
      PutText(HKEY_CURRENT_USER, "1.0\\ZELM MRU", ("ZELM Select MRU " + std::to_string(i)).c_str(),
              entries[i]);
  }
  std::vector<std::string> Slots() {
    std::vector<std::string> out;
    for (int i = 0; i < 20; ++i) {
      std::string name = "ZELM Select MRU " + std::to_string(i);
      out.push_back(GetText(HKEY_CURRENT_USER, "1.0\\ZELM MRU", name.c_str()));
    }
    while (!out.empty() && out.back().empty()) out.pop_back();
    return out;
  }
  std::vector<std::string> MenuTexts() {
    std::vector<std::string> out;
    HMENU file = frame.fileMenu;
    for (int i = 0; i < GetMenuItemCount(file); ++i) {
      char text[600] = {};
      GetMenuStringA(file, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
      UINT id = GetMenuItemID(file, i);
      out.push_back(std::to_string(id) + ":" + text);
    }
    return out;
  }
  // Opens the dialog, types `text` and presses OK.
  INT_PTR ChooseServer(StoreConnection* server, const std::string& text) {
    DialogAction act([&](HWND d) {
      SetItemText(d, IDC_SERVER_COMBO, text.c_str());
      ClickItem(d, IDOK);
    });
    INT_PTR r = RunSelectServerDialog(&frame, server);
    EXPECT_TRUE(DialogAction::Ran());
    return r;
  }

  RegistrySandbox sandbox;
  MessageBoxInterceptor boxes;
  ScriptedPeer peer;
  FrameLog log;
  ShellFrame frame = {};
  HMENU menu = nullptr;
  HWND window = nullptr;
  StoreConnection record = {};
};

TEST_F(ServerSelectTest, OpeningListsTheStoredSlotsAndSlotZeroBecomesTheEditText) {
  PutSlots({"alpha.example", "beta.example", "", "gamma.example"});
  PutText(HKEY_LOCAL_MACHINE, "1.0\\ZELM MRU", "ZELM Select MRU 2", "preset.example");
  std::vector<std::string> listed;
  std::string edit;
  DialogAction act([&](HWND d) {
    HWND combo = GetDlgItem(d, IDC_SERVER_COMBO);
    for (int i = 0; i < SendMessageA(combo, CB_GETCOUNT, 0, 0); ++i) {
      char text[300] = {};
      SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      listed.push_back(text);
    }
    edit = ItemText(d, IDC_SERVER_COMBO);
    ClickItem(d, IDCANCEL);
  });
  EXPECT_EQ(0, RunSelectServerDialog(&frame, &record));
  // The per-user slot 2 is empty, not missing: the preset does not show.
  EXPECT_EQ((std::vector<std::string>{"alpha.example", "beta.example", "gamma.example"}), listed);
  EXPECT_EQ("alpha.example", edit);

  // With slot 0 empty the edit starts empty although the list has entries.
  PutSlots({"", "beta.example"});
  DialogAction again([&](HWND d) {
    edit = ItemText(d, IDC_SERVER_COMBO);
    listed.assign(1, std::to_string(SendDlgItemMessageA(d, IDC_SERVER_COMBO, CB_GETCOUNT, 0, 0)));
    ClickItem(d, IDCANCEL);
  });
  EXPECT_EQ(0, RunSelectServerDialog(&frame, &record));
  EXPECT_EQ("", edit);
  EXPECT_EQ((std::vector<std::string>{"2"}), listed);
}

TEST_F(ServerSelectTest, CancelLeavesListLastServerMenuAndPositionAlone) {
  PutSlots({"alpha.example", "beta.example"});
  PutText(HKEY_CURRENT_USER, "1.0", "Last Connected", "alpha.example");
  PutText(HKEY_CURRENT_USER, "1.0\\WindowPositions", "ZELM Select Dialog", "33,44,200,100,0");
  snprintf(g_shellPrefs.lastConnected, sizeof g_shellPrefs.lastConnected, "alpha.example");
  BuildRecentServerEntry(frame.fileMenu, window, "alpha.example");
  std::string before = DumpKey(HKEY_CURRENT_USER, "1.0") +
                       DumpKey(HKEY_CURRENT_USER, "1.0\\ZELM MRU") +
                       DumpKey(HKEY_CURRENT_USER, "1.0\\WindowPositions");
  std::vector<std::string> menuBefore = MenuTexts();
  RECT placed = {};
  DialogAction act([&](HWND d) {
    GetWindowRect(d, &placed);
    SetItemText(d, IDC_SERVER_COMBO, "new.example");
    SetWindowPos(d, nullptr, 300, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ClickItem(d, IDCANCEL);
  });
  EXPECT_EQ(0, RunSelectServerDialog(&frame, &record));
  EXPECT_EQ(33, placed.left);  // opened at the stored position
  EXPECT_EQ(44, placed.top);
  EXPECT_EQ(before, DumpKey(HKEY_CURRENT_USER, "1.0") +
                        DumpKey(HKEY_CURRENT_USER, "1.0\\ZELM MRU") +
                        DumpKey(HKEY_CURRENT_USER, "1.0\\WindowPositions"));
  EXPECT_EQ(menuBefore, MenuTexts());
  EXPECT_STREQ("alpha.example", g_shellPrefs.lastConnected);
  EXPECT_TRUE(log.status.empty());
}

TEST_F(ServerSelectTest, AFailedConnectionStillUpdatesListLastServerMenuAndPosition) {
  std::string address = UnusedAddress();
  EXPECT_EQ(0, ChooseServer(&record, address));
  EXPECT_EQ((std::vector<std::string>{"status: Connecting to server...",
                                      "error: Could not connect to server."}),
            log.status);
  EXPECT_EQ((std::vector<std::string>{address}), Slots());
  EXPECT_EQ(address, GetText(HKEY_CURRENT_USER, "1.0", "Last Connected"));
  EXPECT_EQ(address, g_shellPrefs.lastConnected);
  EXPECT_NE("", GetText(HKEY_CURRENT_USER, "1.0\\WindowPositions", "ZELM Select Dialog"));
  EXPECT_EQ((std::vector<std::string>{"24331:&Connect...\tAlt+C", "0:", "24334:Save &log...\tCtrl+L",
                                      "0:", "4323:&1 " + address, "4324:",
                                      "24338:E&xit\tAlt+X"}),
            MenuTexts());
  EXPECT_EQ(0, record.nodeKind);
  EXPECT_TRUE(log.servers.empty());
}

TEST_F(ServerSelectTest, AnAddressAlreadyListedMovesToTheTopAsTypedAlsoWhenItsCaseDiffers) {
  // Written in hex so that the two texts differ in case; nothing listens there.
  std::string lower = "0x7f.0x0.0x0.0xab", upper = "0X7F.0X0.0X0.0XAB";
  PutSlots({"one.example", lower, "three.example"});
  EXPECT_EQ(0, ChooseServer(&record, upper));
  EXPECT_EQ((std::vector<std::string>{upper, "one.example", "three.example"}), Slots());
  // The same text again: nothing moves, nothing doubles.
  EXPECT_EQ(0, ChooseServer(&record, upper));
  EXPECT_EQ((std::vector<std::string>{upper, "one.example", "three.example"}), Slots());
}

TEST_F(ServerSelectTest, TwentyEntriesAndANewAddressDropTheTwentieth) {
  std::vector<std::string> twenty;
  for (int i = 0; i < 20; ++i) twenty.push_back("host" + std::to_string(i) + ".example");
  PutSlots(twenty);
  std::string address = UnusedAddress();
  EXPECT_EQ(0, ChooseServer(&record, address));
  std::vector<std::string> expected = {address};
  expected.insert(expected.end(), twenty.begin(), twenty.begin() + 19);
  EXPECT_EQ(expected, Slots());

  // The twentieth entry chosen again moves up; nothing else goes.
  EXPECT_EQ(0, ChooseServer(&record, expected[19]));
  std::vector<std::string> moved = {expected[19]};
  moved.insert(moved.end(), expected.begin(), expected.begin() + 19);
  EXPECT_EQ(moved, Slots());
}

TEST(RecentServerRules, PromoteKeepsTwentyEntriesMostRecentFirst) {
  RecentServers list = {};
  PromoteRecentServer(&list, "a");
  ASSERT_EQ(1, list.count);
  for (int i = 1; i < 20; ++i) PromoteRecentServer(&list, ("h" + std::to_string(i)).c_str());
  ASSERT_EQ(20, list.count);
  EXPECT_STREQ("a", list.entries[19]);
  PromoteRecentServer(&list, "A");  // the 20th again, in another case
  EXPECT_EQ(20, list.count);
  EXPECT_STREQ("A", list.entries[0]);
  EXPECT_STREQ("h19", list.entries[1]);
  EXPECT_STREQ("h1", list.entries[19]);
  PromoteRecentServer(&list, "new");
  EXPECT_EQ(20, list.count);
  EXPECT_STREQ("new", list.entries[0]);
  EXPECT_STREQ("h2", list.entries[19]);
  PromoteRecentServer(&list, "H10");  // from the middle
  EXPECT_EQ(20, list.count);
  EXPECT_STREQ("H10", list.entries[0]);
  EXPECT_STREQ("new", list.entries[1]);
  EXPECT_STREQ("h2", list.entries[19]);
  for (int i = 0; i < 20; ++i)
    for (int j = i + 1; j < 20; ++j) EXPECT_NE(0, lstrcmpiA(list.entries[i], list.entries[j]));
}

TEST_F(ServerSelectTest, TypedTextIsCutAt255AndTheHostNameAt63) {
  ASSERT_TRUE(peer.Start({}));
  // 255 characters reach the registry and the connection whole.
  std::string exact = PaddedAddress(peer.Address(), 255);
  EXPECT_EQ(1, ChooseServer(&record, exact));
  EXPECT_EQ(exact, GetText(HKEY_CURRENT_USER, "1.0", "Last Connected"));
  EXPECT_EQ(exact, Slots()[0]);
  EXPECT_EQ(exact.substr(0, 63), record.hostName);
  EXPECT_EQ(63u, strlen(record.hostName));
  // Success also empties the error part: an earlier failure no longer stands.
  EXPECT_EQ((std::vector<std::string>{"status: Connecting to server...", "error: ",
                                      "status: Connected to server."}),
            log.status);
  CloseConnection(&record);
  peer.Stop();

  // One more character is cut off.
  record = StoreConnection();
  std::string cut = PaddedAddress(UnusedAddress().c_str(), 255);
  EXPECT_EQ(0, ChooseServer(&record, cut + "9"));
  EXPECT_EQ(cut, GetText(HKEY_CURRENT_USER, "1.0", "Last Connected"));
  EXPECT_EQ(cut, Slots()[0]);

  // 63 characters fit the host name exactly.
  ScriptedPeer second;
  ASSERT_TRUE(second.Start({}));
  record = StoreConnection();
  std::string fits = PaddedAddress(second.Address(), 63);
  EXPECT_EQ(1, ChooseServer(&record, fits));
  EXPECT_EQ(fits, record.hostName);
  CloseConnection(&record);
  second.Stop();
}

TEST_F(ServerSelectTest, AnEmptyAddressKeepsTheDialogOpenAndStoresNothing) {
  bool stillOpen = false;
  DialogAction act([&](HWND d) {
    SetItemText(d, IDC_SERVER_COMBO, "   ");
    ClickItem(d, IDOK);
    stillOpen = IsWindowVisible(d) != 0;
    ClickItem(d, IDCANCEL);
  });
  EXPECT_EQ(0, RunSelectServerDialog(&frame, &record));
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ("<no key>", DumpKey(HKEY_CURRENT_USER, "1.0"));
  EXPECT_TRUE(log.status.empty());
  EXPECT_EQ(5, GetMenuItemCount(frame.fileMenu));
}

TEST_F(ServerSelectTest, ConnectingThroughTheDialogAddsTheServerAndItsUsers) {
  ASSERT_TRUE(peer.Start({Send("1000 ZELM ready\r\n"), Expect("ULIST\r\n"),
                          Send("2001 alice\r\n2002 not a user\r\n2001 bob\r\n1000 end\r\n")}));
  std::string address = peer.Address();
  DialogAction act([&](HWND d) {
    SetItemText(d, IDC_SERVER_COMBO, address.c_str());
    ClickItem(d, IDOK);
  });
  EXPECT_EQ(1, ConnectFromDialog(&frame));
  ASSERT_EQ(1u, log.servers.size());
  StoreConnection* server = log.servers[0];
  EXPECT_EQ(kNodeServer, server->nodeKind);
  EXPECT_EQ(address, server->hostName);
  EXPECT_EQ(reinterpret_cast<TreeItem*>(0x1001), server->treeItem);
  ASSERT_EQ(2u, log.users.size());
  EXPECT_STREQ("alice", log.users[0]->name);
  EXPECT_STREQ("bob", log.users[1]->name);
  for (UserNode* u : log.users) {
    EXPECT_EQ(kNodeUser, u->nodeKind);
    EXPECT_EQ(server, u->connection);
  }
  EXPECT_TRUE(peer.ScriptOk());
  EXPECT_EQ("ULIST\r\n", peer.Received());
  // Success also empties the error part: an earlier failure no longer stands.
  EXPECT_EQ((std::vector<std::string>{"status: Connecting to server...", "error: ",
                                      "status: Connected to server."}),
            log.status);
}

TEST_F(ServerSelectTest, AGreetingOtherThan1000LeavesTheServerWithoutUsers) {
  ASSERT_TRUE(peer.Start({Send("4000 busy\r\n")}));
  std::string address = peer.Address();
  DialogAction act([&](HWND d) {
    SetItemText(d, IDC_SERVER_COMBO, address.c_str());
    ClickItem(d, IDOK);
  });
  EXPECT_EQ(1, ConnectFromDialog(&frame));
  EXPECT_EQ(1u, log.servers.size());
  EXPECT_TRUE(log.users.empty());
  EXPECT_EQ("", peer.Received());
}

TEST_F(ServerSelectTest, TheRecentEntryConnectsWithoutTouchingTheList) {
  ASSERT_TRUE(peer.Start({Send("1000 hi\r\n"), Expect("ULIST\r\n"), Send("2001 carol\r\n1000 .\r\n")}));
  PutSlots({"other.example"});
  snprintf(g_shellPrefs.lastConnected, sizeof g_shellPrefs.lastConnected, "%s", peer.Address());
  std::string before = DumpKey(HKEY_CURRENT_USER, "1.0") + DumpKey(HKEY_CURRENT_USER, "1.0\\ZELM MRU");
  EXPECT_EQ(1, ConnectToLastServer(&frame));
  ASSERT_EQ(1u, log.servers.size());
  EXPECT_STREQ(peer.Address(), log.servers[0]->hostName);
  ASSERT_EQ(1u, log.users.size());
  EXPECT_STREQ("carol", log.users[0]->name);
  EXPECT_EQ(before, DumpKey(HKEY_CURRENT_USER, "1.0") + DumpKey(HKEY_CURRENT_USER, "1.0\\ZELM MRU"));
  EXPECT_TRUE(peer.ScriptOk());

  // A last server that does not answer: the error, and no item.
  std::string unused = UnusedAddress();
  snprintf(g_shellPrefs.lastConnected, sizeof g_shellPrefs.lastConnected, "%s", unused.c_str());
  log.status.clear();
  EXPECT_EQ(0, ConnectToLastServer(&frame));
  EXPECT_EQ((std::vector<std::string>{"status: Connecting to server...",
                                      "error: Could not connect to server."}),
            log.status);
  EXPECT_EQ(1u, log.servers.size());
}

TEST_F(ServerSelectTest, AServerItemThatCannotBeMadeFreesTheConnection) {
  ASSERT_TRUE(peer.Start({Hold(2000)}));
  snprintf(g_shellPrefs.lastConnected, sizeof g_shellPrefs.lastConnected, "%s", peer.Address());
  log.refuseServer = true;
  EXPECT_EQ(0, ConnectToLastServer(&frame));
  EXPECT_TRUE(log.servers.empty());
  EXPECT_EQ("", peer.Received());  // no user list asked for
}

TEST_F(ServerSelectTest, StartUpBuildsTheEntryAndPostsTheConnectWhenAutoconnectIsOn) {
  struct Row {
    const char* name;
    bool autoconnect;
    const char* last;
    bool entry, posted;
  };
  const Row rows[] = {
      {"on with a server", true, "mail.example", true, true},
      {"on without a server", true, "", false, false},
      {"off with a server", false, "mail.example", true, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    g_shellPrefs.autoconnect = r.autoconnect;
    snprintf(g_shellPrefs.lastConnected, sizeof g_shellPrefs.lastConnected, "%s", r.last);
    StartRecentServer(&frame);
    EXPECT_EQ(r.entry, GetMenuState(frame.fileMenu, IDM_RECENT_SERVER, MF_BYCOMMAND) != 0xFFFFFFFFu);
    MSG msg;
    bool posted = false;
    while (PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE))
      posted = posted || (LOWORD(msg.wParam) == IDM_RECENT_SERVER && msg.lParam == 0);
    EXPECT_EQ(r.posted, posted);
  }
}

TEST_F(ServerSelectTest, TheMenuEntryIsRebuiltInPlaceWithAmpersandsShownAsTyped) {
  BuildRecentServerEntry(frame.fileMenu, window, "first.example");
  BuildRecentServerEntry(frame.fileMenu, window, "R&D.example");
  EXPECT_EQ((std::vector<std::string>{"24331:&Connect...\tAlt+C", "0:", "24334:Save &log...\tCtrl+L",
                                      "0:", "4323:&1 R&&D.example", "4324:",
                                      "24338:E&xit\tAlt+X"}),
            MenuTexts());
  BuildRecentServerEntry(frame.fileMenu, window, "");
  EXPECT_EQ(5, GetMenuItemCount(frame.fileMenu));
  // 255 characters, all ampersands: the text is built without overrun.
  std::string amps(255, '&');
  BuildRecentServerEntry(frame.fileMenu, window, amps.c_str());
  EXPECT_EQ("4323:&1 " + std::string(510, '&'), MenuTexts()[4]);
}

TEST(HostName, CutAtSixtyThreeCharacters) {
  StoreConnection c = {};
  for (size_t n : {0u, 62u, 63u, 64u, 255u}) {
    SCOPED_TRACE(n);
    memset(c.hostName, '#', sizeof c.hostName);
    std::string host(n, 'h');
    CopyHostName(&c, host.c_str());
    EXPECT_EQ(host.substr(0, 63), c.hostName);
  }
}

}  // namespace
