// "CreateMessagingServer": names a new messaging server, its host server,
// postmaster and official domain; creates it in one add, gives the host its
// back-reference and asks the host to load the server module.
#include <stdio.h>
#include <stdlib.h>

#include "frame.h"
#include "msgsrv_object.h"
#include "page_support.h"
#include "tarq_ids.h"
#include "server_procs.h"

namespace {

const char kMessagingServerClass[] = "Quorvel:Messaging Server";

// The container the new server goes into, also where the browsers start
// (module-wide: one creation dialog at a time).
char g_parent[kBrowseChars + 1];

const int kRequiredFields[] = {IDC_CMS_NAME, IDC_CMS_POSTMASTER, IDC_CMS_HOST, IDC_CMS_OFFICIAL};

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void UpdateCreateButton(HWND dialog) {
  bool all = true;
  for (int id : kRequiredFields) all = all && GetWindowTextLengthA(GetDlgItem(dialog, id)) > 0;
  EnableWindow(GetDlgItem(dialog, IDOK), all ? TRUE : FALSE);
}

INT_PTR OnInit(HWND dialog, const char* parent) {
  CopyText(g_parent, sizeof g_parent, parent ? parent : "");
  for (int id : kRequiredFields) SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, kFieldChars, 0);
  EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
  return TRUE;
}

// The two end choices exclude each other.
void OnChoice(HWND dialog, int clicked, int other) {
  EnableWindow(GetDlgItem(dialog, other), Checked(dialog, clicked) ? FALSE : TRUE);
}

void OnCreate(HWND dialog) {
  char name[kFieldChars + 1], host[kFieldChars + 1], postmaster[kFieldChars + 1],
      official[kFieldChars + 1];
  ControlText(dialog, IDC_CMS_NAME, name, sizeof name);
  ControlText(dialog, IDC_CMS_HOST, host, sizeof host);
  ControlText(dialog, IDC_CMS_POSTMASTER, postmaster, sizeof postmaster);
  ControlText(dialog, IDC_CMS_OFFICIAL, official, sizeof official);

  if (HostIsTaken(host)) {
    DialogBoxParamA(ResourceModule(), "ServerExists", HostWindow(), MessageDlgProc, 0);
    return;
  }

  char full[kBrowseChars + 2];
  int n = snprintf(full, sizeof full, "%s.%s", name, g_parent);
  int r = -623;  // a name longer than the browse buffer is no name the directory takes
  if (n > 0 && n <= kBrowseChars) {
    SetBrowseText(full);
    const DSAttribute attributes[] = {
        {"Quorvel:SNMP Description", kSyntaxCIString, "Quorvel Pelmark Messaging Server", nullptr},
        {"Quorvel:SNMP Version", kSyntaxCIString, "Version 3", nullptr},
        {"Quorvel:Postmaster", kSyntaxCIString, postmaster, nullptr},
        {"Quorvel:Official Name", kSyntaxCIString, official, nullptr},
        {kHostAttribute, kSyntaxCIString, host, nullptr},
        {"Quorvel:Context", kSyntaxDistName, ".Internet Services", nullptr},
    };
    r = DSAddObject(g_snapin.browse, kMessagingServerClass, attributes,
                    static_cast<int>(sizeof attributes / sizeof attributes[0]));
  }
  if (r != 0) {
    DSShowError(dialog, r);
    EndDialog(dialog, QZX_CREATE_CANCELLED);
    return;
  }
  if (int e = SetHostBackReference(host, g_snapin.browse)) DSShowError(dialog, e);
  ControlServerModule(host, 1);
  EndDialog(dialog, Checked(dialog, IDC_CMS_MORE_PAGES) ? QZX_CREATE_OPEN_PAGES
                    : Checked(dialog, IDC_CMS_ANOTHER)  ? QZX_CREATE_ANOTHER
                                                        : QZX_CREATE_DONE);
}

INT_PTR OnCommand(HWND dialog, int id, int code) {
  switch (id) {
    case IDC_CMS_NAME:
    case IDC_CMS_POSTMASTER:
    case IDC_CMS_HOST:
    case IDC_CMS_OFFICIAL:
      if (code == EN_CHANGE) UpdateCreateButton(dialog);
      return TRUE;
    case IDC_CMS_BROWSE_HOST:
      BrowseDirectoryInto(dialog, IDC_CMS_HOST, kBrowseHostServer, g_parent, IDS_SELECT_HOST_SERVER);
      return TRUE;
    case IDC_CMS_BROWSE_POSTMASTER:
      BrowseDirectoryInto(dialog, IDC_CMS_POSTMASTER, kBrowseUser, g_parent, IDS_SELECT_POSTMASTER);
      return TRUE;
    case IDC_CMS_MORE_PAGES: OnChoice(dialog, IDC_CMS_MORE_PAGES, IDC_CMS_ANOTHER); return TRUE;
    case IDC_CMS_ANOTHER: OnChoice(dialog, IDC_CMS_ANOTHER, IDC_CMS_MORE_PAGES); return TRUE;
    case IDC_CMS_HELP: ShowPageHelp(dialog, kHelpCreateMessagingServer); return TRUE;
    case IDOK: OnCreate(dialog); return TRUE;
    case IDCANCEL: EndDialog(dialog, QZX_CREATE_CANCELLED); return TRUE;
  }
  return FALSE;
}

// The back-reference's container: where the host server lives.
int ReplaceBackReference(const char* host, const char* remove, const char* add) {
  char* container = GetParentContext(host);
  if (!container) return -632;
  int r = EditValuesOf(container, host, kBackReferenceAttribute, remove, add, kSyntaxDistName);
  free(container);
  return r;
}

}  // namespace

int SetHostBackReference(const char* host, const char* server) {
  char* container = GetParentContext(host);
  if (!container) return -632;
  StrList old = {}, wanted = {};
  DSReadValues(&old, container, host, kBackReferenceAttribute);
  StrListAdd(&wanted, server);
  int r = DSReplaceValues(&old, &wanted, container, host, kBackReferenceAttribute, kSyntaxDistName);
  StrListFree(&old);
  StrListFree(&wanted);
  free(container);
  return r;
}

int ClearHostBackReference(const char* host, const char* server) {
  return ReplaceBackReference(host, server, nullptr);
}

int HostIsTaken(const char* host) {
  char* container = GetParentContext(host);
  if (!container) return 0;
  StrList values = {};
  DSReadValues(&values, container, host, kBackReferenceAttribute);
  free(container);
  const char* server = FirstValue(&values);
  // A reference to a server deleted since would keep the host from ever
  // running another: only one that still exists takes the host.
  int taken = server[0] != '\0' && DSObjectExists(server, 0);
  StrListFree(&values);
  return taken;
}

extern "C" INT_PTR CALLBACK CreateMessagingServerDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                                         LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(dialog, reinterpret_cast<const char*>(lParam));
    case WM_COMMAND: return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
  }
  return FALSE;
}
