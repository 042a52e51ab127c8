// libot's header compiles as C and its names link from a C caller, as
// libls and the product's other C callers use them: a put and a get over a
// private machine root.  What the calls do is tested in ot_unit_test.

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/ot/ot.h"

int main(void) {
  char root[] = "/tmp/otc.XXXXXX", command[64];
  if (mkdtemp(root) == NULL) return 2;
  setenv("RUDED_ROOT", root, 1);
  KeywordList* pairs = CreateKeywordList();
  AddKeywordToList(pairs, "size", "12");
  AttributeRecord* record =
      OTLput("disk1", pairs) == 0 ? OTLgetattr("disk1", "size") : NULL;
  int ok = record != NULL && strcmp(record->value, "12") == 0;
  free(record);
  DestroyKeywordList(pairs);
  snprintf(command, sizeof command, "rm -rf '%s'", root);
  ok = system(command) == 0 && ok;
  if (!ok) fprintf(stderr, "ot_c_test: a call from C failed\n");
  return ok ? 0 : 1;
}
