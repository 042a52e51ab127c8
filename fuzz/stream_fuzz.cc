// Reads arbitrary bytes pair by pair with GetKeyword(), into buffers of
// exactly the documented sizes, and whole with KeywordStreamToList(), which
// must fail with the code the pair reader stopped on, or else hold every
// pair it read, in order.

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <utility>
#include <vector>

#include "sspi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* in = size ? fmemopen(const_cast<uint8_t*>(data), size, "r") : nullptr;
  if (in == nullptr) return 0;
  std::vector<char> keyword(SSPI_KEYWORD_BUFFER), value(SSPI_VALUE_BUFFER);
  std::vector<std::pair<std::string, std::string>> pairs, listed;
  int rc;
  // The codes that keep a pair.
  while ((rc = GetKeyword(in, keyword.data(), value.data())) == SSPI_OK ||
         rc == SSPI_E_NO_VALUE || rc == SSPI_E_EMPTY_VALUE) {
    pairs.emplace_back(keyword.data(), value.data());
  }
  rewind(in);
  KeywordList* list = KeywordStreamToList(in);
  fclose(in);
  if (sspi_errno != rc || (list != nullptr) != (rc == SSPI_E_END)) abort();
  if (list == nullptr) return 0;
  for (auto* b = list->kwd_val_chain; b; b = b->next_block) {
    listed.emplace_back(b->keyword_address, b->value_address);
  }
  if (listed != pairs) abort();
  DestroyKeywordList(list);
  return 0;
}
