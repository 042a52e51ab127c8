// The library's private view of a KeywordList.
//
// A caller sees only the four-field KeywordList header.  The library
// allocates it as the first member of a ListRecord, which also keeps the
// last item of the chain, so that appending costs O(1) instead of a walk
// over the whole chain.  Every change to a chain goes through LinkAtEnd()
// and Unlink() below, which keep the tail, the count and the cursor right.

#ifndef SSPI_LIST_RECORD_H_
#define SSPI_LIST_RECORD_H_

#include <stdint.h>

#include "sspi.h"

namespace sspi {

struct ListRecord {
  KeywordList header;  // first: the header's address is the record's
  KeywordValueBlock* tail;  // last item of the chain, or nullptr
};

// The record around a header that CreateKeywordList() returned.
// REQUIRES: ValidKeywordList(list) == 0.
inline ListRecord* RecordOf(KeywordList* list) {
  return reinterpret_cast<ListRecord*>(list);
}

// Stores code in sspi_errno and returns it.
inline int SetResult(int code) {
  sspi_errno = code;
  return code;
}

// An address as traces print it: the whole pointer as an unsigned number.
inline unsigned long Addr(const void* p) {
  return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p));
}

// Widens the address window to include a newly created header.
void RecordCreatedAddress(const void* header);

// Whether p lies inside the address window and carries the live stamp.
bool IsLiveList(const KeywordList* p);

// Appends item at the end of the chain.  The first item of an empty list
// also becomes the cursor; otherwise the cursor is left alone.
void LinkAtEnd(ListRecord* rec, KeywordValueBlock* item);

// Takes item out of the chain without freeing it.  A cursor standing on
// the item moves to its successor.
void Unlink(ListRecord* rec, KeywordValueBlock* item);

// The first item whose keyword equals keyword byte for byte, or nullptr.
KeywordValueBlock* FindItem(const KeywordList* list, const char* keyword);

}  // namespace sspi

#endif  // SSPI_LIST_RECORD_H_
