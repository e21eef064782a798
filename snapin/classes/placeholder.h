// The object procedure a registered class has until its own is built: it
// answers class data, 0x105 and class flags from the class table (so the host
// shows the class with its icon), opens objects with no pages, refuses
// creation and lets deletion go ahead.
#pragma once

#include <stdint.h>

#include "class_table.h"
#include "hostext32.h"

int32_t AnswerPlaceholder(int tarqClass, const char* name, uint32_t message, intptr_t param3,
                          intptr_t param4);

// One procedure per class, since the host tells a procedure nothing about the
// class it was registered for on most messages.
template <int TarqClassRow>
int32_t QZXAPI PlaceholderObjProc(const char* name, uint32_t message, intptr_t param3,
                                  intptr_t param4) {
  return AnswerPlaceholder(TarqClassRow, name, message, param3, param4);
}
