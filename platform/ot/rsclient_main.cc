// RSClient: runs a command as another machine of the cluster.

#include <stdio.h>

#include <new>

#include "platform/ot/rsclient.h"

int main(int argc, char** argv) {
  try {
    return ot::RunRSClient(argc, argv);
  } catch (const std::bad_alloc&) {
    fprintf(stderr, "RSClient: No more memory\n");
    return ot::kRsExitError;
  }
}
