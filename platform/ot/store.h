// The object store: one keyword-stream file per managed object under the
// machine root, /var/sadm/ot/objects/<alias>.  The file holds the object's
// attributes and methods in one stream, in the order they were put.
//
// Readers take no lock: a file is always replaced whole (written beside
// the old one, then renamed over it), so a reader sees the old object or
// the new one, never a mixture.  Writers serialise their read-modify-write
// on an exclusive flock of /var/sadm/ot/lock, so two puts never lose each
// other's pairs.

#ifndef RUDED_PLATFORM_OT_STORE_H_
#define RUDED_PLATFORM_OT_STORE_H_

#include <string>
#include <string_view>
#include <vector>

#include "platform/ot/last_error.h"
#include "platform/ot/pairs.h"

namespace ot {

inline constexpr char kStoreDir[] = "/var/sadm/ot/objects";
inline constexpr char kStoreLock[] = "/var/sadm/ot/lock";
// The pair that names an object in OTgetobj's output; it is the file's
// name, never a stored attribute.
inline constexpr char kAliasKeyword[] = "alias";
// Longest alias: a file name.
inline constexpr size_t kMaxAlias = 255;

// An alias is 1 to 255 bytes from 33 to 126 except "/", and does not begin
// with "." (those names are the store's own temporary files).
bool ValidAlias(std::string_view alias, std::string* err);

// The unmapped path of an object's file.
std::string ObjectPath(std::string_view alias);

// Reads an object.  kAbsent when there is none; kInvalid for a bad alias;
// kFailed (message in *err) when the file cannot be read or is not a
// keyword stream.
Status LoadObject(std::string_view alias, Pairs* pairs, std::string* err);

// Replaces the object's file atomically with pairs, creating the store's
// directories when they are missing.  The temporary file is removed on
// failure.
Status StoreObject(std::string_view alias, const Pairs& pairs,
                   std::string* err);

// Merges updates into the object under the writers' lock: a keyword that
// is already there takes the new value in its place, a new one is added at
// the end.  The object is created when it does not exist; no updates
// change nothing.  kInvalid for a pair that ValidPair() refuses or the
// keyword "alias".
Status UpdateObject(std::string_view alias, const Pairs& updates,
                    std::string* err);

// Every alias in the store, in byte order.  An absent store has none.
Status ListAliases(std::vector<std::string>* aliases, std::string* err);

}  // namespace ot

#endif  // RUDED_PLATFORM_OT_STORE_H_
