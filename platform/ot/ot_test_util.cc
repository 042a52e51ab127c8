#include "platform/ot/ot_test_util.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace ot {

ScopedMachine::ScopedMachine() {
  const char* base = getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/ot.XXXXXX";
  if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp");
  root_ = tmpl;
  setenv("RUDED_ROOT", root_.c_str(), 1);
  unsetenv("OAM_TRACE");
  unsetenv("OAM_DEVTAB");
}

ScopedMachine::~ScopedMachine() {
  unsetenv("RUDED_ROOT");
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

std::string ScopedMachine::Log() const { return Read("/var/adm/oam.log"); }

void ScopedMachine::Write(const std::string& path,
                          const std::string& text) const {
  std::filesystem::create_directories(
      std::filesystem::path(Host(path)).parent_path());
  std::ofstream(Host(path), std::ios::binary) << text;
}

std::string ScopedMachine::Read(const std::string& path) const {
  std::ifstream in(Host(path), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace ot
