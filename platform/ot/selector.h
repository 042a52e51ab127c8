// Which objects a browse picks.
//
// A selector (OTLnextalias, OTnextalias -C) is one of
//   "all", "" or none   every object;
//   keyword=value       objects whose attribute keyword has exactly value;
//   keyword             objects that have the attribute keyword.
// A search list (OTLgetaliases, OTgetaliases) picks the objects that match
// every one of its pairs, each as keyword=value above; an empty or absent
// list picks every object.  The keyword "alias" matches the object's own
// alias, so alias=disk1 picks that object.  Methods are never matched.

#ifndef RUDED_PLATFORM_OT_SELECTOR_H_
#define RUDED_PLATFORM_OT_SELECTOR_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ot/pairs.h"

namespace ot {

struct Criterion {
  std::string keyword;
  std::optional<std::string> value;  // none: the attribute need only exist
};

// The criteria of a selector text (see above); nullptr is "all".
std::vector<Criterion> ParseSelector(const char* selector);

// The criteria of a search list's pairs.
std::vector<Criterion> CriteriaFromPairs(const Pairs& search);

// True when the object alias with these pairs meets every criterion.
bool Matches(const std::vector<Criterion>& criteria, std::string_view alias,
             const Pairs& pairs);

}  // namespace ot

#endif  // RUDED_PLATFORM_OT_SELECTOR_H_
