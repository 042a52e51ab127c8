#include "platform/ot/pairs.h"

#include <memory>

namespace ot {
namespace {

struct ListDestroyer {
  void operator()(KeywordList* list) const { DestroyKeywordList(list); }
};
using ListPtr = std::unique_ptr<KeywordList, ListDestroyer>;

}  // namespace

bool PairsFromList(KeywordList* list, Pairs* pairs) {
  if (ValidKeywordList(list) != SSPI_OK) return false;
  // Walk the chain directly: the caller's cursor stays where it was.
  for (KeywordValueBlock* b = list->kwd_val_chain; b != nullptr;
       b = b->next_block)
    pairs->push_back({b->keyword_address, b->value_address});
  return true;
}

KeywordList* ListFromPairs(const Pairs& pairs) {
  ListPtr list(CreateKeywordList());
  if (!list) return nullptr;
  for (const Pair& p : pairs) {
    if (AddKeywordToList(list.get(), p.keyword.c_str(), p.value.c_str()) !=
        SSPI_OK)
      return nullptr;
  }
  return list.release();
}

bool ReadPairs(FILE* stream, const std::string& what, Pairs* pairs,
               std::string* err) {
  ListPtr list(KeywordStreamToList(stream));
  if (!list) {
    *err = what + ": not a keyword stream (sspi_errno " +
           std::to_string(sspi_errno) + ")";
    return false;
  }
  if (ferror(stream)) {
    *err = what + ": read error";
    return false;
  }
  return PairsFromList(list.get(), pairs);
}

bool WritePairs(FILE* stream, const Pairs& pairs) {
  ListPtr list(ListFromPairs(pairs));
  if (!list) return false;
  KeywordListToStream(stream, list.get());
  return !ferror(stream);
}

bool ValidPair(const Pair& pair, std::string* err) {
  const std::string& k = pair.keyword;
  if (k.empty() || k.size() > kMaxKeyword) {
    *err = "keyword \"" + k + "\" must hold 1 to 31 bytes";
    return false;
  }
  for (unsigned char c : k) {
    if (c <= 32 || c >= 127 || c == '=' || c == '"') {
      *err = "keyword \"" + k + "\" holds a blank, control byte, = or quote";
      return false;
    }
  }
  if (k[0] == '#') {
    *err = "keyword \"" + k + "\" begins with #";
    return false;
  }
  if (pair.value.size() > kMaxValue) {
    *err = "value of " + k + " is longer than 511 bytes";
    return false;
  }
  if (pair.value.find('"') != std::string::npos) {
    *err = "value of " + k + " holds a double quote";
    return false;
  }
  return true;
}

const Pair* FindPair(const Pairs& pairs, std::string_view keyword) {
  for (const Pair& p : pairs)
    if (p.keyword == keyword) return &p;
  return nullptr;
}

}  // namespace ot
