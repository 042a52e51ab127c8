// The SCSI I/O service on Linux: the calls of io.h served by the kernel's
// SCSI subsystem, sysfs for the topology and the SCSI generic driver
// (/dev/sgN, the SG_IO ioctl) for the commands.
//
// A node's device number (bus b, controller c, SCSI bus s, target t) names
// the Linux address H:C:T:L = (8b + c):s:t:0, so hosts 0-63, channels 0-3,
// targets 0-15 and LUN 0 only are reachable.  Open reads the number from
// the node's status and never opens the node itself.  It fails with ENXIO
// when sysfs has no host H, or no channel C on it (channel 0 is there on
// every host, another channel once a device shows on it), with ENODEV when
// no device sits at H:C:T:0, and with the errno of the failed step when the
// device has no SCSI generic node or its /dev/sgN does not open.
//
// The host's own SCSI ID is its spi_host hba_id, or 7 on a transport that
// has none.  A Linux adapter in initiator mode does not answer an INQUIRY
// addressed to itself, so that address is answered here: a processor
// (type 3), vendor "LINUX", product the host's proc_name, revision "1.0",
// and as bytes 36-55 the vendor-specific area that IO_SetInitiatorInquiry
// wrote into the adapters file.  That file keys each area by the adapter's
// device path in sysfs (e.g. /devices/pci0000:00/0000:00:04.0) and its
// channel, so a stamp outlives reboots and the renumbering of hosts; it is
// known to this machine only.  Hosts that hang off one device share one
// key.
//
// Only INQUIRY goes to a device, standard or vital product data, through
// SG_IO with a timeout of kCommandTimeoutMs; every other command is refused
// with ILLEGAL REQUEST sense, so nothing sent through the service can
// change a disk.  A check condition leaves fixed-format sense data (key,
// code, qualifier) in the request's sense buffer and fails with EIO; so
// does a transport, host or driver error, without sense.

#ifndef RUDED_PLATFORM_SCSI_LINUX_SERVICE_H_
#define RUDED_PLATFORM_SCSI_LINUX_SERVICE_H_

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/scsi/address.h"
#include "platform/scsi/service.h"
#include "platform/scsi/state.h"

namespace scsi {

constexpr unsigned kCommandTimeoutMs = 20000;
// The host's own ID when its transport reports none.
constexpr int kDefaultHostId = 7;

// The adapters file: "<sysfs device path> <channel> <area>" lines.
extern const AreaFileFormat kAdapterFileFormat;

// A Linux SCSI address.
struct LinuxAddress {
  int host = 0;
  int channel = 0;
  int target = 0;
  int lun = 0;
};

// H:C:T:L of a device number's fields.
LinuxAddress ToLinuxAddress(const DevFields& fields);

class LinuxService : public Service {
 public:
  // sysfs and dev: where sysfs and the device nodes are ("/sys", "/dev");
  // adapters: the adapters file.  Nothing is read before the first call.
  LinuxService(std::string sysfs, std::string dev, std::string adapters);
  LinuxService(const LinuxService&) = delete;
  LinuxService& operator=(const LinuxService&) = delete;

  int Open(const char* path) override;
  int Close(int fd) override;
  int Inquiry(int fd, unsigned char* buffer) override;
  int ProcessorInquiry(int fd, unsigned char* buffer) override;
  int SetInitiatorInquiry(int fd, int length,
                          const unsigned char* data) override;
  uint32_t InitiatorNode(int fd) override;
  int PassThrough(int fd, int request, void* request_block) override;

 private:
  struct Handle {
    bool open = false;
    bool adapter = false;  // the host adapter itself, answered here
    LinuxAddress address;
    int host_id = kDefaultHostId;
    uint32_t major = 0;     // the node's major field
    std::string proc_name;  // adapters: the driver's name
    std::string key;        // adapters: the key of the area
  };

  const Handle* Find(int fd) const;
  int Resolve(uint32_t dev, Handle* handle, int* fd) const;
  bool HasChannel(int host, int channel) const;
  std::string AdapterKey(int host, int channel) const;
  bool AreaOf(const Handle& h, VendorArea* area) const;
  int Send(int fd, const unsigned char* cdb, unsigned char* data,
           uint32_t length, unsigned char* sense) const;
  int Answer(const Handle& h, const unsigned char* cdb, unsigned char* data,
             uint32_t length, unsigned char* sense) const;

  std::string sysfs_, dev_;
  StateFile adapters_;
  std::vector<Handle> handles_;  // by descriptor
};

// The backend of this machine: sysfs, /dev and /var/lib/ruded/adapters
// under the machine root.
std::unique_ptr<Service> MakeLinuxService();

}  // namespace scsi

#endif  // RUDED_PLATFORM_SCSI_LINUX_SERVICE_H_
