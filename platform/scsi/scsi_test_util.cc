#include "platform/scsi/scsi_test_util.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/os/os.h"
#include "platform/scsi/address.h"
#include "platform/scsi/fabric_parser.h"

namespace scsi {

TestCluster::TestCluster(const std::string& fabric_text) {
  e2e::WriteFile(dir() + "/fabric", fabric_text);
  Fabric fabric;
  ParseError error;
  if (ParseFabric(fabric_text, &fabric, &error))
    for (const std::string& m : fabric.machines()) mkdir(Root(m).c_str(), 0755);
}

std::string TestCluster::Node(const std::string& name, uint32_t dev) const {
  std::string path = dir() + "/" + name;
  unlink(path.c_str());
  if (mknod(path.c_str(), S_IFCHR | 0400, platform::ToLinuxDev(dev)) != 0)
    ADD_FAILURE() << "mknod " << path << ": " << strerror(errno);
  return path;
}

uint32_t Dev(int bus, int controller, int scsi_bus, int target) {
  DevFields f;
  f.port = {bus, controller, scsi_bus};
  f.target = static_cast<uint32_t>(target);
  f.major = 35;
  return EncodeDev(f);
}

}  // namespace scsi
