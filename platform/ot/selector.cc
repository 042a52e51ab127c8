#include "platform/ot/selector.h"

#include "platform/ot/method.h"
#include "platform/ot/store.h"

namespace ot {
namespace {

bool MeetsOne(const Criterion& c, std::string_view alias, const Pairs& pairs) {
  if (c.keyword == kAliasKeyword) return !c.value || *c.value == alias;
  for (const Pair& p : pairs) {
    if (p.keyword != c.keyword || IsMethodName(p.keyword)) continue;
    if (!c.value || *c.value == p.value) return true;
  }
  return false;
}

}  // namespace

std::vector<Criterion> ParseSelector(const char* selector) {
  if (selector == nullptr) return {};
  std::string_view text(selector);
  if (text.empty() || text == "all") return {};
  size_t eq = text.find('=');
  if (eq == std::string_view::npos) return {{std::string(text), std::nullopt}};
  return {{std::string(text.substr(0, eq)), std::string(text.substr(eq + 1))}};
}

std::vector<Criterion> CriteriaFromPairs(const Pairs& search) {
  std::vector<Criterion> criteria;
  for (const Pair& p : search) criteria.push_back({p.keyword, p.value});
  return criteria;
}

bool Matches(const std::vector<Criterion>& criteria, std::string_view alias,
             const Pairs& pairs) {
  for (const Criterion& c : criteria)
    if (!MeetsOne(c, alias, pairs)) return false;
  return true;
}

}  // namespace ot
