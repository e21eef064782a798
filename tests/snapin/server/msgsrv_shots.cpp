// Puts the messaging server's windows on screen, through the host's code
// with the real tarq.dll, for a look and for pictures (shots.sh):
//   msgsrv_shots create            the creation dialog, filled in
//   msgsrv_shots page N [OBJECT]   page N of the messaging server's sheet
// on the configured directory, until the window is closed.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "object_actions.h"
#include "snapins.h"
#include "tarq_ids.h"

using namespace zelm::host;

namespace {

HHOOK g_hook = nullptr;

// Fills the creation dialog as an administrator would have before clicking.
LRESULT CALLBACK FillCreation(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND w = reinterpret_cast<HWND>(wParam);
    char title[64] = {};
    GetWindowTextA(w, title, sizeof title);
    if (strcmp(title, "Create Messaging Server") == 0 && !GetDlgItemTextA(w, IDC_CMS_NAME, title, 2)) {
      SetDlgItemTextA(w, IDC_CMS_NAME, "MS9");
      SetDlgItemTextA(w, IDC_CMS_HOST, "FS2.Acme");
      SetDlgItemTextA(w, IDC_CMS_POSTMASTER, "Admin.Acme");
      SetDlgItemTextA(w, IDC_CMS_OFFICIAL, "mail.acme.example");
      CheckDlgButton(w, IDC_CMS_MORE_PAGES, BST_CHECKED);
      EnableWindow(GetDlgItem(w, IDC_CMS_ANOTHER), FALSE);
    }
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "page";
  InitCommonControls();
  std::vector<std::string> problems;
  if (LoadSnapins({"tarq.dll"}, nullptr, &problems) != 1) return 1;
  std::vector<ClassProc> procs = ProcsFor("Quorvel:Messaging Server", QZX_SELECT_SINGLE);
  if (procs.empty()) return 1;
  if (mode == "create") {
    g_hook = SetWindowsHookExA(WH_CBT, FillCreation, nullptr, GetCurrentThreadId());
    CreateObject(nullptr, "Internet Services", procs[0], nullptr);
    UnhookWindowsHookEx(g_hook);
  } else {
    SheetTarget t;
    t.names = {argc > 3 ? argv[3] : "MS1.Internet Services"};
    t.className = "Quorvel:Messaging Server";
    std::string problem;
    HWND sheet = OpenSheet(nullptr, t, &problem);
    if (!sheet) return 1;
    PropSheet_SetCurSel(sheet, nullptr, argc > 2 ? atoi(argv[2]) : 0);
    RunSheet(nullptr, sheet);
  }
  CloseSnapins(nullptr);
  return 0;
}
