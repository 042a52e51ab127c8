// The simulated cluster (e2e::Cluster) as libls's end-to-end tests use it:
// machines "alpha" and "beta", each registered in the other's name-server
// registry, and the ls_call driver run as a separate process on either
// machine.
//
// alpha's RSClient is wrapped so that every run is counted in
// <cluster>/rsclient.runs: a test can prove that nothing ran.  A test can
// also replace an object-tool command of a machine with a script that
// prints what the test wants ("canned" output) and records its arguments,
// its environment and its standard input.

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

  std::string Root(const std::string& machine) const;
  void Register(const std::string& machine, const std::string& registry);

  // Runs ls_call on machine; env adds to (or, empty, removes from) the
  // environment.
  e2e::RunResult Call(const std::string& machine,
                      const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env = {});
  // Puts the pairs of a keyword stream on an object with the staged OTput.
  void Put(const std::string& machine, const std::string& alias,
           const std::string& stream);

  // Replaces command in machine's command directory with a script that
  // saves its arguments in <far root>/<command>.args, OAM_DEVTAB in
  // <far root>/<command>.devtab and its standard input in
  // <far root>/<command>.stdin, prints <far root>/<command>.out and exits
  // with status.  The far root is that of the machine the command runs as.
  void Fake(const std::string& machine, const std::string& command,
            int status = 0);
  // What the fake prints when it runs as machine.
  void Canned(const std::string& machine, const std::string& command,
              const std::string& output);
  // What a fake saved when it ran as machine ("" when it did not run).
  std::string Saved(const std::string& machine, const std::string& command,
                    const std::string& what);

  int RsclientRuns() const;
  std::vector<std::string> LogLines(const std::string& machine,
                                    const std::string& prefix) const;
  void ClearLogs();
  // A file in the cluster directory, outside every machine, that a command
  // smuggled into a shell line would create.
  std::string Marker() const { return cluster_ + "/marker"; }

  std::unique_ptr<e2e::ScopedTempDir> dir_;
  std::string cluster_;
  std::vector<std::string> machines_;
};

}  // namespace ls_e2e

#endif  // RUDED_TESTS_LS_CLUSTER_H_
