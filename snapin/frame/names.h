// Directory names as the snap-ins handle them: typeless dotted names, most
// specific component first, "." leading a name taken from the root, "[Root]"
// for the root. Pure text functions; no directory access here.
#pragma once

#include <stddef.h>

// The container of name as a name context, in a new heap string (free() it;
// null only when memory runs out): "." when name has no "."; "[Root]" when
// nothing follows its first "."; else the text after the first ".", with "."
// appended unless it already ends in ".". A null name counts as "".
char* GetParentContext(const char* name);

// Two containers at once, each a new heap string (free() both): for first,
// the text after its first "." ("[Root]" when nothing follows it, first itself
// when it has no "."); for second, the text after its first "." ("" when it
// has no "." or nothing follows). 1, or 0 (both null) when memory runs out.
int GetParentContexts(const char* first, const char* second, char** firstParent,
                      char** secondParent);

// The page container of an object: the text after the first "." of name (the
// whole name when it has none) with "." appended. 1 when it fits out
// (capacity bytes with the NUL), else 0 and out is "".
int PageContainerOf(const char* name, char* out, size_t capacity);

// The context FindServerForObject looks for: after skipping one leading ".",
// the text after the first "."; when no further "." follows, the name without
// its leading "." if it had one, else ".". 1 when it fits out, else 0 and "".
int ServerContextOf(const char* name, char* out, size_t capacity);

// Equal ignoring ASCII letter case, as the directory compares names and
// case-ignore values. Null equals only null.
int SameText(const char* a, const char* b);

// Copies src into dst (capacity bytes with the NUL), cutting what does not
// fit. 1 when all of src fitted, 0 when it was cut (or capacity is 0).
int CopyText(char* dst, size_t capacity, const char* src);
