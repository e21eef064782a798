// The two callbacks both snap-ins export for the host: DSLaunchProc serves
// every browse dialog (class filters by browse type, the picked name into
// the browse buffer), MvedProc every multi-valued edit control (class
// filters and values by the kind in its StrList's tag). The tables behind
// them are plain functions, so the suites reach every row.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "hostext32.h"

extern "C" {
int32_t QZXAPI DSLaunchProc(int32_t browseType, uint32_t message, intptr_t param3,
                            intptr_t param4);
// list: the StrList the page gave QZXCreateMved.
int32_t QZXAPI MvedProc(void* list, uint32_t message, intptr_t param3, intptr_t param4);
}

// Class filters of a browse type: how many (-1 for a type without filters,
// whose count is left as the host set it), and the name of one (null past
// the end).
int BrowseFilterCount(int32_t browseType);
const char* BrowseFilterName(int32_t browseType, intptr_t index);

// The same for a kind of multi-valued edit control (0 for the typed kinds
// and unknown ones), and the attribute the kind reads (null when unknown).
int MvedFilterCount(int32_t kind);
const char* MvedFilterName(int32_t kind, intptr_t index);
const char* MvedAttribute(int32_t kind);

// The object whose "Quorvel:Context" the contexts control (kind 1) shows:
// the current object's name from its first "." on, that "." included (the
// messaging server of a store agent, named from the root); the whole name
// when it has no ".". 1 when it fitted out (capacity bytes with the NUL).
int ContextOwnerOf(const char* name, char* out, size_t capacity);
