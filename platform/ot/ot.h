// The object-tool library stand-in: managed objects in a per-machine object
// store, the log and trace sinks, and the temporary-file cleanup list.
//
// Built as libot, a shared library that libls and the object-tool commands
// link.  The record types come from ls.h, which publishes them to the
// location service's callers.  All functions are plain C.

#ifndef RUDED_PLATFORM_OT_OT_H_
#define RUDED_PLATFORM_OT_OT_H_

#include "ls.h"
#include "sspi.h"

#ifdef __cplusplus
extern "C" {
#endif

// Attribute or method of an object; NULL when there is none.  Free().
OT_EXPORT AttributeRecord* OTLgetattr(const char* alias, const char* attribute);
OT_EXPORT AttributeRecord* OTLgetmethod(const char* alias, const char* method);
OT_EXPORT AttributeRecord* OTgetattr(const char* alias, const char* attribute);

// All attributes or methods as a new list; NULL on failure.
OT_EXPORT KeywordList* OTLgetattrs(const char* alias);
OT_EXPORT KeywordList* OTLgetmethods(const char* alias);

// The whole object; NULL on failure.  Release with OTFreeObject().
OT_EXPORT ManagedObject* OTLgetobj(const char* alias);
// Makes an object that takes over both lists (either may be NULL).
OT_EXPORT ManagedObject* Create_object(const char* alias,
                                       KeywordList* attributes,
                                       KeywordList* methods);

// 1 when keyword (at most size bytes are looked at) names a method, else 0.
OT_EXPORT int IsMethod(const char* keyword, int size);

// The alias after previous (the first when previous is NULL) among the
// objects that selector picks; NULL when there is none.  The text lives in
// storage of the library's own until the next call.
OT_EXPORT char* OTLnextalias(const char* selector, const char* previous);

// Aliases of the objects matching every pair of the search list (all
// objects for NULL); NULL when none match.  Release with OTFreeAliasList().
OT_EXPORT AliasList* OTLgetaliases(KeywordList* search);
OT_EXPORT AliasList* OTgetaliases(KeywordList* search);
// Adds a copy of text at the end of *head.  0, or -1 without storage.
OT_EXPORT int AddAnAliasToList(AliasList** head, const char* text);

// NULL-terminated array of the comma-separated items of text.
OT_EXPORT char** ParseCommaList(const char* text);
OT_EXPORT void DestroyCommaList(char** list);

// Puts the pairs on the object; 0, or -1.
OT_EXPORT int OTLput(const char* alias, KeywordList* attributes);
// Runs a method with the parameters; its output pairs, or NULL.
OT_EXPORT KeywordList* OTLperform(const char* alias, const char* method,
                                  KeywordList* parameters);

// The cleanup list.  entry is a 16-bit kind (0) followed at once by a path;
// operation 0 adds the file, 1 takes it off.  Files still listed when the
// process exits are removed.  Returns 0 on success.
#define OT_CLEANUP_ADD 0
#define OT_CLEANUP_REMOVE 1
OT_EXPORT int OTcleanup(const void* entry, int operation);

// Log and trace sinks, all appending to the machine's var/adm/oam.log.
OT_EXPORT void OTerror(const char* source, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
OT_EXPORT void OTtrace(int level, const char* component, const char* format,
                       ...) __attribute__((format(printf, 3, 4)));
OT_EXPORT void IOTrace(int level, const char* component, const char* format,
                       ...) __attribute__((format(printf, 3, 4)));
OT_EXPORT void IOLog(const char* component, int message, int detail,
                     const char* format, ...)
    __attribute__((format(printf, 4, 5)));

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // RUDED_PLATFORM_OT_OT_H_
