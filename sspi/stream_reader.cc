// Reading lists from text.  The reader takes more than the writer makes:
// blank lines and "#" comments between pairs, several pairs on a line,
// bare or quoted keywords and values, and values mixing both.

#include <stdio.h>

#include "sspi.h"
#include "sspi/list_record.h"

namespace {

constexpr int kKeywordLimit = SSPI_KEYWORD_BUFFER - 1;
constexpr int kValueLimit = SSPI_VALUE_BUFFER - 1;
constexpr int kContinue = -1;

// Holds the stream's lock for the reader, so that it can take bytes with
// getc_unlocked(); the library is single-threaded anyway.
class StreamLock {
 public:
  explicit StreamLock(FILE* stream) : stream_(stream) { flockfile(stream_); }
  ~StreamLock() { funlockfile(stream_); }
  StreamLock(const StreamLock&) = delete;
  StreamLock& operator=(const StreamLock&) = delete;

 private:
  FILE* stream_;
};

// Reads one pair into caller buffers of at least SSPI_KEYWORD_BUFFER and
// SSPI_VALUE_BUFFER bytes.
class PairReader {
 public:
  PairReader(FILE* in, char* keyword, char* value)
      : in_(in), keyword_(keyword), value_(value), pos_(keyword) {}

  int Read() {
    keyword_[0] = value_[0] = '\0';
    int c = SkipBlanksAndComments();
    if (c == EOF) return SSPI_E_END;
    for (int r = Step(c); ; r = Step(getc_unlocked(in_))) {
      if (r != kContinue) return r;
    }
  }

 private:
  // Skips bytes 0-32 and "#" comments up to and including their newline;
  // returns the first byte of the pair, or EOF.
  int SkipBlanksAndComments() {
    for (;;) {
      int c = getc_unlocked(in_);
      if (c == '#') {
        while (c != EOF && c != '\n') c = getc_unlocked(in_);
      }
      if (c == EOF) return EOF;
      if (c > ' ' && c != '#') return c;
    }
  }

  int Step(int c) {
    if (c == '=' && !quoted_) return Equals();
    if (c == '"') return Quote();
    if (c == '\n' || c == EOF) return EndOfLine(c);
    if (c <= ' ') return WhiteSpace();
    return Store(static_cast<char>(c),
                 !in_value_ ? SSPI_E_KEYWORD_TOO_LONG
                 : quoted_  ? SSPI_E_OPEN_QUOTE
                            : SSPI_E_VALUE_TOO_LONG);
  }

  // An unquoted "=" ends the keyword, or starts the value afresh.
  int Equals() {
    if (!in_value_ && count_ == 0) return Stop(SSPI_E_BAD_ARGUMENT);
    *pos_ = '\0';
    pos_ = value_;
    count_ = 0;
    limit_ = kValueLimit;
    in_value_ = true;
    return kContinue;
  }

  // A closing quote ends the pair in the value, but not the keyword.
  int Quote() {
    quoted_ = !quoted_;
    if (!quoted_ && in_value_) return Stop(SSPI_OK);
    return kContinue;
  }

  int EndOfLine(int c) {
    if (quoted_) {
      if (c == EOF) return Stop(SSPI_E_OPEN_QUOTE);
      return Store('\n', SSPI_E_OPEN_QUOTE);
    }
    if (in_value_) return Stop(count_ == 0 ? SSPI_E_EMPTY_VALUE : SSPI_OK);
    return Stop(count_ == 0 ? SSPI_E_BAD_ARGUMENT : SSPI_E_NO_VALUE);
  }

  int WhiteSpace() {
    if (quoted_) return Store(' ', SSPI_E_VALUE_TOO_LONG);
    if (in_value_) return Stop(count_ == 0 ? SSPI_E_EMPTY_VALUE : SSPI_OK);
    return Stop(SSPI_E_NO_VALUE);
  }

  // Stores c; a field that reaches its limit ends with code_at_limit.
  int Store(char c, int code_at_limit) {
    *pos_++ = c;
    return ++count_ == limit_ ? Stop(code_at_limit) : kContinue;
  }

  int Stop(int code) {
    *pos_ = '\0';
    return code;
  }

  FILE* in_;
  char* keyword_;
  char* value_;
  char* pos_;  // where the next byte of the current field goes
  int count_ = 0;
  int limit_ = kKeywordLimit;
  bool quoted_ = false;
  bool in_value_ = false;
};

KeywordList* Discard(KeywordList* list, int code) {
  DestroyKeywordList(list);
  sspi_errno = code;
  return nullptr;
}

}  // namespace

extern "C" {

int GetKeyword(FILE* stream, char* keyword, char* value) {
  if (stream == nullptr || keyword == nullptr || value == nullptr) {
    return sspi::SetResult(SSPI_E_BAD_ARGUMENT);
  }
  StreamLock lock(stream);
  return sspi::SetResult(PairReader(stream, keyword, value).Read());
}

KeywordList* KeywordStreamToList(FILE* stream) {
  sspi_errno = 0;
  if (stream == nullptr) {
    sspi_errno = SSPI_E_BAD_ARGUMENT;
    return nullptr;
  }
  KeywordList* list = CreateKeywordList();
  if (list == nullptr) return nullptr;
  char keyword[40];
  char value[520];
  for (;;) {
    int rc = GetKeyword(stream, keyword, value);
    if (rc == SSPI_E_END) return list;  // sspi_errno stays 245
    if (rc != SSPI_OK && rc != SSPI_E_NO_VALUE && rc != SSPI_E_EMPTY_VALUE) {
      return Discard(list, rc);
    }
    if (AddKeywordToList(list, keyword, value) != SSPI_OK) {
      return Discard(list, SSPI_E_FAILURE);
    }
  }
}

}  // extern "C"
