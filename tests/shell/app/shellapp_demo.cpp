// Shows the shell's application parts on screen for a look (and for pictures):
//   shellapp_demo details [seconds]   a frame window hosting the details pane
//                                     with a message read from a scripted store
//   shellapp_demo select [seconds]    the server dialog with a filled recent list
// Each closes itself after the given number of seconds (default 30).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "details_pane.h"
#include "scripted_peer.h"
#include "server_select.h"

namespace {

const char kFrameClass[] = "ZELMDemoFrame";

const char kMessageAnswers[] =
    "2001 3 2876 912 1964 385 9f8e7d6c5b4a 1042 0 alice@example.org\r\n";
const char kMimeAnswer[] =
    "2002 multipart mixed - - - 0 1964 0 52\r\n"
    "2002 text plain us-ascii 7bit - 0 612 0 14\r\n"
    "2002 application pdf - base64 agenda.pdf 0 1180 0 16\r\n"
    "2003 end\r\n"
    "1000 done\r\n";
const char kHeaderAnswer[] =
    "2020 header follows\r\n"
    "Return-Path: <alice@example.org>\r\n"
    "Received: from mx1.example.org by store.example.net; Tue, 4 Mar 2025 09:12:44 +0100\r\n"
    "From: Alice Martin <alice@example.org>\r\n"
    "To: Bob Keller <bob@example.net>\r\n"
    "Subject: Agenda for Thursday\r\n"
    "Date: Tue, 4 Mar 2025 09:12:40 +0100\r\n"
    "Message-ID: <20250304091240.4711@example.org>\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"=_b1\"\r\n"
    "1000 done\r\n";
const char kBodyLines[] =
    "--=_b1\r\n"
    "Content-Type: text/plain; charset=us-ascii\r\n"
    "\r\n"
    "Hi Bob,\r\n"
    "\r\n"
    "the agenda for Thursday is attached.\r\n"
    "Items:\t1. Budget\t2. Hiring\t3. Store migration\r\n"
    "\r\n"
    "Alice\r\n"
    "--=_b1\r\n"
    "Content-Type: application/pdf; name=\"agenda.pdf\"\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "JVBERi0xLjQKJcfsj6IKNSAwIG9iago8PC9MZW5ndGggNiAwIFIvRmlsdGVyIC9GbGF0ZURlY29kZT4+\r\n"
    "--=_b1--\r\n";

struct Demo {
  DetailsInputs inputs;
  HWND pane;
};
Demo g_demo;

LRESULT CALLBACK FrameProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      if (g_demo.pane) MoveWindow(g_demo.pane, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
      return 0;
    case WM_TIMER:
      DestroyWindow(w);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

int ShowDetails(int seconds) {
  char body[64];
  snprintf(body, sizeof body, "2021 %u\r\n", static_cast<unsigned>(strlen(kBodyLines)));
  ScriptedPeer peer;
  if (!peer.Start({Expect("AINFO 3\r\n"), Send(kMessageAnswers), Expect("MIME 3\r\n"),
                   Send(kMimeAnswer), Expect("HEAD 3\r\n"), Send(kHeaderAnswer),
                   Expect("BODY 3\r\n"), Send(std::string(body) + kBodyLines + "1000 ok\r\n")}))
    return 1;
  StoreSocketsStartup();
  // Freed at the end of this function, after the window is gone.
  auto* server = static_cast<StoreConnection*>(calloc(1, sizeof(StoreConnection)));
  if (!server || !ConnectToHost(&server->socket, peer.Address(), kStorePort)) return 1;
  server->nodeKind = kNodeServer;

  HINSTANCE inst = GetModuleHandleA(nullptr);
  RegisterDetailsPaneClass(inst);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = FrameProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kFrameClass;
  RegisterClassA(&wc);

  DetailsInputs& in = g_demo.inputs;
  in.selectionKind = kSelectMessage;
  in.connection = server;
  in.messageNumber = 3;
  in.viewFlags = kViewDetails | kViewHeader | kViewBody;
  in.maxBodySize = 4096;
  in.windowText = GetSysColor(COLOR_WINDOWTEXT);
  in.window = GetSysColor(COLOR_WINDOW);
  in.highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
  in.highlight = GetSysColor(COLOR_HIGHLIGHT);
  in.interfaceFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  in.fixedFont = static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
  in.highlightPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
  in.shadowPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));

  HWND frame = CreateWindowExA(0, kFrameClass, "ZELM Management", WS_OVERLAPPEDWINDOW, 40, 40,
                               640, 620, nullptr, nullptr, inst, nullptr);
  g_demo.pane = CreateDetailsPane(frame, &in, true);
  RECT rc;
  GetClientRect(frame, &rc);
  MoveWindow(g_demo.pane, 0, 0, rc.right, rc.bottom, TRUE);
  ShowWindow(frame, SW_SHOW);
  UpdateWindow(frame);
  RenderDetails(g_demo.pane);
  SetTimer(frame, 1, static_cast<UINT>(seconds) * 1000, nullptr);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  DeleteObject(in.highlightPen);
  DeleteObject(in.shadowPen);
  FreeStoreRecord(server);
  peer.Stop();
  StoreSocketsCleanup();
  return 0;
}

VOID CALLBACK CloseDialog(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  HWND dialog = FindWindowA("#32770", "Enter Address");
  if (dialog) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

int ShowSelect(int seconds) {
  const char* recent[] = {"store.example.net", "10.20.30.40", "mail.example.org",
                          "backup-store.example.net"};
  for (int i = 0; i < 4; ++i) {
    char name[32];
    snprintf(name, sizeof name, "ZELM Select MRU %d", i);
    WriteShellSetting(kSettingsRecent, name, recent[i]);
  }
  StoreSocketsStartup();
  ShellFrame frame = {};
  StoreConnection server = {};
  SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, CloseDialog);
  RunSelectServerDialog(&frame, &server);
  StoreSocketsCleanup();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 2 ? atoi(argv[2]) : 30;
  if (seconds <= 0) seconds = 30;
  if (argc > 1 && strcmp(argv[1], "select") == 0) return ShowSelect(seconds);
  return ShowDetails(seconds);
}
