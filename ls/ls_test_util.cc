#include "ls/ls_test_util.h"

#include <stdlib.h>
#include <unistd.h>

#include <sstream>

namespace ls_test {

ListPtr MakeList(const Pairs& pairs) {
  ListPtr list(CreateKeywordList());
  for (const auto& [k, v] : pairs) AddKeywordToList(list.get(), k.c_str(), v.c_str());
  return list;
}

Pairs Contents(const KeywordList* list) {
  Pairs pairs;
  if (list == nullptr) return pairs;
  for (KeywordValueBlock* b = list->kwd_val_chain; b != nullptr; b = b->next_block)
    pairs.emplace_back(b->keyword_address, b->value_address);
  return pairs;
}

void MachineRootTest::SetUp() {
  dir_ = std::make_unique<e2e::ScopedTempDir>();
  root_ = dir_->path() + "/alpha";
  e2e::WriteFile(root_ + "/etc/nodename", "alpha\n");
  e2e::WriteFile(root_ + "/var/adm/.keep", "");
  e2e::WriteFile(root_ + "/tmp/.keep", "");
  unlink((root_ + "/var/adm/.keep").c_str());
  unlink((root_ + "/tmp/.keep").c_str());
  setenv("RUDED_ROOT", root_.c_str(), 1);
  unsetenv("OAM_TRACE");
  unsetenv("OAM_DEVTAB");
}

void MachineRootTest::TearDown() {
  // No operation may leave a file of its own in the machine's tmp/.
  EXPECT_EQ(e2e::ListDir(root_ + "/tmp"), std::vector<std::string>{});
  unsetenv("RUDED_ROOT");
  unsetenv("OAM_TRACE");
  unsetenv("OAM_DEVTAB");
  dir_.reset();
}

std::string MachineRootTest::Under(const std::string& path) const {
  return root_ + path;
}

void MachineRootTest::WriteRegistry(const std::string& text) {
  e2e::WriteFile(Under("/etc/KELDA_servers"), text);
}

std::vector<std::string> MachineRootTest::LogLines() const {
  std::vector<std::string> lines;
  std::istringstream in(e2e::ReadFile(Under("/var/adm/oam.log")));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> MachineRootTest::LogLinesStartingWith(
    const std::string& prefix) const {
  std::vector<std::string> out;
  for (const std::string& line : LogLines())
    if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
  return out;
}

void MachineRootTest::ClearLog() { unlink(Under("/var/adm/oam.log").c_str()); }

}  // namespace ls_test
