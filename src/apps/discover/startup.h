// The steps before listening that can fail, each with the one line that tells the user why and what to
// check.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform.h"

namespace discover {

// The interface addresses to join and probe through: `chosen` when given, else the first IPv4 address of
// every usable interface. None when the system cannot list its interfaces.
std::optional<std::vector<std::string>> interface_addresses(const std::vector<std::string>& chosen);

// strerror's text; "unknown error" for 0, which a clobbered error code leaves behind.
std::string reason(int error);

// The line for a discovery socket that could not be opened, from the error of the step that failed.
std::string socket_failure(int error);

// The line for a group that could not be joined on `address`.
std::string join_failure(const std::string& address, int error, bool chosen);

// Prints "vantrel-discover: <line>" on standard error.
void report(const std::string& line);

}  // namespace discover
