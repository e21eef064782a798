#include "attributes_page.h"

#include <commctrl.h>

#include "admin_ids.h"
#include "host_directory.h"
#include "host_text.h"
#include "hostext32.h"

namespace zelm::host {

namespace {

std::string g_object;  // module-wide: one sheet is open at a time

void AddRow(HWND list, const std::string& name, const std::string& value) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  item.pszText = const_cast<char*>(name.c_str());
  int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  LVITEMA sub = {};
  sub.iSubItem = 1;
  sub.pszText = const_cast<char*>(value.c_str());
  SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
}

void OnInit(HWND page) {
  SetDlgItemTextA(page, IDC_AT_NAME, ShownName(g_object).c_str());
  HWND list = GetDlgItem(page, IDC_AT_LIST);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  RECT rc;
  GetClientRect(list, &rc);
  int width = rc.right - GetSystemMetrics(SM_CXVSCROLL);
  LVCOLUMNA c = {};
  c.mask = LVCF_TEXT | LVCF_WIDTH;
  c.pszText = const_cast<char*>("Attribute");
  c.cx = width * 2 / 5;
  SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&c));
  c.pszText = const_cast<char*>("Value");
  c.cx = width - width * 2 / 5;
  SendMessageA(list, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&c));

  std::vector<AttributeValues> attributes;
  if (int r = ReadAllAttributes(g_object, &attributes)) {
    AddRow(list, "(not readable)", DirectoryErrorLine(r));
    return;
  }
  for (const AttributeValues& a : attributes)
    for (size_t i = 0; i < a.values.size(); ++i) AddRow(list, i ? std::string() : a.name, a.values[i]);
}

}  // namespace

void SetAttributesPageObject(const std::string& full) { g_object = full; }

INT_PTR CALLBACK AttributesPageProc(HWND page, UINT msg, WPARAM, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: OnInit(page); return TRUE;
    case QZX_PAGE_APPLY: return 1;  // nothing to write
  }
  return FALSE;
}

}  // namespace zelm::host
