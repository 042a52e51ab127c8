// Creating lists and checking that a pointer is one.

#include "sspi.h"
#include "sspi/list_record.h"

extern "C" {

KeywordList* CreateKeywordList(void) {
  sspi_errno = 0;
  sspi::ListRecord* rec = sspi::NewRecord();
  KeywordList* list = rec != nullptr ? &rec->header : nullptr;
  if (list == nullptr) sspi_errno = SSPI_E_FAILURE;
  SSPItrace(SSPI_LOG_SSPI, "createkl", "return( %lu ), errno='%d'",
            sspi::Addr(list), sspi_errno);
  return list;
}

int ValidKeywordList(KeywordList* list) {
  return sspi::SetResult(sspi::IsLiveList(list) ? SSPI_OK : SSPI_E_BAD_LIST);
}

int NumberOfKeywords(KeywordList* list) {
  if (ValidKeywordList(list) != SSPI_OK) return -1;
  return list->number_of_keywords;
}

}  // extern "C"
