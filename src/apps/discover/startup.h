// The steps before listening that only the command line has, and its error line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform.h"
#include "vantrel/setup_failure.h"

namespace discover {

// The interfaces to join and probe through: the addresses in `chosen` when given (each an interface the
// user named), else every usable interface that has an IPv4 address. A failure when the system cannot list
// its interfaces.
std::optional<SetupFailure> interfaces_to_use(const std::vector<std::string>& chosen,
                                              std::vector<platform::Adapter>& out);

// strerror's text; "unknown error" for 0, which a clobbered error code leaves behind.
std::string reason(int error);

// Prints "vantrel-discover: <line>" on standard error.
void report(const std::string& line);

}  // namespace discover
