// Reads arbitrary bytes pair by pair with GetKeyword(), into buffers of
// exactly the documented sizes, checking what every result promises; then
// whole with KeywordStreamToList(), which must fail with the code the pair
// reader stopped on, or else hold every pair it read.  When those pairs are
// plain (keywords without blanks, "=", quotes or a leading "#"; values
// without quotes) the list must read back from what KeywordListToStream()
// writes, with the values as the writer cleaned them.

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

bool Plain(const Pairs& pairs) {
  for (const auto& [k, v] : pairs) {
    bool plain = !k.empty() && k[0] != '#' && v.find('"') == std::string::npos;
    for (unsigned char c : k) plain = plain && c > ' ' && c != '=' && c != '"';
    if (!plain) return false;
  }
  return !pairs.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* in = size ? fmemopen(const_cast<uint8_t*>(data), size, "r") : nullptr;
  if (in == nullptr) return 0;
  std::vector<char> keyword(SSPI_KEYWORD_BUFFER), value(SSPI_VALUE_BUFFER);
  const size_t kKeywordMax = SSPI_KEYWORD_BUFFER - 1,
               kValueMax = SSPI_VALUE_BUFFER - 1;
  Pairs pairs;
  int rc = SSPI_OK;
  // Every pair consumes a byte; only a kept pair has a value, and it and
  // its keyword stay below their limits.
  for (long before = 0; Kept(rc); before = ftell(in)) {
    rc = GetKeyword(in, keyword.data(), value.data());
    size_t k = strlen(keyword.data()), v = strlen(value.data());
    Require(rc == sspi_errno &&
            (rc == SSPI_E_END ? k + v == 0 : ftell(in) > before));
    Require(rc != SSPI_E_KEYWORD_TOO_LONG || k == kKeywordMax);
    Require(Kept(rc)
                ? k < kKeywordMax && v < kValueMax && (rc == SSPI_OK || v == 0)
                : k <= kKeywordMax && v <= kValueMax);
    if (Kept(rc)) pairs.emplace_back(keyword.data(), value.data());
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
  if (Plain(pairs)) {
    char* text = nullptr;
    size_t length = 0;
    FILE* out = open_memstream(&text, &length);
    Require(KeywordListToStream(out, list) == SSPI_OK);
    fclose(out);
    in = fmemopen(text, length, "r");
    KeywordList* back = KeywordStreamToList(in);
    // What a value reads back as after the writer's cleaning.
    for (auto& pair : pairs) {
      for (char& ch : pair.second) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c != '\n' && (c <= ' ' || c > 126)) ch = ' ';
      }
    }
    Require(back != nullptr && PairsOf(back) == pairs);
    DestroyKeywordList(back);
    fclose(in);
    free(text);
  }
  DestroyKeywordList(list);
  return 0;
}
