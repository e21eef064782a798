// tarq's class icons: three bitmaps per family ("<family>Class", "<family>Alias",
// "<family>ROnly"), loaded at InitSnapin from the resource module, or all
// three from the snap-in's own module when the class bitmap is not there.
// Owned here: deleted by FreeClassBitmaps (ShutDown); the host keeps copies.
#pragma once

#include <windows.h>

enum BitmapFamily {
  kFamilyNone = -1,  // a class the host draws itself
  kFamilyMsgSrv = 0,
  kFamilyServices,
  kFamilyAutoReply,
  kFamilyCertDB,
  kFamilyAlias,
  kFamilyLDAP,
  kFamilyFinger,
  kFamilyConnMgr,
  kFamilyIMAP,
  kFamilyZELM,
  kFamilyPOP,
  kFamilyProxy,
  kFamilySignup,
  kFamilySMTP,
  kFamilyAntiSpam,
  kFamilyWebMail,
  kFamilyCount
};

enum { kBitmapClass = 0, kBitmapAlias, kBitmapReadOnly, kBitmapsPerFamily };

extern const char* const kFamilyNames[kFamilyCount];     // "MsgSrv", ...
extern const char* const kBitmapEndings[kBitmapsPerFamily];  // "Class", "Alias", "ROnly"

// The resource name of one bitmap ("SMTPROnly") into out; 1 when it fitted.
int BitmapName(int family, int which, char* out, size_t capacity);

void LoadClassBitmaps();
// Deletes every bitmap loaded (null ones are passed over).
void FreeClassBitmaps();
// The family's three handles (class, alias, read-only), any may be null;
// null for kFamilyNone or a number out of range.
HBITMAP* FamilyBitmaps(int family);
