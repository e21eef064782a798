// dsclient32.dll: directory contexts, buffers, reads, writes, lists, rights and
// server connections over either backend: the engine's database file or an
// LDAP server. Every export takes the one library lock, so calls from several
// threads are serialised.
#include "dsclient32.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "backend.h"
#include "buffer_codec.h"
#include "directory.h"
#include "textfile.h"

namespace {

using namespace zelm;
using dir::Backend;
using dir::Caller;
using dir::Directory;

constexpr size_t kMaxContexts = 4096;
constexpr uint32_t kMaxBufferSize = 64u << 20;
constexpr size_t kListChunk = 64;
constexpr const char kConfigKey[] = "Software\\Zelm\\Directory";
// A server that failed is not asked again for this long: a page's many
// reads then fail at once instead of each waiting out the timeout.
constexpr DWORD kRetryAfterMs = 5000;
constexpr int kDefaultTimeoutMs = 10000;

struct ReadIteration {
  std::string full;
  std::vector<std::string> names;  // empty: every attribute
  uint32_t infoKind = DSC_INFO_NAMES_AND_VALUES;
  size_t attribute = 0;  // next attribute to give out
  size_t value = 0;      // next value of that attribute
};

struct ListIteration {
  std::string full;
  std::string after;  // folded name of the last object given out
};

struct Iteration {
  uint32_t operation;
  ReadIteration read;
  ListIteration list;
};

// Where a context's directory is and who it acts as.
struct Location {
  std::string path;      // database file or directory address
  std::string identity;  // full name; over LDAP "" is the directory's administrator
  std::string password;  // over LDAP only
  std::string problem;   // over LDAP: why there is no password
  bool ldap = false;
};

struct Context {
  Location where;
  std::shared_ptr<Directory> engine;  // over the file
  // The directory as this context's identity sees it. Over LDAP it is
  // bound on first use, and dropped when the server failed.
  std::shared_ptr<Backend> directory;
  std::string identity;  // what DSCWhoAmI answers; over LDAP found on first use
  std::string error;     // why the last call failed
  uint32_t options = 0;
  std::string nameContext = "[Root]";
  std::map<int32_t, Iteration> iterations;
  int32_t nextIteration = 1;
};

struct Connection {
  int32_t context;
  std::string server;
  std::string address;
  bool authenticated;
};

// The LDAP server bound last, kept for the next contexts of the same
// location and login; or why it could not be, and since when.
struct LdapSlot {
  Location where;
  std::shared_ptr<Backend> backend;
  std::string identity;
  int failure = 0;
  std::string reason;
  DWORD failedAt = 0;
};

struct Library {
  std::mutex mu;
  std::map<int32_t, std::unique_ptr<Context>> contexts;
  int32_t nextContext = 1;
  std::map<uint32_t, Connection> connections;
  uint32_t nextConnection = 1;
  // The database opened last stays open, so that the one-operation contexts
  // the snap-ins use do not load it again each time.
  std::string openPath;
  std::shared_ptr<Directory> open;
  LdapSlot ldap;
  // The login given by DSCSetLogin; held in this process's memory only.
  bool loginGiven = false;
  std::string loginIdentity;
  std::string loginPassword;
};

Library& Lib() {
  static Library lib;
  return lib;
}

template <class F>
int32_t Guarded(F&& body) {
  try {
    std::lock_guard<std::mutex> lock(Lib().mu);
    return body();
  } catch (...) {
    return DSC_ERR_SYSTEM_FAILURE;
  }
}

Context* FindContext(int32_t id) {
  auto it = Lib().contexts.find(id);
  return it == Lib().contexts.end() ? nullptr : it->second.get();
}

std::string Env(const char* name) {
  char buf[1024];
  DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
  return (n > 0 && n < sizeof buf) ? std::string(buf, n) : std::string();
}

std::string RegistryValue(const char* name) {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    HKEY key;
    if (RegOpenKeyExA(root, kConfigKey, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    char buf[1024];
    DWORD size = sizeof buf - 1, type = 0;
    LONG r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) continue;
    buf[size] = '\0';
    std::string value(buf);
    if (type == REG_EXPAND_SZ) {
      char expanded[1024];
      DWORD n = ExpandEnvironmentStringsA(value.c_str(), expanded, sizeof expanded);
      if (n > 0 && n <= sizeof expanded) value = expanded;
    }
    if (!value.empty()) return value;
  }
  return std::string();
}

std::string DefaultDatabasePath() {
  std::string base = Env("APPDATA");
  if (base.empty()) {
    char path[MAX_PATH];
    if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path)))
      base = path;
  }
  if (base.empty()) base = Env("USERPROFILE");
  return base.empty() ? std::string() : base + "\\Zelm\\directory.zdb";
}

int CreateDefaultDatabase(const std::string& path) {
  if (int r = dir::MakeDirectories(dir::FolderOf(path))) return r;
  dir::TextDirectory text;
  dir::Tree tree;
  std::string error;
  if (dir::ParseText(dir::SampleDirectoryText(), &text, &error) != dir::kOk ||
      dir::BuildTree(text, &tree, &error) != dir::kOk)
    return dir::kErrSystemFailure;
  int r = Directory::Create(path, tree);
  if (r == dir::kErrEntryExists) return dir::kOk;  // another process was first
  if (r == dir::kOk) dir::MakeVolumeFolders(tree, path);
  return r;
}

// The database file or directory address a new context uses (see
// dsclient32.h); byDefault when nothing names one and the profile's default
// applies.
std::string ConfiguredPath(bool* byDefault) {
  std::string path = Env("ZELM_DIRECTORY");
  if (path.empty()) path = RegistryValue("Database");
  *byDefault = path.empty();
  return *byDefault ? DefaultDatabasePath() : path;
}

// The first line of the file ZELM_LDAP_PASSWORD_FILE names: how tests and
// scripts give a password without a command line. false when it names a
// file that cannot be read or holds a longer line than a password may be.
bool PasswordFromFile(std::string* password, std::string* error) {
  password->clear();
  const std::string file = Env("ZELM_LDAP_PASSWORD_FILE");
  if (file.empty()) return true;
  HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *error = "cannot read the password file " + file;
    return false;
  }
  char buf[DSC_PASSWORD_BYTES + 2];
  DWORD n = 0;
  BOOL ok = ReadFile(h, buf, sizeof buf, &n, nullptr);
  CloseHandle(h);
  std::string text(buf, ok ? n : 0);
  text = text.substr(0, text.find_first_of("\r\n"));
  if (!ok || text.size() >= DSC_PASSWORD_BYTES) {
    *error = "the password file " + file + " holds no password of at most " +
             std::to_string(DSC_PASSWORD_BYTES - 1) + " characters";
    return false;
  }
  *password = text;
  return true;
}

std::string WithoutLeadingDot(std::string name) {
  if (!name.empty() && name.front() == '.') name.erase(0, 1);
  return name;
}

// The database or server, identity and password a new context gets (see
// dsclient32.h). The database file is opened here; an LDAP server only on
// first use.
int OpenConfigured(Context* c) {
  Library& lib = Lib();
  bool byDefault = false;
  Location& where = c->where;
  where.path = ConfiguredPath(&byDefault);
  if (where.path.empty()) return DSC_ERR_NO_CONTEXT;
  where.ldap = dir::IsDirectoryAddress(where.path);

  std::string who = lib.loginGiven ? lib.loginIdentity : Env("ZELM_IDENTITY");
  if (!lib.loginGiven && who.empty()) who = RegistryValue("Identity");
  if (where.ldap) {
    where.identity = WithoutLeadingDot(who);
    if (lib.loginGiven) where.password = lib.loginPassword;
    else PasswordFromFile(&where.password, &where.problem);
    return dir::kOk;
  }

  if (!lib.open || lib.openPath != where.path) {
    // A configured database that is missing is an error, not a reason to
    // make an empty one at a mistyped path.
    if (byDefault && !dir::PathExists(where.path))
      if (int r = CreateDefaultDatabase(where.path)) return r;
    std::unique_ptr<Directory> d;
    if (int r = Directory::Open(where.path, &d)) return r;
    lib.open = std::move(d);
    lib.openPath = where.path;
  }
  c->engine = lib.open;
  if (who.empty()) c->engine->GetSetting(dir::kSettingIdentity, &who);
  where.identity = c->identity = WithoutLeadingDot(who);
  c->directory = dir::EngineBackend(c->engine, where.path, Caller::As(where.identity));
  return dir::kOk;
}

int TimeoutMs() {
  int ms = std::atoi(Env("ZELM_LDAP_TIMEOUT_MS").c_str());
  return ms > 0 ? ms : kDefaultTimeoutMs;
}

bool SameLocation(const Location& a, const Location& b) {
  return a.path == b.path && a.identity == b.identity && a.password == b.password;
}

// The context's directory: over LDAP bound on first use (or the one bound
// last for the same server and login). 0, or the code with the reason in
// c->error.
int Use(Context* c, Backend** out) {
  *out = c->directory.get();
  if (*out) return 0;
  LdapSlot& slot = Lib().ldap;
  if (!slot.backend || !SameLocation(slot.where, c->where)) {
    if (SameLocation(slot.where, c->where) && slot.failure &&
        GetTickCount() - slot.failedAt < kRetryAfterMs) {
      c->error = slot.reason;
      return slot.failure;
    }
    slot = LdapSlot();
    slot.where = c->where;
    std::unique_ptr<Backend> b;
    std::string why;
    if (c->where.password.empty()) {
      slot.failure = DSC_ERR_NO_ACCESS;
      why = !c->where.problem.empty()
                ? c->where.problem
                : "no login for " +
                      (c->where.identity.empty() ? std::string("the directory's administrator")
                                                 : c->where.identity) +
                      ": give one (DSCSetLogin, or ZELM_LDAP_PASSWORD_FILE)";
    } else {
      slot.failure = dir::OpenBackend(c->where.path, c->where.identity, c->where.password, false,
                                      &b, &why, TimeoutMs());
    }
    if (slot.failure) {
      slot.reason = c->where.path + ": " + why;
      slot.failedAt = GetTickCount();
      c->error = slot.reason;
      return slot.failure;
    }
    slot.backend = std::move(b);
    // The administrator acts as the directory's supervisor.
    slot.identity = c->where.identity;
    if (slot.identity.empty()) slot.backend->GetSetting(dir::kSettingSupervisor, &slot.identity);
    slot.identity = WithoutLeadingDot(slot.identity);
  }
  c->directory = slot.backend;
  c->identity = slot.identity;
  *out = c->directory.get();
  return 0;
}

// Records why a call on c failed. A server that failed is dropped, so the
// next call binds again (after kRetryAfterMs) instead of waiting on it.
int32_t Done(Context* c, int r) {
  if (r == 0) return 0;
  if (c->directory) {
    c->error = c->directory->lastError();
    if (c->where.ldap && !c->error.empty()) c->error = c->where.path + ": " + c->error;
  }
  if (c->error.empty()) c->error = dir::ResultText(r);
  if (r == DSC_ERR_SYSTEM_FAILURE && c->where.ldap && c->directory) {
    LdapSlot& slot = Lib().ldap;
    if (slot.backend == c->directory) {
      slot.backend.reset();
      slot.failure = r;
      slot.reason = c->error;
      slot.failedAt = GetTickCount();
    }
    c->directory.reset();
  }
  return r;
}

// Runs op on the context's directory, recording why it failed.
template <class Op>
int32_t With(Context* c, Op op) {
  Backend* d = nullptr;
  int r = Use(c, &d);
  if (r == 0) r = op(d);
  return Done(c, r);
}

int Resolve(const Context* c, const char* name, std::string* full) {
  if (!name) return DSC_ERR_INVALID_REQUEST;
  return dir::ResolveName(c->nameContext, name, full);
}

bool ValidNameContext(const std::string& text) {
  if (text.size() > DSC_NAME_BYTES + 1) return false;
  if (text.empty() || dir::SameText(text, dir::kRootName)) return true;
  std::string_view body = text;
  if (body.front() == '.') body.remove_prefix(1);
  if (!body.empty() && body.back() == '.') body.remove_suffix(1);
  return body.empty() || dir::CheckFullName(body) == dir::kOk;
}

void CopyOut(char* out, const std::string& text) {
  std::memcpy(out, text.c_str(), text.size() + 1);
}

}  // namespace

extern "C" {

int32_t DSCCreateContext(void) {
  return Guarded([]() -> int32_t {
    Library& lib = Lib();
    if (lib.contexts.size() >= kMaxContexts) return DSC_ERR_NO_CONTEXT;
    auto c = std::make_unique<Context>();
    if (OpenConfigured(c.get()) != dir::kOk) return DSC_ERR_NO_CONTEXT;
    while (lib.nextContext <= 0 || lib.contexts.count(lib.nextContext))
      lib.nextContext = lib.nextContext <= 0 ? 1 : lib.nextContext + 1;
    int32_t id = lib.nextContext++;
    lib.contexts[id] = std::move(c);
    return id;
  });
}

int32_t DSCFreeContext(int32_t context) {
  return Guarded([&]() -> int32_t {
    Library& lib = Lib();
    if (!lib.contexts.erase(context)) return DSC_ERR_INVALID_REQUEST;
    for (auto it = lib.connections.begin(); it != lib.connections.end();)
      it = it->second.context == context ? lib.connections.erase(it) : std::next(it);
    return 0;
  });
}

int32_t DSCGetContextKey(int32_t context, int32_t key, void* value) {
  return Guarded([&]() -> int32_t {
    Context* c = FindContext(context);
    if (!c || !value) return DSC_ERR_INVALID_REQUEST;
    if (key == DSC_KEY_OPTIONS) {
      *static_cast<uint32_t*>(value) = c->options;
      return 0;
    }
    if (key == DSC_KEY_NAME_CONTEXT) {
      CopyOut(static_cast<char*>(value), c->nameContext);
      return 0;
    }
    return DSC_ERR_INVALID_REQUEST;
  });
}

int32_t DSCSetContextKey(int32_t context, int32_t key, const void* value) {
  return Guarded([&]() -> int32_t {
    Context* c = FindContext(context);
    if (!c || !value) return DSC_ERR_INVALID_REQUEST;
    if (key == DSC_KEY_OPTIONS) {
      c->options = *static_cast<const uint32_t*>(value);
      return 0;
    }
    if (key == DSC_KEY_NAME_CONTEXT) {
      const char* text = static_cast<const char*>(value);
      std::string name(text, strnlen(text, DSC_NAME_BYTES + 2));
      if (name.size() > DSC_NAME_BYTES + 1 || !ValidNameContext(name)) return DSC_ERR_BAD_NAME;
      c->nameContext = name;
      return 0;
    }
    return DSC_ERR_INVALID_REQUEST;
  });
}

int32_t DSCAllocBuffer(uint32_t size, DSCBuffer** buffer) {
  if (!buffer) return DSC_ERR_INVALID_REQUEST;
  *buffer = nullptr;
  if (size > kMaxBufferSize) return DSC_ERR_INVALID_REQUEST;
  // One block: the record, then its data.
  void* block = ::operator new(sizeof(DSCBuffer) + size, std::nothrow);
  if (!block) return DSC_ERR_SYSTEM_FAILURE;
  DSCBuffer* b = static_cast<DSCBuffer*>(block);
  std::memset(b, 0, sizeof *b);
  b->size = size;
  b->data = reinterpret_cast<unsigned char*>(b + 1);
  *buffer = b;
  return 0;
}

int32_t DSCFreeBuffer(DSCBuffer* buffer) {
  ::operator delete(buffer);
  return 0;
}

int32_t DSCInitBuffer(int32_t context, uint32_t operation, DSCBuffer* buffer) {
  return Guarded([&]() -> int32_t {
    if (!FindContext(context)) return DSC_ERR_INVALID_REQUEST;
    return dsc::PrepareBuffer(buffer, operation);
  });
}

int32_t DSCPutAttributeName(int32_t context, DSCBuffer* buffer, const char* name) {
  return Guarded([&]() -> int32_t {
    if (!FindContext(context)) return DSC_ERR_INVALID_REQUEST;
    return dsc::PutAttributeName(buffer, name);
  });
}

int32_t DSCPutChange(int32_t context, DSCBuffer* buffer, uint32_t change, const char* name) {
  return Guarded([&]() -> int32_t {
    if (!FindContext(context)) return DSC_ERR_INVALID_REQUEST;
    return dsc::PutChange(buffer, change, name);
  });
}

int32_t DSCPutValue(int32_t context, DSCBuffer* buffer, uint32_t syntax, const char* value) {
  return Guarded([&]() -> int32_t {
    if (!FindContext(context)) return DSC_ERR_INVALID_REQUEST;
    return dsc::PutValue(buffer, syntax, value);
  });
}

int32_t DSCRead(int32_t context, const char* object, uint32_t infoKind, int32_t allAttributes,
                DSCBuffer* names, int32_t* iteration, DSCBuffer* result) {
  return Guarded([&]() -> int32_t {
    Context* c = FindContext(context);
    if (!c || !result || !iteration || infoKind > DSC_INFO_NAMES_AND_VALUES)
      return DSC_ERR_INVALID_REQUEST;
    ReadIteration state;
    auto existing = c->iterations.end();
    if (*iteration == DSC_NO_ITERATION) {
      if (int r = Resolve(c, object, &state.full)) return r;
      if (!allAttributes) {
        if (int r = dsc::DecodeNames(names, &state.names)) return r;
        if (state.names.empty()) return DSC_ERR_INVALID_REQUEST;
      }
      state.infoKind = infoKind;
    } else {
      existing = c->iterations.find(*iteration);
      if (existing == c->iterations.end() || existing->second.operation != DSC_OP_READ)
        return DSC_ERR_INVALID_REQUEST;
      state = existing->second.read;
    }
    // Any failure but a small buffer ends the iteration, so a caller that
    // loops until the handle is -1 stops.
    auto end = [&](int32_t r) {
      if (existing != c->iterations.end()) c->iterations.erase(existing);
      *iteration = DSC_NO_ITERATION;
      return r;
    };

    std::vector<dir::AttributeValues> values;
    if (int r = With(c, [&](Backend* d) { return d->Read(state.full, state.names, &values); }))
      return end(r);

    dsc::ResultWriter out(result, DSC_OP_READ);
    bool full = result->size < 4;
    size_t a = state.attribute, v = state.value;
    // An item's syntax is the one its values were written with; values of
    // one attribute written with different syntaxes come as one item per run.
    auto syntaxOf = [](const dir::AttributeValues& av, size_t i) {
      return i < av.syntaxes.size() ? av.syntaxes[i] : av.syntax;
    };
    for (; !full && a < values.size(); ++a, v = 0) {
      const dir::AttributeValues& av = values[a];
      const size_t head = 12 + av.name.size();
      if (state.infoKind == DSC_INFO_NAMES) {
        if (out.room() < head) { full = true; break; }
        out.Text(av.name);
        out.U32(syntaxOf(av, 0));
        out.U32(0);
        out.EndItem();
        continue;
      }
      while (v < av.values.size()) {
        if (out.room() < head + 4 + av.values[v].size()) { full = true; break; }
        const uint32_t syntax = syntaxOf(av, v);
        out.Text(av.name);
        out.U32(syntax);
        uint32_t countAt = out.Reserve();
        uint32_t n = 0;
        for (; v < av.values.size() && syntaxOf(av, v) == syntax &&
               out.room() >= 4 + av.values[v].size();
             ++v, ++n)
          out.Text(av.values[v]);
        out.Patch(countAt, n);
        out.EndItem();
        if (v < av.values.size() && syntaxOf(av, v) == syntax) { full = true; break; }
      }
      if (full) break;
    }
    out.Finish();
    if (full && out.count() == 0) return DSC_ERR_INSUFFICIENT_BUFFER;
    if (!full) return end(0);
    state.attribute = a;
    state.value = v;
    if (existing != c->iterations.end()) {
      existing->second.read = state;
    } else {
      int32_t id = c->nextIteration++;
      c->iterations[id] = Iteration{DSC_OP_READ, state, {}};
      *iteration = id;
    }
    return 0;
  });
}

int32_t DSCGetAttributeCount(int32_t context, DSCBuffer* result, uint32_t* count) {
  return Guarded([&]() -> int32_t {
    if (!FindContext(context)) return DSC_ERR_INVALID_REQUEST;
    return dsc::ResultCount(result, DSC_OP_READ, count);
  });
}

int32_t DSCGetAttributeName(int32_t context, DSCBuffer* result, char* name, uint32_t* valueCount,
                            uint32_t* syntax) {
  return Guarded([&]() -> int32_t {
    if (!FindContext(context) || !name) return DSC_ERR_INVALID_REQUEST;
    return dsc::TakeAttribute(result, name, valueCount, syntax);
  });
}

int32_t DSCGetValue(int32_t context, DSCBuffer* result, uint32_t syntax, char* value) {
  return Guarded([&]() -> int32_t {
    if (!FindContext(context)) return DSC_ERR_INVALID_REQUEST;
    return dsc::TakeValue(result, value);
  });
}

int32_t DSCAddObject(int32_t context, const char* object, int32_t* iteration, int32_t moreToCome,
                     DSCBuffer* request) {
  return Guarded([&]() -> int32_t {
    Context* c = FindContext(context);
    if (!c) return DSC_ERR_INVALID_REQUEST;
    std::vector<dir::AttributeIn> attrs;
    if (int r = dsc::DecodeAdd(request, &attrs)) return r;
    std::string full;
    if (int r = Resolve(c, object, &full)) return r;
    return With(c, [&](Backend* d) { return d->Add(full, attrs); });
  });
}

int32_t DSCModifyObject(int32_t context, const char* object, int32_t* iteration,
                        int32_t moreToCome, DSCBuffer* request) {
  return Guarded([&]() -> int32_t {
    Context* c = FindContext(context);
    if (!c) return DSC_ERR_INVALID_REQUEST;
    std::vector<dir::Change> changes;
    if (int r = dsc::DecodeModify(request, &changes)) return r;
    std::string full;
    if (int r = Resolve(c, object, &full)) return r;
    return With(c, [&](Backend* d) { return d->Modify(full, changes); });
  });
}

int32_t DSCReadObjectInfo(int32_t context, const char* object, DSCObjectInfo* info,
                          char* distinguishedName) {
  return Guarded([&]() -> int32_t {
    Context* c = FindContext(context);
    if (!c) return DSC_ERR_INVALID_REQUEST;
    std::string full;
    if (int r = Resolve(c, object, &full)) return r;
    dir::ObjectInfo o;
    if (int r = With(c, [&](Backend* d) { return d->Describe(full, &o); })) return r;
    if (info) {
      info->flags = o.container ? DSC_OBJECT_CONTAINER : 0;
      info->subordinateCount = o.subordinates;
      CopyOut(info->className, o.className);
    }
    if (distinguishedName)
      CopyOut(distinguishedName, o.full.empty() ? std::string(dir::kRootName) : o.full);
    return 0;
  });
}

int32_t DSCList(int32_t context, const char* container, int32_t* iteration, DSCBuffer* result) {
  return Guarded([&]() -> int32_t {
    Context* c = FindContext(context);
    if (!c || !result || !iteration) return DSC_ERR_INVALID_REQUEST;
    ListIteration state;
    auto existing = c->iterations.end();
    if (*iteration == DSC_NO_ITERATION) {
      if (int r = Resolve(c, container, &state.full)) return r;
    } else {
      existing = c->iterations.find(*iteration);
      if (existing == c->iterations.end() || existing->second.operation != DSC_OP_LIST)
        return DSC_ERR_INVALID_REQUEST;
      state = existing->second.list;
    }
    auto end = [&](int32_t r) {
      if (existing != c->iterations.end()) c->iterations.erase(existing);
      *iteration = DSC_NO_ITERATION;
      return r;
    };

    dsc::ResultWriter out(result, DSC_OP_LIST);
    bool full = result->size < 4;
    bool more = true;
    while (!full && more) {
      std::vector<dir::ObjectInfo> page;
      if (int r = With(c, [&](Backend* d) {
            return d->List(state.full, state.after, kListChunk, &page, &more);
          }))
        return end(r);
      for (const dir::ObjectInfo& o : page) {
        std::string_view leaf = dir::LeafName(o.full);
        if (out.room() < 20 + leaf.size() + o.className.size()) {
          full = true;
          break;
        }
        out.Text(leaf);
        out.U32(o.attributeCount);
        out.U32(o.container ? DSC_OBJECT_CONTAINER : 0);
        out.U32(o.subordinates);
        out.Text(o.className);
        out.EndItem();
        state.after = dir::Fold(leaf);
      }
    }
    out.Finish();
    if (full && out.count() == 0) return DSC_ERR_INSUFFICIENT_BUFFER;
    if (!full) return end(0);
    if (existing != c->iterations.end()) {
      existing->second.list = state;
    } else {
      int32_t id = c->nextIteration++;
      c->iterations[id] = Iteration{DSC_OP_LIST, {}, state};
      *iteration = id;
    }
    return 0;
  });
}

int32_t DSCGetObjectCount(int32_t context, DSCBuffer* result, uint32_t* count) {
  return Guarded([&]() -> int32_t {
    if (!FindContext(context)) return DSC_ERR_INVALID_REQUEST;
    return dsc::ResultCount(result, DSC_OP_LIST, count);
  });
}

int32_t DSCGetObjectName(int32_t context, DSCBuffer* result, char* name, uint32_t* attributeCount,
                         DSCObjectInfo* info) {
  return Guarded([&]() -> int32_t {
    if (!FindContext(context) || !name) return DSC_ERR_INVALID_REQUEST;
    return dsc::TakeObject(result, name, attributeCount, info);
  });
}

int32_t DSCCloseIteration(int32_t context, int32_t iteration, uint32_t operation) {
  return Guarded([&]() -> int32_t {
    Context* c = FindContext(context);
    if (!c) return DSC_ERR_INVALID_REQUEST;
    if (iteration == DSC_NO_ITERATION) return 0;
    return c->iterations.erase(iteration) ? 0 : DSC_ERR_INVALID_REQUEST;
  });
}

int32_t DSCGetEffectiveRights(int32_t context, const char* trustee, const char* object,
                              const char* attribute, uint32_t* rights) {
  return Guarded([&]() -> int32_t {
    Context* c = FindContext(context);
    if (!c || !attribute || !rights) return DSC_ERR_INVALID_REQUEST;
    *rights = 0;
    std::string full;
    if (int r = Resolve(c, object, &full)) return r;
    return With(c, [&](Backend* d) {
      return d->EffectiveRights(trustee ? trustee : "", full, attribute, rights);
    });
  });
}

int32_t DSCOpenConnection(int32_t context, const char* server, uint32_t* connection) {
  return Guarded([&]() -> int32_t {
    Context* c = FindContext(context);
    if (!c || !connection) return DSC_ERR_INVALID_REQUEST;
    *connection = 0;
    std::string full;
    if (int r = Resolve(c, server, &full)) return r;
    std::vector<dir::AttributeValues> values;
    if (int r = With(c, [&](Backend* d) {
          return d->Read(full, {"Object Class", "Network Address"}, &values);
        }))
      return r;
    if (values[0].name != "Object Class" || !dir::SameText(values[0].values[0], "HVX Server"))
      return DSC_ERR_INVALID_REQUEST;
    if (values.size() < 2) return DSC_ERR_NO_SUCH_ATTRIBUTE;
    Library& lib = Lib();
    while (lib.nextConnection == 0 || lib.connections.count(lib.nextConnection)) ++lib.nextConnection;
    uint32_t id = lib.nextConnection++;
    lib.connections[id] = Connection{context, full, values[1].values[0], false};
    *connection = id;
    return 0;
  });
}

int32_t DSCAuthenticateConnection(int32_t context, uint32_t connection) {
  return Guarded([&]() -> int32_t {
    Context* c = FindContext(context);
    auto it = Lib().connections.find(connection);
    if (!c || it == Lib().connections.end() || it->second.context != context)
      return DSC_ERR_INVALID_REQUEST;
    // Over LDAP the bind proved the identity; over the file it must name a user.
    dir::ObjectInfo who;
    Backend* d = nullptr;
    if (int r = Use(c, &d)) return Done(c, r);
    int r = c->identity.empty() ? DSC_ERR_NO_ACCESS
            : c->engine         ? c->engine->Describe(Caller::System(), c->identity, &who)
                                : d->Describe(c->identity, &who);
    if (r != dir::kOk || who.className != "User") return DSC_ERR_NO_ACCESS;
    it->second.authenticated = true;
    return 0;
  });
}

int32_t DSCRemoveObject(int32_t context, const char* object) {
  return Guarded([&]() -> int32_t {
    Context* c = FindContext(context);
    if (!c) return DSC_ERR_INVALID_REQUEST;
    std::string full;
    if (int r = Resolve(c, object, &full)) return r;
    return With(c, [&](Backend* d) { return d->Remove(full); });
  });
}

int32_t DSCSetRights(int32_t context, const char* object, const char* trustee, const char* scope,
                     uint32_t rights) {
  return Guarded([&]() -> int32_t {
    Context* c = FindContext(context);
    if (!c || !trustee || !scope) return DSC_ERR_INVALID_REQUEST;
    std::string full;
    if (int r = Resolve(c, object, &full)) return r;
    return With(c, [&](Backend* d) { return d->SetGrant(full, trustee, scope, rights); });
  });
}

int32_t DSCGetConnectionAddress(uint32_t connection, char* address, uint32_t size) {
  return Guarded([&]() -> int32_t {
    auto it = Lib().connections.find(connection);
    if (it == Lib().connections.end() || !address) return DSC_ERR_INVALID_REQUEST;
    if (!it->second.authenticated) return DSC_ERR_NO_ACCESS;
    if (it->second.address.size() + 1 > size) return DSC_ERR_INSUFFICIENT_BUFFER;
    CopyOut(address, it->second.address);
    return 0;
  });
}

int32_t DSCCloseConnection(int32_t context, uint32_t connection) {
  return Guarded([&]() -> int32_t {
    auto it = Lib().connections.find(connection);
    if (it == Lib().connections.end() || it->second.context != context)
      return DSC_ERR_INVALID_REQUEST;
    Lib().connections.erase(it);
    return 0;
  });
}

int32_t DSCGetDatabasePath(char* path, uint32_t size) {
  return Guarded([&]() -> int32_t {
    if (!path || size == 0) return DSC_ERR_INVALID_REQUEST;
    bool byDefault = false;
    std::string configured = ConfiguredPath(&byDefault);
    if (configured.size() >= size) return DSC_ERR_INSUFFICIENT_BUFFER;
    CopyOut(path, configured);
    return 0;
  });
}

int32_t DSCSetLogin(const char* identity, const char* password) {
  return Guarded([&]() -> int32_t {
    Library& lib = Lib();
    if (!identity) {
      lib.loginGiven = false;
      lib.loginIdentity.clear();
      lib.loginPassword.clear();
      return 0;
    }
    std::string full;
    if (*identity && dir::ResolveName("", identity, &full) != dir::kOk) return DSC_ERR_BAD_NAME;
    if (!password || strnlen(password, DSC_PASSWORD_BYTES) >= DSC_PASSWORD_BYTES)
      return DSC_ERR_INVALID_REQUEST;
    lib.loginGiven = true;
    lib.loginIdentity = full;
    lib.loginPassword = password;
    return 0;
  });
}

int32_t DSCGetErrorText(int32_t context, char* text, uint32_t size) {
  return Guarded([&]() -> int32_t {
    Context* c = FindContext(context);
    if (!c || !text || size == 0) return DSC_ERR_INVALID_REQUEST;
    if (c->error.size() >= size) return DSC_ERR_INSUFFICIENT_BUFFER;
    CopyOut(text, c->error);
    return 0;
  });
}

int32_t DSCWhoAmI(int32_t context, char* identity) {
  return Guarded([&]() -> int32_t {
    Context* c = FindContext(context);
    if (!c || !identity) return DSC_ERR_INVALID_REQUEST;
    Backend* d = nullptr;
    if (int r = Use(c, &d)) return Done(c, r);  // over LDAP the bind tells who
    CopyOut(identity, c->identity);
    return 0;
  });
}

}  // extern "C"
