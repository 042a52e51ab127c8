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

#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "tests/e2e_util.h"

namespace ls_e2e {

class ClusterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // simcluster links the object-tool commands and runs OTinit on each.
    e2e::RunResult r =
        cluster_.Create("bus ls\n  adapter alpha 0 0 0 7\n  adapter beta 0 0 0 6\n");
    ASSERT_EQ(r.status, 0) << r.err;
    Script("RSClient", "echo run >> '" + cluster_.dir() + "/rsclient.runs'\nexec '" + LS_OT_BIN_DIR +
                           "/RSClient' \"$@\"\n");
    Register("alpha", "MaXnAmEsErVrS=4\nname_servers=beta\n");
    Register("beta", "MaXnAmEsErVrS=4\nname_servers=alpha\n");
  }
  // Every machine's tmp/ must be empty after each test.
  void TearDown() override {
    for (const std::string m : {"alpha", "beta"})
      EXPECT_EQ(e2e::ListDir(Root(m) + "/tmp"), std::vector<std::string>{}) << m;
  }

  std::string Root(const std::string& machine) const { return cluster_.Root(machine); }
  void Register(const std::string& machine, const std::string& registry) {
    e2e::WriteFile(Root(machine) + "/etc/KELDA_servers", registry);
  }
  // Runs ls_call on machine; env adds to (or, empty, removes from) the
  // environment.
  e2e::RunResult Call(const std::string& machine, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env = {}) {
    std::vector<std::string> argv = {LS_CALL};
    argv.insert(argv.end(), args.begin(), args.end());
    e2e::RunOptions options;
    options.env = {{"RUDED_ROOT", Root(machine)}, {"OAM_TRACE", ""}, {"OAM_DEVTAB", ""}};
    for (const auto& [k, v] : env) options.env[k] = v;
    e2e::RunResult result = e2e::Run(argv, options);
    // The call itself must not leave a file behind (the cleanup list at
    // process exit is only the last resort), nor change the caller's list.
    EXPECT_EQ(result.err.find("leftover "), std::string::npos) << result.err;
    EXPECT_NE(result.status, 3) << "the call changed the caller's list";
    return result;
  }
  // Puts the pairs of a keyword stream on an object with the staged OTput.
  void Put(const std::string& machine, const std::string& alias, const std::string& stream) {
    e2e::RunOptions options;
    options.env = {{"RUDED_ROOT", Root(machine)}};
    options.input = stream;
    e2e::RunResult r = e2e::Run({Root(machine) + kBin + "OTput", "-A", alias, "-I", "-"}, options);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  // Replaces command with a script that prints output and exits with
  // status; what it saved on beta ("args", "devtab" or "stdin"; "" when it
  // did not run) is Saved().
  void Fake(const std::string& command, int status = 0, const std::string& output = "") {
    const std::string d = "\"$RUDED_ROOT/" + command;
    Script(command, "printf '%s\\n' \"$*\" > " + d + ".args\"\n"
                    "printf '%s\\n' \"${OAM_DEVTAB-unset}\" > " + d + ".devtab\"\n"
                    "cat > " + d + ".stdin\"\n"
                    "[ -f " + d + ".out\" ] && cat " + d + ".out\"\n"
                    "exit " + std::to_string(status) + "\n");
    e2e::WriteFile(Root("beta") + "/" + command + ".out", output);
    for (const char* what : {".args", ".devtab", ".stdin"})
      unlink((Root("beta") + "/" + command + what).c_str());
  }
  std::string Saved(const std::string& command, const std::string& what) const {
    return e2e::ReadFile(Root("beta") + "/" + command + "." + what);
  }
  int RsclientRuns() const {
    return static_cast<int>(
        e2e::Lines(e2e::ReadFile(cluster_.dir() + "/rsclient.runs"), "run").size());
  }
  std::vector<std::string> LogLines(const std::string& prefix) const {
    return e2e::Lines(e2e::ReadFile(Root("alpha") + "/var/adm/oam.log"), prefix);
  }
  void ClearLogs() {
    for (const std::string m : {"alpha", "beta"}) unlink((Root(m) + "/var/adm/oam.log").c_str());
    unlink((cluster_.dir() + "/rsclient.runs").c_str());
  }
  // A file outside every machine that a command smuggled into a shell line
  // would create.
  std::string Marker() const { return cluster_.dir() + "/marker"; }

  e2e::ScopedTempDir dir_;
  e2e::Cluster cluster_{dir_.path() + "/cluster"};

 private:
  static constexpr const char* kBin = "/usr/sadm/sysadm/bin/";
  // Replaces a command in alpha's command directory with a shell script.
  void Script(const std::string& command, const std::string& text) {
    const std::string path = Root("alpha") + kBin + command;
    unlink(path.c_str());
    e2e::WriteFile(path, "#!/bin/sh\n" + text);
    chmod(path.c_str(), 0755);
  }
};

}  // namespace ls_e2e

#endif  // RUDED_TESTS_LS_CLUSTER_H_
