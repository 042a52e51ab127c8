#include "tests/cspec_e2e.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <stdexcept>

namespace cspec_e2e {

uint32_t Dev(unsigned major, unsigned bus, unsigned cntl, unsigned scsi_bus,
             unsigned target) {
  return major << 22 | bus << 19 | cntl << 16 | scsi_bus << 14 | target << 4;
}

void MakeNode(const std::string& path, uint32_t dev) {
  std::filesystem::create_directories(
      std::filesystem::path(path).parent_path());
  if (mknod(path.c_str(), S_IFCHR | 0400, makedev(dev >> 20, dev & 0xFFFFF)))
    throw std::runtime_error("mknod " + path);
}

uint32_t NodeDev(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return 0;
  return static_cast<uint32_t>(major(st.st_rdev)) << 20 |
         (static_cast<uint32_t>(minor(st.st_rdev)) & 0xFFFFF);
}

e2e::RunResult RunCspec(const std::string& root,
                        const std::vector<std::string>& args) {
  std::vector<std::string> argv = {e2e::Staged("sbin/qv_cspec")};
  argv.insert(argv.end(), args.begin(), args.end());
  e2e::RunOptions options;
  options.env["RUDED_ROOT"] = root;
  return e2e::Run(argv, options);
}

std::vector<std::string> Lines(const std::string& text) {
  return e2e::Lines(text);
}

int CountPrefix(const std::string& text, const std::string& prefix) {
  return static_cast<int>(e2e::Lines(text, prefix).size());
}

std::vector<std::string> TmpNodes(const std::string& dir) {
  std::vector<std::string> found;
  for (const std::string& name : e2e::ListDir(dir)) {
    if (name.rfind(".tmpdev", 0) == 0) found.push_back(name);
  }
  return found;
}

}  // namespace cspec_e2e
