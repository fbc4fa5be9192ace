// hostsim as a function: everything the program does between reading its arguments and
// returning its exit status, so that tests can run it in their own process too.
#pragma once

#include "ExitStatus.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace Hostsim {

class Session;

// `arguments` are UTF-8, the program name first. `beforeStart`, when given, sees the prepared
// session just before the module is loaded (tests use it to watch or steer the run).
ExitStatus runHostsim(const std::vector<std::string>& arguments, std::ostream& out,
                      std::ostream& err, const std::function<void(Session&)>& beforeStart = {});

} // namespace Hostsim
