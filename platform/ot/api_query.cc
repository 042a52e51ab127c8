// Queries of one object: an attribute, a method, all of either, the whole
// object; and the ManagedObject record.

#include <stdlib.h>
#include <string.h>

#include "platform/ot/api_util.h"
#include "platform/ot/method.h"
#include "platform/ot/store.h"

namespace ot {
namespace {

// Loads alias, recording why when it cannot.
bool Load(const char* source, const char* alias, Pairs* pairs) {
  if (alias == nullptr) {
    RecordFailure(source, Status::kInvalid, "no alias given");
    return false;
  }
  std::string err;
  Status s = LoadObject(alias, pairs, &err);
  if (s != Status::kOk) RecordFailure(source, s, err);
  return s == Status::kOk;
}

// The record of the first pair named keyword whose kind (method or not) is
// want_method.
AttributeRecord* GetOne(const char* source, const char* alias,
                        const char* keyword, bool want_method) {
  if (keyword == nullptr) {
    RecordFailure(source, Status::kInvalid, "no keyword given");
    return nullptr;
  }
  TraceCall(source, std::string(alias ? alias : "(null)") + " " + keyword);
  Pairs pairs;
  if (!Load(source, alias, &pairs)) return nullptr;
  for (const Pair& p : pairs) {
    if (p.keyword != keyword || IsMethodName(p.keyword) != want_method)
      continue;
    AttributeRecord* record = NewRecord(p);
    if (record == nullptr)
      RecordFailure(source, Status::kFailed,
                    FitsRecord(p) ? "No more memory"
                                  : std::string(alias) + ": " + keyword +
                                        " is too long for the record");
    return record;
  }
  RecordFailure(source, Status::kAbsent,
                std::string(alias) + ": no " +
                    (want_method ? "method " : "attribute ") + keyword);
  return nullptr;
}

// A new list of the pairs whose kind is want_method.
KeywordList* GetAll(const char* source, const char* alias, bool want_method) {
  TraceCall(source, alias ? alias : "(null)");
  Pairs pairs, chosen;
  if (!Load(source, alias, &pairs)) return nullptr;
  for (Pair& p : pairs)
    if (IsMethodName(p.keyword) == want_method) chosen.push_back(std::move(p));
  KeywordList* list = ListFromPairs(chosen);
  if (list == nullptr) RecordFailure(source, Status::kFailed, "No more memory");
  return list;
}

// Splits pairs into the object's two lists; an empty kind stays NULL.
bool SplitObject(const Pairs& pairs, KeywordList** attributes,
                 KeywordList** methods) {
  Pairs a, m;
  for (const Pair& p : pairs) (IsMethodName(p.keyword) ? m : a).push_back(p);
  *attributes = a.empty() ? nullptr : ListFromPairs(a);
  *methods = m.empty() ? nullptr : ListFromPairs(m);
  return (a.empty() || *attributes) && (m.empty() || *methods);
}

ManagedObject* GetObject(const char* alias) {
  TraceCall("OTLgetobj", alias ? alias : "(null)");
  Pairs pairs;
  if (!Load("OTLgetobj", alias, &pairs)) return nullptr;
  KeywordList *attributes, *methods;
  if (!SplitObject(pairs, &attributes, &methods)) {
    if (attributes) DestroyKeywordList(attributes);
    if (methods) DestroyKeywordList(methods);
    RecordFailure("OTLgetobj", Status::kFailed, "No more memory");
    return nullptr;
  }
  ManagedObject* object = Create_object(alias, attributes, methods);
  if (object == nullptr)
    RecordFailure("OTLgetobj", Status::kFailed, "No more memory");
  return object;
}

}  // namespace
}  // namespace ot

extern "C" {

AttributeRecord* OTLgetattr(const char* alias, const char* attribute) {
  return ot::Guarded<AttributeRecord*>("OTLgetattr", nullptr, [&] {
    return ot::GetOne("OTLgetattr", alias, attribute, false);
  });
}

AttributeRecord* OTLgetmethod(const char* alias, const char* method) {
  return ot::Guarded<AttributeRecord*>("OTLgetmethod", nullptr, [&] {
    return ot::GetOne("OTLgetmethod", alias, method, true);
  });
}

AttributeRecord* OTgetattr(const char* alias, const char* attribute) {
  return ot::Guarded<AttributeRecord*>("OTgetattr", nullptr, [&] {
    return ot::GetOne("OTgetattr", alias, attribute, false);
  });
}

KeywordList* OTLgetattrs(const char* alias) {
  return ot::Guarded<KeywordList*>("OTLgetattrs", nullptr, [&] {
    return ot::GetAll("OTLgetattrs", alias, false);
  });
}

KeywordList* OTLgetmethods(const char* alias) {
  return ot::Guarded<KeywordList*>("OTLgetmethods", nullptr, [&] {
    return ot::GetAll("OTLgetmethods", alias, true);
  });
}

ManagedObject* OTLgetobj(const char* alias) {
  return ot::Guarded<ManagedObject*>("OTLgetobj", nullptr,
                                     [&] { return ot::GetObject(alias); });
}

ManagedObject* Create_object(const char* alias, KeywordList* attributes,
                             KeywordList* methods) {
  auto* object = static_cast<ManagedObject*>(malloc(sizeof(ManagedObject)));
  char* name = alias == nullptr ? nullptr : ot::CopyText(alias);
  if (object == nullptr || name == nullptr) {
    // The lists were handed over; without an object to hold them they go.
    free(object);
    free(name);
    if (attributes) DestroyKeywordList(attributes);
    if (methods) DestroyKeywordList(methods);
    return nullptr;
  }
  *object = {name, attributes, methods};
  return object;
}

void OTFreeObject(ManagedObject* object) {
  if (object == nullptr) return;
  free(object->alias);
  if (object->attributes) DestroyKeywordList(object->attributes);
  if (object->methods) DestroyKeywordList(object->methods);
  free(object);
}

int IsMethod(const char* keyword, int size) {
  if (keyword == nullptr || size <= 0) return 0;
  return ot::IsMethodName(std::string_view(keyword, strnlen(keyword, size)));
}

}  // extern "C"
