// Building the AliasList chains that the browse functions return.

#ifndef RUDED_PLATFORM_OT_ALIAS_CHAIN_H_
#define RUDED_PLATFORM_OT_ALIAS_CHAIN_H_

#include <string>
#include <vector>

#include "ot_records.h"

namespace ot {

// A malloc()ed chain of copies of aliases, in order; nullptr for none or
// without storage (nothing is left allocated then).  Release with
// OTFreeAliasList().
AliasList* MakeAliasChain(const std::vector<std::string>& aliases);

}  // namespace ot

#endif  // RUDED_PLATFORM_OT_ALIAS_CHAIN_H_
