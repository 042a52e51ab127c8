// Removing the first item with a keyword.

#include "sspi/removekl.h"

#include <stdlib.h>

namespace sspi {

void RemoveItem(KeywordList* list, KeywordValueBlock* item) {
  Unlink(list, item);
  SSPItrace(SSPI_LOG_SSPI, "removekl", "free(%lu) (kwd/val storage area)",
            Addr(item->storage_area));
  SSPItrace(SSPI_LOG_SSPI, "removekl", "free(%lu) (kwd/val block)",
            Addr(item));
  free(item->storage_area);
  free(item);
}

}  // namespace sspi

extern "C" {

int RemoveKeywordFmList(KeywordList* list, const char* keyword) {
  sspi_errno = 0;
  if (ValidKeywordList(list) != SSPI_OK) return SSPI_E_BAD_LIST;
  if (keyword == nullptr) return sspi::SetResult(SSPI_E_BAD_ARGUMENT);
  KeywordValueBlock* item = sspi::FindItem(list, keyword);
  if (item == nullptr) return sspi::SetResult(SSPI_E_NOT_FOUND);
  sspi::RemoveItem(list, item);
  return sspi::SetResult(SSPI_OK);
}

}  // extern "C"
