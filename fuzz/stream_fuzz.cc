// Reads arbitrary bytes pair by pair with GetKeyword(), into buffers of
// exactly the documented sizes, checking what every result promises; then
// whole with KeywordStreamToList(), which must fail with the code the pair
// reader stopped on, or else hold every pair it read.  When the keywords
// are plain (no blank, newline, "=" or leading "#") the list must read back
// from what KeywordListToStream() writes, with the values as the writer
// cleaned them.

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "sspi.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

void Require(bool ok) {
  if (!ok) abort();
}

bool Kept(int rc) {
  return rc == SSPI_OK || rc == SSPI_E_NO_VALUE || rc == SSPI_E_EMPTY_VALUE;
}

Pairs PairsOf(const KeywordList* list) {
  Pairs pairs;
  for (auto* b = list->kwd_val_chain; b; b = b->next_block) {
    pairs.emplace_back(b->keyword_address, b->value_address);
  }
  return pairs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* in = size ? fmemopen(const_cast<uint8_t*>(data), size, "r") : nullptr;
  if (in == nullptr) return 0;
  std::vector<char> keyword(SSPI_KEYWORD_BUFFER), value(SSPI_VALUE_BUFFER);
  Pairs pairs;
  bool plain = true;
  int rc = SSPI_OK;
  // Every pair consumes a byte; only a kept pair has a value, and it and
  // its keyword stay below their limits.
  for (long before = 0; Kept(rc); before = ftell(in)) {
    rc = GetKeyword(in, keyword.data(), value.data());
    size_t k = strlen(keyword.data()), v = strlen(value.data());
    Require(rc == sspi_errno &&
            (rc == SSPI_E_END ? k + v == 0 : ftell(in) > before));
    Require(rc != SSPI_E_KEYWORD_TOO_LONG || k == SSPI_KEYWORD_BUFFER - 1);
    if (!Kept(rc)) continue;
    Require(k < SSPI_KEYWORD_BUFFER - 1 && v < SSPI_VALUE_BUFFER - 1 &&
            (rc == SSPI_OK || v == 0));
    pairs.emplace_back(keyword.data(), value.data());
    plain = plain && k > 0 && keyword[0] != '#' &&
            strpbrk(keyword.data(), " \n=") == nullptr;
  }
  Require(rc == SSPI_E_END || rc == SSPI_E_KEYWORD_TOO_LONG ||
          rc == SSPI_E_VALUE_TOO_LONG || rc == SSPI_E_OPEN_QUOTE ||
          rc == SSPI_E_BAD_ARGUMENT);
  rewind(in);
  KeywordList* list = KeywordStreamToList(in);
  fclose(in);
  Require(sspi_errno == rc && (list != nullptr) == (rc == SSPI_E_END));
  if (list == nullptr) return 0;
  Require(PairsOf(list) == pairs);
  if (plain && !pairs.empty()) {
    char* text = nullptr;
    size_t length = 0;
    FILE* out = open_memstream(&text, &length);
    Require(KeywordListToStream(out, list) == SSPI_OK);
    fclose(out);
    in = fmemopen(text, length, "r");
    KeywordList* back = KeywordStreamToList(in);
    // A value read holds no byte below 32 but the blank and the newline;
    // the writer turns those above 126 into blanks.
    for (auto& pair : pairs) {
      for (char& c : pair.second)
        c = static_cast<unsigned char>(c) > 126 ? ' ' : c;
    }
    Require(back != nullptr && PairsOf(back) == pairs);
    DestroyKeywordList(back);
    fclose(in);
    free(text);
  }
  DestroyKeywordList(list);
  return 0;
}
