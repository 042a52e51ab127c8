#include "cspec/driver.h"

#include <stdio.h>
#include <unistd.h>

#include "cspec/cspecials.h"
#include "cspec/device_info.h"
#include "cspec/machine_root.h"
#include "cspec/mdevice.h"
#include "cspec/node_list.h"
#include "cspec/probe.h"
#include "cspec/state.h"
#include "cspec/tmpnode.h"
#include "cspec/xlist.h"

namespace {

// Sets the opt_* state.  Returns false after printing the usage line for
// an option other than c, d, i, r.  Arguments after the options are
// ignored.
bool parse_options(int argc, char** argv) {
  opterr = 0;  // the usage line is the only message for a bad option
  // "+": the options end at the first other word, as on System V, instead
  // of GNU getopt's search of the whole line.
  for (int c; (c = getopt(argc, argv, "+cdir")) != -1;) {
    switch (c) {
      case 'c':
        opt_c = 1;
        break;
      case 'd':
        opt_debug = 1;
        break;
      case 'i':
        opt_mode |= OPT_INIT;
        break;
      case 'r':
        opt_mode |= OPT_RESP;
        break;
      default:
        fprintf(stderr, "Usage: %s [-c] [-i|-r]\n",
                argc > 0 && argv[0] != nullptr ? argv[0] : "qv_cspec");
        return false;
    }
  }
  return true;
}

// Steps up to the scan: the exclusion list, the directory and its nodes.
bool prepare() {
  mkxlist();
  debug("MAX_BUS=%d MAX_CNTL=%d MAX_SCSI_BUS=%d MAX_PUN=%d\n", MAX_BUS,
        MAX_CNTL, MAX_SCSI_BUS, MAX_PUN);
  if (locate_cspecials() != 0 || scan_cspecials() != 0) return false;
  if (opt_debug) dump_nodes();
  return true;
}

// Steps from device_info to the end of the probe.
void probe() {
  if (opt_mode & OPT_RESP) open_device_info();
  scsi_major = get_scsi_major();
  debug("SCSI major: %d\n", scsi_major);
  init_tmp_node();
  probe_adapters();
  if (opt_mode & OPT_RESP) close_device_info();
  if (opt_debug) dump_nodes();
}

}  // namespace

int cspec_main(int argc, char** argv) {
  if (!parse_options(argc, argv)) return 1;
  if (check_machine_root() != 0) return 1;
  if (!prepare()) return 1;
  probe();
  if (opt_mode != 0) reconcile_nodes();
  remove_tmp_node();
  return 0;
}
