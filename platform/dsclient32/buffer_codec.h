// The byte layouts of request and result buffers (documented in dsclient32.h):
// puts, decoding a request for the engine, writing results and taking them.
// No window or file code here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dsclient32.h"
#include "tree.h"

namespace zelm::dsc {

int PrepareBuffer(DSCBuffer* b, uint32_t operation);
int PutAttributeName(DSCBuffer* b, const char* name);
int PutChange(DSCBuffer* b, uint32_t change, const char* name);
int PutValue(DSCBuffer* b, uint32_t syntax, const char* value);

int DecodeNames(const DSCBuffer* b, std::vector<std::string>* names);
int DecodeAdd(const DSCBuffer* b, std::vector<dir::AttributeIn>* attrs);
int DecodeModify(const DSCBuffer* b, std::vector<dir::Change>* changes);

// Fills a result buffer item by item; an item is written only when it fits whole.
class ResultWriter {
 public:
  ResultWriter(DSCBuffer* b, uint32_t operation);
  size_t room() const { return b_->size - b_->length; }
  uint32_t count() const { return count_; }
  void U32(uint32_t v);
  void Text(std::string_view text);  // length, then bytes
  uint32_t Reserve();                // a u32 filled in later; returns its offset
  void Patch(uint32_t at, uint32_t v);
  void EndItem() { ++count_; }
  void Finish();

 private:
  DSCBuffer* b_;
  uint32_t count_ = 0;
};

// Taking results. Walks start on the first take when the caller did not ask
// for the count first.
int ResultCount(DSCBuffer* b, uint32_t operation, uint32_t* count);
int TakeAttribute(DSCBuffer* b, char* name, uint32_t* valueCount, uint32_t* syntax);
int TakeValue(DSCBuffer* b, char* value);
int TakeObject(DSCBuffer* b, char* name, uint32_t* attributeCount, DSCObjectInfo* info);

}  // namespace zelm::dsc
