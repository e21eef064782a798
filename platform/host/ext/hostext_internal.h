/* The host program's side of hostext32.dll. Snap-ins see only the twelve
   named functions of hostext32.h; the host program reaches what they
   registered through these, exported by ordinal only (hostext32.def), so the
   library's name table holds the twelve names and nothing else. */
#ifndef ZELM_HOSTEXT_INTERNAL_H
#define ZELM_HOSTEXT_INTERNAL_H

#include "hostext32.h"

#ifdef __cplusplus
extern "C" {
#endif

#define HX_IDENT_BYTES 256
#define HX_DESCRIPTION_BYTES 256

/* One registration, in the order the snap-ins made them. */
typedef struct HXRegistration {
  int32_t snapin;        /* HXSetSnapin's value while it was made; -1 outside */
  int32_t selectionMode; /* QZX_SELECT_SINGLE or QZX_SELECT_MULTIPLE */
  uint32_t version;
  HINSTANCE module;
  QZXObjectProc procedure;
  char category[16];
  char className[QZX_CLASS_NAME_BYTES];
  char identification[HX_IDENT_BYTES];
} HXRegistration;

/* A class's data. The bitmaps are hostext32's own copies: valid until the
   class data is removed or replaced; callers copy what they keep. */
typedef struct HXClassData {
  char className[QZX_CLASS_NAME_BYTES];
  char description[HX_DESCRIPTION_BYTES];
  HBITMAP bitmaps[3]; /* class, alias, read-only; any may be NULL */
} HXClassData;

/* Registrations and class data made from now on belong to `snapin` (-1: to
   nobody). The host sets it around each snap-in's InitSnapin and 0x100. */
int32_t HXSetSnapin(int32_t snapin);                              /* @101 */
/* Drops the registrations and class data a snap-in made. */
int32_t HXForgetSnapin(int32_t snapin);                           /* @102 */
int32_t HXRegistrationCount(void);                                /* @103 */
int32_t HXGetRegistration(int32_t index, HXRegistration* out);    /* @104: -1 past the end */
int32_t HXGetClassData(const char* className, HXClassData* out);  /* @105: -1 when none */
/* The objects QZXGetSelObject hands out; count 0 clears. Copied. */
int32_t HXSetSelection(int32_t count, const char* const* names,
                       const char* const* classNames);            /* @106 */
/* Owner of browsers opened without one. */
int32_t HXSetMainWindow(HWND main);                               /* @107 */
/* The browser the host itself uses (sign-in, tests): as
   QZXLaunchDSFlatBrowser, with the filters given here instead of asked of a
   callback. picked: QZX_NAME_BYTES. 0 picked, -1 cancelled. */
int32_t HXBrowseDirectory(HWND owner, const char* startContext, const char* title,
                          int32_t filterCount, const char* const* filters,
                          char* picked);                          /* @108 */

#ifdef __cplusplus
}
#endif

#endif /* ZELM_HOSTEXT_INTERNAL_H */
