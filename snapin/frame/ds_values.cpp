// Contexts, reading and replacing one attribute's values, write rights: the
// part of the directory layer both snap-ins carry.
#include "ds_access.h"

#include <stdlib.h>

#include "ds_buffers.h"
#include "names.h"

namespace {

// Takes the values of every attribute in a read result into list. False
// when a value could not be taken: the caller ends the iteration there.
bool TakeValues(DSContext context, DSCBuffer* result, StrList* list) {
  uint32_t count = 0;
  if (DSCGetAttributeCount(context, result, &count) != 0) return false;
  for (uint32_t i = 0; i < count; ++i) {
    char name[DSC_SCHEMA_NAME_BYTES];
    uint32_t values = 0, syntax = 0;
    if (DSCGetAttributeName(context, result, name, &values, &syntax) != 0) return false;
    for (uint32_t k = 0; k < values; ++k) {
      char value[kDSValueBytes];
      if (DSCGetValue(context, result, syntax, value) != 0) return false;
      value[kDSValueBytes - 1] = '\0';
      StrListAdd(list, value);
    }
  }
  return true;
}

}  // namespace

DSContext DSOpenContext(const char* container) {
  DSContext context = DSCCreateContext();
  if (context < 0) return context;
  DSCSetContextKey(context, DSC_KEY_NAME_CONTEXT, "[Root]");
  uint32_t options = 0;
  DSCGetContextKey(context, DSC_KEY_OPTIONS, &options);
  options |= 0x47;
  DSCSetContextKey(context, DSC_KEY_OPTIONS, &options);
  if (container) {
    if (int r = DSCSetContextKey(context, DSC_KEY_NAME_CONTEXT, container)) {
      DSCFreeContext(context);
      return r;
    }
  }
  return context;
}

void DSCloseContext(DSContext context) {
  if (context > 0) DSCFreeContext(context);
}

int DSReadValues(StrList* list, const char* container, const char* object, const char* attribute) {
  if (!list) return 0;
  DSContext context = DSOpenContext(container);
  if (context < 0) return 0;
  DSCBuffer* request = frame::NewBuffer(context, kDSBufferBytes, DSC_OP_READ);
  DSCBuffer* result = frame::NewBuffer(context, kDSBufferBytes, DSC_OP_READ);
  if (request && result && frame::PutName(context, &request, attribute) == 0) {
    int32_t iteration = DSC_NO_ITERATION;
    for (;;) {
      int r = DSCRead(context, object, DSC_INFO_NAMES_AND_VALUES, 0, request, &iteration, result);
      while (r == DSC_ERR_INSUFFICIENT_BUFFER && frame::Grow(&result) == 0)
        r = DSCRead(context, object, DSC_INFO_NAMES_AND_VALUES, 0, request, &iteration, result);
      if (r != 0 || !TakeValues(context, result, list) || iteration == DSC_NO_ITERATION) break;
    }
    if (iteration != DSC_NO_ITERATION) DSCCloseIteration(context, iteration, DSC_OP_READ);
  }
  frame::FreeBuffer(request);
  frame::FreeBuffer(result);
  DSCloseContext(context);
  return list->count;
}

int DSReplaceValues(const StrList* oldList, StrList* newList, const char* container,
                    const char* object, const char* attribute, int syntax) {
  DSContext context = DSOpenContext(container);
  if (context < 0) return context;
  DSCBuffer* request = frame::NewBuffer(context, kDSBufferBytes, DSC_OP_MODIFY_OBJECT);
  int r = request ? 0 : DSC_ERR_INSUFFICIENT_BUFFER;
  auto change = [&](uint32_t code, const char* value) {
    if (r == 0) r = frame::PutChange(context, &request, code, attribute);
    if (r == 0) r = frame::PutValue(context, &request, static_cast<uint32_t>(syntax), value);
  };
  for (int32_t i = 0; oldList && i < oldList->count; ++i) {
    const char* old = oldList->items[i];
    if (!old || !old[0]) continue;
    int32_t k = 0;
    while (newList && k < newList->count && !(newList->items[k] && SameText(newList->items[k], old))) ++k;
    if (newList && k < newList->count) {
      free(newList->items[k]);  // the value stays in the directory
      newList->items[k] = nullptr;
    } else {
      change(DSC_CHANGE_REMOVE_VALUE, old);
    }
  }
  for (int32_t k = 0; newList && k < newList->count; ++k)
    if (newList->items[k] && newList->items[k][0]) change(DSC_CHANGE_ADD_VALUE, newList->items[k]);
  // A request that could not be built whole is not sent: half a change
  // would leave the attribute in a state nobody asked for.
  if (r == 0) r = DSCModifyObject(context, object, nullptr, 0, request);
  frame::FreeBuffer(request);
  DSCloseContext(context);
  return r;
}

int DSCanWrite(const char* container, const char* object, const char* attribute) {
  DSContext context = DSOpenContext(container);
  if (context < 0) return 0;
  uint32_t rights = 0;
  int r = DSCGetEffectiveRights(context, nullptr, object, attribute, &rights);
  DSCloseContext(context);
  return r >= 0 && (rights & DSC_ATTR_WRITE) != 0;
}
