// The SCSI stand-in's names for the shared descriptor owner and whole reads
// and writes (platform/os/unique_fd.h), for callers that still spell them
// scsi::UniqueFd, scsi::ReadAll and scsi::WriteAll.

#ifndef RUDED_PLATFORM_SCSI_UNIQUE_FD_H_
#define RUDED_PLATFORM_SCSI_UNIQUE_FD_H_

#include "platform/os/unique_fd.h"

namespace scsi {

using platform::ReadAll;
using platform::UniqueFd;
using platform::WriteAll;

}  // namespace scsi

#endif  // RUDED_PLATFORM_SCSI_UNIQUE_FD_H_
