// Small file-system helpers shared by the object-tool stand-in: an owning
// descriptor, directory creation under the machine root, and the one place
// that turns errno into a message.

#ifndef RUDED_PLATFORM_OT_FS_H_
#define RUDED_PLATFORM_OT_FS_H_

#include <string>

namespace ot {

// Owns a file descriptor and closes it when it goes out of scope.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Release();
  void Reset(int fd = -1);

 private:
  int fd_ = -1;
};

// "<call>(<path>): <strerror(error)>", the form of every system error
// message here.  path is the unmapped path the user knows.
std::string SysError(const std::string& call, const std::string& path,
                     int error);

// Creates the directory path (unmapped, absolute) and its missing parents
// below the machine root, mode 0755.  The machine root itself must exist.
// Returns false with a message in *err.
bool MakeDirs(const std::string& path, std::string* err);

// Writes all of text to fd.  Returns false with errno set otherwise.
bool WriteAll(int fd, const std::string& text);

}  // namespace ot

#endif  // RUDED_PLATFORM_OT_FS_H_
