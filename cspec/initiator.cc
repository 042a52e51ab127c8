#include "cspec/initiator.h"

#include <errno.h>
#include <stdio.h>

#include <string>

#include "cspec/alloc.h"
#include "cspec/devnum.h"
#include "cspec/node_list.h"
#include "cspec/scsi_cmd.h"
#include "cspec/state.h"
#include "cspec/tmpnode.h"
#include "cspec/vendor_area.h"
#include "platform/os/os.h"

namespace {

constexpr int kProcessorType = 3;

struct Initiator {
  uint32_t dev;
  std::string path;  // CSPECIALS_DIR "/c" adapter name
  const char* node_name;
  int fd;
};

// The adapter answers as a processor and yields its processor INQUIRY
// data into proc.
bool read_processor(const Initiator& in, unsigned char* proc) {
  unsigned char inquiry[IO_INQUIRY_LENGTH] = {};
  if (my_IO_Inquiry(in.fd, inquiry) < 0) {
    debug("setup_initiator,IO_Inquiry(%s)", in.path.c_str());
    return false;
  }
  int type = inquiry[0] & 0x1F;
  if (type != kProcessorType) {
    debug("setup_initiator,IO_Inquiry(%s): Periph_Device_Type=0x%x",
          in.path.c_str(), type);
    return false;
  }
  if (my_IO_GetProcessorInquiry(in.fd, proc) < 0) {
    debug("setup_initiator, IO_GetProcessorInquiry(%s): %d\n", in.path.c_str(),
          errno);
    return false;
  }
  return true;
}

int report(const Initiator& in, const unsigned char* proc) {
  printf("Initiator %s: ", in.path.c_str());
  if (!area_is_set(proc)) {
    printf("uninitialized\n");
    return -1;
  }
  printf("set to %s\n", area_owner_text(proc).c_str());
  return 0;
}

int stamp(const Initiator& in, unsigned char* proc) {
  stamp_area(proc, in.dev, in.node_name);
  debug("Setting Vendor Specific Information\n");
  if (IO_SetInitiatorInquiry(in.fd, IO_VENDOR_AREA_LENGTH,
                             proc + IO_VENDOR_AREA_OFFSET) < 0) {
    debug("setup_initiator, IO_SetInitiatorInquiry(%s): %d\n", in.path.c_str(),
          errno);
    return -1;
  }
  if (my_IO_GetProcessorInquiry(in.fd, proc) < 0) {
    debug("setup_initiator, IO_GetProcessorInquiry(%s): %d\n", in.path.c_str(),
          errno);
    return -1;
  }
  if (!area_is_set(proc)) {
    debug("setup_initiator: magic number wrong for file=%s", in.path.c_str());
    return -1;
  }
  return 0;
}

int set_up(const Initiator& in) {
  unsigned char proc[IO_PROCESSOR_INQUIRY_LENGTH] = {};
  if (!read_processor(in, proc)) return -1;
  if (add_node(in.path.c_str(), in.dev, NODE_INITIATOR) == -1) return -1;
  if (opt_mode == 0) return report(in, proc);
  if ((opt_mode & OPT_INIT) && !area_is_set(proc)) return stamp(in, proc);
  return 0;
}

int set_up_adapter(uint32_t dev) {
  debug("setup_initiator(c%s)\n", device_name(dev).c_str());
  svr4_utsname uts;
  if (nuname(&uts) != 0) {
    debug_perror("uname");
    return -1;
  }
  std::string path = std::string(CSPECIALS_DIR) + "/c" + adapter_name(dev);
  if (make_tmp_node(dev) != 0) {
    debug_perror("mknod initiator");
    return -1;
  }
  int fd = IO_Open(tmpdev_name, 0);
  if (fd < 0) {
    debug("Open Initiator Node: %s, Errno=%d\n", path.c_str(), errno);
    return -1;
  }
  IoHandle handle(fd);
  return set_up(Initiator{dev, path, uts.nodename, fd});
}

}  // namespace

int setup_initiator(uint32_t dev) {
  return or_no_memory(-1, [&] { return set_up_adapter(dev); });
}
