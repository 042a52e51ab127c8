#include "cspec/mdevice.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <stdio.h>

#include <string>

namespace {

constexpr int kNone = -99;  // no SCSI record

int major_of(const std::string& text) {
  std::string copy = text;  // fmemopen of an empty buffer needs one byte
  copy.push_back('\0');
  FILE* in = fmemopen(copy.data(), text.size(), "r");
  if (in == nullptr) return INT_MIN;
  int major = kNone;
  if (!read_scsi_major(in, &major)) major = kNone;
  fclose(in);
  return major;
}

TEST(MdeviceTest, RecordReader) {
  const std::string long_word(40, 'x');
  const std::string k100K(100 * 1024, 'x');
  const struct {
    const char* why;
    std::string text;
    int major;
  } cases[] = {
      {"sixth word", "SCSI Iocrh icbo scsi 40 41 0 256 -1\n", 41},
      {"after other records",
       "*comment-less header a b c d\ndisk a b c 5 6 7\nSCSI a b c 9 41 x\n",
       41},
      {"leading digits only", "SCSI a b c d 35-36 e\n", 35},
      {"no digits", "SCSI a b c d major e\n", 0},
      {"first record wins", "SCSI a b c d 41 e\nSCSI a b c d 42 e\n", 41},
      {"exactly six words", "disk a b c d 9\nSCSI a b c d 41\n", 41},
      {"blanks and tabs", "  SCSI\ta  b\t\tc d   41 e\n", 41},
      {"record over two lines", "SCSI a b\nc d 41 e\n", 41},
      {"SCSI in another column", "disk SCSI a b c 41 e\n", kNone},
      {"other module names", "SCSI2 a b c d 41\nscsi a b c d 42\n", kNone},
      {"short line takes the next line's words", "disk a b\nSCSI c d e 4 5 6\n",
       kNone},
      {"record cut by the end", "SCSI a b c", kNone},
      {"empty", "", kNone},
      {"long first word is cut, not SCSI", "SCSI" + long_word + " a b c d 41\n",
       kNone},
      {"long other words",
       long_word + " " + long_word + " b c d 7\n" + "SCSI " + long_word +
           " b c d 43\n",
       43},
      {"100 KB word in the record before",
       "junk " + k100K + " b c d e\nSCSI a b c d 41\n", 41},
      {"100 KB sixth word", "SCSI a b c d 42" + k100K + "\n", 42},
      {"100 KB of blanks between words",
       "SCSI" + std::string(100 * 1024, ' ') + "a b c d 43\n", 43},
      {"NUL in another record",
       std::string("OTHER\0x a b c d 7\nSCSI a b c d 44\n", 34), 44},
      {"no final newline", "SCSI a b c d 45", 45},
      {"100 KB of NULs", std::string(100 * 1024, '\0'), kNone},
  };
  for (const auto& c : cases) EXPECT_EQ(major_of(c.text), c.major) << c.why;
}

}  // namespace
