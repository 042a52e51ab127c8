// qv_cspec: keeps the cspecials directory in line with the SCSI host
// adapters of this machine and of the machines sharing its buses.

#include <stdio.h>

#include <new>

#include "cspec/driver.h"

int main(int argc, char** argv) {
  // Report lines on standard output keep their place among the warnings
  // on standard error when both go to one terminal or file.
  setvbuf(stdout, nullptr, _IOLBF, 0);
  try {
    return cspec_main(argc, argv);
  } catch (const std::bad_alloc&) {
    fputs("qv_cspec: No more memory\n", stderr);
    return 1;
  }
}
