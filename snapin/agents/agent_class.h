// The pattern every agent class follows: one row of constants per class
// (default name, module file, creation, pages, the shared pages' help ids)
// and the object procedure, creation and deletion built on it. Each class's
// file holds its row and its page table; a class whose own pages come later
// adds them to its table (at the front, as the class lists its pages) and
// the row's count follows.
//
//   const PageSpec kAntiSpamPages[] = {
//       {AntiSpamConfigDlgProc, "AntiSpamConfig", IDS_ANTISPAM_TITLE_CONFIGURATION},
//       {ZELMToServiceDlgProc, "ZELMToService", IDS_TITLE_MONITORED_QUEUES},
//       {StatusDlgProc, "Status", IDS_TITLE_STATUS}};
//   const AgentClass kAntiSpamAgent = {..., PAGES(kAntiSpamPages), 45, 0};
//   int32_t QZXAPI AntiSpamObjProc(...) { return AnswerAgent(kAntiSpamAgent, ...); }
#pragma once

#include <windows.h>

#include <stdint.h>

#include "object_protocol.h"
#include "snapin_state.h"
#include "strlist.h"

// A first attribute of a new agent besides class, module name and version:
// fixed values (up to three, the rest null), or, when the first is null, the
// creation dialog's field (the store or queue agent named, syntax 1).
struct InitialValue {
  const char* attribute;
  int syntax;
  const char* values[3];
};

enum AgentCreation {
  kCreateWithDialog,  // a creation dialog (store-linked, or the class's own)
  kCreateDirectly,    // no dialog: class, module and version (and initial values)
  kCreateNever,       // the host may not create it (0x102 answers -1)
};

struct AgentClass {
  int tarqClass;            // class_table row: class name, class data, flags
  const char* defaultName;  // "SMTP Agent": the object is "<default>.<server>"
  const char* moduleFile;   // "SMTPAGNT.QMD"
  int moduleSyntax;         // of module name and version at creation
  AgentCreation creation;
  const char* createTemplate;
  DLGPROC createProcedure;
  int createHelpId;  // 0: none
  const InitialValue* initial;
  int initialCount;
  int notifiesCreation;  // 0 when the creation dialog tells the server itself
  const PageSpec* pages;
  int pageCount;
  int storeHelpId;  // help of "ZELMToService" for this class; 0 leaves it as it was
  int queueHelpId;  // help of "ZELMQueueServer"; 0 leaves it
};

#define AGENT_PAGES(table) table, static_cast<int>(sizeof(table) / sizeof((table)[0]))
#define AGENT_INITIAL(table) table, static_cast<int>(sizeof(table) / sizeof((table)[0]))

// The object procedure of an agent class: 0x102 creates (existence test,
// then the class's dialog or direct creation), 0x103 opens (current object
// and module file; the page count), 0x104 hands out a page (and sets the
// shared pages' help ids), 0x107 tells the server the agent goes; the class
// table answers the rest.
int32_t AnswerAgent(const AgentClass& agent, const char* name, uint32_t message, intptr_t param3,
                    intptr_t param4);

// The parts, for classes that differ in one message.
int32_t CreateAgent(const AgentClass& agent, const char* server, intptr_t hostBuffer);
int32_t OpenAgent(const AgentClass& agent, const char* name);
int32_t HandOutAgentPage(const AgentClass& agent, intptr_t index, intptr_t record);

// "<default name>.<server>" into out (capacity bytes); 1 when it fitted.
int AgentNameFor(const AgentClass& agent, const char* server, char* out, size_t capacity);

// ---- creation dialogs -------------------------------------------------------------

enum { kStoreFieldChars = 514 };  // the store (or queue) agent's name in field 24

// What a creation dialog keeps while it is open (one at a time): the
// messaging server it creates under, that server's container (the dialog's
// directory context) and its host's container (where browsers start).
struct CreateDialogState {
  const AgentClass* agent;
  char server[kBrowseChars + 1];
  char container[kBrowseChars + 2];
  char hostContainer[kBrowseChars + 1];
  StrList hosts;     // the server's "Quorvel:Host"
  StrList contexts;  // the store agent's dialog: the server's "Quorvel:Context"
  int added;         // the store agent's dialog: the agent exists already
};
extern CreateDialogState g_create;

// Starts a creation dialog for serverName (the dialog's parameter).
void BeginCreateDialog(HWND dialog, const AgentClass& agent, const char* serverName);
// Frees what the dialog kept; on every way out.
void EndCreateDialogState();
// Shows "ZELM Agent.<server>" in field 24 when that store agent exists; 1 then.
int ShowDefaultStoreAgent(HWND dialog);
// Where browsers start: the host's container, or the server's own.
const char* BrowseStart();
// The class's creation help, when it has one.
void ShowCreateHelp(HWND dialog);
// Adds the class's agent under the server with class, module, version and
// the initial values, field standing in for the field's values. 0 or the
// directory error.
int AddAgentObject(const AgentClass& agent, const char* fullName, const char* field);
// Appends newName to store's "Quorvel:Client" (dialog context, syntax 1),
// reading the values first. 0 or the error.
int AddClientReference(const char* store, const char* newName);

// The store-linked creation dialog (auto-reply, alias, anti-spam, address
// book, proxy, signup, web mail) for the class agent.
INT_PTR StoreLinkedCreateProc(const AgentClass& agent, HWND dialog, UINT message, WPARAM wParam,
                              LPARAM lParam);
