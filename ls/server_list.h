// The server list text that LSGetservers hands out: the accepted names
// joined by single commas, in file order, in one malloc()ed text the
// caller free()s.
//
// Each step of building it is traced under "LSGetservers", as the
// original traced its allocations.  Two sizes are at play and kept apart:
// the size the original asked for at each step (the first name's length +
// 1; then the current length + the name's length + 3), which the traces
// report, and the storage actually held, which grows geometrically so that
// a long registry is read in linear time.  Running out of storage drops
// the whole text: a shorter list must never pass for the whole one.

#ifndef RUDED_LS_SERVER_LIST_H_
#define RUDED_LS_SERVER_LIST_H_

#include <stddef.h>

namespace ls {

class ServerList {
 public:
  ServerList() = default;
  ~ServerList();
  ServerList(const ServerList&) = delete;
  ServerList& operator=(const ServerList&) = delete;

  // Appends name (behind a comma unless it is the first) and counts it.
  // Returns false when storage ran out; the text is then dropped.
  bool Add(const char* name);

  // Number of names added.
  int count() const { return count_; }

  // Hands the text over to the caller (free()); NULL when no name was
  // added or storage ran out.
  char* Release();

 private:
  bool AddFirst(const char* name, size_t n);
  bool AddNext(const char* name, size_t n);
  // Makes room for requested bytes (the original's size); on failure traces
  // it, drops the text and returns false.
  bool Reserve(size_t requested);
  bool Grow(size_t needed);

  char* text_ = nullptr;
  size_t length_ = 0;    // of the text, without its NUL
  size_t capacity_ = 0;  // storage held
  int count_ = 0;
};

}  // namespace ls

#endif  // RUDED_LS_SERVER_LIST_H_
