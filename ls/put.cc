// LSPut: attributes written to a managed object here or on a name server.

#include <utility>

#include "ls/dev_table.h"
#include "ls/frame.h"
#include "platform/ot/ot.h"

namespace ls {
namespace {

constexpr char kComponent[] = "LS.LSPut";

// Sends the attributes through a parameter file to OTput on the node.
int PutRemote(const NetTarget& target, KeywordList* attributes,
              const char* devtab) {
  IOTrace(7, kComponent, "Build Parameter File\n");
  TempFile param;  // every path out of here unlinks and withdraws it
  if (!param.Make(kParamTemplate)) {
    IOTrace(7, kComponent, "failed to make a temporary file %s", kParamTemplate);
    return -1;
  }
  UniqueFile stream = param.Open("w");
  if (stream == nullptr) {
    IOTrace(7, kComponent, "failed to open temporary file %s", param.name());
    return -1;
  }
  IOTrace(7, kComponent, "Build file\n");
  if (!WriteParameters(std::move(stream), attributes, ParamStyle::kQuoted,
                       kComponent, param.name()))
    return -1;
  ShellLine command, line;
  if (!ComposeCommand(kComponent, devtab, "OTput -A %s -I -",
                      {{"alias", target.alias, WordRule::kWord}}, &command))
    return -1;
  IOTrace(7, kComponent, "%s cmd: %s", kComponent, command.c_str());
  // OTput's own output is not redirected: it reaches the caller's stdout.
  if (!ComposeRemote(kComponent, target.node, command, &param, nullptr, &line))
    return -1;
  IOTrace(7, kComponent, "%s remote cmd: %s", kComponent, line.c_str());
  int status = RunLine(line);
  if (RunSucceeded(status)) return 0;
  IOTrace(7, kComponent, "system status:%d %d\n", status, status >> 8);
  LogRunFailure(kComponent, status, line);
  return -1;
}

int Put(const char* netalias, KeywordList* attributes) {
  const std::string devtab = DevTablePathQuiet();
  if (attributes == nullptr) return -1;
  NetTarget target;
  if (!SplitNetalias(kComponent, netalias, &target)) return -1;
  if (target.has_node) {
    IOTrace(7, kComponent, "GetNextKeywordFmList returned %d\n",
            target.split_status);
    IOTrace(7, kComponent, "remote call to %s alias %s", target.node,
            target.alias);
    IOTrace(7, kComponent, "DestroyKeywordList");
  }
  if (IsLocalTarget(target)) return OTLput(target.alias, attributes);
  if (!ValuesAllowed(kComponent, attributes)) return -1;
  if (!VerifyServer(kComponent, target.node)) return -1;
  return PutRemote(target, attributes, devtab.c_str());
}

}  // namespace
}  // namespace ls

extern "C" int LSPut(const char* netalias, KeywordList* attributes) {
  return ls::Guarded<int>(ls::kComponent, -1,
                          [&] { return ls::Put(netalias, attributes); });
}
