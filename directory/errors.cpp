#include "errors.h"

namespace zelm::dir {

const char* ResultText(int code) {
  switch (code) {
    case kOk: return "Success";
    case kErrBufferFull: return "Buffer full";
    case kErrBadSyntax: return "Bad syntax";
    case kErrNoContext: return "No context";
    case kErrNoSuchEntry: return "No such entry";
    case kErrNoSuchValue: return "No such value";
    case kErrNoSuchAttribute: return "No such attribute";
    case kErrNoSuchClass: return "No such class";
    case kErrEntryExists: return "Entry already exists";
    case kErrIllegalAttribute: return "Illegal attribute specified";
    case kErrSyntaxViolation: return "Syntax violation";
    case kErrDuplicateValue: return "Duplicate value specified";
    case kErrBadName: return "Syntax invalid in name";
    case kErrSystemFailure: return "System failure";
    case kErrInvalidRequest: return "Invalid request";
    case kErrClassExists: return "Class already exists";
    case kErrInsufficientBuffer: return "Insufficient buffer space";
    case kErrSchemaSync: return "Schema sync in progress";
    case kErrLocked: return "Directory services locked";
    case kErrNoAccess: return "No access";
    default: return "Undefined DS error";
  }
}

}  // namespace zelm::dir
