#include "platform/ot/last_error.h"

#include <string.h>

#include "platform/ot/ot.h"

namespace ot {
namespace {

// Fixed storage: recording a failure must work when the heap does not.
char g_last_error[512];
int g_last_status = OT_STATUS_OK;

int StatusCode(Status status) {
  switch (status) {
    case Status::kOk:
      return OT_STATUS_OK;
    case Status::kAbsent:
      return OT_STATUS_ABSENT;
    case Status::kInvalid:
      return OT_STATUS_INVALID;
    case Status::kFailed:
      break;
  }
  return OT_STATUS_FAILED;
}

}  // namespace

void RecordFailure(const char* source, Status status,
                   const std::string& message) {
  snprintf(g_last_error, sizeof g_last_error, "%s", message.c_str());
  g_last_status = StatusCode(status);
  if (status == Status::kInvalid || status == Status::kFailed)
    OTerror(source, "%s", message.c_str());
}

void ClearLastError() {
  g_last_error[0] = '\0';
  g_last_status = OT_STATUS_OK;
}

}  // namespace ot

extern "C" const char* OTLastError(int* status) {
  if (status != nullptr) *status = ot::g_last_status;
  return ot::g_last_error;
}
