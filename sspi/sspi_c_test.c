// Uses libsspi from C through its public header only: the header compiles
// as C11, and a few calls, the records' fields and the exported variables
// link against the shared library.  Behaviour is tested in the unit tests.

#include <stdio.h>

#include "sspi.h"

int main(void) {
  KeywordList* list = CreateKeywordList();
  int ok = AddKeywordToList(list, "a", "1") == SSPI_OK &&
           list->number_of_keywords == 1 && sspi_argv == NULL &&
           sspi_output_stream == stdout;
  SSPItrace(SSPI_LOG_SSPI, "c_test", "not shown at level %d",
            sspi_verbose_level + sspi_explicit_level);
  ok = ok && DestroyKeywordList(list) == SSPI_OK && sspi_errno == SSPI_OK;
  return ok ? 0 : 1;
}
