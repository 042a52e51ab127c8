// LSQuerynext: the alias that follows a given one under a selector.

#include <string.h>

#include "ls/dev_table.h"
#include "ls/frame.h"
#include "ls/word_reader.h"
#include "platform/ot/ot.h"

namespace ls {
namespace {

constexpr char kComponent[] = "LS.LSQuerynext";

// A remote answer stays valid after the call, until the next call that
// answers remotely.
char g_next_alias[kTextSize];

char* Returning(char* alias) {
  IOTrace(7, kComponent, "Returning Alias %s\n", alias != nullptr ? alias : "");
  return alias;
}

// The first word of OTnextalias's output.
char* ReadNext(FILE* output) {
  char word[kNextWordSize];
  WordResult result = ReadWord(output, word, sizeof word);
  if (result == WordResult::kTooLong) {
    LogTooLong(kComponent, "next alias", sizeof word - 1);
    return nullptr;
  }
  if (result != WordResult::kWord) {
    IOLog(kComponent, 799, 5, "%s failed", "fscanf");
    return nullptr;
  }
  IOTrace(7, kComponent, "Alias %s\n", word);
  memcpy(g_next_alias, word, strlen(word) + 1);
  return g_next_alias;
}

char* QueryNext(const char* selector, const char* netalias) {
  const std::string devtab = DevTablePath();
  NetTarget target;
  if (!SplitNetalias(kComponent, netalias, &target) || selector == nullptr)
    return nullptr;
  // "node:" asks for the first alias; a text without a colon is itself
  // the previous alias.
  const char* previous =
      !target.has_node || target.alias[0] != '\0' ? target.alias : nullptr;
  if (IsLocalTarget(target)) return OTLnextalias(selector, previous);
  TempFile file;
  UniqueFile output;
  if (previous != nullptr) {
    const ShellWord words[] = {{"selector", selector, WordRule::kWord},
                               {"previous alias", previous, WordRule::kWord}};
    output = RunRemoteQuery({kComponent, kComponent, "OTnextalias -C %s -P %s",
                             words},
                            target, devtab.c_str(), &file);
  } else {
    const ShellWord words[] = {{"selector", selector, WordRule::kWord}};
    output = RunRemoteQuery({kComponent, kComponent, "OTnextalias -C %s ", words},
                            target, devtab.c_str(), &file);
  }
  return output != nullptr ? ReadNext(output.get()) : nullptr;
}

}  // namespace
}  // namespace ls

extern "C" char* LSQuerynext(const char* selector, const char* netalias) {
  return ls::Returning(ls::Guarded<char*>(
      ls::kComponent, nullptr,
      [&] { return ls::QueryNext(selector, netalias); }));
}
