// The fabric: the shared SCSI hardware of a simulated cluster, as its
// fabric file describes it.
//
// A fabric holds named buses; on each bus up to 16 targets are taken by
// host adapter ports of machines, disks and other devices.  A machine's
// adapter port (bus, controller, SCSI bus) is attached to at most one bus.
// Lookups by bus and target and by machine and port take constant time, so
// that opening a node costs the same on a large fabric as on a small one.
// The text form is read by ParseFabric() (fabric_parser.h).

#ifndef RUDED_PLATFORM_SCSI_FABRIC_H_
#define RUDED_PLATFORM_SCSI_FABRIC_H_

#include <stdint.h>

#include <array>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/scsi/address.h"

namespace scsi {

constexpr int kVendorAreaLength = 20;
constexpr int kMaxNodeNameInArea = 17;
constexpr uint8_t kAreaMagic = 0xFE;

// Bytes 36-55 of a host adapter's INQUIRY data: magic, owner byte, one
// byte left alone, a node name of at most 17 bytes padded with NULs.
using VendorArea = std::array<uint8_t, kVendorAreaLength>;

enum class DeviceKind { kAdapter, kDisk, kOther };

// What a device is told to do wrong.  Zero/false: nothing.
struct Faults {
  int open_errno = 0;        // IO_Open fails with this errno
  bool inquiry = false;      // the library's IO_Inquiry fails
  bool passthru = false;     // every pass-through command fails
  bool procinquiry = false;  // IO_GetProcessorInquiry fails
  bool setinquiry = false;   // an adapter cannot set its own area
  bool evpd = false;         // the serial-number pages fail
};

struct Device {
  DeviceKind kind = DeviceKind::kDisk;
  int line = 0;    // line of the fabric file that describes it
  int bus = 0;     // index into Fabric::buses()
  int target = 0;  // 0..15
  int type = 0;    // peripheral device type: 3 adapters, 0 disks
  std::string vendor, product, revision, serial;  // as written, unpadded
  Faults faults;
  std::vector<std::string> fault_words;  // the fault options as written

  // Adapters only.
  std::string machine;
  Port port;
  bool has_initiator = false;  // initiator= reports this address instead
  Port initiator_port;
  int initiator_target = 0;
  bool has_stamp = false;  // stamp= presets the area
  VendorArea stamp{};
};

struct Bus {
  std::string name;
  int line = 0;
  std::array<int, kMaxTarget> devices;  // index into devices(), -1 free
};

class Fabric {
 public:
  const std::vector<Bus>& buses() const { return buses_; }
  const std::vector<Device>& devices() const { return devices_; }
  // Every machine that has an adapter, in order of first appearance.
  const std::vector<std::string>& machines() const { return machines_; }

  // Index of the bus with that name, or -1.
  int FindBus(std::string_view name) const;
  // The device at target of bus, or nullptr.
  const Device* At(int bus, int target) const;
  // The adapter of machine at port, or nullptr.
  const Device* FindAdapter(std::string_view machine, const Port& port) const;
  // Whether machine has an adapter port at this bus and controller.
  bool HasController(std::string_view machine, int bus, int controller) const;

  // Makes room for up to devices devices, so that adding them moves none.
  void Reserve(size_t devices) { devices_.reserve(devices); }
  // Appends a bus and returns its index.  REQUIRES: no bus of that name.
  int AddBus(std::string name, int line);
  // Adds a device.  REQUIRES: device.bus exists, its target is free and,
  // for an adapter, the machine has no adapter at that port yet.
  void AddDevice(Device device);

 private:
  struct MachinePorts {
    MachinePorts() {
      adapter.fill(-1);
      controller.fill(false);
    }
    std::array<int, kPortCount> adapter;  // index into devices_, -1 none
    std::array<bool, kMaxBus * kMaxController> controller;
  };

  std::vector<Bus> buses_;
  std::vector<Device> devices_;
  std::vector<std::string> machines_;
  std::unordered_map<std::string, int> bus_index_;
  std::unordered_map<std::string, MachinePorts> ports_;
};

// The preset area of stamp=<owner>:<nodename>: magic, the owner's byte, the
// name padded with NULs.  REQUIRES: node_name has at most 17 bytes.
VendorArea MakeArea(const Port& owner, std::string_view node_name);

}  // namespace scsi

#endif  // RUDED_PLATFORM_SCSI_FABRIC_H_
