// Adding pairs, extending a keyword's set of values, and replacing a pair.
//
// A new item is allocated and filled before anything in the list changes,
// so that a storage failure leaves the list exactly as it was.  Its trace
// lines are written afterwards, in the order the steps are described.

#include <errno.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "sspi.h"
#include "sspi/alloc.h"
#include "sspi/list_record.h"
#include "sspi/removekl.h"

namespace {

constexpr const char* kLabel = "addkl";

enum class AllocStep { kOk, kNoItem, kNoStorage };

// An item allocated and filled, or how far the allocation got.
struct NewItem {
  AllocStep step = AllocStep::kOk;
  KeywordValueBlock* item = nullptr;
  unsigned long item_address = 0;  // kept for the trace after a free
  size_t request = 0;              // bytes asked for the storage area
  int unix_errno = 0;
};

NewItem AllocateItem(const char* keyword, const char* value) {
  NewItem n;
  size_t klen = strlen(keyword);
  size_t vlen = strlen(value);
  n.request = klen + vlen + 2;
  n.item = static_cast<KeywordValueBlock*>(
      sspi::Allocate(sizeof(KeywordValueBlock)));
  if (n.item == nullptr) {
    n.unix_errno = errno;
    n.step = AllocStep::kNoItem;
    return n;
  }
  n.item_address = sspi::Addr(n.item);
  char* area = static_cast<char*>(sspi::Allocate(n.request));
  if (area == nullptr) {
    n.unix_errno = errno;
    free(n.item);
    n.item = nullptr;
    n.step = AllocStep::kNoStorage;
    return n;
  }
  memcpy(area, keyword, klen + 1);
  memcpy(area + klen + 1, value, vlen + 1);
  *n.item = {nullptr, nullptr, area, area, area + klen + 1};
  return n;
}

void TraceAllocation(const NewItem& n, const char* keyword,
                     const char* value) {
  if (n.step == AllocStep::kNoItem) {
    SSPItrace(SSPI_LOG_ERR, kLabel, "Cannot get storage for keyword/value block");
    SSPItrace(SSPI_LOG_ERR, kLabel, "unix_errno=%d", n.unix_errno);
    return;
  }
  SSPItrace(SSPI_LOG_SSPI, kLabel,
            "New keyword/value pointer block address = %lu", n.item_address);
  SSPItrace(SSPI_LOG_SSPI, kLabel, "Stored NULL in next_block field");
  SSPItrace(SSPI_LOG_SSPI, kLabel, "Request %zu bytes for storage block",
            n.request);
  if (n.step == AllocStep::kNoStorage) {
    SSPItrace(SSPI_LOG_ERR, kLabel, "Cannot get storage for keyword/value strings");
    SSPItrace(SSPI_LOG_ERR, kLabel, "unix_errno=%d\n", n.unix_errno);
    SSPItrace(SSPI_LOG_ERR, kLabel, "free(%lu) (new_kwd_val)", n.item_address);
    return;
  }
  SSPItrace(SSPI_LOG_SSPI, kLabel, "New storage block address = %lu",
            sspi::Addr(n.item->storage_area));
  SSPItrace(SSPI_LOG_SSPI, kLabel, "Copy keyword \"%s\" into storage_area",
            keyword);
  SSPItrace(SSPI_LOG_SSPI, kLabel, "Copy value \"%s\" into storage_area",
            value);
}

// Whether value is a whole element of the comma-separated set.
bool InValueSet(const char* set, const char* value) {
  size_t n = strlen(value);
  for (const char* p = set; p != nullptr; p = strchr(p, ',')) {
    if (*p == ',') ++p;
    if (strncmp(p, value, n) == 0 && (p[n] == ',' || p[n] == '\0')) {
      return true;
    }
  }
  return false;
}

// Appends ",value" (or just value to an empty one) to item's value.
int ExtendValue(KeywordValueBlock* item, const char* value) {
  char* area = item->storage_area;
  size_t klen = strlen(item->keyword_address);
  size_t olen = strlen(item->value_address);
  size_t vlen = strlen(value);
  size_t request = klen + olen + vlen + 4;
  // The caller may pass text from this very item; find it again after the
  // area moves.
  uintptr_t start = reinterpret_cast<uintptr_t>(area);
  uintptr_t offset = reinterpret_cast<uintptr_t>(value) - start;
  bool inside = offset <= klen + 1 + olen;
  SSPItrace(SSPI_LOG_SSPI, kLabel, "Request %zu bytes for storage block",
            request);
  SSPItrace(SSPI_LOG_SSPI, kLabel, "Current storage block address = %lu",
            sspi::Addr(area));
  char* grown = static_cast<char*>(sspi::Reallocate(area, request));
  if (grown == nullptr) {
    int unix_errno = errno;
    SSPItrace(SSPI_LOG_ERR, kLabel, "Cannot get storage for value");
    SSPItrace(SSPI_LOG_ERR, kLabel, "unix_errno=%d\n", unix_errno);
    return SSPI_E_FAILURE;
  }
  if (grown != area) {
    SSPItrace(SSPI_LOG_SSPI, kLabel, "New storage block address = %lu",
              sspi::Addr(grown));
    item->storage_area = item->keyword_address = grown;
    item->value_address = grown + klen + 1;
  }
  if (inside) value = grown + offset;
  SSPItrace(SSPI_LOG_SSPI, kLabel, "Add value \"%s\" to storage_area", value);
  char* end = item->value_address + olen;
  if (olen > 0) *end++ = ',';
  memmove(end, value, vlen);
  end[vlen] = '\0';
  SSPItrace(SSPI_LOG_SSPI, kLabel, "New value string is \"%s\"",
            item->value_address);
  return SSPI_OK;
}

}  // namespace

extern "C" {

int AddKeywordToList(KeywordList* list, const char* keyword,
                     const char* value) {
  sspi_errno = 0;
  if (ValidKeywordList(list) != SSPI_OK) return SSPI_E_BAD_LIST;
  if (keyword == nullptr || value == nullptr) {
    return sspi::SetResult(SSPI_E_BAD_ARGUMENT);
  }
  NewItem n = AllocateItem(keyword, value);
  TraceAllocation(n, keyword, value);
  if (n.step != AllocStep::kOk) return sspi::SetResult(SSPI_E_FAILURE);
  sspi::LinkAtEnd(list, n.item);
  return sspi::SetResult(SSPI_OK);
}

int AddValueToList(KeywordList* list, const char* keyword, const char* value) {
  sspi_errno = 0;
  if (keyword == nullptr || value == nullptr) {
    return sspi::SetResult(SSPI_E_BAD_ARGUMENT);
  }
  if (ValidKeywordList(list) != SSPI_OK) return SSPI_E_BAD_LIST;
  KeywordValueBlock* item = sspi::FindItem(list, keyword);
  if (item == nullptr) return AddKeywordToList(list, keyword, value);
  SSPItrace(SSPI_LOG_SSPI, kLabel, "Keyword/value pointer block address = %lu",
            sspi::Addr(item));
  if (InValueSet(item->value_address, value)) {
    SSPItrace(SSPI_LOG_DEBUG, kLabel, "Value is already in value list");
    return sspi::SetResult(SSPI_OK);
  }
  return sspi::SetResult(ExtendValue(item, value));
}

int UpdateKeywordInList(KeywordList* list, const char* keyword,
                        const char* value) {
  sspi_errno = 0;
  int valid = ValidKeywordList(list);
  // A missing argument is reported without touching sspi_errno, which
  // keeps what the validity check left there; callers rely on this.
  if (keyword == nullptr || value == nullptr) return SSPI_E_BAD_ARGUMENT;
  if (valid != SSPI_OK) return SSPI_E_BAD_LIST;
  // Allocating first keeps the old pair when there is no storage; it also
  // copies keyword and value before the old item, which they may point
  // into, is freed.
  NewItem n = AllocateItem(keyword, value);
  if (n.step != AllocStep::kOk) {
    TraceAllocation(n, keyword, value);
    return sspi::SetResult(SSPI_E_FAILURE);
  }
  if (KeywordValueBlock* old = sspi::FindItem(list, keyword)) {
    SSPItrace(SSPI_LOG_SSPI, kLabel, "Keyword/value in list, remove it");
    sspi::RemoveItem(list, old);
  }
  TraceAllocation(n, n.item->keyword_address, n.item->value_address);
  sspi::LinkAtEnd(list, n.item);
  return sspi::SetResult(SSPI_OK);
}

}  // extern "C"
