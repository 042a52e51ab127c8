// Removing one item from a list, shared by RemoveKeywordFmList() and the
// operations built on it.

#ifndef SSPI_REMOVEKL_H_
#define SSPI_REMOVEKL_H_

#include "sspi.h"
#include "sspi/list_record.h"

namespace sspi {

// Unlinks item from list's chain (moving the cursor past it) and frees it
// and its storage area.  REQUIRES: item is in list's chain.
void RemoveItem(KeywordList* list, KeywordValueBlock* item);

}  // namespace sspi

#endif  // SSPI_REMOVEKL_H_
