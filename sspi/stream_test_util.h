// Memory streams for the stream tests.

#ifndef SSPI_STREAM_TEST_UTIL_H_
#define SSPI_STREAM_TEST_UTIL_H_

#include <stdio.h>

#include <memory>
#include <string>

namespace sspi_test {

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// A temporary file holding text, positioned at its start.
inline FilePtr StreamOf(const std::string& text) {
  FilePtr f(tmpfile());
  fwrite(text.data(), 1, text.size(), f.get());
  rewind(f.get());
  return f;
}

// Everything from the current position to the end.
inline std::string Rest(FILE* f) {
  std::string text;
  for (int c; (c = getc(f)) != EOF;) text.push_back(static_cast<char>(c));
  return text;
}

}  // namespace sspi_test

#endif  // SSPI_STREAM_TEST_UTIL_H_
