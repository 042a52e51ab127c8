#include "cspec/mdevice.h"

#include <ctype.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

#include "cspec/alloc.h"
#include "platform/os/os.h"

namespace {

constexpr char kMdevice[] = "/etc/conf/cf.d/mdevice";
constexpr int kWords = 6;
constexpr size_t kFieldSize = 20;

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};

// Reads one blank-separated word into field, cut to kFieldSize - 1
// characters.  Returns false when the stream ends before a word begins.
bool read_word(FILE* in, char (&field)[kFieldSize]) {
  int c;
  do {
    c = getc(in);
  } while (c != EOF && isspace(c));
  if (c == EOF) return false;
  size_t n = 0;
  for (; c != EOF && !isspace(c); c = getc(in)) {
    if (n < kFieldSize - 1) field[n++] = static_cast<char>(c);
  }
  field[n] = '\0';
  if (c != EOF) ungetc(c, in);
  return true;
}

void skip_line(FILE* in) {
  int c;
  do {
    c = getc(in);
  } while (c != EOF && c != '\n');
}

// The decimal number at the start of a word, as atoi() reads it but
// without its undefined overflow.
int leading_number(const char* word) {
  long value = strtol(word, nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace

bool read_scsi_major(FILE* in, int* major) {
  char words[kWords][kFieldSize];
  for (;;) {
    for (auto& word : words) {
      if (!read_word(in, word)) return false;
    }
    skip_line(in);
    if (strcmp(words[0], "SCSI") == 0) {
      *major = leading_number(words[5]);
      return true;
    }
  }
}

int get_scsi_major() {
  std::unique_ptr<FILE, FileCloser> in(or_no_memory<FILE*>(
      nullptr, [] { return fopen(platform::MapPath(kMdevice).c_str(), "r"); }));
  if (in == nullptr) {
    perror("qv_cspec: mdevice");
    return kDefaultScsiMajor;
  }
  int major;
  if (read_scsi_major(in.get(), &major)) return major;
  fputs("qv_cspec: Unable to find SCSI major\n", stderr);
  return kDefaultScsiMajor;
}
