// Reads arbitrary bytes pair by pair with GetKeyword(), into buffers of
// exactly the documented sizes, and whole with KeywordStreamToList(), which
// must fail with the code the pair reader stopped on, or else hold every
// pair it read.  When the keywords are plain (not empty, no blank, newline,
// "=" or leading "#") the list must read back from what
// KeywordListToStream() writes, with the values as the writer cleaned them.

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
  int rc;
  // The codes that keep a pair.
  while ((rc = GetKeyword(in, keyword.data(), value.data())) == SSPI_OK ||
         rc == SSPI_E_NO_VALUE || rc == SSPI_E_EMPTY_VALUE) {
    pairs.emplace_back(keyword.data(), value.data());
    plain = plain && keyword[0] != '\0' && keyword[0] != '#' &&
            strpbrk(keyword.data(), " \n=") == nullptr;
  }
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
    // The writer turns bytes above 126 into blanks; a value read holds no
    // byte below 32 but the blank and the newline.
    for (auto& pair : pairs) {
      for (char& c : pair.second) c = static_cast<unsigned char>(c) > 126 ? ' ' : c;
    }
    Require(back != nullptr && PairsOf(back) == pairs);
    DestroyKeywordList(back);
    fclose(in);
    free(text);
  }
  DestroyKeywordList(list);
  return 0;
}
