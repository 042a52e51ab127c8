#include "ls/dev_table.h"

#include <stdlib.h>

#include "ls/ls_internal.h"
#include "platform/ot/ot.h"

namespace ls {
namespace {

// Sets OAM_DEVTAB to value and traces what the environment then holds.
void PutDevTab(const char* component, const char* value) {
  setenv(kDevTabVariable, value, 1);
  const char* now = getenv(kDevTabVariable);
  if (now != nullptr)
    IOTrace(7, component, "OAM_DEVTAB=%s", now);
  else
    IOTrace(7, component, "reset failed");
}

}  // namespace

const char* DevTableLookup() {
  const char* value = getenv(kDevTabVariable);
  IOTrace(7, "verify_node", value != nullptr ? "getenv is set" : "getenv not set");
  return value;
}

std::string DevTablePath() {
  const char* value = DevTableLookup();
  return value != nullptr ? value : kDevTabDefault;
}

std::string DevTablePathQuiet() {
  const char* value = getenv(kDevTabVariable);
  return value != nullptr ? value : kDevTabDefault;
}

DefaultDevTable::DefaultDevTable() {
  const char* current = DevTableLookup();
  if (current == nullptr) return;
  caller_value_ = current;  // copied before the environment changes
  saved_ = true;
  IOTrace(7, "LSGetservers", "saved current table setting, setting DEFAULT");
  PutDevTab("LSGetservers", kDevTabDefault);
}

DefaultDevTable::~DefaultDevTable() {
  if (!saved_) return;
  IOTrace(7, "verify_node", "resetting OAM_DEVTAB to %s", caller_value_.c_str());
  PutDevTab("verify_node", caller_value_.c_str());
}

}  // namespace ls
