#include "page_support.h"

#include <string.h>

#include "ds_access.h"
#include "messages.h"
#include "names.h"
#include "object_protocol.h"
#include "snapin_state.h"

const char* FirstValue(const StrList* list) {
  if (!list || list->count < 1 || !list->items[0]) return "";
  return list->items[0];
}

int FlagIsOn(const StrList* list) { return FirstValue(list)[0] == '1'; }

int ReadOwnValues(StrList* list, const char* attribute) {
  StrListFree(list);
  return DSReadValues(list, g_snapin.pageContainer, g_snapin.currentObject, attribute);
}

int CanWriteOwn(const char* attribute) {
  return DSCanWrite(g_snapin.pageContainer, g_snapin.currentObject, attribute);
}

int WriteOwnValues(StrList* old, const char* attribute, const StrList* wanted, int syntax) {
  StrList fresh = {};
  for (int32_t i = 0; wanted && i < wanted->count; ++i) StrListAdd(&fresh, wanted->items[i]);
  int r = DSReplaceValues(old, &fresh, g_snapin.pageContainer, g_snapin.currentObject, attribute,
                          syntax);
  StrListFree(&fresh);
  if (r == 0) ReadOwnValues(old, attribute);
  return r;
}

int WriteOwnValue(StrList* old, const char* attribute, const char* value, int syntax) {
  StrList wanted = {};
  StrListAdd(&wanted, value);
  int r = WriteOwnValues(old, attribute, &wanted, syntax);
  StrListFree(&wanted);
  return r;
}

int WriteOwnFlag(StrList* old, const char* attribute, int on) {
  return WriteOwnValue(old, attribute, on ? "1" : "0", kSyntaxCIString);
}

int EditValuesOf(const char* container, const char* name, const char* attribute,
                 const char* remove, const char* add, int syntax) {
  StrList old = {}, wanted = {};
  DSReadValues(&old, container, name, attribute);
  int present = 0;
  for (int32_t i = 0; i < old.count; ++i) {
    const char* v = old.items[i];
    if (!v || (remove && SameObject(v, remove))) continue;
    if (add && SameObject(v, add)) present = 1;
    StrListAdd(&wanted, v);
  }
  if (add && !present) StrListAdd(&wanted, add);
  int r = DSReplaceValues(&old, &wanted, container, name, attribute, syntax);
  StrListFree(&old);
  StrListFree(&wanted);
  return r;
}

namespace {

const char kClients[] = "Quorvel:Client";

const char* ReferenceContainer(const char* store) {
  return DSObjectExists(store, 0) ? "[Root]" : g_snapin.pageContainer;
}

bool StillNamed(const char* store) {
  const char* roles[] = {"Quorvel:ZELM Queue Server", "Quorvel:ZELM Server"};
  bool named = false;
  for (const char* role : roles) {
    StrList values = {};
    ReadOwnValues(&values, role);
    for (int32_t i = 0; i < values.count && !named; ++i) named = SameObject(values.items[i], store);
    StrListFree(&values);
  }
  return named;
}

}  // namespace

int AddClientTo(const char* store) {
  return EditValuesOf(ReferenceContainer(store), store, kClients, nullptr, g_snapin.currentObject,
                      kSyntaxDistName);
}

int RemoveClientFrom(const char* store) {
  if (StillNamed(store)) return 0;
  return EditValuesOf(ReferenceContainer(store), store, kClients, g_snapin.currentObject, nullptr,
                      kSyntaxDistName);
}

void EnableControls(HWND page, const int* ids, int count, int enable) {
  for (int i = 0; i < count; ++i) EnableWindow(GetDlgItem(page, ids[i]), enable ? TRUE : FALSE);
}

const char* ControlText(HWND page, int id, char* out, int capacity) {
  if (!out || capacity <= 0) return "";
  out[0] = '\0';
  GetDlgItemTextA(page, id, out, capacity);
  return out;
}

void FocusControl(HWND page, int id) {
  if (HWND control = GetDlgItem(page, id)) SetFocus(control);
}

int ShowPageMessage(HWND window, int textId, int captionId, UINT icon, int focusId) {
  char text[kErrorTextChars], caption[kErrorCaptionChars];
  LoadResourceText(textId, text, sizeof text);
  LoadResourceText(captionId, caption, sizeof caption);
  int answer = MessageBoxA(window, text, caption, MB_OK | icon);
  if (focusId) FocusControl(window, focusId);
  return answer;
}

void ShowWriteError(HWND window, int code, int focusId) {
  DSShowError(window, code);
  if (focusId) FocusControl(window, focusId);
}

int SameObject(const char* a, const char* b) {
  if (!a || !b) return a == b;
  if (*a == '.') ++a;
  if (*b == '.') ++b;
  return SameText(a, b);
}
