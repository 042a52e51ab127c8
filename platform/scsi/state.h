// fabric.state: the vendor-specific areas that the cluster's host adapters
// remember between runs, shared by every machine of the cluster.
//
// The file is text.  Lines that are empty or begin with '#' are comments;
// every other line is one area:
//
//   <machine> <bus>.<controller>.<scsi-bus> <40 hexadecimal digits>
//
// naming the adapter port by its machine and port, and giving the 20 bytes
// of its area.  Lines are written sorted by machine and port.  A missing
// file holds no area.
//
// Readers and writers hold an exclusive flock on the lock file beside it
// (fabric.state.lock; never on fabric.state itself, which every write
// replaces by a rename, so a lock on it would lock the old file).  A write
// reads the file, changes one area and renames a complete new file into
// place, so two machines writing at once lose nothing and a reader never
// sees half a file.

#ifndef RUDED_PLATFORM_SCSI_STATE_H_
#define RUDED_PLATFORM_SCSI_STATE_H_

#include <map>
#include <string>
#include <string_view>

#include "platform/scsi/fabric.h"
#include "platform/scsi/fabric_parser.h"

namespace scsi {

// Areas by key: the two words before the area, joined by one blank
// ("<machine> <bus>.<controller>.<scsi-bus>" in fabric.state).
using AreaMap = std::map<std::string, VendorArea>;

// What sets one file of areas apart from another: its header comment and
// the two words that name an area.  The same reader, writer, lock and
// atomic replacement serve them all.
struct AreaFileFormat {
  const char* header;  // comment lines, each ending in a newline
  const char* syntax;  // the line as a message shows it
  bool (*valid_key)(std::string_view first, std::string_view second);
};

// fabric.state: "<machine> <bus>.<controller>.<scsi-bus> <area>".
extern const AreaFileFormat kFabricStateFormat;

std::string AreaKey(std::string_view machine, const Port& port);

// Parses the text of an area file.  Returns false with *error on the first
// bad or repeated line.
bool ParseState(std::string_view text, AreaMap* areas, ParseError* error,
                const AreaFileFormat& format = kFabricStateFormat);

// The text of an area file holding areas.
std::string FormatState(const AreaMap& areas,
                        const AreaFileFormat& format = kFabricStateFormat);

class StateFile {
 public:
  // path: the state file; the lock file is path + ".lock".
  explicit StateFile(std::string path,
                     const AreaFileFormat& format = kFabricStateFormat);

  const std::string& path() const { return path_; }

  // Fills *areas with every area (none when the file does not exist).
  // Returns false with errno set and *message ("<path>: <error>" or
  // "<path>:<line>: <what>", errno EIO) on failure.
  bool Read(AreaMap* areas, std::string* message) const;

  // Sets the area of key, keeping every other area.  Returns false with
  // errno and *message set on failure; the file is then left as it was.
  bool Write(const std::string& key, const VendorArea& area,
             std::string* message) const;

  // Writes a state file that holds no area, replacing any.
  bool WriteEmpty(std::string* message) const;

 private:
  bool ReadLocked(AreaMap* areas, std::string* message) const;
  bool Replace(const AreaMap& areas, std::string* message) const;

  std::string path_;
  const AreaFileFormat* format_;
};

}  // namespace scsi

#endif  // RUDED_PLATFORM_SCSI_STATE_H_
