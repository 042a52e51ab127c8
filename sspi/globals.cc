// The library's exported variables.  They live here, in the one shared
// library, so that every module of a process sees the same ones.

#include <stdio.h>

#include "sspi.h"

extern "C" {

int sspi_errno = 0;
int sspi_verbose_level = 0;
int sspi_explicit_level = 0;
FILE* sspi_output_stream = stdout;
char** sspi_argv = nullptr;

}  // extern "C"
