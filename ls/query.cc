// The object queries: one attribute or method (LSQueryattr, LSQuerymeth),
// all attributes or methods (LSQueryattrs, LSQuerymeths), the whole object
// (LSQueryobjs).
//
// Each runs the frame (ls/frame.h): on this node the object-tool library
// answers and its result is returned unchanged; on a name server the
// object-tool command runs there with its output in a file from
// "/tmp/ZU_queryXXXXXX", which becomes the same kind of result.  The
// single-pair queries take the output's first pair, the list queries the
// whole stream, the object query sorts pairs into attributes and methods
// (IsMethod), the pair "alias" naming the object.  A failed run is logged
// under "LS.LSQuerylist"; everything else under the query's component.
// LSQueryattr alone traces its split (OTtrace under "LSQuery"), and
// LSQueryobjs which side answers.

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <utility>

#include "ls/dev_table.h"
#include "ls/frame.h"
#include "platform/ot/ot.h"

namespace ls {
namespace {

constexpr char kRunComponent[] = "LS.LSQuerylist";
constexpr char kObjComponent[] = "LS.LSQueryobj";

const char* Shown(const char* text) { return text != nullptr ? text : "(null)"; }

void TraceNetalias(const char* netalias) {
  OTtrace(7, "LSQuery", "netalias = %s", Shown(netalias));
}

// LSQueryattr's traces of its split; LSQuerymeth has none.
void TraceSplitBefore(const char* netalias) { TraceNetalias(netalias); }
void TraceSplitAfter(const char* component, const char* netalias,
                     const NetTarget& target) {
  TraceNetalias(netalias);
  if (target.has_node) {
    IOTrace(7, component, "DestroyKeywordList");
    return;
  }
  TraceNetalias(netalias);
  OTtrace(7, "LSQuery", "alias = %s", target.alias);
}
void NoTraceBefore(const char*) {}
void NoTraceAfter(const char*, const char*, const NetTarget&) {}

// LSQueryattr and LSQuerymeth.
struct RecordQuery {
  const char* component;
  const char* tool;
  const char* role;  // what the second word is, for a refusal
  AttributeRecord* (*local)(const char*, const char*);
  void (*trace_before)(const char* netalias);
  void (*trace_after)(const char* component, const char* netalias,
                      const NetTarget& target);
};

constexpr RecordQuery kAttr = {"LS.LSQueryattr", "OTgetattr -A %s -K %s",
                               "attribute",      OTLgetattr,
                               TraceSplitBefore, TraceSplitAfter};
constexpr RecordQuery kMeth = {"LS.LSQuerymeth", "OTgetmethod -A %s -K %s",
                               "method",         OTLgetmethod,
                               NoTraceBefore,    NoTraceAfter};

// LSQueryattrs and LSQuerymeths.
struct ListQuery {
  const char* component;
  const char* tool;
  KeywordList* (*local)(const char*);
};

constexpr ListQuery kAttrs = {"LS.LSQueryattrs", "OTgetattrs -A %s",
                              OTLgetattrs};
constexpr ListQuery kMeths = {"LS.LSQuerymeths", "OTgetmethods -A %s",
                              OTLgetmethods};

// Only the first pair of the output counts.
AttributeRecord* ReadRecord(const char* component, FILE* output) {
  char keyword[kKeywordSize];
  char value[kTextSize];
  if (GetKeyword(output, keyword, value) != 0) {
    IOLog(component, 799, 5, "%s failed", "getkeyword");
    return nullptr;
  }
  auto* record = static_cast<AttributeRecord*>(calloc(1, sizeof(AttributeRecord)));
  if (record == nullptr) return nullptr;
  // The reader stops keywords at 31 and values at 511 bytes: both fit, and
  // calloc has already terminated them.
  memcpy(record->keyword, keyword,
         strnlen(keyword, sizeof record->keyword - 1));
  memcpy(record->value, value, strnlen(value, sizeof record->value - 1));
  return record;
}

AttributeRecord* QueryRecord(const RecordQuery& q, const char* netalias,
                             const char* name) {
  const std::string devtab = DevTablePath();
  q.trace_before(netalias);
  NetTarget target;
  if (!SplitNetalias(q.component, netalias, &target)) return nullptr;
  q.trace_after(q.component, netalias, target);
  if (name == nullptr) return nullptr;
  if (IsLocalTarget(target)) return q.local(target.alias, name);
  const ShellWord words[] = {{"alias", target.alias, WordRule::kWord},
                             {q.role, name, WordRule::kWord}};
  TempFile file;
  UniqueFile output = RunRemoteQuery({q.component, kRunComponent, q.tool, words},
                                     target, devtab.c_str(), &file);
  return output != nullptr ? ReadRecord(q.component, output.get()) : nullptr;
}

KeywordList* QueryList(const ListQuery& q, const char* netalias) {
  const std::string devtab = DevTablePath();
  NetTarget target;
  if (!SplitNetalias(q.component, netalias, &target)) return nullptr;
  if (IsLocalTarget(target)) return q.local(target.alias);
  const ShellWord words[] = {{"alias", target.alias, WordRule::kWord}};
  TempFile file;
  UniqueFile output = RunRemoteQuery({q.component, kRunComponent, q.tool, words},
                                     target, devtab.c_str(), &file);
  if (output == nullptr) return nullptr;
  KeywordList* list = KeywordStreamToList(output.get());
  if (list == nullptr)
    IOLog(q.component, 799, 5, "%s failed", "KeywordStreamToList");
  return list;
}

// The pairs of OTgetobj's output, sorted; each list is created when its
// first pair arrives, and destroyed here unless handed on.
struct ObjectPairs {
  char name[kTextSize] = "";
  KeywordList* attributes = nullptr;
  KeywordList* methods = nullptr;
  ~ObjectPairs() {
    if (attributes != nullptr) DestroyKeywordList(attributes);
    if (methods != nullptr) DestroyKeywordList(methods);
  }
};

// How reading OTgetobj's output ended.
enum class ObjectRead { kComplete, kInvalid, kNoStorage };

// Files one pair: "alias" renames the object, IsMethod sorts the rest.
// False when storage ran out.
bool FilePair(const char* keyword, const char* value, ObjectPairs* pairs) {
  if (strcmp(keyword, "alias") == 0) {
    memcpy(pairs->name, value, strlen(value) + 1);  // the output names it
    return true;
  }
  KeywordList** list = IsMethod(keyword, OT_KEYWORD_SIZE) == 1
                           ? &pairs->methods
                           : &pairs->attributes;
  if (*list == nullptr) *list = CreateKeywordList();
  return *list != nullptr && AddKeywordToList(*list, keyword, value) == 0;
}

ObjectRead ReadObjectPairs(FILE* output, ObjectPairs* pairs) {
  char keyword[kKeywordSize];
  char value[kTextSize];
  int status;
  while ((status = GetKeyword(output, keyword, value)) == 0) {
    if (!FilePair(keyword, value, pairs)) return ObjectRead::kNoStorage;
  }
  return status == SSPI_E_END ? ObjectRead::kComplete : ObjectRead::kInvalid;
}

// An output of only "alias" pairs, or none, is no object, without a log.
ManagedObject* ReadObject(FILE* output, const char* alias) {
  ObjectPairs pairs;  // the alias came out of a net alias that fits
  memcpy(pairs.name, alias, strnlen(alias, sizeof pairs.name - 1));
  switch (ReadObjectPairs(output, &pairs)) {
    case ObjectRead::kComplete:
      break;
    case ObjectRead::kInvalid:
      IOLog(kObjComponent, 799, 5, "Output of %s invalid", "OTgetob");
      return nullptr;
    case ObjectRead::kNoStorage:
      return nullptr;
  }
  if (pairs.attributes == nullptr && pairs.methods == nullptr) return nullptr;
  KeywordList* attributes = std::exchange(pairs.attributes, nullptr);
  KeywordList* methods = std::exchange(pairs.methods, nullptr);
  return Create_object(pairs.name, attributes, methods);  // takes both
}

ManagedObject* QueryLocalObject(const char* alias) {
  OTtrace(7, "LSQuery", "LOCAL SYSTEM: alias  = %s", alias);
  ManagedObject* object = OTLgetobj(alias);
  OTtrace(7, "LSQuery", "              object = %lu",
          static_cast<unsigned long>(reinterpret_cast<uintptr_t>(object)));
  return object;
}

ManagedObject* QueryObject(const char* netalias) {
  const std::string devtab = DevTablePath();
  NetTarget target;
  if (!SplitNetalias(kObjComponent, netalias, &target)) return nullptr;
  if (IsLocalTarget(target)) return QueryLocalObject(target.alias);
  OTtrace(7, "LSQuery", "REMOTE SYSTEM: alias  = %s", target.alias);
  const ShellWord words[] = {{"alias", target.alias, WordRule::kWord}};
  TempFile file;
  UniqueFile output = RunRemoteQuery(
      {kObjComponent, kRunComponent, "OTgetobj -A %s", words}, target,
      devtab.c_str(), &file);
  return output != nullptr ? ReadObject(output.get(), target.alias) : nullptr;
}

}  // namespace
}  // namespace ls

extern "C" {

AttributeRecord* LSQueryattr(const char* netalias, const char* attribute) {
  return ls::Guarded<AttributeRecord*>(ls::kAttr.component, nullptr, [&] {
    return ls::QueryRecord(ls::kAttr, netalias, attribute);
  });
}

AttributeRecord* LSQuerymeth(const char* netalias, const char* method) {
  return ls::Guarded<AttributeRecord*>(ls::kMeth.component, nullptr, [&] {
    return ls::QueryRecord(ls::kMeth, netalias, method);
  });
}

KeywordList* LSQueryattrs(const char* netalias) {
  return ls::Guarded<KeywordList*>(ls::kAttrs.component, nullptr, [&] {
    return ls::QueryList(ls::kAttrs, netalias);
  });
}

KeywordList* LSQuerymeths(const char* netalias) {
  return ls::Guarded<KeywordList*>(ls::kMeths.component, nullptr, [&] {
    return ls::QueryList(ls::kMeths, netalias);
  });
}

ManagedObject* LSQueryobjs(const char* netalias) {
  return ls::Guarded<ManagedObject*>(
      ls::kObjComponent, nullptr, [&] { return ls::QueryObject(netalias); });
}

}  // extern "C"
