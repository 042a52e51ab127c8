/* ls.h: the location service client.
 *
 * Answers questions about managed objects named by net aliases ("node:alias";
 * a text without a colon is an alias of this node; at most 519 bytes).  An
 * object on this node is answered by the object-tool library in process; an
 * object on another node that is a registered name server
 * (/etc/KELDA_servers) is answered by running an object-tool command there
 * through RSClient, with the output read back from a temporary file that is
 * removed before the call returns.
 *
 * Conventions:
 * - Operations return a pointer, NULL on failure, or an integer, -1 on
 *   failure.  Failures are reported in the machine's log (IOLog); there is
 *   no error variable of this library's own.  sspi_errno changes only
 *   through the keyword-list calls made on the caller's behalf.  Only
 *   traced (IOTrace, level 7), not logged: LSPut's parameter file that
 *   cannot be made or opened, and a browse whose parameter or output file
 *   cannot be made.  Storage running out may fail a call without a log
 *   entry.
 * - KeywordLists returned belong to the caller: DestroyKeywordList().
 *   AttributeRecords are malloc()ed: free().  AliasLists are released with
 *   OTFreeAliasList(), ManagedObjects with OTFreeObject(); the records and
 *   both functions are those of the object-tool library (ot_records.h),
 *   which libls links (pkg-config ls adds -lot).
 * - Arguments stay the caller's; no call keeps a pointer to them.  NULL
 *   where a text or list is required is a failure, never a crash.
 * - A word that would go on a shell line (node name, alias, attribute or
 *   method name, selector) may hold only letters, digits and ". _ - , : /
 *   @ % + =" (a node name only letters, digits and ". _ -"); anything else
 *   fails the call before anything runs.  Values travel in files.
 * - Values for another node travel in a parameter file, one pair a line:
 *   one that holds a newline (LSPut, RSPerform, LSgetaliases with
 *   "Containment") fails the call before any file is written or anything
 *   runs, with one log entry naming the value's keyword.  Other values go
 *   as they stand; the far OTput and OTperform refuse a value holding a
 *   double quote, and the call fails as for any failed command.  On this
 *   node the object-tool library's own rules apply.
 * - Not thread-safe.
 *
 * This header compiles as C (C11) and as C++.
 */
#ifndef LS_H_
#define LS_H_

#include "ot_records.h"
#include "sspi.h"

#ifdef LS_BUILDING_LIBRARY
#define LS_EXPORT __attribute__((visibility("default")))
#else
#define LS_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Net aliases. */

/* Splits a net alias at its first colon into a new list holding the pairs
 * "nodename" and "alias", in that order (either value may be empty).
 * NULL when the text holds no colon, is longer than 519 bytes, or is NULL,
 * and when storage runs out (never a list with one pair only).
 * Example: "alpha:a:b" gives nodename=alpha, alias=a:b. */
LS_EXPORT KeywordList* LSParseNetalias(const char* netalias);

/* A new list holding the one pair "netalias" = nodename ":" alias; NULL
 * when an argument is NULL, the text would exceed 519 bytes or storage
 * runs out. */
LS_EXPORT KeywordList* LSCreateNetalias(const char* nodename,
                                        const char* alias);

/* 1 when the object is on this node: the text names no other node (it
 * holds no colon, whatever its length, or is NULL) or its node part is this
 * node's name, compared byte for byte.  0 when it names another node, and
 * for a text with a colon longer than 519 bytes, which names no object. */
LS_EXPORT int IsLocalAlias(const char* netalias);

/* 1 when a search runs on this node: search is NULL, has no "Containment",
 * or its "Containment" names this node (an empty one is reported with
 * OTerror and counts as local); 0 when it names another node; -1 when this
 * node's name cannot be read. */
LS_EXPORT int IsLocalSearch(KeywordList* search);

/* Queries.  On this node each returns the object-tool library's result
 * unchanged; on a name server the same kind of result, newly allocated. */

/* One attribute or method of the object; NULL when there is none or on
 * failure.  The caller free()s the record. */
LS_EXPORT AttributeRecord* LSQueryattr(const char* netalias,
                                       const char* attribute);
LS_EXPORT AttributeRecord* LSQuerymeth(const char* netalias,
                                       const char* method);

/* All attributes or all methods as a new list (empty when the object has
 * none); NULL on failure.  The caller destroys the list. */
LS_EXPORT KeywordList* LSQueryattrs(const char* netalias);
LS_EXPORT KeywordList* LSQuerymeths(const char* netalias);

/* The whole object; NULL on failure, or when a remote answer holds no pair
 * besides the object's alias.  Release with OTFreeObject(). */
LS_EXPORT ManagedObject* LSQueryobjs(const char* netalias);

/* The alias that follows netalias's alias among the objects that selector
 * picks (the first one when netalias ends in a colon); NULL when there is
 * none or on failure.  The caller does not free the text: an answer from
 * this node lives in the object-tool library until its next call, a remote
 * one in a buffer of this library until the next remote LSQuerynext. */
LS_EXPORT char* LSQuerynext(const char* selector, const char* netalias);

/* Browse. */

/* The aliases of the objects that match every pair of search (all objects
 * for NULL); NULL when none match or on failure.  With a "Containment"
 * pair the search runs on the node it names, that pair is not a
 * criterion, and every entry is a net alias "node:alias".  search stays
 * the caller's; release the result with OTFreeAliasList(). */
LS_EXPORT AliasList* LSgetaliases(KeywordList* search);

/* Put and perform.  Remotely the pairs go to the far command in a file,
 * as they stand, from the list's cursor onward; the walk leaves the cursor
 * at the first item.  Locally the list goes to the library as it is. */

/* Writes the attributes to the object.  Here: the library's result (0 or
 * -1).  Remotely: 0 when the far OTput exited with status 0, whose output
 * reaches the caller's standard output.  -1 on failure, and at once for a
 * NULL list. */
LS_EXPORT int LSPut(const char* netalias, KeywordList* attributes);

/* Runs method on the object with parameters (NULL: none) and returns its
 * output pairs as a new list the caller destroys; NULL on failure. */
LS_EXPORT KeywordList* RSPerform(const char* netalias, const char* method,
                                 KeywordList* parameters);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* LS_H_ */
