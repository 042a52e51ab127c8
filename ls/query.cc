// The object queries: one attribute or method, all attributes or methods,
// the whole object.

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "ls/frame.h"
#include "platform/ot/ot.h"

namespace ls {
namespace {

const char* Shown(const char* text) { return text != nullptr ? text : "(null)"; }

// LSQueryattr and LSQuerymeth.
struct RecordQuery {
  const char* component;
  const char* tool;
  const char* role;  // what the second word is, for a refusal
  AttributeRecord* (*local)(const char*, const char*);
  bool traced;  // LSQueryattr traces its split with OTtrace
};

constexpr RecordQuery kAttr = {"LS.LSQueryattr", "OTgetattr -A %s -K %s",
                               "attribute", OTLgetattr, true};
constexpr RecordQuery kMeth = {"LS.LSQuerymeth", "OTgetmethod -A %s -K %s",
                               "method", OTLgetmethod, false};

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

constexpr char kObjComponent[] = "LS.LSQueryobj";

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
  if (q.traced) OTtrace(7, "LSQuery", "netalias = %s", Shown(netalias));
  NetTarget target;
  if (!SplitNetalias(q.component, netalias, &target)) return nullptr;
  if (q.traced) {
    OTtrace(7, "LSQuery", "netalias = %s", netalias);
    if (target.has_node) {
      IOTrace(7, q.component, "DestroyKeywordList");
    } else {
      OTtrace(7, "LSQuery", "netalias = %s", netalias);
      OTtrace(7, "LSQuery", "alias = %s", target.alias);
    }
  }
  if (name == nullptr) return nullptr;
  if (IsLocalTarget(target)) return q.local(target.alias, name);
  const ShellWord words[] = {{"alias", target.alias, WordRule::kWord},
                             {q.role, name, WordRule::kWord}};
  TempFile file;
  UniqueFile output = RunRemoteQuery(
      {q.component, "LS.LSQuerylist", q.tool, words}, target, devtab.c_str(), &file);
  return output != nullptr ? ReadRecord(q.component, output.get()) : nullptr;
}

KeywordList* QueryList(const ListQuery& q, const char* netalias) {
  const std::string devtab = DevTablePath();
  NetTarget target;
  if (!SplitNetalias(q.component, netalias, &target)) return nullptr;
  if (IsLocalTarget(target)) return q.local(target.alias);
  const ShellWord words[] = {{"alias", target.alias, WordRule::kWord}};
  TempFile file;
  UniqueFile output = RunRemoteQuery(
      {q.component, "LS.LSQuerylist", q.tool, words}, target, devtab.c_str(), &file);
  if (output == nullptr) return nullptr;
  KeywordList* list = KeywordStreamToList(output.get());
  if (list == nullptr)
    IOLog(q.component, 799, 5, "%s failed", "KeywordStreamToList");
  return list;
}

// Sorts one pair of OTgetobj's output into the attribute or method list,
// creating the list on its first pair.
bool FilePair(const char* keyword, const char* value, KeywordList** attributes,
              KeywordList** methods) {
  KeywordList** list = IsMethod(keyword, OT_KEYWORD_SIZE) == 1 ? methods : attributes;
  if (*list == nullptr) *list = CreateKeywordList();
  return *list != nullptr && AddKeywordToList(*list, keyword, value) == 0;
}

ManagedObject* ReadObject(FILE* output, const char* alias) {
  char name[kTextSize];
  strncpy(name, alias, sizeof name - 1);
  name[sizeof name - 1] = '\0';
  KeywordList* attributes = nullptr;
  KeywordList* methods = nullptr;
  char keyword[kKeywordSize];
  char value[kTextSize];
  int status;
  bool stored = true;
  while (stored && (status = GetKeyword(output, keyword, value)) == 0) {
    if (strcmp(keyword, "alias") == 0) {
      memcpy(name, value, strlen(value) + 1);  // the output names the object
    } else {
      stored = FilePair(keyword, value, &attributes, &methods);
    }
  }
  if (stored && status == SSPI_E_END) {
    if (attributes == nullptr && methods == nullptr) return nullptr;
    return Create_object(name, attributes, methods);
  }
  if (attributes != nullptr) DestroyKeywordList(attributes);
  if (methods != nullptr) DestroyKeywordList(methods);
  if (stored) IOLog(kObjComponent, 799, 5, "Output of %s invalid", "OTgetob");
  return nullptr;
}

ManagedObject* QueryObject(const char* netalias) {
  const std::string devtab = DevTablePath();
  NetTarget target;
  if (!SplitNetalias(kObjComponent, netalias, &target)) return nullptr;
  if (IsLocalTarget(target)) {
    OTtrace(7, "LSQuery", "LOCAL SYSTEM: alias  = %s", target.alias);
    ManagedObject* object = OTLgetobj(target.alias);
    OTtrace(7, "LSQuery", "              object = %lu",
            static_cast<unsigned long>(reinterpret_cast<uintptr_t>(object)));
    return object;
  }
  OTtrace(7, "LSQuery", "REMOTE SYSTEM: alias  = %s", target.alias);
  const ShellWord words[] = {{"alias", target.alias, WordRule::kWord}};
  TempFile file;
  UniqueFile output = RunRemoteQuery(
      {kObjComponent, "LS.LSQuerylist", "OTgetobj -A %s", words}, target,
      devtab.c_str(), &file);
  return output != nullptr ? ReadObject(output.get(), target.alias) : nullptr;
}

}  // namespace
}  // namespace ls

extern "C" {

AttributeRecord* LSQueryattr(const char* netalias, const char* attribute) {
  return ls::Guarded<AttributeRecord*>(nullptr, [&] {
    return ls::QueryRecord(ls::kAttr, netalias, attribute);
  });
}

AttributeRecord* LSQuerymeth(const char* netalias, const char* method) {
  return ls::Guarded<AttributeRecord*>(nullptr, [&] {
    return ls::QueryRecord(ls::kMeth, netalias, method);
  });
}

KeywordList* LSQueryattrs(const char* netalias) {
  return ls::Guarded<KeywordList*>(
      nullptr, [&] { return ls::QueryList(ls::kAttrs, netalias); });
}

KeywordList* LSQuerymeths(const char* netalias) {
  return ls::Guarded<KeywordList*>(
      nullptr, [&] { return ls::QueryList(ls::kMeths, netalias); });
}

ManagedObject* LSQueryobjs(const char* netalias) {
  return ls::Guarded<ManagedObject*>(
      nullptr, [&] { return ls::QueryObject(netalias); });
}

}  // extern "C"
