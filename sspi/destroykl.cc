// Destroying a list: every item, then the header, whose stamp is spoiled
// first so that a stale pointer to it no longer passes as a list.  The
// header of a copy the caller made is spoiled but not freed.

#include <stdlib.h>

#include "sspi.h"
#include "sspi/list_record.h"

namespace {

constexpr const char* kLabel = "destroykl";

void FreeItems(KeywordList* list) {
  while (KeywordValueBlock* item = list->kwd_val_chain) {
    list->kwd_val_chain = item->next_block;
    if (item->next_block) item->next_block->prev_block = nullptr;
    SSPItrace(SSPI_LOG_SSPI, kLabel, "free(%lu) (storage area)",
              sspi::Addr(item->storage_area));
    free(item->storage_area);
    SSPItrace(SSPI_LOG_SSPI, kLabel, "free(%lu) (keyword block)",
              sspi::Addr(item));
    free(item);
  }
}

}  // namespace

extern "C" {

int DestroyKeywordList(KeywordList* list) {
  sspi_errno = 0;
  if (!sspi::IsLiveList(list)) {
    SSPItrace(SSPI_LOG_ERR, kLabel, "KeywordList corrupt, stamp invalid");
    return sspi::SetResult(SSPI_E_FAILURE);
  }
  SSPItrace(SSPI_LOG_SSPI, kLabel, "KeywordList not null");
  FreeItems(list);
  SSPItrace(SSPI_LOG_SSPI, kLabel, "free(%lu) (keywordlist)",
            sspi::Addr(list));
  // Through a volatile pointer: the compiler would drop plain stores into
  // a block that is freed right after.
  volatile char* stamp = list->stamp;
  for (int i = 0; i < 4; ++i) stamp[i] = 'X';
  // A copy of a header is the caller's memory: only its items go.
  if (sspi::ListRecord* rec = sspi::OwnRecord(list)) sspi::FreeRecord(rec);
  return sspi::SetResult(SSPI_OK);
}

}  // extern "C"
