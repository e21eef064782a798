// hostext32.dll: the host API the snap-ins call, and the host program's view
// of what they registered. Everything runs on the host's user-interface
// thread; the state below is the library's own.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "flat_browser.h"
#include "host_config.h"
#include "host_text.h"
#include "hostext_internal.h"
#include "hostext_state.h"
#include "mved.h"

namespace zelm::host {

namespace {

struct ClassData {
  std::string className;
  std::string description;
  HBITMAP bitmaps[3] = {};  // hostext32's copies, deleted with the entry
  int32_t snapin = -1;
};

struct Selected {
  std::string name;
  std::string className;
};

struct ExtState {
  HINSTANCE instance = nullptr;
  HWND main = nullptr;
  int32_t snapin = -1;
  std::vector<HXRegistration> registrations;
  std::vector<ClassData> classes;
  std::vector<Selected> selection;
};

ExtState& State() {
  static ExtState state;
  return state;
}

void CopyText(char* to, size_t size, const char* from) {
  size_t n = from ? strnlen(from, size - 1) : 0;
  if (n) memcpy(to, from, n);
  to[n] = '\0';
}

HBITMAP CopyBitmap(HBITMAP from) {
  return from ? static_cast<HBITMAP>(CopyImage(from, IMAGE_BITMAP, 0, 0, 0)) : nullptr;
}

void Release(ClassData* c) {
  for (HBITMAP& b : c->bitmaps) {
    if (b) DeleteObject(b);
    b = nullptr;
  }
}

ClassData* FindClass(const char* name) {
  for (ClassData& c : State().classes)
    if (SameText(c.className, name)) return &c;
  return nullptr;
}

int32_t Register(const char* category, const char* className, const char* identification,
                 HINSTANCE module, QZXObjectProc procedure, uint32_t version,
                 int32_t selectionMode) {
  if (!category || !className || !className[0] || !procedure ||
      strlen(className) >= QZX_CLASS_NAME_BYTES || strlen(category) >= 16)
    return -1;
  ExtState& s = State();
  for (const HXRegistration& r : s.registrations)
    if (r.procedure == procedure && r.selectionMode == selectionMode &&
        SameText(r.className, className))
      return 0;  // registered twice: once is enough
  HXRegistration r = {};
  r.snapin = s.snapin;
  r.selectionMode = selectionMode;
  r.version = version;
  r.module = module;
  r.procedure = procedure;
  CopyText(r.category, sizeof r.category, category);
  CopyText(r.className, sizeof r.className, className);
  CopyText(r.identification, sizeof r.identification, identification);
  s.registrations.push_back(r);
  return 0;
}

std::string ModuleFolder(HINSTANCE instance) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(instance, path, sizeof path);
  if (n == 0 || n >= sizeof path) return std::string();
  std::string p(path, n);
  size_t cut = p.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : p.substr(0, cut);
}

bool IsFile(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> AskFilters(QZXBrowseProc callback, int32_t browseType) {
  std::vector<std::string> filters;
  if (!callback) return filters;
  int32_t n = 0;
  callback(browseType, QZX_BROWSE_FILTER_COUNT, reinterpret_cast<intptr_t>(&n), 0);
  for (int32_t i = 0; i < n && i < QZX_MAX_FILTERS; ++i) {
    QZXObjectRecord record = {};
    callback(browseType, QZX_BROWSE_FILTER, i, reinterpret_cast<intptr_t>(&record));
    record.className[QZX_CLASS_NAME_BYTES - 1] = '\0';
    if (record.className[0]) filters.push_back(record.className);
  }
  return filters;
}

int32_t Deliver(const BrowseResult& picked, QZXBrowseProc callback, int32_t browseType) {
  QZXObjectRecord record = {};
  CopyText(record.className, sizeof record.className, picked.className.c_str());
  record.flags = picked.container ? QZX_OBJECT_CONTAINER : 0;
  CopyText(record.name, sizeof record.name, picked.key.c_str());
  if (callback) callback(browseType, QZX_BROWSE_PICKED, 0, reinterpret_cast<intptr_t>(&record));
  return 0;
}

std::string Title(const char* title) {
  return title ? std::string(title).substr(0, QZX_TITLE_BYTES - 1) : std::string();
}

}  // namespace

HINSTANCE ExtInstance() { return State().instance; }

HWND DefaultOwner(HWND given) {
  if (given && IsWindow(given)) return given;
  if (State().main && IsWindow(State().main)) return State().main;
  return GetActiveWindow();
}

HBITMAP ClassBitmapOf(const std::string& className) {
  ClassData* c = FindClass(className.c_str());
  return c ? c->bitmaps[0] : nullptr;
}

}  // namespace zelm::host

using namespace zelm::host;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    State().instance = instance;
    SetBrowserInstance(instance);
    if (!RegisterMvedClasses(instance)) return FALSE;
  } else if (reason == DLL_PROCESS_DETACH && !reserved) {
    // Unloaded by FreeLibrary: give back what the process keeps using.
    UnregisterMvedClasses(instance);
    for (ClassData& c : State().classes) Release(&c);
    State().classes.clear();
  }
  return TRUE;
}

int32_t QZXAPI QZXRegisterObjectProc(const char* category, const char* className,
                                     const char* identification, HINSTANCE module,
                                     QZXObjectProc procedure, uint32_t version) {
  return Register(category, className, identification, module, procedure, version,
                  QZX_SELECT_SINGLE);
}

int32_t QZXAPI QZXRegisterObjectProcEx(const char* category, const char* className,
                                       const char* identification, HINSTANCE module,
                                       QZXObjectProc procedure, uint32_t version,
                                       int32_t selectionMode) {
  return Register(category, className, identification, module, procedure, version,
                  selectionMode);
}

int32_t QZXAPI QZXAddClassData(const char* className, const char* description,
                               HBITMAP classBitmap, HBITMAP aliasBitmap, HBITMAP readOnlyBitmap) {
  if (!className || !className[0] || strlen(className) >= QZX_CLASS_NAME_BYTES) return -1;
  ClassData* c = FindClass(className);
  if (!c) {
    State().classes.push_back(ClassData());
    c = &State().classes.back();
  } else {
    Release(c);
  }
  c->className = className;
  c->description = description ? std::string(description).substr(0, HX_DESCRIPTION_BYTES - 1) : "";
  c->snapin = State().snapin;
  c->bitmaps[0] = CopyBitmap(classBitmap);
  c->bitmaps[1] = CopyBitmap(aliasBitmap);
  c->bitmaps[2] = CopyBitmap(readOnlyBitmap);
  return 0;
}

int32_t QZXAPI QZXRemoveClassData(const char* className, HBITMAP*, HBITMAP*, HBITMAP*) {
  if (!className) return -1;
  auto& classes = State().classes;
  for (auto it = classes.begin(); it != classes.end(); ++it) {
    if (!SameText(it->className, className)) continue;
    Release(&*it);
    classes.erase(it);
    return 0;
  }
  return -1;
}

int32_t QZXAPI QZXLaunchDSFlatBrowser(HWND owner, int32_t browseType, const char* startContext,
                                      int32_t, int32_t, const char* title, int32_t flags,
                                      QZXBrowseProc callback) {
  BrowseRequest r;
  r.kind = kBrowseDirectory;
  r.owner = owner;
  r.start = NormalizeContext(startContext);
  r.title = Title(title);
  r.flags = flags;
  r.filters = AskFilters(callback, browseType);
  BrowseResult picked;
  if (RunBrowser(r, &picked) != 0) return -1;
  return Deliver(picked, callback, browseType);
}

int32_t QZXAPI QZXLaunchFSFlatBrowser(HWND owner, int32_t browseType, const char* serverContainer,
                                      const char* startPath, int32_t, int32_t, const char* title,
                                      int32_t flags, QZXBrowseProc callback) {
  BrowseRequest r;
  r.kind = kBrowseFileSystem;
  r.owner = owner;
  r.start = NormalizeContext(serverContainer);
  r.startPath = startPath ? startPath : "";
  r.title = Title(title);
  r.flags = flags;
  // The filters name what is picked ("Directory"); the places shown are
  // always servers, volumes and folders.
  r.filters = AskFilters(callback, browseType);
  BrowseResult picked;
  if (RunBrowser(r, &picked) != 0) return -1;
  return Deliver(picked, callback, browseType);
}

int32_t QZXAPI QZXCreateMved(HWND page, void* list, int32_t editId, int32_t spinId,
                             int32_t listId, int32_t mode, int32_t maxLength, const char* title,
                             const char* startContext, int32_t, QZXMvedProc callback) {
  return CreateMved(page, list, editId, spinId, listId, mode, maxLength, title, startContext,
                    callback);
}

int32_t QZXAPI QZXGetMvedCount(HWND page, int32_t editId, uint16_t* count) {
  return MvedCount(page, editId, count);
}

int32_t QZXAPI QZXGetMvedValue(HWND page, int32_t editId, uint16_t index, int32_t length,
                               char* buffer) {
  return MvedValue(page, editId, index, length, buffer);
}

int32_t QZXAPI QZXGetSelObjectCount(int32_t* count) {
  if (!count) return -1;
  *count = static_cast<int32_t>(State().selection.size());
  return 0;
}

int32_t QZXAPI QZXGetSelObject(int32_t index, QZXObjectRecord* record) {
  auto& selection = State().selection;
  if (!record || index < 0 || static_cast<size_t>(index) >= selection.size()) return -1;
  memset(record, 0, sizeof *record);
  CopyText(record->className, sizeof record->className, selection[index].className.c_str());
  CopyText(record->name, sizeof record->name, selection[index].name.c_str());
  return 0;
}

int32_t QZXAPI QZXGetNLSFilePath(const char* fileName, char* directory) {
  if (!directory) return -1;
  directory[0] = '\0';
  // A bare file name only: nothing may reach outside the language folders.
  if (!fileName || !ValidFolderName(fileName)) return 0;
  Setting base = ReadAdminSetting("NLS Folder");
  std::string root = base.found && !base.multiString && !base.text.empty()
                         ? base.text
                         : ModuleFolder(State().instance) + "\\nls";
  Setting language = ReadAdminSetting("Language");
  std::vector<std::string> candidates;
  if (language.found && !language.multiString && ValidFolderName(language.text))
    candidates.push_back(NlsFolder(root, language.text));
  candidates.push_back(NlsFolder(root, ""));
  for (const std::string& folder : candidates) {
    if (folder.size() >= QZX_PATH_BYTES || !IsFile(folder + "\\" + fileName)) continue;
    memcpy(directory, folder.c_str(), folder.size() + 1);
    return 0;
  }
  return 0;
}

int32_t HXSetSnapin(int32_t snapin) {
  State().snapin = snapin;
  return 0;
}

int32_t HXForgetSnapin(int32_t snapin) {
  ExtState& s = State();
  for (size_t i = s.registrations.size(); i-- > 0;)
    if (s.registrations[i].snapin == snapin) s.registrations.erase(s.registrations.begin() + i);
  for (size_t i = s.classes.size(); i-- > 0;) {
    if (s.classes[i].snapin != snapin) continue;
    Release(&s.classes[i]);
    s.classes.erase(s.classes.begin() + i);
  }
  return 0;
}

int32_t HXRegistrationCount(void) { return static_cast<int32_t>(State().registrations.size()); }

int32_t HXGetRegistration(int32_t index, HXRegistration* out) {
  auto& regs = State().registrations;
  if (!out || index < 0 || static_cast<size_t>(index) >= regs.size()) return -1;
  *out = regs[index];
  return 0;
}

int32_t HXGetClassData(const char* className, HXClassData* out) {
  ClassData* c = className ? FindClass(className) : nullptr;
  if (!c || !out) return -1;
  memset(out, 0, sizeof *out);
  CopyText(out->className, sizeof out->className, c->className.c_str());
  CopyText(out->description, sizeof out->description, c->description.c_str());
  for (int i = 0; i < 3; ++i) out->bitmaps[i] = c->bitmaps[i];
  return 0;
}

int32_t HXSetSelection(int32_t count, const char* const* names, const char* const* classNames) {
  auto& selection = State().selection;
  selection.clear();
  for (int32_t i = 0; i < count && names; ++i) {
    Selected s;
    s.name = names[i] ? names[i] : "";
    s.className = (classNames && classNames[i]) ? classNames[i] : "";
    selection.push_back(s);
  }
  return 0;
}

int32_t HXSetMainWindow(HWND main) {
  State().main = main;
  return 0;
}

int32_t HXBrowseDirectory(HWND owner, const char* startContext, const char* title,
                          int32_t filterCount, const char* const* filters, char* picked) {
  BrowseRequest r;
  r.kind = kBrowseDirectory;
  r.owner = owner;
  r.start = NormalizeContext(startContext);
  r.title = Title(title);
  r.flags = QZX_BROWSE_SINGLE;
  for (int32_t i = 0; i < filterCount && filters; ++i)
    if (filters[i] && filters[i][0]) r.filters.push_back(filters[i]);
  BrowseResult result;
  if (RunBrowser(r, &result) != 0) return -1;
  if (picked) CopyText(picked, QZX_NAME_BYTES, result.key.c_str());
  return 0;
}

}  // extern "C"
