#include "sspi/list_record.h"

#include <string.h>

namespace sspi {
namespace {

// The lowest and highest header addresses CreateKeywordList() has
// returned; 0 while no list was ever created.  The window only widens.
uintptr_t g_lowest = 0;
uintptr_t g_highest = 0;

constexpr char kLiveStamp[4] = {'S', 'S', 'P', 'I'};

}  // namespace

void RecordCreatedAddress(const void* header) {
  uintptr_t a = reinterpret_cast<uintptr_t>(header);
  if (g_lowest == 0 || a < g_lowest) g_lowest = a;
  if (g_highest == 0 || a > g_highest) g_highest = a;
}

bool IsLiveList(const KeywordList* p) {
  uintptr_t a = reinterpret_cast<uintptr_t>(p);
  if (p == nullptr || g_lowest == 0 || a < g_lowest || a > g_highest) {
    return false;
  }
  return memcmp(p->stamp, kLiveStamp, sizeof kLiveStamp) == 0;
}

void LinkAtEnd(ListRecord* rec, KeywordValueBlock* item) {
  KeywordList& h = rec->header;
  item->next_block = nullptr;
  item->prev_block = rec->tail;
  if (h.kwd_val_chain == nullptr) {
    h.kwd_val_chain = item;
    h.next_kwd_val = item;
  } else {
    rec->tail->next_block = item;
  }
  rec->tail = item;
  h.number_of_keywords++;
}

void Unlink(ListRecord* rec, KeywordValueBlock* item) {
  KeywordList& h = rec->header;
  if (h.next_kwd_val == item) h.next_kwd_val = item->next_block;
  if (item->prev_block == nullptr) {
    h.kwd_val_chain = item->next_block;
  } else {
    item->prev_block->next_block = item->next_block;
  }
  if (item->next_block == nullptr) {
    rec->tail = item->prev_block;
  } else {
    item->next_block->prev_block = item->prev_block;
  }
  item->prev_block = nullptr;
  item->next_block = nullptr;
  h.number_of_keywords--;
}

KeywordValueBlock* FindItem(const KeywordList* list, const char* keyword) {
  for (KeywordValueBlock* b = list->kwd_val_chain; b; b = b->next_block) {
    if (strcmp(b->keyword_address, keyword) == 0) return b;
  }
  return nullptr;
}

}  // namespace sspi
