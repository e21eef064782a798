#include "snapins.h"

#include <cstdio>

#include "host_config.h"
#include "host_text.h"

namespace zelm::host {

namespace {

// Module-wide: the snap-ins of this process and what they registered.
std::vector<Snapin> g_snapins;
std::vector<ClassProc> g_procs;

template <class F>
F Entry(HMODULE m, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

std::string Describe(const char* what, const std::string& path, long code) {
  char n[32];
  std::snprintf(n, sizeof n, "%ld", code);
  return path + ": " + what + " (" + n + ").";
}

// Why a library did not load: a library of the other width is named as such,
// anything else with the system's error number.
std::string LoadFailure(const std::string& path, long error) {
  std::string head(4096, '\0');
  size_t got = 0;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    got = std::fread(&head[0], 1, head.size(), f);
    std::fclose(f);
  }
  head.resize(got);
  int bits = ImageBits(head);
  int own = static_cast<int>(sizeof(void*) * 8);
  if (bits != 0 && bits != own) {
    char text[160];
    std::snprintf(text, sizeof text,
                  ": a %d-bit library, which this %d-bit host cannot load; use the %d-bit zelmadmin.exe.",
                  bits, own, bits);
    return path + text;
  }
  return Describe("the library cannot be loaded", path, error);
}

void RebuildProcs() {
  g_procs.clear();
  for (int32_t i = 0, n = HXRegistrationCount(); i < n; ++i) {
    ClassProc p;
    if (HXGetRegistration(i, &p.reg) == 0) g_procs.push_back(p);
  }
}

bool Loaded(HMODULE m) {
  for (const Snapin& s : g_snapins)
    if (s.module == m && s.running) return true;
  return false;
}

}  // namespace

std::vector<std::string> ConfiguredSnapins(const std::vector<std::string>& fromCommandLine,
                                           bool withRegistry) {
  std::vector<std::string> all = fromCommandLine;
  if (withRegistry) {
    Setting s = ReadAdminSetting("Snap-ins");
    if (s.found)
      for (const std::string& p : SplitSnapinList(s.text, s.multiString)) all.push_back(p);
  }
  std::vector<std::string> out;
  for (const std::string& p : all) {
    bool seen = false;
    for (const std::string& q : out) seen = seen || SameText(p, q);
    if (!seen) out.push_back(p);
  }
  return out;
}

int LoadSnapins(const std::vector<std::string>& paths, HWND main,
                std::vector<std::string>* problems) {
  int running = 0;
  for (const std::string& path : paths) {
    Snapin s;
    s.path = path;
    s.module = LoadLibraryA(path.c_str());
    if (!s.module) {
      s.problem = LoadFailure(path, static_cast<long>(GetLastError()));
    } else if (Loaded(s.module)) {
      FreeLibrary(s.module);
      continue;  // the same library under another name
    } else {
      s.init = Entry<QZXInitSnapinProc>(s.module, "InitSnapin");
      s.postInit = Entry<QZXPostInitSnapinProc>(s.module, "PostInitSnapin");
      s.canClose = Entry<QZXCanCloseSnapinProc>(s.module, "CanCloseSnapin");
      s.shutDown = Entry<QZXShutDownProc>(s.module, "ShutDown");
      if (!s.shutDown) s.shutDown = Entry<QZXShutDownProc>(s.module, "Shutdown");
      if (!s.init) s.problem = path + ": not a snap-in (no InitSnapin).";
    }
    if (!s.problem.empty()) {
      if (s.module) FreeLibrary(s.module);
      s.module = nullptr;
      problems->push_back(s.problem);
      g_snapins.push_back(s);
      continue;
    }
    int32_t index = static_cast<int32_t>(g_snapins.size());
    HXSetSnapin(index);
    s.initResult = s.init();
    HXSetSnapin(-1);
    if (s.initResult != 0) {
      HXForgetSnapin(index);
      FreeLibrary(s.module);
      s.module = nullptr;
      s.problem = Describe("InitSnapin failed", path, s.initResult);
      problems->push_back(s.problem);
      g_snapins.push_back(s);
      continue;
    }
    s.running = true;
    g_snapins.push_back(s);
    if (s.postInit) s.postInit(main);
    ++running;
  }
  RebuildProcs();
  for (ClassProc& p : g_procs) {
    HXSetSnapin(p.reg.snapin);
    p.reg.procedure(p.reg.className, QZX_MSG_CLASS_DATA, 0, 0);
    p.flags = static_cast<uint32_t>(p.reg.procedure(p.reg.className, QZX_MSG_CLASS_FLAGS, 0, 0));
    p.kind = p.reg.procedure(p.reg.className, QZX_MSG_CLASS_KIND, 0, 0);
  }
  HXSetSnapin(-1);
  return running;
}

bool CloseSnapins(std::string* refusedBy) {
  for (const Snapin& s : g_snapins) {
    if (s.running && s.canClose && s.canClose() == 0) {
      if (refusedBy) *refusedBy = s.path;
      return false;
    }
  }
  for (const ClassProc& p : g_procs) {
    HXSetSnapin(p.reg.snapin);
    p.reg.procedure(p.reg.className, QZX_MSG_REMOVE_CLASS_DATA, 0, 0);
  }
  HXSetSnapin(-1);
  for (size_t i = g_snapins.size(); i-- > 0;) {
    Snapin& s = g_snapins[i];
    if (!s.running) continue;
    if (s.shutDown) s.shutDown();
    HXForgetSnapin(static_cast<int32_t>(i));
    FreeLibrary(s.module);
    s.module = nullptr;
    s.running = false;
  }
  g_snapins.clear();
  g_procs.clear();
  return true;
}

const std::vector<Snapin>& Snapins() { return g_snapins; }
const std::vector<ClassProc>& ClassProcs() { return g_procs; }

std::vector<ClassProc> ProcsFor(const std::string& className, int32_t selectionMode) {
  std::vector<ClassProc> out;
  for (const ClassProc& p : g_procs)
    if (p.reg.selectionMode == selectionMode && SameText(p.reg.className, className))
      out.push_back(p);
  return out;
}

std::string ClassDescription(const std::string& className) {
  HXClassData data;
  return HXGetClassData(className.c_str(), &data) == 0 ? data.description : std::string();
}

}  // namespace zelm::host
