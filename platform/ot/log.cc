#include "platform/ot/log.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <new>

#include "platform/os/os.h"
#include "platform/os/unique_fd.h"
#include "platform/ot/fs.h"
#include "platform/ot/ot.h"

namespace ot {
namespace {

constexpr char kLogDir[] = "/var/adm";

std::string Text(const char* text) { return text == nullptr ? "(null)" : text; }

// Appends "<head>: <text>\n".  A sink has no way to report a failure, so
// a log that cannot be written (or no storage) loses the line and nothing
// else.
template <typename Head>
void EmitV(Head head, const char* format, va_list args) noexcept {
  try {
    std::string err;
    AppendLogLine(
        head() + ": " + TrimTrailingNewlines(FormatText(format, args)) + "\n",
        &err);
  } catch (const std::bad_alloc&) {
  }
}

// The two trace sinks differ only in the word their lines begin with.
void TraceV(const char* kind, int level, const char* component,
            const char* format, va_list args) noexcept {
  if (!TraceEnabled(level)) return;
  EmitV(
      [&] {
        return std::string(kind) + " " + std::to_string(level) + " " +
               Text(component);
      },
      format, args);
}

}  // namespace

std::string FormatText(const char* format, va_list args) {
  if (format == nullptr) return "";
  va_list copy;
  va_copy(copy, args);
  char small[256];
  int n = vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return "";
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, n);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<size_t>(n));
  return text;
}

std::string TrimTrailingNewlines(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

bool AppendLogLine(const std::string& line, std::string* err) {
  std::string mapped = platform::MapPath(kLogPath);
  platform::UniqueFd fd(
      ::open(mapped.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
  if (!fd.valid() && errno == ENOENT) {
    if (!MakeDirs(kLogDir, err)) return false;
    fd.Reset(::open(mapped.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC,
                    0644));
  }
  if (!fd.valid()) {
    *err = SysError("open", kLogPath, errno);
    return false;
  }
  // One write per line: O_APPEND places it whole at the end, so concurrent
  // writers never interleave within a line.  A short write is not retried,
  // since a second write could land behind another process's line.
  ssize_t n = ::write(fd.get(), line.data(), line.size());
  if (n != static_cast<ssize_t>(line.size())) {
    *err = SysError("write", kLogPath, n < 0 ? errno : EIO);
    return false;
  }
  return true;
}

bool TraceEnabled(int level) {
  const char* setting = getenv("OAM_TRACE");
  if (setting == nullptr || *setting == '\0') return false;
  char* end = nullptr;
  errno = 0;
  long threshold = strtol(setting, &end, 10);
  if (errno != 0 || end == setting || *end != '\0') return false;
  return level <= threshold;
}

}  // namespace ot

extern "C" {

void IOLog(const char* component, int message, int detail, const char* format,
           ...) {
  va_list args;
  va_start(args, format);
  ot::EmitV(
      [&] {
        return "LOG " + ot::Text(component) + " " + std::to_string(message) +
               " " + std::to_string(detail);
      },
      format, args);
  va_end(args);
}

void IOTrace(int level, const char* component, const char* format, ...) {
  va_list args;
  va_start(args, format);
  ot::TraceV("TRACE", level, component, format, args);
  va_end(args);
}

void OTtrace(int level, const char* component, const char* format, ...) {
  va_list args;
  va_start(args, format);
  ot::TraceV("OTTRACE", level, component, format, args);
  va_end(args);
}

void OTerror(const char* source, const char* format, ...) {
  va_list args;
  va_start(args, format);
  ot::EmitV([&] { return "ERROR " + ot::Text(source); }, format, args);
  va_end(args);
}

}  // extern "C"
