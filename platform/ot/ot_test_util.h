// A private machine root for the library's unit tests.

#ifndef RUDED_PLATFORM_OT_OT_TEST_UTIL_H_
#define RUDED_PLATFORM_OT_OT_TEST_UTIL_H_

#include <string>

namespace ot {

// Makes a temporary directory, points RUDED_ROOT at it and clears
// OAM_TRACE and OAM_DEVTAB; undoes all of it when destroyed.
class ScopedMachine {
 public:
  ScopedMachine();
  ~ScopedMachine();
  ScopedMachine(const ScopedMachine&) = delete;
  ScopedMachine& operator=(const ScopedMachine&) = delete;

  const std::string& root() const { return root_; }
  // The host path of an unmapped path on this machine.
  std::string Host(const std::string& path) const { return root_ + path; }
  // The machine's log, "" when there is none.
  std::string Log() const;
  // Writes text into the file at path (unmapped), making its directories.
  void Write(const std::string& path, const std::string& text) const;
  std::string Read(const std::string& path) const;

 private:
  std::string root_;
};

}  // namespace ot

#endif  // RUDED_PLATFORM_OT_OT_TEST_UTIL_H_
