#include "placeholder.h"

#include "object_protocol.h"

int32_t AnswerPlaceholder(int tarqClass, const char* name, uint32_t message, intptr_t param3,
                          intptr_t param4) {
  switch (message) {
    case QZX_MSG_CREATE: return QZX_CREATE_CANCELLED;
    case QZX_MSG_OPEN: OpenObject(name); return 0;
    case QZX_MSG_PAGE: return -1;  // no pages yet
    default: return AnswerClassMessage(tarqClass, message);
  }
}
