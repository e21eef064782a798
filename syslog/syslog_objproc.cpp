// Until the syslog configuration page is built, the procedure opens objects
// without offering a page and answers 0 to everything else, as the classes
// it is registered for are the host's own (no class data, no creation).
#include "syslog_objproc.h"

#include "object_protocol.h"

extern "C" int32_t QZXAPI SyslogObjProc(const char* name, uint32_t message, intptr_t param3,
                                        intptr_t param4) {
  switch (message) {
    case QZX_MSG_OPEN: OpenObject(name); return 0;
    case QZX_MSG_PAGE: return -1;
  }
  return 0;
}
