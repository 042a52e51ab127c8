// Browsing the store: the next alias under a selector, and the aliases that
// match a search list.

#include <string.h>

#include <algorithm>

#include "platform/ot/alias_chain.h"
#include "platform/ot/api_util.h"
#include "platform/ot/selector.h"
#include "platform/ot/store.h"

namespace ot {
namespace {

// OTLnextalias's answer lives here until the next call.
char g_next_alias[kMaxAlias + 1];

// True when alias meets the criteria.  An object that vanished since the
// listing does not; one that cannot be read does not either, and is
// reported.
bool Picks(const char* source, const std::vector<Criterion>& criteria,
           const std::string& alias) {
  if (criteria.empty()) return true;
  Pairs pairs;
  std::string err;
  Status s = LoadObject(alias, &pairs, &err);
  if (s == Status::kFailed) RecordFailure(source, s, err);
  return s == Status::kOk && Matches(criteria, alias, pairs);
}

bool ListAll(const char* source, std::vector<std::string>* aliases) {
  std::string err;
  Status s = ListAliases(aliases, &err);
  if (s != Status::kOk) RecordFailure(source, s, err);
  return s == Status::kOk;
}

char* NextAlias(const char* selector, const char* previous) {
  const char* source = "OTLnextalias";
  TraceCall(source, std::string("selector ") +
                        (selector ? selector : "(null)") + " previous " +
                        (previous ? previous : "(null)"));
  std::vector<Criterion> criteria = ParseSelector(selector);
  std::vector<std::string> aliases;
  if (!ListAll(source, &aliases)) return nullptr;
  // Start behind previous by order, not by position, so that the walk goes
  // on when previous itself has been removed meanwhile.
  auto it = aliases.begin();
  if (previous != nullptr && *previous != '\0')
    it =
        std::upper_bound(aliases.begin(), aliases.end(), std::string(previous));
  for (; it != aliases.end(); ++it) {
    if (!Picks(source, criteria, *it)) continue;
    memcpy(g_next_alias, it->c_str(), it->size() + 1);
    return g_next_alias;
  }
  RecordFailure(source, Status::kAbsent,
                previous ? std::string("no alias after ") + previous
                         : std::string("no alias"));
  return nullptr;
}

AliasList* MatchingAliases(const char* source, KeywordList* search) {
  TraceCall(source, search ? "search list" : "all objects");
  Pairs search_pairs;
  if (search != nullptr && !PairsFromList(search, &search_pairs)) {
    RecordFailure(source, Status::kInvalid, "search list is not valid");
    return nullptr;
  }
  std::vector<Criterion> criteria = CriteriaFromPairs(search_pairs);
  std::vector<std::string> aliases, chosen;
  if (!ListAll(source, &aliases)) return nullptr;
  for (const std::string& alias : aliases)
    if (Picks(source, criteria, alias)) chosen.push_back(alias);
  if (chosen.empty()) {
    RecordFailure(source, Status::kAbsent, "no object matches");
    return nullptr;
  }
  AliasList* list = MakeAliasChain(chosen);
  if (list == nullptr) RecordFailure(source, Status::kFailed, "No more memory");
  return list;
}

}  // namespace
}  // namespace ot

extern "C" {

char* OTLnextalias(const char* selector, const char* previous) {
  return ot::Guarded<char*>("OTLnextalias", nullptr,
                            [&] { return ot::NextAlias(selector, previous); });
}

AliasList* OTLgetaliases(KeywordList* search) {
  return ot::Guarded<AliasList*>("OTLgetaliases", nullptr, [&] {
    return ot::MatchingAliases("OTLgetaliases", search);
  });
}

AliasList* OTgetaliases(KeywordList* search) {
  return ot::Guarded<AliasList*>("OTgetaliases", nullptr, [&] {
    return ot::MatchingAliases("OTgetaliases", search);
  });
}

}  // extern "C"
