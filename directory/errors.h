// Result codes of the directory: 0 for success, otherwise one of the negative
// codes the administration tools know how to show.
#pragma once

namespace zelm::dir {

enum Result : int {
  kOk = 0,
  kErrBufferFull = -304,          // a request buffer has no room for the put
  kErrBadSyntax = -306,           // a syntax code the client does not know
  kErrNoContext = -328,           // no context could be created
  kErrNoSuchEntry = -601,
  kErrNoSuchValue = -602,
  kErrNoSuchAttribute = -603,
  kErrNoSuchClass = -604,
  kErrEntryExists = -606,
  kErrIllegalAttribute = -608,    // not an attribute of the object's class
  kErrSyntaxViolation = -613,     // wrong syntax, bad value, second value of a single-valued attribute
  kErrDuplicateValue = -614,
  kErrBadName = -623,             // syntax invalid in name
  kErrSystemFailure = -632,       // the database file could not be read or written
  kErrInvalidRequest = -641,
  kErrClassExists = -645,
  kErrInsufficientBuffer = -649,  // a result does not fit the caller's buffer
  kErrSchemaSync = -657,
  kErrLocked = -663,
  kErrNoAccess = -672,
};

// The short text of a code, for tools and logs ("No such entry").
const char* ResultText(int code);

}  // namespace zelm::dir
