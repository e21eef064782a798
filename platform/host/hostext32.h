/* hostext32.dll: what the administration host offers the snap-ins it loads.
   The twelve QZX* functions are exported by name; a snap-in looks them up with
   GetProcAddress after loading "hostext32.dll". Everything here is 8-bit text.

   Object procedures. A snap-in registers one procedure per directory class
   (QZXRegisterObjectProc). The host calls it on its user-interface thread as
   proc(name, message, param3, param4):

     message  name            param3                  param4                   answer
     0x100    class name      0                       0                        0; calls QZXAddClassData
     0x101    class name      0                       0                        0; calls QZXRemoveClassData
     0x102    container       char[QZX_NAME_BYTES]    0                        -1 cancelled, 0 done,
                                                                               2 open the new object's
                                                                               pages, 3 create another;
                                                                               the new object's full
                                                                               name goes into param3
     0x103    object          0                       0                        number of pages
     0x104    object          page index N            QZXPageRecord*           0; record N filled
     0x105    class name      0                       0                        kept, not interpreted
     0x107    object          0                       0                        0 delete, -1 refuse
     0x110    class name      0                       0                        class flags
     0x119    object          0                       const char* object       0, or -1 when the
                                                                               settings could not be
                                                                               written to it

   Names are full dotted names without a leading "." ("Joe.Sales.Acme"); the
   root is "[Root]". 0x119 goes to procedures registered with selection mode
   QZX_SELECT_MULTIPLE, once per selected object, after every page of the sheet
   accepted its apply.

   Pages. The host builds a property sheet from the page records. Besides the
   dialog messages a page procedure gets:
     0x520  sent by the page (or a multi-valued edit control on it) to its own
            window, wParam = the page window, lParam = 0x10000: the page holds
            changes; the host enables Apply.
     0x521  apply: validate and write; return 1 to accept, 0 to refuse (the
            sheet stays open on that page).
     0x539  help was asked for on this page; return 1.
     WM_CLOSE  the sheet is going away (sent once, whatever closed it).

   Browsers. QZXLaunchDSFlatBrowser and QZXLaunchFSFlatBrowser run a modal
   dialog. Before it shows, the host asks the callback for class filters:
   callback(type, 0x202, (intptr_t)&count, 0) with count preset to 0 (0 = show
   every class), then callback(type, 0x203, index, (intptr_t)&record) for each
   index, the class name to be stored at the start of the record. When the
   user picks something, callback(type, 0x201, 0, (intptr_t)&record) with the
   picked full name (directory) or path (file system, "SERVER/VOLUME:dir/sub")
   at offset 132. Cancel calls nothing.

   Multi-valued edit control. QZXCreateMved joins an edit, a "microscroll32"
   and an "mvebbcontrol" of a page into one control. It asks the callback for
   its values at once: callback(list, 0x300, (intptr_t)&count, 0), then
   callback(list, 0x301, i, (intptr_t)buffer) for i = 0 .. count-1 with a
   zeroed buffer of QZX_VALUE_BYTES; in browse mode it asks 0x202/0x203 as the
   browsers do (the fourth argument a QZXObjectRecord). The user edits the
   values in place:
     - typed mode (0): type into the edit and press Enter to add; F2 or a
       double-click on a value loads it into the edit to be changed (Enter
       replaces it, Esc abandons);
     - browse mode (2): the edit shows the selected value; Insert in the list,
       Enter in the edit or a double-click on an empty part of the list opens
       the directory browser; F2 or a double-click on a value replaces it;
     - Delete removes the selected value; Ctrl+Up and Ctrl+Down or the arrows
       of the microscroll32 move it; the context menu (right button, Shift+F10)
       has the same commands.
   Every change is reported to the page twice: 0x520 (as a page reports its own
   changes, so the sheet's Apply lights up) and WM_COMMAND with the list's id
   and notification code QZX_MVN_CHANGED. Values are never longer than the
   maximum length given; a value may appear only once (letter case ignored).
   QZXGetMvedCount first adds text typed but not yet entered, so a value the
   user typed before pressing OK is not lost. */
#ifndef ZELM_HOSTEXT32_H
#define ZELM_HOSTEXT32_H

#include <windows.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QZXAPI __stdcall

/* Registration. */
#define QZX_CATEGORY_DS "DS"
#define QZX_INTERFACE_VERSION 0x01010000u /* 16,842,752: 0x0101 in the upper half */
#define QZX_SELECT_SINGLE 0
#define QZX_SELECT_MULTIPLE 3

/* Object procedure messages. */
#define QZX_MSG_CLASS_DATA 0x100
#define QZX_MSG_REMOVE_CLASS_DATA 0x101
#define QZX_MSG_CREATE 0x102
#define QZX_MSG_OPEN 0x103
#define QZX_MSG_PAGE 0x104
#define QZX_MSG_CLASS_KIND 0x105
#define QZX_MSG_DELETE 0x107
#define QZX_MSG_CLASS_FLAGS 0x110
#define QZX_MSG_APPLY_SELECTED 0x119

/* Answers to QZX_MSG_CREATE. */
#define QZX_CREATE_CANCELLED (-1)
#define QZX_CREATE_DONE 0
#define QZX_CREATE_OPEN_PAGES 2
#define QZX_CREATE_ANOTHER 3

/* Class flags (answer to 0x110): the host offers the class in its "New
   object" dialog only when this bit is set; other bits are kept as given. */
#define QZX_CLASS_CREATES 0x0008u

/* Page messages. */
#define QZX_PAGE_CHANGED 0x520
#define QZX_PAGE_CHANGED_LPARAM 0x10000
#define QZX_PAGE_APPLY 0x521
#define QZX_PAGE_HELP 0x539

/* Browser and multi-valued edit callback messages. */
#define QZX_BROWSE_PICKED 0x201
#define QZX_BROWSE_FILTER_COUNT 0x202
#define QZX_BROWSE_FILTER 0x203
#define QZX_MVED_READ 0x300
#define QZX_MVED_VALUE 0x301

/* Browser flags (the flags argument): 0x04 one object is picked; 0x20 the
   file-system browser shows folders only. Other bits are ignored. */
#define QZX_BROWSE_SINGLE 0x04
#define QZX_BROWSE_FOLDERS 0x20
/* At most this many class filters are asked for. */
#define QZX_MAX_FILTERS 16

/* Multi-valued edit modes, and the WM_COMMAND notification code of a change. */
#define QZX_MVED_TYPED 0
#define QZX_MVED_BROWSED 2
#define QZX_MVN_CHANGED 0x0300

/* Sizes. */
#define QZX_CLASS_NAME_BYTES 128 /* class name in a QZXObjectRecord */
#define QZX_NAME_BYTES 516       /* picked or created name: 515 characters and a NUL */
#define QZX_VALUE_BYTES 1028     /* one value handed over by 0x301 */
#define QZX_PATH_BYTES 260       /* directory written by QZXGetNLSFilePath */
#define QZX_TITLE_BYTES 256      /* longer page titles and dialog titles are cut */

/* The window classes of the multi-valued edit control, registered when
   hostext32.dll loads (global classes: templates in any module may use them). */
#define QZX_MVED_CLASS "mvebbcontrol"
#define QZX_SPIN_CLASS "microscroll32"

typedef int32_t(QZXAPI* QZXObjectProc)(const char* name, uint32_t message, intptr_t param3,
                                        intptr_t param4);
typedef int32_t(QZXAPI* QZXBrowseProc)(int32_t browseType, uint32_t message, intptr_t param3,
                                        intptr_t param4);
/* list: what the page gave QZXCreateMved, handed back untouched. */
typedef int32_t(QZXAPI* QZXMvedProc)(void* list, uint32_t message, intptr_t param3,
                                      intptr_t param4);

/* One property page (answer to 0x104). The host copies the title before it
   asks for the next page; templateName may be MAKEINTRESOURCE. */
typedef struct QZXPageRecord {
  DLGPROC procedure;
  HINSTANCE instance; /* module holding the template */
  const char* templateName;
  const char* title;
  int32_t reserved; /* 0 */
} QZXPageRecord;

/* A picked, selected or filter object. The class-filter messages store the
   class name at offset 0. */
typedef struct QZXObjectRecord {
  char className[QZX_CLASS_NAME_BYTES]; /* offset 0 */
  uint32_t flags;                       /* offset 128: QZX_OBJECT_* */
  char name[QZX_NAME_BYTES];            /* offset 132 */
} QZXObjectRecord;

#define QZX_OBJECT_CONTAINER 0x01 /* a directory container, or a file-system folder */

#ifdef __cplusplus
static_assert(offsetof(QZXObjectRecord, name) == 132, "the name sits at offset 132");
#if defined(_WIN32) && !defined(_WIN64)
/* The host's 32-bit page record: five 32-bit fields, 20 bytes. On 64-bit
   Windows the pointers take their natural width. */
static_assert(sizeof(QZXPageRecord) == 20, "the page record is 20 bytes");
static_assert(offsetof(QZXPageRecord, instance) == 4 && offsetof(QZXPageRecord, templateName) == 8 &&
                  offsetof(QZXPageRecord, title) == 12 && offsetof(QZXPageRecord, reserved) == 16,
              "procedure, instance, template, title, reserved at 0, 4, 8, 12, 16");
#endif
#endif

/* Snap-in entry points the host calls (looked up by name in the library).
   ShutDown or Shutdown, whichever the library exports. */
typedef int32_t(QZXAPI* QZXInitSnapinProc)(void);          /* 0, or -1: unloaded again */
typedef intptr_t(QZXAPI* QZXPostInitSnapinProc)(HWND main); /* result not used */
typedef int32_t(QZXAPI* QZXCanCloseSnapinProc)(void);      /* 0 keeps the host running */
typedef int32_t(QZXAPI* QZXShutDownProc)(void);            /* result not used */

/* Every function answers 0 on success and a negative value on failure. */

/* category: "DS"; the strings are copied. */
int32_t QZXAPI QZXRegisterObjectProc(const char* category, const char* className,
                                     const char* identification, HINSTANCE module,
                                     QZXObjectProc procedure, uint32_t version);
int32_t QZXAPI QZXRegisterObjectProcEx(const char* category, const char* className,
                                       const char* identification, HINSTANCE module,
                                       QZXObjectProc procedure, uint32_t version,
                                       int32_t selectionMode);

/* The host copies the bitmaps (any may be NULL): they stay the snap-in's, to
   delete when it likes. Adding again replaces the class's data. Removing
   forgets the host's copies and leaves the snap-in's handles as they are. */
int32_t QZXAPI QZXAddClassData(const char* className, const char* description,
                               HBITMAP classBitmap, HBITMAP aliasBitmap, HBITMAP readOnlyBitmap);
int32_t QZXAPI QZXRemoveClassData(const char* className, HBITMAP* classBitmap,
                                  HBITMAP* aliasBitmap, HBITMAP* readOnlyBitmap);

/* startContext: a container ("Sales.Acme", ".Sales.Acme", "Sales.Acme."),
   "[Root]", "." or NULL (the root); an unknown container starts at its
   nearest existing ancestor. Answers 0 when something was picked (and
   delivered through 0x201), -1 when cancelled. */
int32_t QZXAPI QZXLaunchDSFlatBrowser(HWND owner, int32_t browseType, const char* startContext,
                                      int32_t reserved1, int32_t reserved2, const char* title,
                                      int32_t flags, QZXBrowseProc callback);
/* Folders of the file servers ("HVX Server" objects) of serverContainer:
   a server's volumes are its "Volume" values, "NAME=folder". startPath
   ("SERVER/VOLUME:dir/sub", or empty) opens that folder. */
int32_t QZXAPI QZXLaunchFSFlatBrowser(HWND owner, int32_t browseType, const char* serverContainer,
                                      const char* startPath, int32_t reserved1, int32_t reserved2,
                                      const char* title, int32_t flags, QZXBrowseProc callback);

/* maxLength: the longest value in characters (1 .. QZX_VALUE_BYTES - 1);
   startContext: where browse mode's browser opens. The control lives as long
   as the list control; calling again re-reads the values. */
int32_t QZXAPI QZXCreateMved(HWND page, void* list, int32_t editId, int32_t spinId,
                             int32_t listId, int32_t mode, int32_t maxLength, const char* title,
                             const char* startContext, int32_t reserved, QZXMvedProc callback);
int32_t QZXAPI QZXGetMvedCount(HWND page, int32_t editId, uint16_t* count);
/* Copies value `index` (NUL-terminated, cut to length - 1); -2 when it was
   cut, -1 when there is no such control or value. */
int32_t QZXAPI QZXGetMvedValue(HWND page, int32_t editId, uint16_t index, int32_t length,
                               char* buffer);

/* The objects selected for a procedure registered with QZX_SELECT_MULTIPLE,
   valid while its pages are open. QZXGetSelObject answers -1 past the end. */
int32_t QZXAPI QZXGetSelObjectCount(int32_t* count);
int32_t QZXAPI QZXGetSelObject(int32_t index, QZXObjectRecord* record);

/* The folder holding the language-specific copy of fileName, written into
   directory (QZX_PATH_BYTES, no trailing "\"); "" when there is none. The
   host looks in "<nls>\<language>" and then "<nls>", where <nls> is the
   registry value "NLS Folder" (key Software\Zelm\Admin, user then machine) or
   else the "nls" folder beside hostext32.dll, and <language> the value
   "Language" of the same key. */
int32_t QZXAPI QZXGetNLSFilePath(const char* fileName, char* directory);

#ifdef __cplusplus
}
#endif

#endif /* ZELM_HOSTEXT32_H */
