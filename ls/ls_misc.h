// Temporary files of one operation.
//
// A TempFile is named from a template such as "/tmp/ZU_queryXXXXXX" with
// mkstemp under the machine root, so the name is unique, the file exists
// before any command writes it, and a link planted under the name is never
// followed.  It is put on the platform's cleanup list at once
// (LS_add_temp_file) and, on every path out of the operation, unlinked and
// taken off the list again (LS_rem_temp_file).

#ifndef RUDED_LS_LS_MISC_H_
#define RUDED_LS_LS_MISC_H_

#include <stdio.h>

#include <memory>

#include "ls/ls_internal.h"

namespace ls {

struct FileCloser {
  void operator()(FILE* f) const {
    if (f != nullptr) fclose(f);
  }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;

class TempFile {
 public:
  TempFile() = default;
  ~TempFile() { Remove(); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Creates the file from template_path (unmapped, ending in "XXXXXX")
  // and registers it for cleanup.  Returns false, with nothing created or
  // registered, when no name can be made (the mapped name would not fit
  // its 1024-byte buffer, or mkstemp fails).
  bool Make(const char* template_path);

  bool made() const { return made_; }
  // The name as messages and the cleanup list show it.
  const char* name() const { return name_; }
  // The name under the machine root: what system calls and shell lines use.
  const char* mapped() const { return mapped_; }

  // Hands the file's descriptor over as a stream opened with mode ("w" or
  // "r"; the stream starts at the beginning of the file).  NULL when the
  // file was not made, was already opened, or fdopen fails.
  UniqueFile Open(const char* mode);

  // Unlinks the file and takes it off the cleanup list; does nothing when
  // the file was not made or is already removed.
  void Remove();

 private:
  char name_[kTempNameSize] = "";
  char mapped_[kTempNameSize] = "";
  int fd_ = -1;
  bool made_ = false;
};

}  // namespace ls

#endif  // RUDED_LS_LS_MISC_H_
