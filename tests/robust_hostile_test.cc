// Hostile files around qv_cspec: the exclusion list, mdevice and the
// fabric with 100 KB lines, NUL bytes and no final newline.  Each gives
// its documented result; run under the sanitizer preset, nothing may be
// read or written past a buffer.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/e2e_util.h"

namespace {

using e2e::Cluster;
using e2e::InfoLine;

const std::string k100K(100 * 1024, 'x');

// One shared bus: nodeA at 7, nodeB (stamped) at 6, disks at 3 and 5.
constexpr char kFabric[] =
    "bus shared\n"
    "  adapter nodeA 0 0 0 7\n"
    "  adapter nodeB 0 0 0 6 stamp=c0:nodeB\n"
    "  disk 3 SEAGATE ST1 0001 serial=three\n"
    "  disk 5 SEAGATE ST1 0001 serial=five\n";

std::string Disks(bool three, bool five) {
  return (three ? InfoLine("0", 3, "SEAGATE", "ST1", "0001", "three") : "") +
         (five ? InfoLine("0", 5, "SEAGATE", "ST1", "0001", "five") : "");
}

class RobustHostileTest : public testing::Test {
 protected:
  void SetUp() override {
    e2e::RunResult r = cluster_.Create(kFabric);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  std::string At(const std::string& path) const {
    return cluster_.Root("nodeA") + path;
  }

  e2e::ScopedTempDir tmp_;
  Cluster cluster_{tmp_.path() + "/cluster"};
};

TEST_F(RobustHostileTest, ExclusionListReadsPieceByPiece) {
  const std::string blanks(127, ' ');
  const struct {
    const char* name;
    std::string text;
    std::string info;  // device_info of a -r run
  } cases[] = {
      {"100 KB line, then an entry", k100K + "\nc0t3\n", Disks(false, true)},
      // The first piece ends after 129 characters: "c0" and "t3" are two
      // entries, neither of them c0t3.
      {"entry across a piece boundary", blanks + "c0t3\n", Disks(true, true)},
      {"blanks only in a 100 KB line", std::string(100 * 1024, ' ') + "\n",
       Disks(true, true)},
      // A NUL ends the text of its piece.
      {"NUL inside an entry", std::string("c0t3\0c0t5\n", 10),
       Disks(false, true)},
      {"NULs and blanks only", std::string("\0\0 \t\n\0", 6),
       Disks(true, true)},
      {"no final newline", "# note\nc0t5", Disks(true, false)},
  };
  for (const auto& c : cases) {
    e2e::WriteFile(At("/usr/ruded/config/excludelist"), c.text);
    e2e::RunResult r = cluster_.Cspec("nodeA", {"-r"});
    EXPECT_EQ(r.status, 0) << c.name;
    EXPECT_EQ(r.err, "") << c.name;
    EXPECT_EQ(cluster_.DeviceInfo("nodeA"), c.info) << c.name;
  }
}

TEST_F(RobustHostileTest, MdeviceWordsAreCutAndRecordsKeepTheirPlace) {
  const struct {
    const char* name;
    std::string text;
    int major;
  } cases[] = {
      {"100 KB word in the record before",
       "junk " + k100K + " b c d e\nSCSI a b c d 41\n", 41},
      {"100 KB sixth word", "SCSI a b c d 42" + k100K + "\n", 42},
      {"100 KB of blanks between words",
       "SCSI" + std::string(100 * 1024, ' ') + "a b c d 43\n", 43},
      {"NUL in another record",
       std::string("OTHER\0x a b c d 7\nSCSI a b c d 44\n", 34), 44},
      {"no final newline", "SCSI a b c d 45", 45},
      {"100 KB of NULs", std::string(100 * 1024, '\0'), 35},
  };
  for (const auto& c : cases) {
    e2e::WriteFile(At("/etc/conf/cf.d/mdevice"), c.text);
    e2e::RunResult r = cluster_.Cspec("nodeA", {"-d", "-i"});
    EXPECT_EQ(r.status, 0) << c.name;
    EXPECT_NE(r.err.find("SCSI major: " + std::to_string(c.major) + "\n"),
              std::string::npos)
        << c.name;
    EXPECT_EQ(e2e::CountPrefix(r.err,
                                     "qv_cspec: Unable to find SCSI "
                                     "major"),
              c.major == 35 ? 1 : 0)
        << c.name;
    // The initiator node carries the major read.
    EXPECT_EQ(e2e::NodeDev(cluster_.Cspecials("nodeA") + "/c0"),
              e2e::Dev(c.major, 0, 0, 0, 7))
        << c.name;
    unlink((cluster_.Cspecials("nodeA") + "/c0").c_str());
  }
}

TEST_F(RobustHostileTest, FabricLinesAreTakenWholeOrTheFabricRefused) {
  // A 100 KB comment and no final newline are a good fabric.
  Cluster good(tmp_.path() + "/good");
  e2e::RunResult r = good.Create("# " + k100K + "\n" + kFabric +
                                 "  disk 8 SEAGATE ST1 0001 serial=eight");
  ASSERT_EQ(r.status, 0) << r.err;
  r = good.Cspec("nodeA", {"-r"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(
      good.DeviceInfo("nodeA"),
      Disks(true, true) + InfoLine("0", 8, "SEAGATE", "ST1", "0001", "eight"));

  const struct {
    const char* name;
    std::string text;
    std::string cause;  // what the refusal names, after the line number
  } bad[] = {
      {"100 KB word", std::string(kFabric) + "  disk 8 A B C serial=" + k100K,
       ":6: serial: longer than 237 characters\n"},
      {"NUL byte", std::string("bus b\n  adapter nodeA 0 0 0 7\0\n", 31),
       ":2: NUL byte in line\n"},
  };
  for (const auto& c : bad) {
    Cluster refused(tmp_.path() + "/refused");
    r = refused.Create(c.text);
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_EQ(r.err, "simcluster: " + refused.dir() + ".fabric" + c.cause)
        << c.name;
    EXPECT_FALSE(e2e::Exists(refused.dir())) << c.name;

    // The same file under a running cluster: the machine says so once
    // and finds no hardware; the run still ends well.
    e2e::WriteFile(cluster_.dir() + "/fabric", c.text);
    r = cluster_.Cspec("nodeA", {"-i", "-r"});
    EXPECT_EQ(r.status, 0) << c.name;
    EXPECT_EQ(r.out, "") << c.name;
    EXPECT_EQ(e2e::Lines(r.err).size(), 1u) << c.name;
    EXPECT_TRUE(r.err.size() >= c.cause.size() &&
                r.err.compare(r.err.size() - c.cause.size(), c.cause.size(),
                              c.cause) == 0)
        << c.name << ": " << r.err.substr(0, 200);
    EXPECT_EQ(cluster_.DeviceInfo("nodeA"), "") << c.name;
    EXPECT_EQ(e2e::ListDir(cluster_.Cspecials("nodeA")),
              std::vector<std::string>{})
        << c.name;
  }
}

}  // namespace
