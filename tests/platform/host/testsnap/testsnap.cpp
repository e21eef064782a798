// A small snap-in that uses the host the way the real ones will: it binds to
// hostext32.dll by name at InitSnapin, registers "User" (two pages: fields
// with a browse button, and a multi-valued edit control of typed addresses;
// plus a multi-selection page) and "Quorvel:Messaging Server" (a file-system
// browse button and a multi-valued edit control of picked contexts), answers
// every object-procedure message, and writes through dsclient32. It logs what
// the host asked of it, for the suites to compare.
//
// Built twice: hosttestsnap.dll, and with TESTSNAP_SECOND hosttestsnap2.dll,
// which only adds one page to "User", as a second snap-in for the same class.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dsclient32.h"
#include "host_directory.h"
#include "host_text.h"
#include "hostext32.h"
#include "testsnap_ids.h"

#define EXPORT extern "C" __declspec(dllexport)

EXPORT int32_t QZXAPI DSLaunchProc(int32_t type, uint32_t msg, intptr_t p3, intptr_t p4);
EXPORT int32_t QZXAPI MvedProc(void* list, uint32_t msg, intptr_t p3, intptr_t p4);
EXPORT int32_t QZXAPI TestUserObjProc(const char* name, uint32_t msg, intptr_t p3, intptr_t p4);
EXPORT int32_t QZXAPI TestMultiUserObjProc(const char* name, uint32_t msg, intptr_t p3, intptr_t p4);
EXPORT int32_t QZXAPI TestServerObjProc(const char* name, uint32_t msg, intptr_t p3, intptr_t p4);
EXPORT int32_t QZXAPI TestExtraObjProc(const char* name, uint32_t msg, intptr_t p3, intptr_t p4);

using zelm::host::JoinName;
using zelm::host::ParentOf;

namespace {

// The snap-in's module-wide state, as a snap-in keeps it.
HINSTANCE g_self = nullptr;
HMODULE g_host = nullptr;
HWND g_main = nullptr;
int32_t g_initResult = 0;
int32_t g_canClose = 1;
std::string g_log;
char g_browse[516];  // browse buffer: 515 characters
char g_object[QZX_NAME_BYTES];
char g_title[1024];
HBITMAP g_bitmaps[3];

struct Api {
  decltype(&QZXRegisterObjectProc) registerProc;
  decltype(&QZXRegisterObjectProcEx) registerProcEx;
  decltype(&QZXAddClassData) addClassData;
  decltype(&QZXRemoveClassData) removeClassData;
  decltype(&QZXLaunchDSFlatBrowser) dsBrowser;
  decltype(&QZXLaunchFSFlatBrowser) fsBrowser;
  decltype(&QZXCreateMved) createMved;
  decltype(&QZXGetMvedCount) mvedCount;
  decltype(&QZXGetMvedValue) mvedValue;
  decltype(&QZXGetSelObjectCount) selCount;
  decltype(&QZXGetSelObject) selObject;
  decltype(&QZXGetNLSFilePath) nlsPath;
} g_api;

// A value list behind a multi-valued edit control; tag says which.
struct ValueList {
  int32_t tag;
  std::vector<std::string> values;
};
constexpr int32_t kMailKind = 7;
constexpr int32_t kContextKind = 1;
ValueList g_mail = {kMailKind, {}};
ValueList g_contexts = {kContextKind, {}};
std::string g_multiDescription;

const char kUserClass[] = "User";
const char kServerClass[] = "Quorvel:Messaging Server";

void Log(const std::string& line) { g_log += line + "\n"; }

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

std::string Text(HWND dialog, int id) {
  char buf[1100];
  GetDlgItemTextA(dialog, id, buf, sizeof buf);
  return buf;
}

template <class F>
bool Bind(const char* name, F* out) {
  *out = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(g_host, name)));
  return *out != nullptr;
}

// Writing, the way the snap-ins' directory layer does it.
int Modify(const std::string& object, const char* attribute, const std::vector<std::string>& values) {
  std::vector<std::string> old;
  zelm::host::ReadValues(object, attribute, &old);
  int32_t ctx = DSCCreateContext();
  if (ctx < 0) return ctx;
  DSCBuffer* b = nullptr;
  DSCAllocBuffer(16384, &b);
  DSCInitBuffer(ctx, DSC_OP_MODIFY_OBJECT, b);
  for (const std::string& v : old) {
    DSCPutChange(ctx, b, DSC_CHANGE_REMOVE_VALUE, attribute);
    DSCPutValue(ctx, b, DSC_SYNTAX_CI_STRING, v.c_str());
  }
  for (const std::string& v : values) {
    if (v.empty()) continue;
    DSCPutChange(ctx, b, DSC_CHANGE_ADD_VALUE, attribute);
    DSCPutValue(ctx, b, DSC_SYNTAX_CI_STRING, v.c_str());
  }
  std::string name = "." + object;
  int r = DSCModifyObject(ctx, name.c_str(), nullptr, 0, b);
  DSCFreeBuffer(b);
  DSCFreeContext(ctx);
  return r;
}

int AddObject(const std::string& full, const char* className) {
  int32_t ctx = DSCCreateContext();
  if (ctx < 0) return ctx;
  DSCBuffer* b = nullptr;
  DSCAllocBuffer(4096, &b);
  DSCInitBuffer(ctx, DSC_OP_ADD_OBJECT, b);
  DSCPutAttributeName(ctx, b, "Object Class");
  DSCPutValue(ctx, b, DSC_SYNTAX_CLASS_NAME, className);
  std::string name = "." + full;
  int r = DSCAddObject(ctx, name.c_str(), nullptr, 0, b);
  DSCFreeBuffer(b);
  DSCFreeContext(ctx);
  return r;
}

std::string First(const std::string& object, const char* attribute) {
  std::vector<std::string> v;
  zelm::host::ReadValues(object, attribute, &v);
  return v.empty() ? std::string() : v[0];
}

bool ShowError(HWND owner, int r) {
  if (!r) return false;
  char caption[64];
  std::snprintf(caption, sizeof caption, "[%d] Directory Error", r);
  MessageBoxA(owner, zelm::host::DirectoryErrorText(r), caption, MB_OK | MB_ICONERROR);
  return true;
}

void MarkChanged(HWND page) { SendMessageA(page, QZX_PAGE_CHANGED, reinterpret_cast<WPARAM>(page), 0x10000); }

[[maybe_unused]] HBITMAP MakeBitmap(COLORREF fill) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 16, 16);
  HGDIOBJ old = SelectObject(dc, bmp);
  RECT all = {0, 0, 16, 16}, inner = {2, 2, 14, 14};
  HBRUSH back = CreateSolidBrush(RGB(255, 0, 255));
  HBRUSH front = CreateSolidBrush(fill);
  FillRect(dc, &all, back);
  FillRect(dc, &inner, front);
  DeleteObject(back);
  DeleteObject(front);
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return bmp;
}

// ---- pages -----------------------------------------------------------------

INT_PTR CALLBACK GeneralPageProc(HWND w, UINT msg, WPARAM wp, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      SetDlgItemTextA(w, IDC_TS_NAME, g_object);
      SetDlgItemTextA(w, IDC_TS_FULL_NAME, First(g_object, "Full Name").c_str());
      SetDlgItemTextA(w, IDC_TS_DESCRIPTION, First(g_object, "Description").c_str());
      Log("init General");
      return TRUE;
    case WM_COMMAND:
      if ((LOWORD(wp) == IDC_TS_FULL_NAME || LOWORD(wp) == IDC_TS_DESCRIPTION) && HIWORD(wp) == EN_CHANGE)
        MarkChanged(w);
      if (LOWORD(wp) == IDC_TS_PICK_USER) {
        lstrcpynA(g_browse, Text(w, IDC_TS_DESCRIPTION).c_str(), sizeof g_browse);
        std::string container = ParentOf(g_object);
        g_api.dsBrowser(w, 2, container.c_str(), 0, 0, "Select User", 4,
                        DSLaunchProc);
        SetDlgItemTextA(w, IDC_TS_DESCRIPTION, g_browse);
        MarkChanged(w);
      }
      return TRUE;
    case QZX_PAGE_APPLY: {
      Log("apply General");
      std::string full = Text(w, IDC_TS_FULL_NAME);
      if (full.empty()) {
        MessageBoxA(w, "A full name is required.", "Missing value", MB_OK | MB_ICONWARNING);
        SetFocus(GetDlgItem(w, IDC_TS_FULL_NAME));
        return 0;
      }
      if (ShowError(w, Modify(g_object, "Full Name", {full})) ||
          ShowError(w, Modify(g_object, "Description", {Text(w, IDC_TS_DESCRIPTION)})))
        return 0;
      return 1;
    }
    case QZX_PAGE_HELP: Log("help General"); return 1;
    case WM_CLOSE: Log("close General"); return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK MailPageProc(HWND w, UINT msg, WPARAM, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      SetDlgItemTextA(w, IDC_TS_NAME, g_object);
      g_mail.values.clear();
      g_api.createMved(w, &g_mail, IDC_TS_MAIL_EDIT, IDC_TS_MAIL_SPIN, IDC_TS_MAIL_LIST, QZX_MVED_TYPED,
                       256, "Enter Addresses", nullptr, 0,
                       MvedProc);
      Log("init Mail");
      return TRUE;
    case QZX_PAGE_APPLY: {
      Log("apply Mail");
      uint16_t n = 0;
      g_api.mvedCount(w, IDC_TS_MAIL_EDIT, &n);
      std::vector<std::string> values;
      for (uint16_t i = 0; i < n; ++i) {
        char value[1026] = {};
        g_api.mvedValue(w, IDC_TS_MAIL_EDIT, i, sizeof value, value);
        values.push_back(value);
      }
      return ShowError(w, Modify(g_object, "Quorvel:EMail Address", values)) ? 0 : 1;
    }
    case QZX_PAGE_HELP: Log("help Mail"); return 1;
    case WM_CLOSE: Log("close Mail"); return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK ServerPageProc(HWND w, UINT msg, WPARAM wp, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      SetDlgItemTextA(w, IDC_TS_NAME, g_object);
      SetDlgItemTextA(w, IDC_TS_WORK_DIR, First(g_object, "Quorvel:Work Directory").c_str());
      g_contexts.values.clear();
      g_api.createMved(w, &g_contexts, IDC_TS_CTX_EDIT, IDC_TS_CTX_SPIN, IDC_TS_CTX_LIST,
                       QZX_MVED_BROWSED, 256, "Select Contexts", "[Root]", 0,
                       MvedProc);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDC_TS_PICK_DIR) {
        lstrcpynA(g_browse, Text(w, IDC_TS_WORK_DIR).c_str(), sizeof g_browse);
        std::string host = First(g_object, "Quorvel:Host");
        std::string container = ParentOf(host);
        g_api.fsBrowser(w, 3, container.c_str(), "", 0, 0, "Select Work Directory", 36,
                        DSLaunchProc);
        SetDlgItemTextA(w, IDC_TS_WORK_DIR, g_browse);
        MarkChanged(w);
      }
      return TRUE;
    case QZX_PAGE_APPLY: {
      Log("apply Server");
      uint16_t n = 0;
      g_api.mvedCount(w, IDC_TS_CTX_EDIT, &n);
      std::vector<std::string> values;
      for (uint16_t i = 0; i < n; ++i) {
        char value[1026] = {};
        g_api.mvedValue(w, IDC_TS_CTX_EDIT, i, sizeof value, value);
        values.push_back(value);
      }
      if (ShowError(w, Modify(g_object, "Quorvel:Work Directory", {Text(w, IDC_TS_WORK_DIR)})) ||
          ShowError(w, Modify(g_object, "Quorvel:Context", values)))
        return 0;
      return 1;
    }
    case WM_CLOSE: Log("close Server"); return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK MultiPageProc(HWND w, UINT msg, WPARAM wp, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: {
      int32_t n = 0;
      g_api.selCount(&n);
      std::string seen = "init Multi";
      for (int32_t i = 0; i <= n; ++i) {  // one past the end, which must fail
        QZXObjectRecord record;
        if (g_api.selObject(i, &record) != 0) {
          seen += " | end at " + std::to_string(i);
          break;
        }
        // The name is read where the snap-ins read it: offset 132.
        seen += " " + std::string(reinterpret_cast<const char*>(&record) + 132);
      }
      Log(seen);
      SetDlgItemTextA(w, IDC_TS_NAME, "<Multiple users selected>");
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == IDC_TS_MULTI_DESCRIPTION && HIWORD(wp) == EN_CHANGE) MarkChanged(w);
      return TRUE;
    case QZX_PAGE_APPLY:
      g_multiDescription = Text(w, IDC_TS_MULTI_DESCRIPTION);
      Log("apply Multi");
      return 1;
    case WM_CLOSE: Log("close Multi"); return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK ExtraPageProc(HWND w, UINT msg, WPARAM, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: SetDlgItemTextA(w, IDC_TS_NAME, g_object); return TRUE;
    case QZX_PAGE_APPLY: Log("apply Extra"); return 1;
    case WM_CLOSE: Log("close Extra"); return TRUE;
  }
  return FALSE;
}

struct CreateParam {
  const char* className;
  std::string container;
};

INT_PTR CALLBACK CreateProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  static CreateParam* param = nullptr;
  switch (msg) {
    case WM_INITDIALOG: param = reinterpret_cast<CreateParam*>(lp); return TRUE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDCANCEL) EndDialog(w, -1);
      if (LOWORD(wp) == IDOK) {
        std::string full = JoinName(Text(w, IDC_TS_NEW_NAME), param->container);
        if (ShowError(w, AddObject(full, param->className))) {
          EndDialog(w, -1);
          return TRUE;
        }
        lstrcpynA(g_browse, full.c_str(), sizeof g_browse);
        EndDialog(w, IsDlgButtonChecked(w, IDC_TS_MORE_PAGES) ? 2
                     : IsDlgButtonChecked(w, IDC_TS_ANOTHER) ? 3
                                                              : 0);
      }
      return TRUE;
  }
  return FALSE;
}

void FillPage(QZXPageRecord* record, DLGPROC proc, const char* templ, const char* title) {
  lstrcpynA(g_title, title, sizeof g_title);  // one shared title buffer
  record->procedure = proc;
  record->instance = g_self;
  record->templateName = templ;
  record->title = g_title;
  record->reserved = 0;
}

int32_t Create(const char* container, intptr_t out, const char* className) {
  CreateParam param = {className, zelm::host::NormalizeContext(container)};
  INT_PTR r = DialogBoxParamA(g_self, "TestCreate", g_main, CreateProc, reinterpret_cast<LPARAM>(&param));
  if (r != -1) std::strcpy(reinterpret_cast<char*>(out), g_browse);
  return static_cast<int32_t>(r);
}

// Messages every object procedure answers alike.
bool Common(const char* name, uint32_t msg, intptr_t p3, const char* className, const char* description,
            int32_t* answer) {
  switch (msg) {
    case QZX_MSG_CLASS_DATA:
      g_api.addClassData(className, description, g_bitmaps[0], g_bitmaps[1], g_bitmaps[2]);
      *answer = 0;
      return true;
    case QZX_MSG_REMOVE_CLASS_DATA:
      g_api.removeClassData(className, &g_bitmaps[0], &g_bitmaps[1], &g_bitmaps[2]);
      *answer = 0;
      return true;
    case QZX_MSG_CREATE:
      *answer = Create(name, p3, className);
      return true;
    case QZX_MSG_OPEN:
      lstrcpynA(g_object, name, sizeof g_object);
      return false;
    case QZX_MSG_DELETE:
      *answer = First(name, "Description") == "protected" ? -1 : 0;
      return true;
  }
  return false;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_self = instance;
  return TRUE;
}

EXPORT int32_t QZXAPI TestUserObjProc(const char* name, uint32_t msg, intptr_t p3, intptr_t p4) {
  Log(Hex(msg) + " " + (name ? name : "(null)"));
  int32_t answer = 0;
  if (Common(name, msg, p3, kUserClass, "Test User", &answer)) return answer;
  switch (msg) {
    case QZX_MSG_OPEN: return 2;
    case QZX_MSG_PAGE:
      if (p3 == 0) FillPage(reinterpret_cast<QZXPageRecord*>(p4), GeneralPageProc, "TestGeneral", "General");
      if (p3 == 1) FillPage(reinterpret_cast<QZXPageRecord*>(p4), MailPageProc, "TestMail", "Mail");
      return 0;
    case QZX_MSG_CLASS_FLAGS: return QZX_CLASS_CREATES;
  }
  return 0;
}

EXPORT int32_t QZXAPI TestMultiUserObjProc(const char* name, uint32_t msg, intptr_t p3, intptr_t p4) {
  Log("multi " + Hex(msg) + " " + (name ? name : "(null)"));
  switch (msg) {
    case QZX_MSG_OPEN: lstrcpynA(g_object, name, sizeof g_object); return 1;
    case QZX_MSG_PAGE:
      FillPage(reinterpret_cast<QZXPageRecord*>(p4), MultiPageProc, "TestMulti", "Several users");
      return 0;
    case QZX_MSG_APPLY_SELECTED: {
      const char* object = reinterpret_cast<const char*>(p4);
      return Modify(object, "Description", {g_multiDescription}) == 0 ? 0 : -1;
    }
  }
  return 0;
}

EXPORT int32_t QZXAPI TestServerObjProc(const char* name, uint32_t msg, intptr_t p3, intptr_t p4) {
  Log(Hex(msg) + " " + (name ? name : "(null)"));
  int32_t answer = 0;
  if (Common(name, msg, p3, kServerClass, "Test Messaging Server", &answer)) return answer;
  switch (msg) {
    case QZX_MSG_OPEN: return 1;
    case QZX_MSG_PAGE:
      FillPage(reinterpret_cast<QZXPageRecord*>(p4), ServerPageProc, "TestServer", "Server");
      return 0;
    case QZX_MSG_CLASS_KIND: return 1;
    case QZX_MSG_CLASS_FLAGS: return 0x6CD;
  }
  return 0;
}

EXPORT int32_t QZXAPI TestExtraObjProc(const char* name, uint32_t msg, intptr_t p3, intptr_t p4) {
  Log("extra " + Hex(msg) + " " + (name ? name : "(null)"));
  switch (msg) {
    case QZX_MSG_OPEN: lstrcpynA(g_object, name, sizeof g_object); return 1;
    case QZX_MSG_PAGE:
      FillPage(reinterpret_cast<QZXPageRecord*>(p4), ExtraPageProc, "TestExtra", "Extra");
      return 0;
  }
  return 0;
}

EXPORT int32_t QZXAPI DSLaunchProc(int32_t type, uint32_t msg, intptr_t p3, intptr_t p4) {
  switch (msg) {
    case QZX_BROWSE_PICKED:
      lstrcpynA(g_browse, reinterpret_cast<const char*>(p4) + 132, sizeof g_browse);
      Log("picked " + std::string(g_browse));
      break;
    case QZX_BROWSE_FILTER_COUNT:
      if (type == 5) *reinterpret_cast<int32_t*>(p3) = 2;
      if ((type >= 1 && type <= 4) || type == 6) *reinterpret_cast<int32_t*>(p3) = 1;
      break;
    case QZX_BROWSE_FILTER: {
      static const char* const names[] = {"", "HVX Server", "User", "Directory", "Quorvel:ZELM Agent",
                                          "Organization", "TARQ:ConnMgr Agent"};
      const char* name = type == 5 && p3 == 1 ? "Organizational Unit"
                         : (type >= 1 && type <= 6) ? names[type]
                                                    : "";
      std::strcpy(reinterpret_cast<char*>(p4), name);
      break;
    }
  }
  return 0;
}

EXPORT int32_t QZXAPI MvedProc(void* list, uint32_t msg, intptr_t p3, intptr_t p4) {
  ValueList* l = static_cast<ValueList*>(list);
  switch (msg) {
    case QZX_BROWSE_FILTER_COUNT:
      *reinterpret_cast<int32_t*>(p3) = l->tag == kContextKind ? 2 : 0;
      break;
    case QZX_BROWSE_FILTER:
      std::strcpy(reinterpret_cast<char*>(p4), p3 == 0 ? "Organization" : "Organizational Unit");
      break;
    case QZX_MVED_READ:
      l->values.clear();
      zelm::host::ReadValues(g_object, l->tag == kMailKind ? "Quorvel:EMail Address" : "Quorvel:Context",
                             &l->values);
      *reinterpret_cast<int32_t*>(p3) = static_cast<int32_t>(l->values.size());
      Log("mved read " + std::to_string(l->tag));
      break;
    case QZX_MVED_VALUE:
      if (p3 >= 0 && static_cast<size_t>(p3) < l->values.size())
        lstrcpynA(reinterpret_cast<char*>(p4), l->values[p3].c_str(), QZX_VALUE_BYTES);
      break;
  }
  return 0;
}

EXPORT int32_t QZXAPI InitSnapin(void) {
  Log("InitSnapin");
  if (g_initResult != 0) return g_initResult;
  g_host = LoadLibraryA("hostext32.dll");
  if (!g_host) return -1;
  bool ok = Bind("QZXRegisterObjectProcEx", &g_api.registerProcEx) &&
            Bind("QZXRegisterObjectProc", &g_api.registerProc) &&
            Bind("QZXLaunchDSFlatBrowser", &g_api.dsBrowser) && Bind("QZXGetMvedValue", &g_api.mvedValue) &&
            Bind("QZXGetMvedCount", &g_api.mvedCount) && Bind("QZXCreateMved", &g_api.createMved) &&
            Bind("QZXAddClassData", &g_api.addClassData) &&
            Bind("QZXRemoveClassData", &g_api.removeClassData) &&
            Bind("QZXLaunchFSFlatBrowser", &g_api.fsBrowser) && Bind("QZXGetSelObject", &g_api.selObject) &&
            Bind("QZXGetSelObjectCount", &g_api.selCount) && Bind("QZXGetNLSFilePath", &g_api.nlsPath);
  if (!ok) return -1;
#ifdef TESTSNAP_SECOND
  g_api.registerProc("DS", kUserClass, "Test snap-in, second", g_self, TestExtraObjProc,
                     QZX_INTERFACE_VERSION);
#else
  g_bitmaps[0] = MakeBitmap(RGB(40, 90, 200));
  g_bitmaps[1] = MakeBitmap(RGB(40, 170, 60));
  g_bitmaps[2] = MakeBitmap(RGB(150, 150, 150));
  g_api.registerProc("DS", kUserClass, "Test snap-in", g_self, TestUserObjProc, QZX_INTERFACE_VERSION);
  g_api.registerProcEx("DS", kUserClass, "Test snap-in, several users", g_self,
                       TestMultiUserObjProc, QZX_INTERFACE_VERSION, QZX_SELECT_MULTIPLE);
  g_api.registerProc("DS", kServerClass, "Test snap-in", g_self, TestServerObjProc,
                     QZX_INTERFACE_VERSION);
#endif
  return 0;
}

EXPORT intptr_t QZXAPI PostInitSnapin(HWND main) {
  Log("PostInitSnapin");
  g_main = main;
  return reinterpret_cast<intptr_t>(main);
}

EXPORT int32_t QZXAPI CanCloseSnapin(void) {
  Log("CanCloseSnapin");
  return g_canClose;
}

// The second snap-in spells it as the syslog snap-in does.
#ifdef TESTSNAP_SECOND
EXPORT int32_t QZXAPI Shutdown(void) {
  Log("Shutdown");
#else
EXPORT int32_t QZXAPI ShutDown(void) {
  Log("ShutDown");
#endif
  for (HBITMAP& b : g_bitmaps) {
    if (b) DeleteObject(b);
    b = nullptr;
  }
  if (g_host) FreeLibrary(g_host);
  g_host = nullptr;
  return 1;
}

// For the suites: what the host asked, and how the next calls answer.
EXPORT const char* TestSnapLog(void) { return g_log.c_str(); }
EXPORT void TestSnapClearLog(void) { g_log.clear(); }
EXPORT void TestSnapSetInitResult(int32_t r) { g_initResult = r; }
EXPORT void TestSnapSetCanClose(int32_t r) { g_canClose = r; }
EXPORT const char* TestSnapBrowseBuffer(void) { return g_browse; }
EXPORT int32_t TestSnapNls(const char* file, char* directory) { return g_api.nlsPath(file, directory); }
