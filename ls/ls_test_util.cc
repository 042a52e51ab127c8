#include "ls/ls_test_util.h"

#include <unistd.h>

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
  machine_ = std::make_unique<e2e::ScopedMachineRoot>();
  root_ = machine_->path();
  e2e::WriteFile(Under("/etc/nodename"), "alpha\n");
}

void MachineRootTest::TearDown() {
  EXPECT_EQ(e2e::ListDir(Under("/tmp")), std::vector<std::string>{});
  machine_.reset();
}

void MachineRootTest::WriteRegistry(const std::string& text) {
  e2e::WriteFile(Under("/etc/KELDA_servers"), text);
}

void MachineRootTest::ClearLog() { unlink(Under("/var/adm/oam.log").c_str()); }

}  // namespace ls_test
