#include "sspi/list_record.h"

#include <stdlib.h>
#include <string.h>

#include <unordered_set>

#include "sspi/alloc.h"

namespace sspi {
namespace {

// The lowest and highest header addresses CreateKeywordList() has
// returned; 0 while no list was ever created.  The window only widens.
uintptr_t g_lowest = 0;
uintptr_t g_highest = 0;

constexpr char kLiveStamp[4] = {'S', 'S', 'P', 'I'};

// The headers of the live records.  Never destroyed, so that lists freed
// by other exit-time code still find it.
std::unordered_set<const KeywordList*>& Registry() {
  static auto* registry = new std::unordered_set<const KeywordList*>;
  return *registry;
}

void RecordCreatedAddress(const void* header) {
  uintptr_t a = reinterpret_cast<uintptr_t>(header);
  if (g_lowest == 0 || a < g_lowest) g_lowest = a;
  if (g_highest == 0 || a > g_highest) g_highest = a;
}

// The end of the chain, walked from hint (an item of the chain) or, without
// one, from its first item.
KeywordValueBlock* LastItem(const KeywordList* list, KeywordValueBlock* hint) {
  KeywordValueBlock* b = hint != nullptr ? hint : list->kwd_val_chain;
  if (b == nullptr) return nullptr;
  while (b->next_block != nullptr) b = b->next_block;
  return b;
}

// Moves every record's hint that stands on item back to its predecessor.
// Only a removal through a copy can take away another header's hint, so
// only that rare path pays for the look at every record.
void DropHint(ListRecord* own, KeywordValueBlock* item) {
  if (own != nullptr) {
    if (own->last == item) own->last = item->prev_block;
    return;
  }
  for (const KeywordList* header : Registry()) {
    ListRecord* rec = OwnRecord(header);
    if (rec->last == item) rec->last = item->prev_block;
  }
}

}  // namespace

ListRecord* NewRecord() {
  auto* rec = static_cast<ListRecord*>(Allocate(sizeof(ListRecord)));
  if (rec == nullptr) return nullptr;
  *rec = {{0, nullptr, nullptr, {'S', 'S', 'P', 'I'}}, nullptr};
  if (!Guarded("createkl", [&] { Registry().insert(&rec->header); })) {
    free(rec);
    return nullptr;
  }
  RecordCreatedAddress(&rec->header);
  return rec;
}

ListRecord* OwnRecord(const KeywordList* list) {
  if (Registry().count(list) == 0) return nullptr;
  // The header is the first member of a record the library allocated.
  return reinterpret_cast<ListRecord*>(const_cast<KeywordList*>(list));
}

void FreeRecord(ListRecord* rec) {
  Registry().erase(&rec->header);
  free(rec);
}

bool IsLiveList(const KeywordList* p) {
  uintptr_t a = reinterpret_cast<uintptr_t>(p);
  if (p == nullptr || g_lowest == 0 || a < g_lowest || a > g_highest) {
    return false;
  }
  return memcmp(p->stamp, kLiveStamp, sizeof kLiveStamp) == 0;
}

void LinkAtEnd(KeywordList* list, KeywordValueBlock* item) {
  ListRecord* rec = OwnRecord(list);
  KeywordValueBlock* last = LastItem(list, rec ? rec->last : nullptr);
  item->next_block = nullptr;
  item->prev_block = last;
  if (last == nullptr) {
    list->kwd_val_chain = item;
    list->next_kwd_val = item;
  } else {
    last->next_block = item;
  }
  if (rec != nullptr) rec->last = item;
  list->number_of_keywords++;
}

void Unlink(KeywordList* list, KeywordValueBlock* item) {
  DropHint(OwnRecord(list), item);
  if (list->next_kwd_val == item) list->next_kwd_val = item->next_block;
  if (item->prev_block == nullptr) {
    list->kwd_val_chain = item->next_block;
  } else {
    item->prev_block->next_block = item->next_block;
  }
  if (item->next_block != nullptr) {
    item->next_block->prev_block = item->prev_block;
  }
  item->prev_block = nullptr;
  item->next_block = nullptr;
  list->number_of_keywords--;
}

KeywordValueBlock* FindItem(const KeywordList* list, const char* keyword) {
  for (KeywordValueBlock* b = list->kwd_val_chain; b; b = b->next_block) {
    if (strcmp(b->keyword_address, keyword) == 0) return b;
  }
  return nullptr;
}

}  // namespace sspi
