#include "ls/word_reader.h"

#include <ctype.h>

namespace ls {

WordResult ReadWord(FILE* stream, char* buffer, size_t size) {
  buffer[0] = '\0';
  int c;
  while ((c = getc(stream)) != EOF && isspace(c)) {
  }
  if (c == EOF) return ferror(stream) ? WordResult::kError : WordResult::kEnd;
  size_t n = 0;
  bool fits = true;
  for (; c != EOF && !isspace(c); c = getc(stream)) {
    if (n + 1 < size) {
      buffer[n++] = static_cast<char>(c);
    } else {
      fits = false;
    }
  }
  buffer[fits ? n : 0] = '\0';
  if (c == EOF && ferror(stream)) return WordResult::kError;
  return fits ? WordResult::kWord : WordResult::kTooLong;
}

}  // namespace ls
