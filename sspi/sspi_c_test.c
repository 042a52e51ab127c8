/* Uses libsspi from C through its public header only: every exported
 * function and variable, the records' fields, and the trace on standard
 * error. */

#define _POSIX_C_SOURCE 200809L /* dup, dup2, fileno */

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "sspi.h"

static int failures = 0;

#define CHECK(cond)                                              \
  do {                                                           \
    if (!(cond)) {                                               \
      fprintf(stdout, "%s:%d: failed: %s\n", __FILE__, __LINE__, \
              #cond);                                            \
      failures++;                                                \
    }                                                            \
  } while (0)

static void test_lists(void) {
  KeywordList* list = CreateKeywordList();
  KeywordList* copy;
  char *k, *v;
  char kbuf[SSPI_KEYWORD_BUFFER], vbuf[SSPI_VALUE_BUFFER];
  CHECK(list != NULL && memcmp(list->stamp, "SSPI", 4) == 0);
  CHECK(ValidKeywordList(list) == SSPI_OK);
  CHECK(AddKeywordToList(list, "a", "1") == SSPI_OK);
  CHECK(AddKeywordToList(list, "b", "") == SSPI_OK);
  CHECK(AddValueToList(list, "a", "2") == SSPI_OK);
  CHECK(UpdateKeywordInList(list, "c", "3") == SSPI_OK);
  CHECK(NumberOfKeywords(list) == 3 && list->number_of_keywords == 3);
  CHECK(ReferenceKeywordInList(list, "b", &k, &v) == SSPI_E_NO_VALUE);
  CHECK(GetKeywordFmList(list, "a", vbuf) == SSPI_OK && strcmp(vbuf, "1,2") == 0);
  CHECK(GetNextKeywordFmList(list, kbuf, vbuf) == SSPI_OK && strcmp(kbuf, "a") == 0);
  CHECK(ReferenceNextKeywordInList(list, &k, &v) == SSPI_OK && strcmp(k, "b") == 0);
  CHECK(RemoveKeywordFmList(list, "b") == SSPI_OK);
  CHECK(RemoveKeywordFmList(list, "b") == SSPI_E_NOT_FOUND && sspi_errno == SSPI_E_NOT_FOUND);

  copy = DuplicateKeywordList(list);
  CHECK(copy != NULL && NumberOfKeywords(copy) == 2);
  CHECK(AddKeywordListToList(list, copy) == SSPI_OK && sspi_errno == SSPI_E_END);
  CHECK(RemoveDuplicateKeywordFmList(list) == 1 && NumberOfKeywords(list) == 2);
  CHECK(strcmp(list->kwd_val_chain->keyword_address, "a") == 0);
  CHECK(strcmp(list->kwd_val_chain->next_block->value_address, "3") == 0);
  CHECK(DestroyKeywordList(copy) == SSPI_OK);
  CHECK(DestroyKeywordList(list) == SSPI_OK);
  CHECK(DestroyKeywordList(NULL) == SSPI_E_FAILURE);
}

static void test_stream(void) {
  FILE* f = tmpfile();
  KeywordList* list = CreateKeywordList();
  KeywordList* back;
  char kbuf[SSPI_KEYWORD_BUFFER], vbuf[SSPI_VALUE_BUFFER];
  char text[64] = "";
  size_t n;
  AddKeywordToList(list, "name", "x\ty");
  CHECK(KeywordListToStream(f, list) == SSPI_OK);
  rewind(f);
  n = fread(text, 1, sizeof text - 1, f);
  text[n] = '\0';
  CHECK(strcmp(text, "name=\"x y\"\n") == 0);
  rewind(f);
  CHECK(GetKeyword(f, kbuf, vbuf) == SSPI_OK && strcmp(vbuf, "x y") == 0);
  CHECK(GetKeyword(f, kbuf, vbuf) == SSPI_E_END);
  rewind(f);
  back = KeywordStreamToList(f);
  CHECK(back != NULL && sspi_errno == SSPI_E_END && NumberOfKeywords(back) == 1);
  DestroyKeywordList(back);
  DestroyKeywordList(list);
  fclose(f);
}

/* Trace lines and the dump go to standard error. */
static void test_trace(void) {
  FILE* capture = tmpfile();
  int saved = dup(2);
  KeywordList* list = CreateKeywordList();
  char text[256] = "";
  size_t n;
  CHECK(sspi_output_stream == stdout && sspi_argv == NULL);
  CHECK(sspi_verbose_level == 0 && sspi_explicit_level == 0);
  fflush(stderr);
  dup2(fileno(capture), 2);
  SSPItrace(SSPI_LOG_SSPI, "c_test", "hidden");
  sspi_verbose_level = SSPI_LOG_ERR;
  SSPItrace(SSPI_LOG_ERR, "c_test", "shown %d", 3);
  CHECK(DisplayKeywordList(NULL) == SSPI_E_BAD_LIST);
  CHECK(DumpKeywordList(list) == SSPI_OK);
  fflush(stderr);
  dup2(saved, 2);
  close(saved);
  rewind(capture);
  n = fread(text, 1, sizeof text - 1, capture);
  text[n] = '\0';
  CHECK(strcmp(text, "c_test: shown 3\n") == 0);
  sspi_verbose_level = 0;
  DestroyKeywordList(list);
  fclose(capture);
}

int main(void) {
  test_lists();
  test_stream();
  test_trace();
  if (failures) {
    printf("%d check(s) failed\n", failures);
    return 1;
  }
  printf("all checks passed\n");
  return 0;
}
