// Uses libsspi from C through its public header only: the header compiles
// as C11, and a few calls, the records' fields and the exported variables
// link against the shared library.  Behaviour is tested in the unit tests.

#include <stdio.h>
#include <string.h>

#include "sspi.h"

int main(void) {
  KeywordList* list = CreateKeywordList();
  char value[SSPI_VALUE_BUFFER];
  int ok = AddKeywordToList(list, "a", "1") == SSPI_OK &&
           GetKeywordFmList(list, "a", value) == SSPI_OK &&
           strcmp(value, "1") == 0 && list->number_of_keywords == 1;
  ok = ok && sspi_output_stream == stdout && sspi_argv == NULL;
  ok = ok && KeywordListToStream(sspi_output_stream, list) == SSPI_OK;
  SSPItrace(SSPI_LOG_SSPI, "c_test", "not shown at level %d",
            sspi_verbose_level + sspi_explicit_level + (sspi_argv != NULL));
  ok = ok && DumpKeywordList(list) == SSPI_OK &&
       DestroyKeywordList(list) == SSPI_OK && sspi_errno == SSPI_OK;
  return ok ? 0 : 1;
}
