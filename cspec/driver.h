// The driver of qv_cspec: options, the cspecials directory, the
// device_info file, the adapter probe and the final passes, in that order.
//
//   qv_cspec [-c] [-d] [-i] [-r]
//
// Without -i and -r the run is a report: the setups print what each
// adapter's vendor-specific area holds and the directory is left as it is,
// apart from duplicate nodes, which are removed in every mode.

#ifndef RUDED_CSPEC_DRIVER_H_
#define RUDED_CSPEC_DRIVER_H_

// Runs the command.  Returns the exit status: 0 after a completed run, 1
// for a usage error, a machine root that root may not trust, a cspecials
// directory that cannot be made or read, or memory exhausted up to the end
// of the scan (each reported on standard error).  Storage exhausted later
// costs the step it happens in, never the run.
int cspec_main(int argc, char** argv);

#endif  // RUDED_CSPEC_DRIVER_H_
