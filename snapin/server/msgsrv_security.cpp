// "MsgSrvSecurity": the SSL options of the messaging server, one bit per box.
#include <stdio.h>
#include <stdlib.h>

#include "frame.h"
#include "msgsrv_object.h"
#include "page_support.h"
#include "tarq_ids.h"
#include "server_procs.h"

namespace {

const char kSSLOptions[] = "Quorvel:SSL Options";

// The option bits and their boxes: drives both load and apply.
const struct {
  unsigned bit;
  int box;
} kOptionBoxes[] = {
    {1, IDC_MSS_CLIENT_CERTS},  // X.509 client certificates (only with SSLv3)
    {2, IDC_MSS_SSLV2},
    {4, IDC_MSS_SSLV3},
};

const int kWriteControls[] = {IDC_MSS_SSLV2,     IDC_MSS_SSLV3,     IDC_MSS_CLIENT_CERTS,
                              IDC_MSS_CERT_EDIT, IDC_MSS_CERT_SPIN, IDC_MSS_CERT_LIST};

struct SecurityPage {
  StrList options;  // as stored; freed when the page closes
  int writable;
};
SecurityPage g_page;

bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

// Client certificates ride on SSLv3: the box is offered only with it, but a
// tick it holds stays (and is stored) while it is greyed out.
void UpdateClientCertificates(HWND page) {
  EnableWindow(GetDlgItem(page, IDC_MSS_CLIENT_CERTS),
               g_page.writable && Checked(page, IDC_MSS_SSLV3) ? TRUE : FALSE);
}

INT_PTR OnInit(HWND page) {
  StrListFree(&g_page.options);
  BeginPage(page);
  g_page.writable = CanWriteOwn(kSSLOptions);
  if (!g_page.writable)
    EnableControls(page, kWriteControls, static_cast<int>(sizeof kWriteControls / sizeof(int)), 0);
  ReadOwnValues(&g_page.options, kSSLOptions);
  unsigned long bits = strtoul(FirstValue(&g_page.options), nullptr, 10);
  for (const auto& o : kOptionBoxes)
    CheckDlgButton(page, o.box, (bits & o.bit) ? BST_CHECKED : BST_UNCHECKED);
  UpdateClientCertificates(page);
  return TRUE;
}

INT_PTR OnCommand(HWND page, int id, int code) {
  if (code != BN_CLICKED) return FALSE;
  switch (id) {
    case IDC_MSS_SSLV3:
      UpdateClientCertificates(page);
      MarkPageChanged(page);
      return TRUE;
    case IDC_MSS_SSLV2:
    case IDC_MSS_CLIENT_CERTS: MarkPageChanged(page); return TRUE;
  }
  return FALSE;
}

INT_PTR OnApply(HWND page) {
  if (!g_page.writable) return 1;
  unsigned bits = 0;
  for (const auto& o : kOptionBoxes)
    if (Checked(page, o.box)) bits |= o.bit;
  char value[16];
  snprintf(value, sizeof value, "%u", bits);
  if (int r = WriteOwnValue(&g_page.options, kSSLOptions, value, kSyntaxCIString)) {
    ShowWriteError(page, r, IDC_MSS_SSLV2);
    return 0;
  }
  return 1;
}

}  // namespace

extern "C" INT_PTR CALLBACK MessagingServerSecurityDlgProc(HWND page, UINT message, WPARAM wParam,
                                                           LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInit(page);
    case WM_COMMAND: return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
    case QZX_PAGE_APPLY: return OnApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpSecurity);
    case WM_CLOSE: StrListFree(&g_page.options); return FALSE;
  }
  return FALSE;
}
