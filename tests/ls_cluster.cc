#include "tests/ls_cluster.h"

#include <sys/stat.h>
#include <unistd.h>

namespace ls_e2e {
namespace {

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
  WriteScript(Root("alpha") + "/usr/sadm/sysadm/bin/RSClient",
              "#!/bin/sh\necho run >> '" + cluster_ + "/rsclient.runs'\nexec '" + LS_OT_BIN_DIR +
                  "/RSClient' \"$@\"\n");
  Register("alpha", "MaXnAmEsErVrS=4\nname_servers=beta\n");
  Register("beta", "MaXnAmEsErVrS=4\nname_servers=alpha\n");
}

void ClusterTest::TearDown() {
  for (const std::string m : {"alpha", "beta"})
    EXPECT_EQ(e2e::ListDir(Root(m) + "/tmp"), std::vector<std::string>{}) << m;
  dir_.reset();
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
  // The call itself must not leave a file behind (the cleanup list at
  // process exit is only the last resort), nor change the caller's list.
  EXPECT_EQ(result.err.find("leftover "), std::string::npos) << result.err;
  EXPECT_NE(result.status, 3) << "the call changed the caller's list";
  return result;
}

void ClusterTest::Put(const std::string& machine, const std::string& alias,
                      const std::string& stream) {
  e2e::RunOptions options;
  options.env = {{"RUDED_ROOT", Root(machine)}};
  options.input = stream;
  e2e::RunResult r = e2e::Run(
      {Root(machine) + "/usr/sadm/sysadm/bin/OTput", "-A", alias, "-I", "-"}, options);
  ASSERT_EQ(r.status, 0) << r.err;
}

void ClusterTest::Fake(const std::string& command, int status, const std::string& output) {
  const std::string d = "\"$RUDED_ROOT/" + command;
  WriteScript(Root("alpha") + "/usr/sadm/sysadm/bin/" + command,
              "#!/bin/sh\n"
              "printf '%s\\n' \"$*\" > " + d + ".args\"\n"
              "printf '%s\\n' \"${OAM_DEVTAB-unset}\" > " + d + ".devtab\"\n"
              "cat > " + d + ".stdin\"\n"
              "[ -f " + d + ".out\" ] && cat " + d + ".out\"\n"
              "exit " + std::to_string(status) + "\n");
  e2e::WriteFile(Root("beta") + "/" + command + ".out", output);
  for (const char* what : {".args", ".devtab", ".stdin"})
    unlink((Root("beta") + "/" + command + what).c_str());
}

int ClusterTest::RsclientRuns() const {
  return e2e::CountPrefix(e2e::ReadFile(cluster_ + "/rsclient.runs"), "run");
}

void ClusterTest::ClearLogs() {
  for (const std::string m : {"alpha", "beta"}) unlink((Root(m) + "/var/adm/oam.log").c_str());
  unlink((cluster_ + "/rsclient.runs").c_str());
}

}  // namespace ls_e2e
