#include "cspec/responder.h"

#include <errno.h>
#include <stdio.h>

#include <string>

#include "cspec/alloc.h"
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

// The temporary node made for dev and opened.  Returns the descriptor, or
// -1 after the failed step's debug line.
int open_target(uint32_t dev) {
  if (make_tmp_node(dev) != 0) {
    debug_perror("mknod responder");
    return -1;
  }
  int fd = IO_Open(tmpdev_name, 0);
  if (fd < 0) {
    int err = errno;
    debug("Open Responder Node: c%s, Errno=%d\n", device_name(dev).c_str(),
          err);
  }
  return fd;
}

bool read_inquiry(uint32_t dev, int fd, unsigned char* inquiry) {
  if (my_IO_Inquiry(fd, inquiry) >= 0) return true;
  int err = errno;
  debug("IO_Inquiry failure to c%s, Errno=%d\n", device_name(dev).c_str(), err);
  return false;
}

bool read_far_area(uint32_t dev, int fd, unsigned char* proc) {
  if (my_IO_GetProcessorInquiry(fd, proc) >= 0) return true;
  int err = errno;
  debug("IO_GetProcessorInquiry failure to c%s: Errno=%d\n",
        device_name(dev).c_str(), err);
  return false;
}

void identify_disk(uint32_t dev, int fd, const unsigned char* inquiry) {
  if ((opt_mode & OPT_RESP) && device_info_fp != nullptr)
    obtain_device_info(dev, fd, inquiry);
}

// The far machine's node name as the path's suffix ("_nodeB"), or "" with
// -c, for an unset area, or for a name that is no plain file name.
std::string far_suffix(uint32_t dev, const unsigned char* proc) {
  if (opt_c != 0 || !area_is_set(proc)) return "";
  std::string name = area_node_name(proc);
  if (is_plain_node_name(name)) return "_" + name;
  fprintf(stderr,
          "qv_cspec: Warning: Ignoring node name \"%s\" of responder c%s: "
          "not a plain file name\n",
          escape_node_name(name).c_str(), target_name(dev).c_str());
  return "";
}

// A name that is no plain file name is shown escaped here too: it would
// otherwise reach the terminal as it stands.
void report(const std::string& path, const unsigned char* proc) {
  if (!area_is_set(proc)) {
    fprintf(stderr, "Responder %s: uninitialized\n", path.c_str());
    return;
  }
  std::string name = area_node_name(proc);
  if (!is_plain_node_name(name)) name = escape_node_name(name);
  printf("Responder %s: set to %s:%s\n", path.c_str(), area_owner(proc).c_str(),
         name.c_str());
}

TargetOutcome enter_responder(uint32_t dev, IoHandle& handle) {
  unsigned char proc[IO_PROCESSOR_INQUIRY_LENGTH] = {};
  if (!read_far_area(dev, handle.get(), proc)) return TargetOutcome::kFailed;
  handle.close();
  std::string path = std::string(CSPECIALS_DIR) + "/r" + adapter_name(dev) +
                     far_suffix(dev, proc);
  if (add_node(path.c_str(), dev, NODE_RESPONDER) == -1)
    return TargetOutcome::kFailed;
  if (opt_mode == 0) report(path, proc);
  return TargetOutcome::kResponder;
}

TargetOutcome classify_target(uint32_t idev, int target) {
  uint32_t dev = dev_with_target(idev, static_cast<unsigned>(target));
  int fd = open_target(dev);
  if (fd < 0) return TargetOutcome::kNoAnswer;
  IoHandle handle(fd);
  unsigned char inquiry[IO_INQUIRY_LENGTH] = {};
  if (!read_inquiry(dev, fd, inquiry)) return TargetOutcome::kNoAnswer;
  switch (inquiry[0] & 0x1F) {
    case kDirectAccessType:
      identify_disk(dev, fd, inquiry);
      return TargetOutcome::kDisk;
    case kProcessorType:
      return enter_responder(dev, handle);
    default:
      return TargetOutcome::kOtherType;
  }
}

}  // namespace

TargetOutcome probe_target(uint32_t idev, int target) {
  return or_no_memory(TargetOutcome::kFailed,
                      [&] { return classify_target(idev, target); });
}

int setup_responder(uint32_t idev, int target) {
  return probe_target(idev, target) == TargetOutcome::kResponder ? 0 : -1;
}
