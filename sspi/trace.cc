// SSPItrace: one levelled, printf-style trace line per call, on standard
// error, with a short ("source: ") or long (ticks, difference, source,
// level name) header.

#include "sspi/trace.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "sspi.h"
#include "sspi/alloc.h"

namespace sspi {
namespace {

constexpr size_t kMinBufferSize = 180;
constexpr size_t kLongAllowance = 50;
constexpr size_t kShortAllowance = 25;
constexpr size_t kMaxSourceLength = 20;

// Level names, padded to 11 columns; the index is the level.
constexpr const char* kLevelNames[] = {
    "LOG_EMERG  ", "LOG_ALERT  ", "LOG_CRIT   ", "LOG_ERR    ",
    "LOG_WARNING", "LOG_NOTICE ", "LOG_INFO   ", "LOG_DEBUG  ",
    "LOG_OT     ", "LOG_SSPI   "};
constexpr int kLevelCount = sizeof kLevelNames / sizeof kLevelNames[0];

FILE* g_stream = nullptr;  // nullptr: standard error
TickSource g_clock = nullptr;  // nullptr: times()
clock_t g_previous_ticks = -1;  // ticks of the previous long line; <0: none
char* g_buffer = nullptr;  // shared line buffer, never freed
size_t g_buffer_size = 0;

FILE* Stream() { return g_stream ? g_stream : stderr; }

clock_t Now() {
  if (g_clock) return g_clock();
  struct tms unused;
  return times(&unused);
}

// Writes text at the end of the trace stream, as every trace output does:
// another writer may have appended to the same file meanwhile.
void WriteAtEnd(const char* format, va_list args) {
  FILE* out = Stream();
  fseek(out, 0, SEEK_END);
  vfprintf(out, format, args);
  fflush(out);
}

void WriteMessage(const char* text) {
  FILE* out = Stream();
  fseek(out, 0, SEEK_END);
  fputs(text, out);
  fflush(out);
}

// Levels without a name of their own show their number instead, padded
// like the others.
void LevelName(int level, char* name, size_t size) {
  if (level >= 0 && level < kLevelCount) {
    snprintf(name, size, "%s", kLevelNames[level]);
    return;
  }
  char number[16];
  snprintf(number, sizeof number, "LOG_%d", level);
  snprintf(name, size, "%-11s", number);
}

// Formats the line header into header[size]; a long one with the time in
// *now, which becomes the previous line's only once the line is written.
void FormatHeader(bool long_form, int level, const char* source,
                  char* header, size_t size, clock_t* now) {
  size_t length = strlen(source);
  if (length > kMaxSourceLength) source += length - kMaxSourceLength;
  if (!long_form) {
    snprintf(header, size, "%s: ", source);
    return;
  }
  *now = Now();
  long diff =
      g_previous_ticks < 0 ? 0 : static_cast<long>(*now - g_previous_ticks);
  char name[24];
  LevelName(level, name, sizeof name);
  snprintf(header, size, "%08ld %4ld %-20s %11.11s: ",
           static_cast<long>(*now), diff, source, name);
}

// Makes the shared buffer hold at least `needed` bytes.  On failure the
// old buffer is kept, the reason is written, and false is returned.
bool ReserveBuffer(size_t needed) {
  if (g_buffer != nullptr && needed <= g_buffer_size) return true;
  size_t size = needed < kMinBufferSize ? kMinBufferSize : needed;
  char* grown = static_cast<char*>(Reallocate(g_buffer, size));
  if (grown == nullptr) {
    WriteMessage(g_buffer == nullptr
                     ? "Cannot allocate buffer for trace line output\n"
                     : "Cannot re-allocate buffer for trace line output\n");
    return false;
  }
  g_buffer = grown;
  g_buffer_size = size;
  return true;
}

// Copies the formatted header into the line buffer with every "%" doubled,
// so that the header reads literally when the line is used as a format.
char* CopyHeader(const char* header, char* out) {
  for (; *header; ++header) {
    if (*header == '%') *out++ = '%';
    *out++ = *header;
  }
  return out;
}

size_t EscapedLength(const char* text) {
  size_t n = 0;
  for (; *text; ++text) n += *text == '%' ? 2 : 1;
  return n;
}

}  // namespace

void TraceV(int level, const char* source, const char* format, va_list args) {
  if (level != sspi_explicit_level && level > sspi_verbose_level) return;
  if (source == nullptr) source = "";
  if (format == nullptr) format = "";
  bool long_form = sspi_verbose_level >= SSPI_LOG_DEBUG;
  char header[160];
  clock_t now = g_previous_ticks;
  FormatHeader(long_form, level, source, header, sizeof header, &now);
  size_t header_length = EscapedLength(header);
  size_t allowance = long_form ? kLongAllowance : kShortAllowance;
  if (header_length > allowance) allowance = header_length;
  // A dropped line leaves the clock alone: the next line's difference is
  // measured from the last line written.
  if (!ReserveBuffer(allowance + strlen(format) + 2)) return;
  g_previous_ticks = now;
  char* end = CopyHeader(header, g_buffer);
  size_t format_length = strlen(format);
  memcpy(end, format, format_length);
  end[format_length] = '\n';
  end[format_length + 1] = '\0';
  WriteAtEnd(g_buffer, args);
}

void SetTraceStream(FILE* stream) { g_stream = stream; }
void SetTraceClock(TickSource clock) { g_clock = clock; }
void ResetTraceClock() { g_previous_ticks = -1; }
size_t TraceBufferSize() { return g_buffer_size; }

void ForgetTraceBuffer() {
  free(g_buffer);
  g_buffer = nullptr;
  g_buffer_size = 0;
}

}  // namespace sspi

extern "C" {

void SSPItrace(int level, const char* source, const char* format, ...) {
  va_list args;
  va_start(args, format);
  sspi::TraceV(level, source, format, args);
  va_end(args);
}

}  // extern "C"
