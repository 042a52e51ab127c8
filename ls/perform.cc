// RSPerform: a method of a managed object run here or on a name server.

#include <utility>

#include "ls/dev_table.h"
#include "ls/frame.h"
#include "platform/ot/ot.h"

namespace ls {
namespace {

constexpr char kComponent[] = "RS.RSPerform";

// Composes and runs the remote line; false after logging.
bool RunPerform(const NetTarget& target, const char* method,
                const char* devtab, const TempFile& param,
                const TempFile& output) {
  ShellLine command, line;
  if (!ComposeCommand(kComponent, devtab, "OTperform -A %s -M %s -I -",
                      {{"alias", target.alias, WordRule::kWord},
                       {"method", method, WordRule::kWord}},
                      &command))
    return false;
  IOTrace(7, kComponent, "%s cmd: %s", kComponent, command.c_str());
  IOTrace(7, kComponent, "local_file %s", output.name());
  if (!ComposeRemote(kComponent, target.node, command, &param, &output, &line))
    return false;
  IOTrace(7, kComponent, "%s remote_cmd: %s", kComponent, line.c_str());
  IOTrace(7, kComponent, "local_file %s", output.name());
  int status = RunLine(line);
  if (RunSucceeded(status)) return true;
  IOTrace(7, kComponent, "system status %d %d\n", status, status >> 8);
  LogRunFailure(kComponent, status, line);
  return false;
}

// The parameter file is named before the node is checked; declared first,
// it is removed last, after the output file.
KeywordList* PerformRemote(const NetTarget& target, const char* method,
                           KeywordList* parameters, const char* devtab) {
  TempFile param;
  if (!param.Make(kParamTemplate)) {
    IOLog(kComponent, 799, 1, "failed to make a temporary file %s",
          kParamTemplate);
    return nullptr;
  }
  if (!VerifyServer(kComponent, target.node)) return nullptr;
  UniqueFile stream = param.Open("w");
  if (stream == nullptr) {
    IOLog(kComponent, 799, 2, "failed to open temporary file %s", param.name());
    return nullptr;
  }
  if (!WriteParameters(std::move(stream), parameters, ParamStyle::kQuotedTraced,
                       kComponent, param.name()))
    return nullptr;
  TempFile output;
  if (!output.Make(kPerformTemplate)) {
    IOLog(kComponent, 799, 4, "failed to make a temporary file %s",
          kPerformTemplate);
    return nullptr;
  }
  IOTrace(7, kComponent, "local_file %s", output.name());
  if (!RunPerform(target, method, devtab, param, output)) return nullptr;
  IOTrace(7, kComponent, "local_file %s", output.name());
  UniqueFile result_stream = output.Open("r");
  if (result_stream == nullptr) {
    IOLog(kComponent, 799, 5, "failed to open temporary file %s", output.name());
    return nullptr;
  }
  KeywordList* result = KeywordStreamToList(result_stream.get());
  if (result == nullptr)
    IOLog(kComponent, 799, 5, "%s failed", "KeywordStreamToList");
  return result;
}

KeywordList* Perform(const char* netalias, const char* method,
                     KeywordList* parameters) {
  const std::string devtab = DevTablePathQuiet();
  NetTarget target;
  if (!SplitNetalias(kComponent, netalias, &target) || method == nullptr)
    return nullptr;
  if (target.has_node) {
    IOTrace(7, kComponent, "remote call to %s alias %s", target.node,
            target.alias);
    IOTrace(7, kComponent, "DestroyKeywordList");
  }
  if (IsLocalTarget(target))
    return OTLperform(target.alias, method, parameters);
  if (!ValuesAllowed(kComponent, parameters)) return nullptr;
  return PerformRemote(target, method, parameters, devtab.c_str());
}

}  // namespace
}  // namespace ls

extern "C" KeywordList* RSPerform(const char* netalias, const char* method,
                                  KeywordList* parameters) {
  return ls::Guarded<KeywordList*>(ls::kComponent, nullptr, [&] {
    return ls::Perform(netalias, method, parameters);
  });
}
