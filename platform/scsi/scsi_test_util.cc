#include "platform/scsi/scsi_test_util.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/os/os.h"
#include "platform/scsi/address.h"
#include "platform/scsi/fabric_parser.h"

namespace scsi {

TestCluster::TestCluster(const std::string& fabric_text) {
  const char* base = getenv("TMPDIR");
  std::string tmpl =
      std::string(base && *base ? base : "/tmp") + "/scsi_test.XXXXXX";
  if (mkdtemp(tmpl.data()) == nullptr) ADD_FAILURE() << strerror(errno);
  dir_ = tmpl;
  std::ofstream(dir_ + "/fabric") << fabric_text;
  Fabric fabric;
  ParseError error;
  if (ParseFabric(fabric_text, &fabric, &error))
    for (const std::string& m : fabric.machines()) mkdir(Root(m).c_str(), 0755);
}

TestCluster::~TestCluster() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string TestCluster::Node(const std::string& name, uint32_t dev) const {
  std::string path = dir_ + "/" + name;
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
