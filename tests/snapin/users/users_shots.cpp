// Puts the user and syslog pages on screen in the host program's own
// property sheet, with tarq.dll and logpage.dll loaded, for a look and for
// pictures (shots.sh):
//   users_shots make FILE               writes the directory the pictures use
//   users_shots FILE user TAB           Joe's sheet on page TAB (0 to 2)
//   users_shots FILE multi              three users selected together
//   users_shots FILE server | services  the syslog page of a file server or
//                                       of the services container
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "directory.h"
#include "main_window.h"
#include "object_actions.h"
#include "snapins.h"
#include "textfile.h"

using namespace zelm::host;

namespace {

const char kTree[] = R"(
supervisor Admin.Acme
identity Admin.Acme
object [Root]
    grant [Public] : [Entry Rights] = browse
    grant [Public] : [All Attributes Rights] = compare read
object Acme : Organization
object Admin.Acme : User
object Sales.Acme : Organizational Unit
object Joe.Sales.Acme : User
    Quorvel:Privacy = 1
    Quorvel:Timeout = 15
    Quorvel:EMail Address = joe@sales.example
    Quorvel:Forwarding Enabled = 2
    Quorvel:Forwarding Address = joe@home.example
    Quorvel:Vacation Message Enabled = 1
    Quorvel:Reply Message = Away until Monday.\r\nJoe
    Quorvel:Use Quota = 1
    Quorvel:Quota Value = 5000
    Quorvel:Proxy List = Entry 1\rpop.example.net\rjmiller\rsecret\r\r0\r1
    Quorvel:Finger Message = Joe Miller\r\nSales, room 12\r\nPhone 555-0142
object Ann.Sales.Acme : User
    Quorvel:Messaging Disabled = 1
    Quorvel:Use Quota = 1
    Quorvel:Quota Value = 5000
object Bob.Sales.Acme : User
    Quorvel:Use Quota = 1
    Quorvel:Quota Value = 5000
object FS1.Acme : HVX Server
    Network Address = 127.0.0.1
    Quorvel:Syslog Config = 1 6 3 - DATA:/LOG/MAIL.LOG
    Quorvel:Syslog Config = Override=On
object Internet Services : Quorvel:Services
    Quorvel:Syslog Config = 1 4 2 - 
object MS1.Internet Services : Quorvel:Messaging Server
    Quorvel:Context = Sales.Acme
object Proxy Agent.MS1.Internet Services : Quorvel:Proxy Agent
    Quorvel:Module Name = PROXYAGT.QMD
)";

int Make(const char* path) {
  zelm::dir::TextDirectory text;
  zelm::dir::Tree tree;
  std::string error;
  if (zelm::dir::ParseText(kTree, &text, &error) != 0 ||
      zelm::dir::BuildTree(text, &tree, &error) != 0) {
    std::fprintf(stderr, "users_shots: %s\n", error.c_str());
    return 1;
  }
  std::remove(path);
  return zelm::dir::Directory::Create(path, tree) == 0 ? 0 : 1;
}

// The tab titled `title`, or -1.
int TabTitled(HWND sheet, const char* title) {
  HWND tabs = PropSheet_GetTabControl(sheet);
  for (int i = 0, n = TabCtrl_GetItemCount(tabs); i < n; ++i) {
    char text[128] = {};
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(tabs, TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    if (lstrcmpA(text, title) == 0) return i;
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "make") return Make(argv[2]);
  if (argc < 3) {
    std::fprintf(stderr, "usage: users_shots make FILE | FILE user TAB | FILE multi | FILE server"
                         " | FILE services\n");
    return 2;
  }
  SetEnvironmentVariableA("ZELM_DIRECTORY", argv[1]);
  SetEnvironmentVariableA("ZELM_IDENTITY", "Admin.Acme");
  std::string mode = argv[2];
  HWND main = CreateMainWindow(GetModuleHandleA(nullptr));
  std::vector<std::string> problems;
  LoadSnapins({"tarq.dll", "logpage.dll"}, main, &problems);
  MainWindowReady(main, "Joe.Sales.Acme");

  SheetTarget t;
  int tab = 0;
  const char* tabTitle = nullptr;
  if (mode == "user") {
    t.names = {"Joe.Sales.Acme"};
    t.className = "User";
    tab = argc > 3 ? std::atoi(argv[3]) : 0;
  } else if (mode == "multi") {
    t.names = {"Joe.Sales.Acme", "Ann.Sales.Acme", "Bob.Sales.Acme"};
    t.className = "User";
  } else if (mode == "server" || mode == "services") {
    t.names = {mode == "server" ? "FS1.Acme" : "Internet Services"};
    t.className = mode == "server" ? "HVX Server" : "Quorvel:Services";
    tabTitle = "Syslog Configuration";
  } else {
    return 2;
  }
  std::string problem;
  HWND sheet = OpenSheet(nullptr, t, &problem);
  if (!sheet) {
    std::fprintf(stderr, "users_shots: %s\n", problem.c_str());
    return 1;
  }
  if (tabTitle) tab = TabTitled(sheet, tabTitle);
  if (tab > 0) PropSheet_SetCurSel(sheet, nullptr, tab);
  RunSheet(nullptr, sheet);
  CloseSnapins(nullptr);
  DestroyWindow(main);
  return 0;
}
