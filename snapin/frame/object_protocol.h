// What every object procedure and property page of the snap-ins shares: the
// answers to the host's object messages, the page table and its title
// buffer, the page messages, help, browsing into a field and the
// multi-valued edit controls.
//
// An object procedure with pages, in short:
//
//   const PageSpec kSMTPPages[] = {
//       {SMTPIdentificationDlgProc, "SMTPIdentification", IDS_TITLE_IDENTIFICATION}, ...};
//   int32_t QZXAPI SMTPObjProc(const char* name, uint32_t message, intptr_t p3, intptr_t p4) {
//     switch (message) {
//       case QZX_MSG_OPEN: OpenObject(name); SetCurrentModule("SMTPAGNT.QMD"); return 6;
//       case QZX_MSG_PAGE: return HandOutPageOf(kSMTPPages, 6, p3, p4);
//       default: return AnswerClassMessage(kClassSMTP, message);   // class_table.h
//     }
//   }
//
// and a page procedure: MarkPageChanged on edits, 0x521 validates and writes,
// 0x539 returns ShowPageHelp(page, id), WM_CLOSE frees its lists.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "hostext32.h"
#include "strlist.h"

enum {
  kPageTitleChars = 1024,  // the shared title buffer, NUL included
  kMaxPages = 7,           // entries of the page table
  kMvedValueChars = 256,   // longest value the user may type into a multi-valued edit control
  kMvedValueCut = -2,      // QZXGetMvedValue's answer for a value that did not fit
  kMvedReadLimit = 65536,  // the most room a value is asked for with
};

// Browse types (DSLaunchProc) and the kinds of multi-valued edit controls
// (StrList tag, MvedProc).
enum {
  kBrowseHostServer = 1,  // "HVX Server"
  kBrowseUser = 2,        // "User"
  kBrowseDirectory = 3,   // "Directory", file-system browser
  kBrowseStoreAgent = 4,  // "Quorvel:ZELM Agent"
  kBrowseContainer = 5,   // "Organization", "Organizational Unit"
  kBrowseConnMgr = 6,     // "TARQ:ConnMgr Agent"
};
enum {
  kMvedContexts = 1,      // "Quorvel:Context" of the messaging server
  kMvedDomains = 3,       // "Quorvel:Domain"
  kMvedResolvers = 4,     // "Quorvel:Resolver"
  kMvedStoreServers = 5,  // "Quorvel:ZELM Server"
  kMvedUserDomains = 6,   // "TARQ:User Domain"
};

// ---- object procedures ------------------------------------------------------

// 0x103: the opened object's name becomes the current object name and the
// browse buffer's text (cut to 515 characters).
void OpenObject(const char* name);

// 0x102 after a creation dialog succeeded: the new object's full name (the
// browse buffer) into the host's buffer of QZX_NAME_BYTES.
void HandBackNewObject(intptr_t hostBuffer);

// One page an object procedure offers.
struct PageSpec {
  DLGPROC procedure;
  const char* templateName;
  int titleId;  // string table entry of the tab title
};

// 0x104: fills entry `index` of the module-wide page table (procedure,
// template, title loaded from the resource module's string table into the
// shared title buffer, which the next page request overwrites), then copies
// it to the host's record with the resource module as the template's module
// and 0 in the last field. 0; -1 (record untouched) for an index outside
// 0..kMaxPages-1 or a null record.
int32_t HandOutPage(intptr_t index, intptr_t record, DLGPROC procedure, const char* templateName,
                    int titleId);
// The same with a fixed title text and the module holding the template
// given (the certificate database's page, logpage's page).
int32_t HandOutPageTitled(intptr_t index, intptr_t record, DLGPROC procedure,
                          const char* templateName, const char* title, HINSTANCE module);
// Entry `index` of a class's page list; -1 past its end.
int32_t HandOutPageOf(const PageSpec* pages, int count, intptr_t index, intptr_t record);

// The shared title buffer and the page table, for the suites.
const char* PageTitleBuffer();
const QZXPageRecord* PageTableEntry(int index);

// ---- pages -----------------------------------------------------------------

enum { kObjectNameControl = 10 };  // the static "ObjectName" of every page template

// The start of every page's initialisation: derives the page container from
// the current object name and shows the name in control 10.
void BeginPage(HWND page);

// Tells the host the page holds unsaved changes (0x520, page, 0x10000).
void MarkPageChanged(HWND page);
// 0x539: WinHelp on the help file with the context command and helpId; 1.
int32_t ShowPageHelp(HWND window, int helpId);
const char* HelpFile();

// The whole text of a page's control, whatever its length: a new heap
// string (the caller frees it), null when out of memory.
char* ControlTextCopy(HWND page, int id);

// A string of the resource module into out (capacity bytes); "" when it has none.
const char* LoadResourceText(int id, char* out, int capacity);

// Browsing into a field: the field's text goes into the browse buffer, the
// browser opens (title from the string table, one object, DSLaunchProc as
// callback), and the browse buffer goes back into the field, so a cancelled
// browse leaves the field as it was. 1 when something was picked.
int BrowseDirectoryInto(HWND window, int editId, int browseType, const char* startContext,
                        int titleId);
// The host's file-system browser (browse type 3, empty start path) over the
// file servers of serverContainer.
int BrowseFolderInto(HWND window, int editId, const char* serverContainer, int titleId);
// Pages: the same, and the page is marked changed afterwards.
int BrowsePageField(HWND page, int editId, int browseType, const char* startContext, int titleId);
int BrowsePageFolder(HWND page, int editId, const char* serverContainer, int titleId);

// Joins an edit, a "microscroll32" and an "mvebbcontrol" control of a page
// into a multi-valued edit control backed by list, whose tag becomes kind
// (MvedProc reads and hands out its values). mode: QZX_MVED_TYPED or
// QZX_MVED_BROWSED; values up to kMvedValueChars; title from the string
// table. The host's answer.
int32_t CreateValueControl(HWND page, StrList* list, int kind, int editId, int spinId, int listId,
                           int mode, int titleId, const char* startContext);
// Appends the values the user left in the control, in its order and each
// whole (also those longer than may be typed), to out (emptied first). The
// number of values; -1, with out empty, when the control is unknown or a
// value cannot be had whole.
int ReadValueControl(HWND page, int editId, StrList* out);
