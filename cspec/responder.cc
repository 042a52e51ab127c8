#include "cspec/responder.h"

#include <errno.h>
#include <stdio.h>

#include <string>

#include "cspec/devnum.h"
#include "cspec/identify.h"
#include "cspec/node_list.h"
#include "cspec/scsi_cmd.h"
#include "cspec/state.h"
#include "cspec/tmpnode.h"
#include "cspec/vendor_area.h"

namespace {

constexpr int kDirectAccessType = 0;
constexpr int kProcessorType = 3;

void report(const std::string& path, const unsigned char* proc) {
  if (!area_is_set(proc)) {
    fprintf(stderr, "Responder %s: uninitialized\n", path.c_str());
  } else {
    printf("Responder %s: set to %s\n", path.c_str(),
           area_owner_text(proc).c_str());
  }
}

// The far adapter behind handle: its node, named after the far machine
// when its area is set.
int enter_processor(uint32_t dev, IoHandle& handle) {
  unsigned char proc[IO_PROCESSOR_INQUIRY_LENGTH] = {};
  if (my_IO_GetProcessorInquiry(handle.get(), proc) < 0) {
    int err = errno;
    debug("IO_GetProcessorInquiry failure to c%s: Errno=%d\n",
          device_name(dev).c_str(), err);
    return -1;
  }
  handle.close();
  std::string path = std::string(CSPECIALS_DIR) + "/r" + adapter_name(dev);
  if (opt_c == 0 && area_is_set(proc)) path += "_" + area_node_name(proc);
  if (add_node(path.c_str(), dev, NODE_RESPONDER) == -1) return -1;
  if (opt_mode == 0) report(path, proc);
  return 0;
}

}  // namespace

int setup_responder(uint32_t idev, int target) {
  uint32_t dev = dev_with_target(idev, static_cast<unsigned>(target));
  if (make_tmp_node(dev) != 0) {
    debug_perror("mknod responder");
    return -1;
  }
  int fd = IO_Open(tmpdev_name, 0);
  if (fd < 0) {
    int err = errno;
    debug("Open Responder Node: c%s, Errno=%d\n", device_name(dev).c_str(),
          err);
    return -1;
  }
  IoHandle handle(fd);
  unsigned char inquiry[IO_INQUIRY_LENGTH] = {};
  if (my_IO_Inquiry(fd, inquiry) < 0) {
    int err = errno;
    debug("IO_Inquiry failure to c%s, Errno=%d\n", device_name(dev).c_str(),
          err);
    return -1;
  }
  int type = inquiry[0] & 0x1F;
  if (type == kDirectAccessType && (opt_mode & OPT_RESP) &&
      device_info_fp != nullptr) {
    obtain_device_info(dev, fd, inquiry);
  }
  if (type != kProcessorType) return -1;
  return enter_processor(dev, handle);
}
