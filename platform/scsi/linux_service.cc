#include "platform/scsi/linux_service.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <scsi/sg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "platform/os/os.h"
#include "platform/scsi/inquiry_data.h"

namespace scsi {
namespace {

constexpr uint8_t kInquiryOpcode = 0x12;
constexpr uint8_t kCheckCondition = 0x02;
constexpr uint8_t kIllegalRequest = 0x05;
constexpr uint8_t kInvalidOpcode = 0x20, kInvalidFieldInCdb = 0x24;
constexpr uint32_t kBadInitiator = 0xFFFFFFFFu;

// The first line of a sysfs attribute, without its newline; "" when the
// file cannot be read.
std::string ReadAttribute(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return "";
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
    line.pop_back();
  return line;
}

bool Exists(const std::string& path, int* error) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return true;
  *error = errno;
  return false;
}

// The names in a directory that start with prefix, in no order.
std::vector<std::string> Entries(const std::string& dir,
                                 const std::string& prefix, int* error) {
  std::vector<std::string> names;
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) {
    *error = errno;
    return names;
  }
  while (const dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name[0] != '.' && name.compare(0, prefix.size(), prefix) == 0)
      names.push_back(name);
  }
  ::closedir(d);
  return names;
}

// A word of the adapters file that names a device path: no blank, quote or
// control byte may break the line.
bool ValidPath(std::string_view path) {
  if (path.empty() || path[0] != '/') return false;
  for (unsigned char c : path)
    if (c <= 0x20 || c == '"' || c == 0x7F) return false;
  return true;
}

bool ValidAdapterKey(std::string_view path, std::string_view channel) {
  return ValidPath(path) && channel.size() == 1 && channel[0] >= '0' &&
         channel[0] < '0' + kMaxScsiBus;
}

std::string RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  if (::realpath(path.c_str(), buffer) == nullptr) return "";
  return buffer;
}

// Copies what reply holds into data, up to length bytes, and zeroes the rest.
void Deliver(const Reply& reply, unsigned char* data, uint32_t length) {
  size_t n = reply.length < length ? reply.length : length;
  if (length == 0) return;
  memcpy(data, reply.bytes.data(), n);
  memset(data + n, 0, length - n);
}

}  // namespace

const AreaFileFormat kAdapterFileFormat = {
    "# Vendor-specific areas of this machine's SCSI host adapters:\n"
    "# <sysfs device path> <channel> <20 bytes in hexadecimal>\n",
    "<sysfs device path> <channel> <40 hex digits>", ValidAdapterKey};

LinuxAddress ToLinuxAddress(const DevFields& f) {
  LinuxAddress a;
  a.host = f.port.bus * kMaxController + f.port.controller;
  a.channel = f.port.scsi_bus;
  a.target = static_cast<int>(f.target);
  a.lun = 0;
  return a;
}

LinuxService::LinuxService(std::string sysfs, std::string dev,
                           std::string adapters)
    : sysfs_(std::move(sysfs)),
      dev_(std::move(dev)),
      adapters_(std::move(adapters), kAdapterFileFormat) {}

const LinuxService::Handle* LinuxService::Find(int fd) const {
  if (fd < 0 || static_cast<size_t>(fd) >= handles_.size() ||
      !handles_[fd].open)
    return nullptr;
  return &handles_[fd];
}

bool LinuxService::HasChannel(int host, int channel) const {
  if (channel == 0) return true;
  int error = 0;
  std::string prefix =
      std::to_string(host) + ":" + std::to_string(channel) + ":";
  return !Entries(sysfs_ + "/bus/scsi/devices", prefix, &error).empty();
}

// "<device path> <channel>": the device the host hangs off (its PCI
// function, say), as sysfs names it below its root.  "" when the path
// cannot be written into the file.
std::string LinuxService::AdapterKey(int host, int channel) const {
  std::string root = RealPath(sysfs_);
  std::string device = RealPath(sysfs_ + "/class/scsi_host/host" +
                                std::to_string(host) + "/device");
  if (root.empty() || device.size() <= root.size() ||
      device.compare(0, root.size() + 1, root + "/") != 0)
    return "";
  std::string path = device.substr(root.size());
  path.erase(path.rfind('/'));  // the host's own directory, hostN
  if (!ValidPath(path)) return "";
  return path + " " + std::to_string(channel);
}

// Returns 0 with *handle and *fd set, or the errno of the failed open.
int LinuxService::Resolve(uint32_t dev, Handle* handle, int* fd) const {
  DevFields f = DecodeDev(dev);
  LinuxAddress a = ToLinuxAddress(f);
  std::string host = sysfs_ + "/class/scsi_host/host" + std::to_string(a.host);
  int error = 0;
  if (!Exists(host, &error) || !HasChannel(a.host, a.channel)) return ENXIO;
  handle->address = a;
  handle->major = f.major;
  std::string id = ReadAttribute(sysfs_ + "/class/spi_host/host" +
                                 std::to_string(a.host) + "/hba_id");
  char* end = nullptr;
  long value = id.empty() ? -1 : strtol(id.c_str(), &end, 10);
  handle->host_id = (value >= 0 && value < 256 && *end == '\0')
                        ? static_cast<int>(value)
                        : kDefaultHostId;
  if (a.target == handle->host_id) {
    handle->adapter = true;
    handle->proc_name = ReadAttribute(host + "/proc_name");
    handle->key = AdapterKey(a.host, a.channel);
    *fd = ::open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return *fd < 0 ? errno : 0;
  }
  std::string device = sysfs_ + "/bus/scsi/devices/" + std::to_string(a.host) +
                       ":" + std::to_string(a.channel) + ":" +
                       std::to_string(a.target) + ":" + std::to_string(a.lun);
  if (!Exists(device, &error)) return error == ENOENT ? ENODEV : error;
  std::vector<std::string> sg = Entries(device + "/scsi_generic", "sg", &error);
  if (sg.empty()) return error != 0 ? error : ENOENT;
  *fd = ::open((dev_ + "/" + sg[0]).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  return *fd < 0 ? errno : 0;
}

int LinuxService::Open(const char* path) {
  if (path == nullptr) return Fail(EFAULT);
  struct stat st;
  if (_xstat(XSTAT_VER, path, &st) != 0) return -1;
  if (!S_ISCHR(st.st_mode)) return Fail(ENODEV);
  Handle handle;
  int fd = -1;
  if (int error = Resolve(static_cast<uint32_t>(st.st_rdev), &handle, &fd))
    return Fail(error);
  size_t index = static_cast<size_t>(fd);
  try {
    if (handles_.size() <= index) handles_.resize(index + 1);
  } catch (...) {
    ::close(fd);
    throw;
  }
  handle.open = true;
  handles_[index] = std::move(handle);
  return fd;
}

int LinuxService::Close(int fd) {
  if (Find(fd) == nullptr) return Fail(EBADF);
  handles_[fd] = Handle();
  return ::close(fd);
}

bool LinuxService::AreaOf(const Handle& h, VendorArea* area) const {
  *area = VendorArea{};
  // Before the first stamp there is no file, nor its directory to lock in.
  int error = 0;
  if (h.key.empty() || (!Exists(adapters_.path(), &error) && error == ENOENT))
    return true;
  AreaMap areas;
  std::string message;
  if (!adapters_.Read(&areas, &message)) {
    fprintf(stderr, "%s\n", message.c_str());
    return false;
  }
  auto it = areas.find(h.key);
  if (it != areas.end()) *area = it->second;
  return true;
}

// Sends the six-byte cdb with a data-in transfer of length bytes through
// SG_IO.  Returns 0, or -1 with errno; a check condition fills sense.
int LinuxService::Send(int fd, const unsigned char* cdb, unsigned char* data,
                       uint32_t length, unsigned char* sense) const {
  unsigned char command[6];
  memcpy(command, cdb, sizeof command);
  unsigned char reply_sense[32] = {};
  sg_io_hdr_t io;
  memset(&io, 0, sizeof io);
  io.interface_id = 'S';
  io.cmd_len = sizeof command;
  io.cmdp = command;
  io.dxfer_direction = length > 0 ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
  io.dxfer_len = length;
  io.dxferp = data;
  io.mx_sb_len = sizeof reply_sense;
  io.sbp = reply_sense;
  io.timeout = kCommandTimeoutMs;
  if (::ioctl(fd, SG_IO, &io) < 0) return Fail(EIO);  // the driver refused
  if (io.host_status != 0) return Fail(EIO);
  if (io.status == kCheckCondition) {
    if (sense != nullptr && io.sb_len_wr > 0) {
      // Fixed format (70h, 71h) or descriptor format (72h, 73h).
      bool descriptor = (reply_sense[0] & 0x7F) >= 0x72;
      const unsigned char* s = reply_sense;
      FillSense(sense, descriptor ? s[1] & 0x0F : s[2] & 0x0F,
                descriptor ? s[2] : s[12], descriptor ? s[3] : s[13]);
    }
    return Fail(EIO);
  }
  if ((io.info & SG_INFO_OK_MASK) != SG_INFO_OK) return Fail(EIO);
  if (io.resid > 0 && static_cast<uint32_t>(io.resid) <= length)
    memset(data + length - io.resid, 0, io.resid);
  return 0;
}

// The adapter's answer to an INQUIRY addressed to itself.
int LinuxService::Answer(const Handle& h, const unsigned char* cdb,
                         unsigned char* data, uint32_t length,
                         unsigned char* sense) const {
  if ((cdb[1] & 1) != 0 || cdb[2] != 0) {
    if (sense != nullptr) FillSense(sense, kIllegalRequest, kInvalidFieldInCdb);
    return Fail(EIO);
  }
  // The area lies past the standard 36 bytes: a shorter transfer does not
  // need the adapters file read.
  VendorArea area{};
  if (length > kStandardInquiryLength && !AreaOf(h, &area)) return Fail(EIO);
  Deliver(AdapterInquiry("LINUX", h.proc_name, "1.0", area), data, length);
  return 0;
}

int LinuxService::Inquiry(int fd, unsigned char* buffer) {
  const Handle* h = Find(fd);
  if (h == nullptr) return Fail(EBADF);
  if (buffer == nullptr) return Fail(EFAULT);
  const unsigned char cdb[6] = {kInquiryOpcode,         0, 0, 0,
                                kStandardInquiryLength, 0};
  if (h->adapter)
    return Answer(*h, cdb, buffer, kStandardInquiryLength, nullptr);
  return Send(fd, cdb, buffer, kStandardInquiryLength, nullptr);
}

int LinuxService::ProcessorInquiry(int fd, unsigned char* buffer) {
  const Handle* h = Find(fd);
  if (h == nullptr) return Fail(EBADF);
  if (buffer == nullptr) return Fail(EFAULT);
  const unsigned char cdb[6] = {kInquiryOpcode,          0, 0, 0,
                                kProcessorInquiryLength, 0};
  if (h->adapter)
    return Answer(*h, cdb, buffer, kProcessorInquiryLength, nullptr);
  if (Send(fd, cdb, buffer, kProcessorInquiryLength, nullptr) != 0) return -1;
  return (buffer[0] & 0x1F) == 3 ? 0 : Fail(EINVAL);
}

int LinuxService::SetInitiatorInquiry(int fd, int length,
                                      const unsigned char* data) {
  const Handle* h = Find(fd);
  if (h == nullptr) return Fail(EBADF);
  if (data == nullptr) return Fail(EFAULT);
  if (length != kVendorAreaLength) return Fail(EINVAL);
  std::string key =
      h->adapter ? h->key : AdapterKey(h->address.host, h->address.channel);
  if (key.empty()) return Fail(EINVAL);
  // The file's directory (/var/lib/ruded) is made when missing.
  const std::string& file = adapters_.path();
  for (size_t slash = file.find('/', 1); slash != std::string::npos;
       slash = file.find('/', slash + 1))
    ::mkdir(file.substr(0, slash).c_str(), 0755);
  return StoreArea(adapters_, key, data);
}

uint32_t LinuxService::InitiatorNode(int fd) {
  const Handle* h = Find(fd);
  if (h == nullptr) {
    errno = EBADF;
    return kBadInitiator;
  }
  DevFields f;
  f.port.bus = h->address.host / kMaxController;
  f.port.controller = h->address.host % kMaxController;
  f.port.scsi_bus = h->address.channel;
  f.target = static_cast<uint32_t>(h->host_id);
  f.major = h->major;
  return EncodeDev(f);
}

int LinuxService::PassThrough(int fd, int request, void* request_block) {
  const Handle* h = Find(fd);
  const ScsiRequest* checked =
      CheckedRequest(request, request_block, h != nullptr);
  if (checked == nullptr) return -1;
  const ScsiRequest& req = *checked;
  const ScsiCommand& cmd = *req.command;
  if (cmd.cdb[0] != kInquiryOpcode) {
    if (req.sense != nullptr)
      FillSense(req.sense, kIllegalRequest, kInvalidOpcode);
    return Fail(EIO);
  }
  uint32_t allocation = static_cast<uint32_t>(cmd.cdb[3]) << 8 | cmd.cdb[4];
  if (cmd.length != allocation) return Fail(EINVAL);
  if (h->adapter) return Answer(*h, cmd.cdb, cmd.data, cmd.length, req.sense);
  return Send(fd, cmd.cdb, cmd.data, cmd.length, req.sense);
}

std::unique_ptr<Service> MakeLinuxService() {
  return std::make_unique<LinuxService>(
      platform::MapPath("/sys"), platform::MapPath("/dev"),
      platform::MapPath("/var/lib/ruded/adapters"));
}

}  // namespace scsi
