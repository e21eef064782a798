// How a snap-in binds to the administration host: the host libraries, the
// twelve host functions looked up by name, the language resource library and
// the help file. Both snap-ins compose their InitSnapin from these steps;
// tarq adds its class bitmaps and its setting (class_bitmaps.h, below).
// Module-wide state, one instance per loaded library; no locks (the host
// calls everything on its user-interface thread).
#pragma once

#include <windows.h>

#include <stdint.h>

#include "hostext32.h"

enum {
  kHostSlots = 3,          // host library handles
  kHostApiCount = 12,      // host functions, every one required
  kHostPathBytes = 1024,   // help file path, language folder, library path
};

// The host functions, as hostext32.h declares them.
struct HostApi {
  decltype(&QZXRegisterObjectProcEx) registerObjectProcEx;
  decltype(&QZXRegisterObjectProc) registerObjectProc;
  decltype(&QZXLaunchDSFlatBrowser) launchDSFlatBrowser;
  decltype(&QZXGetMvedValue) getMvedValue;
  decltype(&QZXGetMvedCount) getMvedCount;
  decltype(&QZXCreateMved) createMved;
  decltype(&QZXAddClassData) addClassData;
  decltype(&QZXRemoveClassData) removeClassData;
  decltype(&QZXLaunchFSFlatBrowser) launchFSFlatBrowser;
  decltype(&QZXGetSelObject) getSelObject;
  decltype(&QZXGetSelObjectCount) getSelObjectCount;
  decltype(&QZXGetNLSFilePath) getNLSFilePath;
};

struct HostBinding {
  HMODULE slots[kHostSlots];  // owned: freed by UnbindHost
  HostApi api;                // all set, or all null
  int ownsResources;          // g_snapin.resources is a library we loaded (freed by FreeResourceModule)
  char helpPath[kHostPathBytes];
};

extern HostBinding g_host;

// The host libraries: "hostext32.dll" into slot 0, or else the older set
// "hostvctl95.dll", "hostcomn95.dll", "hostcore95.dll" into slots 0 to 2.
extern const char kHostLibrary[];
extern const char* const kOlderHostLibraries[kHostSlots];
// The twelve functions in the order they are looked up.
extern const char* const kHostApiNames[kHostApiCount];

// Loads the host libraries and looks up each function in slot 0, 1, then 2
// (the first library exporting it wins). 0 when all twelve were found; -1
// when a library or a function is missing, with nothing left loaded.
int BindHost();
// Frees the loaded host libraries and forgets the functions.
void UnbindHost();

// The language copy of resourceFile ("TARQRES.DLL", "LOGPGRES.DLL") in the
// folder QZXGetNLSFilePath names becomes the resource module; without one
// (no folder, or the load fails) the snap-in's own module serves.
void FindResourceModule(const char* resourceFile);
// Frees the resource module when it is a library of its own.
void FreeResourceModule();
// The help file: "<language folder>\<helpFile>". Without a language folder
// the file beside the snap-in library is used.
void FindHelpFile(const char* helpFile);

// Registers an object procedure for a class in category "DS" with interface
// version 0x01010000 and the snap-in's own module; selection mode 3 goes
// through the extended registration. The host's answer.
int32_t RegisterObjectProc(const char* className, QZXObjectProc procedure, int32_t selectionMode);

// The host's main window, given by PostInitSnapin: owner of every modal
// dialog outside a page.
HWND HostWindow();

// A directory and file name joined with "%s\%s" into out (capacity bytes).
// 1 when it fitted, else 0 and out is "".
int JoinPath(char* out, size_t capacity, const char* directory, const char* file);
