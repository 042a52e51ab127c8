#include "platform/scsi/fabric_parser.h"

#include <errno.h>
#include <gtest/gtest.h>

#include "platform/scsi/words.h"

namespace scsi {
namespace {

TEST(WordsTest, SplitsQuotesCommentsAndOptions) {
  struct Case {
    const char* line;
    std::vector<std::string> words;
    std::vector<bool> options;
  } cases[] = {
      {"  disk 3 SEAGATE\tST1  ", {"disk", "3", "SEAGATE", "ST1"},
       {false, false, false, false}},
      {"disk \"EMC     \" x # note", {"disk", "EMC     ", "x"},
       {false, false, false}},
      {"serial=\"A B\" \"a=b\" x=\"#1\"", {"serial=A B", "a=b", "x=#1"},
       {true, false, true}},
      {"ab#c #rest", {"ab#c"}, {false}},
      {"\"\" Open=x 1=2 =x", {"", "Open=x", "1=2", "=x"},
       {false, false, false, false}},
      {"# only a comment", {}, {}},
      {"bus a\r", {"bus", "a"}, {false, false}},
  };
  for (const Case& c : cases) {
    std::vector<Word> words;
    std::string err;
    ASSERT_TRUE(SplitWords(c.line, &words, &err)) << c.line;
    ASSERT_EQ(words.size(), c.words.size()) << c.line;
    for (size_t i = 0; i < words.size(); ++i) {
      EXPECT_EQ(words[i].text, c.words[i]) << c.line;
      EXPECT_EQ(words[i].is_option, c.options[i]) << c.line << " " << i;
    }
  }
  std::vector<Word> words;
  std::string err;
  EXPECT_FALSE(SplitWords("disk \"open", &words, &err));
  EXPECT_EQ(err, "unterminated quote");
  EXPECT_FALSE(SplitWords(std::string_view("a\0b", 3), &words, &err));
}

const char kGood[] =
    "# two machines on a shared bus, one private bus\n"
    "bus shared\n"
    "  adapter nodeA 0 0 0 7 stamp=c0:nodeA\n"
    "  adapter nodeB 0 1 0 6 initiator=0.2.1.5 setinquiry=fail\n"
    "  disk 3 SEAGATE ST31200N 8724 serial=\"SN 1\" evpd=fail\n"
    "  device 5 1 HP C1533A 9503 open=EBUSY\n"
    "bus private   # nodeA only\n"
    "  adapter nodeA 1 0 2 7\n"
    "  disk 0 \"EMC     \" SYMMETRIX 5265 serial=123456789012\n";

TEST(FabricParserTest, ReadsBusesDevicesAndOptions) {
  Fabric f;
  ParseError error;
  ASSERT_TRUE(ParseFabric(kGood, &f, &error)) << error.line << error.message;
  ASSERT_EQ(f.buses().size(), 2u);
  EXPECT_EQ(f.machines(), (std::vector<std::string>{"nodeA", "nodeB"}));

  const Device* a = f.FindAdapter("nodeA", {0, 0, 0});
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->target, 7);
  EXPECT_EQ(a->line, 3);
  EXPECT_EQ(f.At(0, 7), a);
  EXPECT_TRUE(a->has_stamp);
  EXPECT_EQ(a->stamp, MakeArea({0, 0, 0}, "nodeA"));

  const Device* b = f.FindAdapter("nodeB", {0, 1, 0});
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(b->has_initiator);
  EXPECT_EQ(b->initiator_port, (Port{0, 2, 1}));
  EXPECT_EQ(b->initiator_target, 5);
  EXPECT_TRUE(b->faults.setinquiry);
  EXPECT_FALSE(b->faults.inquiry);

  const Device* disk = f.At(0, 3);
  ASSERT_NE(disk, nullptr);
  EXPECT_EQ(disk->kind, DeviceKind::kDisk);
  EXPECT_EQ(disk->serial, "SN 1");
  EXPECT_TRUE(disk->faults.evpd);
  EXPECT_EQ(disk->fault_words, (std::vector<std::string>{"evpd=fail"}));

  const Device* dev = f.At(0, 5);
  ASSERT_NE(dev, nullptr);
  EXPECT_EQ(dev->type, 1);
  EXPECT_EQ(dev->faults.open_errno, EBUSY);

  EXPECT_EQ(f.FindAdapter("nodeA", {1, 0, 2}), f.At(1, 7));
  EXPECT_EQ(f.At(1, 0)->vendor, "EMC     ");
  EXPECT_TRUE(f.HasController("nodeA", 1, 0));
  EXPECT_FALSE(f.HasController("nodeA", 0, 1));
  EXPECT_TRUE(f.HasController("nodeB", 0, 1));
  EXPECT_EQ(f.FindAdapter("nodeA", {1, 0, 1}), nullptr);
  EXPECT_EQ(f.At(0, 4), nullptr);
}

TEST(FabricParserTest, RefusesBadLinesNamingLineAndCause) {
  struct Case {
    const char* text;
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
      {"bus a\nadapter \"m n\" 0 0 0 1\n", 2, "adapter: machine name"},
      {"bus a\nadapter fabric 0 0 0 1\n", 2, "adapter: machine name"},
      {"bus a\nadapter .. 0 0 0 1\n", 2, "adapter: machine name"},
      {"bus a\nadapter m 0 0 0 1\nbus b\nadapter m 0 0 0 2\n", 4,
       "adapter: m 0.0.0 is already attached at line 2"},
      {"bus a\nadapter m 0 0 0 1\ndisk 1 V P R\n", 3,
       "disk: target 1 of bus \"a\" is already taken at line 2"},
      {"bus a\ndisk 1 VENDOR123 P R\n", 2,
       "disk: vendor \"VENDOR123\" is longer than 8 characters"},
      {"bus a\ndisk 1 V 12345678901234567 R\n", 2, "disk: product"},
      {"bus a\ndisk 1 V P 12345\n", 2, "disk: revision"},
      {"bus a\ndisk 1 V P\n", 2, "disk: expected disk <id>"},
      {"bus a\ndevice 1 32 V P R\n", 2, "device: type \"32\""},
      {"bus a\ndisk 1 V P R colour=red\n", 2, "unknown option \"colour\""},
      {"bus a\ndisk 1 V P R stamp=c0:x\n", 2,
       "option \"stamp\" does not apply to disk"},
      {"bus a\nadapter m 0 0 0 1 serial=1\n", 2,
       "option \"serial\" does not apply to adapter"},
      {"bus a\ndisk 1 V P R open=EIO open=EIO\n", 2,
       "option \"open\" given twice"},
      {"bus a\ndisk 1 V P R open=EWHAT\n", 2, "open: unknown errno name"},
      {"bus a\ndisk 1 V P R open=5\n", 2, "open: unknown errno name"},
      {"bus a\ndisk 1 V P R inquiry=yes\n", 2,
       "inquiry: the only value is \"fail\""},
      {"bus a\nadapter m 0 0 0 1 stamp=10:x\n", 2, "stamp: expected"},
      {"bus a\nadapter m 0 0 0 1 stamp=c00:x\n", 2, "stamp: expected"},
      {"bus a\nadapter m 0 0 0 1 stamp=c0\n", 2, "stamp: expected"},
      {"bus a\nadapter m 0 0 0 1 stamp=c0:123456789012345678\n", 2,
       "stamp: node name \"123456789012345678\" is longer than 17 bytes"},
      {"bus a\nadapter m 0 0 0 1 initiator=0.0.0\n", 2, "initiator: expected"},
      {"bus a\nadapter m 0 0 0 1 initiator=0.0.4.1\n", 2,
       "initiator: expected"},
      {"bus a\nadapter m 0 0 0 1 initiator=0.0.0.1.\n", 2,
       "initiator: expected"},
      {"bus a\ndisk 1 \"V P R\n", 2, "unterminated quote"},
  };
  for (const Case& c : cases) {
    Fabric f;
    ParseError error;
    EXPECT_FALSE(ParseFabric(c.text, &f, &error)) << c.text;
    EXPECT_EQ(error.line, c.line) << c.text;
    EXPECT_NE(error.message.find(c.message), std::string::npos)
        << c.text << " gave: " << error.message;
  }
  std::string serial(kMaxSerialLength + 1, 'x');
  Fabric f;
  ParseError error;
  EXPECT_FALSE(ParseFabric("bus a\ndisk 1 V P R serial=" + serial, &f, &error));
  EXPECT_EQ(error.line, 2);
  Fabric g;
  EXPECT_TRUE(ParseFabric("bus a\ndisk 1 V P R serial=" + serial.substr(1), &g,
                          &error));
  Fabric h;
  EXPECT_TRUE(ParseFabric(
      "bus a\nadapter m 0 0 0 1 stamp=c773:12345678901234567\n", &h, &error));
}

TEST(FabricParserTest, LoadFabricFileTellsMissingFromBad) {
  Fabric f;
  std::string message;
  EXPECT_EQ(LoadFabricFile("/nonexistent/fabric", &f, &message, nullptr),
            LoadStatus::kMissing);
  // A directory cannot be read as a file: a bad fabric, with the cause.
  Fabric g;
  EXPECT_EQ(LoadFabricFile("/", &g, &message, nullptr), LoadStatus::kBad);
  EXPECT_EQ(message.rfind("/: ", 0), 0u) << message;
}

}  // namespace
}  // namespace scsi
