// Creating lists and checking that a pointer is one.

#include "sspi.h"
#include "sspi/alloc.h"
#include "sspi/list_record.h"

extern "C" {

KeywordList* CreateKeywordList(void) {
  sspi_errno = 0;
  auto* rec = static_cast<sspi::ListRecord*>(
      sspi::Allocate(sizeof(sspi::ListRecord)));
  KeywordList* list = nullptr;
  if (rec == nullptr) {
    sspi_errno = SSPI_E_FAILURE;
  } else {
    list = &rec->header;
    list->number_of_keywords = 0;
    list->next_kwd_val = nullptr;
    list->kwd_val_chain = nullptr;
    list->stamp[0] = 'S';
    list->stamp[1] = 'S';
    list->stamp[2] = 'P';
    list->stamp[3] = 'I';
    rec->tail = nullptr;
    sspi::RecordCreatedAddress(list);
  }
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
