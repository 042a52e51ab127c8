#include "ls/ls_misc.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "platform/os/os.h"
#include "platform/ot/ot.h"

namespace {

constexpr size_t kKindSize = sizeof(uint16_t);

// The cleanup service takes a 16-bit kind (0: a file) followed at once by
// the path text.
bool CleanupEntry(const char* path, char (&entry)[kKindSize + ls::kTempNameSize]) {
  size_t n = strlen(path);
  if (n >= ls::kTempNameSize) return false;
  const uint16_t kind = 0;
  memcpy(entry, &kind, kKindSize);
  memcpy(entry + kKindSize, path, n + 1);
  return true;
}

void Cleanup(const char* path, int operation, const char* failure) {
  char entry[kKindSize + ls::kTempNameSize];
  if (path == nullptr || !CleanupEntry(path, entry) ||
      OTcleanup(entry, operation) != 0) {
    OTerror("LSmisc", "%s", failure);
  }
}

}  // namespace

void LS_add_temp_file(const char* path) {
  Cleanup(path, OT_CLEANUP_ADD, "LS_add_temp_file: OTcleanup failed\n");
}

void LS_rem_temp_file(const char* path) {
  Cleanup(path, OT_CLEANUP_REMOVE, "LS_rem_temp_file: OTcleanup failed\n");
}

namespace ls {

bool TempFile::Make(const char* template_path) {
  Remove();
  std::string mapped = platform::MapPath(template_path);
  size_t tlen = strlen(template_path);
  if (mapped.size() >= sizeof mapped_ || tlen < 6) return false;
  memcpy(mapped_, mapped.c_str(), mapped.size() + 1);
  // mkstemp opens with O_EXCL: an existing file or a planted link under the
  // chosen name makes it pick another name rather than follow it.
  int fd = mkstemp(mapped_);
  if (fd < 0) {
    mapped_[0] = '\0';
    return false;
  }
  fd_ = fd;
  // The unmapped name ends in the same six characters mkstemp chose.
  memcpy(name_, template_path, tlen + 1);
  memcpy(name_ + tlen - 6, mapped_ + mapped.size() - 6, 6);
  made_ = true;
  LS_add_temp_file(name_);
  return true;
}

UniqueFile TempFile::Open(const char* mode) {
  if (!made_ || fd_ < 0) return nullptr;
  FILE* f = fdopen(fd_, mode);
  if (f == nullptr) return nullptr;
  fd_ = -1;  // the stream owns the descriptor now
  return UniqueFile(f);
}

void TempFile::Remove() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  if (!made_) return;
  made_ = false;
  unlink(mapped_);
  LS_rem_temp_file(name_);
}

}  // namespace ls
