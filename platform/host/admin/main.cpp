// zelmadmin.exe: the directory administration host.
//   zelmadmin [--database FILE] [--identity USER] [--snapin DLL]...
//             [--no-config-snapins] [--sign-in] [--select NAME] [--open NAME]
// Snap-ins come from the command line and from the "Snap-ins" value under
// Software\Zelm\Admin (user, then machine; a multi-string, or one string
// with ";" between the libraries).
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "admin_dialogs.h"
#include "admin_ids.h"
#include "host_directory.h"
#include "host_text.h"
#include "main_window.h"
#include "object_actions.h"
#include "snapins.h"

using namespace zelm::host;

namespace {

std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

// The command line without the program's own name.
std::vector<std::string> Arguments() {
  std::vector<std::string> all = SplitCommandLine(GetCommandLineA());
  if (!all.empty()) all.erase(all.begin());
  return all;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  AdminArgs args = ParseAdminArgs(Arguments());
  if (!args.error.empty()) {
    std::string text = args.error +
                       "\n\nzelmadmin [--database FILE] [--identity USER] [--snapin DLL]... "
                       "[--no-config-snapins] [--sign-in] [--select NAME] [--open NAME]";
    MessageBoxA(nullptr, text.c_str(), kMainTitle, MB_OK | MB_ICONERROR);
    return 2;
  }
  if (!args.database.empty()) SetEnvironmentVariableA("ZELM_DIRECTORY", args.database.c_str());
  // A directory on a server wants a login; unless a password file gives it
  // (scripts), the user types one.
  char passwordFile[MAX_PATH];
  if (DirectoryIsServer() &&
      GetEnvironmentVariableA("ZELM_LDAP_PASSWORD_FILE", passwordFile, sizeof passwordFile) == 0) {
    if (!RunLoginDialog(nullptr, args.identity)) {
      std::string text = "Nobody logged in to the directory at " + ConfiguredDatabasePath() +
                         ", so zelmadmin ends.";
      MessageBoxA(nullptr, text.c_str(), kMainTitle, MB_OK | MB_ICONINFORMATION);
      return 3;
    }
  } else if (!args.identity.empty()) {
    std::string problem;
    if (!SignIn(args.identity, "", "", &problem)) {
      MessageBoxA(nullptr, problem.c_str(), kMainTitle, MB_OK | MB_ICONERROR);
      return 2;
    }
  }

  DirEntry root;
  if (int r = ReadEntry("", &root)) {
    // The program still starts: File, Sign In picks another database.
    std::string text = "The directory " + ConfiguredDatabasePath() + " cannot be used: " +
                       DirectoryErrorLine(r);
    MessageBoxA(nullptr, text.c_str(), kMainTitle, MB_OK | MB_ICONWARNING);
  }
  HWND main = CreateMainWindow(instance);
  if (!main) return 1;
  if (args.signIn) RunSignInDialog(nullptr);
  std::vector<std::string> problems;
  LoadSnapins(ConfiguredSnapins(args.snapins, args.registrySnapins), main, &problems);
  MainWindowReady(main, args.select.empty() ? args.open : args.select, args.page);
  ShowWindow(main, show);
  UpdateWindow(main);
  if (!problems.empty()) {
    std::string text = "Some snap-ins are not available:\n\n" + Join(problems);
    MessageBoxA(main, text.c_str(), kMainTitle, MB_OK | MB_ICONWARNING);
  }
  if (!args.open.empty()) PostMessageA(main, WM_COMMAND, IDM_PROPERTIES, 0);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (MainTranslate(main, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  // Closed without WM_CLOSE (the session ended): the snap-ins still stop.
  CloseSnapins(nullptr);
  return static_cast<int>(msg.wParam);
}
