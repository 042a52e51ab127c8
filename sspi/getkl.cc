// Looking pairs up by keyword and walking a list with its cursor.

#include <string.h>

#include "sspi.h"
#include "sspi/list_record.h"

namespace {

constexpr const char* kLabel = "ReferenceKeywordInList";

int TraceReturn(int code) {
  SSPItrace(SSPI_LOG_SSPI, kLabel, "return_code='%d'", code);
  return sspi::SetResult(code);
}

}  // namespace

extern "C" {

int ReferenceKeywordInList(KeywordList* list, const char* keyword,
                           char** keyword_out, char** value_out) {
  sspi_errno = 0;
  if (ValidKeywordList(list) != SSPI_OK) return TraceReturn(SSPI_E_BAD_LIST);
  if (keyword == nullptr || keyword_out == nullptr || value_out == nullptr) {
    return TraceReturn(SSPI_E_BAD_ARGUMENT);
  }
  KeywordValueBlock* item = sspi::FindItem(list, keyword);
  if (item == nullptr) {
    *keyword_out = *value_out = nullptr;
    SSPItrace(SSPI_LOG_SSPI, kLabel, "Keyword not found");
    return TraceReturn(SSPI_E_NOT_FOUND);
  }
  *keyword_out = item->keyword_address;
  *value_out = item->value_address;
  SSPItrace(SSPI_LOG_SSPI, kLabel, "Keyword='%s' value='%s'",
            item->keyword_address, item->value_address);
  return TraceReturn(item->value_address[0] ? SSPI_OK : SSPI_E_NO_VALUE);
}

int ReferenceNextKeywordInList(KeywordList* list, char** keyword_out,
                               char** value_out) {
  sspi_errno = 0;
  if (ValidKeywordList(list) != SSPI_OK) return SSPI_E_BAD_LIST;
  if (keyword_out == nullptr || value_out == nullptr) {
    return sspi::SetResult(SSPI_E_BAD_ARGUMENT);
  }
  KeywordValueBlock* item = list->next_kwd_val;
  if (item == nullptr) {
    // The walk is over; the next one starts again at the first item.
    list->next_kwd_val = list->kwd_val_chain;
    *keyword_out = *value_out = nullptr;
    return sspi::SetResult(SSPI_E_END);
  }
  *keyword_out = item->keyword_address;
  *value_out = item->value_address;
  list->next_kwd_val = item->next_block;
  return sspi::SetResult(SSPI_OK);
}

int GetKeywordFmList(KeywordList* list, const char* keyword, char* value) {
  sspi_errno = 0;
  if (ValidKeywordList(list) != SSPI_OK) return SSPI_E_BAD_LIST;
  if (value == nullptr) return sspi::SetResult(SSPI_E_BAD_ARGUMENT);
  char* found_keyword;
  char* found_value;
  int rc = ReferenceKeywordInList(list, keyword, &found_keyword, &found_value);
  if (rc == SSPI_OK) {
    strcpy(value, found_value);
  } else {
    value[0] = '\0';
  }
  return rc;
}

int GetNextKeywordFmList(KeywordList* list, char* keyword, char* value) {
  sspi_errno = 0;
  if (ValidKeywordList(list) != SSPI_OK) return SSPI_E_BAD_LIST;
  if (keyword == nullptr || value == nullptr) {
    return sspi::SetResult(SSPI_E_BAD_ARGUMENT);
  }
  char* found_keyword;
  char* found_value;
  int rc = ReferenceNextKeywordInList(list, &found_keyword, &found_value);
  if (rc == SSPI_OK) {
    strcpy(keyword, found_keyword);
    strcpy(value, found_value);
  }
  return rc;
}

}  // extern "C"
