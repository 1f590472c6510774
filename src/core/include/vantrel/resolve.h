// Conversion between address texts and socket addresses. Numeric only: no name service is asked.
#pragma once

#include <string>

#include "platform.h"

// The address list for `addr` and `service` (for instance "224.0.0.120", "5556"), owned by the caller and
// released with freeaddrinfo; null on failure, after the line "Invalid address %s, getaddrinfo failed: %d".
addrinfo* ResolveAddress(const std::string& addr, const char* service, int family, int socktype,
                         int protocol);

// Writes the numeric host text of `sa` (no port) into `buf` of `buflen` bytes. 0 on success; the
// getnameinfo code on failure; platform::kErrorBadAddress when `buf` cannot hold the host text, the port
// text and a NUL. `buf` is untouched on every failure.
int FormatAddress(const sockaddr* sa, int salen, char* buf, int buflen);

// Prints `sa` on the diagnostic output without a newline: "host" for port 0, "[host]:port" for IPv4,
// "host:port" otherwise. 0, or the getnameinfo code after a line on the error stream.
int PrintAddress(const sockaddr* sa, int salen);
