#include "platform/ot/fs.h"

#include <errno.h>
#include <string.h>
#include <sys/stat.h>

#include "platform/os/os.h"

namespace ot {

std::string SysError(const std::string& call, const std::string& path,
                     int error) {
  return call + "(" + path + "): " + strerror(error);
}

bool MakeDirs(const std::string& path, std::string* err) {
  // Walk the unmapped components so that the machine root itself is never
  // created: a mistyped RUDED_ROOT must fail, not grow a new machine.
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string prefix = path.substr(0, slash);
    std::string mapped = platform::MapPath(prefix);
    if (::mkdir(mapped.c_str(), 0755) != 0 && errno != EEXIST) {
      *err = SysError("mkdir", prefix, errno);
      return false;
    }
    if (slash == std::string::npos) break;
  }
  struct stat st;
  if (::stat(platform::MapPath(path).c_str(), &st) != 0 ||
      !S_ISDIR(st.st_mode)) {
    *err = path + ": not a directory";
    return false;
  }
  return true;
}

}  // namespace ot
