// Writing a list as text: one line keyword="value" per pair.

#include <stdio.h>

#include "sspi.h"
#include "sspi/list_record.h"

namespace {

// Replaces in place every byte that would not survive in a text line:
// control bytes below the newline (tab included), DEL and bytes from 128
// up become spaces.  Newline, carriage return and the rest stay.
void CleanValue(char* value) {
  for (unsigned char* p = reinterpret_cast<unsigned char*>(value); *p; ++p) {
    if (*p < 10 || *p > 126) *p = ' ';
  }
}

}  // namespace

extern "C" {

int KeywordListToStream(FILE* stream, KeywordList* list) {
  sspi_errno = 0;
  if (ValidKeywordList(list) != SSPI_OK) return SSPI_E_BAD_LIST;
  if (stream == nullptr) return sspi::SetResult(SSPI_E_BAD_ARGUMENT);
  list->next_kwd_val = list->kwd_val_chain;
  char* keyword;
  char* value;
  // Write errors are the caller's to find with ferror(stream).
  while (ReferenceNextKeywordInList(list, &keyword, &value) == SSPI_OK) {
    CleanValue(value);
    fprintf(stream, "%s=\"%s\"\n", keyword, value);
  }
  return sspi::SetResult(SSPI_OK);
}

}  // extern "C"
