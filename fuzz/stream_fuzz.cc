// Reads arbitrary bytes twice: pair by pair with GetKeyword(), into buffers
// of exactly the documented sizes, checking what every result promises;
// then whole with KeywordStreamToList().  A list that comes back must
// respect the reader's limits, and when its pairs are plain (keywords
// without blanks, "=", quotes or a leading "#"; values without quotes) it
// must read back from what KeywordListToStream() writes, with the values
// as the writer cleaned them and the reader turned blanks into spaces.

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

// Reads pair after pair; every result is a known one and leaves what it
// promises in the buffers, and every pair consumes at least one byte.
void ReadPairs(FILE* in) {
  std::vector<char> keyword(SSPI_KEYWORD_BUFFER), value(SSPI_VALUE_BUFFER);
  for (long before = 0, after;; before = after) {
    int rc = GetKeyword(in, keyword.data(), value.data());
    size_t k = strlen(keyword.data()), v = strlen(value.data());
    after = ftell(in);
    Require(rc == sspi_errno && k < SSPI_KEYWORD_BUFFER && v < SSPI_VALUE_BUFFER);
    if (rc == SSPI_E_END) return Require(k == 0 && v == 0);
    Require(after > before);
    if (rc == SSPI_E_KEYWORD_TOO_LONG) return Require(k == SSPI_KEYWORD_BUFFER - 1);
    if (rc == SSPI_E_VALUE_TOO_LONG || rc == SSPI_E_OPEN_QUOTE ||
        rc == SSPI_E_BAD_ARGUMENT) {
      return;
    }
    Require(rc == SSPI_OK || rc == SSPI_E_NO_VALUE || rc == SSPI_E_EMPTY_VALUE);
    Require(k < SSPI_KEYWORD_BUFFER - 1 && v < SSPI_VALUE_BUFFER - 1);
    Require(rc == SSPI_OK || v == 0);
  }
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
    if (k.empty() || k[0] == '#' || v.find('"') != std::string::npos) return false;
    for (unsigned char c : k) {
      if (c <= ' ' || c == '=' || c == '"') return false;
    }
  }
  return true;
}

void RoundTrip(KeywordList* list) {
  Pairs before = PairsOf(list);
  if (!Plain(before)) return;
  char* text = nullptr;
  size_t length = 0;
  FILE* out = open_memstream(&text, &length);
  Require(KeywordListToStream(out, list) == SSPI_OK);
  fclose(out);
  FILE* in = fmemopen(text, length == 0 ? 1 : length, "r");
  KeywordList* back = length == 0 ? CreateKeywordList() : KeywordStreamToList(in);
  Require(back != nullptr);
  Pairs after = PairsOf(back);
  Require(after.size() == before.size());
  for (size_t i = 0; i < before.size(); ++i) {
    // What a value reads back as after the writer's cleaning.
    for (char& ch : before[i].second) {
      unsigned char c = static_cast<unsigned char>(ch);
      if (c != '\n' && (c <= ' ' || c > 126)) ch = ' ';
    }
    Require(after[i] == before[i]);
  }
  DestroyKeywordList(back);
  fclose(in);
  free(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (in == nullptr) return 0;
  ReadPairs(in);
  rewind(in);
  KeywordList* list = KeywordStreamToList(in);
  fclose(in);
  if (list == nullptr) {
    Require(sspi_errno == SSPI_E_VALUE_TOO_LONG ||
            sspi_errno == SSPI_E_KEYWORD_TOO_LONG ||
            sspi_errno == SSPI_E_OPEN_QUOTE || sspi_errno == SSPI_E_BAD_ARGUMENT);
    return 0;
  }
  Require(sspi_errno == SSPI_E_END);
  for (const auto& [k, v] : PairsOf(list)) {
    Require(k.size() < SSPI_KEYWORD_BUFFER - 1 && v.size() < SSPI_VALUE_BUFFER - 1);
  }
  RoundTrip(list);
  DestroyKeywordList(list);
  return 0;
}
