// libot's header compiles as C and its names link from a C caller, as
// libls and the product's other C callers use them: a few calls over a
// private machine root.  What the calls do is tested in ot_unit_test.

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/ot/ot.h"

int main(void) {
  const char* base = getenv("TMPDIR");
  char root[64], command[96];
  snprintf(root, sizeof root, "%s/otc.XXXXXX", base && *base ? base : "/tmp");
  if (strlen(root) > 40 || mkdtemp(root) == NULL) return 2;
  setenv("RUDED_ROOT", root, 1);
  KeywordList* pairs = CreateKeywordList();
  AddKeywordToList(pairs, "size", "12");
  int ok = OTLput("disk1", pairs) == 0;
  AttributeRecord* record = OTLgetattr("disk1", "size");
  ok = ok && record != NULL && strcmp(record->value, "12") == 0;
  free(record);
  DestroyKeywordList(pairs);
  OTerror("ot_c_test", "logged from C");
  snprintf(command, sizeof command, "rm -rf '%s'", root);
  if (system(command) != 0) ok = 0;
  if (!ok) fprintf(stderr, "ot_c_test: a call from C failed\n");
  return ok ? 0 : 1;
}
