#include "callbacks.h"

#include <string.h>

#include "ds_access.h"
#include "names.h"
#include "object_protocol.h"
#include "snapin_state.h"
#include "strlist.h"

namespace {

const char kServicesContext[] = ".Internet Services";

struct Filters {
  int32_t key;  // browse type or control kind
  int count;
  const char* names[2];
};

const Filters kBrowseFilters[] = {
    {kBrowseHostServer, 1, {"HVX Server", nullptr}},
    {kBrowseUser, 1, {"User", nullptr}},
    {kBrowseDirectory, 1, {"Directory", nullptr}},
    {kBrowseStoreAgent, 1, {"Quorvel:ZELM Agent", nullptr}},
    {kBrowseContainer, 2, {"Organization", "Organizational Unit"}},
    {kBrowseConnMgr, 1, {"TARQ:ConnMgr Agent", nullptr}},
};

struct MvedKind {
  int32_t kind;
  const char* attribute;
  Filters filters;
};

const MvedKind kMvedKinds[] = {
    {kMvedContexts, "Quorvel:Context", {0, 2, {"Organization", "Organizational Unit"}}},
    {kMvedDomains, "Quorvel:Domain", {0, 0, {nullptr, nullptr}}},
    {kMvedResolvers, "Quorvel:Resolver", {0, 0, {nullptr, nullptr}}},
    {kMvedStoreServers, "Quorvel:ZELM Server", {0, 1, {"Quorvel:ZELM Agent", nullptr}}},
    {kMvedUserDomains, "TARQ:User Domain", {0, 0, {nullptr, nullptr}}},
};

const Filters* BrowseRow(int32_t type) {
  for (const Filters& f : kBrowseFilters)
    if (f.key == type) return &f;
  return nullptr;
}

const MvedKind* MvedRow(int32_t kind) {
  for (const MvedKind& k : kMvedKinds)
    if (k.kind == kind) return &k;
  return nullptr;
}

const char* FilterAt(const Filters* f, intptr_t index) {
  if (!f || index < 0 || index >= f->count) return nullptr;
  return f->names[index];
}

// Copies at most the first capacity-1 characters of a text that may lack its
// NUL within capacity bytes.
void CopyBounded(char* out, size_t capacity, const char* text, size_t textBytes) {
  size_t n = text ? strnlen(text, textBytes) : 0;
  if (n >= capacity) n = capacity - 1;
  if (n) memcpy(out, text, n);
  out[n] = '\0';
}

// 0x300: the kind's attribute, read afresh into the list.
int32_t ReadKind(StrList* list) {
  const MvedKind* row = MvedRow(list->tag);
  // The list is the page's old values for its apply: a second read must
  // replace them, not add them twice.
  StrListFree(list);
  if (!row) return 0;
  if (!g_snapin.pageContainer[0]) DerivePageContainer();
  if (row->kind != kMvedContexts)
    return DSReadValues(list, g_snapin.pageContainer, g_snapin.currentObject, row->attribute);
  char owner[kBrowseChars + 2];
  if (!ContextOwnerOf(g_snapin.currentObject, owner, sizeof owner)) return 0;
  int count = DSReadValues(list, g_snapin.pageContainer, owner, row->attribute);
  // A server serving only the services container itself shows no contexts.
  if (count == 1 && SameText(list->items[0], kServicesContext)) return 0;
  return count;
}

}  // namespace

int BrowseFilterCount(int32_t browseType) {
  const Filters* f = BrowseRow(browseType);
  return f ? f->count : -1;
}

const char* BrowseFilterName(int32_t browseType, intptr_t index) {
  return FilterAt(BrowseRow(browseType), index);
}

int MvedFilterCount(int32_t kind) {
  const MvedKind* k = MvedRow(kind);
  return k ? k->filters.count : 0;
}

const char* MvedFilterName(int32_t kind, intptr_t index) {
  const MvedKind* k = MvedRow(kind);
  return k ? FilterAt(&k->filters, index) : nullptr;
}

const char* MvedAttribute(int32_t kind) {
  const MvedKind* k = MvedRow(kind);
  return k ? k->attribute : nullptr;
}

int ContextOwnerOf(const char* name, char* out, size_t capacity) {
  if (!name) name = "";
  const char* dot = strchr(name, '.');
  return CopyText(out, capacity, dot ? dot : name);
}

extern "C" int32_t QZXAPI DSLaunchProc(int32_t browseType, uint32_t message, intptr_t param3,
                                       intptr_t param4) {
  switch (message) {
    case QZX_BROWSE_PICKED:
      if (param4)
        CopyBounded(g_snapin.browse, sizeof g_snapin.browse,
                    reinterpret_cast<const QZXObjectRecord*>(param4)->name, QZX_NAME_BYTES);
      break;
    case QZX_BROWSE_FILTER_COUNT: {
      int count = BrowseFilterCount(browseType);
      if (param3 && count >= 0) *reinterpret_cast<int32_t*>(param3) = count;
      break;
    }
    case QZX_BROWSE_FILTER: {
      const char* name = BrowseFilterName(browseType, param3);
      if (param4 && name) CopyText(reinterpret_cast<char*>(param4), QZX_CLASS_NAME_BYTES, name);
      break;
    }
  }
  return 0;
}

extern "C" int32_t QZXAPI MvedProc(void* list, uint32_t message, intptr_t param3, intptr_t param4) {
  StrList* values = static_cast<StrList*>(list);
  if (!values) return 0;
  switch (message) {
    case QZX_BROWSE_FILTER_COUNT:
      if (param3) *reinterpret_cast<int32_t*>(param3) = MvedFilterCount(values->tag);
      break;
    case QZX_BROWSE_FILTER: {
      const char* name = MvedFilterName(values->tag, param3);
      if (param4 && name) CopyText(reinterpret_cast<char*>(param4), QZX_CLASS_NAME_BYTES, name);
      break;
    }
    case QZX_MVED_READ: {
      int32_t count = ReadKind(values);
      if (param3) *reinterpret_cast<int32_t*>(param3) = count;
      break;
    }
    case QZX_MVED_VALUE:
      if (param4 && param3 >= 0 && param3 < values->count && values->items[param3])
        CopyBounded(reinterpret_cast<char*>(param4), QZX_VALUE_BYTES, values->items[param3],
                    static_cast<size_t>(-1));
      break;
  }
  return 0;
}
