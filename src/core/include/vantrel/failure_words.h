// Set-up failures in words for the user: one text for the window's status line and vantrel-discover's
// error line alike. Each text starts in lower case ("cannot bind ..."), for the caller's lead-in.
#pragma once

#include <string>

#include "vantrel/setup_failure.h"

std::string failure_words(const SetupFailure& failure);

// "eth1 (10.0.0.1)", or the address alone when the interface has no other name (the name alone when it
// has no address).
std::string interface_words(const std::string& label, const std::string& address);

inline constexpr char kNoInterfaceWords[] = "no network interface with an IPv4 address is up";
