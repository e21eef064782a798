// Puts the agents' creation dialogs and pages on screen in the host
// program's own windows, tarq.dll loaded, for a look and for pictures
// (shots.sh):
//   agents_shots make FILE             writes the directory the pictures use
//   agents_shots FILE create KIND      the creation dialog of a store agent
//                                      (zelm), SMTP agent (smtp) or
//                                      auto-reply agent (linked), filled in
//   agents_shots FILE zelm|smtp TAB    the store or SMTP agent's sheet on TAB
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "directory.h"
#include "main_window.h"
#include "object_actions.h"
#include "snapins.h"
#include "tarq_ids.h"
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
object FS1.Acme : HVX Server
    Network Address = 127.0.0.1
object Internet Services : Quorvel:Services
object MS1.Internet Services : Quorvel:Messaging Server
    Quorvel:Host = FS1.Acme
    Quorvel:Official Name = acme.example
    Quorvel:Context = Sales.Acme
    Quorvel:Context = Acme
object ZELM Agent.MS1.Internet Services : Quorvel:ZELM Agent
    Quorvel:Module Name = STORAGNT.QMD
    Quorvel:Message Store = FS1/MAIL:zelm
    Quorvel:Queue Timeout = 5
    Quorvel:Queue Interval = 30
    Quorvel:Minimum Free Space = 2048
    Quorvel:Forward Undeliverable = postmaster@acme.example
    TARQ:RTS Antispam Config = Enabled:1 Delay:30 Threshhold:5
    Quorvel:Limit Remote Processing = 1
    Quorvel:Limit Remote Beg Weekday = 8
    Quorvel:Limit Remote End Weekday = 18
    Quorvel:Limit Remote Beg Weekend = 0
    Quorvel:Limit Remote End Weekend = 6
    Quorvel:Use Quota = 3
    Quorvel:Quota Value = 50000
    Quorvel:Quota Message = The user to whom this message was addressed has exceeded the allowed mailbox\r\nquota. Please resend the message at a later time.
    Quorvel:SCMS User Threshold = 2
    Quorvel:SCMS Size Threshold = 4
    Quorvel:ZELM Trusted Hosts = 10.0.0.1
    Quorvel:ZELM Trusted Hosts = 10.0.0.2
    Quorvel:ZELM Trusted Hosts = 192.168.10.25
    Quorvel:Client = SMTP Agent.MS1.Internet Services
    Quorvel:Client = AutoReply Agent.MS1.Internet Services
object SMTP Agent.MS1.Internet Services : Quorvel:SMTP Agent
    Quorvel:Module Name = SMTPAGNT.QMD
    Quorvel:Domain = acme.example
    Quorvel:Domain = mail.acme.example
    TARQ:User Domain = sales.example
    Quorvel:Message Limit = 10
    Quorvel:SMTP Accept ETRN = 1
    Quorvel:SMTP Send ETRN = 0
    Quorvel:SMTP Allow VRFY = 1
    Quorvel:SMTP Verify Address = 1
    Quorvel:RelayHost = relay.provider.example
    TARQ:UBE Configuration = 23
    TARQ:Allowed Address = 10.0.0.1-10.0.0.254
    TARQ:Allowed Address = 192.168.10.25-192.168.10.25
    TARQ:Blocked Address = 172.16.5.1-172.16.5.99
    TARQ:Recipient Limit = 100
    TARQ:RBL Host = rbl.example.org
    Quorvel:ZELM Queue Server = ZELM Agent.MS1.Internet Services
    Quorvel:ZELM Server = ZELM Agent.MS1.Internet Services
object AutoReply Agent.MS1.Internet Services : Quorvel:AutoReply Agent
    Quorvel:Module Name = FWDAGENT.QMD
    Quorvel:ZELM Server = ZELM Agent.MS1.Internet Services
object MS2.Internet Services : Quorvel:Messaging Server
    Quorvel:Host = FS1.Acme
    Quorvel:Official Name = two.example
object ZELM Agent.MS2.Internet Services : Quorvel:ZELM Agent
    Quorvel:Module Name = STORAGNT.QMD
object MS3.Internet Services : Quorvel:Messaging Server
    Quorvel:Host = FS1.Acme
    Quorvel:Official Name = three.example
)";

int Make(const char* path) {
  zelm::dir::TextDirectory text;
  zelm::dir::Tree tree;
  std::string error;
  if (zelm::dir::ParseText(kTree, &text, &error) != 0 ||
      zelm::dir::BuildTree(text, &tree, &error) != 0) {
    std::fprintf(stderr, "agents_shots: %s\n", error.c_str());
    return 1;
  }
  std::remove(path);
  return zelm::dir::Directory::Create(path, tree) == 0 ? 0 : 1;
}

HHOOK g_hook = nullptr;

// Fills a creation dialog as an administrator would have before clicking.
LRESULT CALLBACK FillCreation(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND w = reinterpret_cast<HWND>(wParam);
    char title[64] = {};
    GetWindowTextA(w, title, sizeof title);
    if (std::strcmp(title, "Create ZELM Agent") == 0 &&
        GetWindowTextLengthA(GetDlgItem(w, IDC_CZ_PATH)) == 0) {
      SetDlgItemTextA(w, IDC_CZ_PATH, "FS1/MAIL:zelm");
      SetDlgItemTextA(w, IDC_AGC_STORE, "Sales.Acme");
      CheckDlgButton(w, IDC_AGC_MORE_PAGES, BST_CHECKED);
    }
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "make") return Make(argv[2]);
  if (argc < 4) {
    std::fprintf(stderr, "usage: agents_shots make FILE | FILE create zelm|smtp|linked"
                         " | FILE zelm|smtp TAB [ADDRESS]\n");
    return 2;
  }
  SetEnvironmentVariableA("ZELM_DIRECTORY", argv[1]);
  SetEnvironmentVariableA("ZELM_IDENTITY", "Admin.Acme");
  std::string mode = argv[2];
  HWND main = CreateMainWindow(GetModuleHandleA(nullptr));
  std::vector<std::string> problems;
  LoadSnapins({"tarq.dll"}, main, &problems);
  MainWindowReady(main, "MS1.Internet Services");

  if (mode == "create") {
    std::string kind = argv[3];
    const char* cls = kind == "zelm"   ? "Quorvel:ZELM Agent"
                      : kind == "smtp" ? "Quorvel:SMTP Agent"
                                       : "Quorvel:AutoReply Agent";
    std::vector<ClassProc> procs = ProcsFor(cls, QZX_SELECT_SINGLE);
    if (procs.empty()) return 1;
    g_hook = SetWindowsHookExA(WH_CBT, FillCreation, nullptr, GetCurrentThreadId());
    CreateObject(main, kind == "zelm" ? "MS3.Internet Services" : "MS2.Internet Services",
                 procs[0], nullptr);
    UnhookWindowsHookEx(g_hook);
  } else {
    SheetTarget t;
    if (mode == "zelm") {
      t.names = {"ZELM Agent.MS1.Internet Services"};
      t.className = "Quorvel:ZELM Agent";
    } else {
      t.names = {"SMTP Agent.MS1.Internet Services"};
      t.className = "Quorvel:SMTP Agent";
    }
    std::string problem;
    HWND sheet = OpenSheet(nullptr, t, &problem);
    if (!sheet) {
      std::fprintf(stderr, "agents_shots: %s\n", problem.c_str());
      return 1;
    }
    int tab = std::atoi(argv[3]);
    if (tab > 0) PropSheet_SetCurSel(sheet, nullptr, tab);
    // "zelm 5 10.0.0.1": an address typed on the trusted hosts page and
    // added, so the page's answer to it shows over the sheet.
    if (argc >= 5 && mode == "zelm" && tab == 5) {
      HWND page = PropSheet_GetCurrentPageHwnd(sheet);
      SetDlgItemTextA(page, IDC_ZT_ADDRESS, argv[4]);
      PostMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_ZT_ADD, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_ZT_ADD)));
    }
    RunSheet(nullptr, sheet);
  }
  CloseSnapins(nullptr);
  DestroyWindow(main);
  return 0;
}
