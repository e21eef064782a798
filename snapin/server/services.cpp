// The services container ".Internet Services" (one information page, no
// creation) and the abstract mail-agent class (class data only).
#include "frame.h"
#include "tarq_ids.h"
#include "server_procs.h"

namespace {

enum { kHelpServicesInfo = 44 };

const PageSpec kServicesPages[] = {
    {ServicesInfoDlgProc, "ServicesInfo", IDS_SERVICES_TITLE_INFORMATION},
};

}  // namespace

extern "C" int32_t QZXAPI ServicesObjProc(const char* name, uint32_t message, intptr_t param3,
                                          intptr_t param4) {
  switch (message) {
    case QZX_MSG_CREATE: return 0;
    case QZX_MSG_OPEN: OpenObject(name); return 1;
    case QZX_MSG_PAGE: return HandOutPageOf(kServicesPages, 1, param3, param4);
    default: return AnswerClassMessage(kClassServices, message);
  }
}

extern "C" int32_t QZXAPI MailAgentObjProc(const char* name, uint32_t message, intptr_t param3,
                                           intptr_t param4) {
  switch (message) {
    case QZX_MSG_CREATE:
    case QZX_MSG_OPEN: return 0;
    default: return AnswerClassMessage(kClassMailAgent, message);
  }
}

// Fixed texts only ("ServicesInfo", and the certificate database's
// "CertDBInfo"): nothing to read or write.
extern "C" INT_PTR CALLBACK ServicesInfoDlgProc(HWND page, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
    case QZX_PAGE_APPLY: return 1;
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpServicesInfo);
  }
  return 0;
}
