// The snap-in libraries the host runs: loading and starting them, asking for
// their class data and flags, and closing them down again.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "hostext_internal.h"

namespace zelm::host {

struct Snapin {
  std::string path;
  HMODULE module = nullptr;
  QZXInitSnapinProc init = nullptr;
  QZXPostInitSnapinProc postInit = nullptr;
  QZXCanCloseSnapinProc canClose = nullptr;
  QZXShutDownProc shutDown = nullptr;
  int32_t initResult = 0;
  bool running = false;
  std::string problem;  // why it is not running
};

// One registration with the snap-in's answers to 0x110 and 0x105.
struct ClassProc {
  HXRegistration reg;
  uint32_t flags = 0;
  int32_t kind = 0;
};

// The snap-ins to load: the command line's, then (unless turned off) those of
// the "Snap-ins" setting; each library once.
std::vector<std::string> ConfiguredSnapins(const std::vector<std::string>& fromCommandLine,
                                           bool withRegistry);

// Loads each library, calls InitSnapin (a library that answers non-zero is
// unloaded and its registrations dropped) and PostInitSnapin(main), then asks
// every registration for its class data (0x100), flags (0x110) and 0x105.
// Returns how many run; what went wrong is appended to problems.
int LoadSnapins(const std::vector<std::string>& paths, HWND main,
                std::vector<std::string>* problems);
// CanCloseSnapin of each running snap-in; the first that answers 0 stops
// the close (its path goes to refusedBy). Otherwise 0x101 to every
// registration, ShutDown/Shutdown, and the libraries are unloaded.
bool CloseSnapins(std::string* refusedBy);

const std::vector<Snapin>& Snapins();
const std::vector<ClassProc>& ClassProcs();
// Registrations of a class with a selection mode, in registration order.
std::vector<ClassProc> ProcsFor(const std::string& className, int32_t selectionMode);
// The class's description from its class data ("" when none).
std::string ClassDescription(const std::string& className);

}  // namespace zelm::host
