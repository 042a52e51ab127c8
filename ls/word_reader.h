// Reading white-space separated words from a command's output into a
// fixed buffer, never past its end.

#ifndef RUDED_LS_WORD_READER_H_
#define RUDED_LS_WORD_READER_H_

#include <stddef.h>
#include <stdio.h>

namespace ls {

enum class WordResult {
  kWord,     // a word is in the buffer
  kEnd,      // only white space was left before the end of the output
  kTooLong,  // the word does not fit: the buffer holds "", the word is skipped
  kError,    // the stream reported a read error
};

// Skips white space and reads the next word (what fscanf's "%s" reads) into
// buffer, which holds size bytes including the NUL.
// REQUIRES: size > 0.
WordResult ReadWord(FILE* stream, char* buffer, size_t size);

}  // namespace ls

#endif  // RUDED_LS_WORD_READER_H_
