#include "tools/cluster_show.h"

#include <stdio.h>

#include <set>

#include "platform/scsi/fabric_parser.h"
#include "platform/scsi/inquiry_data.h"
#include "platform/scsi/state.h"

namespace simcluster {
namespace {

std::string Quoted(const std::string& text, size_t width) {
  std::string padded = text;
  if (padded.size() < width) padded.resize(width, ' ');
  std::string out = "\"";
  for (unsigned char c : padded) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char octal[5];
      snprintf(octal, sizeof octal, "\\%03o", c);
      out += octal;
    }
  }
  return out + "\"";
}

std::string AreaText(const scsi::VendorArea& area) {
  std::string text = scsi::DescribeArea(area);
  return text == "uninitialized" ? text : "set to " + text;
}

std::string Identity(const scsi::Device& d) {
  return Quoted(d.vendor, 8) + " " + Quoted(d.product, 16) + " " +
         Quoted(d.revision, 4);
}

std::string DeviceLine(const scsi::Device& d, const scsi::AreaMap& areas,
                       std::set<std::string>* used) {
  std::string line = "  " + std::to_string(d.target) + " ";
  if (d.kind == scsi::DeviceKind::kAdapter) {
    std::string key = scsi::AreaKey(d.machine, d.port);
    used->insert(key);
    auto it = areas.find(key);
    scsi::VendorArea area = it != areas.end() ? it->second
                            : d.has_stamp     ? d.stamp
                                              : scsi::VendorArea{};
    line += "adapter " + d.machine + " c" + scsi::AdapterText(d.port) + ": " +
            AreaText(area);
  } else if (d.kind == scsi::DeviceKind::kDisk) {
    line += "disk " + Identity(d) + " serial " + Quoted(d.serial, 0);
  } else {
    line += "device type " + std::to_string(d.type) + " " + Identity(d);
    if (!d.serial.empty()) line += " serial " + Quoted(d.serial, 0);
  }
  if (!d.fault_words.empty()) {
    line += " [";
    for (size_t i = 0; i < d.fault_words.size(); ++i)
      line += (i ? " " : "") + d.fault_words[i];
    line += "]";
  }
  return line + "\n";
}

}  // namespace

bool ShowCluster(const std::string& dir, std::string* out, std::string* err) {
  scsi::Fabric fabric;
  std::string fabric_path = dir + "/fabric";
  switch (scsi::LoadFabricFile(fabric_path, &fabric, err, nullptr)) {
    case scsi::LoadStatus::kMissing:
      *err = fabric_path + ": no fabric here; is " + dir + " a cluster?";
      return false;
    case scsi::LoadStatus::kBad:
      return false;
    case scsi::LoadStatus::kLoaded:
      break;
  }
  scsi::AreaMap areas;
  if (!scsi::StateFile(dir + "/fabric.state").Read(&areas, err)) return false;
  std::set<std::string> used;
  for (const scsi::Bus& bus : fabric.buses()) {
    *out += "bus " + bus.name + "\n";
    for (int t = 0; t < scsi::kMaxTarget; ++t)
      if (const scsi::Device* d = fabric.At(static_cast<int>(&bus -
                                                  fabric.buses().data()), t))
        *out += DeviceLine(*d, areas, &used);
  }
  for (const auto& [key, area] : areas)
    if (used.count(key) == 0) *out += "stale " + key + ": " + AreaText(area) + "\n";
  return true;
}

}  // namespace simcluster
