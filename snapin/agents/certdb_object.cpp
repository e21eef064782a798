// The certificate database ("Quorvel:Certificate Database"): a container of
// the certificates the server's SSL services need. The snap-in only shows
// what it is; it is never created from here and its deletion is the host's
// own business. Not in the start-up registrations: the procedure is
// exported by name for hosts that ask for it.
#include "agent_procs.h"
#include "frame.h"
#include "server_procs.h"

namespace {

const char kInfoTemplate[] = "CertDBInfo";
const char kInfoTitle[] = "Information";

}  // namespace

extern "C" int32_t QZXAPI CertDBObjProc(const char* name, uint32_t message, intptr_t param3,
                                        intptr_t param4) {
  switch (message) {
    case QZX_MSG_CREATE: return QZX_CREATE_CANCELLED;
    case QZX_MSG_OPEN: OpenObject(name); return 1;
    // The template comes from the snap-in itself, not the language library.
    case QZX_MSG_PAGE:
      if (param3 != 0) return -1;
      return HandOutPageTitled(param3, param4, ServicesInfoDlgProc, kInfoTemplate, kInfoTitle,
                               g_snapin.instance);
    case QZX_MSG_DELETE: return 0;
  }
  return AnswerClassMessage(kClassCertDB, message);
}
