#include "platform/scsi/service.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "platform/os/os.h"
#include "platform/scsi/fabric_parser.h"
#include "platform/scsi/inquiry_data.h"
#include "platform/scsi/io.h"
#ifdef __linux__
#include "platform/scsi/linux_service.h"
#endif

namespace scsi {
namespace {

constexpr uint8_t kInquiryOpcode = 0x12;
constexpr uint32_t kBadInitiator = 0xFFFFFFFFu;

// Sense keys and additional sense codes of the check conditions we raise.
constexpr uint8_t kHardwareError = 0x04, kIllegalRequest = 0x05;
constexpr uint8_t kInternalTargetFailure = 0x44, kInvalidOpcode = 0x20,
                  kInvalidFieldInCdb = 0x24;

// Splits a machine root into the machine's name and the fabric's and the
// state's paths.  A root ending in "." or ".." is resolved first, so that
// the machine keeps its name.
bool LocateMachine(const std::string& root, std::string* machine,
                   std::string* cluster) {
  std::string r = root;
  std::string last = r.substr(r.rfind('/') + 1);
  if (last == "." || last == "..") {
    std::unique_ptr<char, decltype(&free)> real(realpath(r.c_str(), nullptr),
                                                &free);
    if (!real) return false;
    r = real.get();
    last = r.substr(r.rfind('/') + 1);
  }
  if (last.empty()) return false;
  *machine = last;
  *cluster = r + "/..";
  return true;
}

}  // namespace

FabricService::FabricService(const std::string& root) : state_("") {
  std::string cluster;
  if (root.empty() || !LocateMachine(root, &machine_, &cluster)) return;
  state_ = StateFile(cluster + "/fabric.state");
  std::string message;
  switch (LoadFabricFile(cluster + "/fabric", &fabric_, &message,
                         &fabric_file_)) {
    case LoadStatus::kMissing:
      return;
    case LoadStatus::kBad:
      fprintf(stderr, "%s\n", message.c_str());
      hardware_ = Hardware::kBad;
      return;
    case LoadStatus::kLoaded:
      hardware_ = Hardware::kPresent;
      return;
  }
}

const FabricService::Handle* FabricService::Find(int fd) const {
  if (fd < 0 || static_cast<size_t>(fd) >= handles_.size() ||
      handles_[fd].device == nullptr)
    return nullptr;
  return &handles_[fd];
}

// Returns 0 and fills *handle, or the errno of the failed open.
int FabricService::Resolve(uint32_t dev, Handle* handle) const {
  if (hardware_ == Hardware::kNone) return ENXIO;
  if (hardware_ == Hardware::kBad) return EIO;
  DevFields f = DecodeDev(dev);
  if (!fabric_.HasController(machine_, f.port.bus, f.port.controller))
    return ENXIO;
  const Device* local = fabric_.FindAdapter(machine_, f.port);
  if (local == nullptr) return ENXIO;
  const Device* device = fabric_.At(local->bus, static_cast<int>(f.target));
  if (device == nullptr) return ENODEV;
  if (device->faults.open_errno != 0) return device->faults.open_errno;
  handle->device = device;
  handle->local = local;
  handle->major = f.major;
  return 0;
}

int FabricService::Open(const char* path) {
  if (path == nullptr) return Fail(EFAULT);
  struct stat st;
  if (_xstat(XSTAT_VER, path, &st) != 0) return -1;
  if (hardware_ == Hardware::kPresent && !S_ISCHR(st.st_mode))
    return Fail(ENODEV);
  Handle handle;
  if (int error = Resolve(static_cast<uint32_t>(st.st_rdev), &handle))
    return Fail(error);
  platform::UniqueFd fd(::fcntl(fabric_file_.get(), F_DUPFD_CLOEXEC, 0));
  if (!fd.valid()) return -1;
  size_t index = static_cast<size_t>(fd.get());
  if (handles_.size() <= index) handles_.resize(index + 1);
  handles_[index] = handle;
  return fd.Release();
}

int FabricService::Close(int fd) {
  if (Find(fd) == nullptr) return Fail(EBADF);
  handles_[fd] = Handle();
  return ::close(fd);
}

int FabricService::Inquiry(int fd, unsigned char* buffer) {
  const Handle* h = Find(fd);
  if (h == nullptr) return Fail(EBADF);
  if (buffer == nullptr) return Fail(EFAULT);
  if (h->device->faults.inquiry) return Fail(EIO);
  Reply reply = StandardInquiry(*h->device, VendorArea{});
  memcpy(buffer, reply.bytes.data(), kStandardInquiryLength);
  return 0;
}

bool FabricService::AreaOf(const Device& adapter, VendorArea* area) const {
  AreaMap areas;
  std::string message;
  if (!state_.Read(&areas, &message)) {
    fprintf(stderr, "%s\n", message.c_str());
    return false;
  }
  auto it = areas.find(AreaKey(adapter.machine, adapter.port));
  if (it != areas.end())
    *area = it->second;
  else
    *area = adapter.has_stamp ? adapter.stamp : VendorArea{};
  return true;
}

int FabricService::ProcessorInquiry(int fd, unsigned char* buffer) {
  const Handle* h = Find(fd);
  if (h == nullptr) return Fail(EBADF);
  if (buffer == nullptr) return Fail(EFAULT);
  const Device& device = *h->device;
  if (device.faults.procinquiry) return Fail(EIO);
  if (device.type != 3) return Fail(EINVAL);
  VendorArea area{};
  if (device.kind == DeviceKind::kAdapter && !AreaOf(device, &area))
    return Fail(EIO);
  Reply reply = StandardInquiry(device, area);
  memcpy(buffer, reply.bytes.data(), kProcessorInquiryLength);
  return 0;
}

int FabricService::SetInitiatorInquiry(int fd, int length,
                                       const unsigned char* data) {
  const Handle* h = Find(fd);
  if (h == nullptr) return Fail(EBADF);
  if (data == nullptr) return Fail(EFAULT);
  if (length != kVendorAreaLength) return Fail(EINVAL);
  if (h->local->faults.setinquiry) return Fail(EIO);
  return StoreArea(state_, AreaKey(machine_, h->local->port), data);
}

uint32_t FabricService::InitiatorNode(int fd) {
  const Handle* h = Find(fd);
  if (h == nullptr) {
    errno = EBADF;
    return kBadInitiator;
  }
  const Device& local = *h->local;
  DevFields f;
  f.port = local.has_initiator ? local.initiator_port : local.port;
  f.target = static_cast<uint32_t>(local.has_initiator ? local.initiator_target
                                                       : local.target);
  f.major = h->major;
  return EncodeDev(f);
}

// Carries out one six-byte INQUIRY into data.  Returns 0, or the errno of
// its failure with the sense to report in *sense.
int FabricService::Execute(const Device& device, const ScsiCommand& cmd,
                           Sense* sense) const {
  if (device.faults.passthru) return EIO;
  if (cmd.cdb[0] != kInquiryOpcode) {
    *sense = {kIllegalRequest, kInvalidOpcode};
    return EIO;
  }
  uint32_t allocation = static_cast<uint32_t>(cmd.cdb[3]) << 8 | cmd.cdb[4];
  if (cmd.length != allocation) return EINVAL;
  bool evpd = (cmd.cdb[1] & 1) != 0;
  Reply reply;
  if (evpd && device.faults.evpd) return EIO;
  if (evpd ? !SerialPage(device, cmd.cdb[2], &reply) : cmd.cdb[2] != 0) {
    *sense = {kIllegalRequest, kInvalidFieldInCdb};
    return EIO;
  }
  if (!evpd) {
    // The area lies past the standard 36 bytes: a shorter transfer does not
    // need the state file read.
    VendorArea area{};
    if (device.kind == DeviceKind::kAdapter &&
        allocation > kStandardInquiryLength && !AreaOf(device, &area))
      return EIO;
    reply = StandardInquiry(device, area);
  }
  size_t n = reply.length < allocation ? reply.length : allocation;
  if (allocation > 0) {
    memcpy(cmd.data, reply.bytes.data(), n);
    memset(cmd.data + n, 0, allocation - n);
  }
  return 0;
}

int FabricService::PassThrough(int fd, int request, void* request_block) {
  const Handle* h = Find(fd);
  const ScsiRequest* checked =
      CheckedRequest(request, request_block, h != nullptr);
  if (checked == nullptr) return -1;
  const ScsiRequest& req = *checked;
  const ScsiCommand& cmd = *req.command;
  Sense sense{kHardwareError, kInternalTargetFailure};
  int error = Execute(*h->device, cmd, &sense);
  if (error == 0) return 0;
  if (error == EIO && req.sense != nullptr)
    FillSense(req.sense, sense.key, sense.code);
  return Fail(error);
}

namespace {
std::unique_ptr<Service> g_service;
}  // namespace

Service& TheService() {
  if (g_service) return *g_service;
  auto fabric = std::make_unique<FabricService>(platform::MachineRoot());
#ifdef __linux__
  if (!fabric->has_fabric()) {
    g_service = MakeLinuxService();
    return *g_service;
  }
#endif
  g_service = std::move(fabric);
  return *g_service;
}

void ResetServiceForTesting() { g_service.reset(); }

int Fail(int error) {
  errno = error;
  return -1;
}

int StoreArea(const StateFile& file, const std::string& key,
              const unsigned char* data) {
  VendorArea area;
  memcpy(area.data(), data, area.size());
  std::string message;
  if (file.Write(key, area, &message)) return 0;
  int saved = errno;
  fprintf(stderr, "%s\n", message.c_str());
  return Fail(saved);
}

const ScsiRequest* CheckedRequest(int request, void* request_block,
                                  bool open) {
  auto fail = [](int error) {
    Fail(error);
    return nullptr;
  };
  if (request != libio_magic) return fail(EINVAL);
  if (request_block == nullptr) return fail(EFAULT);
  const auto* req = static_cast<const ScsiRequest*>(request_block);
  if (!open) return fail(EBADF);
  if (req->command == nullptr) return fail(EFAULT);
  if (req->cdb_length != 6) return fail(EINVAL);
  if (req->command->data == nullptr && req->command->length != 0)
    return fail(EFAULT);
  return req;
}

}  // namespace scsi
