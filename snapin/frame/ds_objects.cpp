// Creating objects, testing that they exist, and walking the services
// container: the directory operations of tarq alone.
#include <stdio.h>

#include "ds_access.h"
#include "ds_buffers.h"
#include "messages.h"
#include "names.h"
#include "snapin_state.h"

namespace {

const char kServices[] = ".Internet Services";

// Puts one attribute of a new object: its name, then each non-empty value.
int PutAttribute(DSContext context, DSCBuffer** request, const DSAttribute& a) {
  const char* single[1] = {a.value};
  const char* const* values = single;
  int32_t count = 1;
  if (a.values) {
    values = a.values->items;
    count = a.values->count;
  }
  bool named = false;
  for (int32_t i = 0; i < count; ++i) {
    if (!values || !values[i] || !values[i][0]) continue;
    if (!named) {
      if (int r = frame::PutName(context, request, a.name)) return r;
      named = true;
    }
    if (int r = frame::PutValue(context, request, static_cast<uint32_t>(a.syntax), values[i])) return r;
  }
  return 0;
}

// 1 when one of the object's "Quorvel:Context" values is context.
int ServesContext(const char* object, const char* context) {
  StrList values = {};
  DSReadValues(&values, "[Root]", object, "Quorvel:Context");
  int found = 0;
  for (int32_t i = 0; i < values.count && !found; ++i) found = SameText(values.items[i], context);
  StrListFree(&values);
  return found;
}

// The first services object serving context, copied into out; 1 when found.
int FindServiceFor(const char* context, char* out, size_t capacity) {
  StrList services = {};
  int found = 0;
  if (ListServiceObjects(&services)) {
    for (int32_t i = 0; i < services.count && !found; ++i) {
      if (ServesContext(services.items[i], context))
        found = CopyText(out, capacity, services.items[i]);
    }
  }
  StrListFree(&services);
  return found;
}

}  // namespace

int DSAddObject(const char* fullName, const char* className, const DSAttribute* attributes,
                int count) {
  DSContext context = DSOpenContext(nullptr);
  if (context < 0) return context;
  DSCBuffer* request = frame::NewBuffer(context, kDSAddBufferBytes, DSC_OP_ADD_OBJECT);
  int r = request ? 0 : DSC_ERR_INSUFFICIENT_BUFFER;
  if (r == 0) r = frame::PutName(context, &request, "Object Class");
  if (r == 0) r = frame::PutValue(context, &request, kSyntaxClassName, className);
  for (int i = 0; r == 0 && attributes && i < count; ++i) r = PutAttribute(context, &request, attributes[i]);
  if (r == 0) r = DSCAddObject(context, fullName, nullptr, 0, request);
  frame::FreeBuffer(request);
  DSCloseContext(context);
  return r;
}

int DSObjectExists(const char* name, int showDialog) {
  DSContext context = DSOpenContext(nullptr);
  if (context < 0) return 0;
  DSCObjectInfo info;
  char distinguished[DSC_NAME_BYTES];
  int r = DSCReadObjectInfo(context, name, &info, distinguished);
  DSCloseContext(context);
  if (r != 0) return 0;
  if (showDialog)
    DialogBoxParamA(ResourceModule(), "ObjectExists", g_snapin.hostWindow, MessageDlgProc, 0);
  return 1;
}

int ListServiceObjects(StrList* list) {
  DSContext context = DSOpenContext("[Root]");
  if (context < 0) return 0;
  DSCBuffer* result = frame::NewBuffer(context, kDSBufferBytes, 0);
  int ok = 0;
  int32_t iteration = DSC_NO_ITERATION;
  while (result) {
    int r = DSCList(context, kServices, &iteration, result);
    while (r == DSC_ERR_INSUFFICIENT_BUFFER && frame::Grow(&result) == 0)
      r = DSCList(context, kServices, &iteration, result);
    if (r != 0) {
      DSCCloseIteration(context, iteration, DSC_OP_LIST);
      break;
    }
    uint32_t count = 0;
    DSCGetObjectCount(context, result, &count);
    for (uint32_t i = 0; i < count; ++i) {
      char name[DSC_NAME_BYTES];
      uint32_t attributes = 0;
      DSCObjectInfo info;
      if (DSCGetObjectName(context, result, name, &attributes, &info) != 0) continue;
      char full[DSC_NAME_BYTES + sizeof kServices + 1];
      snprintf(full, sizeof full, ".%s%s", name, kServices);
      StrListAdd(list, full);
    }
    if (iteration == DSC_NO_ITERATION) {
      ok = 1;
      break;
    }
  }
  frame::FreeBuffer(result);
  DSCloseContext(context);
  return ok;
}

int FindHostForContext(const char* context, StrList* hostList) {
  char server[DSC_NAME_BYTES + sizeof kServices + 1];
  if (!context || !FindServiceFor(context, server, sizeof server)) return 0;
  DSReadValues(hostList, "[Root]", server, "Quorvel:Host");
  return 1;
}

int FindServerForObject(const char* objectName, StrList* serverList) {
  char context[kBrowseChars + 2];
  char server[DSC_NAME_BYTES + sizeof kServices + 1];
  if (!ServerContextOf(objectName, context, sizeof context)) return 0;
  if (!FindServiceFor(context, server, sizeof server)) return 0;
  StrListAdd(serverList, server);
  return 1;
}
