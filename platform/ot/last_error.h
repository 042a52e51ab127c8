// The reason for the last failure of a library call, kept for OTLastError()
// so that the commands can tell a user more than "it failed".

#ifndef RUDED_PLATFORM_OT_LAST_ERROR_H_
#define RUDED_PLATFORM_OT_LAST_ERROR_H_

#include <string>

namespace ot {

// Outcome of an operation of the object store.
enum class Status {
  kOk,
  kAbsent,   // no such object, attribute, method or alias: not an error
  kInvalid,  // an argument the store cannot take (bad alias, long value...)
  kFailed,   // the store could not be read or written
};

// Records message as the last failure.  kInvalid and kFailed are also
// reported in the log with OTerror(source, ...); a kAbsent outcome is an
// ordinary answer and is only recorded.
void RecordFailure(const char* source, Status status,
                   const std::string& message);

// Forgets the last failure: OTLastError() reports success until the next
// one.
void ClearLastError();

}  // namespace ot

#endif  // RUDED_PLATFORM_OT_LAST_ERROR_H_
