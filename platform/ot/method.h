// Methods of managed objects and how they run.
//
// A method is a pair of the object whose keyword begins with "do_" (and has
// more after it); every other pair is an attribute.  Its value is a shell
// command.  Performing the method runs
//     /bin/sh -c <value>
// in the machine root's top directory, with the caller's environment
// (RUDED_ROOT and OAM_DEVTAB included; OAM_DEVTAB=/etc/device.tab when the
// caller has it unset) and:
//   OT_ALIAS, OT_METHOD   the object's alias and the method's name;
//   OT_PARAM_<keyword>    each parameter whose keyword is a shell name
//                         (letters, digits, "_", not beginning with a digit);
//   standard input        all parameters as a keyword stream;
//   standard error        the caller's.
// Its standard output is read as a keyword stream and becomes the method's
// output pairs.  A method that exits with a status other than 0, is killed,
// or prints something that is not a keyword stream has failed.

#ifndef RUDED_PLATFORM_OT_METHOD_H_
#define RUDED_PLATFORM_OT_METHOD_H_

#include <string>
#include <string_view>

#include "platform/ot/last_error.h"
#include "platform/ot/pairs.h"

namespace ot {

inline constexpr char kMethodPrefix[] = "do_";

// True when keyword names a method.
bool IsMethodName(std::string_view keyword);

// Runs command as the method described above.  kOk with the output in
// *output; kInvalid when a parameter cannot travel as a keyword stream;
// kFailed with the reason in *err otherwise.
Status RunMethod(const std::string& alias, const std::string& method,
                 const std::string& command, const Pairs& params, Pairs* output,
                 std::string* err);

}  // namespace ot

#endif  // RUDED_PLATFORM_OT_METHOD_H_
