// The directory classes tarq answers for and what its object procedures tell
// the host about each: class name, class data (description and bitmap
// family), class flags (0x110) and the answer to 0x105. Every object
// procedure ends its message switch with
//     default: return AnswerClassMessage(kClassSMTP, message);
// so these answers live in one table.
#pragma once

#include <stdint.h>

#include "class_bitmaps.h"

enum TarqClass {
  kClassUser = 0,
  kClassOrganization,
  kClassOrganizationalUnit,
  kClassHVXServer,
  kClassMessagingServer,
  kClassServices,
  kClassMailAgent,
  kClassZELM,
  kClassPOP,
  kClassFinger,
  kClassProxy,
  kClassIMAP,
  kClassSMTP,
  kClassWebMail,
  kClassAntiSpam,
  kClassAutoReply,
  kClassAlias,
  kClassAddressBook,
  kClassSignup,
  kClassConnMgr,
  kClassCertDB,  // answered by CertDBObjProc; not registered at start-up
  kTarqClassCount
};

struct ClassInfo {
  const char* className;
  const char* description;  // class data; null for classes the host draws itself
  int family;               // BitmapFamily; kFamilyNone with a null description
  uint32_t flags;           // answer to 0x110
  int32_t kind;             // answer to 0x105
};

// The row of a class; a number out of range gives the User row.
const ClassInfo& ClassInfoOf(int tarqClass);

// 0x100: QZXAddClassData with the class's description and bitmaps (classes
// with a family only). 0x101: QZXRemoveClassData with the addresses of its
// three handles. 0x105 and 0x110: the table's answers. Every other message
// answers 0.
int32_t AnswerClassMessage(int tarqClass, uint32_t message);
