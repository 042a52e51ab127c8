// Entry point of one object-tool command; the build compiles this file once
// per command with OT_COMMAND set to its name.

#include <stdio.h>

#include <new>

#include "platform/ot/commands.h"

#ifndef OT_COMMAND
#error "OT_COMMAND must name the command"
#endif

int main(int argc, char** argv) {
  try {
    return ot::RunCommand(OT_COMMAND, argc, argv);
  } catch (const std::bad_alloc&) {
    fprintf(stderr, "%s: No more memory\n", OT_COMMAND);
    return ot::kExitFailure;
  }
}
