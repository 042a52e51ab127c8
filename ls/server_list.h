// The server list text that LSGetservers hands out: accepted names joined
// by single commas, in one malloc()ed text the caller free()s.

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
  bool Grow(size_t needed);

  char* text_ = nullptr;
  size_t length_ = 0;
  size_t capacity_ = 0;
  int count_ = 0;
};

}  // namespace ls

#endif  // RUDED_LS_SERVER_LIST_H_
