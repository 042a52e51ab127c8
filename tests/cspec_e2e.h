// Shared pieces of the qv_cspec end-to-end tests: a simulated machine root
// made by hand or by simcluster, and runs of the staged command on it.

#ifndef RUDED_TESTS_CSPEC_E2E_H_
#define RUDED_TESTS_CSPEC_E2E_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "tests/e2e_util.h"

namespace cspec_e2e {

inline constexpr char kHostadp[] = "/usr/ruded/subsys/scsi/resources/hostadp";
inline constexpr char kCspecials[] =
    "/usr/ruded/subsys/scsi/resources/hostadp/cspecials";
inline constexpr char kDeviceInfo[] =
    "/usr/ruded/subsys/scsi/resources/hostadp/device_info";

// The product's device number: major, bus, controller, SCSI bus, target.
uint32_t Dev(unsigned major, unsigned bus, unsigned cntl, unsigned scsi_bus,
             unsigned target);

// Makes a character special node (and its directory) for a product device
// number, as the machine root's platform does (makedev(dev >> 20, dev &
// 0xFFFFF)).
void MakeNode(const std::string& path, uint32_t dev);

// The product device number of the node at path; 0 when it is none.
uint32_t NodeDev(const std::string& path);

// Runs the staged qv_cspec with the given arguments on the machine root.
e2e::RunResult RunCspec(const std::string& root,
                        const std::vector<std::string>& args);

// Lines of text, each without its newline.
std::vector<std::string> Lines(const std::string& text);

// Number of lines of text that begin with prefix.
int CountPrefix(const std::string& text, const std::string& prefix);

// Names in a directory that begin with ".tmpdev".
std::vector<std::string> TmpNodes(const std::string& dir);

}  // namespace cspec_e2e

#endif  // RUDED_TESTS_CSPEC_E2E_H_
