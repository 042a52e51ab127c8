// The trace facility's private side: the va_list twin of SSPItrace() and
// the seams that tests use in place of standard error and times().

#ifndef SSPI_TRACE_H_
#define SSPI_TRACE_H_

#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>
#include <sys/times.h>

namespace sspi {

// SSPItrace() with its arguments as a va_list.
void TraceV(int level, const char* source, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));

// Where trace lines go; nullptr (the default) means standard error.
// *stream must stay open while it is set.
void SetTraceStream(FILE* stream);

// The clock of the long header; nullptr (the default) means times().
using TickSource = clock_t (*)();
void SetTraceClock(TickSource clock);

// Forgets the time of the previous long line, as at start-up.  The line
// buffer is kept: it only ever grows.
void ResetTraceClock();

// Current size of the shared line buffer; 0 before the first line.
size_t TraceBufferSize();

// Frees the line buffer, as if no line had been written yet.  For tests of
// the first allocation; the library itself never shrinks the buffer.
void ForgetTraceBuffer();

}  // namespace sspi

#endif  // SSPI_TRACE_H_
