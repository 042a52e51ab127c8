/* ot_records.h: the records of the object-tool library.
 *
 * The object-tool library answers queries with these records, and the
 * location service client (ls.h) hands the same records on to its callers.
 * Both include this header; it depends on nothing but sspi.h.
 *
 * Conventions:
 * - AttributeRecords are malloc()ed: free() them.  A ManagedObject owns its
 *   alias and both lists: release it with OTFreeObject().  An AliasList is
 *   released with OTFreeAliasList().  Both functions come from the
 *   object-tool library (libot) and ignore NULL.
 *
 * This header compiles as C (C11) and as C++.
 */
#ifndef OT_RECORDS_H_
#define OT_RECORDS_H_

#include "sspi.h"

#ifdef OT_BUILDING_LIBRARY
#define OT_EXPORT __attribute__((visibility("default")))
#else
#define OT_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define OT_KEYWORD_SIZE 33
#define OT_VALUE_SIZE 513

/* One attribute or method: keyword text, then value text. */
typedef struct AttributeRecord {
  char keyword[OT_KEYWORD_SIZE];
  char value[OT_VALUE_SIZE];
} AttributeRecord;

/* A managed object: its alias and its attribute and method pairs (either
 * list may be NULL).  The object owns all three. */
typedef struct ManagedObject {
  char* alias;
  KeywordList* attributes;
  KeywordList* methods;
} ManagedObject;

/* A chain of alias texts. */
typedef struct AliasList {
  char* alias;
  struct AliasList* next;
} AliasList;

OT_EXPORT void OTFreeAliasList(AliasList* list);
OT_EXPORT void OTFreeObject(ManagedObject* object);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* OT_RECORDS_H_ */
