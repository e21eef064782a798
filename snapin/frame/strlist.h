// The value list every directory operation of the snap-ins exchanges: a
// growable array of heap strings the list owns.
#pragma once

#include <stdint.h>

enum { kStrListStep = 20 };  // slots added each time the array is full

// A zero-filled StrList is an empty list; release every list with StrListFree.
struct StrList {
  int32_t tag;       // 0, or the kind (1-6) of the multi-valued edit control it backs
  int32_t count;     // strings held
  int32_t capacity;  // slots in items
  char** items;      // owned: the array and every non-null string (malloc'd);
                     // a slot below count may be null after DSReplaceValues
};

// Appends a heap copy of text; null or empty text adds nothing. When the
// array cannot grow the list is emptied (its strings freed) and nothing is
// added. 1 when the text was added, else 0.
int StrListAdd(StrList* list, const char* text);

// Frees every string and the array; count and capacity become 0, tag stays.
void StrListFree(StrList* list);

// Frees the string at index and moves the later ones down one slot. An index
// outside 0..count-1 changes nothing.
void StrListRemove(StrList* list, int index);
