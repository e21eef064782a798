#include "buffer_codec.h"

#include <cstring>

#include "codec.h"
#include "errors.h"
#include "names.h"
#include "schema.h"

namespace zelm::dsc {
namespace {

using dir::GetU32;
using dir::SetU32;

bool IsRequestOp(uint32_t op) {
  return op == DSC_OP_READ || op == DSC_OP_ADD_OBJECT || op == DSC_OP_MODIFY_OBJECT;
}

void Append(DSCBuffer* b, const void* bytes, size_t n) {
  std::memcpy(b->data + b->length, bytes, n);
  b->length += static_cast<uint32_t>(n);
}

void AppendU32(DSCBuffer* b, uint32_t v) {
  SetU32(b->data + b->length, v);
  b->length += 4;
}

void BumpCount(DSCBuffer* b, uint32_t at) { SetU32(b->data + at, GetU32(b->data + at) + 1); }

// A cursor over the used part of a buffer that never reads past it.
class Reader {
 public:
  Reader(const DSCBuffer* b, uint32_t at) : b_(b), at_(at) {}
  bool U32(uint32_t* v) {
    if (!Need(4)) return false;
    *v = GetU32(b_->data + at_);
    at_ += 4;
    return true;
  }
  bool Text(std::string* text) {
    uint32_t n;
    if (!U32(&n) || !Need(n)) return false;
    text->assign(reinterpret_cast<const char*>(b_->data + at_), n);
    at_ += n;
    return true;
  }
  // Copies a text of at most limit - 1 bytes into out with a NUL.
  bool TextInto(char* out, size_t limit) {
    uint32_t n;
    if (!U32(&n) || !Need(n) || n >= limit) return false;
    if (out) {
      std::memcpy(out, b_->data + at_, n);
      out[n] = '\0';
    }
    at_ += n;
    return true;
  }
  uint32_t at() const { return at_; }
  bool done() const { return at_ == b_->length; }

 private:
  bool Need(uint64_t n) const {
    return b_->length <= b_->size && uint64_t(at_) + n <= b_->length;
  }
  const DSCBuffer* b_;
  uint32_t at_;
};

bool ReadValues(Reader& in, std::vector<dir::ValueIn>* values) {
  uint32_t n;
  if (!in.U32(&n)) return false;
  for (uint32_t i = 0; i < n; ++i) {
    dir::ValueIn v;
    if (!in.U32(&v.syntax) || !in.Text(&v.text)) return false;
    values->push_back(std::move(v));
  }
  return true;
}

int CheckName(const char* name) {
  if (!name) return dir::kErrInvalidRequest;
  size_t n = std::strlen(name);
  if (n == 0 || n > dir::kMaxSchemaNameLength) return dir::kErrNoSuchAttribute;
  return dir::kOk;
}

}  // namespace

int PrepareBuffer(DSCBuffer* b, uint32_t operation) {
  if (!b || !IsRequestOp(operation)) return dir::kErrInvalidRequest;
  if (b->size < 4) return DSC_ERR_BUFFER_FULL;
  b->operation = operation;
  b->length = 0;
  AppendU32(b, 0);
  b->cursor = b->itemAt = b->itemsLeft = b->valuesLeft = 0;
  return dir::kOk;
}

int PutAttributeName(DSCBuffer* b, const char* name) {
  if (!b || (b->operation != DSC_OP_READ && b->operation != DSC_OP_ADD_OBJECT) || b->length < 4)
    return dir::kErrInvalidRequest;
  if (int r = CheckName(name)) return r;
  size_t n = std::strlen(name);
  bool add = b->operation == DSC_OP_ADD_OBJECT;
  if (b->size - b->length < 4 + n + (add ? 4 : 0)) return DSC_ERR_BUFFER_FULL;
  AppendU32(b, static_cast<uint32_t>(n));
  Append(b, name, n);
  if (add) {
    b->itemAt = b->length;
    AppendU32(b, 0);
  }
  BumpCount(b, 0);
  return dir::kOk;
}

int PutChange(DSCBuffer* b, uint32_t change, const char* name) {
  if (!b || b->operation != DSC_OP_MODIFY_OBJECT || b->length < 4 ||
      change > DSC_CHANGE_REMOVE_VALUE)
    return dir::kErrInvalidRequest;
  if (int r = CheckName(name)) return r;
  size_t n = std::strlen(name);
  if (b->size - b->length < 12 + n) return DSC_ERR_BUFFER_FULL;
  AppendU32(b, change);
  AppendU32(b, static_cast<uint32_t>(n));
  Append(b, name, n);
  b->itemAt = b->length;
  AppendU32(b, 0);
  BumpCount(b, 0);
  return dir::kOk;
}

int PutValue(DSCBuffer* b, uint32_t syntax, const char* value) {
  if (!b || !value || (b->operation != DSC_OP_ADD_OBJECT && b->operation != DSC_OP_MODIFY_OBJECT) ||
      b->itemAt == 0 || b->itemAt + 4 > b->length)
    return dir::kErrInvalidRequest;
  if (!dir::Schema::KnownSyntax(syntax)) return DSC_ERR_BAD_SYNTAX;
  size_t n = std::strlen(value);
  if (n > dir::kMaxValueLength) return dir::kErrSyntaxViolation;
  if (b->size - b->length < 8 + n) return DSC_ERR_BUFFER_FULL;
  AppendU32(b, syntax);
  AppendU32(b, static_cast<uint32_t>(n));
  Append(b, value, n);
  BumpCount(b, b->itemAt);
  return dir::kOk;
}

int DecodeNames(const DSCBuffer* b, std::vector<std::string>* names) {
  if (!b || b->operation != DSC_OP_READ) return dir::kErrInvalidRequest;
  Reader in(b, 0);
  uint32_t n;
  if (!in.U32(&n)) return dir::kErrInvalidRequest;
  for (uint32_t i = 0; i < n; ++i) {
    std::string name;
    if (!in.Text(&name)) return dir::kErrInvalidRequest;
    names->push_back(std::move(name));
  }
  return in.done() ? dir::kOk : dir::kErrInvalidRequest;
}

int DecodeAdd(const DSCBuffer* b, std::vector<dir::AttributeIn>* attrs) {
  if (!b || b->operation != DSC_OP_ADD_OBJECT) return dir::kErrInvalidRequest;
  Reader in(b, 0);
  uint32_t n;
  if (!in.U32(&n)) return dir::kErrInvalidRequest;
  for (uint32_t i = 0; i < n; ++i) {
    dir::AttributeIn a;
    if (!in.Text(&a.name) || !ReadValues(in, &a.values)) return dir::kErrInvalidRequest;
    attrs->push_back(std::move(a));
  }
  return in.done() ? dir::kOk : dir::kErrInvalidRequest;
}

int DecodeModify(const DSCBuffer* b, std::vector<dir::Change>* changes) {
  if (!b || b->operation != DSC_OP_MODIFY_OBJECT) return dir::kErrInvalidRequest;
  Reader in(b, 0);
  uint32_t n;
  if (!in.U32(&n)) return dir::kErrInvalidRequest;
  for (uint32_t i = 0; i < n; ++i) {
    dir::Change c;
    if (!in.U32(&c.code) || !in.Text(&c.attribute) || !ReadValues(in, &c.values))
      return dir::kErrInvalidRequest;
    changes->push_back(std::move(c));
  }
  return in.done() ? dir::kOk : dir::kErrInvalidRequest;
}

ResultWriter::ResultWriter(DSCBuffer* b, uint32_t operation) : b_(b) {
  b_->operation = operation;
  b_->length = 0;
  b_->cursor = b_->itemAt = b_->itemsLeft = b_->valuesLeft = 0;
  if (b_->size >= 4) AppendU32(b_, 0);
}

void ResultWriter::U32(uint32_t v) { AppendU32(b_, v); }

void ResultWriter::Text(std::string_view text) {
  AppendU32(b_, static_cast<uint32_t>(text.size()));
  Append(b_, text.data(), text.size());
}

uint32_t ResultWriter::Reserve() {
  uint32_t at = b_->length;
  AppendU32(b_, 0);
  return at;
}

void ResultWriter::Patch(uint32_t at, uint32_t v) { SetU32(b_->data + at, v); }

void ResultWriter::Finish() {
  if (b_->length >= 4) SetU32(b_->data, count_);
}

int ResultCount(DSCBuffer* b, uint32_t operation, uint32_t* count) {
  if (!b || b->operation != operation || b->length < 4 || b->length > b->size)
    return dir::kErrInvalidRequest;
  b->itemsLeft = GetU32(b->data);
  b->cursor = 4;
  b->valuesLeft = 0;
  if (count) *count = b->itemsLeft;
  return dir::kOk;
}

int TakeAttribute(DSCBuffer* b, char* name, uint32_t* valueCount, uint32_t* syntax) {
  if (b && b->cursor == 0)
    if (int r = ResultCount(b, DSC_OP_READ, nullptr)) return r;
  if (!b || b->operation != DSC_OP_READ) return dir::kErrInvalidRequest;
  Reader in(b, b->cursor);
  for (; b->valuesLeft > 0; --b->valuesLeft)
    if (!in.TextInto(nullptr, DSC_VALUE_BYTES)) return dir::kErrInvalidRequest;
  b->cursor = in.at();
  if (b->itemsLeft == 0) return dir::kErrNoSuchAttribute;
  uint32_t s, n;
  if (!in.TextInto(name, DSC_SCHEMA_NAME_BYTES) || !in.U32(&s) || !in.U32(&n))
    return dir::kErrInvalidRequest;
  if (syntax) *syntax = s;
  if (valueCount) *valueCount = n;
  b->cursor = in.at();
  b->valuesLeft = n;
  --b->itemsLeft;
  return dir::kOk;
}

int TakeValue(DSCBuffer* b, char* value) {
  if (!b || b->operation != DSC_OP_READ || !value) return dir::kErrInvalidRequest;
  if (b->valuesLeft == 0) return dir::kErrNoSuchValue;
  Reader in(b, b->cursor);
  if (!in.TextInto(value, DSC_VALUE_BYTES)) return dir::kErrInvalidRequest;
  b->cursor = in.at();
  --b->valuesLeft;
  return dir::kOk;
}

int TakeObject(DSCBuffer* b, char* name, uint32_t* attributeCount, DSCObjectInfo* info) {
  if (b && b->cursor == 0)
    if (int r = ResultCount(b, DSC_OP_LIST, nullptr)) return r;
  if (!b || b->operation != DSC_OP_LIST) return dir::kErrInvalidRequest;
  if (b->itemsLeft == 0) return dir::kErrNoSuchEntry;
  Reader in(b, b->cursor);
  uint32_t attrs, flags, subs;
  char cls[DSC_SCHEMA_NAME_BYTES];
  if (!in.TextInto(name, DSC_NAME_BYTES) || !in.U32(&attrs) || !in.U32(&flags) ||
      !in.U32(&subs) || !in.TextInto(cls, sizeof cls))
    return dir::kErrInvalidRequest;
  if (attributeCount) *attributeCount = attrs;
  if (info) {
    info->flags = flags;
    info->subordinateCount = subs;
    std::memcpy(info->className, cls, sizeof cls);
  }
  b->cursor = in.at();
  --b->itemsLeft;
  return dir::kOk;
}

}  // namespace zelm::dsc
