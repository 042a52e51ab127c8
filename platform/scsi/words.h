// Splitting one line of a fabric file into words.
//
// Words are separated by blanks (space, tab, carriage return).  A '#' that
// begins a word, outside quotes, starts a comment that runs to the end of
// the line; inside a word it is an ordinary character.  Double quotes keep
// blanks and '#' inside a word and are removed; they may stand anywhere in
// a word (serial="A B" is the word serial=A B), and "" is an empty word.
// There are no backslash escapes.

#ifndef RUDED_PLATFORM_SCSI_WORDS_H_
#define RUDED_PLATFORM_SCSI_WORDS_H_

#include <string>
#include <string_view>
#include <vector>

namespace scsi {

struct Word {
  std::string text;
  // name=value with the '=' outside quotes and a name of lower-case letters
  // only: an option.  Everything else is a positional word.
  bool is_option = false;
  std::string name;   // options only: the text before the '='
  std::string value;  // options only: the text after it
};

// Fills *words with the words of line (no newline inside).  Returns false
// and sets *err on an unterminated quote or a NUL byte.
bool SplitWords(std::string_view line, std::vector<Word>* words,
                std::string* err);

}  // namespace scsi

#endif  // RUDED_PLATFORM_SCSI_WORDS_H_
