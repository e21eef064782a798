// What the snap-ins' directory layer does with dsclient32, written once for
// the tests: the functions by ordinal, contexts opened the snap-ins' way, and
// reads and writes that grow their buffers by 4,096 bytes on -304 and -649.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "dsclient32.h"

namespace zelm::dsctest {

struct Api {
  decltype(&DSCCreateContext) createContext;
  decltype(&DSCFreeContext) freeContext;
  decltype(&DSCGetContextKey) getContextKey;
  decltype(&DSCSetContextKey) setContextKey;
  decltype(&DSCInitBuffer) initBuffer;
  decltype(&DSCAllocBuffer) allocBuffer;
  decltype(&DSCFreeBuffer) freeBuffer;
  decltype(&DSCGetAttributeCount) getAttributeCount;
  decltype(&DSCGetObjectCount) getObjectCount;
  decltype(&DSCGetAttributeName) getAttributeName;
  decltype(&DSCGetObjectName) getObjectName;
  decltype(&DSCPutAttributeName) putAttributeName;
  decltype(&DSCPutChange) putChange;
  decltype(&DSCPutValue) putValue;
  decltype(&DSCGetValue) getValue;
  decltype(&DSCList) list;
  decltype(&DSCAddObject) addObject;
  decltype(&DSCModifyObject) modifyObject;
  decltype(&DSCRead) read;
  decltype(&DSCReadObjectInfo) readObjectInfo;
  decltype(&DSCCloseIteration) closeIteration;
  decltype(&DSCGetEffectiveRights) getEffectiveRights;
  decltype(&DSCOpenConnection) openConnection;
  decltype(&DSCAuthenticateConnection) authenticateConnection;
  decltype(&DSCRemoveObject) removeObject;
  decltype(&DSCSetRights) setRights;
  decltype(&DSCGetConnectionAddress) getConnectionAddress;
  decltype(&DSCCloseConnection) closeConnection;
  decltype(&DSCWhoAmI) whoAmI;
  decltype(&DSCSetLogin) setLogin;
  decltype(&DSCGetErrorText) getErrorText;
};

template <class F>
bool ByOrdinal(HMODULE m, int ordinal, F* out) {
  FARPROC p = GetProcAddress(m, MAKEINTRESOURCEA(ordinal));
  *out = reinterpret_cast<F>(reinterpret_cast<void*>(p));
  return p != nullptr;
}

// Every function by its ordinal, as the snap-ins import them.
inline bool LoadApi(HMODULE m, Api* a) {
  bool ok = true;
  ok &= ByOrdinal(m, DSC_ORD_CREATE_CONTEXT, &a->createContext);
  ok &= ByOrdinal(m, DSC_ORD_FREE_CONTEXT, &a->freeContext);
  ok &= ByOrdinal(m, DSC_ORD_GET_CONTEXT_KEY, &a->getContextKey);
  ok &= ByOrdinal(m, DSC_ORD_SET_CONTEXT_KEY, &a->setContextKey);
  ok &= ByOrdinal(m, DSC_ORD_INIT_BUFFER, &a->initBuffer);
  ok &= ByOrdinal(m, DSC_ORD_ALLOC_BUFFER, &a->allocBuffer);
  ok &= ByOrdinal(m, DSC_ORD_FREE_BUFFER, &a->freeBuffer);
  ok &= ByOrdinal(m, DSC_ORD_GET_ATTRIBUTE_COUNT, &a->getAttributeCount);
  ok &= ByOrdinal(m, DSC_ORD_GET_OBJECT_COUNT, &a->getObjectCount);
  ok &= ByOrdinal(m, DSC_ORD_GET_ATTRIBUTE_NAME, &a->getAttributeName);
  ok &= ByOrdinal(m, DSC_ORD_GET_OBJECT_NAME, &a->getObjectName);
  ok &= ByOrdinal(m, DSC_ORD_PUT_ATTRIBUTE_NAME, &a->putAttributeName);
  ok &= ByOrdinal(m, DSC_ORD_PUT_CHANGE, &a->putChange);
  ok &= ByOrdinal(m, DSC_ORD_PUT_VALUE, &a->putValue);
  ok &= ByOrdinal(m, DSC_ORD_GET_VALUE, &a->getValue);
  ok &= ByOrdinal(m, DSC_ORD_LIST, &a->list);
  ok &= ByOrdinal(m, DSC_ORD_ADD_OBJECT, &a->addObject);
  ok &= ByOrdinal(m, DSC_ORD_MODIFY_OBJECT, &a->modifyObject);
  ok &= ByOrdinal(m, DSC_ORD_READ, &a->read);
  ok &= ByOrdinal(m, DSC_ORD_READ_OBJECT_INFO, &a->readObjectInfo);
  ok &= ByOrdinal(m, DSC_ORD_CLOSE_ITERATION, &a->closeIteration);
  ok &= ByOrdinal(m, DSC_ORD_GET_EFFECTIVE_RIGHTS, &a->getEffectiveRights);
  ok &= ByOrdinal(m, DSC_ORD_OPEN_CONNECTION, &a->openConnection);
  ok &= ByOrdinal(m, DSC_ORD_AUTHENTICATE_CONNECTION, &a->authenticateConnection);
  ok &= ByOrdinal(m, DSC_ORD_REMOVE_OBJECT, &a->removeObject);
  ok &= ByOrdinal(m, DSC_ORD_SET_RIGHTS, &a->setRights);
  ok &= ByOrdinal(m, DSC_ORD_GET_CONNECTION_ADDRESS, &a->getConnectionAddress);
  ok &= ByOrdinal(m, DSC_ORD_CLOSE_CONNECTION, &a->closeConnection);
  ok &= ByOrdinal(m, DSC_ORD_WHO_AM_I, &a->whoAmI);
  ok &= ByOrdinal(m, DSC_ORD_SET_LOGIN, &a->setLogin);
  ok &= ByOrdinal(m, DSC_ORD_GET_ERROR_TEXT, &a->getErrorText);
  return ok;
}

struct AttributeSpec {
  std::string name;
  uint32_t syntax;
  std::vector<std::string> values;
};

class Layer {
 public:
  explicit Layer(const Api& api) : api_(api) {}

  int grows = 0;   // buffer enlargements so far
  int rounds = 0;  // read or list results taken so far

  // Create, name context [Root], option bits | 0x47, then the container.
  int32_t OpenContext(const char* container) const {
    int32_t ctx = api_.createContext();
    if (ctx < 0) return ctx;
    api_.setContextKey(ctx, DSC_KEY_NAME_CONTEXT, "[Root]");
    uint32_t options = 0;
    api_.getContextKey(ctx, DSC_KEY_OPTIONS, &options);
    options |= 0x47;
    api_.setContextKey(ctx, DSC_KEY_OPTIONS, &options);
    if (container) api_.setContextKey(ctx, DSC_KEY_NAME_CONTEXT, container);
    return ctx;
  }

  bool Grow(DSCBuffer** b) {
    DSCBuffer* bigger = nullptr;
    if (api_.allocBuffer((*b)->size + 4096, &bigger) != 0) return false;
    DSCBufferCopy(bigger, *b);
    api_.freeBuffer(*b);
    *b = bigger;
    ++grows;
    return true;
  }

  template <class Put>
  int PutGrowing(DSCBuffer** b, Put put) {
    for (;;) {
      uint32_t at = (*b)->length;
      int r = put(*b);
      if (r != DSC_ERR_BUFFER_FULL) return r;
      (*b)->length = at;
      if (!Grow(b)) return r;
    }
  }

  // All values of one attribute; *result the first failing read's code.
  std::vector<std::string> ReadValues(const char* container, const char* object,
                                      const char* attribute, uint32_t bufferSize = 4096,
                                      int* result = nullptr,
                                      std::vector<uint32_t>* syntaxes = nullptr) {
    std::vector<std::string> values;
    int32_t ctx = OpenContext(container);
    if (ctx < 0) {
      if (result) *result = ctx;
      return values;
    }
    DSCBuffer *request = nullptr, *reply = nullptr;
    api_.allocBuffer(bufferSize, &request);
    api_.allocBuffer(bufferSize, &reply);
    api_.initBuffer(ctx, DSC_OP_READ, request);
    api_.initBuffer(ctx, DSC_OP_READ, reply);
    int r = PutGrowing(&request, [&](DSCBuffer* b) { return api_.putAttributeName(ctx, b, attribute); });
    int32_t iteration = DSC_NO_ITERATION;
    while (r == 0) {
      r = api_.read(ctx, object, DSC_INFO_NAMES_AND_VALUES, 0, request, &iteration, reply);
      while (r == DSC_ERR_INSUFFICIENT_BUFFER && Grow(&reply))
        r = api_.read(ctx, object, DSC_INFO_NAMES_AND_VALUES, 0, request, &iteration, reply);
      if (r != 0) break;
      ++rounds;
      uint32_t count = 0;
      api_.getAttributeCount(ctx, reply, &count);
      for (uint32_t i = 0; i < count; ++i) {
        char name[DSC_SCHEMA_NAME_BYTES];
        uint32_t n = 0, syntax = 0;
        if (api_.getAttributeName(ctx, reply, name, &n, &syntax) != 0) break;
        char value[DSC_VALUE_BYTES];
        for (uint32_t k = 0; k < n && api_.getValue(ctx, reply, syntax, value) == 0; ++k) {
          values.push_back(value);
          if (syntaxes) syntaxes->push_back(syntax);
        }
      }
      if (iteration == DSC_NO_ITERATION) break;
    }
    if (result) *result = r;
    api_.freeBuffer(request);
    api_.freeBuffer(reply);
    api_.freeContext(ctx);
    return values;
  }

  // Old values matched (ignoring case) in the new list stay; the others are
  // removed; new values left are added. One modify request.
  int ReplaceValues(const std::vector<std::string>& oldValues, std::vector<std::string> newValues,
                    const char* container, const char* object, const char* attribute,
                    uint32_t syntax, uint32_t bufferSize = 4096) {
    int32_t ctx = OpenContext(container);
    if (ctx < 0) return ctx;
    DSCBuffer* b = nullptr;
    api_.allocBuffer(bufferSize, &b);
    api_.initBuffer(ctx, DSC_OP_MODIFY_OBJECT, b);
    std::vector<bool> kept(newValues.size(), false);
    int r = 0;
    auto change = [&](uint32_t code, const std::string& v) {
      if (r == 0) r = PutGrowing(&b, [&](DSCBuffer* x) { return api_.putChange(ctx, x, code, attribute); });
      if (r == 0) r = PutGrowing(&b, [&](DSCBuffer* x) { return api_.putValue(ctx, x, syntax, v.c_str()); });
    };
    for (const std::string& old : oldValues) {
      size_t i = 0;
      while (i < newValues.size() && (kept[i] || lstrcmpiA(newValues[i].c_str(), old.c_str()) != 0)) ++i;
      if (i < newValues.size()) kept[i] = true;
      else change(DSC_CHANGE_REMOVE_VALUE, old);
    }
    for (size_t i = 0; i < newValues.size(); ++i)
      if (!kept[i] && !newValues[i].empty()) change(DSC_CHANGE_ADD_VALUE, newValues[i]);
    if (r == 0) r = api_.modifyObject(ctx, object, nullptr, 0, b);
    api_.freeBuffer(b);
    api_.freeContext(ctx);
    return r;
  }

  int AddObject(const char* fullName, const char* className, const std::vector<AttributeSpec>& attrs,
                uint32_t bufferSize = 8192) {
    int32_t ctx = OpenContext(nullptr);
    if (ctx < 0) return ctx;
    DSCBuffer* b = nullptr;
    api_.allocBuffer(bufferSize, &b);
    api_.initBuffer(ctx, DSC_OP_ADD_OBJECT, b);
    int r = 0;
    auto put = [&](const std::string& name, uint32_t syntax, const std::vector<std::string>& values) {
      if (r == 0) r = PutGrowing(&b, [&](DSCBuffer* x) { return api_.putAttributeName(ctx, x, name.c_str()); });
      for (const std::string& v : values)
        if (r == 0) r = PutGrowing(&b, [&](DSCBuffer* x) { return api_.putValue(ctx, x, syntax, v.c_str()); });
    };
    put("Object Class", DSC_SYNTAX_CLASS_NAME, {className});
    for (const AttributeSpec& a : attrs) put(a.name, a.syntax, a.values);
    if (r == 0) r = api_.addObject(ctx, fullName, nullptr, 0, b);
    api_.freeBuffer(b);
    api_.freeContext(ctx);
    return r;
  }

  // Names of the objects directly under a container, following iterations.
  std::vector<std::string> List(const char* container, uint32_t bufferSize = 4096,
                                int* result = nullptr) {
    std::vector<std::string> names;
    int32_t ctx = OpenContext("[Root]");
    DSCBuffer* reply = nullptr;
    api_.allocBuffer(bufferSize, &reply);
    int32_t iteration = DSC_NO_ITERATION;
    int r;
    do {
      r = api_.list(ctx, container, &iteration, reply);
      if (r != 0) break;
      ++rounds;
      uint32_t count = 0;
      api_.getObjectCount(ctx, reply, &count);
      char name[DSC_NAME_BYTES];
      DSCObjectInfo info;
      for (uint32_t i = 0; i < count; ++i)
        if (api_.getObjectName(ctx, reply, name, nullptr, &info) == 0) names.push_back(name);
    } while (iteration != DSC_NO_ITERATION);
    if (r != 0) api_.closeIteration(ctx, iteration, DSC_OP_LIST);
    if (result) *result = r;
    api_.freeBuffer(reply);
    api_.freeContext(ctx);
    return names;
  }

 private:
  const Api& api_;
};

}  // namespace zelm::dsctest
