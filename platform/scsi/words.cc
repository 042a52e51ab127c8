#include "platform/scsi/words.h"

namespace scsi {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool IsOptionName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name)
    if (c < 'a' || c > 'z') return false;
  return true;
}

// Reads one word starting at line[*pos] (not a blank).  An '=' seen before
// any quote marks where an option's name ends.
bool ReadWord(std::string_view line, size_t* pos, Word* word,
              std::string* err) {
  bool quoted = false, seen_quote = false;
  size_t eq = std::string::npos;
  size_t i = *pos;
  for (; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      quoted = !quoted;
      seen_quote = true;
      continue;
    }
    if (!quoted && IsBlank(c)) break;
    if (c == '=' && !seen_quote && eq == std::string::npos)
      eq = word->text.size();
    word->text += c;
  }
  if (quoted) {
    *err = "unterminated quote";
    return false;
  }
  *pos = i;
  if (eq != std::string::npos && IsOptionName(word->text.substr(0, eq))) {
    word->is_option = true;
    word->name = word->text.substr(0, eq);
    word->value = word->text.substr(eq + 1);
  }
  return true;
}

}  // namespace

bool SplitWords(std::string_view line, std::vector<Word>* words,
                std::string* err) {
  words->clear();
  if (line.find('\0') != std::string_view::npos) {
    *err = "NUL byte in line";
    return false;
  }
  size_t pos = 0;
  while (pos < line.size()) {
    if (IsBlank(line[pos])) {
      ++pos;
      continue;
    }
    if (line[pos] == '#') break;
    Word word;
    if (!ReadWord(line, &pos, &word, err)) return false;
    words->push_back(std::move(word));
  }
  return true;
}

}  // namespace scsi
