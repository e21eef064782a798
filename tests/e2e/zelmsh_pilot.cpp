// Drives a running zelmsh.exe from a script (the screenshots):
//   zelmsh_pilot tree HOST[>USER[>MAILBOX]] WAIT   clicks that tree row
//   zelmsh_pilot list ROW WAIT                     clicks a message row (from 0)
//   zelmsh_pilot wait WAIT                         only waits
//   zelmsh_pilot snapshot                          prints what the window shows
//   zelmsh_pilot menu COMMAND                      chooses a menu command (its number)
//   zelmsh_pilot key tree|list VK                  presses a key (its number) in a pane
//   zelmsh_pilot button TITLE ID                   clicks a button of a dialog
//   zelmsh_pilot close                             closes the window
//   zelmsh_pilot shiftlist ROW                     adds message rows up to ROW (shift click)
//   zelmsh_pilot hover PATH                        rests the pointer on that tree row
//   zelmsh_pilot drag ROW HOLD                     drags the selected messages by ROW with
//                                                  the real mouse onto a drop window of its own,
//                                                  holds HOLD ms there, drops, prints the files
// WAIT is a line the details pane must show before the command returns
// (e.g. "Mailbox information"). Exit code 0 when it showed within 30 s.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pilot.h"

namespace {

// A window that takes dropped files through OLE, as a folder window does;
// it prints the names it got.
class PrintingTarget : public IDropTarget {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDropTarget) {
      *out = static_cast<IDropTarget*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* e) override {
    *e = DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* e) override {
    *e = DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* e) override {
    FORMATETC f = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM m = {};
    if (data->GetData(&f, &m) == S_OK) {
      HDROP h = static_cast<HDROP>(m.hGlobal);
      UINT n = DragQueryFileA(h, 0xFFFFFFFF, nullptr, 0);
      for (UINT i = 0; i < n; ++i) {
        char name[MAX_PATH] = {};
        DragQueryFileA(h, i, name, sizeof name);
        printf("dropped %s\n", name);
      }
      ReleaseStgMedium(&m);
    }
    *e = DROPEFFECT_COPY;
    dropped = true;
    return S_OK;
  }
  bool dropped = false;
};

void Pump(DWORD ms) {
  DWORD end = GetTickCount() + ms;
  while (static_cast<int>(end - GetTickCount()) > 0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

void Mouse(DWORD flags) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  SendInput(1, &in, sizeof in);
}

POINT RowCentre(HWND pane, int row) {
  RECT r = {};
  SendMessageA(pane, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
  POINT pt = {r.left + 30, (r.top + r.bottom) / 2};
  ClientToScreen(pane, &pt);
  return pt;
}

int Drag(Pilot* p, int row, int hold) {
  OleInitialize(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = "ZelmPilotDropFolder";
  RegisterClassA(&wc);
  RECT main;
  GetWindowRect(p->main, &main);
  HWND target = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "Drop folder",
                                WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, main.right + 20,
                                main.top + 80, 240, 170, nullptr, nullptr, wc.hInstance, nullptr);
  PrintingTarget folder;
  RegisterDragDrop(target, &folder);
  Pump(300);
  POINT from = RowCentre(p->itemPane, row);
  RECT t;
  GetWindowRect(target, &t);
  POINT to = {(t.left + t.right) / 2, (t.top + t.bottom) / 2 + 10};
  SetCursorPos(from.x, from.y);
  Pump(100);
  Mouse(MOUSEEVENTF_LEFTDOWN);
  Pump(200);
  for (int i = 1; i <= 10; ++i) {
    SetCursorPos(from.x + (to.x - from.x) * i / 10, from.y + (to.y - from.y) * i / 10);
    Pump(30);
  }
  printf("at %ld %ld\n", to.x, to.y);
  fflush(stdout);
  Pump(static_cast<DWORD>(hold));
  Mouse(MOUSEEVENTF_LEFTUP);
  for (int i = 0; i < 100 && !folder.dropped; ++i) Pump(100);
  RevokeDragDrop(target);
  DestroyWindow(target);
  OleUninitialize();
  return folder.dropped ? 0 : 1;
}

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
          "       key tree|list VK | button TITLE ID | close | shiftlist ROW | hover PATH |\n"
          "       drag ROW HOLD\n");
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
  } else if (command == "shiftlist" && argc == 3) {
    RECT r = {};
    SendMessageA(p.itemPane, LB_GETITEMRECT, static_cast<WPARAM>(atoi(argv[2])),
                 reinterpret_cast<LPARAM>(&r));
    LPARAM at = MAKELPARAM(r.left + 30, (r.top + r.bottom) / 2);
    PostMessageA(p.itemPane, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, at);
    PostMessageA(p.itemPane, WM_LBUTTONUP, MK_SHIFT, at);
    return 0;
  } else if (command == "hover" && argc == 3) {
    std::string s = PilotSnapshot(&p);
    int row = PilotTreeRow(s, Split(argv[2]));
    if (row < 0) return 1;
    POINT pt = RowCentre(p.treePane, row);
    // Real pointer input (a moved cursor alone, SetCursorPos, brings the
    // pane no mouse-move message): first onto the row above, then onto the
    // row, so the pane sees the pointer come to a new row.
    POINT above = RowCentre(p.treePane, row > 0 ? row - 1 : row);
    for (POINT at : {above, pt}) {
      INPUT in = {};
      in.type = INPUT_MOUSE;
      in.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
      in.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
      in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
      SendInput(1, &in, sizeof in);
      Sleep(300);
    }
    return 0;
  } else if (command == "drag" && argc == 4) {
    return Drag(&p, atoi(argv[2]), atoi(argv[3]));
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
