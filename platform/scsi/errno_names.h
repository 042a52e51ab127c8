// The errno names a fabric file may give in open=<name>, and back.

#ifndef RUDED_PLATFORM_SCSI_ERRNO_NAMES_H_
#define RUDED_PLATFORM_SCSI_ERRNO_NAMES_H_

#include <string_view>

namespace scsi {

// The errno value of a name such as "EIO" or "EBUSY"; 0 when unknown.
int ErrnoFromName(std::string_view name);

// The name of an errno value; "" when it is not in the table.
std::string_view ErrnoName(int value);

}  // namespace scsi

#endif  // RUDED_PLATFORM_SCSI_ERRNO_NAMES_H_
