// Steps shared by the exported functions of the object-tool library: the
// exception barrier at the C edge, the entry trace, and the records handed
// to C callers.

#ifndef RUDED_PLATFORM_OT_API_UTIL_H_
#define RUDED_PLATFORM_OT_API_UTIL_H_

#include <exception>
#include <new>
#include <string>

#include "platform/ot/last_error.h"
#include "platform/ot/ot.h"
#include "platform/ot/pairs.h"

namespace ot {

// Trace level of the library's own lines; the location service traces at 7.
inline constexpr int kOtTraceLevel = 8;

// The device table that OAM_DEVTAB names, or "/etc/device.tab".
const char* DeviceTable();

// Traces a call at kOtTraceLevel under source, with the device table.
void TraceCall(const char* source, const std::string& what);

// Traces, at kOtTraceLevel under source, an exception that reached the
// edge, and records the call as failed.
void TraceEscaped(const char* source, const char* what) noexcept;

// The C edge of every exported function: runs body and returns its result.
// One rule: storage that runs out (std::bad_alloc) is the call's storage
// failure, "No more memory", given as fallback; any other exception gives
// fallback too, with a trace line under source; no exception ever reaches
// (or terminates) the C caller.
template <typename T, typename Body>
T Guarded(const char* source, T fallback, Body body) noexcept {
  try {
    ClearLastError();
    return body();
  } catch (const std::bad_alloc&) {
    RecordFailure(source, Status::kFailed, "No more memory");
  } catch (const std::exception& e) {
    TraceEscaped(source, e.what());
  } catch (...) {
    TraceEscaped(source, "unknown exception");
  }
  return fallback;
}

// True when the pair's texts fit the fields of an AttributeRecord with
// their terminating NULs.
bool FitsRecord(const Pair& pair);

// A malloc()ed record of the pair; nullptr when a text does not fit its
// field or there is no storage.
AttributeRecord* NewRecord(const Pair& pair);

// A malloc()ed copy of text; nullptr without storage.
char* CopyText(const std::string& text);

}  // namespace ot

#endif  // RUDED_PLATFORM_OT_API_UTIL_H_
