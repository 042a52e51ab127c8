// Changing objects and running their methods.

#include <stdlib.h>

#include "platform/ot/api_util.h"
#include "platform/ot/method.h"
#include "platform/ot/store.h"

namespace ot {
namespace {

int Put(const char* alias, KeywordList* attributes) {
  const char* source = "OTLput";
  TraceCall(source, alias ? alias : "(null)");
  Pairs updates;
  if (alias == nullptr || !PairsFromList(attributes, &updates)) {
    RecordFailure(source, Status::kInvalid,
                  alias ? "attribute list is not valid" : "no alias given");
    return -1;
  }
  std::string err;
  Status s = UpdateObject(alias, updates, &err);
  if (s != Status::kOk) RecordFailure(source, s, err);
  return s == Status::kOk ? 0 : -1;
}

KeywordList* Perform(const char* alias, const char* method,
                     KeywordList* parameters) {
  const char* source = "OTLperform";
  AttributeRecord* record = OTLgetmethod(alias, method);
  if (record == nullptr) return nullptr;  // OTLgetmethod said why
  std::string command = record->value;
  free(record);
  TraceCall(source, std::string(alias) + " " + method + ": " + command);
  Pairs params, output;
  if (parameters != nullptr && !PairsFromList(parameters, &params)) {
    RecordFailure(source, Status::kInvalid, "parameter list is not valid");
    return nullptr;
  }
  std::string err;
  Status s = RunMethod(alias, method, command, params, &output, &err);
  if (s != Status::kOk) {
    RecordFailure(source, s, err);
    return nullptr;
  }
  KeywordList* list = ListFromPairs(output);
  if (list == nullptr) RecordFailure(source, Status::kFailed, "No more memory");
  return list;
}

}  // namespace
}  // namespace ot

extern "C" {

int OTLput(const char* alias, KeywordList* attributes) {
  return ot::Guarded<int>("OTLput", -1,
                          [&] { return ot::Put(alias, attributes); });
}

KeywordList* OTLperform(const char* alias, const char* method,
                        KeywordList* parameters) {
  return ot::Guarded<KeywordList*>("OTLperform", nullptr, [&] {
    return ot::Perform(alias, method, parameters);
  });
}

}  // extern "C"
