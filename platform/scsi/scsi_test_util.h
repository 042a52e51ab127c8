// Helpers for tests of the SCSI stand-in: a simulated cluster in a private
// temporary directory, and device nodes in it.

#ifndef RUDED_PLATFORM_SCSI_SCSI_TEST_UTIL_H_
#define RUDED_PLATFORM_SCSI_SCSI_TEST_UTIL_H_

#include <stdint.h>

#include <string>

#include "tests/e2e_util.h"

namespace scsi {

// A cluster directory holding fabric (the given text) and a root directory
// for every machine the text names; removed with its contents.
class TestCluster {
 public:
  explicit TestCluster(const std::string& fabric_text);

  const std::string& dir() const { return dir_.path(); }
  std::string Root(const std::string& machine) const {
    return dir() + "/" + machine;
  }
  // Makes a character special file at dir()/name with the 32-bit device
  // number dev; returns its path.  Fails the test when it cannot.
  std::string Node(const std::string& name, uint32_t dev) const;

 private:
  e2e::ScopedTempDir dir_;
};

// A device number with major 35.
uint32_t Dev(int bus, int controller, int scsi_bus, int target);

}  // namespace scsi

#endif  // RUDED_PLATFORM_SCSI_SCSI_TEST_UTIL_H_
