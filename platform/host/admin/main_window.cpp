#include "main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "admin_dialogs.h"
#include "admin_ids.h"
#include "host_icons.h"
#include "host_text.h"
#include "object_actions.h"
#include "snapins.h"

namespace zelm::host {

const char kMainTitle[] = "Directory Administrator";

namespace {

const char kMainClass[] = "ZelmAdminMain";
constexpr int kSplitterWidth = 4;
constexpr int kMinPane = 80;

// The data of a tree item; freed when the tree reports the item's deletion.
struct TreeNode {
  DirEntry entry;
  bool loaded = false;
};

struct Icons {
  int normal = -1;
  int readOnly = -1;
};

// One record per main window: created in WM_NCCREATE, freed in WM_NCDESTROY.
struct MainWindow {
  HWND self = nullptr;
  HWND tree = nullptr;
  HWND list = nullptr;
  HWND status = nullptr;
  HACCEL keys = nullptr;
  HIMAGELIST images = nullptr;  // shared by tree and list; destroyed with the window
  std::map<std::string, Icons> classIcons;  // folded class name
  int split = 250;
  bool dragging = false;
  bool listFocused = false;
  std::string firstPage;           // --page: taken by the next properties command
  std::string container;           // what the list shows
  std::vector<DirEntry> contents;  // list rows' entries (item lParam = index)
};

MainWindow* Of(HWND w) { return reinterpret_cast<MainWindow*>(GetWindowLongPtrA(w, GWLP_USERDATA)); }

std::string Folded(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

int IconOf(MainWindow* w, const DirEntry& e) {
  auto it = w->classIcons.find(Folded(e.className));
  if (it == w->classIcons.end() || it->second.normal < 0)
    return BuiltinIconFor(e.full.empty() ? kRootText : e.className, e.container);
  if (it->second.readOnly >= 0 && !e.full.empty() && !CanWriteObject(e.full))
    return it->second.readOnly;
  return it->second.normal;
}

void BuildIcons(MainWindow* w) {
  w->classIcons.clear();
  for (const ClassProc& p : ClassProcs()) {
    std::string key = Folded(p.reg.className);
    if (w->classIcons.count(key)) continue;
    HXClassData data;
    Icons icons;
    if (HXGetClassData(p.reg.className, &data) == 0) {
      icons.normal = AddClassBitmap(w->images, data.bitmaps[0]);
      icons.readOnly = AddClassBitmap(w->images, data.bitmaps[2]);
    }
    w->classIcons[key] = icons;
  }
}

void SetStatus(MainWindow* w, int part, const std::string& text) {
  SendMessageA(w->status, SB_SETTEXTA, static_cast<WPARAM>(part),
               reinterpret_cast<LPARAM>(text.c_str()));
}

void ShowIdentity(MainWindow* w) {
  std::string who = CurrentIdentity();
  SetStatus(w, 0, "Identity: " + (who.empty() ? std::string("(anonymous)") : who));
  SetStatus(w, 1, "Database: " + CurrentDatabase());
}

void Layout(MainWindow* w) {
  RECT rc;
  GetClientRect(w->self, &rc);
  SendMessageA(w->status, WM_SIZE, 0, 0);
  RECT sb;
  GetWindowRect(w->status, &sb);
  int height = rc.bottom - (sb.bottom - sb.top);
  int width = rc.right;
  w->split = std::max(kMinPane, std::min(w->split, width - kMinPane - kSplitterWidth));
  MoveWindow(w->tree, 0, 0, w->split, height, TRUE);
  MoveWindow(w->list, w->split + kSplitterWidth, 0, width - w->split - kSplitterWidth, height, TRUE);
  int parts[3] = {width * 3 / 10, width * 8 / 10, -1};
  SendMessageA(w->status, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
}

TreeNode* NodeOf(MainWindow* w, HTREEITEM item) {
  TVITEMA tv = {};
  tv.mask = TVIF_PARAM;
  tv.hItem = item;
  if (!item || !TreeView_GetItem(w->tree, &tv)) return nullptr;
  return reinterpret_cast<TreeNode*>(tv.lParam);
}

HTREEITEM AddNode(MainWindow* w, HTREEITEM parent, const DirEntry& e) {
  TreeNode* node = new TreeNode();  // freed on TVN_DELETEITEM
  node->entry = e;
  std::string label = e.full.empty() ? kRootText : LeafOf(e.full);
  TVINSERTSTRUCTA ins = {};
  ins.hParent = parent;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
  ins.item.pszText = const_cast<char*>(label.c_str());
  ins.item.lParam = reinterpret_cast<LPARAM>(node);
  ins.item.iImage = ins.item.iSelectedImage = IconOf(w, e);
  ins.item.cChildren = e.subordinates > 0 ? 1 : 0;
  HTREEITEM item = TreeView_InsertItem(w->tree, &ins);
  if (!item) delete node;
  return item;
}

void LoadChildren(MainWindow* w, HTREEITEM item) {
  TreeNode* node = NodeOf(w, item);
  if (!node || node->loaded) return;
  node->loaded = true;
  std::vector<DirEntry> children;
  ListChildren(node->entry.full, &children);
  int added = 0;
  for (DirEntry e : children) {
    if (!e.container) continue;
    // The tree holds containers only: a "+" only where there are some.
    std::vector<DirEntry> below;
    ListChildren(e.full, &below);
    e.subordinates = static_cast<uint32_t>(
        std::count_if(below.begin(), below.end(), [](const DirEntry& d) { return d.container; }));
    AddNode(w, item, e);
    ++added;
  }
  if (!added) {
    TVITEMA tv = {};
    tv.mask = TVIF_CHILDREN;
    tv.hItem = item;
    tv.cChildren = 0;
    TreeView_SetItem(w->tree, &tv);
  }
}

HTREEITEM FindChild(MainWindow* w, HTREEITEM parent, const std::string& full) {
  LoadChildren(w, parent);
  for (HTREEITEM c = TreeView_GetChild(w->tree, parent); c; c = TreeView_GetNextSibling(w->tree, c)) {
    TreeNode* n = NodeOf(w, c);
    if (n && SameText(n->entry.full, full)) return c;
  }
  return nullptr;
}

// The item of a container, walking (and loading) from the root; the nearest
// existing ancestor when it is not there.
HTREEITEM ItemOf(MainWindow* w, const std::string& full, bool expand) {
  std::vector<std::string> chain;
  for (std::string n = full; !n.empty(); n = ParentOf(n)) chain.push_back(n);
  HTREEITEM item = TreeView_GetRoot(w->tree);
  for (size_t i = chain.size(); item && i-- > 0;) {
    HTREEITEM child = FindChild(w, item, chain[i]);
    if (!child) break;
    if (expand) TreeView_Expand(w->tree, item, TVE_EXPAND);
    item = child;
  }
  return item;
}

void FillList(MainWindow* w, const std::string& container) {
  w->container = container;
  w->contents.clear();
  std::vector<DirEntry> children;
  int r = ListChildren(container, &children);
  std::stable_sort(children.begin(), children.end(),
                   [](const DirEntry& a, const DirEntry& b) { return a.container && !b.container; });
  w->contents = children;
  SendMessageA(w->list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(w->list);
  for (size_t i = 0; i < w->contents.size(); ++i) {
    const DirEntry& e = w->contents[i];
    std::string label = LeafOf(e.full);
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = static_cast<int>(i);
    item.pszText = const_cast<char*>(label.c_str());
    item.iImage = IconOf(w, e);
    item.lParam = static_cast<LPARAM>(i);
    int row = static_cast<int>(SendMessageA(w->list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    std::string description = ClassDescription(e.className);
    LVITEMA sub = {};
    sub.iSubItem = 1;
    sub.pszText = const_cast<char*>(e.className.c_str());
    SendMessageA(w->list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
    sub.iSubItem = 2;
    sub.pszText = const_cast<char*>(description.c_str());
    SendMessageA(w->list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
  }
  SendMessageA(w->list, WM_SETREDRAW, TRUE, 0);
  char text[160];
  if (r) {
    std::snprintf(text, sizeof text, "%s cannot be listed: %s", ShownName(container).c_str(),
                  DirectoryErrorLine(r).c_str());
  } else {
    std::snprintf(text, sizeof text, "%u object(s)", static_cast<unsigned>(w->contents.size()));
  }
  SetStatus(w, 2, text);
}

std::vector<int> SelectedRows(MainWindow* w) {
  std::vector<int> rows;
  for (int i = ListView_GetNextItem(w->list, -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(w->list, i, LVNI_SELECTED))
    rows.push_back(i);
  return rows;
}

const DirEntry* RowEntry(MainWindow* w, int row) {
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!SendMessageA(w->list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  size_t i = static_cast<size_t>(item.lParam);
  return i < w->contents.size() ? &w->contents[i] : nullptr;
}

void SelectRow(MainWindow* w, const std::string& full) {
  for (int row = 0, n = ListView_GetItemCount(w->list); row < n; ++row) {
    const DirEntry* e = RowEntry(w, row);
    if (!e || !SameText(e->full, full)) continue;
    ListView_SetItemState(w->list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(w->list, row, FALSE);
  }
}

std::vector<DirEntry> Targets(MainWindow* w) {
  std::vector<DirEntry> out;
  if (w->listFocused) {
    for (int row : SelectedRows(w))
      if (const DirEntry* e = RowEntry(w, row)) out.push_back(*e);
    if (!out.empty()) return out;
  }
  if (TreeNode* n = NodeOf(w, TreeView_GetSelection(w->tree))) out.push_back(n->entry);
  return out;
}

void CollectExpanded(MainWindow* w, HTREEITEM item, std::vector<std::string>* out) {
  for (; item; item = TreeView_GetNextSibling(w->tree, item)) {
    if (TreeView_GetItemState(w->tree, item, TVIS_EXPANDED) & TVIS_EXPANDED) {
      if (TreeNode* n = NodeOf(w, item)) out->push_back(n->entry.full);
      CollectExpanded(w, TreeView_GetChild(w->tree, item), out);
    }
  }
}

void Rebuild(MainWindow* w, const std::string& select) {
  TreeView_DeleteAllItems(w->tree);
  DirEntry root;
  if (ReadEntry("", &root) != 0) root = DirEntry();
  root.full.clear();
  root.container = true;
  root.subordinates = 1;
  HTREEITEM item = AddNode(w, TVI_ROOT, root);
  LoadChildren(w, item);
  TreeView_Expand(w->tree, item, TVE_EXPAND);
  TreeView_SelectItem(w->tree, nullptr);
  MainSelect(w->self, select);
}

// Re-reads everything, keeping what was open and selected.
void Refresh(MainWindow* w) {
  std::vector<std::string> expanded, rows;
  CollectExpanded(w, TreeView_GetRoot(w->tree), &expanded);
  for (int row : SelectedRows(w))
    if (const DirEntry* e = RowEntry(w, row)) rows.push_back(e->full);
  std::string container = w->container;
  bool listFocused = w->listFocused;
  Rebuild(w, container);
  for (const std::string& name : expanded)
    if (HTREEITEM item = ItemOf(w, name, true)) TreeView_Expand(w->tree, item, TVE_EXPAND);
  if (HTREEITEM item = ItemOf(w, container, true)) TreeView_SelectItem(w->tree, item);
  for (const std::string& r : rows) SelectRow(w, r);
  w->listFocused = listFocused;
  ShowIdentity(w);
}

void CmdNew(MainWindow* w) {
  std::vector<DirEntry> t = Targets(w);
  DirEntry where;
  if (t.size() == 1 && t[0].container) {
    where = t[0];
  } else if (TreeNode* n = NodeOf(w, TreeView_GetSelection(w->tree))) {
    where = n->entry;
  }
  std::string whereClass = where.full.empty() ? std::string() : where.className;
  std::vector<ClassProc> classes = CreatableIn(whereClass);
  if (classes.empty()) {
    std::string text = "No snap-in can create objects in " + ShownName(where.full) + ".";
    MessageBoxA(w->self, text.c_str(), "New Object", MB_OK | MB_ICONINFORMATION);
    return;
  }
  std::vector<int> icons;
  for (const ClassProc& p : classes) {
    auto it = w->classIcons.find(Folded(p.reg.className));
    icons.push_back(it != w->classIcons.end() && it->second.normal >= 0
                        ? it->second.normal
                        : BuiltinIconFor(p.reg.className, false));
  }
  int pick = RunNewObjectDialog(w->self, where.full, classes, w->images, icons);
  if (pick < 0) return;
  std::string created;
  CreateObject(w->self, where.full, classes[pick], &created);
  Refresh(w);
  if (!created.empty()) MainSelect(w->self, created);
}

void CmdProperties(MainWindow* w) {
  std::vector<DirEntry> t = Targets(w);
  if (t.empty()) return;
  SheetTarget target;
  target.className = t[0].className;
  for (const DirEntry& e : t) {
    if (!SameText(e.className, target.className)) {
      MessageBoxA(w->self, "Select objects of one class to see their details together.", "Details",
                  MB_OK | MB_ICONINFORMATION);
      return;
    }
    target.names.push_back(e.full);
  }
  if (target.names.size() == 1 && target.names[0].empty()) target.className = kRootText;
  target.firstPage.swap(w->firstPage);
  ShowProperties(w->self, target);
  Refresh(w);
}

void CmdDelete(MainWindow* w) {
  std::vector<DirEntry> t = Targets(w);
  t.erase(std::remove_if(t.begin(), t.end(), [](const DirEntry& e) { return e.full.empty(); }),
          t.end());
  if (t.empty()) return;
  bool fromTree = !w->listFocused || SelectedRows(w).empty();
  if (DeleteObjects(w->self, t, true) == 0) return;
  if (fromTree) w->container = ParentOf(t[0].full);
  Refresh(w);
}

void CmdUp(MainWindow* w) {
  HTREEITEM item = TreeView_GetSelection(w->tree);
  HTREEITEM parent = item ? TreeView_GetParent(w->tree, item) : nullptr;
  if (parent) TreeView_SelectItem(w->tree, parent);
}

void OnCommand(MainWindow* w, int id) {
  switch (id) {
    case IDM_NEW: CmdNew(w); break;
    case IDM_PROPERTIES: CmdProperties(w); break;
    case IDM_DELETE: CmdDelete(w); break;
    case IDM_REFRESH: Refresh(w); break;
    case IDM_UP: CmdUp(w); break;
    case IDM_SIGN_IN:
      if (RunSignInDialog(w->self)) {
        w->container.clear();
        Refresh(w);
      }
      break;
    case IDM_EXIT: PostMessageA(w->self, WM_CLOSE, 0, 0); break;
    case IDM_SNAPINS: RunSnapinsDialog(w->self); break;
    case IDM_ABOUT:
      MessageBoxA(w->self,
                  "Directory Administrator\n\nBrowses the directory and runs the snap-ins' "
                  "creation dialogs and property pages.",
                  "About", MB_OK | MB_ICONINFORMATION);
      break;
  }
}

void ShowContextMenu(MainWindow* w, HWND from, LPARAM where) {
  POINT pt = {static_cast<short>(LOWORD(where)), static_cast<short>(HIWORD(where))};
  if (where == static_cast<LPARAM>(-1)) {
    RECT rc;
    GetWindowRect(from, &rc);
    pt.x = rc.left + 16;
    pt.y = rc.top + 16;
  } else if (from == w->tree) {
    TVHITTESTINFO hit = {};
    hit.pt = pt;
    ScreenToClient(w->tree, &hit.pt);
    if (HTREEITEM item = TreeView_HitTest(w->tree, &hit)) TreeView_SelectItem(w->tree, item);
  }
  w->listFocused = from == w->list;
  HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_CONTEXT_MENU));
  if (!menu) return;
  int id = TrackPopupMenu(GetSubMenu(menu, 0), TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0,
                          w->self, nullptr);
  DestroyMenu(menu);
  if (id) OnCommand(w, id);
}

LRESULT OnNotify(MainWindow* w, NMHDR* h) {
  if (h->hwndFrom == w->tree) {
    switch (h->code) {
      case TVN_ITEMEXPANDINGA: {
        auto* tv = reinterpret_cast<NMTREEVIEWA*>(h);
        if (tv->action == TVE_EXPAND) LoadChildren(w, tv->itemNew.hItem);
        return FALSE;
      }
      case TVN_SELCHANGEDA: {
        auto* tv = reinterpret_cast<NMTREEVIEWA*>(h);
        if (TreeNode* n = reinterpret_cast<TreeNode*>(tv->itemNew.lParam)) FillList(w, n->entry.full);
        return 0;
      }
      case TVN_DELETEITEMA:
        delete reinterpret_cast<TreeNode*>(reinterpret_cast<NMTREEVIEWA*>(h)->itemOld.lParam);
        return 0;
      case NM_SETFOCUS: w->listFocused = false; return 0;
    }
  } else if (h->hwndFrom == w->list) {
    switch (h->code) {
      case NM_SETFOCUS: w->listFocused = true; return 0;
      case NM_DBLCLK: {
        std::vector<int> rows = SelectedRows(w);
        const DirEntry* e = rows.size() == 1 ? RowEntry(w, rows[0]) : nullptr;
        if (e && e->container) {
          MainSelect(w->self, e->full);
          if (HTREEITEM item = ItemOf(w, e->full, true)) TreeView_SelectItem(w->tree, item);
        } else if (e) {
          CmdProperties(w);
        }
        return 0;
      }
      case LVN_ITEMCHANGED: {
        size_t n = SelectedRows(w).size();
        if (n > 1) {
          char text[64];
          std::snprintf(text, sizeof text, "%u selected", static_cast<unsigned>(n));
          SetStatus(w, 2, text);
        }
        return 0;
      }
    }
  }
  return 0;
}

void OnCreate(MainWindow* w, HINSTANCE instance) {
  w->tree = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS |
                                TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                            0, 0, 10, 10, w->self,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MAIN_TREE)), instance, nullptr);
  w->list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS |
                                LVS_SHAREIMAGELISTS,
                            0, 0, 10, 10, w->self,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MAIN_LIST)), instance, nullptr);
  w->status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0,
                              0, w->self, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MAIN_STATUS)),
                              instance, nullptr);
  w->images = CreateHostImageList();
  TreeView_SetImageList(w->tree, w->images, TVSIL_NORMAL);
  ListView_SetImageList(w->list, w->images, LVSIL_SMALL);
  ListView_SetExtendedListViewStyle(w->list, LVS_EX_FULLROWSELECT);
  const struct {
    const char* title;
    int width;
  } columns[] = {{"Name", 170}, {"Class", 170}, {"Type", 200}};
  for (int i = 0; i < 3; ++i) {
    LVCOLUMNA c = {};
    c.mask = LVCF_TEXT | LVCF_WIDTH;
    c.pszText = const_cast<char*>(columns[i].title);
    c.cx = columns[i].width;
    SendMessageA(w->list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&c));
  }
  w->keys = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_MAIN_ACCEL));
  ShowIdentity(w);
}

void OnClose(MainWindow* w) {
  std::string refusedBy;
  if (!CloseSnapins(&refusedBy)) {
    std::string text = refusedBy + " cannot be closed now; the program keeps running.";
    MessageBoxA(w->self, text.c_str(), kMainTitle, MB_OK | MB_ICONINFORMATION);
    return;
  }
  DestroyWindow(w->self);
}

bool OverSplitter(MainWindow* w, int x) { return x >= w->split && x < w->split + kSplitterWidth; }

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  MainWindow* w = Of(hwnd);
  switch (msg) {
    case WM_NCCREATE:
      w = new MainWindow();  // freed in WM_NCDESTROY
      w->self = hwnd;
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
      return DefWindowProcA(hwnd, msg, wp, lp);
    case WM_NCDESTROY:
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      delete w;
      return DefWindowProcA(hwnd, msg, wp, lp);
  }
  if (!w) return DefWindowProcA(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_CREATE:
      OnCreate(w, reinterpret_cast<CREATESTRUCTA*>(lp)->hInstance);
      return 0;
    case WM_SIZE: Layout(w); return 0;
    case WM_SETFOCUS: SetFocus(w->listFocused ? w->list : w->tree); return 0;
    case WM_COMMAND: OnCommand(w, LOWORD(wp)); return 0;
    case WM_NOTIFY: return OnNotify(w, reinterpret_cast<NMHDR*>(lp));
    case WM_CONTEXTMENU:
      ShowContextMenu(w, reinterpret_cast<HWND>(wp), lp);
      return 0;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wp) == hwnd && LOWORD(lp) == HTCLIENT) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd, &pt);
        if (OverSplitter(w, pt.x)) {
          SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
          return TRUE;
        }
      }
      break;
    case WM_LBUTTONDOWN:
      if (OverSplitter(w, static_cast<short>(LOWORD(lp)))) {
        w->dragging = true;
        SetCapture(hwnd);
      }
      return 0;
    case WM_MOUSEMOVE:
      if (w->dragging) {
        w->split = static_cast<short>(LOWORD(lp));
        Layout(w);
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (w->dragging) {
        w->dragging = false;
        if (GetCapture() == hwnd) ReleaseCapture();
      }
      return 0;
    case WM_CLOSE: OnClose(w); return 0;
    case WM_DESTROY:
      TreeView_DeleteAllItems(w->tree);
      TreeView_SetImageList(w->tree, nullptr, TVSIL_NORMAL);
      ListView_SetImageList(w->list, nullptr, LVSIL_SMALL);
      if (w->images) ImageList_Destroy(w->images);
      w->images = nullptr;
      HXSetMainWindow(nullptr);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

HWND CreateMainWindow(HINSTANCE instance) {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSA wc = {};
  if (!GetClassInfoA(instance, kMainClass, &wc)) {
    wc.lpfnWndProc = MainProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAIN_MENU);
    wc.lpszClassName = kMainClass;
    if (!RegisterClassA(&wc)) return nullptr;
  }
  HWND main = CreateWindowExA(0, kMainClass, kMainTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                              CW_USEDEFAULT, CW_USEDEFAULT, 820, 540, nullptr, nullptr, instance,
                              nullptr);
  if (main) HXSetMainWindow(main);
  return main;
}

void MainWindowReady(HWND main, const std::string& select, const std::string& firstPage) {
  MainWindow* w = Of(main);
  if (!w) return;
  w->firstPage = firstPage;
  Layout(w);
  BuildIcons(w);
  Rebuild(w, select);
  ShowIdentity(w);
}

bool MainTranslate(HWND main, MSG* msg) {
  MainWindow* w = Of(main);
  if (!w || !w->keys) return false;
  // Keys typed into the tree's label editor or a pane's own editor are the
  // editor's.
  if (msg->hwnd != w->tree && msg->hwnd != w->list && msg->hwnd != main) return false;
  return TranslateAcceleratorA(main, w->keys, msg) != 0;
}

bool MainSelect(HWND main, const std::string& full) {
  MainWindow* w = Of(main);
  if (!w) return false;
  DirEntry e;
  bool exists = full.empty() || ReadEntry(full, &e) == 0;
  std::string container = (!exists || full.empty() || e.container) ? full : ParentOf(full);
  HTREEITEM item = ItemOf(w, container, true);
  if (!item) return false;
  TreeView_SelectItem(w->tree, item);
  TreeView_EnsureVisible(w->tree, item);
  if (TreeView_GetSelection(w->tree) == item && w->container != NodeOf(w, item)->entry.full)
    FillList(w, NodeOf(w, item)->entry.full);
  if (exists && !full.empty() && !e.container) {
    ListView_SetItemState(w->list, -1, 0, LVIS_SELECTED);
    SelectRow(w, full);
    w->listFocused = true;
    SetFocus(w->list);
  } else {
    w->listFocused = false;
    SetFocus(w->tree);
  }
  return exists;
}

std::vector<DirEntry> MainTargets(HWND main) {
  MainWindow* w = Of(main);
  return w ? Targets(w) : std::vector<DirEntry>();
}

std::vector<std::string> MainListNames(HWND main) {
  std::vector<std::string> out;
  MainWindow* w = Of(main);
  if (!w) return out;
  for (int row = 0, n = ListView_GetItemCount(w->list); row < n; ++row)
    if (const DirEntry* e = RowEntry(w, row)) out.push_back(LeafOf(e->full));
  return out;
}

std::string MainContainer(HWND main) {
  MainWindow* w = Of(main);
  return w ? w->container : std::string();
}

std::string MainStatusText(HWND main, int part) {
  MainWindow* w = Of(main);
  if (!w) return std::string();
  char text[512] = {};
  LRESULT n = SendMessageA(w->status, SB_GETTEXTLENGTHA, static_cast<WPARAM>(part), 0);
  if (LOWORD(n) >= sizeof text) return std::string();
  SendMessageA(w->status, SB_GETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text));
  return text;
}

}  // namespace zelm::host
