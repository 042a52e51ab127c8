// Keyword/value pairs as the object store keeps them, and their passage to
// and from the keyword-list library: KeywordLists and keyword streams.

#ifndef RUDED_PLATFORM_OT_PAIRS_H_
#define RUDED_PLATFORM_OT_PAIRS_H_

#include <stdio.h>

#include <string>
#include <string_view>
#include <vector>

#include "sspi.h"

namespace ot {

struct Pair {
  std::string keyword;
  std::string value;
  bool operator==(const Pair&) const = default;
};
using Pairs = std::vector<Pair>;

// Limits of a pair that reads back from a keyword stream unchanged: the
// stream reader stops a keyword at 31 bytes and a value at 511.
inline constexpr size_t kMaxKeyword = 31;
inline constexpr size_t kMaxValue = 511;

// Copies the pairs of list, first to last, without moving the list's
// cursor.  A list that is not valid gives false.
bool PairsFromList(KeywordList* list, Pairs* pairs);

// A new KeywordList holding pairs; nullptr without storage.  The caller
// destroys it.
KeywordList* ListFromPairs(const Pairs& pairs);

// Reads a whole keyword stream.  On failure *err says why, naming what
// (a path or "standard input").
bool ReadPairs(FILE* stream, const std::string& what, Pairs* pairs,
               std::string* err);

// Writes pairs in the stream form keyword="value", one line each.  Returns
// false when the list cannot be made or the stream reports an error.
bool WritePairs(FILE* stream, const Pairs& pairs);

// Checks that a pair can be stored and read back as it was: a keyword of
// 1 to 31 bytes from 33 to 126 without "=", a double quote or a leading
// "#"; a value of at most 511 bytes without a double quote.
bool ValidPair(const Pair& pair, std::string* err);

// The first pair with this keyword, or nullptr.
const Pair* FindPair(const Pairs& pairs, std::string_view keyword);

}  // namespace ot

#endif  // RUDED_PLATFORM_OT_PAIRS_H_
