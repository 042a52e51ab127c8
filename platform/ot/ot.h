// The object-tool library stand-in: managed objects in a per-machine object
// store, the log and trace sinks, and the temporary-file cleanup list.
//
// Built as libot, a shared library that libls and the object-tool commands
// link.  The record types come from ot_records.h, which ls.h also
// includes to publish them to the location service's callers.  All
// functions are plain C.
//
// Conventions:
// - The store holds one file per object, /var/sadm/ot/objects/<alias>
//   under the machine root (RUDED_ROOT), a keyword stream of its pairs.
//   A pair whose keyword begins with "do_" is a method (its value is a
//   shell command, see OTLperform); every other pair is an attribute.
// - An alias is 1 to 255 bytes from 33 to 126, without "/", not beginning
//   with "."; "alias" is not a keyword that can be put.
// - Functions that return a pointer return NULL on failure, those that
//   return an int -1.  OTLastError() then tells why.  Failures other than
//   "there is no such object, attribute, method or alias" are also logged
//   with OTerror() under the function's name.
// - Memory handed out is malloc()ed: AttributeRecords are free()d,
//   KeywordLists destroyed with DestroyKeywordList(), ManagedObjects
//   released with OTFreeObject(), AliasLists with OTFreeAliasList(), comma
//   lists with DestroyCommaList().
// - No function keeps a pointer to its arguments.  Not thread-safe.

#ifndef RUDED_PLATFORM_OT_OT_H_
#define RUDED_PLATFORM_OT_OT_H_

#include "ot_records.h"
#include "sspi.h"

#ifdef __cplusplus
extern "C" {
#endif

// Attribute or method of an object; NULL when there is none, or when its
// keyword or value would not fit the record's fields.  Free().  OTgetattr
// is OTLgetattr under the name that the registry's fallback uses.
OT_EXPORT AttributeRecord* OTLgetattr(const char* alias, const char* attribute);
OT_EXPORT AttributeRecord* OTLgetmethod(const char* alias, const char* method);
OT_EXPORT AttributeRecord* OTgetattr(const char* alias, const char* attribute);

// All attributes or methods, in stored order, as a new list (empty when
// the object has none); NULL when there is no such object.
OT_EXPORT KeywordList* OTLgetattrs(const char* alias);
OT_EXPORT KeywordList* OTLgetmethods(const char* alias);

// The whole object; NULL on failure.  A kind of pair the object does not
// have is a NULL list.  Release with OTFreeObject().
OT_EXPORT ManagedObject* OTLgetobj(const char* alias);
// Makes an object that takes over both lists (either may be NULL).  On
// failure (NULL alias, no storage) the lists are destroyed and the result
// is NULL.
OT_EXPORT ManagedObject* Create_object(const char* alias,
                                       KeywordList* attributes,
                                       KeywordList* methods);

// 1 when keyword (at most size bytes are looked at) names a method, that
// is, begins with "do_" and has more after it; else 0.
OT_EXPORT int IsMethod(const char* keyword, int size);

// The alias after previous in byte order (the first when previous is NULL
// or empty) among the objects that selector picks; NULL when there is
// none.  previous need not exist any more.  Selectors: "all", "" or NULL
// (every object), "keyword=value" (that attribute has that value),
// "keyword" (the object has that attribute).  The text lives in storage of
// the library's own until the next call.
OT_EXPORT char* OTLnextalias(const char* selector, const char* previous);

// Aliases, in byte order, of the objects whose attributes match every pair
// of the search list exactly (the keyword "alias" matches the object's own
// alias); all objects for NULL or an empty list.  NULL when none match.
// The list's cursor is not moved.  Release with OTFreeAliasList().
// OTgetaliases is the same call under the commands' name.
OT_EXPORT AliasList* OTLgetaliases(KeywordList* search);
OT_EXPORT AliasList* OTgetaliases(KeywordList* search);
// Adds a copy of text at the end of *head (starting the list when *head is
// NULL).  0, or -1 for a NULL argument or without storage.
OT_EXPORT int AddAnAliasToList(AliasList** head, const char* text);

// NULL-terminated malloc()ed array of malloc()ed copies of the
// comma-separated items of text, in order.  Empty items are left out, so
// "a,,b," gives a and b and "" an array holding only NULL.  Blanks are
// kept.  NULL for a NULL text or without storage.
OT_EXPORT char** ParseCommaList(const char* text);
// Frees such an array and its items; NULL is ignored.
OT_EXPORT void DestroyCommaList(char** list);

// Puts the pairs on the object: a keyword it has takes the new value in
// place, a new keyword is added at the end; the object is created when it
// does not exist (a list without pairs changes nothing).  The file is
// replaced atomically, so a reader sees the object before or after the
// put, never a part of it.  The list's cursor is not moved.  0, or -1
// (nothing changed) for a bad alias, a NULL or invalid list, a keyword of
// more than 31 bytes, holding blanks, "=" or a double quote, or beginning
// with "#", the keyword "alias", a value of more than 511 bytes or holding
// a double quote, or a store that cannot be written.
OT_EXPORT int OTLput(const char* alias, KeywordList* attributes);

// Runs a method with the parameters (NULL: none) and returns its output
// pairs as a new list, or NULL.  The method's value runs as
// "/bin/sh -c <value>" in the machine root's top directory with the
// caller's environment plus OT_ALIAS, OT_METHOD and OT_PARAM_<keyword> for
// each parameter whose keyword is a shell name; the parameters are also
// its standard input as a keyword stream.  Its standard output must be a
// keyword stream and its exit status 0.
//
// Example (method do_echo="cat" echoes its parameters):
//   KeywordList* p = CreateKeywordList();
//   AddKeywordToList(p, "size", "12");
//   KeywordList* out = OTLperform("System", "do_echo", p);  // size="12"
OT_EXPORT KeywordList* OTLperform(const char* alias, const char* method,
                                  KeywordList* parameters);

// The outcome of the last call of the object store (the OTL*, OTget* and
// OTput/perform functions): OTLastError() returns its message ("" after a
// success) and, when status is not NULL, stores one of these codes there.
// The text lives in the library until the next call.
#define OT_STATUS_OK 0
#define OT_STATUS_ABSENT 1  /* no such object, attribute, method or alias */
#define OT_STATUS_INVALID 2 /* an argument the store cannot take */
#define OT_STATUS_FAILED 3  /* the store could not be read or written */
OT_EXPORT const char* OTLastError(int* status);

// The cleanup list.  entry is a 16-bit kind (0) followed at once by a path;
// operation 0 adds the file, 1 takes it off.  Files still listed when the
// process exits are removed (the path mapped under the machine root as it
// was when the file was added).  Returns 0 on success; 1 when the path to
// take off is not listed; -1 for another kind, an empty path, another
// operation or no storage.
#define OT_CLEANUP_ADD 0
#define OT_CLEANUP_REMOVE 1
OT_EXPORT int OTcleanup(const void* entry, int operation);

// Log and trace sinks, all appending one line to the machine's
// /var/adm/oam.log (var/adm is made when missing):
//   IOLog    "LOG <component> <message> <detail>: <text>"
//   IOTrace  "TRACE <level> <component>: <text>"
//   OTtrace  "OTTRACE <level> <component>: <text>"
//   OTerror  "ERROR <source>: <text>"
// where <text> is the formatted text without its trailing newlines.
// IOTrace and OTtrace write only when level is at or below the integer in
// the environment variable OAM_TRACE (unset or not a number: never).
// Lines that cannot be written are lost silently.
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
