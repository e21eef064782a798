// tarq's start and end: bind the host, find the language files, load the
// class bitmaps, register the classes, read the reload setting; and undo it
// all at ShutDown.
#include "class_bitmaps.h"
#include "class_table.h"
#include "entry_points.h"
#include "host_binding.h"
#include "registrations.h"
#include "settings.h"

extern "C" int32_t QZXAPI InitSnapin(void) {
  if (BindHost() != 0) return -1;
  FindResourceModule("TARQRES.DLL");
  FindHelpFile("tarq.hlp");
  LoadClassBitmaps();
  for (const TarqRegistration& row : kRegistrations)
    RegisterObjectProc(ClassInfoOf(row.tarqClass).className, row.procedure, row.selectionMode);
  LoadReloadSetting();
  return 0;
}

extern "C" int32_t QZXAPI ShutDown(void) {
  FreeClassBitmaps();
  UnbindHost();
  FreeResourceModule();
  StoreReloadSetting();
  return 1;
}
