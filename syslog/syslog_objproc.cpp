// The syslog snap-in's one object procedure: one page on a file server or
// the services container. The classes are the host's own (no class data,
// no creation); 0x100, sent when the host takes the class on, clears the
// facility records.
#include "syslog_objproc.h"

#include "object_protocol.h"
#include "snapin_state.h"
#include "syslog_page.h"

extern "C" int32_t QZXAPI SyslogObjProc(const char* name, uint32_t message, intptr_t param3,
                                        intptr_t param4) {
  switch (message) {
    case QZX_MSG_CLASS_DATA: ClearFacilityRecords(); return 0;
    case QZX_MSG_OPEN: OpenObject(name); return 1;
    case QZX_MSG_PAGE:
      if (param3 != 0) return -1;
      return HandOutPageTitled(param3, param4, SyslogConfigDlgProc, "LogConfig", kSyslogPageTitle,
                               ResourceModule());
  }
  return 0;
}
