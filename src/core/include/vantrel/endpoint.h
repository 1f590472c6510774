// The discovery socket: UDP over IPv4, bound to 0.0.0.0 on the given port, reusable, non-blocking,
// multicast TTL 8, multicast loopback off.
#pragma once

#include "platform.h"
#include "vantrel/setup_failure.h"

// Opens the socket, printing one line per step. INVALID_SOCKET after a failure, with the socket (if one
// was made) closed again, and the failing step in `failure` when given.
SOCKET initialize_socket(const char* service, SetupFailure* failure = nullptr);

// Each makes one platform call and prints one line: the value on standard output, or the error on
// standard error. 0 or SOCKET_ERROR.
int set_reuseaddr(SOCKET sock, int value);
int set_non_blocking(SOCKET sock, unsigned int value);
int set_multicast_ttl(SOCKET sock, int value);
int set_multicast_loopback(SOCKET sock, int value);

// Asks for a receive queue of `wanted_bytes`, or more when the system lets an unprivileged program have
// more, so that a burst of replies is queued rather than lost; the system may give less (Linux: up to
// net.core.rmem_max, doubled). The size granted, as read back, or -1.
int enlarge_receive_buffer(SOCKET sock, int wanted_bytes);

// What the programs ask for: room for tens of thousands of small replies.
inline constexpr int kWantedReceiveBuffer = 16 * 1024 * 1024;
