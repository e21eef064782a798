// The two object procedures tarq registers for the directory's "User"
// class: one user (three pages), and a selection of users (one page, whose
// settings the host then has written into each selected user).
#pragma once

#include <stdint.h>

#include "hostext32.h"

extern "C" int32_t QZXAPI UserObjProc(const char* name, uint32_t message, intptr_t param3,
                                      intptr_t param4);
extern "C" int32_t QZXAPI MultiUserObjProc(const char* name, uint32_t message, intptr_t param3,
                                           intptr_t param4);
