// The simulated cluster (e2e::Cluster) as libls's end-to-end tests use it:
// machines "alpha" and "beta", each registered in the other's name-server
// registry, and the ls_call driver run as a separate process on alpha.
//
// alpha's RSClient is wrapped so that every run is counted in
// <cluster>/rsclient.runs: a test can prove that nothing ran.  A test can
// also replace an object-tool command with a script that, run on beta,
// prints what the test wants and saves its arguments, its device table
// and its standard input.

#ifndef RUDED_TESTS_LS_CLUSTER_H_
#define RUDED_TESTS_LS_CLUSTER_H_

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e_util.h"

namespace ls_e2e {

class ClusterTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // Every machine's tmp/ must be empty after each test.
  void TearDown() override;

  std::string Root(const std::string& machine) const { return cluster_ + "/" + machine; }
  void Register(const std::string& machine, const std::string& registry);
  // Runs ls_call on machine; env adds to (or, empty, removes from) the
  // environment.
  e2e::RunResult Call(const std::string& machine, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env = {});
  // Puts the pairs of a keyword stream on an object with the staged OTput.
  void Put(const std::string& machine, const std::string& alias, const std::string& stream);
  // Replaces command with a script that prints output and exits with
  // status; what it saved on beta ("args", "devtab" or "stdin"; "" when it
  // did not run) is Saved().
  void Fake(const std::string& command, int status = 0, const std::string& output = "");
  std::string Saved(const std::string& command, const std::string& what) const {
    return e2e::ReadFile(Root("beta") + "/" + command + "." + what);
  }
  int RsclientRuns() const;
  std::vector<std::string> LogLines(const std::string& prefix) const {
    return e2e::Lines(e2e::ReadFile(Root("alpha") + "/var/adm/oam.log"), prefix);
  }
  void ClearLogs();
  // A file outside every machine that a command smuggled into a shell line
  // would create.
  std::string Marker() const { return cluster_ + "/marker"; }

  std::unique_ptr<e2e::ScopedTempDir> dir_;
  std::string cluster_;
};

}  // namespace ls_e2e

#endif  // RUDED_TESTS_LS_CLUSTER_H_
