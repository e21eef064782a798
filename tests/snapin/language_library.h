// A language resource library for the suites that run tarq's classes in
// process (the suite's own module plays the snap-in's): a resource-only DLL
// with tarq's resources, built beside the suite, copied as TARQRES.DLL into
// a folder of its own that the host's language lookup is pointed at. The
// snap-in's InitSnapin finds and loads it as it finds the real one, so the
// resource module differs from the snap-in's own module and every check of
// which module a page, string or bitmap comes from can fail.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "dir_fixture.h"
#include "host_fixture.h"

namespace snapintest {

class LanguageLibrary {
 public:
  // Copies the built library (after the registry sandbox exists: the folder
  // is set in its user hive). False when it could not be put in place.
  bool Install(const char* builtFile = "tarq_testres.dll", const char* as = "TARQRES.DLL") {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string bin = self;
    bin = bin.substr(0, bin.find_last_of('\\'));
    std::string probe = folder_.File("x");
    path_ = probe.substr(0, probe.size() - 2);
    if (!CopyFileA((bin + "\\" + builtFile).c_str(), (path_ + "\\" + as).c_str(), FALSE))
      return false;
    hosttest::HostRegistry::PutText(HKEY_CURRENT_USER, "NLS Folder", path_);
    return true;
  }
  const std::string& Folder() const { return path_; }

 private:
  zelm::dir::testing::TempFolder folder_;  // removed with the library in it
  std::string path_;
};

}  // namespace snapintest
