// Copying lists, merging one into another, and removing duplicate
// keywords.

#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "sspi.h"
#include "sspi/alloc.h"
#include "sspi/list_record.h"
#include "sspi/removekl.h"

namespace {

// One item of the list and its counterpart in the working copy.
struct Entry {
  KeywordValueBlock* item;
  KeywordValueBlock* copy_item;
  size_t position;
};

// The items [start, start + count) of the sorted entries share a keyword;
// its first occurrence is at first_position.
struct Group {
  size_t first_position;
  size_t start;
  size_t count;
};

// Fills entries with the items of list and copy, which hold the same
// pairs in the same order, sorted by keyword and then by position.
void SortEntries(KeywordList* list, KeywordList* copy, Entry* entries) {
  KeywordValueBlock* a = list->kwd_val_chain;
  KeywordValueBlock* b = copy->kwd_val_chain;
  for (size_t i = 0; a != nullptr; ++i, a = a->next_block, b = b->next_block) {
    entries[i] = {a, b, i};
  }
  std::sort(entries, entries + list->number_of_keywords,
            [](const Entry& x, const Entry& y) {
              int c = strcmp(x.item->keyword_address, y.item->keyword_address);
              return c < 0 || (c == 0 && x.position < y.position);
            });
}

// Collects the keywords that occur more than once, in the order of their
// first occurrence; returns how many there are.
size_t FindGroups(const Entry* entries, size_t n, Group* groups) {
  size_t count = 0;
  for (size_t start = 0, end; start < n; start = end) {
    for (end = start + 1; end < n; ++end) {
      if (strcmp(entries[start].item->keyword_address,
                 entries[end].item->keyword_address) != 0) {
        break;
      }
    }
    if (end - start > 1) {
      groups[count++] = {entries[start].position, start, end - start};
    }
  }
  std::sort(groups, groups + count, [](const Group& x, const Group& y) {
    return x.first_position < y.first_position;
  });
  return count;
}

// Of a keyword's k items, removes the first k-1 from the list and the
// last k-1 from the copy, so that the copy keeps the first occurrences.
void RemoveGroup(KeywordList* list, KeywordList* copy, const Entry* entries,
                 const Group& g) {
  for (size_t j = 1; j < g.count; ++j) {
    const Entry& earlier = entries[g.start + j - 1];
    SSPItrace(SSPI_LOG_NOTICE, "dupkl", "Duplicate Attribute Found for : %s  ",
              earlier.item->keyword_address);
    sspi::RemoveItem(list, earlier.item);
    KeywordValueBlock* b = entries[g.start + j].copy_item;
    sspi::Unlink(copy, b);
    free(b->storage_area);
    free(b);
  }
}

// Removes the duplicates of list with the help of its copy; -1 when there
// is no storage for the work (nothing is changed then), else 1 or 0.
int RemoveDuplicates(KeywordList* list, KeywordList* copy) {
  size_t n = static_cast<size_t>(list->number_of_keywords);
  if (n < 2) return 0;
  void* work = sspi::Allocate(n * (sizeof(Entry) + sizeof(Group)));
  if (work == nullptr) return -1;
  auto* entries = static_cast<Entry*>(work);
  auto* groups = reinterpret_cast<Group*>(entries + n);
  SortEntries(list, copy, entries);
  size_t group_count = FindGroups(entries, n, groups);
  for (size_t i = 0; i < group_count; ++i) {
    RemoveGroup(list, copy, entries, groups[i]);
  }
  free(work);
  return group_count > 0 ? 1 : 0;
}

}  // namespace

extern "C" {

int AddKeywordListToList(KeywordList* destination, KeywordList* source) {
  sspi_errno = 0;
  if (ValidKeywordList(destination) != SSPI_OK ||
      ValidKeywordList(source) != SSPI_OK || destination == source) {
    return sspi::SetResult(SSPI_E_BAD_LIST);
  }
  source->next_kwd_val = source->kwd_val_chain;
  char* keyword;
  char* value;
  while (ReferenceNextKeywordInList(source, &keyword, &value) == SSPI_OK) {
    if (AddKeywordToList(destination, keyword, value) != SSPI_OK) {
      source->next_kwd_val = source->kwd_val_chain;
      return sspi::SetResult(SSPI_E_FAILURE);
    }
  }
  // sspi_errno keeps the walk's final 245.
  return SSPI_OK;
}

KeywordList* DuplicateKeywordList(KeywordList* list) {
  sspi_errno = 0;
  if (ValidKeywordList(list) != SSPI_OK) return nullptr;
  KeywordList* copy = CreateKeywordList();
  if (copy == nullptr) return nullptr;
  sspi_errno = AddKeywordListToList(copy, list);
  return copy;
}

int RemoveDuplicateKeywordFmList(KeywordList* list) {
  sspi_errno = 0;
  if (ValidKeywordList(list) != SSPI_OK) return 0;
  KeywordList* copy = DuplicateKeywordList(list);
  if (copy == nullptr) return 0;
  int found = sspi_errno == SSPI_OK ? RemoveDuplicates(list, copy) : -1;
  int copy_errno = sspi_errno;
  DestroyKeywordList(copy);
  if (found < 0) {
    // A partial copy or no work space: the list stays as it was.
    sspi_errno = copy_errno == SSPI_OK ? SSPI_E_FAILURE : copy_errno;
    return 0;
  }
  return found;
}

}  // extern "C"
