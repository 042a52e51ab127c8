#include "ls/server_list.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "platform/ot/ot.h"

namespace ls {
namespace {

constexpr char kComponent[] = "LSGetservers";

unsigned long Address(const void* p) {
  return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p));
}

}  // namespace

ServerList::~ServerList() { free(text_); }

bool ServerList::Grow(size_t needed) {
  if (needed <= capacity_) return true;
  size_t capacity = capacity_ < 64 ? 64 : capacity_;
  while (capacity < needed) capacity *= 2;
  char* grown = static_cast<char*>(realloc(text_, capacity));
  if (grown == nullptr) return false;
  text_ = grown;
  capacity_ = capacity;
  return true;
}

bool ServerList::Reserve(size_t requested) {
  if (Grow(requested)) return true;
  IOTrace(7, kComponent, "realloc failed to allocate %zu bytes Servers was %s\n",
          requested, text_ != nullptr ? text_ : "");
  free(text_);
  text_ = nullptr;
  length_ = capacity_ = 0;
  return false;
}

bool ServerList::AddFirst(const char* name, size_t n) {
  IOTrace(7, kComponent, "first time malloc()\n");
  if (!Reserve(n + 1)) return false;
  IOTrace(7, kComponent, "copying server %s strlen %zu size %zu\n", name, n,
          n + 1);
  memcpy(text_, name, n + 1);
  length_ = n;
  return true;
}

bool ServerList::AddNext(const char* name, size_t n) {
  const size_t requested = length_ + n + 3;
  IOTrace(7, kComponent, "length of server w/comma  %zu\n", n + 1);
  IOTrace(7, kComponent, "total size of list %zu\n", requested);
  IOTrace(7, kComponent, "realloc(%s,%zu)\n", text_, requested);
  if (!Reserve(requested)) return false;
  IOTrace(7, kComponent, "realloc ok Server = %s strlen(Servers) %zu\n", text_,
          length_);
  IOTrace(7, kComponent, "comma, all_str ,%s length %zu\n", name, n + 1);
  IOTrace(7, kComponent,
          "appending all_str ,%s strlen %zu size %zu, Servers %s strlen(Servers) %zu\n",
          name, n + 1, requested, text_, length_);
  text_[length_] = ',';
  memcpy(text_ + length_ + 1, name, n + 1);
  length_ += n + 1;
  return true;
}

bool ServerList::Add(const char* name) {
  const size_t n = strlen(name);
  IOTrace(7, kComponent, "length of server %zu\n", n);
  if (!(text_ == nullptr ? AddFirst(name, n) : AddNext(name, n))) return false;
  ++count_;
  IOTrace(7, kComponent, "added %zu bytes\n", n);
  IOTrace(7, kComponent, "Servers after added %s 0x%lx\n", text_, Address(text_));
  return true;
}

char* ServerList::Release() {
  char* text = text_;
  text_ = nullptr;
  length_ = capacity_ = 0;
  return text;
}

}  // namespace ls
