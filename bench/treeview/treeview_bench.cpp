// Times the tree control's bulk operations in a shown window, each including
// the painting it causes. Goal: under a second each.
//   treeview_bench [entries] [children]
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "treeview.h"

namespace {

double g_frequency;

double Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / g_frequency;
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

long g_released;

LRESULT CALLBACK OwnerProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kTvDeleteItem || msg == kTvDeleteEntry) {
    ++g_released;
    return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

int g_failures;

void Report(const char* what, long count, double seconds) {
  printf("%-44s %8ld  %8.3f s  %s\n", what, count, seconds, seconds < 1.0 ? "ok" : "SLOW");
  if (seconds >= 1.0) ++g_failures;
}

}  // namespace

int main(int argc, char** argv) {
  long entries = argc > 1 ? atol(argv[1]) : 100000;
  long children = argc > 2 ? atol(argv[2]) : 10000;
  bool shown = !(argc > 3 && argv[3][0] == 'h');
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  g_frequency = static_cast<double>(f.QuadPart);

  HINSTANCE inst = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = OwnerProc;
  wc.hInstance = inst;
  wc.lpszClassName = "TreeBenchOwner";
  RegisterClassA(&wc);
  HWND owner = CreateWindowExA(0, wc.lpszClassName, "tree bench", WS_OVERLAPPEDWINDOW, 0, 0, 800,
                               600, nullptr, nullptr, inst, nullptr);
  HWND control = TvCreate(inst, owner, owner, owner, 40, nullptr, nullptr, 4, 17, 17, nullptr,
                          nullptr, 2, 17, 17, 0, 0, kTvTreePane | kTvItemPane | kTvOpenToggles);
  if (!owner || !control) {
    fprintf(stderr, "treeview bench: no control\n");
    return 1;
  }
  RECT r = {0, 0, 780, 560};
  TvMove(control, &r);
  if (shown) ShowWindow(owner, SW_SHOWNA);
  Pump();
  printf("tree control, %s %ldx%ld\n", shown ? "shown (painting included)" : "hidden", r.right,
         r.bottom);

  char text[64];
  double t = Now();
  for (long i = 0; i < entries; ++i) {
    snprintf(text, sizeof text, "%6ld  Sender %ld  Subject of message %ld", i + 1, i % 97, i);
    if (!TvAddEntry(control, nullptr, 0, text, nullptr, static_cast<int>(i % 2), i + 1)) {
      fprintf(stderr, "treeview bench: entry %ld not added\n", i);
      return 1;
    }
  }
  Pump();
  Report("append list entries", entries, Now() - t);

  g_released = 0;
  t = Now();
  TvDeleteAllEntries(control);
  Pump();
  Report("delete all entries", g_released, Now() - t);

  TreeItem* server = TvAddItem(control, nullptr, kTvAddLastChild, "server", nullptr, 0, 1, 1);
  TreeItem* user = TvAddItem(control, server, kTvAddLastChild, "user", nullptr, 1, 1, 2);
  TvAddItem(control, nullptr, kTvAddLastChild, "after", nullptr, 0, 1, 3);
  t = Now();
  for (long i = 0; i < children; ++i) {
    snprintf(text, sizeof text, "mailbox %ld", i);
    TvAddItem(control, user, kTvAddLastChild, text, nullptr, 2, 1, 4);
  }
  Pump();
  Report("add children (shown, last child each)", children, Now() - t);

  t = Now();
  TvExpand(control, user, kTvCollapse);
  Pump();
  Report("collapse the item with those children", children, Now() - t);

  t = Now();
  TvExpand(control, user, kTvExpand);
  Pump();
  Report("expand it again", children, Now() - t);

  g_released = 0;
  t = Now();
  TvDeleteItem(control, user);
  Pump();
  Report("delete the item with its children", g_released, Now() - t);

  char why[256];
  if (!TvCheckInvariant(control, why, sizeof why)) {
    fprintf(stderr, "treeview bench: rows wrong afterwards: %s\n", why);
    return 1;
  }
  DestroyWindow(owner);
  TvUnregister();
  return g_failures ? 2 : 0;
}
