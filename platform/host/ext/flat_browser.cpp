#include "flat_browser.h"

#include <commctrl.h>

#include <algorithm>
#include <map>

#include "host_directory.h"
#include "host_icons.h"
#include "host_text.h"
#include "hostext32.h"
#include "hostext_ids.h"
#include "hostext_state.h"

namespace zelm::host {

namespace {

HINSTANCE g_instance = nullptr;

const char kServerClass[] = "HVX Server";
const char kFolderClass[] = "Directory";
const char kFileClass[] = "File";

struct Entry {
  std::string label;
  std::string key;  // full name (directory, servers), volume name, or folder name
  std::string className;
  int icon = kIconObject;
  bool first = false;  // containers and folders come before the rest
  bool navigable = false;
  bool pickable = false;
};

struct Volume {
  std::string name, folder;  // folder: local
};

// One browser dialog; allocated by RunBrowser, which also frees it.
struct Browser {
  BrowseRequest request;
  BrowseResult* result = nullptr;
  HWND dialog = nullptr;
  HWND list = nullptr;
  HIMAGELIST images = nullptr;
  std::map<std::string, int> classIcons;  // folded class name -> image
  std::string databasePath;
  // Where the dialog is. Directory: container. File system: container, then
  // a server of it, a volume of that, and folders inside.
  std::string container;
  std::string server;  // full name; "" while at a container
  std::vector<Volume> volumes;
  std::string volume;  // "" while at a server
  std::string volumeFolder;
  std::vector<std::string> folders;
  std::vector<Entry> entries;
  std::string problem;  // why the current place shows nothing
};

std::string Fold(const std::string& s) {
  std::string out = s;
  std::transform(out.begin(), out.end(), out.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; });
  return out;
}

bool Matches(const Browser* b, const std::string& className) {
  if (b->request.filters.empty()) return true;
  for (const std::string& f : b->request.filters)
    if (SameText(f, className)) return true;
  return false;
}

int IconFor(Browser* b, const std::string& className, bool container) {
  std::string key = Fold(className);
  auto it = b->classIcons.find(key);
  if (it != b->classIcons.end()) return it->second;
  int icon = -1;
  if (HBITMAP bmp = ClassBitmapOf(className)) icon = AddClassBitmap(b->images, bmp);
  if (icon < 0) icon = BuiltinIconFor(className, container);
  b->classIcons[key] = icon;
  return icon;
}

bool AtFolder(const Browser* b) { return b->request.kind == kBrowseFileSystem && !b->volume.empty(); }

std::string LocalPath(const Browser* b) { return LocalFolder(b->volumeFolder, b->folders); }

// The path of the place shown, or of `child` in it (at a server, a child is
// one of its volumes).
std::string PathOf(const Browser* b, const std::string* child) {
  FsPath p;
  p.server = LeafOf(b->server);
  p.volume = b->volume;
  p.folders = b->folders;
  if (child && p.volume.empty()) {
    p.volume = *child;
  } else if (child) {
    p.folders.push_back(*child);
  }
  return FormatFsPath(p);
}

std::string PlaceText(const Browser* b) {
  if (b->request.kind == kBrowseDirectory || b->server.empty()) return ShownName(b->container);
  if (b->volume.empty()) return LeafOf(b->server);
  return PathOf(b, nullptr);
}

void ListDirectory(Browser* b, bool serversOnly) {
  std::vector<DirEntry> children;
  if (int r = ListChildren(b->container, &children)) {
    b->problem = "This container cannot be listed: " + DirectoryErrorLine(r);
    return;
  }
  for (const DirEntry& d : children) {
    Entry e;
    e.label = LeafOf(d.full);
    e.key = d.full;
    e.className = d.className;
    if (serversOnly) {
      bool server = SameText(d.className, kServerClass);
      if (!d.container && !server) continue;
      e.navigable = true;
    } else {
      e.pickable = Matches(b, d.className);
      e.navigable = d.container;
      if (!e.pickable && !e.navigable) continue;
    }
    e.icon = IconFor(b, d.className, d.container);
    e.first = d.container;
    b->entries.push_back(e);
  }
}

void ListVolumes(Browser* b) {
  std::vector<std::string> values;
  b->volumes.clear();
  if (int r = ReadValues(b->server, "Volume", &values)) {
    b->problem = "The volumes of this server cannot be read: " + DirectoryErrorLine(r);
    return;
  }
  for (const std::string& v : values) {
    Volume vol;
    if (!SplitVolume(v, &vol.name, &vol.folder)) continue;
    vol.folder = VolumeFolder(b->databasePath, vol.folder);
    b->volumes.push_back(vol);
    Entry e;
    e.label = e.key = vol.name;
    e.className = kFolderClass;
    e.icon = kIconVolume;
    e.navigable = e.pickable = true;
    b->entries.push_back(e);
  }
  if (b->volumes.empty()) b->problem = "This server has no volumes.";
}

void ListFolder(Browser* b) {
  bool files = (b->request.flags & QZX_BROWSE_FOLDERS) == 0;
  WIN32_FIND_DATAA found;
  std::string pattern = LocalPath(b) + "\\*";
  HANDLE h = FindFirstFileA(pattern.c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) {
    b->problem = "This folder cannot be read.";
    return;
  }
  do {
    std::string name = found.cFileName;
    bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (name == "." || name == ".." || !ValidFolderName(name) || (!folder && !files)) continue;
    Entry e;
    e.label = e.key = name;
    e.className = folder ? kFolderClass : kFileClass;
    e.icon = folder ? kIconFolder : kIconObject;
    e.navigable = e.first = folder;
    e.pickable = true;
    b->entries.push_back(e);
  } while (FindNextFileA(h, &found));
  FindClose(h);
  std::sort(b->entries.begin(), b->entries.end(), [](const Entry& x, const Entry& y) {
    return lstrcmpiA(x.label.c_str(), y.label.c_str()) < 0;
  });
}

// Whether OK with nothing selected takes the place itself.
bool PlacePickable(const Browser* b) {
  if (b->request.kind == kBrowseFileSystem) return AtFolder(b);
  if (b->container.empty()) return false;
  DirEntry self;
  return ReadEntry(b->container, &self) == 0 && Matches(b, self.className);
}

int SelectedRow(const Browser* b) {
  return static_cast<int>(SendMessageA(b->list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                       LVNI_SELECTED));
}

const Entry* SelectedEntry(const Browser* b) {
  int row = SelectedRow(b);
  if (row < 0) return nullptr;
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!SendMessageA(b->list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  size_t index = static_cast<size_t>(item.lParam);
  return index < b->entries.size() ? &b->entries[index] : nullptr;
}

// What OK would hand back now; "" when nothing.
std::string Candidate(const Browser* b) {
  const Entry* e = SelectedEntry(b);
  if (e) {
    if (!e->pickable) return std::string();
    return b->request.kind == kBrowseDirectory ? e->key : PathOf(b, &e->label);
  }
  if (AtFolder(b)) return PathOf(b, nullptr);
  return std::string();
}

void ShowSelection(Browser* b) {
  SetDlgItemTextA(b->dialog, IDC_BR_PICKED, Candidate(b).c_str());
  const Entry* e = SelectedEntry(b);
  bool ok = e ? (e->navigable || e->pickable) : AtFolder(b);
  EnableWindow(GetDlgItem(b->dialog, IDOK), ok);
}

void Fill(Browser* b) {
  b->entries.clear();
  b->problem.clear();
  if (b->request.kind == kBrowseDirectory) {
    ListDirectory(b, false);
  } else if (b->server.empty()) {
    ListDirectory(b, true);
  } else if (b->volume.empty()) {
    ListVolumes(b);
  } else {
    ListFolder(b);
  }
  std::stable_sort(b->entries.begin(), b->entries.end(),
                   [](const Entry& x, const Entry& y) { return x.first && !y.first; });
  SendMessageA(b->list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(b->list, LVM_DELETEALLITEMS, 0, 0);
  for (size_t i = 0; i < b->entries.size(); ++i) {
    const Entry& e = b->entries[i];
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = static_cast<int>(i);
    item.pszText = const_cast<char*>(e.label.c_str());
    item.iImage = e.icon;
    item.lParam = static_cast<LPARAM>(i);
    int row = static_cast<int>(SendMessageA(b->list, LVM_INSERTITEMA, 0,
                                            reinterpret_cast<LPARAM>(&item)));
    LVITEMA sub = {};
    sub.iSubItem = 1;
    sub.pszText = const_cast<char*>(e.className.c_str());
    SendMessageA(b->list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&sub));
  }
  SendMessageA(b->list, WM_SETREDRAW, TRUE, 0);
  SetDlgItemTextA(b->dialog, IDC_BR_PLACE, PlaceText(b).c_str());
  bool top = b->container.empty() && (b->request.kind == kBrowseDirectory || b->server.empty());
  EnableWindow(GetDlgItem(b->dialog, IDC_BR_UP), !top);

  std::string note = b->problem;
  if (note.empty() && b->request.kind == kBrowseDirectory) {
    note = "Showing: ";
    if (b->request.filters.empty()) {
      note += "all objects";
    } else {
      for (size_t i = 0; i < b->request.filters.size(); ++i)
        note += (i ? ", " : "") + b->request.filters[i];
    }
  } else if (note.empty()) {
    note = b->server.empty() ? "File servers in " + ShownName(b->container)
                             : "Volumes and folders of " + LeafOf(b->server);
  }
  SetDlgItemTextA(b->dialog, IDC_BR_FILTER, note.c_str());
  if (!b->entries.empty()) {
    LVITEMA focus = {};
    focus.stateMask = LVIS_FOCUSED;
    focus.state = LVIS_FOCUSED;
    SendMessageA(b->list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&focus));
  }
  ShowSelection(b);
}

void Open(Browser* b, const Entry& e) {
  if (b->request.kind == kBrowseDirectory) {
    b->container = e.key;
  } else if (b->server.empty()) {
    if (SameText(e.className, kServerClass)) {
      b->server = e.key;
    } else {
      b->container = e.key;
    }
  } else if (b->volume.empty()) {
    for (const Volume& v : b->volumes) {
      if (v.name != e.key) continue;
      b->volume = v.name;
      b->volumeFolder = v.folder;
      b->folders.clear();
    }
  } else {
    b->folders.push_back(e.label);
  }
  Fill(b);
}

void Up(Browser* b) {
  if (b->request.kind == kBrowseFileSystem && !b->server.empty()) {
    if (!b->folders.empty()) {
      b->folders.pop_back();
    } else if (!b->volume.empty()) {
      b->volume.clear();
    } else {
      b->server.clear();
    }
  } else if (!b->container.empty()) {
    b->container = ParentOf(b->container);
  } else {
    return;
  }
  Fill(b);
}

void Pick(Browser* b, const Entry* e) {
  BrowseResult r;
  if (e) {
    r.key = b->request.kind == kBrowseDirectory ? e->key : PathOf(b, &e->label);
    r.className = e->className;
    r.container = e->navigable;
  } else if (b->request.kind == kBrowseDirectory) {
    DirEntry self;
    if (ReadEntry(b->container, &self) != 0) return;
    r.key = b->container;
    r.className = self.className;
    r.container = true;
  } else {
    r.key = PathOf(b, nullptr);
    r.className = kFolderClass;
    r.container = true;
  }
  if (r.key.size() > kMaxPickedPath) {
    MessageBoxA(b->dialog, "This path is too long to be used (at most 515 characters).",
                b->request.title.c_str(), MB_OK | MB_ICONWARNING);
    return;
  }
  *b->result = r;
  EndDialog(b->dialog, IDOK);
}

// OK and Enter: a container that cannot be picked is opened, as a file
// dialog opens a folder; otherwise the selection (or the place) is picked.
void OnOk(Browser* b) {
  const Entry* e = SelectedEntry(b);
  if (e && e->navigable && !e->pickable) {
    Entry copy = *e;
    Open(b, copy);
  } else if (e && e->pickable) {
    Pick(b, e);
  } else if (!e && (AtFolder(b) || PlacePickable(b))) {
    Pick(b, nullptr);
  } else {
    MessageBeep(MB_OK);
  }
}

void OnActivate(Browser* b) {
  const Entry* e = SelectedEntry(b);
  if (!e) return;
  if (e->navigable) {
    Entry copy = *e;
    Open(b, copy);
  } else if (e->pickable) {
    Pick(b, e);
  }
}

// Climbs from a container that does not exist (or is no container) to its
// nearest existing ancestor.
std::string ExistingContainer(std::string name) {
  while (!name.empty()) {
    DirEntry e;
    if (ReadEntry(name, &e) == 0 && e.container) return name;
    name = ParentOf(name);
  }
  return name;
}

void GoToStartPath(Browser* b) {
  FsPath p;
  if (b->request.startPath.empty() || !ParseFsPath(b->request.startPath, &p)) return;
  std::string server = JoinName(p.server, b->container);
  DirEntry e;
  if (ReadEntry(server, &e) != 0 || !SameText(e.className, kServerClass)) return;
  b->server = server;
  b->entries.clear();
  ListVolumes(b);
  for (const Volume& v : b->volumes) {
    if (!SameText(v.name, p.volume)) continue;
    b->volume = v.name;
    b->volumeFolder = v.folder;
    for (const std::string& f : p.folders) {
      DWORD attributes = GetFileAttributesA((LocalPath(b) + "\\" + f).c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) break;
      b->folders.push_back(f);
    }
  }
}

void OnInit(Browser* b, HWND dialog) {
  b->dialog = dialog;
  b->list = GetDlgItem(dialog, IDC_BR_LIST);
  std::string title = b->request.title;
  if (title.empty())
    title = b->request.kind == kBrowseDirectory ? "Select Object" : "Select Folder";
  SetWindowTextA(dialog, title.c_str());
  b->request.title = title;

  b->images = CreateHostImageList();
  SendMessageA(b->list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(b->images));
  SendMessageA(b->list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  RECT rc;
  GetClientRect(b->list, &rc);
  int width = rc.right - rc.left - GetSystemMetrics(SM_CXVSCROLL);
  LVCOLUMNA column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<char*>("Name");
  column.cx = width * 11 / 20;
  SendMessageA(b->list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  column.pszText = const_cast<char*>("Class");
  column.cx = width - width * 11 / 20;
  SendMessageA(b->list, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&column));

  b->container = ExistingContainer(b->request.start);
  if (b->request.kind == kBrowseFileSystem) {
    b->databasePath = ConfiguredDatabasePath();
    GoToStartPath(b);
  }
  Fill(b);
  SetFocus(b->list);
}

INT_PTR OnNotify(Browser* b, NMHDR* h) {
  if (h->idFrom != IDC_BR_LIST) return FALSE;
  switch (h->code) {
    case LVN_ITEMCHANGED: ShowSelection(b); return TRUE;
    case NM_DBLCLK: OnActivate(b); return TRUE;
    case LVN_KEYDOWN:
      if (reinterpret_cast<NMLVKEYDOWN*>(h)->wVKey == VK_BACK) Up(b);
      return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK BrowserProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  Browser* b = reinterpret_cast<Browser*>(GetWindowLongPtrA(w, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(w, DWLP_USER, lp);
      OnInit(reinterpret_cast<Browser*>(lp), w);
      return FALSE;  // the focus is set
    case WM_COMMAND:
      if (!b) return FALSE;
      switch (LOWORD(wp)) {
        case IDOK: OnOk(b); return TRUE;
        case IDCANCEL: EndDialog(w, IDCANCEL); return TRUE;
        case IDC_BR_UP: Up(b); return TRUE;
      }
      return FALSE;
    case WM_NOTIFY:
      return b ? OnNotify(b, reinterpret_cast<NMHDR*>(lp)) : FALSE;
    case WM_DESTROY:
      if (b && b->images) {
        SendMessageA(b->list, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
        ImageList_Destroy(b->images);
        b->images = nullptr;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

void SetBrowserInstance(HINSTANCE instance) { g_instance = instance; }

int RunBrowser(const BrowseRequest& request, BrowseResult* result) {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  Browser* b = new Browser();  // freed below, after the dialog is gone
  b->request = request;
  b->result = result;
  INT_PTR r = DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_HX_BROWSE),
                              DefaultOwner(request.owner), BrowserProc,
                              reinterpret_cast<LPARAM>(b));
  delete b;
  return r == IDOK ? 0 : -1;
}

}  // namespace zelm::host
