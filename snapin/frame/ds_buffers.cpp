#include "ds_buffers.h"

#include "ds_access.h"

namespace frame {
namespace {

uint32_t g_startBytes = 0;  // test hook; 0 = the operation's normal size
int g_growths = 0;

template <class Put>
int Repeat(DSCBuffer** buffer, Put put) {
  for (;;) {
    uint32_t at = (*buffer)->length;
    int r = put(*buffer);
    if (r != DSC_ERR_BUFFER_FULL) return r;
    (*buffer)->length = at;  // the put must leave nothing behind
    if (Grow(buffer) != 0) return r;
  }
}

}  // namespace

DSCBuffer* NewBuffer(int32_t context, uint32_t normalBytes, uint32_t operation) {
  DSCBuffer* b = nullptr;
  if (DSCAllocBuffer(g_startBytes ? g_startBytes : normalBytes, &b) != 0) return nullptr;
  if (operation && DSCInitBuffer(context, operation, b) != 0) {
    DSCFreeBuffer(b);
    return nullptr;
  }
  return b;
}

void FreeBuffer(DSCBuffer* buffer) {
  if (buffer) DSCFreeBuffer(buffer);
}

int Grow(DSCBuffer** buffer) {
  DSCBuffer* old = *buffer;
  if (old->size > kMaxBufferBytes - kDSBufferBytes) return DSC_ERR_INSUFFICIENT_BUFFER;
  DSCBuffer* bigger = nullptr;
  if (DSCAllocBuffer(old->size + kDSBufferBytes, &bigger) != 0 || !bigger)
    return DSC_ERR_INSUFFICIENT_BUFFER;
  if (int r = DSCBufferCopy(bigger, old)) {
    DSCFreeBuffer(bigger);
    return r;
  }
  DSCFreeBuffer(old);
  *buffer = bigger;
  ++g_growths;
  return 0;
}

int PutName(int32_t context, DSCBuffer** buffer, const char* name) {
  return Repeat(buffer, [&](DSCBuffer* b) { return DSCPutAttributeName(context, b, name); });
}

int PutChange(int32_t context, DSCBuffer** buffer, uint32_t change, const char* name) {
  return Repeat(buffer, [&](DSCBuffer* b) { return DSCPutChange(context, b, change, name); });
}

int PutValue(int32_t context, DSCBuffer** buffer, uint32_t syntax, const char* value) {
  return Repeat(buffer, [&](DSCBuffer* b) { return DSCPutValue(context, b, syntax, value); });
}

}  // namespace frame

void DSSetBufferStartForTesting(uint32_t bytes) { frame::g_startBytes = bytes; }

int DSBufferGrowthsForTesting(int reset) {
  int n = frame::g_growths;
  if (reset) frame::g_growths = 0;
  return n;
}
