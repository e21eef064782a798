// Puts the host's windows on screen for a look and for pictures (shots.sh):
//   host_shots sheet | browser | files
// on the configured directory (the sample by default), with the test
// snap-in loaded, until the window is closed.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "hostext32.h"
#include "main_window.h"
#include "object_actions.h"
#include "snapins.h"

using namespace zelm::host;

namespace {

const char* g_filter = "User";

int32_t QZXAPI Filters(int32_t, uint32_t msg, intptr_t p3, intptr_t p4) {
  if (msg == QZX_BROWSE_FILTER_COUNT) *reinterpret_cast<int32_t*>(p3) = 1;
  if (msg == QZX_BROWSE_FILTER) strcpy(reinterpret_cast<char*>(p4), g_filter);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "sheet";
  HWND main = CreateMainWindow(GetModuleHandleA(nullptr));
  std::vector<std::string> problems;
  LoadSnapins({"hosttestsnap.dll"}, main, &problems);
  MainWindowReady(main, "Joe.Sales.Acme");
  if (mode == "sheet") {
    SheetTarget t;
    t.names = {"Joe.Sales.Acme"};
    t.className = "User";
    std::string problem;
    HWND sheet = OpenSheet(nullptr, t, &problem);
    if (!sheet) return 1;
    PropSheet_SetCurSel(sheet, nullptr, 1);
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    HWND inner = GetWindow(GetDlgItem(page, 22), GW_CHILD);
    SendMessageA(inner, LB_SETCURSEL, 1, 0);
    SetDlgItemTextA(page, 20, "miller@acme.example");
    RunSheet(nullptr, sheet);
  } else if (mode == "browser") {
    QZXLaunchDSFlatBrowser(nullptr, 2, "Sales.Acme", 0, 0, "Select Postmaster", 4, Filters);
  } else if (mode == "files") {
    g_filter = "Directory";
    QZXLaunchFSFlatBrowser(nullptr, 3, "Acme", "FS1/SYS:", 0, 0, "Select Server Work Directory", 36, Filters);
  }
  CloseSnapins(nullptr);
  DestroyWindow(main);
  return 0;
}
