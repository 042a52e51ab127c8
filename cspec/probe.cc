#include "cspec/probe.h"

#include <errno.h>
#include <stdio.h>

#include <string>

#include "cspec/devnum.h"
#include "cspec/initiator.h"
#include "cspec/responder.h"
#include "cspec/state.h"
#include "cspec/tmpnode.h"
#include "cspec/xlist.h"
#include "platform/scsi/io.h"

namespace {

// How a target search ended.
enum class Search { kFound, kNextScsiBus, kNextController };

struct Found {
  int fd = -1;
  unsigned target = 0;
  uint32_t probe_dev = 0;
};

// One try: the temporary node for dev, opened.  Returns the descriptor, or
// -1 with errno set (by the open, or by the node's creation).
int try_open(uint32_t dev) {
  // Names are only formatted for -d: this runs up to 4096 times.
  if (opt_debug) debug("mk tmp nod(c%s)\n", device_name(dev).c_str());
  if (make_tmp_node(dev) != 0) {
    debug_perror("mknod .tmpdev");
    errno = 0;  // a failed creation passes over the target, never ENXIO
    return -1;
  }
  int fd = IO_Open(tmpdev_name, 0);
  if (fd == -1 && opt_debug) {
    int err = errno;
    debug("Open tmp node: c%s, Errno=%d\n", device_name(dev).c_str(), err);
    errno = err;
  }
  return fd;
}

Search search_targets(unsigned bus, unsigned cntl, unsigned scsi_bus,
                      Found* found) {
  for (unsigned target = 0; target < MAX_PUN; ++target) {
    uint32_t dev = make_dev(scsi_major, bus, cntl, scsi_bus, target);
    int fd = try_open(dev);
    if (fd != -1) {
      *found = Found{fd, target, dev};
      return Search::kFound;
    }
    if (errno == ENXIO) {
      return target == 0 ? Search::kNextController : Search::kNextScsiBus;
    }
  }
  return Search::kNextScsiBus;
}

bool same_adapter(uint32_t a, uint32_t b) {
  return dev_bus(a) == dev_bus(b) && dev_cntl(a) == dev_cntl(b) &&
         dev_scsi_bus(a) == dev_scsi_bus(b);
}

bool excluded(uint32_t idev, unsigned target) {
  if (xlist == nullptr) return false;
  std::string key = std::string(1, kXlistSeparator) + "c" +
                    target_name(dev_with_target(idev, target)) +
                    kXlistSeparator;
  return xlist_contains(key.c_str());
}

void scan_responders(uint32_t idev, unsigned first) {
  for (unsigned target = first; target < MAX_PUN; ++target) {
    if (target == dev_target(idev) || excluded(idev, target)) continue;
    setup_responder(idev, static_cast<int>(target));
  }
}

// The SCSI bus where found's target opened.
void set_up_bus(const Found& found) {
  uint32_t idev = dev_with_major(IO_GetInitiatorNode(found.fd), scsi_major);
  IO_Close(found.fd);
  if (!same_adapter(idev, found.probe_dev)) {
    fprintf(stderr,
            "qv_cspec: Warning: Initiator mismatch: tdev=c%s, idev=c%s\n",
            target_name(found.probe_dev).c_str(), target_name(idev).c_str());
    return;
  }
  if (setup_initiator(idev) == -1 && !(opt_mode & OPT_RESP)) return;
  scan_responders(idev, found.target);
}

void probe_controller(unsigned bus, unsigned cntl) {
  for (unsigned scsi_bus = 0; scsi_bus < MAX_SCSI_BUS; ++scsi_bus) {
    Found found;
    Search end = search_targets(bus, cntl, scsi_bus, &found);
    if (end == Search::kNextController) return;
    if (end == Search::kFound) set_up_bus(found);
  }
}

}  // namespace

void probe_adapters() {
  for (unsigned bus = 0; bus < MAX_BUS; ++bus) {
    for (unsigned cntl = 0; cntl < MAX_CNTL; ++cntl)
      probe_controller(bus, cntl);
  }
}
