// The C lists the library hands out: alias chains and comma lists.

#include <stdlib.h>
#include <string.h>

#include "platform/ot/alias_chain.h"
#include "platform/ot/api_util.h"

namespace ot {

AliasList* MakeAliasChain(const std::vector<std::string>& aliases) {
  AliasList* head = nullptr;
  AliasList** tail = &head;
  for (const std::string& alias : aliases) {
    auto* entry = static_cast<AliasList*>(malloc(sizeof(AliasList)));
    char* text = CopyText(alias);
    if (entry == nullptr || text == nullptr) {
      free(entry);
      free(text);
      OTFreeAliasList(head);
      return nullptr;
    }
    *entry = {text, nullptr};
    *tail = entry;
    tail = &entry->next;
  }
  return head;
}

}  // namespace ot

extern "C" {

int AddAnAliasToList(AliasList** head, const char* text) {
  if (head == nullptr || text == nullptr) return -1;
  auto* entry = static_cast<AliasList*>(malloc(sizeof(AliasList)));
  char* copy = strdup(text);
  if (entry == nullptr || copy == nullptr) {
    free(entry);
    free(copy);
    return -1;
  }
  *entry = {copy, nullptr};
  AliasList** tail = head;
  while (*tail != nullptr) tail = &(*tail)->next;
  *tail = entry;
  return 0;
}

void OTFreeAliasList(AliasList* list) {
  while (list != nullptr) {
    AliasList* next = list->next;
    free(list->alias);
    free(list);
    list = next;
  }
}

char** ParseCommaList(const char* text) {
  if (text == nullptr) return nullptr;
  // Count the items first so that the array is allocated once.
  size_t count = 0;
  for (const char* p = text; *p != '\0';) {
    size_t n = strcspn(p, ",");
    if (n > 0) ++count;
    p += n;
    if (*p == ',') ++p;
  }
  auto** items = static_cast<char**>(calloc(count + 1, sizeof(char*)));
  if (items == nullptr) return nullptr;
  size_t i = 0;
  for (const char* p = text; *p != '\0';) {
    size_t n = strcspn(p, ",");
    if (n > 0 && (items[i++] = strndup(p, n)) == nullptr) {
      DestroyCommaList(items);
      return nullptr;
    }
    p += n;
    if (*p == ',') ++p;
  }
  return items;
}

void DestroyCommaList(char** list) {
  if (list == nullptr) return;
  for (char** item = list; *item != nullptr; ++item) free(*item);
  free(list);
}

}  // extern "C"
