// logpage's object procedure, registered for "HVX Server" and
// "Quorvel:Services".
#pragma once

#include <stdint.h>

#include "hostext32.h"

extern "C" int32_t QZXAPI SyslogObjProc(const char* name, uint32_t message, intptr_t param3,
                                        intptr_t param4);
