#include "object_actions.h"

#include <commctrl.h>
#include <prsht.h>

#include <cctype>
#include <cstdio>
#include <memory>

#include "admin_ids.h"
#include "attributes_page.h"
#include "host_text.h"
#include "schema.h"

namespace zelm::host {

namespace {

const char kSlotProp[] = "ZelmHostPage";
constexpr int kMaxPagesPerProc = 32;
// A creation dialog that keeps answering "create another" without the user
// ever stopping it is a fault of the snap-in; the host stops asking.
constexpr int kMaxCreateRounds = 200;

struct Sheet;

// One page of the sheet; owned by its Sheet.
struct PageSlot {
  Sheet* sheet = nullptr;
  int index = 0;
  DLGPROC procedure = nullptr;  // the snap-in's (or the host's own)
  HINSTANCE instance = nullptr;
  std::string templateName;  // empty when the template is a number
  LPCSTR templateId = nullptr;
  std::string title;
  HWND window = nullptr;
  bool closed = false;
};

// The one property sheet open at a time (the snap-ins keep one object's page
// state module-wide). Created by OpenSheet, freed by CloseSheet.
struct Sheet {
  HWND window = nullptr;
  std::vector<std::string> names;
  std::string className;
  bool multi = false;
  std::vector<ClassProc> multiProcs;  // 0x119 goes to these
  std::vector<std::unique_ptr<PageSlot>> pages;
  std::string caption;
  int applied = 0;
};

Sheet* g_sheet = nullptr;

// Several users selected: each gets the gathered settings. Answers whether
// every object took them.
bool ApplyToSelection(Sheet* s, HWND page) {
  std::string failed;
  for (const std::string& name : s->names) {
    for (const ClassProc& p : s->multiProcs) {
      if (p.reg.procedure(name.c_str(), QZX_MSG_APPLY_SELECTED, 0,
                          reinterpret_cast<intptr_t>(name.c_str())) == 0)
        continue;
      failed += "\n" + name;
      break;
    }
  }
  if (failed.empty()) return true;
  std::string text = "The settings could not be written to:" + failed;
  MessageBoxA(page, text.c_str(), s->caption.c_str(), MB_OK | MB_ICONERROR);
  return false;
}

bool LastCreatedPage(const PageSlot* slot) {
  for (const auto& p : slot->sheet->pages)
    if (p->index > slot->index && p->window) return false;
  return true;
}

INT_PTR OnApply(PageSlot* slot, HWND w) {
  INT_PTR accepted = slot->procedure(w, QZX_PAGE_APPLY, 0, 0);
  bool ok = accepted != 0;
  if (ok && slot->sheet->multi && LastCreatedPage(slot)) ok = ApplyToSelection(slot->sheet, w);
  if (ok && LastCreatedPage(slot)) ++slot->sheet->applied;
  SetWindowLongPtrA(w, DWLP_MSGRESULT, ok ? PSNRET_NOERROR : PSNRET_INVALID);
  return TRUE;
}

// Every page's dialog procedure as the sheet sees it: the snap-in's, with the
// sheet's notifications turned into the page messages of the host protocol.
INT_PTR CALLBACK HostPageProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  PageSlot* slot = static_cast<PageSlot*>(GetPropA(w, kSlotProp));
  if (msg == WM_INITDIALOG) {
    slot = reinterpret_cast<PageSlot*>(reinterpret_cast<PROPSHEETPAGEA*>(lp)->lParam);
    SetPropA(w, kSlotProp, slot);
    slot->window = w;
  }
  if (!slot) return FALSE;
  auto forward = [&](UINT m, WPARAM a, LPARAM b) {
    return slot->procedure(w, m, a, b);
  };
  switch (msg) {
    case WM_NOTIFY: {
      const NMHDR* h = reinterpret_cast<const NMHDR*>(lp);
      if (h->hwndFrom != GetParent(w)) break;
      if (h->code == PSN_APPLY) return OnApply(slot, w);
      if (h->code == static_cast<UINT>(PSN_HELP)) {
        forward(QZX_PAGE_HELP, 0, 0);
        return TRUE;
      }
      break;
    }
    case QZX_PAGE_CHANGED:
      forward(msg, wp, lp);
      PropSheet_Changed(GetParent(w), w);
      return TRUE;
    case WM_DESTROY: {
      if (!slot->closed) {
        slot->closed = true;
        forward(WM_CLOSE, 0, 0);
      }
      INT_PTR r = forward(msg, wp, lp);
      RemovePropA(w, kSlotProp);
      slot->window = nullptr;
      return r;
    }
  }
  return forward(msg, wp, lp);
}

void AddPage(Sheet* s, DLGPROC procedure, HINSTANCE instance, const char* templateName,
             const char* title) {
  auto slot = std::make_unique<PageSlot>();
  slot->sheet = s;
  slot->index = static_cast<int>(s->pages.size());
  slot->procedure = procedure;
  slot->instance = instance;
  if (IS_INTRESOURCE(templateName)) {
    slot->templateId = templateName;
  } else {
    slot->templateName = templateName;
  }
  slot->title = title ? std::string(title).substr(0, QZX_TITLE_BYTES - 1) : std::string();
  s->pages.push_back(std::move(slot));
}

// Asks each procedure for its pages; the titles are copied at once, since a
// snap-in reuses one buffer for them.
void CollectPages(Sheet* s, const std::vector<ClassProc>& procs, const std::string& object) {
  for (const ClassProc& p : procs) {
    int32_t n = p.reg.procedure(object.c_str(), QZX_MSG_OPEN, 0, 0);
    if (n > kMaxPagesPerProc) n = kMaxPagesPerProc;
    for (int32_t i = 0; i < n; ++i) {
      QZXPageRecord record = {};
      if (p.reg.procedure(object.c_str(), QZX_MSG_PAGE, i, reinterpret_cast<intptr_t>(&record)) != 0)
        continue;
      if (!record.procedure || !record.templateName) continue;
      AddPage(s, record.procedure, record.instance ? record.instance : p.reg.module,
              record.templateName, record.title);
    }
  }
}

void FreeSheet() {
  delete g_sheet;
  g_sheet = nullptr;
  HXSetSelection(0, nullptr, nullptr);
}

}  // namespace

std::vector<ClassProc> CreatableIn(const std::string& containerClass) {
  const dir::Schema& schema = dir::Schema::Get();
  const dir::ClassDef* parent =
      containerClass.empty() || SameText(containerClass, kRootText) ? nullptr
                                                                    : schema.FindClass(containerClass);
  std::vector<ClassProc> out;
  for (const ClassProc& p : ClassProcs()) {
    if (!(p.flags & QZX_CLASS_CREATES) || p.reg.selectionMode != QZX_SELECT_SINGLE) continue;
    bool seen = false;
    for (const ClassProc& q : out) seen = seen || SameText(q.reg.className, p.reg.className);
    if (seen) continue;
    // Classes the schema does not know are left for the directory to judge.
    const dir::ClassDef* child = schema.FindClass(p.reg.className);
    bool unknownParent = !containerClass.empty() && !SameText(containerClass, kRootText) && !parent;
    if (child && !unknownParent && !schema.MayContain(parent, child)) continue;
    out.push_back(p);
  }
  return out;
}

int CreateObject(HWND owner, const std::string& container, const ClassProc& proc,
                 std::string* created) {
  std::string where = ShownName(container);
  int result = QZX_CREATE_CANCELLED;
  for (int round = 0; round < kMaxCreateRounds; ++round) {
    char name[QZX_NAME_BYTES] = {};
    result = proc.reg.procedure(where.c_str(), QZX_MSG_CREATE, reinterpret_cast<intptr_t>(name), 0);
    name[QZX_NAME_BYTES - 1] = '\0';
    std::string made = result == QZX_CREATE_CANCELLED ? std::string() : NormalizeName(name);
    if (!made.empty() && created) *created = made;
    if (result == QZX_CREATE_OPEN_PAGES && !made.empty()) {
      DirEntry e;
      SheetTarget t;
      t.names.push_back(made);
      t.className = ReadEntry(made, &e) == 0 ? e.className : proc.reg.className;
      ShowProperties(owner, t);
    }
    if (result != QZX_CREATE_ANOTHER) break;
  }
  return result;
}

namespace {

// Page titles compare as the tabs read: letter case and "&" marks ignored.
bool SameTitle(const std::string& title, const std::string& wanted) {
  std::string a, b;
  for (char c : title)
    if (c != '&') a += static_cast<char>(tolower(static_cast<unsigned char>(c)));
  for (char c : wanted)
    if (c != '&') b += static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return a == b;
}

}  // namespace

HWND OpenSheet(HWND owner, const SheetTarget& target, std::string* problem) {
  if (g_sheet) {
    *problem = "Close the open property sheet first.";
    return nullptr;
  }
  if (target.names.empty()) {
    *problem = "Nothing is selected.";
    return nullptr;
  }
  auto s = std::make_unique<Sheet>();
  s->names = target.names;
  s->className = target.className;
  s->multi = target.names.size() > 1;
  if (s->multi) {
    s->multiProcs = ProcsFor(target.className, QZX_SELECT_MULTIPLE);
    if (s->multiProcs.empty()) {
      *problem = "Objects of class " + target.className +
                 " cannot be edited together; open them one at a time.";
      return nullptr;
    }
    std::vector<const char*> names, classes;
    for (const std::string& n : s->names) {
      names.push_back(n.c_str());
      classes.push_back(s->className.c_str());
    }
    HXSetSelection(static_cast<int32_t>(names.size()), names.data(), classes.data());
    CollectPages(s.get(), s->multiProcs, s->names[0]);
    char caption[64];
    std::snprintf(caption, sizeof caption, "%u selected objects",
                  static_cast<unsigned>(s->names.size()));
    s->caption = caption;
  } else {
    CollectPages(s.get(), ProcsFor(target.className, QZX_SELECT_SINGLE), s->names[0]);
    s->caption = s->names[0];
  }
  if (s->pages.empty()) {
    if (s->multi) {
      HXSetSelection(0, nullptr, nullptr);
      *problem = "The snap-ins offer no pages for these objects.";
      return nullptr;
    }
    // Nothing from the snap-ins: the host's own page shows what is there.
    SetAttributesPageObject(s->names[0]);
    AddPage(s.get(), AttributesPageProc, GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ATTRIBUTES),
            "Attributes");
  }

  std::vector<PROPSHEETPAGEA> pages;
  for (const auto& slot : s->pages) {
    PROPSHEETPAGEA p = {};
    p.dwSize = sizeof p;
    p.dwFlags = PSP_USETITLE | PSP_HASHELP;
    p.hInstance = slot->instance;
    p.pszTemplate = slot->templateId ? slot->templateId : slot->templateName.c_str();
    p.pfnDlgProc = HostPageProc;
    p.pszTitle = slot->title.c_str();
    p.lParam = reinterpret_cast<LPARAM>(slot.get());
    pages.push_back(p);
  }
  PROPSHEETHEADERA h = {};
  h.dwSize = sizeof h;
  h.dwFlags = PSH_PROPSHEETPAGE | PSH_MODELESS | PSH_HASHELP | PSH_PROPTITLE | PSH_NOCONTEXTHELP;
  h.hwndParent = owner;
  h.hInstance = GetModuleHandleA(nullptr);
  h.pszCaption = s->caption.c_str();
  h.nPages = static_cast<UINT>(pages.size());
  h.ppsp = pages.data();
  if (target.firstIndex > 0 && static_cast<size_t>(target.firstIndex) < pages.size())
    h.nStartPage = static_cast<UINT>(target.firstIndex);
  for (size_t i = 0; i < s->pages.size() && !target.firstPage.empty(); ++i) {
    if (SameTitle(s->pages[i]->title, target.firstPage)) {
      h.nStartPage = static_cast<UINT>(i);
      break;
    }
  }
  g_sheet = s.release();
  INT_PTR r = PropertySheetA(&h);
  HWND window = (r == 0 || r == -1) ? nullptr : reinterpret_cast<HWND>(r);
  if (!window) {
    FreeSheet();
    *problem = "The property pages could not be shown.";
    return nullptr;
  }
  g_sheet->window = window;
  return window;
}

void CloseSheet(HWND sheet) {
  if (!g_sheet || g_sheet->window != sheet) return;
  if (IsWindow(sheet)) DestroyWindow(sheet);
  FreeSheet();
}

int RunSheet(HWND owner, HWND sheet) {
  if (!g_sheet || g_sheet->window != sheet) return 0;
  bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  MSG msg;
  bool quit = false;
  while (IsWindow(sheet) && PropSheet_GetCurrentPageHwnd(sheet)) {
    if (!GetMessageA(&msg, nullptr, 0, 0)) {
      quit = true;
      break;
    }
    if (!PropSheet_IsDialogMessage(sheet, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  int applied = g_sheet ? g_sheet->applied : 0;
  if (ownerWasEnabled) EnableWindow(owner, TRUE);
  CloseSheet(sheet);
  if (owner) SetActiveWindow(owner);
  if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
  return applied;
}

int ShowProperties(HWND owner, const SheetTarget& target) {
  std::string problem;
  HWND sheet = OpenSheet(owner, target, &problem);
  if (!sheet) {
    MessageBoxA(owner, problem.c_str(), "Details", MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  return RunSheet(owner, sheet);
}

HWND OpenSheetWindow() { return g_sheet ? g_sheet->window : nullptr; }

int DeleteObjects(HWND owner, const std::vector<DirEntry>& objects, bool confirm) {
  if (objects.empty()) return 0;
  if (confirm) {
    char text[QZX_NAME_BYTES + 64];
    if (objects.size() == 1) {
      std::snprintf(text, sizeof text, "Delete %s?", objects[0].full.c_str());
    } else {
      std::snprintf(text, sizeof text, "Delete the %u selected objects?",
                    static_cast<unsigned>(objects.size()));
    }
    if (MessageBoxA(owner, text, "Delete", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
      return 0;
  }
  int deleted = 0;
  std::string problems;
  for (const DirEntry& o : objects) {
    if (o.full.empty()) continue;  // the root stays
    DirEntry now;
    if (int r = ReadEntry(o.full, &now)) {
      problems += "\n" + o.full + ": " + DirectoryErrorLine(r);
      continue;
    }
    if (now.container && now.subordinates > 0) {
      problems += "\n" + o.full + " still holds objects; delete them first.";
      continue;
    }
    bool refused = false;
    std::vector<QZXObjectProc> asked;
    for (const ClassProc& p : ClassProcs()) {
      if (!SameText(p.reg.className, now.className)) continue;
      bool again = false;
      for (QZXObjectProc q : asked) again = again || q == p.reg.procedure;
      if (again) continue;
      asked.push_back(p.reg.procedure);
      if (p.reg.procedure(o.full.c_str(), QZX_MSG_DELETE, 0, 0) == -1) {
        refused = true;
        break;
      }
    }
    if (refused) {
      problems += "\n" + o.full + " was kept: its snap-in refused the deletion.";
      continue;
    }
    if (int r = RemoveObject(o.full)) {
      problems += "\n" + o.full + ": " + DirectoryErrorLine(r);
      continue;
    }
    ++deleted;
  }
  if (!problems.empty()) {
    std::string text = "Not everything was deleted:" + problems;
    MessageBoxA(owner, text.c_str(), "Delete", MB_OK | MB_ICONWARNING);
  }
  return deleted;
}

}  // namespace zelm::host
