// The C entry points of the SCSI I/O service: thin wrappers that hand each
// call to the machine's Service behind one barrier.

#include "platform/scsi/io.h"

#include <errno.h>
#include <stdio.h>

#include <exception>
#include <new>

#include "platform/scsi/service.h"

namespace {

// The C edge of every IO_* call.  One rule: storage that runs out
// (std::bad_alloc) is the call's storage failure, ENOMEM; any other
// exception is its failure, EIO, with a line on standard error as the
// service reports its other troubles; no exception ever reaches (or
// terminates) the C caller.
template <typename Result, typename Call>
Result Guard(Result failure, Call call) noexcept {
  try {
    return call(scsi::TheService());
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    return failure;
  } catch (const std::exception& e) {
    fprintf(stderr, "SCSI I/O service: %s\n", e.what());
  } catch (...) {
    fprintf(stderr, "SCSI I/O service: unknown exception\n");
  }
  errno = EIO;
  return failure;
}

}  // namespace

extern "C" {

// The request code of the pass-through: "SC" and a command number.
int libio_magic = 0x53430001;

int IO_Open(const char* path, int flags) {
  (void)flags;  // the service opens every node the same way
  return Guard(-1, [&](scsi::Service& s) { return s.Open(path); });
}

int IO_Close(int fd) {
  return Guard(-1, [&](scsi::Service& s) { return s.Close(fd); });
}

int IO_Inquiry(int fd, unsigned char* buffer) {
  return Guard(-1, [&](scsi::Service& s) { return s.Inquiry(fd, buffer); });
}

int IO_GetProcessorInquiry(int fd, unsigned char* buffer) {
  return Guard(-1, [&](scsi::Service& s) {
    return s.ProcessorInquiry(fd, buffer);
  });
}

int IO_SetInitiatorInquiry(int fd, int length, unsigned char* data) {
  return Guard(-1, [&](scsi::Service& s) {
    return s.SetInitiatorInquiry(fd, length, data);
  });
}

uint32_t IO_GetInitiatorNode(int fd) {
  return Guard(0xFFFFFFFFu, [&](scsi::Service& s) {
    return s.InitiatorNode(fd);
  });
}

int IO_PassThrough(int fd, int request, void* request_block) {
  return Guard(-1, [&](scsi::Service& s) {
    return s.PassThrough(fd, request, request_block);
  });
}

}  // extern "C"
