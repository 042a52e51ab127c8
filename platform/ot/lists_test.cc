#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/ot/alias_chain.h"
#include "platform/ot/ot.h"

namespace ot {
namespace {

std::vector<std::string> Items(char** list) {
  std::vector<std::string> items;
  for (char** i = list; i != nullptr && *i != nullptr; ++i) items.push_back(*i);
  return items;
}

std::vector<std::string> Texts(const AliasList* list) {
  std::vector<std::string> texts;
  for (; list != nullptr; list = list->next) texts.push_back(list->alias);
  return texts;
}

TEST(CommaListTest, SplitsAtCommasAndDropsEmptyItems) {
  struct Case {
    const char* text;
    std::vector<std::string> items;
  } cases[] = {
      {"nodeA,nodeB", {"nodeA", "nodeB"}},
      {"single", {"single"}},
      {"a,,b,", {"a", "b"}},
      {",,,", {}},
      {"", {}},
      {" a , b", {" a ", " b"}},
      {"x,y,z,w", {"x", "y", "z", "w"}},
  };
  for (const Case& c : cases) {
    char** list = ParseCommaList(c.text);
    ASSERT_NE(list, nullptr) << c.text;
    EXPECT_EQ(Items(list), c.items) << "\"" << c.text << "\"";
    EXPECT_EQ(list[c.items.size()], nullptr) << c.text;
    DestroyCommaList(list);
  }
  EXPECT_EQ(ParseCommaList(nullptr), nullptr);
  DestroyCommaList(nullptr);
}

TEST(AliasListTest, AddingAppendsCopiesInOrder) {
  AliasList* head = nullptr;
  std::string text = "disk1";
  ASSERT_EQ(AddAnAliasToList(&head, text.c_str()), 0);
  text = "disk2";  // the list holds its own copy
  ASSERT_EQ(AddAnAliasToList(&head, text.c_str()), 0);
  ASSERT_EQ(AddAnAliasToList(&head, "alpha:tape"), 0);
  EXPECT_EQ(Texts(head),
            (std::vector<std::string>{"disk1", "disk2", "alpha:tape"}));
  EXPECT_EQ(AddAnAliasToList(nullptr, "x"), -1);
  EXPECT_EQ(AddAnAliasToList(&head, nullptr), -1);
  EXPECT_EQ(Texts(head).size(), 3u);
  OTFreeAliasList(head);
  OTFreeAliasList(nullptr);
}

TEST(AliasListTest, ChainsAreBuiltInOrder) {
  AliasList* chain = MakeAliasChain({"a", "b", "c"});
  EXPECT_EQ(Texts(chain), (std::vector<std::string>{"a", "b", "c"}));
  OTFreeAliasList(chain);
  EXPECT_EQ(MakeAliasChain({}), nullptr);
}

}  // namespace
}  // namespace ot
