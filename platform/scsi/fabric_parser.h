// Reading a fabric file:
//
//   bus <name>
//     adapter <machine> <bus> <controller> <scsi-bus> <id> [options]
//     disk <id> <vendor> <product> <revision> [serial=<text>] [options]
//     device <id> <type> <vendor> <product> <revision> [serial=<text>]
//            [options]
//
// Words as words.h splits them; name=value words are options and may stand
// anywhere after the first word.  Options: open=<errno name>,
// inquiry=fail, passthru=fail, procinquiry=fail, setinquiry=fail,
// evpd=fail on any device line; stamp=c<adapter>:<nodename> and
// initiator=<bus>.<controller>.<scsi-bus>.<id> on adapters; serial= on
// disks and devices.  Vendor, product and revision have at most 8, 16 and 4
// characters, a serial at most 237 (so that both serial-number pages stay
// within 255 bytes), a stamp's node name at most 17 bytes.

#ifndef RUDED_PLATFORM_SCSI_FABRIC_PARSER_H_
#define RUDED_PLATFORM_SCSI_FABRIC_PARSER_H_

#include <string>
#include <string_view>

#include "platform/scsi/fabric.h"
#include "platform/os/unique_fd.h"

namespace scsi {

constexpr size_t kMaxSerialLength = 237;

struct ParseError {
  int line = 0;  // 1-based
  std::string message;
};

// Parses text into *fabric, which must be freshly made.  Returns true, or
// false with *error describing the first bad line (*fabric then holds the
// lines before it and must not be used).
bool ParseFabric(std::string_view text, Fabric* fabric, ParseError* error);

enum class LoadStatus { kLoaded, kMissing, kBad };

// Reads and parses the fabric file at path.  kMissing when it does not
// exist (no hardware, no message).  kBad with *message set to
// "<path>:<line>: <what>" or "<path>: <system error>".  On kLoaded, *file
// (when not null) keeps the file open.
LoadStatus LoadFabricFile(const std::string& path, Fabric* fabric,
                          std::string* message, platform::UniqueFd* file);

}  // namespace scsi

#endif  // RUDED_PLATFORM_SCSI_FABRIC_PARSER_H_
