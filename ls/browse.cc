// Browse: the aliases of the objects that match a search list, confined by
// "Containment" to one node and then returned as net aliases.

#include <string.h>
#include <unistd.h>

#include <memory>
#include <utility>

#include "ls/frame.h"
#include "ls/word_reader.h"
#include "platform/ot/ot.h"

namespace ls {

// The state of one browse.
struct BrowseRecord {
  TempFile param;   // from "/tmp/ZU_paramXXXXXX"
  TempFile output;  // from "/tmp/ZU_browseXXXXXX"
  UniqueFile stream;
  int setup_failed = 0;
  int attempts = 0;
  int failures = 0;
};

namespace {

constexpr char kComponent[] = "LS.LSBrowse";

// Appends at the tail so that a long listing costs linear time.
class AliasAppender {
 public:
  explicit AliasAppender(AliasList** head) : tail_(head) {
    while (*tail_ != nullptr) tail_ = &(*tail_)->next;
  }
  // Adds "node:alias"; a net alias that cannot be composed is logged.
  void Add(const char* node, const char* alias);

 private:
  AliasList** tail_;
};

void AliasAppender::Add(const char* node, const char* alias) {
  KeywordList* composed = LSCreateNetalias(node, alias);
  if (composed == nullptr) {
    IOLog(kComponent, 702, 1, "%s failed", "LSCreateNetalias");
    return;
  }
  char keyword[kKeywordSize];
  char value[kTextSize];
  if (GetNextKeywordFmList(composed, keyword, value) == 0) {
    IOTrace(7, kComponent, "Add value to Alias List");
    // With the address of the last entry's link, AddAnAliasToList starts
    // the chain there: the new entry becomes the tail.
    if (AddAnAliasToList(tail_, value) == 0 && *tail_ != nullptr) {
      tail_ = &(*tail_)->next;
      IOTrace(7, kComponent, "Added value to Alias List");
    } else {
      // Out of storage: the alias is left out, and the log says so, as
      // for a net alias that cannot be composed.
      IOLog(kComponent, 702, 1, "%s failed", "AddAnAliasToList");
    }
  }
  DestroyKeywordList(composed);
}

void ListLocally(KeywordList* search, const char* node, AliasList** result,
                 BrowseRecord* record) {
  IOTrace(7, kComponent, "Not a nameserver\n");
  ++record->attempts;
  AliasList* found = OTgetaliases(search);
  if (found == nullptr) return;
  IOTrace(7, kComponent, "AddKeywordListToList\n");
  AliasAppender appender(result);
  for (AliasList* entry = found; entry != nullptr; entry = entry->next)
    appender.Add(node, entry->alias);
  if (*result == nullptr)
    IOLog(kComponent, 703, 1, "%s failed", "AddKeywordListToList");
  OTFreeAliasList(found);
}

void RemoveFile(TempFile& file) {
  if (!file.made()) return;
  IOTrace(7, kComponent, "unlink %s\n", file.name());
  file.Remove();
}

void CleanUp(BrowseRecord* record) {
  record->stream.reset();
  RemoveFile(record->param);
  RemoveFile(record->output);
}

AliasList* Browse(KeywordList* search, const char* node) {
  IOTrace(7, kComponent, "LSBrowse:");
  BrowseRecord record;
  AliasList* result = nullptr;
  if (is_local(node) == 1) {
    ListLocally(search, node, &result, &record);
  } else if (VerifyServer(kComponent, node)) {
    IOTrace(7, kComponent, "LSBrowse: Setup_for_remote to %s", node);
    Setup_for_remote(search, &record);
    record.attempts = 1;
    record.failures = 0;
    if (record.setup_failed) {
      IOTrace(7, "LSB", "Remote setup failed and this was a remote request");
    } else {
      IOTrace(7, kComponent, "calling do_remote %s", node);
      do_remote(&result, node, &record);
    }
  }
  if (record.failures == record.attempts)
    IOLog(kComponent, 703, 2, "%s failed", "LSBrowse");
  CleanUp(&record);
  IOTrace(7, kComponent, "return the AliasList");
  return result;
}

struct ListDestroyer {
  void operator()(KeywordList* list) const { DestroyKeywordList(list); }
};

// "Containment" names the node; the rest of the list are the criteria.
AliasList* GetAliases(KeywordList* search) {
  if (search == nullptr) return OTLgetaliases(nullptr);
  char* keyword = nullptr;
  char* value = nullptr;
  int status = ReferenceKeywordInList(search, "Containment", &keyword, &value);
  if (status == SSPI_E_NOT_FOUND) return OTLgetaliases(search);
  if (status != 0) {
    OTerror("LSBrowse", "Error in ReferenceKeywordInList\n");
    return nullptr;
  }
  char node[kTextSize];
  if (strlen(value) >= sizeof node) {
    LogTooLong(kComponent, "Containment", sizeof node - 1);
    return nullptr;
  }
  memcpy(node, value, strlen(value) + 1);
  OTtrace(7, "LSgetaliases", "Containment=%s\n", node);
  // Owned here: the browse may end in an exception when storage for a
  // C++ object runs out, and the copy must go all the same.
  std::unique_ptr<KeywordList, ListDestroyer> criteria(
      DuplicateKeywordList(search));
  if (criteria == nullptr || sspi_errno != 0) {
    OTerror("LSBrowse", "Error in DuplicateKeywordList\n");
    return nullptr;
  }
  if (RemoveKeywordFmList(criteria.get(), "Containment") != 0) {
    OTerror("LSBrowse", "Error in RemoveKeywordFmList\n");
    return nullptr;
  }
  OTtrace(7, "LSgetaliases", "Containment=%s\n", node);
  if (!ValuesAllowed(kComponent, criteria.get(), ValueRule::kBare))
    return nullptr;
  return LSBrowse(criteria.get(), node);
}

}  // namespace
}  // namespace ls

using ls::BrowseRecord;

AliasList* LSBrowse(KeywordList* search, const char* node) {
  return ls::Browse(search, node);
}

void Setup_for_remote(KeywordList* search, BrowseRecord* record) {
  if (!record->param.Make(ls::kParamTemplate)) {
    IOTrace(7, "Setup_for_remote()", "mktemp failed ParameterList\n");
    record->setup_failed = 1;
    return;
  }
  ls::UniqueFile stream = record->param.Open("w");
  if (stream == nullptr) {
    IOLog(ls::kComponent, 799, 2, "failed to open temporary file %s",
          record->param.name());
    record->setup_failed = 1;
  } else if (!ls::WriteParameters(std::move(stream), search, ls::ParamStyle::kBare,
                                  ls::kComponent, record->param.name())) {
    record->setup_failed = 1;
  }
  if (!record->output.Make(ls::kBrowseTemplate)) {
    IOTrace(7, "Setup_for_remote()", "mktemp failed local file \n");
    record->setup_failed = 1;
  }
}

void do_remote(AliasList** result, const char* node, BrowseRecord* record) {
  const char* component = ls::kComponent;
  ls::ShellLine command, line;
  const std::string devtab = ls::DevTablePathQuiet();
  if (!ls::ComposeCommand(component, devtab.c_str(),
                          "OTgetaliases -I -", std::span<const ls::ShellWord>(),
                          &command)) {
    ++record->failures;
    return;
  }
  IOTrace(7, component, "%s cmd: %s", component, command.c_str());
  if (!ls::ComposeRemote(component, node, command, &record->param,
                         &record->output, &line)) {
    ++record->failures;
    return;
  }
  IOTrace(7, component, "%s remote_cmd: %s", component, line.c_str());
  int status = ls::RunLine(line);
  if (!ls::RunSucceeded(status)) {
    ls::LogRunFailure(component, status, line);
    ++record->failures;
    return;
  }
  record->stream = record->output.Open("r");
  if (record->stream == nullptr) {
    IOLog(component, 799, 5, "failed to open temporary file %s",
          record->output.name());
    return;
  }
  ls::AliasAppender appender(result);
  char word[ls::kTextSize];
  ls::WordResult read;
  // A word too long for its buffer is left out, as a net alias too long
  // to compose is, and the words after it still count.
  while ((read = ls::ReadWord(record->stream.get(), word, sizeof word)) ==
             ls::WordResult::kWord ||
         read == ls::WordResult::kTooLong) {
    if (read == ls::WordResult::kTooLong)
      ls::LogTooLong(component, "alias", sizeof word - 1);
    else
      appender.Add(node, word);
  }
  if (read != ls::WordResult::kEnd)
    IOLog(component, 799, 5, "%s failed", "fscanf");
}

extern "C" AliasList* LSgetaliases(KeywordList* search) {
  return ls::Guarded<AliasList*>(nullptr,
                                 [&] { return ls::GetAliases(search); });
}
