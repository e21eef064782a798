#include "drop_block.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void PutU32(char* at, uint32_t v) { memcpy(at, &v, sizeof v); }
void PutI32(char* at, int32_t v) { memcpy(at, &v, sizeof v); }

bool Reserve(DropBlock* block, size_t more) {
  if (block->size + more <= block->capacity) return true;
  size_t capacity = block->capacity * 2;
  if (capacity < block->size + more) capacity = block->size + more;
  char* grown = static_cast<char*>(realloc(block->bytes, capacity));
  if (!grown) return false;
  block->bytes = grown;
  block->capacity = capacity;
  return true;
}

}  // namespace

bool DropBlockStart(DropBlock* block, POINT point, bool outsideClient) {
  block->capacity = 256;
  block->bytes = static_cast<char*>(calloc(1, block->capacity));
  block->size = 0;
  block->names = 0;
  if (!block->bytes) {
    block->capacity = 0;
    return false;
  }
  PutU32(block->bytes, kDropHeaderSize);        // where the names start
  PutI32(block->bytes + 4, point.x);
  PutI32(block->bytes + 8, point.y);
  PutU32(block->bytes + 12, outsideClient ? 1 : 0);
  PutU32(block->bytes + 16, 0);                 // narrow characters
  block->bytes[kDropHeaderSize] = '\0';         // no names yet
  block->size = kDropHeaderSize + 1;
  return true;
}

bool DropBlockAppend(DropBlock* block, const char* name, const char* secondName,
                     bool targetIsPane) {
  if (!block->bytes || !name || !*name) return true;
  bool second = targetIsPane && secondName && *secondName;
  size_t n = strlen(name);
  size_t m = second ? strlen(secondName) : 0;
  size_t add = n + 1 + (second ? m + 1 : 0);
  if (!Reserve(block, add)) return false;
  // The closing NUL moves to the end: the new name takes its place.
  char* at = block->bytes + block->size - 1;
  memcpy(at, name, n);
  at += n;
  if (second) {
    *at++ = static_cast<char>(kDropSecondNameMark);
    memcpy(at, secondName, m);
    at += m;
  }
  *at++ = '\0';
  *at = '\0';
  block->size += add;
  ++block->names;
  return true;
}

void DropBlockFree(DropBlock* block) {
  free(block->bytes);
  block->bytes = nullptr;
  block->size = block->capacity = 0;
  block->names = 0;
}

HGLOBAL DropBlockToGlobal(const DropBlock* block) {
  if (!block->bytes) return nullptr;
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, block->size);
  if (!h) return nullptr;
  void* p = GlobalLock(h);
  if (!p) {
    GlobalFree(h);
    return nullptr;
  }
  memcpy(p, block->bytes, block->size);
  GlobalUnlock(h);
  return h;
}
