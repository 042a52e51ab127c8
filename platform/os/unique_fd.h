// A move-only owner of a file descriptor, and whole reads and writes through
// one.  Every stand-in that holds a descriptor holds it in a UniqueFd, so no
// early return can leak it.

#ifndef RUDED_PLATFORM_OS_UNIQUE_FD_H_
#define RUDED_PLATFORM_OS_UNIQUE_FD_H_

#include <string>

namespace platform {

// Owns a file descriptor (or none, -1) and closes it when it goes out of
// scope.
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
  // Gives the descriptor up without closing it; returns it (-1: none).
  int Release();
  // Closes the owned descriptor, if any, and owns fd instead.
  void Reset(int fd = -1);

 private:
  int fd_ = -1;
};

// Appends what remains to be read from fd to *text.  Returns false with
// errno set when a read fails.
bool ReadAll(int fd, std::string* text);

// Writes all of text to fd.  Returns false when a write fails (errno set)
// or writes nothing.
bool WriteAll(int fd, const std::string& text);

}  // namespace platform

#endif  // RUDED_PLATFORM_OS_UNIQUE_FD_H_
