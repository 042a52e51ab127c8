#include "platform/scsi/fabric.h"

#include <string.h>

namespace scsi {

int Fabric::FindBus(std::string_view name) const {
  auto it = bus_index_.find(std::string(name));
  return it == bus_index_.end() ? -1 : it->second;
}

const Device* Fabric::At(int bus, int target) const {
  if (bus < 0 || static_cast<size_t>(bus) >= buses_.size() || target < 0 ||
      target >= kMaxTarget)
    return nullptr;
  int index = buses_[bus].devices[target];
  return index < 0 ? nullptr : &devices_[index];
}

const Device* Fabric::FindAdapter(std::string_view machine,
                                  const Port& port) const {
  auto it = ports_.find(std::string(machine));
  if (it == ports_.end()) return nullptr;
  int index = it->second.adapter[PortIndex(port)];
  return index < 0 ? nullptr : &devices_[index];
}

bool Fabric::HasController(std::string_view machine, int bus,
                           int controller) const {
  auto it = ports_.find(std::string(machine));
  return it != ports_.end() &&
         it->second.controller[bus * kMaxController + controller];
}

int Fabric::AddBus(std::string name, int line) {
  Bus bus;
  bus.name = std::move(name);
  bus.line = line;
  bus.devices.fill(-1);
  bus_index_[bus.name] = static_cast<int>(buses_.size());
  buses_.push_back(std::move(bus));
  return static_cast<int>(buses_.size()) - 1;
}

void Fabric::AddDevice(Device device) {
  int index = static_cast<int>(devices_.size());
  buses_[device.bus].devices[device.target] = index;
  if (device.kind == DeviceKind::kAdapter) {
    auto [it, added] = ports_.try_emplace(device.machine);
    if (added) machines_.push_back(device.machine);
    it->second.adapter[PortIndex(device.port)] = index;
    it->second.controller[device.port.bus * kMaxController +
                          device.port.controller] = true;
  }
  devices_.push_back(std::move(device));
}

VendorArea MakeArea(const Port& owner, std::string_view node_name) {
  VendorArea area{};
  area[0] = kAreaMagic;
  area[1] = OwnerByte(owner);
  size_t n = node_name.size() < kMaxNodeNameInArea ? node_name.size()
                                                   : kMaxNodeNameInArea;
  memcpy(area.data() + 3, node_name.data(), n);
  return area;
}

}  // namespace scsi
