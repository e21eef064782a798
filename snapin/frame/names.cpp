#include "names.h"

#include <stdlib.h>
#include <string.h>

namespace {

char* HeapCopy(const char* text, size_t length, const char* suffix) {
  size_t extra = suffix ? strlen(suffix) : 0;
  char* copy = static_cast<char*>(malloc(length + extra + 1));
  if (!copy) return nullptr;
  memcpy(copy, text, length);
  if (extra) memcpy(copy + length, suffix, extra);
  copy[length + extra] = '\0';
  return copy;
}

int Fit(char* out, size_t capacity, const char* a, size_t an, const char* b) {
  size_t bn = b ? strlen(b) : 0;
  if (!out || capacity == 0) return 0;
  if (an + bn + 1 > capacity) {
    out[0] = '\0';
    return 0;
  }
  memcpy(out, a, an);
  if (bn) memcpy(out + an, b, bn);
  out[an + bn] = '\0';
  return 1;
}

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

char* GetParentContext(const char* name) {
  if (!name) name = "";
  const char* dot = strchr(name, '.');
  if (!dot) return HeapCopy(".", 1, nullptr);
  const char* rest = dot + 1;
  size_t n = strlen(rest);
  if (n == 0) return HeapCopy("[Root]", 6, nullptr);
  return HeapCopy(rest, n, rest[n - 1] == '.' ? nullptr : ".");
}

int GetParentContexts(const char* first, const char* second, char** firstParent,
                      char** secondParent) {
  if (!first) first = "";
  if (!second) second = "";
  const char* dot = strchr(first, '.');
  char* a;
  if (!dot) a = HeapCopy(first, strlen(first), nullptr);
  else if (!dot[1]) a = HeapCopy("[Root]", 6, nullptr);
  else a = HeapCopy(dot + 1, strlen(dot + 1), nullptr);
  dot = strchr(second, '.');
  char* b = dot ? HeapCopy(dot + 1, strlen(dot + 1), nullptr) : HeapCopy("", 0, nullptr);
  if (!a || !b) {
    free(a);
    free(b);
    a = b = nullptr;
  }
  *firstParent = a;
  *secondParent = b;
  return a != nullptr;
}

int PageContainerOf(const char* name, char* out, size_t capacity) {
  if (!name) name = "";
  const char* dot = strchr(name, '.');
  const char* from = dot ? dot + 1 : name;
  return Fit(out, capacity, from, strlen(from), ".");
}

int ServerContextOf(const char* name, char* out, size_t capacity) {
  if (!name) name = "";
  const char* from = name[0] == '.' ? name + 1 : name;
  const char* dot = strchr(from, '.');
  if (dot) return Fit(out, capacity, dot + 1, strlen(dot + 1), nullptr);
  if (from != name) return Fit(out, capacity, from, strlen(from), nullptr);
  return Fit(out, capacity, ".", 1, nullptr);
}

int SameText(const char* a, const char* b) {
  if (!a || !b) return a == b;
  for (; *a && *b; ++a, ++b)
    if (Fold(*a) != Fold(*b)) return 0;
  return *a == *b;
}

int CopyText(char* dst, size_t capacity, const char* src) {
  if (!dst || capacity == 0) return 0;
  if (!src) src = "";
  size_t n = strlen(src);
  if (n < capacity) {
    memcpy(dst, src, n + 1);
    return 1;
  }
  memcpy(dst, src, capacity - 1);
  dst[capacity - 1] = '\0';
  return 0;
}
