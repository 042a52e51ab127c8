// The SCSI I/O service behind the C calls of io.h, and its simulated
// backend: a machine of a cluster served from the cluster's fabric and state.
//
// TheService() picks the backend, once per process: the simulated fabric
// when the machine root lies in a cluster that has one
// ($RUDED_ROOT/../fabric exists), otherwise on Linux the kernel's SCSI
// subsystem (linux_service.h).  A build for another system has no
// hardware without a fabric.
//
// A FabricService is made for one machine root <cluster>/<machine>: the
// machine is the root's last component, the fabric <cluster>/fabric, the
// state <cluster>/fabric.state.  The fabric is read once, when the service
// is made.  No root, or no fabric: there is no hardware and every Open
// fails with ENXIO (TheService() then picks the Linux backend instead).  A
// fabric that cannot be read or parsed is reported once on standard error
// ("<path>:<line>: <what>") and every Open fails with EIO.
//
// Open resolves a node's device number to a device and hands out a real
// descriptor (a duplicate of the open fabric file) that the service maps to
// that device until Close.  The other calls take such a descriptor; any
// other descriptor gives EBADF.  Every call returns -1 (or, for
// InitiatorNode, 0xFFFFFFFF) with errno set on failure.

#ifndef RUDED_PLATFORM_SCSI_SERVICE_H_
#define RUDED_PLATFORM_SCSI_SERVICE_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/os/unique_fd.h"
#include "platform/scsi/fabric.h"
#include "platform/scsi/io.h"
#include "platform/scsi/state.h"

namespace scsi {

// How every call of either backend fails: errno set to error, result -1.
int Fail(int error);

// Keeps the 20 bytes at data as the vendor-specific area under key in
// file, as SetInitiatorInquiry does in either backend.  Returns 0, or
// prints the file's message on standard error and fails with its errno.
int StoreArea(const StateFile& file, const std::string& key,
              const unsigned char* data);

// The pass-through request of either backend, checked in the order its
// errors take precedence (request code, block, descriptor, command, CDB
// length, data); nullptr with errno set when it is not one to carry out.
// open: whether the descriptor addresses an open device.
const ScsiRequest* CheckedRequest(int request, void* request_block, bool open);

// One backend: the calls of io.h, with their results and errors.
class Service {
 public:
  virtual ~Service() = default;

  virtual int Open(const char* path) = 0;
  virtual int Close(int fd) = 0;
  virtual int Inquiry(int fd, unsigned char* buffer) = 0;
  virtual int ProcessorInquiry(int fd, unsigned char* buffer) = 0;
  virtual int SetInitiatorInquiry(int fd, int length,
                                  const unsigned char* data) = 0;
  virtual uint32_t InitiatorNode(int fd) = 0;
  // REQUIRES: request_block is null or points to a ScsiRequest.
  virtual int PassThrough(int fd, int request, void* request_block) = 0;
};

class FabricService : public Service {
 public:
  // root: the machine root without a trailing slash; "" for none.
  explicit FabricService(const std::string& root);
  FabricService(const FabricService&) = delete;
  FabricService& operator=(const FabricService&) = delete;

  const std::string& machine() const { return machine_; }
  // Whether the root lies in a cluster with a fabric file (good or bad).
  bool has_fabric() const { return hardware_ != Hardware::kNone; }

  int Open(const char* path) override;
  int Close(int fd) override;
  int Inquiry(int fd, unsigned char* buffer) override;
  int ProcessorInquiry(int fd, unsigned char* buffer) override;
  int SetInitiatorInquiry(int fd, int length,
                          const unsigned char* data) override;
  uint32_t InitiatorNode(int fd) override;
  int PassThrough(int fd, int request, void* request_block) override;

 private:
  enum class Hardware { kNone, kBad, kPresent };

  // The sense key and additional sense code of a check condition.
  struct Sense {
    uint8_t key;
    uint8_t code;
  };

  // What an open descriptor addresses.
  struct Handle {
    const Device* device = nullptr;  // the target; null: not ours
    const Device* local = nullptr;   // this machine's adapter on that bus
    uint32_t major = 0;              // the node's major field
  };

  const Handle* Find(int fd) const;
  int Resolve(uint32_t dev, Handle* handle) const;
  bool AreaOf(const Device& adapter, VendorArea* area) const;
  int Execute(const Device& device, const ScsiCommand& cmd, Sense* sense) const;

  Hardware hardware_ = Hardware::kNone;
  std::string machine_;
  Fabric fabric_;
  platform::UniqueFd fabric_file_;  // every descriptor handed out duplicates it
  StateFile state_;
  std::vector<Handle> handles_;  // by descriptor
};

// The service of the machine named by RUDED_ROOT, made on first use: the
// one place that chooses the backend.
Service& TheService();

// Forgets TheService(), so that the next call reads RUDED_ROOT and the
// fabric again and chooses anew.  For tests that switch machines within one
// process.
void ResetServiceForTesting();

}  // namespace scsi

#endif  // RUDED_PLATFORM_SCSI_SERVICE_H_
