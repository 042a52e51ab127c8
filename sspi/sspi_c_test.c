/* Uses libsspi from C through its public header only: the header compiles
 * as C11, and a few calls, the records' fields and the exported variables
 * link against the shared library.  Behaviour is tested in the unit tests. */

#include <stdio.h>
#include <string.h>

#include "sspi.h"

static int failures = 0;

#define CHECK(cond)                                             \
  do {                                                          \
    if (!(cond)) {                                              \
      printf("%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      failures++;                                               \
    }                                                           \
  } while (0)

int main(void) {
  KeywordList* list = CreateKeywordList();
  FILE* f = tmpfile();
  char value[SSPI_VALUE_BUFFER];
  CHECK(AddKeywordToList(list, "a", "1") == SSPI_OK);
  CHECK(GetKeywordFmList(list, "b", value) == SSPI_E_NOT_FOUND);
  CHECK(sspi_errno == SSPI_E_NOT_FOUND && list->number_of_keywords == 1);
  CHECK(KeywordListToStream(f, list) == SSPI_OK && DestroyKeywordList(list) == SSPI_OK);
  rewind(f);
  list = KeywordStreamToList(f);
  CHECK(list != NULL && strcmp(list->kwd_val_chain->value_address, "1") == 0);
  CHECK(sspi_output_stream == stdout && sspi_argv == NULL && sspi_verbose_level == 0);
  SSPItrace(SSPI_LOG_SSPI, "c_test", "not shown at level %d", sspi_explicit_level);
  CHECK(DumpKeywordList(list) == SSPI_OK && DestroyKeywordList(list) == SSPI_OK);
  fclose(f);
  return failures ? 1 : 0;
}
