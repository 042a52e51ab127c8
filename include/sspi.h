/* sspi.h: ordered keyword/value lists, their text form, and a levelled trace.
 *
 * Conventions:
 * - Functions that return a status return 0 or one of the SSPI_E_* codes
 *   below and leave the same code in sspi_errno.  Functions that return a
 *   pointer return NULL on failure and leave the reason in sspi_errno.
 * - The caller owns every KeywordList that a function returns and releases
 *   it with DestroyKeywordList().  Pointers that lookups hand out point into
 *   the list's own storage and stay valid until that item is removed, its
 *   value is extended, or the list is destroyed.
 * - Text arguments are NUL-terminated byte strings; a required keyword or
 *   value argument that is NULL gives SSPI_E_BAD_ARGUMENT.
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

/* Result codes.  The values are part of the interface. */
#define SSPI_OK 0
#define SSPI_E_BAD_LIST 241        /* not a valid KeywordList */
#define SSPI_E_NOT_FOUND 242       /* no item has this keyword */
#define SSPI_E_NO_VALUE 243        /* found, but the value is empty */
#define SSPI_E_END 245             /* iteration exhausted; end of stream */
#define SSPI_E_VALUE_TOO_LONG 249  /* stream: value reached its limit */
#define SSPI_E_KEYWORD_TOO_LONG 250 /* stream: keyword reached 32 bytes */
#define SSPI_E_OPEN_QUOTE 252      /* stream: input ended inside quotes */
#define SSPI_E_EMPTY_VALUE 253     /* stream: "=" followed by white space */
#define SSPI_E_BAD_ARGUMENT 254    /* NULL keyword or value; empty keyword */
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

/* Limits of the stream reader: buffers handed to GetKeyword() must hold at
 * least these many bytes. */
#define SSPI_KEYWORD_BUFFER 33
#define SSPI_VALUE_BUFFER 513

/* One item: keyword and value live in one allocation, storage_area. */
typedef struct KeywordValueBlock {
  struct KeywordValueBlock* prev_block;
  struct KeywordValueBlock* next_block;
  char* storage_area;
  char* keyword_address; /* == storage_area */
  char* value_address;   /* == storage_area + strlen(keyword) + 1 */
} KeywordValueBlock;

/* The list header. */
typedef struct KeywordList {
  int32_t number_of_keywords;
  KeywordValueBlock* next_kwd_val; /* cursor: next item a walk returns */
  KeywordValueBlock* kwd_val_chain; /* first item, or NULL */
  char stamp[4];                    /* "SSPI" while alive, no terminator */
} KeywordList;

SSPI_EXPORT extern int sspi_errno;
SSPI_EXPORT extern int sspi_verbose_level;
SSPI_EXPORT extern int sspi_explicit_level;
SSPI_EXPORT extern FILE* sspi_output_stream;
SSPI_EXPORT extern char** sspi_argv;

/* Lists (createkl, destroykl, addkl, removekl, dupkl). */
SSPI_EXPORT KeywordList* CreateKeywordList(void);
SSPI_EXPORT int DestroyKeywordList(KeywordList* list);
SSPI_EXPORT int ValidKeywordList(KeywordList* list);
SSPI_EXPORT int NumberOfKeywords(KeywordList* list);
SSPI_EXPORT int AddKeywordToList(KeywordList* list, const char* keyword,
                                 const char* value);
SSPI_EXPORT int AddValueToList(KeywordList* list, const char* keyword,
                               const char* value);
SSPI_EXPORT int UpdateKeywordInList(KeywordList* list, const char* keyword,
                                    const char* value);
SSPI_EXPORT int RemoveKeywordFmList(KeywordList* list, const char* keyword);
SSPI_EXPORT int ReferenceKeywordInList(KeywordList* list, const char* keyword,
                                       char** keyword_out, char** value_out);
SSPI_EXPORT int ReferenceNextKeywordInList(KeywordList* list,
                                           char** keyword_out,
                                           char** value_out);
SSPI_EXPORT int GetKeywordFmList(KeywordList* list, const char* keyword,
                                 char* value);
SSPI_EXPORT int GetNextKeywordFmList(KeywordList* list, char* keyword,
                                     char* value);
SSPI_EXPORT KeywordList* DuplicateKeywordList(KeywordList* list);
SSPI_EXPORT int AddKeywordListToList(KeywordList* destination,
                                     KeywordList* source);
SSPI_EXPORT int RemoveDuplicateKeywordFmList(KeywordList* list);

/* Text form. */
SSPI_EXPORT int KeywordListToStream(FILE* stream, KeywordList* list);
SSPI_EXPORT int GetKeyword(FILE* stream, char* keyword, char* value);
SSPI_EXPORT KeywordList* KeywordStreamToList(FILE* stream);

/* Trace and dump. */
SSPI_EXPORT void SSPItrace(int level, const char* source, const char* format,
                           ...) __attribute__((format(printf, 3, 4)));
SSPI_EXPORT int DisplayKeywordList(KeywordList* list);
SSPI_EXPORT int DumpKeywordList(KeywordList* list);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* SSPI_H_ */
