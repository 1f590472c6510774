// Sending replies and waiting between them, both cut short when the wake socket becomes readable (a
// stop was asked for).
#pragma once

#include <chrono>
#include <string>

#include "platform.h"

using Clock = std::chrono::steady_clock;

enum class Sent { sent, stopped, failed };

// Sends one datagram, waiting while the system's queues are full: a burst is slowed down, never cut.
// `failed` leaves the reason in platform::last_socket_error().
Sent send_whole(SOCKET sock, const std::string& datagram, const sockaddr_in& to, SOCKET wake);

// Waits until `when`; false when woken first.
bool pause_until(Clock::time_point when, SOCKET wake);
