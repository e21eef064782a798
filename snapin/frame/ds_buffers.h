// Request and result buffers of the directory operations, and their growth:
// a put that answers "buffer full" (-304), or a read or list that answers
// "result buffer too small" (-649), gets a buffer 4,096 bytes larger holding
// the same contents and is repeated. Internal to the layer.
#pragma once

#include "dsclient32.h"

namespace frame {

enum { kMaxBufferBytes = 1 << 20 };  // growth ends here: the operation fails instead

// A buffer of the layer's normal size (or the test hook's), prepared for
// operation on context when operation is not 0. Null when none can be had.
DSCBuffer* NewBuffer(int32_t context, uint32_t normalBytes, uint32_t operation);
void FreeBuffer(DSCBuffer* buffer);

// Replaces *buffer by one 4,096 bytes larger with the same state. 0, or the
// error that ends the operation (the old buffer is then kept).
int Grow(DSCBuffer** buffer);

// Puts, repeated after growth while the buffer is full.
int PutName(int32_t context, DSCBuffer** buffer, const char* name);
int PutChange(int32_t context, DSCBuffer** buffer, uint32_t change, const char* name);
int PutValue(int32_t context, DSCBuffer** buffer, uint32_t syntax, const char* value);

}  // namespace frame
