#include "host_directory.h"

#include <windows.h>

#include "dsclient32.h"
#include "host_text.h"

namespace zelm::host {

namespace {

constexpr uint32_t kBufferStep = 4096;

// Why the last ReadEntry failed, in the directory client's words.
std::string g_lastProblem;
// A result that will not fit this is not the directory's (values are at most
// 1,027 bytes); it ends the read rather than growing for ever.
constexpr uint32_t kBufferLimit = 16u << 20;

// One context for one operation, released by its destructor.
class Context {
 public:
  Context() : handle_(DSCCreateContext()) {
    if (handle_ > 0) DSCSetContextKey(handle_, DSC_KEY_NAME_CONTEXT, "[Root]");
  }
  ~Context() {
    if (handle_ > 0) DSCFreeContext(handle_);
  }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
  int32_t handle() const { return handle_; }
  bool ok() const { return handle_ > 0; }
  int error() const { return handle_ > 0 ? 0 : handle_; }

 private:
  int32_t handle_;
};

// A request or result buffer that grows by 4,096 bytes when the client asks.
class Buffer {
 public:
  explicit Buffer(uint32_t size) {
    if (DSCAllocBuffer(size, &buffer_) != 0) buffer_ = nullptr;
  }
  ~Buffer() {
    if (buffer_) DSCFreeBuffer(buffer_);
  }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  DSCBuffer* get() const { return buffer_; }
  bool Grow() {
    if (!buffer_ || buffer_->size + kBufferStep > kBufferLimit) return false;
    DSCBuffer* bigger = nullptr;
    if (DSCAllocBuffer(buffer_->size + kBufferStep, &bigger) != 0) return false;
    if (DSCBufferCopy(bigger, buffer_) != 0) {
      DSCFreeBuffer(bigger);
      return false;
    }
    DSCFreeBuffer(buffer_);
    buffer_ = bigger;
    return true;
  }

 private:
  DSCBuffer* buffer_ = nullptr;
};

// Reads attributes (all, or the one named) of an object, calling `take` with
// each attribute name and value as the result comes in.
template <class Take>
int ReadObject(const std::string& full, const char* attribute, Take take) {
  Context ctx;
  if (!ctx.ok()) return ctx.error();
  Buffer names(kBufferStep), result(kBufferStep);
  if (!names.get() || !result.get()) return DSC_ERR_SYSTEM_FAILURE;
  DSCInitBuffer(ctx.handle(), DSC_OP_READ, names.get());
  DSCInitBuffer(ctx.handle(), DSC_OP_READ, result.get());
  if (attribute) {
    int r;
    while ((r = DSCPutAttributeName(ctx.handle(), names.get(), attribute)) == DSC_ERR_BUFFER_FULL)
      if (!names.Grow()) return r;
    if (r) return r;
  }
  std::string object = ClientName(full);
  int32_t iteration = DSC_NO_ITERATION;
  do {
    int r = DSCRead(ctx.handle(), object.c_str(), DSC_INFO_NAMES_AND_VALUES, attribute ? 0 : 1,
                    names.get(), &iteration, result.get());
    if (r == DSC_ERR_INSUFFICIENT_BUFFER) {
      if (!result.Grow()) {
        if (iteration != DSC_NO_ITERATION)
          DSCCloseIteration(ctx.handle(), iteration, DSC_OP_READ);
        return r;
      }
      continue;
    }
    if (r) return r;
    uint32_t count = 0;
    DSCGetAttributeCount(ctx.handle(), result.get(), &count);
    for (uint32_t a = 0; a < count; ++a) {
      char name[DSC_SCHEMA_NAME_BYTES];
      uint32_t values = 0, syntax = 0;
      if (DSCGetAttributeName(ctx.handle(), result.get(), name, &values, &syntax) != 0) break;
      for (uint32_t v = 0; v < values; ++v) {
        char value[DSC_VALUE_BYTES];
        if (DSCGetValue(ctx.handle(), result.get(), syntax, value) != 0) break;
        take(name, value);
      }
    }
  } while (iteration != DSC_NO_ITERATION);
  return 0;
}

}  // namespace

std::string ClientName(const std::string& full) {
  return full.empty() ? std::string(kRootText) : "." + full;
}

int ListChildren(const std::string& container, std::vector<DirEntry>* out) {
  Context ctx;
  if (!ctx.ok()) return ctx.error();
  Buffer result(kBufferStep);
  if (!result.get()) return DSC_ERR_SYSTEM_FAILURE;
  std::string name = ClientName(container);
  int32_t iteration = DSC_NO_ITERATION;
  do {
    DSCInitBuffer(ctx.handle(), DSC_OP_LIST, result.get());
    int r = DSCList(ctx.handle(), name.c_str(), &iteration, result.get());
    if (r == DSC_ERR_INSUFFICIENT_BUFFER) {
      if (!result.Grow()) {
        if (iteration != DSC_NO_ITERATION) DSCCloseIteration(ctx.handle(), iteration, DSC_OP_LIST);
        return r;
      }
      continue;
    }
    if (r) return r;
    uint32_t count = 0;
    DSCGetObjectCount(ctx.handle(), result.get(), &count);
    for (uint32_t i = 0; i < count; ++i) {
      char leaf[DSC_NAME_BYTES];
      uint32_t attributes = 0;
      DSCObjectInfo info = {};
      if (DSCGetObjectName(ctx.handle(), result.get(), leaf, &attributes, &info) != 0) break;
      DirEntry e;
      e.full = JoinName(leaf, container);
      e.className = info.className;
      e.container = (info.flags & DSC_OBJECT_CONTAINER) != 0;
      e.subordinates = info.subordinateCount;
      out->push_back(e);
    }
  } while (iteration != DSC_NO_ITERATION);
  return 0;
}

int ReadEntry(const std::string& full, DirEntry* out) {
  Context ctx;
  if (!ctx.ok()) return ctx.error();
  DSCObjectInfo info = {};
  char dn[DSC_NAME_BYTES];
  std::string name = ClientName(full);
  if (int r = DSCReadObjectInfo(ctx.handle(), name.c_str(), &info, dn)) {
    char text[1024] = "";
    g_lastProblem = DSCGetErrorText(ctx.handle(), text, sizeof text) == 0 ? text : "";
    return r;
  }
  out->full = full.empty() ? std::string() : NormalizeName(dn);
  out->className = info.className;
  out->container = (info.flags & DSC_OBJECT_CONTAINER) != 0 || full.empty();
  out->subordinates = info.subordinateCount;
  return 0;
}

int ReadValues(const std::string& full, const char* attribute, std::vector<std::string>* out) {
  int r = ReadObject(full, attribute,
                     [out](const char*, const char* value) { out->push_back(value); });
  return r == DSC_ERR_NO_SUCH_ATTRIBUTE ? 0 : r;
}

int ReadAllAttributes(const std::string& full, std::vector<AttributeValues>* out) {
  return ReadObject(full, nullptr, [out](const char* name, const char* value) {
    if (out->empty() || out->back().name != name) out->push_back({name, {}});
    out->back().values.push_back(value);
  });
}

int RemoveObject(const std::string& full) {
  Context ctx;
  if (!ctx.ok()) return ctx.error();
  std::string name = ClientName(full);
  return DSCRemoveObject(ctx.handle(), name.c_str());
}

int EffectiveRights(const std::string& full, const char* scope, uint32_t* rights) {
  Context ctx;
  if (!ctx.ok()) return ctx.error();
  std::string name = ClientName(full);
  *rights = 0;
  int r = DSCGetEffectiveRights(ctx.handle(), "", name.c_str(), scope, rights);
  return r < 0 ? r : 0;
}

bool CanWriteObject(const std::string& full) {
  uint32_t rights = 0;
  return EffectiveRights(full, "[All Attributes Rights]", &rights) == 0 &&
         (rights & DSC_ATTR_WRITE) != 0;
}

int WhoAmI(std::string* identity) {
  Context ctx;
  if (!ctx.ok()) return ctx.error();
  char who[DSC_NAME_BYTES] = {};
  if (int r = DSCWhoAmI(ctx.handle(), who)) return r;
  *identity = NormalizeName(who);
  return 0;
}

std::string LastProblem() { return g_lastProblem; }

bool DirectoryIsServer() {
  const std::string where = ConfiguredDatabasePath();
  return where.size() > 7 && SameText(where.substr(0, 7), "ldap://");
}

int SetLogin(const std::string& identity, const std::string& password) {
  return DSCSetLogin(identity.c_str(), password.c_str());
}

void ForgetLogin() { DSCSetLogin(nullptr, nullptr); }

std::string ConfiguredDatabasePath() {
  char path[1024];
  return DSCGetDatabasePath(path, sizeof path) == 0 ? std::string(path) : std::string();
}

}  // namespace zelm::host
