// The platform layer: every difference between Winsock and POSIX sockets lives behind this header, so the
// rest of the code base compiles unchanged on both. One source file per platform implements it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>

using SOCKET = int;
inline constexpr SOCKET INVALID_SOCKET = -1;
inline constexpr int SOCKET_ERROR = -1;
#endif

// Lets the compiler check printf-style formats of our own diagnostic functions.
#if defined(__GNUC__)
#define PLATFORM_PRINTF_FORMAT(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
#else
#define PLATFORM_PRINTF_FORMAT(fmt_index, first_arg)
#endif

namespace platform {

// Socket error codes the callers name. On Windows these are the WSAE* values themselves.
extern const int kErrorWouldBlock;      // nothing queued on a non-blocking socket
extern const int kErrorMessageTooLong;  // datagram larger than the receive buffer
extern const int kErrorBadAddress;      // buffer too small / bad pointer

// Starts and ends the socket library (Winsock 1.1 on Windows; nothing to do on POSIX). 0 on success.
int socket_library_start();
void socket_library_stop();

// Closes a socket; INVALID_SOCKET is ignored. 0 or SOCKET_ERROR.
int close_socket(SOCKET sock);

// The error of the socket call that failed last on this thread. Read it right after the failing call.
int last_socket_error();

// Puts an error back after other calls (printing a diagnostic, closing) may have changed it.
void set_last_socket_error(int error);

// The error of the last failed system (non-socket) call, for the heap.
unsigned long last_system_error();

// IP_ADD_MEMBERSHIP on `sock`. Where the system caps the memberships of one socket (Linux: 20), further
// joins are held by helper sockets that close with `sock`; the group's datagrams still reach `sock`.
// 0 or SOCKET_ERROR, with last_socket_error() set.
int add_membership(SOCKET sock, const ip_mreq& request);

// FIONBIO: 0 or SOCKET_ERROR, with last_socket_error() set.
int set_non_blocking(SOCKET sock, unsigned long enabled);

// One datagram into buf. Returns its byte count, or SOCKET_ERROR with last_socket_error() set; a datagram
// longer than len fails with kErrorMessageTooLong (and is consumed) on every platform.
int receive_datagram(SOCKET sock, char* buf, int len, sockaddr* from, int* fromlen);

// Asks the socket to report, with each datagram, the interface it arrived on (see receive_datagram_on).
int enable_arrival_interface(SOCKET sock);

// receive_datagram, and the IPv4 address of the local interface the datagram arrived on (INADDR_ANY when
// the system does not say).
int receive_datagram_on(SOCKET sock, char* buf, int len, sockaddr* from, int* fromlen, in_addr* arrived_on);

// Waits until the socket has a datagram queued, `wake` (if not INVALID_SOCKET) is readable, or timeout_ms
// has passed. 1 something readable, 0 timeout, -1 error.
int wait_readable(SOCKET sock, int timeout_ms, SOCKET wake = INVALID_SOCKET);

// A connected pair: a byte sent on pair[1] makes pair[0] readable. It lets one thread wake another that
// waits on a socket at once, instead of that thread waking up often to look. False on failure.
bool open_wake_pair(SOCKET (&pair)[2]);
void send_wake(SOCKET writer);

// Zero-filled block from the process heap, or null. Release with heap_free.
void* heap_alloc_zeroed(std::size_t size);
void heap_free(void* block);

void sleep_ms(unsigned milliseconds);

// One entry per interface that can take part in discovery: up, not loopback, multicast-capable; in the
// system's interface order. `ipv4` is the text of its first IPv4 address, or "0.0.0.0" when it has none.
struct Adapter {
  std::string name;
  std::string ipv4;
};

// The adapter list. False only when the system cannot give it; `out` then is empty.
bool list_adapters(std::vector<Adapter>& out);

}  // namespace platform
