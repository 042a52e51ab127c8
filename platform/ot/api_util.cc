#include "platform/ot/api_util.h"

#include <stdlib.h>
#include <string.h>

namespace ot {

const char* DeviceTable() {
  const char* table = getenv("OAM_DEVTAB");
  return table != nullptr ? table : "/etc/device.tab";
}

void TraceCall(const char* source, const std::string& what) {
  OTtrace(kOtTraceLevel, source, "%s (device table %s)", what.c_str(),
          DeviceTable());
}

void TraceEscaped(const char* source, const char* what) noexcept {
  OTtrace(kOtTraceLevel, source, "%s exception: %s", source, what);
  // A short text, so that recording it needs no storage.
  RecordFailure(source, Status::kFailed, "Internal error");
}

bool FitsRecord(const Pair& pair) {
  return pair.keyword.size() < OT_KEYWORD_SIZE &&
         pair.value.size() < OT_VALUE_SIZE;
}

AttributeRecord* NewRecord(const Pair& pair) {
  // A text that would fill its field is refused, never cut or written past
  // the end.
  if (!FitsRecord(pair)) return nullptr;
  auto* record =
      static_cast<AttributeRecord*>(calloc(1, sizeof(AttributeRecord)));
  if (record == nullptr) return nullptr;
  memcpy(record->keyword, pair.keyword.c_str(), pair.keyword.size() + 1);
  memcpy(record->value, pair.value.c_str(), pair.value.size() + 1);
  return record;
}

char* CopyText(const std::string& text) {
  char* copy = static_cast<char*>(malloc(text.size() + 1));
  if (copy != nullptr) memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

}  // namespace ot
