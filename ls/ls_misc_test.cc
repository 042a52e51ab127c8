// Temporary files: made with mkstemp under the machine root, registered
// for cleanup, and unlinked and withdrawn on every path out.

#include "ls/ls_misc.h"

#include <stdint.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "ls/ls_test_util.h"
#include "platform/ot/ot.h"

namespace {

class TempFileTest : public ls_test::MachineRootTest {
 protected:
  // Takes path off the cleanup list; 0 when it was listed.
  int Withdraw(const std::string& path) {
    std::string entry(2, '\0');
    entry += path;
    return OTcleanup(entry.c_str(), OT_CLEANUP_REMOVE);
  }
};

TEST_F(TempFileTest, MadeUnderRootRegisteredAndRemoved) {
  ls::TempFile file;
  ASSERT_TRUE(file.Make("/tmp/ZU_queryXXXXXX"));
  const std::string name = file.name();
  EXPECT_EQ(name.rfind("/tmp/ZU_query", 0), 0u) << name;
  EXPECT_EQ(name.size(), strlen("/tmp/ZU_queryXXXXXX"));
  EXPECT_NE(name, "/tmp/ZU_queryXXXXXX");
  EXPECT_EQ(std::string(file.mapped()), root_ + name);
  EXPECT_TRUE(e2e::Exists(file.mapped()));
  EXPECT_NE(file.Open("w"), nullptr);
  EXPECT_EQ(file.Open("r"), nullptr);  // the descriptor was handed over
  EXPECT_EQ(Withdraw(name), 0);        // it was listed
  file.Remove();
  EXPECT_FALSE(e2e::Exists(file.mapped()));
  // Remove() withdrew it too: finding it gone, it says so, once.
  file.Remove();
  EXPECT_EQ(LogLines("ERROR "),
            std::vector<std::string>{"ERROR LSmisc: LS_rem_temp_file: OTcleanup failed"});
  // A file removed the ordinary way is no longer listed.
  ASSERT_TRUE(file.Make("/tmp/ZU_paramXXXXXX"));
  const std::string second = file.name();
  file.Remove();
  EXPECT_EQ(Withdraw(second), 1);
}

TEST_F(TempFileTest, NoNameNoFile) {
  ls::TempFile file;
  // Mapped names of 1023 bytes fit their 1024-byte buffer; 1024 do not.
  std::string dir = "/deep";
  while (root_.size() + dir.size() < 1023 - 40) dir += "/" + std::string(30, 'd');
  e2e::WriteFile(root_ + dir + "/.keep", "");
  const size_t room = 1023 - root_.size() - dir.size() - 1 - 6;
  const std::string fits = dir + "/" + std::string(room, 'f') + "XXXXXX";
  ASSERT_TRUE(file.Make(fits.c_str()));
  EXPECT_EQ(strlen(file.mapped()), 1023u);
  file.Remove();
  const std::string over = dir + "/" + std::string(room + 1, 'f') + "XXXXXX";
  EXPECT_FALSE(file.Make(over.c_str()));
  EXPECT_FALSE(file.Make("/tmp/ZU_queryXXXX"));  // too few X
  EXPECT_FALSE(file.Make("/nodir/ZU_queryXXXXXX"));
  EXPECT_FALSE(file.made());
  EXPECT_EQ(file.Open("w"), nullptr);
}

}  // namespace
