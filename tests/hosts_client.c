/* hosts_client: runs every libls operation on the objects of one node and
 * prints the answers, so that the answers a host gets from another host
 * over RSClient can be compared with those the node gives itself.
 *
 *   hosts_client <node>
 *
 * On <node>:disk1 it asks one attribute, one method, all attributes, all
 * methods and the whole object; walks LSQuerynext ("all") from the first
 * alias to the end; browses with Containment <node> and type=disk; puts
 * size=40 on disk4 and reads it back; performs do_size with blocks=7.
 * Every answer is one or more lines; NULL and -1 are printed as such.
 * Exit status 0 when every call answered, 1 otherwise. */
#include <ls.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;
static char net[600];

static const char* On(const char* node, const char* alias) {
  snprintf(net, sizeof net, "%s:%s", node, alias);
  return net;
}

static void PrintPairs(const char* label, KeywordList* list) {
  for (KeywordValueBlock* b = list ? list->kwd_val_chain : NULL; b != NULL;
       b = b->next_block)
    printf("%s %s=\"%s\"\n", label, b->keyword_address, b->value_address);
}

static void Record(const char* label, AttributeRecord* record) {
  if (record == NULL) {
    printf("%s NULL\n", label);
    failures++;
    return;
  }
  printf("%s %s=\"%s\"\n", label, record->keyword, record->value);
  free(record);
}

static void List(const char* label, KeywordList* list) {
  if (list == NULL) {
    printf("%s NULL\n", label);
    failures++;
    return;
  }
  PrintPairs(label, list);
  DestroyKeywordList(list);
}

static KeywordList* Pairs(const char* k1, const char* v1, const char* k2,
                          const char* v2) {
  KeywordList* list = CreateKeywordList();
  if (list == NULL || AddKeywordToList(list, k1, v1) != SSPI_OK ||
      (k2 != NULL && AddKeywordToList(list, k2, v2) != SSPI_OK)) {
    fprintf(stderr, "hosts_client: cannot build a list\n");
    exit(2);
  }
  return list;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: hosts_client node\n");
    return 2;
  }
  const char* node = argv[1];
  Record("attr", LSQueryattr(On(node, "disk1"), "size"));
  Record("meth", LSQuerymeth(On(node, "disk1"), "do_size"));
  List("attrs", LSQueryattrs(On(node, "disk1")));
  List("meths", LSQuerymeths(On(node, "disk1")));

  ManagedObject* object = LSQueryobjs(On(node, "disk1"));
  if (object == NULL) {
    printf("obj NULL\n");
    failures++;
  } else {
    printf("obj alias %s\n", object->alias);
    PrintPairs("obj attribute", object->attributes);
    PrintPairs("obj method", object->methods);
    OTFreeObject(object);
  }

  /* The walk ends when no alias is left (NULL); a far node reports that
   * as a failed command, which is logged. */
  char previous[600] = "";
  int steps = 0;
  for (char* alias; steps < 100 &&
                    (alias = LSQuerynext("all", On(node, previous))) != NULL;
       ++steps) {
    printf("next %s\n", alias);
    snprintf(previous, sizeof previous, "%s", alias);
  }
  if (steps == 0) failures++;

  KeywordList* search = Pairs("Containment", node, "type", "disk");
  AliasList* aliases = LSgetaliases(search);
  DestroyKeywordList(search);
  if (aliases == NULL) {
    printf("aliases NULL\n");
    failures++;
  }
  for (AliasList* a = aliases; a != NULL; a = a->next)
    printf("aliases %s\n", a->alias);
  OTFreeAliasList(aliases);

  KeywordList* put = Pairs("size", "40", "type", "disk");
  int result = LSPut(On(node, "disk4"), put);
  DestroyKeywordList(put);
  printf("put %d\n", result);
  if (result != 0) failures++;
  List("put attrs", LSQueryattrs(On(node, "disk4")));

  KeywordList* params = Pairs("blocks", "7", NULL, NULL);
  List("perform", RSPerform(On(node, "disk1"), "do_size", params));
  DestroyKeywordList(params);
  return failures == 0 ? 0 : 1;
}
