/* ls.h compiles as C11 and a few of libls's C names link and answer;
 * behaviour is tested in C++.  Exits 0 when the calls answer as expected,
 * 1 (saying so) otherwise. */
#include <stdio.h>

#include "ls.h"

int main(void) {
  KeywordList* split = LSParseNetalias("beta:disk1");
  /* Without a node part an alias names an object of this node. */
  int ok = IsLocalAlias("disk1") == 1 && split != NULL;
  DestroyKeywordList(split);
  if (!ok) fprintf(stderr, "ls_c_test: a call failed\n");
  return ok ? 0 : 1;
}
