#include "strlist.h"

#include <stdlib.h>
#include <string.h>

int StrListAdd(StrList* list, const char* text) {
  if (!list || !text || !text[0]) return 0;
  if (list->count + 1 > list->capacity) {
    char** grown = nullptr;
    if (list->capacity <= INT32_MAX - kStrListStep) {
      size_t slots = static_cast<size_t>(list->capacity) + kStrListStep;
      grown = static_cast<char**>(realloc(list->items, slots * sizeof(char*)));
    }
    if (!grown) {
      // The list cannot take its value: drop it whole rather than keep a
      // list the caller believes complete.
      StrListFree(list);
      return 0;
    }
    for (int32_t i = list->capacity; i < list->capacity + kStrListStep; ++i) grown[i] = nullptr;
    list->items = grown;
    list->capacity += kStrListStep;
  }
  size_t n = strlen(text) + 1;
  char* copy = static_cast<char*>(malloc(n));
  if (!copy) return 0;
  memcpy(copy, text, n);
  list->items[list->count++] = copy;
  return 1;
}

void StrListFree(StrList* list) {
  if (!list) return;
  if (list->items) {
    for (int32_t i = 0; i < list->count; ++i) free(list->items[i]);
    free(list->items);
  }
  list->items = nullptr;
  list->count = 0;
  list->capacity = 0;
}

void StrListRemove(StrList* list, int index) {
  if (!list || !list->items || index < 0 || index >= list->count) return;
  free(list->items[index]);
  memmove(list->items + index, list->items + index + 1,
          static_cast<size_t>(list->count - index - 1) * sizeof(char*));
  list->items[--list->count] = nullptr;
}
