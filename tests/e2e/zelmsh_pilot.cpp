// Drives a running zelmsh.exe from a script (the screenshots):
//   zelmsh_pilot tree HOST[>USER[>MAILBOX]] WAIT   clicks that tree row
//   zelmsh_pilot list ROW WAIT                     clicks a message row (from 0)
//   zelmsh_pilot wait WAIT                         only waits
//   zelmsh_pilot snapshot                          prints what the window shows
//   zelmsh_pilot menu COMMAND                      chooses a menu command (its number)
//   zelmsh_pilot key tree|list VK                  presses a key (its number) in a pane
//   zelmsh_pilot button TITLE ID                   clicks a button of a dialog
//   zelmsh_pilot close                             closes the window
// WAIT is a line the details pane must show before the command returns
// (e.g. "Mailbox information"). Exit code 0 when it showed within 30 s.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pilot.h"

namespace {

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t at = path.find('>', start);
    out.push_back(path.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return out;
    start = at + 1;
  }
}

int Usage() {
  fprintf(stderr, "usage: zelmsh_pilot tree PATH WAIT | list ROW WAIT | wait WAIT | snapshot | menu COMMAND |\n"
          "       key tree|list VK | button TITLE ID | close\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  Pilot p;
  if (!PilotAttach(&p, 0, 30000)) {
    fprintf(stderr, "zelmsh_pilot: no store shell window\n");
    return 1;
  }
  const int kWait = 30000;
  std::string wait;
  if (command == "snapshot") {
    printf("%s", PilotSnapshot(&p).c_str());
    return 0;
  } else if (command == "close") {
    PostMessageA(p.main, WM_CLOSE, 0, 0);
    return 0;
  } else if (command == "button" && argc == 4) {
    HWND dialog = PilotFindDialog(p.pid, argv[2], kWait);
    return dialog && PilotClickButton(dialog, atoi(argv[3])) ? 0 : 1;
  } else if (command == "menu" && argc == 3) {
    PilotMenu(&p, atoi(argv[2]));
    return 0;
  } else if (command == "key" && argc == 4) {
    PilotKey(std::string(argv[2]) == "list" ? p.itemPane : p.treePane, atoi(argv[3]));
    return 0;
  } else if (command == "tree" && argc == 4) {
    std::vector<std::string> path = Split(argv[2]);
    std::string s;
    // The item may still be on its way (autoconnect).
    if (!PilotWaitFor(&p, [&](const std::string& snap) { return PilotTreeRow(snap, path) >= 0; },
                      kWait, &s)) {
      fprintf(stderr, "zelmsh_pilot: no tree item %s\n", argv[2]);
      return 1;
    }
    PilotClickRow(&p, p.treePane, PilotTreeRow(s, path));
    wait = argv[3];
  } else if (command == "list" && argc == 4) {
    if (!PilotClickRow(&p, p.itemPane, atoi(argv[2]))) {
      fprintf(stderr, "zelmsh_pilot: no message row %s\n", argv[2]);
      return 1;
    }
    wait = argv[3];
  } else if (command == "wait" && argc == 3) {
    wait = argv[2];
  } else {
    return Usage();
  }
  if (!PilotWaitForText(&p, "details", wait, kWait)) {
    fprintf(stderr, "zelmsh_pilot: the details never showed \"%s\"\n", wait.c_str());
    return 1;
  }
  PilotDetach(&p);
  return 0;
}
