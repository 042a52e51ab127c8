// Dumping a list, field by field, through the trace.

#include <stdarg.h>

#include "sspi.h"
#include "sspi/list_record.h"
#include "sspi/trace.h"

namespace {

constexpr const char* kLabel = "debugkl";

// Every dump line is traced at the current verbose level, so that it
// always passes the filter.
__attribute__((format(printf, 1, 2))) void Dump(const char* format, ...) {
  va_list args;
  va_start(args, format);
  sspi::TraceV(sspi_verbose_level, kLabel, format, args);
  va_end(args);
}

void DumpItem(const KeywordValueBlock* b) {
  using sspi::Addr;
  Dump("--- Next item   ---");
  Dump("kwd_val(block addr)=%lu", Addr(b));
  Dump("         prev_block=%lu", Addr(b->prev_block));
  Dump("         next_block=%lu", Addr(b->next_block));
  Dump("       storage_area=%lu", Addr(b->storage_area));
  Dump("    keyword_address=%lu", Addr(b->keyword_address));
  Dump("            keyword=%s", b->keyword_address);
  Dump("      value_address=%lu", Addr(b->value_address));
  Dump("              value=%s", b->value_address);
  Dump("--- End item    ---");
}

}  // namespace

extern "C" {

int DisplayKeywordList(KeywordList* list) {
  using sspi::Addr;
  sspi_errno = 0;
  if (ValidKeywordList(list) != SSPI_OK) return SSPI_E_BAD_LIST;
  Dump("KEYWORD_LIST_DUMP");
  Dump("--- KeywordList header block ---");
  Dump("   list header stamp   =%c%c%c%c", list->stamp[0], list->stamp[1],
       list->stamp[2], list->stamp[3]);
  Dump("   keyword_list_address=%lu", Addr(list));
  Dump("   number_of_keywords  =%d", list->number_of_keywords);
  Dump("   kwd_val_chain       =%lu", Addr(list->kwd_val_chain));
  Dump("   next_kwd_val        =%lu", Addr(list->next_kwd_val));
  Dump("--- Keyword list items       ---");
  for (const KeywordValueBlock* b = list->kwd_val_chain; b; b = b->next_block) {
    DumpItem(b);
  }
  Dump("--- End of list ---");
  return sspi::SetResult(SSPI_OK);
}

int DumpKeywordList(KeywordList* list) {
  sspi_errno = 0;
  if (sspi_verbose_level < SSPI_LOG_SSPI) return SSPI_OK;
  return DisplayKeywordList(list);
}

}  // extern "C"
