// A move-only owner of a file descriptor, and reading a whole file through
// one.

#ifndef RUDED_PLATFORM_SCSI_UNIQUE_FD_H_
#define RUDED_PLATFORM_SCSI_UNIQUE_FD_H_

#include <unistd.h>

#include <string>

namespace scsi {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = other.Release();
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

// Appends what remains to be read from fd to *text.  Returns false with
// errno set when a read fails.
bool ReadAll(int fd, std::string* text);

// Writes all of text to fd.  Returns false with errno set on failure.
bool WriteAll(int fd, const std::string& text);

}  // namespace scsi

#endif  // RUDED_PLATFORM_SCSI_UNIQUE_FD_H_
