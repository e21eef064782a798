#include "admin_dialogs.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>

#include "admin_ids.h"
#include "dsclient32.h"
#include "host_directory.h"
#include "host_text.h"
#include "hostext_internal.h"

namespace zelm::host {

namespace {

const char kIdentityVariable[] = "ZELM_IDENTITY";
const char kDatabaseVariable[] = "ZELM_DIRECTORY";
// Passwords are read into a buffer larger than the longest one, so one too
// long is refused rather than cut short.
constexpr size_t kPasswordLimit = DSC_PASSWORD_BYTES - 1;
constexpr int kPasswordRead = 1024;

// The login proved last with a password; kept in this process's memory only,
// to go back to when another one fails.
struct Login {
  bool given = false;
  std::string identity;
  std::string password;
};
Login g_login;

std::string Variable(const char* name) {
  char buf[1024];
  DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
  return (n > 0 && n < sizeof buf) ? std::string(buf, n) : std::string();
}

void SetVariable(const char* name, const std::string& value) {
  SetEnvironmentVariableA(name, value.empty() ? nullptr : value.c_str());
}

std::string ItemString(HWND dialog, int id) {
  char buf[kPasswordRead];
  GetDlgItemTextA(dialog, id, buf, sizeof buf);
  return buf;
}

// Reads a password field and wipes the copy on the stack.
std::string PasswordOf(HWND dialog, int id) {
  char buf[kPasswordRead];
  GetDlgItemTextA(dialog, id, buf, sizeof buf);
  std::string password = buf;
  SecureZeroMemory(buf, sizeof buf);
  return password;
}

// A refused sign-in or login: the message, then the password field again.
void Refused(HWND w, int passwordId, const std::string& problem, const char* caption) {
  MessageBoxA(w, problem.c_str(), caption, MB_OK | MB_ICONWARNING);
  HWND field = GetDlgItem(w, passwordId);
  SetFocus(field);
  SendMessageA(field, EM_SETSEL, 0, -1);
}

INT_PTR CALLBACK LoginProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      const std::string where = "The directory at " + CurrentDatabase() +
                                " asks who you are. Type your user name and password.";
      SetDlgItemTextA(w, IDC_LI_WHERE, where.c_str());
      SendDlgItemMessageA(w, IDC_LI_USER, EM_LIMITTEXT, QZX_NAME_BYTES - 1, 0);
      SendDlgItemMessageA(w, IDC_LI_PASSWORD, EM_LIMITTEXT, kPasswordLimit, 0);
      const std::string* identity = reinterpret_cast<const std::string*>(lp);
      SetDlgItemTextA(w, IDC_LI_USER, identity->c_str());
      SetFocus(GetDlgItem(w, identity->empty() ? IDC_LI_USER : IDC_LI_PASSWORD));
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK) {
        std::string problem;
        std::string password = PasswordOf(w, IDC_LI_PASSWORD);
        bool ok = SignIn(ItemString(w, IDC_LI_USER), "", password, &problem);
        SecureZeroMemory(&password[0], password.size());
        if (ok) EndDialog(w, IDOK);
        else Refused(w, IDC_LI_PASSWORD, problem, "Log In");
      }
      if (LOWORD(wp) == IDCANCEL) EndDialog(w, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

// The sign-in dialog's procedure; no state beyond its controls.
INT_PTR CALLBACK SignInProc(HWND w, UINT msg, WPARAM wp, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      SendDlgItemMessageA(w, IDC_SI_IDENTITY, EM_LIMITTEXT, QZX_NAME_BYTES - 1, 0);
      SendDlgItemMessageA(w, IDC_SI_PASSWORD, EM_LIMITTEXT, kPasswordLimit, 0);
      SendDlgItemMessageA(w, IDC_SI_DATABASE, EM_LIMITTEXT, MAX_PATH - 1, 0);
      SetDlgItemTextA(w, IDC_SI_IDENTITY, CurrentIdentity().c_str());
      SetDlgItemTextA(w, IDC_SI_DATABASE, CurrentDatabase().c_str());
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDC_SI_BROWSE: {
          const char* users[] = {"User"};
          char picked[QZX_NAME_BYTES] = {};
          std::string start = ParentOf(NormalizeName(ItemString(w, IDC_SI_IDENTITY).c_str()));
          if (HXBrowseDirectory(w, start.c_str(), "Select User", 1, users, picked) == 0)
            SetDlgItemTextA(w, IDC_SI_IDENTITY, picked);
          return TRUE;
        }
        case IDC_SI_DATABASE_BROWSE: {
          char file[MAX_PATH];
          GetDlgItemTextA(w, IDC_SI_DATABASE, file, sizeof file);
          OPENFILENAMEA ofn = {};
          ofn.lStructSize = sizeof ofn;
          ofn.hwndOwner = w;
          ofn.lpstrFilter = "Directory databases (*.zdb)\0*.zdb\0All files\0*.*\0";
          ofn.lpstrFile = file;
          ofn.nMaxFile = sizeof file;
          ofn.lpstrTitle = "Directory Database";
          ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
          if (GetOpenFileNameA(&ofn)) SetDlgItemTextA(w, IDC_SI_DATABASE, file);
          return TRUE;
        }
        case IDOK: {
          std::string problem;
          std::string database = ItemString(w, IDC_SI_DATABASE);
          if (database == CurrentDatabase()) database.clear();
          std::string password = PasswordOf(w, IDC_SI_PASSWORD);
          bool ok = SignIn(ItemString(w, IDC_SI_IDENTITY), database, password, &problem);
          SecureZeroMemory(&password[0], password.size());
          if (!ok) {
            Refused(w, IDC_SI_PASSWORD, problem, "Sign In");
            return TRUE;
          }
          EndDialog(w, IDOK);
          return TRUE;
        }
        case IDCANCEL: EndDialog(w, IDCANCEL); return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

// The "New object" dialog; its record lives on RunNewObjectDialog's stack.
struct NewObject {
  std::string container;
  const std::vector<ClassProc>* classes;
  HIMAGELIST icons;
  const std::vector<int>* iconOfClass;
};

int SelectedRow(HWND list) {
  return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void NewObjectInit(HWND w, NewObject* n) {
  std::string where = "Create in: " + ShownName(n->container);
  SetDlgItemTextA(w, IDC_NO_CONTAINER, where.c_str());
  HWND list = GetDlgItem(w, IDC_NO_CLASSES);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  if (n->icons) SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(n->icons));
  RECT rc;
  GetClientRect(list, &rc);
  int width = rc.right - GetSystemMetrics(SM_CXVSCROLL);
  LVCOLUMNA c = {};
  c.mask = LVCF_TEXT | LVCF_WIDTH;
  c.pszText = const_cast<char*>("Description");
  c.cx = width / 2;
  SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&c));
  c.pszText = const_cast<char*>("Class");
  c.cx = width - width / 2;
  SendMessageA(list, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&c));
  for (size_t i = 0; i < n->classes->size(); ++i) {
    const ClassProc& p = (*n->classes)[i];
    std::string description = ClassDescription(p.reg.className);
    if (description.empty()) description = p.reg.className;
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
    item.iItem = static_cast<int>(i);
    item.pszText = const_cast<char*>(description.c_str());
    item.iImage = i < n->iconOfClass->size() ? (*n->iconOfClass)[i] : 0;
    item.lParam = static_cast<LPARAM>(i);
    int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    LVITEMA sub = {};
    sub.iSubItem = 1;
    sub.pszText = const_cast<char*>(p.reg.className);
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
  }
  LVITEMA first = {};
  first.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  first.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&first));
  SetFocus(list);
}

void NewObjectDone(HWND w) {
  HWND list = GetDlgItem(w, IDC_NO_CLASSES);
  int row = SelectedRow(list);
  if (row < 0) {
    MessageBeep(MB_OK);
    return;
  }
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  EndDialog(w, 100 + item.lParam);
}

INT_PTR CALLBACK NewObjectProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      NewObjectInit(w, reinterpret_cast<NewObject*>(lp));
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK) NewObjectDone(w);
      if (LOWORD(wp) == IDCANCEL) EndDialog(w, IDCANCEL);
      return TRUE;
    case WM_NOTIFY: {
      const NMHDR* h = reinterpret_cast<const NMHDR*>(lp);
      if (h->idFrom == IDC_NO_CLASSES && h->code == NM_DBLCLK) NewObjectDone(w);
      if (h->idFrom == IDC_NO_CLASSES && h->code == LVN_ITEMCHANGED)
        EnableWindow(GetDlgItem(w, IDOK), SelectedRow(h->hwndFrom) >= 0);
      return TRUE;
    }
  }
  return FALSE;
}

INT_PTR CALLBACK SnapinsProc(HWND w, UINT msg, WPARAM wp, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: {
      std::string text = SnapinReport();
      std::string crlf;
      for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
      SetDlgItemTextA(w, IDC_SN_TEXT, crlf.c_str());
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) EndDialog(w, IDOK);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

std::string CurrentIdentity() {
  std::string who;
  return WhoAmI(&who) == 0 ? who : std::string();
}

std::string CurrentDatabase() { return ConfiguredDatabasePath(); }

bool SignIn(const std::string& identity, const std::string& database, const std::string& password,
            std::string* problem) {
  std::string who = NormalizeName(identity.c_str());
  if (who.empty()) {
    *problem = "Type the full name of a user, for example Admin.Acme.";
    return false;
  }
  if (password.size() > kPasswordLimit) {
    *problem = "A password has at most " + std::to_string(kPasswordLimit) + " characters.";
    return false;
  }
  std::string oldIdentity = Variable(kIdentityVariable);
  std::string oldDatabase = Variable(kDatabaseVariable);
  if (!database.empty()) SetVariable(kDatabaseVariable, database);
  SetVariable(kIdentityVariable, who);
  // A password proves the identity from now on; without one the
  // configuration (ZELM_IDENTITY and its password file) applies.
  int r = password.empty() ? (ForgetLogin(), 0) : SetLogin(who, password);
  const bool asked = r == 0;
  DirEntry e;
  if (asked) r = ReadEntry(who, &e);
  if (r == 0 && SameText(e.className, "User")) {
    g_login = password.empty() ? Login() : Login{true, who, password};
    return true;
  }
  const std::string why = asked ? LastProblem() : std::string();
  if (r == 0) {
    *problem = who + " is not a user.";
  } else if (r == -623) {
    *problem = who + " is not a user name.";
  } else if (r == -601) {
    *problem = "There is no user " + who + " in the directory.";
  } else if (r == -672 && why.find("wrong password") != std::string::npos) {
    *problem = "Wrong password for " + who + ".";
  } else if (r == -672 && DirectoryIsServer() && password.empty()) {
    *problem = "The directory on a server asks for " + who + "'s password.";
  } else {
    *problem = "The directory cannot be used: " + DirectoryErrorLine(r) +
               (why.empty() ? "" : "\n" + why);
  }
  SetVariable(kIdentityVariable, oldIdentity);
  SetVariable(kDatabaseVariable, oldDatabase);
  if (g_login.given) SetLogin(g_login.identity, g_login.password);
  else ForgetLogin();
  return false;
}

bool RunSignInDialog(HWND owner) {
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SIGN_IN), owner,
                         SignInProc, 0) == IDOK;
}

bool RunLoginDialog(HWND owner, const std::string& identity) {
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_LOGIN), owner, LoginProc,
                         reinterpret_cast<LPARAM>(&identity)) == IDOK;
}

int RunNewObjectDialog(HWND owner, const std::string& container,
                       const std::vector<ClassProc>& classes, HIMAGELIST icons,
                       const std::vector<int>& iconOfClass) {
  NewObject n{container, &classes, icons, &iconOfClass};
  INT_PTR r = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_NEW_OBJECT), owner,
                              NewObjectProc, reinterpret_cast<LPARAM>(&n));
  return r >= 100 ? static_cast<int>(r - 100) : -1;
}

std::string SnapinReport() {
  std::string out;
  if (Snapins().empty()) out += "No snap-ins are loaded.\n";
  for (const Snapin& s : Snapins()) {
    out += s.path + (s.running ? ": running\n" : "\n");
    if (!s.problem.empty()) out += "    " + s.problem + "\n";
  }
  out += "\nRegistered classes:\n";
  for (const ClassProc& p : ClassProcs()) {
    char line[QZX_CLASS_NAME_BYTES + HX_IDENT_BYTES + 96];
    std::snprintf(line, sizeof line, "    %s  (%s)  version %08X  flags %04X%s\n", p.reg.className,
                  p.reg.identification, p.reg.version, p.flags,
                  p.reg.selectionMode == QZX_SELECT_MULTIPLE ? "  several at once" : "");
    out += line;
  }
  return out;
}

void RunSnapinsDialog(HWND owner) {
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SNAPINS), owner, SnapinsProc, 0);
}

}  // namespace zelm::host
