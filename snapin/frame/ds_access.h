// The snap-ins' directory operations, over dsclient32 (imported by ordinal).
// Every operation opens its own context and buffers and releases them before
// returning (DSOpenContext's caller releases the context it gets). Results:
// 0 or a negative directory error code unless said otherwise.
//
// Containers are name contexts: "[Root]", a page container such as
// "Sales.Acme." (names below it relative, names ending in it complete), or
// null for none. Object names are typeless dotted names; "." first names
// from the root.
#pragma once

#include <stdint.h>

#include "strlist.h"

typedef int32_t DSContext;

// Value syntaxes written by the snap-ins.
enum {
  kSyntaxDistName = 1,    // references to other objects
  kSyntaxCIString = 3,    // all text, numbers and flags ("1"/"0")
  kSyntaxClassName = 20,  // only "Object Class" when creating
};

enum {
  kDSBufferBytes = 4096,     // start of request and result buffers, and each growth step
  kDSAddBufferBytes = 8192,  // start of an object creation request
  kDSValueBytes = 1028,      // one attribute value as received
  kDSErrNoMemory = -649,     // "Insufficient buffer space": what a page shows when out of memory
};

// A context with name context "[Root]", option bits | 0x47, then the
// container when one is given. > 0, or a negative error (also when the
// container is not a valid name: the context is not handed out then, so no
// name is ever resolved against a context the caller did not ask for).
DSContext DSOpenContext(const char* container);
void DSCloseContext(DSContext context);

// Appends every value of the attribute to list; returns list->count. A read
// that fails (no context, no object or attribute, no right) adds nothing.
int DSReadValues(StrList* list, const char* container, const char* object, const char* attribute);

// Makes the attribute hold newList instead of oldList (the values read
// before) in one modify request: old values found in newList (ignoring case)
// stay, the others are removed; non-empty new values not matched are added.
// newList is changed: each entry matched to an old value is freed and its
// slot set to null. Null lists count as empty. The request is sent even when
// it holds no change. Nothing is sent when the request cannot be built.
int DSReplaceValues(const StrList* oldList, StrList* newList, const char* container,
                    const char* object, const char* attribute, int syntax);

// 1 when the current user may write the attribute of the object.
int DSCanWrite(const char* container, const char* object, const char* attribute);

#ifndef ZELM_LOGPAGE
// Operations of tarq alone; logpage carries only the ones above.

// One attribute of a new object: a single value, or a list of values (used
// when values is not null). Null and empty values are left out, and so is an
// attribute left with none.
struct DSAttribute {
  const char* name;
  int syntax;
  const char* value;
  const StrList* values;
};

// Creates fullName ("%s.%s" of the new name and its container) with
// "Object Class" = className (syntax 20) first, then attributes in order, in
// one add request. The caller shows a non-zero result with DSShowError.
int DSAddObject(const char* fullName, const char* className, const DSAttribute* attributes,
                int count);

// 1 when an object of that name exists; with showDialog the dialog
// "ObjectExists" is shown (owned by the host window) before answering 1.
int DSObjectExists(const char* name, int showDialog);

// Appends ".<name>.Internet Services" for every object directly under
// ".Internet Services". 1 on success, 0 when the list request failed.
int ListServiceObjects(StrList* list);

// The first services object (in listing order) with a "Quorvel:Context"
// value equal to context (ignoring case): its "Quorvel:Host" values are
// appended to hostList. 1 when found.
int FindHostForContext(const char* context, StrList* hostList);

// The first services object with a "Quorvel:Context" value equal to the
// container of objectName (ServerContextOf): its full name is appended to
// serverList. 1 when found.
int FindServerForObject(const char* objectName, StrList* serverList);
#endif  // ZELM_LOGPAGE

// Test hooks: the starting size of every buffer (0 = the normal sizes), and
// how many times buffers grew since the last reset.
void DSSetBufferStartForTesting(uint32_t bytes);
int DSBufferGrowthsForTesting(int reset);
