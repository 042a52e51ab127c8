#include "tests/ls_cluster.h"

#include <sys/stat.h>
#include <unistd.h>


namespace ls_e2e {
namespace {

std::string Bin(const std::string& root) { return root + "/usr/sadm/sysadm/bin"; }

void WriteScript(const std::string& path, const std::string& text) {
  unlink(path.c_str());
  e2e::WriteFile(path, text);
  chmod(path.c_str(), 0755);
}

}  // namespace

void ClusterTest::SetUp() {
  dir_ = std::make_unique<e2e::ScopedTempDir>();
  cluster_ = dir_->path() + "/cluster";
  // simcluster links the object-tool commands and runs OTinit on each.
  e2e::RunResult r = e2e::Cluster(cluster_).Create(
      "bus ls\n  adapter alpha 0 0 0 7\n  adapter beta 0 0 0 6\n");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const std::string machine : {"alpha", "beta"}) {
    // Every run of RSClient on this machine is counted.
    WriteScript(Bin(Root(machine)) + "/RSClient",
                "#!/bin/sh\necho run >> '" + cluster_ + "/rsclient.runs'\nexec '" +
                    LS_OT_BIN_DIR + "/RSClient' \"$@\"\n");
    machines_.push_back(machine);
  }
  Register("alpha", "MaXnAmEsErVrS=4\nname_servers=beta\n");
  Register("beta", "MaXnAmEsErVrS=4\nname_servers=alpha\n");
}

void ClusterTest::TearDown() {
  for (const std::string& m : machines_)
    EXPECT_EQ(e2e::ListDir(Root(m) + "/tmp"), std::vector<std::string>{}) << m;
  dir_.reset();
}

std::string ClusterTest::Root(const std::string& machine) const {
  return cluster_ + "/" + machine;
}

void ClusterTest::Register(const std::string& machine, const std::string& registry) {
  e2e::WriteFile(Root(machine) + "/etc/KELDA_servers", registry);
}

e2e::RunResult ClusterTest::Call(const std::string& machine,
                                 const std::vector<std::string>& args,
                                 const std::map<std::string, std::string>& env) {
  std::vector<std::string> argv = {LS_CALL};
  argv.insert(argv.end(), args.begin(), args.end());
  e2e::RunOptions options;
  options.env = {{"RUDED_ROOT", Root(machine)}, {"OAM_TRACE", ""}, {"OAM_DEVTAB", ""}};
  for (const auto& [k, v] : env) options.env[k] = v;
  e2e::RunResult result = e2e::Run(argv, options);
  // The call itself must not leave a file behind; the cleanup list at
  // process exit is only the last resort.
  EXPECT_EQ(result.err.find("leftover "), std::string::npos) << result.err;
  return result;
}

void ClusterTest::Put(const std::string& machine, const std::string& alias,
                      const std::string& stream) {
  e2e::RunOptions options;
  options.env = {{"RUDED_ROOT", Root(machine)}};
  options.input = stream;
  e2e::RunResult r =
      e2e::Run({Bin(Root(machine)) + "/OTput", "-A", alias, "-I", "-"}, options);
  ASSERT_EQ(r.status, 0) << r.err;
}

void ClusterTest::Fake(const std::string& machine, const std::string& command,
                       int status) {
  const std::string d = "\"$RUDED_ROOT/" + command;
  WriteScript(Bin(Root(machine)) + "/" + command,
              "#!/bin/sh\n"
              "printf '%s\\n' \"$*\" > " + d + ".args\"\n"
              "printf '%s\\n' \"${OAM_DEVTAB-unset}\" > " + d + ".devtab\"\n"
              "cat > " + d + ".stdin\"\n"
              "[ -f " + d + ".out\" ] && cat " + d + ".out\"\n"
              "exit " + std::to_string(status) + "\n");
}

void ClusterTest::Canned(const std::string& machine, const std::string& command,
                         const std::string& output) {
  e2e::WriteFile(Root(machine) + "/" + command + ".out", output);
}

std::string ClusterTest::Saved(const std::string& machine, const std::string& command,
                               const std::string& what) {
  return e2e::ReadFile(Root(machine) + "/" + command + "." + what);
}

int ClusterTest::RsclientRuns() const {
  std::string runs = e2e::ReadFile(cluster_ + "/rsclient.runs");
  int n = 0;
  for (char c : runs) n += c == '\n';
  return n;
}

std::vector<std::string> ClusterTest::LogLines(const std::string& machine,
                                               const std::string& prefix) const {
  return e2e::Lines(e2e::ReadFile(Root(machine) + "/var/adm/oam.log"), prefix);
}

void ClusterTest::ClearLogs() {
  for (const std::string& m : machines_) unlink((Root(m) + "/var/adm/oam.log").c_str());
  unlink((cluster_ + "/rsclient.runs").c_str());
}

}  // namespace ls_e2e
