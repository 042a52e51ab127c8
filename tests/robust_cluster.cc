#include "tests/robust_cluster.h"

#include "tests/cspec_e2e.h"

namespace robust {
namespace {

std::string Padded(std::string text, size_t width) {
  text.resize(width < text.size() ? text.size() : width, ' ');
  return text;
}

}  // namespace

e2e::RunResult Cluster::Create(const std::string& fabric) {
  const std::string file = dir_ + ".fabric";
  e2e::WriteFile(file, fabric);
  return e2e::Run({e2e::Staged("bin/simcluster"), "create", file, dir_});
}

e2e::RunResult Cluster::Show() const {
  return e2e::Run({e2e::Staged("bin/simcluster"), "show", dir_});
}

std::string Cluster::Root(const std::string& machine) const {
  return dir_ + "/" + machine;
}

std::string Cluster::Hostadp(const std::string& machine) const {
  return Root(machine) + cspec_e2e::kHostadp;
}

std::string Cluster::Cspecials(const std::string& machine) const {
  return Root(machine) + cspec_e2e::kCspecials;
}

std::string Cluster::DeviceInfo(const std::string& machine) const {
  return e2e::ReadFile(Root(machine) + cspec_e2e::kDeviceInfo);
}

e2e::RunResult Cluster::Cspec(const std::string& machine,
                              const std::vector<std::string>& args) const {
  return cspec_e2e::RunCspec(Root(machine), args);
}

std::string AdapterText(int bus, int controller, int scsi_bus) {
  static const char* const kFirst[] = {"", "1", "2", "3", "4", "5", "6", "7"};
  static const char* const kSecond[] = {"0", "1", "2", "3", "4", "5", "6", "7"};
  return std::string(kFirst[bus]) +
         (bus != 0 ? kSecond[controller] : kFirst[controller]) +
         std::to_string(scsi_bus);
}

std::string InfoLine(const std::string& adapter, int target,
                     const std::string& vendor, const std::string& product,
                     const std::string& revision, const std::string& serial) {
  const char kSep = '\001';
  return "c" + adapter + kSep + "c" + adapter + "t" + std::to_string(target) +
         "d0s0" + kSep + Padded(vendor, 8) + kSep + Padded(product, 16) + kSep +
         Padded(revision, 4) + kSep + serial + "\n";
}

}  // namespace robust
