// The library's calls over a private machine root: attributes and methods
// kept apart, and methods run with their parameters, failing loudly.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "platform/ot/api_util.h"
#include "platform/ot/ot.h"
#include "platform/ot/pairs.h"
#include "tests/e2e_util.h"

namespace ot {
namespace {

struct ListDestroyer {
  void operator()(KeywordList* l) const { DestroyKeywordList(l); }
};
using ListPtr = std::unique_ptr<KeywordList, ListDestroyer>;

Pairs Contents(KeywordList* list) {
  Pairs pairs;
  EXPECT_TRUE(PairsFromList(list, &pairs));
  return pairs;
}

int LastStatus() {
  int status = -1;
  OTLastError(&status);
  return status;
}

class ApiTest : public ::testing::Test {
 protected:
  void Put(const char* alias, const Pairs& pairs) {
    ListPtr list(ListFromPairs(pairs));
    ASSERT_EQ(OTLput(alias, list.get()), 0) << OTLastError(nullptr);
  }
  e2e::ScopedMachineRoot machine_;
};

TEST_F(ApiTest, AttributesAndMethodsKeepToTheirKind) {
  Put("disk1", {{"size", "12"}, {"do_spin", "echo up=1"}});
  const struct {
    AttributeRecord* (*get)(const char*, const char*);
    const char* alias;
    const char* keyword;
    const char* value;  // nullptr: no record
    int status;
  } cases[] = {
      {OTLgetattr, "disk1", "size", "12", OT_STATUS_OK},
      {OTLgetmethod, "disk1", "do_spin", "echo up=1", OT_STATUS_OK},
      {OTLgetattr, "disk1", "do_spin", nullptr, OT_STATUS_ABSENT},
      {OTLgetmethod, "disk1", "size", nullptr, OT_STATUS_ABSENT},
      {OTLgetattr, "nothing", "size", nullptr, OT_STATUS_ABSENT},
      {OTLgetattr, "bad/alias", "size", nullptr, OT_STATUS_INVALID},
  };
  for (const auto& c : cases) {
    AttributeRecord* record = c.get(c.alias, c.keyword);
    EXPECT_EQ(LastStatus(), c.status) << c.alias << " " << c.keyword;
    EXPECT_STREQ(record ? record->value : nullptr, c.value) << c.keyword;
    free(record);
  }
  // Only the real failure reaches the log.
  EXPECT_EQ(machine_.LogLines(),
            std::vector<std::string>{"ERROR OTLgetattr: alias \"bad/alias\" "
                                     "holds a blank, control byte or /"});
}

// A method is a shell line run in the machine root with the alias, the
// method and each parameter in the environment and the parameters as a
// keyword stream on its standard input; its output is read as one.  The
// device table reaches it, the default one when OAM_DEVTAB is unset.
TEST_F(ApiTest, PerformRunsTheMethodWithItsParameters) {
  unsetenv("OAM_DEVTAB");
  Put("obj", {{"do_echo", "cat"},
              {"do_env",
               "echo alias=$OT_ALIAS method=$OT_METHOD "
               "size=$OT_PARAM_size where=`pwd` devtab=$OAM_DEVTAB"}});
  ListPtr params(ListFromPairs({{"size", "12"}, {"label", "x y"}}));
  ListPtr echoed(OTLperform("obj", "do_echo", params.get()));
  ASSERT_TRUE(echoed) << OTLastError(nullptr);
  EXPECT_EQ(Contents(echoed.get()), (Pairs{{"size", "12"}, {"label", "x y"}}));
  ListPtr env(OTLperform("obj", "do_env", params.get()));
  ASSERT_TRUE(env) << OTLastError(nullptr);
  EXPECT_EQ(Contents(env.get()), (Pairs{{"alias", "obj"},
                                        {"method", "do_env"},
                                        {"size", "12"},
                                        {"where", machine_.path()},
                                        {"devtab", "/etc/device.tab"}}));
  ListPtr none(OTLperform("obj", "do_echo", nullptr));
  ASSERT_TRUE(none);
  EXPECT_EQ(NumberOfKeywords(none.get()), 0);
  // A parameter that would not read back is refused before anything runs.
  ListPtr blank(ListFromPairs({{"two words", "x"}}));
  EXPECT_EQ(OTLperform("obj", "do_echo", blank.get()), nullptr);
  EXPECT_EQ(LastStatus(), OT_STATUS_INVALID);
}

TEST_F(ApiTest, PerformFailuresAreReportedAndLogged) {
  Put("obj", {{"do_fail", "echo partial=1; exit 3"},
              {"do_garbage", "echo =bad"},
              {"do_many", "echo =bad; seq 1 200000"}});
  EXPECT_EQ(OTLperform("obj", "do_fail", nullptr), nullptr);
  EXPECT_STREQ(OTLastError(nullptr),
               "method do_fail of obj exited with status 3");
  EXPECT_EQ(OTLperform("obj", "do_garbage", nullptr), nullptr);
  EXPECT_EQ(LastStatus(), OT_STATUS_FAILED);
  // Output behind a malformed pair is drained, so the method ends on its
  // own (not on a broken pipe) and the report names the real fault.
  EXPECT_EQ(OTLperform("obj", "do_many", nullptr), nullptr);
  EXPECT_EQ(std::string(OTLastError(nullptr)).substr(0, 46),
            "output of do_many of obj: not a keyword stream");
  EXPECT_EQ(OTLperform("obj", "do_nothing", nullptr), nullptr);
  EXPECT_EQ(LastStatus(), OT_STATUS_ABSENT);
  const std::vector<std::string> log = machine_.LogLines("ERROR OTLperform: ");
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0],
            "ERROR OTLperform: method do_fail of obj exited with status 3");
  EXPECT_EQ(log[1].rfind("ERROR OTLperform: output of do_garbage of obj: not "
                         "a keyword stream",
                         0),
            0u);
}

TEST_F(ApiTest, NoExceptionReachesTheCaller) {
  setenv("OAM_TRACE", "8", 1);
  EXPECT_EQ(Guarded<int>("OTLput", -1, []() -> int { throw std::bad_alloc(); }),
            -1);
  EXPECT_STREQ(OTLastError(nullptr), "No more memory");
  EXPECT_EQ(Guarded<char*>("OTLnextalias", nullptr,
                           []() -> char* { throw std::out_of_range("pos"); }),
            nullptr);
  EXPECT_EQ(LastStatus(), OT_STATUS_FAILED);
  unsetenv("OAM_TRACE");
  EXPECT_EQ(machine_.LogLines("OTTRACE 8 OTLnextalias: "),
            std::vector<std::string>{
                "OTTRACE 8 OTLnextalias: OTLnextalias exception: pos"});
}

}  // namespace
}  // namespace ot
