// Steps of the frame that the end-to-end tests cannot reach: refused net
// aliases and the parameter file writer.

#include "ls/frame.h"

#include <string>

#include "ls/ls_test_util.h"

namespace {

using ls_test::ListPtr;

class FrameTest : public ls_test::MachineRootTest {
 protected:
  // What WriteParameters writes for list in style, "(failed)" on failure.
  std::string Written(KeywordList* list, ls::ParamStyle style) {
    ls::TempFile file;
    EXPECT_TRUE(file.Make("/tmp/ZU_paramXXXXXX"));
    bool ok = ls::WriteParameters(file.Open("w"), list, style, "LS.Test", file.name());
    return ok ? e2e::ReadFile(file.mapped()) : "(failed)";
  }
};

TEST_F(FrameTest, SplitsOrRefusesNetAliases) {
  ls::NetTarget t;
  ASSERT_TRUE(ls::SplitNetalias("LS.Test", "beta:disk1", &t));
  EXPECT_TRUE(t.has_node);
  EXPECT_STREQ(t.node, "beta");
  EXPECT_STREQ(t.alias, "disk1");
  EXPECT_EQ(t.split_status, SSPI_E_END);
  EXPECT_FALSE(ls::IsLocalTarget(t));
  ASSERT_TRUE(ls::SplitNetalias("LS.Test", "disk1", &t));
  EXPECT_FALSE(t.has_node);
  EXPECT_STREQ(t.alias, "disk1");
  EXPECT_TRUE(ls::IsLocalTarget(t));
  EXPECT_FALSE(ls::SplitNetalias("LS.Test", nullptr, &t));
  EXPECT_FALSE(ls::SplitNetalias("LS.Test", std::string(520, 'a').c_str(), &t));
  EXPECT_EQ(LogLines("LOG "),
            (std::vector<std::string>{
                "LOG LS.Test 702 2: ParseNetalias failed",
                "LOG LS.Test 799 3: net alias refused: longer than 519 bytes"}));
}

TEST_F(FrameTest, RefusesParametersTooLongForTheirBuffers) {
  ListPtr value = ls_test::MakeList({{"a", std::string(520, 'v')}});
  EXPECT_EQ(Written(value.get(), ls::ParamStyle::kQuoted), "(failed)");
  ListPtr keyword = ls_test::MakeList({{std::string(40, 'k'), "1"}});
  EXPECT_EQ(Written(keyword.get(), ls::ParamStyle::kBare), "(failed)");
  ListPtr fits = ls_test::MakeList({{std::string(39, 'k'), std::string(519, 'v')}});
  EXPECT_NE(Written(fits.get(), ls::ParamStyle::kBare), "(failed)");
  EXPECT_EQ(LogLines("LOG ").size(), 2u);
}

}  // namespace
