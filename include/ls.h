/* ls.h: the location service client.
 *
 * Answers questions about managed objects named by net aliases ("node:alias";
 * a text without a colon is an alias of this node).  An object on this node
 * is answered by the object-tool library in process; an object on another
 * node that is a registered name server (/etc/KELDA_servers) is answered by
 * running an object-tool command there through RSClient.
 *
 * Conventions:
 * - Operations return a pointer, NULL on failure, or an integer, -1 on
 *   failure.  Failures are reported in the machine's log (IOLog); there is
 *   no error variable of this library's own.  sspi_errno changes only
 *   through the keyword-list calls made on the caller's behalf.
 * - KeywordLists returned belong to the caller: DestroyKeywordList().
 *   AttributeRecords made on the remote path are malloc()ed: free().
 *   AliasLists are released with OTFreeAliasList(), ManagedObjects with
 *   OTFreeObject(); both come from the object-tool library that libls
 *   links.
 *
 * This header compiles as C (C11) and as C++.
 */
#ifndef LS_H_
#define LS_H_

#include "sspi.h"

#ifdef LS_BUILDING_LIBRARY
#define LS_EXPORT __attribute__((visibility("default")))
#else
#define LS_EXPORT
#endif
#ifdef OT_BUILDING_LIBRARY
#define OT_EXPORT __attribute__((visibility("default")))
#else
#define OT_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Object-tool records, shared by the object-tool library and its callers. */

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

/* Net aliases. */
LS_EXPORT KeywordList* LSParseNetalias(const char* netalias);
LS_EXPORT KeywordList* LSCreateNetalias(const char* nodename,
                                        const char* alias);
LS_EXPORT int IsLocalAlias(const char* netalias);
LS_EXPORT int IsLocalSearch(KeywordList* search);

/* Queries. */
LS_EXPORT AttributeRecord* LSQueryattr(const char* netalias,
                                       const char* attribute);
LS_EXPORT AttributeRecord* LSQuerymeth(const char* netalias,
                                       const char* method);
LS_EXPORT KeywordList* LSQueryattrs(const char* netalias);
LS_EXPORT KeywordList* LSQuerymeths(const char* netalias);
LS_EXPORT ManagedObject* LSQueryobjs(const char* netalias);
LS_EXPORT char* LSQuerynext(const char* selector, const char* netalias);

/* Browse. */
LS_EXPORT AliasList* LSgetaliases(KeywordList* search);

/* Put and perform. */
LS_EXPORT int LSPut(const char* netalias, KeywordList* attributes);
LS_EXPORT KeywordList* RSPerform(const char* netalias, const char* method,
                                 KeywordList* parameters);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* LS_H_ */
