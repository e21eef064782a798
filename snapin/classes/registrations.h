// tarq's registration table: the object procedure of each class, registered
// at InitSnapin in this order.
#pragma once

#include <stdint.h>

#include "hostext32.h"

struct TarqRegistration {
  int tarqClass;  // TarqClass: names the class and its class data
  QZXObjectProc procedure;
  int32_t selectionMode;  // QZX_SELECT_MULTIPLE goes through the extended registration
};

enum { kRegistrationCount = 21 };
extern const TarqRegistration kRegistrations[kRegistrationCount];
