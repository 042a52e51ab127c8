#include "platform/scsi/fabric_parser.h"

#include <gtest/gtest.h>

namespace scsi {
namespace {

// One row per rule of the fabric file: the line a bad fabric is refused at
// and the cause named, or line 0 for a fabric at the edge of a limit that
// is accepted.
TEST(FabricParserTest, RefusesBadLinesNamingLineAndCause) {
  const std::string serial(kMaxSerialLength, 'x');
  const struct {
    std::string text;
    int line;
    const char* message;
  } cases[] = {
      {"adapter a 0 0 0 7\n", 1, "adapter: comes before any bus line"},
      {"bus\n", 1, "bus: expected bus <name>"},
      {"bus a\nbus a\n", 2, "bus \"a\" already opened at line 1"},
      {"bus a x=1\n", 1, "bus: takes no options"},
      {"bus a\n\nfloppy 1\n", 3, "unknown line \"floppy\""},
      {"open=EIO\n", 1, "a line begins with bus, adapter, disk or device"},
      {"bus a\nadapter m 8 0 0 7\n", 2,
       "adapter: bus \"8\" is not a number from 0 to 7"},
      {"bus a\nadapter m 0 0 4 7\n", 2, "adapter: SCSI bus \"4\""},
      {"bus a\nadapter m 0 0 0 16\n", 2, "adapter: id \"16\""},
      {"bus a\nadapter m 0 0 0 -1\n", 2, "adapter: id \"-1\""},
      {"bus a\nadapter m 0 0 0\n", 2, "adapter: expected adapter <machine>"},
      {"bus a\nadapter .. 0 0 0 1\n", 2, "adapter: machine name"},
      {"bus a\nadapter fabric 0 0 0 1\n", 2, "adapter: machine name"},
      {"bus a\nadapter m 0 0 0 1\nbus b\nadapter m 0 0 0 2\n", 4,
       "adapter: m 0.0.0 is already attached at line 2"},
      {"bus a\nadapter m 0 0 0 1\ndisk 1 V P R\n", 3,
       "disk: target 1 of bus \"a\" is already taken at line 2"},
      {"bus a\ndisk 1 VENDOR123 P R\n", 2,
       "disk: vendor \"VENDOR123\" is longer than 8 characters"},
      {"bus a\ndisk 1 V 12345678901234567 R\n", 2, "disk: product"},
      {"bus a\ndisk 1 V P 12345\n", 2, "disk: revision"},
      {"bus a\ndevice 1 32 V P R\n", 2, "device: type \"32\""},
      {"bus a\ndisk 1 V P R colour=red\n", 2, "unknown option \"colour\""},
      {"bus a\ndisk 1 V P R stamp=c0:x\n", 2,
       "option \"stamp\" does not apply to disk"},
      {"bus a\ndisk 1 V P R open=EIO open=EIO\n", 2,
       "option \"open\" given twice"},
      {"bus a\ndisk 1 V P R open=5\n", 2, "open: unknown errno name"},
      {"bus a\ndisk 1 V P R inquiry=yes\n", 2,
       "inquiry: the only value is \"fail\""},
      {"bus a\nadapter m 0 0 0 1 stamp=c00:x\n", 2, "stamp: expected"},
      {"bus a\nadapter m 0 0 0 1 stamp=c0:123456789012345678\n", 2,
       "stamp: node name \"123456789012345678\" is longer than 17 bytes"},
      {"bus a\nadapter m 0 0 0 1 stamp=c773:12345678901234567\n", 0, ""},
      {"bus a\nadapter m 0 0 0 1 initiator=0.0.4.1\n", 2, "initiator: expected"},
      {"bus a\nadapter m 0 0 0 1 initiator=0.0.0.1.\n", 2,
       "initiator: expected"},
      {"bus a\ndisk 1 V P R serial=" + serial + "x\n", 2, "serial: longer"},
      {"bus a\ndisk 1 V P R serial=" + serial + "\n", 0, ""},
      {"bus a\ndisk 1 \"V P R\n", 2, "unterminated quote"},
      {std::string("bus b\n  adapter m 0 0 0 7\0\n", 27), 2, "NUL byte in line"},
      {"# " + std::string(100 * 1024, 'x') + "\nbus a\ndisk 1 V P R", 0, ""},
  };
  for (const auto& c : cases) {
    Fabric f;
    ParseError error;
    EXPECT_EQ(ParseFabric(c.text, &f, &error), c.line == 0) << c.text;
    if (c.line == 0) continue;
    EXPECT_EQ(error.line, c.line) << c.text;
    EXPECT_NE(error.message.find(c.message), std::string::npos)
        << c.text << " gave: " << error.message;
  }
}

}  // namespace
}  // namespace scsi
