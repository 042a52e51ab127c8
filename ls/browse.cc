#include "ls/browse.h"

#include <string.h>

#include <memory>
#include <string>
#include <utility>

#include "ls/dev_table.h"
#include "ls/frame.h"
#include "ls/word_reader.h"
#include "platform/ot/ot.h"

namespace ls {
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
  void Append(const char* netalias);

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
  if (GetNextKeywordFmList(composed, keyword, value) == 0) Append(value);
  DestroyKeywordList(composed);
}

void AliasAppender::Append(const char* netalias) {
  IOTrace(7, kComponent, "Add value to Alias List");
  // With the address of the last entry's link, AddAnAliasToList starts the
  // chain there: the new entry becomes the tail.
  if (AddAnAliasToList(tail_, netalias) == 0 && *tail_ != nullptr) {
    tail_ = &(*tail_)->next;
    IOTrace(7, kComponent, "Added value to Alias List");
  } else {
    // Out of storage: the alias is left out, and the log says so, as for
    // a net alias that cannot be composed.
    IOLog(kComponent, 702, 1, "%s failed", "AddAnAliasToList");
  }
}

// How a browse ended, which decides its outcome log.
enum class BrowseOutcome {
  kAnswered,       // listed here, or the remote command ran
  kUnknownNode,    // nobody to ask (logged)
  kRefused,        // a value its parameter file cannot carry (logged)
  kSetupFailed,    // the temporary files could not be prepared
  kCommandFailed,  // the remote command was refused or failed (logged)
};

// "LSBrowse failed" (703/2) when nobody could be asked; a failed setup
// is only traced, as it always was.
void LogOutcome(BrowseOutcome outcome) {
  if (outcome == BrowseOutcome::kUnknownNode ||
      outcome == BrowseOutcome::kCommandFailed)
    IOLog(kComponent, 703, 2, "%s failed", "LSBrowse");
}

BrowseOutcome ListLocally(KeywordList* search, const char* node,
                          AliasList** result) {
  IOTrace(7, kComponent, "Not a nameserver\n");
  AliasList* found = OTgetaliases(search);
  if (found == nullptr) return BrowseOutcome::kAnswered;
  IOTrace(7, kComponent, "AddKeywordListToList\n");
  AliasAppender appender(result);
  for (AliasList* entry = found; entry != nullptr; entry = entry->next)
    appender.Add(node, entry->alias);
  if (*result == nullptr)
    IOLog(kComponent, 703, 1, "%s failed", "AddKeywordListToList");
  OTFreeAliasList(found);
  return BrowseOutcome::kAnswered;
}

BrowseOutcome ListRemotely(KeywordList* search, const char* node,
                           AliasList** result, BrowseRecord* record) {
  IOTrace(7, kComponent, "LSBrowse: Setup_for_remote to %s", node);
  if (!Setup_for_remote(search, record)) {
    IOTrace(7, "LSB", "Remote setup failed and this was a remote request");
    return BrowseOutcome::kSetupFailed;
  }
  IOTrace(7, kComponent, "calling do_remote %s", node);
  return do_remote(result, node, record) == RemoteOutcome::kNotRun
             ? BrowseOutcome::kCommandFailed
             : BrowseOutcome::kAnswered;
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

// The remote line of the browse, both halves traced; false after logging.
bool ComposeBrowseLine(const char* node, const BrowseRecord& record,
                       ShellLine* line) {
  ShellLine command;
  const std::string devtab = DevTablePathQuiet();
  if (!ComposeCommand(kComponent, devtab.c_str(), "OTgetaliases -I -",
                      std::span<const ShellWord>(), &command))
    return false;
  IOTrace(7, kComponent, "%s cmd: %s", kComponent, command.c_str());
  if (!ComposeRemote(kComponent, node, command, &record.param, &record.output,
                     line))
    return false;
  IOTrace(7, kComponent, "%s remote_cmd: %s", kComponent, line->c_str());
  return true;
}

// Adds every word of the output as "node:word".  A word too long for its
// buffer is left out, as a net alias too long to compose is, and the words
// after it still count.
void ReadAliases(FILE* stream, const char* node, AliasList** result) {
  AliasAppender appender(result);
  char word[kTextSize];
  WordResult read;
  while ((read = ReadWord(stream, word, sizeof word)) == WordResult::kWord ||
         read == WordResult::kTooLong) {
    if (read == WordResult::kTooLong)
      LogTooLong(kComponent, "alias", sizeof word - 1);
    else
      appender.Add(node, word);
  }
  if (read != WordResult::kEnd) IOLog(kComponent, 799, 5, "%s failed", "fscanf");
}

struct ListDestroyer {
  void operator()(KeywordList* list) const { DestroyKeywordList(list); }
};
using ListOwner = std::unique_ptr<KeywordList, ListDestroyer>;

// What the search list's "Containment" says.
enum class Containment { kNone, kNode, kFailed };

// Copies the node that "Containment" names into node; kFailed after
// reporting a lookup that failed or a name that does not fit.
Containment FindContainment(KeywordList* search, char (&node)[kTextSize]) {
  char* keyword = nullptr;
  char* value = nullptr;
  int status = ReferenceKeywordInList(search, "Containment", &keyword, &value);
  if (status == SSPI_E_NOT_FOUND) return Containment::kNone;
  if (status != 0) {
    OTerror("LSBrowse", "Error in ReferenceKeywordInList\n");
    return Containment::kFailed;
  }
  if (strlen(value) >= sizeof node) {
    LogTooLong(kComponent, "Containment", sizeof node - 1);
    return Containment::kFailed;
  }
  memcpy(node, value, strlen(value) + 1);
  return Containment::kNode;
}

// A copy of search without "Containment"; NULL after reporting.  Owned
// here: the browse may end in an exception when storage for a C++ object
// runs out, and the copy must go all the same.
ListOwner Criteria(KeywordList* search) {
  ListOwner criteria(DuplicateKeywordList(search));
  if (criteria == nullptr || sspi_errno != 0) {
    OTerror("LSBrowse", "Error in DuplicateKeywordList\n");
    return nullptr;
  }
  if (RemoveKeywordFmList(criteria.get(), "Containment") != 0) {
    OTerror("LSBrowse", "Error in RemoveKeywordFmList\n");
    return nullptr;
  }
  return criteria;
}

void TraceContainment(const char* node) {
  OTtrace(7, "LSgetaliases", "Containment=%s\n", node);
}

AliasList* GetAliases(KeywordList* search) {
  if (search == nullptr) return OTLgetaliases(nullptr);
  char node[kTextSize];
  switch (FindContainment(search, node)) {
    case Containment::kNone:
      return OTLgetaliases(search);
    case Containment::kFailed:
      return nullptr;
    case Containment::kNode:
      break;
  }
  TraceContainment(node);
  ListOwner criteria = Criteria(search);
  if (criteria == nullptr) return nullptr;
  TraceContainment(node);
  return LSBrowse(criteria.get(), node);
}

}  // namespace

AliasList* LSBrowse(KeywordList* search, const char* node) {
  IOTrace(7, kComponent, "LSBrowse:");
  BrowseRecord record;
  AliasList* result = nullptr;
  BrowseOutcome outcome = BrowseOutcome::kUnknownNode;
  if (is_local(node) == 1) {
    outcome = ListLocally(search, node, &result);
  } else if (!ValuesAllowed(kComponent, search)) {
    outcome = BrowseOutcome::kRefused;
  } else if (VerifyServer(kComponent, node)) {
    outcome = ListRemotely(search, node, &result, &record);
  }
  LogOutcome(outcome);
  CleanUp(&record);
  IOTrace(7, kComponent, "return the AliasList");
  return result;
}

bool Setup_for_remote(KeywordList* search, BrowseRecord* record) {
  if (!record->param.Make(kParamTemplate)) {
    IOTrace(7, "Setup_for_remote()", "mktemp failed ParameterList\n");
    return false;
  }
  UniqueFile stream = record->param.Open("w");
  bool ok = stream != nullptr;
  if (!ok) {
    IOLog(kComponent, 799, 2, "failed to open temporary file %s",
          record->param.name());
  } else {
    ok = WriteParameters(std::move(stream), search, ParamStyle::kBare,
                         kComponent, record->param.name());
  }
  if (!record->output.Make(kBrowseTemplate)) {
    IOTrace(7, "Setup_for_remote()", "mktemp failed local file \n");
    ok = false;
  }
  return ok;
}

RemoteOutcome do_remote(AliasList** result, const char* node,
                        BrowseRecord* record) {
  ShellLine line;
  if (!ComposeBrowseLine(node, *record, &line)) return RemoteOutcome::kNotRun;
  int status = RunLine(line);
  if (!RunSucceeded(status)) {
    LogRunFailure(kComponent, status, line);
    return RemoteOutcome::kNotRun;
  }
  record->stream = record->output.Open("r");
  if (record->stream == nullptr) {
    IOLog(kComponent, 799, 5, "failed to open temporary file %s",
          record->output.name());
    return RemoteOutcome::kUnreadable;
  }
  ReadAliases(record->stream.get(), node, result);
  return RemoteOutcome::kRan;
}

}  // namespace ls

extern "C" AliasList* LSgetaliases(KeywordList* search) {
  return ls::Guarded<AliasList*>(ls::kComponent, nullptr,
                                 [&] { return ls::GetAliases(search); });
}
