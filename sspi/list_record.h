// The library's private view of a KeywordList.
//
// A caller sees only the four-field KeywordList header.  The library
// allocates it as the first member of a ListRecord, which also remembers
// the last item of the chain, so that appending to a list costs O(1)
// instead of a walk over the whole chain.
//
// A caller may copy a header.  The copy passes the validity check when it
// lies inside the address window, and it shares the chain with the
// original; but nothing behind a copy belongs to the library.  So a record
// is found only through the registry of the headers CreateKeywordList()
// made, never by address arithmetic on a header the caller passes, and an
// append through a copy walks the chain as the original design does.
// Since such an append extends the chain the original shares, a record's
// last item is only a hint: an append follows next_block from it to the
// end.  Every change to a chain goes through LinkAtEnd() and Unlink()
// below, which keep the hints, the count and the cursor right.

#ifndef SSPI_LIST_RECORD_H_
#define SSPI_LIST_RECORD_H_

#include <stdint.h>

#include "sspi.h"

namespace sspi {

struct ListRecord {
  KeywordList header;  // first: the header's address is the record's
  // An item of the chain at or before its end, nullptr for an empty list.
  KeywordValueBlock* last;
};

// A new registered record with an empty list and the live stamp; nullptr
// with errno ENOMEM when there is no storage.
ListRecord* NewRecord();

// The record whose header is list, or nullptr when list is a header the
// caller made (a copy of one).  REQUIRES: ValidKeywordList(list) == 0.
ListRecord* OwnRecord(const KeywordList* list);

// Unregisters rec and frees it.
void FreeRecord(ListRecord* rec);

// Stores code in sspi_errno and returns it.
inline int SetResult(int code) {
  sspi_errno = code;
  return code;
}

// An address as traces print it: the whole pointer as an unsigned number.
inline unsigned long Addr(const void* p) {
  return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p));
}

// Whether p lies inside the address window and carries the live stamp.
bool IsLiveList(const KeywordList* p);

// Appends item at the end of list's chain.  The first item of an empty
// list also becomes the cursor; otherwise the cursor is left alone.
void LinkAtEnd(KeywordList* list, KeywordValueBlock* item);

// Takes item out of list's chain without freeing it.  A cursor standing on
// the item moves to its successor.
void Unlink(KeywordList* list, KeywordValueBlock* item);

// The first item whose keyword equals keyword byte for byte, or nullptr.
KeywordValueBlock* FindItem(const KeywordList* list, const char* keyword);

}  // namespace sspi

#endif  // SSPI_LIST_RECORD_H_
