/* sspi.h: ordered keyword/value lists, their text form, and a levelled trace.
 *
 * A KeywordList is an ordered list of keyword/value text pairs, such as the
 * attributes of a managed object.  The same keyword may occur several times;
 * every lookup finds the first item, counted from the start, whose keyword
 * is byte-for-byte equal.  A value may hold several values separated by
 * commas (AddValueToList).  Lists travel between processes as text, one
 * keyword="value" line per pair (KeywordListToStream, KeywordStreamToList;
 * see sspi(5)).
 *
 * Conventions:
 * - Functions that return a status return 0 or one of the SSPI_E_* codes
 *   below and leave the same code in sspi_errno, unless a comment says
 *   otherwise.  Functions that return a pointer return NULL on failure and
 *   leave the reason in sspi_errno.
 * - Every operation checks its list argument first: a pointer is a list
 *   when its address lies between the lowest and highest list addresses
 *   CreateKeywordList() ever returned and it carries the live stamp "SSPI"
 *   (which DestroyKeywordList() spoils).  Anything else gives
 *   SSPI_E_BAD_LIST.  A copy of a header that the caller made passes this
 *   check when it lies in that window: it is a list sharing its items with
 *   the original.  While both chains start at the same item, a pair
 *   appended through either is in both, but each header keeps its own
 *   count and cursor; removing or destroying through one frees items the
 *   other still points to.  Destroying a copy frees the items, not the
 *   caller's memory.
 * - The caller owns every KeywordList that a function returns and releases
 *   it with DestroyKeywordList().  Pointers that lookups hand out point into
 *   the list's own storage and stay valid until that item is removed, its
 *   value is extended, or the list is destroyed.  Do not free them.
 * - Text arguments are NUL-terminated byte strings; the list imposes no
 *   length limit.  A required keyword, value, buffer or out pointer that is
 *   NULL gives SSPI_E_BAD_ARGUMENT.  Buffers that receive copies carry no
 *   length: the caller makes them large enough for the stored text.
 * - When storage runs out, the operation returns SSPI_E_FAILURE (or NULL)
 *   and the list is left as it was before the call.
 * - The library is not thread-safe: sspi_errno, the trace buffer and each
 *   list's iteration cursor are shared without locks.
 *
 * This header compiles as C (C11) and as C++.
 */
#ifndef SSPI_H_
#define SSPI_H_

#include <stdint.h>
#include <stdio.h>

#ifdef SSPI_BUILDING_LIBRARY
#define SSPI_EXPORT __attribute__((visibility("default")))
#else
#define SSPI_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes.  The values are part of the interface; 244, 246-248 and
 * 251 are not used. */
#define SSPI_OK 0
#define SSPI_E_BAD_LIST 241        /* not a valid KeywordList */
#define SSPI_E_NOT_FOUND 242       /* no item has this keyword */
#define SSPI_E_NO_VALUE 243        /* found, but the value is empty; stream:
                                      keyword without "=" */
#define SSPI_E_END 245             /* iteration exhausted; end of stream */
#define SSPI_E_VALUE_TOO_LONG 249  /* stream: value reached its limit */
#define SSPI_E_KEYWORD_TOO_LONG 250 /* stream: keyword reached 32 bytes */
#define SSPI_E_OPEN_QUOTE 252      /* stream: input ended inside quotes */
#define SSPI_E_EMPTY_VALUE 253     /* stream: "=" followed by white space */
#define SSPI_E_BAD_ARGUMENT 254    /* NULL argument; stream: empty keyword */
#define SSPI_E_FAILURE 255         /* no storage; failed merge; bad destroy */

/* Trace levels; each level's name is its LOG_* name. */
#define SSPI_LOG_EMERG 0
#define SSPI_LOG_ALERT 1
#define SSPI_LOG_CRIT 2
#define SSPI_LOG_ERR 3
#define SSPI_LOG_WARNING 4
#define SSPI_LOG_NOTICE 5
#define SSPI_LOG_INFO 6
#define SSPI_LOG_DEBUG 7
#define SSPI_LOG_OT 8
#define SSPI_LOG_SSPI 9

/* Limits of the stream reader: a keyword holds at most 31 bytes and a
 * value at most 511.  Buffers handed to GetKeyword() must hold at least
 * these many bytes, since the reader stores the byte that reaches the limit
 * and a NUL behind it before it reports the overflow. */
#define SSPI_KEYWORD_BUFFER 33
#define SSPI_VALUE_BUFFER 513

/* One item: keyword and value live in one allocation, storage_area.
 * Read-only for callers; the library links and frees items. */
typedef struct KeywordValueBlock {
  struct KeywordValueBlock* prev_block; /* NULL for the first item */
  struct KeywordValueBlock* next_block; /* NULL for the last item */
  char* storage_area;
  char* keyword_address; /* == storage_area */
  char* value_address;   /* == storage_area + strlen(keyword) + 1 */
} KeywordValueBlock;

/* The list header.  Read-only for callers. */
typedef struct KeywordList {
  int32_t number_of_keywords;       /* items in the chain */
  KeywordValueBlock* next_kwd_val;  /* cursor: next item a walk returns */
  KeywordValueBlock* kwd_val_chain; /* first item, or NULL */
  char stamp[4];                    /* "SSPI" while alive, no terminator */
} KeywordList;

/* The result code of the last operation. */
SSPI_EXPORT extern int sspi_errno;
/* Trace lines at or below this level are written; from 7 (SSPI_LOG_DEBUG)
 * up they carry the long header, and from 9 DumpKeywordList() prints.
 * Initially 0. */
SSPI_EXPORT extern int sspi_verbose_level;
/* Trace lines of exactly this level are written whatever
 * sspi_verbose_level says.  Initially 0. */
SSPI_EXPORT extern int sspi_explicit_level;
/* For the library's clients; initially stdout.  The trace does not use it:
 * trace lines go to standard error. */
SSPI_EXPORT extern FILE* sspi_output_stream;
/* For the library's clients; initially NULL.  The library never reads it. */
SSPI_EXPORT extern char** sspi_argv;

/* ---- Lists ---- */

/* Returns a new empty list, or NULL with sspi_errno 255 when there is no
 * storage.  The caller releases it with DestroyKeywordList(). */
SSPI_EXPORT KeywordList* CreateKeywordList(void);

/* Frees the list, its items and their text; the header's stamp becomes
 * "XXXX" first.  Returns 0, or 255 (and frees nothing) when list is not a
 * valid list, NULL included. */
SSPI_EXPORT int DestroyKeywordList(KeywordList* list);

/* Returns 0 if list is a valid list, else 241.  Always sets sspi_errno to
 * the result. */
SSPI_EXPORT int ValidKeywordList(KeywordList* list);

/* Returns the number of items, or -1 (sspi_errno 241) for an invalid list. */
SSPI_EXPORT int NumberOfKeywords(KeywordList* list);

/* Appends the pair at the end of the list, even when the keyword is
 * already present.  Returns 0, 241, 254, or 255 when there is no storage.
 * The list keeps copies of both texts. */
SSPI_EXPORT int AddKeywordToList(KeywordList* list, const char* keyword,
                                 const char* value);

/* Adds value to the comma-separated set of values of the first item with
 * keyword.  A value already in the set (as a whole element) changes
 * nothing; an absent keyword becomes a new item at the end.  Returns 0,
 * 241, 254 (also for an invalid list), or 255 (the old value is kept).
 * Extending moves the item's text: earlier pointers into it go stale.
 * Example: on a="x,y", adding "y" keeps x,y; adding "z" gives x,y,z. */
SSPI_EXPORT int AddValueToList(KeywordList* list, const char* keyword,
                               const char* value);

/* Removes the first item with keyword, if any, and appends the pair at the
 * end: an updated keyword moves to the end of the list.  Returns 0, 241,
 * or 255 (nothing changed).  A NULL keyword or value returns 254 and leaves
 * sspi_errno as the list check set it (0 or 241). */
SSPI_EXPORT int UpdateKeywordInList(KeywordList* list, const char* keyword,
                                    const char* value);

/* Removes the first item with keyword.  A cursor standing on it moves to
 * the next item.  Returns 0, 241, 242 or 254. */
SSPI_EXPORT int RemoveKeywordFmList(KeywordList* list, const char* keyword);

/* Points *keyword_out and *value_out at the first item with keyword.
 * Returns 0; 243 when its value is empty (pointers set); 242 when absent
 * (both set to NULL); 241 or 254 (pointers untouched). */
SSPI_EXPORT int ReferenceKeywordInList(KeywordList* list, const char* keyword,
                                       char** keyword_out, char** value_out);

/* One step of the walk: points the out pointers at the cursor's item and
 * moves the cursor to the next one; returns 0 (also for an empty value).
 * When the walk is exhausted, sets both to NULL, puts the cursor back on
 * the first item and returns 245.  241 or 254 on bad arguments.
 * Example:
 *   char *k, *v;
 *   while (ReferenceNextKeywordInList(list, &k, &v) == 0) use(k, v);
 * A list has one cursor: two walks of it at once interfere. */
SSPI_EXPORT int ReferenceNextKeywordInList(KeywordList* list,
                                           char** keyword_out,
                                           char** value_out);

/* As ReferenceKeywordInList(), but copies the value into the caller's
 * buffer on 0; on 242, 243 and 254 the buffer becomes "".  241 leaves it
 * untouched. */
SSPI_EXPORT int GetKeywordFmList(KeywordList* list, const char* keyword,
                                 char* value);

/* As ReferenceNextKeywordInList(), but copies keyword and value into the
 * caller's buffers on 0; other results leave them untouched. */
SSPI_EXPORT int GetNextKeywordFmList(KeywordList* list, char* keyword,
                                     char* value);

/* Returns a new list with the same pairs in the same order, its cursor on
 * the first item, or NULL (sspi_errno 241 or 255).  If storage runs out
 * part-way, the partial copy is returned with sspi_errno 255; the caller
 * destroys it either way. */
SSPI_EXPORT KeywordList* DuplicateKeywordList(KeywordList* list);

/* Appends every pair of source to destination as it is (keywords already
 * present are not merged) and puts source's cursor on its first item.
 * Returns 0, leaving sspi_errno at 245 (the end of the walk); 241 when
 * either list is invalid or both are the same; 255 when storage runs out,
 * with the pairs appended so far left in destination. */
SSPI_EXPORT int AddKeywordListToList(KeywordList* destination,
                                     KeywordList* source);

/* Keeps only the last item of every keyword, each in its place: a=1, b=2,
 * a=3 becomes b=2, a=3.  Returns 1 if any item was removed, else 0 (also
 * for an invalid list, sspi_errno 241, and when storage runs out, sspi_errno
 * 255 and the list unchanged). */
SSPI_EXPORT int RemoveDuplicateKeywordFmList(KeywordList* list);

/* ---- Text form (see sspi(5)) ---- */

/* Writes one line keyword="value" per pair, in order, and leaves the
 * cursor on the first item.  Each value is cleaned in place first, in the
 * list itself: bytes below 10 (tab included) and above 126 become spaces.
 * Returns 0, 241 or 254 (NULL stream).  Write errors are not detected:
 * check ferror(stream). */
SSPI_EXPORT int KeywordListToStream(FILE* stream, KeywordList* list);

/* Reads one pair into keyword (at least SSPI_KEYWORD_BUFFER bytes) and
 * value (at least SSPI_VALUE_BUFFER bytes).  Returns 0 for a pair; 243 for
 * a keyword without "="; 253 for "=" followed by white space; 245 when only
 * white space and comments were left; 249, 250, 252 or 254 for a malformed
 * or oversized pair, leaving the stream just behind the offending byte.
 * sspi_errno is set to the result. */
SSPI_EXPORT int GetKeyword(FILE* stream, char* keyword, char* value);

/* Reads pairs up to the end of the stream into a new list (owned by the
 * caller), keeping pairs without a value (243, 253) with an empty one.
 * Returns the list with sspi_errno 245, or NULL with the reader's result
 * (249, 250, 252, 254) or 255 in sspi_errno. */
SSPI_EXPORT KeywordList* KeywordStreamToList(FILE* stream);

/* ---- Trace and dump ---- */

/* Writes one printf-style line on standard error if level equals
 * sspi_explicit_level or is at most sspi_verbose_level.  The line is
 * "source: message", or with sspi_verbose_level 7 and above the long form
 * "ticks diff source level-name: message" (source cut to its last 20
 * characters).  The line is written at the end of the stream and flushed. */
SSPI_EXPORT void SSPItrace(int level, const char* source, const char* format,
                           ...) __attribute__((format(printf, 3, 4)));

/* Traces the header and every item of the list, field by field, at the
 * current verbose level.  Returns 0, or 241 (printing nothing). */
SSPI_EXPORT int DisplayKeywordList(KeywordList* list);

/* DisplayKeywordList() when sspi_verbose_level is 9 or more; otherwise
 * prints nothing and returns 0, whatever list is. */
SSPI_EXPORT int DumpKeywordList(KeywordList* list);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* SSPI_H_ */
