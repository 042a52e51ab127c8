// libot's header compiles as C and its names link from a C caller, as
// libls and the product's other C callers use them: a list made and
// destroyed, and a get from a machine root that holds no object.  What the
// calls do is tested in ot_unit_test.

#include <stdio.h>
#include <stdlib.h>

#include "platform/ot/ot.h"

int main(void) {
  setenv("RUDED_ROOT", "/nonexistent/otc", 1);
  KeywordList* pairs = CreateKeywordList();
  AddKeywordToList(pairs, "size", "12");
  DestroyKeywordList(pairs);
  int status = -1;
  int ok = OTLgetattr("disk1", "size") == NULL;
  OTLastError(&status);
  if (!ok || status != OT_STATUS_ABSENT) {
    fprintf(stderr, "ot_c_test: a call from C failed (%d)\n", status);
    return 1;
  }
  return 0;
}
