// The text picture of the main window that tests and automation ask for.
#include <windows.h>

#include <commctrl.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "main_window.h"
#include "shell_texts.h"

namespace {

using Text = GrowingText;

void Put(Text* t, const char* s) { AppendText(t, s, strlen(s)); }

void PutNumber(Text* t, unsigned long long n) {
  char digits[24];
  snprintf(digits, sizeof digits, "%llu", n);
  Put(t, digits);
}

void PutTree(Text* t, const TreeItem* item, int depth, const TreeItem* selected) {
  for (; item; item = item->nextSibling) {
    for (int i = 0; i < depth; ++i) Put(t, "  ");
    Put(t, item->text);
    if (item == selected) Put(t, " *");
    Put(t, "\n");
    PutTree(t, item->firstChild, depth + 1, selected);
  }
}

void PutList(Text* t, HWND control) {
  SelectionInfo info;
  TvSelection(control, &info);
  int next = 0;  // selected entries come in list order
  for (const ListItem* e = TvFirstEntry(control); e; e = e->next) {
    PutNumber(t, static_cast<unsigned long long>(e->data));
    Put(t, " ");
    Put(t, e->text);
    if (next < info.count && info.items[next] == e) {
      Put(t, " *");
      ++next;
    }
    Put(t, "\n");
  }
  TvReleaseSelection(&info);
}

void PutStatusPart(Text* t, HWND bar, int part) {
  LRESULT length = SendMessageA(bar, SB_GETTEXTLENGTHA, static_cast<WPARAM>(part), 0);
  size_t n = LOWORD(length);
  char* text = static_cast<char*>(malloc(n + 1));
  if (!text) {
    t->failed = true;
    return;
  }
  text[0] = '\0';
  SendMessageA(bar, SB_GETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text));
  text[n] = '\0';
  Put(t, text);
  Put(t, "\n");
  free(text);
}

}  // namespace

char* BuildSnapshot(MainWindow* m) {
  Text t = {nullptr, 0, 0, false};
  Put(&t, "[tree]\n");
  PutTree(&t, TvRootItem(m->treeControl), 0, TvSelectedItem(m->treeControl));
  Put(&t, "[list]\n");
  PutList(&t, m->treeControl);
  Put(&t, "[details]\n");
  if (DetailsPane* pane = GetDetailsPane(m->detailsPane)) {
    for (int i = 0; i < pane->count; ++i) {
      Put(&t, pane->lines[i].text);
      Put(&t, "\n");
    }
  }
  Put(&t, "[status]\n");
  PutStatusPart(&t, m->statusBar, 1);
  Put(&t, "[error]\n");
  PutStatusPart(&t, m->statusBar, 2);
  if (t.failed) {
    free(t.data);
    return nullptr;
  }
  return t.data;
}
