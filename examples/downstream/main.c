/* lsquery: a program outside the source tree that uses the installed
 * libsspi and libls, as another component of the product would.
 *
 *   lsquery                 checks the keyword-list and net-alias calls
 *   lsquery node:alias ...  also prints the attributes of each object
 *
 * Every check prints what it saw; the exit status is 0 only when all of
 * them held and every object asked for was answered. */
#include <ls.h>
#include <stdio.h>
#include <string.h>

static int failures = 0;

static void Check(int ok, const char* what) {
  printf("%s: %s\n", ok ? "ok" : "FAILED", what);
  if (!ok) failures++;
}

/* Value of keyword in list, or "" when the list has none. */
static const char* ValueOf(KeywordList* list, const char* keyword) {
  char* k = NULL;
  char* v = NULL;
  return ReferenceKeywordInList(list, keyword, &k, &v) == SSPI_OK ? v : "";
}

/* Builds a list, writes it as text and reads it back. */
static void CheckKeywordLists(void) {
  KeywordList* list = CreateKeywordList();
  if (list == NULL) {
    Check(0, "CreateKeywordList");
    return;
  }
  AddKeywordToList(list, "device", "c0t3d0s0");
  AddValueToList(list, "owners", "alpha");
  AddValueToList(list, "owners", "beta");
  AddValueToList(list, "owners", "alpha"); /* already there: no change */
  Check(strcmp(ValueOf(list, "owners"), "alpha,beta") == 0,
        "AddValueToList keeps one copy of each value");

  FILE* text = tmpfile();
  KeywordList* back = NULL;
  if (text != NULL && KeywordListToStream(text, list) == SSPI_OK) {
    rewind(text);
    back = KeywordStreamToList(text);
  }
  Check(back != NULL && NumberOfKeywords(back) == 2 &&
            strcmp(ValueOf(back, "device"), "c0t3d0s0") == 0,
        "a list written as text reads back the same");
  if (text != NULL) fclose(text);
  KeywordListToStream(stdout, list);
  DestroyKeywordList(back);
  Check(DestroyKeywordList(list) == SSPI_OK, "DestroyKeywordList");
}

/* Splits and composes net aliases; no node is asked anything. */
static void CheckNetaliases(void) {
  KeywordList* split = LSParseNetalias("beta:disk:1");
  Check(split != NULL && strcmp(ValueOf(split, "nodename"), "beta") == 0 &&
            strcmp(ValueOf(split, "alias"), "disk:1") == 0,
        "LSParseNetalias splits at the first colon");
  DestroyKeywordList(split);

  KeywordList* joined = LSCreateNetalias("beta", "disk:1");
  Check(joined != NULL &&
            strcmp(ValueOf(joined, "netalias"), "beta:disk:1") == 0,
        "LSCreateNetalias joins node and alias");
  DestroyKeywordList(joined);

  Check(IsLocalAlias("System") == 1, "an alias without a node is local");
  KeywordList* none = LSParseNetalias("no-colon");
  Check(none == NULL, "a text without a colon is refused");
  DestroyKeywordList(none);
}

/* Prints the attributes of the object netalias names. */
static void Query(const char* netalias) {
  KeywordList* attributes = LSQueryattrs(netalias);
  if (attributes == NULL) {
    printf("FAILED: %s: no answer (see the machine's var/adm/oam.log)\n",
           netalias);
    failures++;
    return;
  }
  printf("%s:\n", netalias);
  KeywordListToStream(stdout, attributes);
  DestroyKeywordList(attributes);
}

int main(int argc, char** argv) {
  CheckKeywordLists();
  CheckNetaliases();
  for (int i = 1; i < argc; i++) Query(argv[i]);
  return failures == 0 ? 0 : 1;
}
