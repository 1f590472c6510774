// The platform layer: every difference between Winsock and POSIX sockets lives behind this header, so the
// rest of the code base compiles unchanged on both. One source file per platform implements it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
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

#include <cerrno>

using SOCKET = int;
inline constexpr SOCKET INVALID_SOCKET = -1;
inline constexpr int SOCKET_ERROR = -1;
#endif

// Lets the compiler check printf-style formats of our own diagnostic functions.
// On MinGW the C99 printf of its own runtime is used (%zu, %lld), so formats are checked against that.
#if defined(__MINGW32__)
#define PLATFORM_PRINTF_FORMAT(fmt_index, first_arg) __attribute__((format(gnu_printf, fmt_index, first_arg)))
#elif defined(__GNUC__)
#define PLATFORM_PRINTF_FORMAT(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
#else
#define PLATFORM_PRINTF_FORMAT(fmt_index, first_arg)
#endif

namespace platform {

// Socket error codes the callers name. On Windows these are the WSAE* values themselves.
#ifdef _WIN32
inline constexpr int kErrorWouldBlock = WSAEWOULDBLOCK;
inline constexpr int kErrorMessageTooLong = WSAEMSGSIZE;
inline constexpr int kErrorBadAddress = WSAEFAULT;
#else
inline constexpr int kErrorWouldBlock = EWOULDBLOCK;   // nothing queued on a non-blocking socket
inline constexpr int kErrorMessageTooLong = EMSGSIZE;  // datagram larger than the receive buffer
inline constexpr int kErrorBadAddress = EFAULT;        // buffer too small / bad pointer
#endif

// The firewall as users of the platform know it, for texts that send them to check it.
#ifdef _WIN32
inline constexpr char kFirewallName[] = "Windows Defender Firewall";
#else
inline constexpr char kFirewallName[] = "the firewall";
#endif

// What a socket error means to a caller that reacts to it, whatever the platform's code for it.
enum class ErrorKind {
  would_block,       // nothing queued, or no room in the send queue, on a non-blocking socket
  interrupted,       // a signal cut the call short: simply call again
  no_buffers,        // the system is short of buffers for now (a full interface queue, a membership cap)
  address_in_use,    // the port or membership is held already
  access_denied,     // a policy (firewall, sandbox, privileges) forbids it
  out_of_resources,  // no descriptors or memory left
  no_ipv4,           // the address family is not available
  other,
};
ErrorKind error_kind(int error);

// The system's text for a socket error code, for a diagnostic; "unknown error" for 0.
std::string error_text(int error);

// True when the stream goes to a terminal, where bytes from the network must not reach unescaped.
bool is_terminal(std::FILE* file);

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

// Drops a membership that add_membership made, from whichever socket holds it. `interface_index` names
// the interface where the system lets it (Linux), so that a membership can be dropped after its
// interface lost the address it was joined with; 0 leaves it to `request.imr_interface`.
// 0 or SOCKET_ERROR, with last_socket_error() set.
int drop_membership(SOCKET sock, const ip_mreq& request, unsigned interface_index);

// FIONBIO: 0 or SOCKET_ERROR, with last_socket_error() set.
int set_non_blocking(SOCKET sock, unsigned long enabled);

// Sends one datagram. Its byte count, or SOCKET_ERROR with last_socket_error() set.
int send_datagram(SOCKET sock, const char* data, std::size_t size, const sockaddr* to, int tolen);

// One datagram into buf. Returns its byte count, or SOCKET_ERROR with last_socket_error() set; a datagram
// longer than len fails with kErrorMessageTooLong (and is consumed) on every platform.
int receive_datagram(SOCKET sock, char* buf, int len, sockaddr* from, int* fromlen);

// Asks the socket to report, with each datagram, the interface it arrived on (see receive_datagram_on).
int enable_arrival_interface(SOCKET sock);

// receive_datagram, and the IPv4 address of the local interface the datagram arrived on (INADDR_ANY when
// the system does not say).
int receive_datagram_on(SOCKET sock, char* buf, int len, sockaddr* from, int* fromlen, in_addr* arrived_on);

// What the system tells about a received datagram beyond its sender.
struct ArrivalDetails {
  unsigned interface_index = 0;  // the local interface it arrived on; 0 when the system does not say
  // Datagrams the socket has dropped since it was opened because its receive queue was full, as the
  // system counted them when this one was queued (Linux: SO_RXQ_OVFL); 0 where it does not count.
  std::uint32_t dropped_so_far = 0;
};

// Asks the socket to report the ArrivalDetails with each datagram. 0 or SOCKET_ERROR.
int enable_arrival_details(SOCKET sock);

// receive_datagram, and the datagram's ArrivalDetails.
int receive_datagram_details(SOCKET sock, char* buf, int len, sockaddr* from, int* fromlen,
                             ArrivalDetails* details);

// The largest receive buffer an unprivileged program may ask for (Linux: net.core.rmem_max); 0 when the
// system names no such limit.
int largest_receive_buffer();

// Waits until the socket has a datagram queued, `wake` (if not INVALID_SOCKET) is readable, or timeout_ms
// has passed. 1 something readable, 0 timeout, -1 error.
int wait_readable(SOCKET sock, int timeout_ms, SOCKET wake = INVALID_SOCKET);

// Waits until the socket has room to send or `wake` is readable. 1 writable, 0 woken, -1 error.
int wait_writable(SOCKET sock, SOCKET wake);

// A connected pair: a byte sent on pair[1] makes pair[0] readable. It lets one thread wake another that
// waits on a socket at once, instead of that thread waking up often to look. False on failure.
bool open_wake_pair(SOCKET (&pair)[2]);
void send_wake(SOCKET writer);

// Zero-filled block from the process heap, or null. Release with heap_free.
void* heap_alloc_zeroed(std::size_t size);
void heap_free(void* block);

void sleep_ms(unsigned milliseconds);

// Opens a file for writing in binary mode, made or emptied; path in UTF-8. Null with errno set.
std::FILE* open_for_writing(const std::string& path);
void remove_file(const std::string& path);

// Puts the file `from` in the place of `to`, replacing it if it exists, in one step: a reader sees the
// old file or the new one, never a part. Paths in UTF-8. 0, or the system's error code.
int replace_file(const std::string& from, const std::string& to);

// `when` in the local time zone; safe on any thread.
std::tm local_time(std::time_t when);

// A UDP socket of another process bound to a port this process uses. The system hands each unicast
// datagram for the port to one of the sockets bound there, so such a socket may take replies meant for us.
struct PortUser {
  unsigned long process = 0;  // 0 when the system does not say
  std::string program;        // its name; empty when the system does not say
};

// Every UDP socket (IPv4 or IPv6) bound to `port` in this network namespace that belongs to another
// process, one entry per socket. False when the system cannot list its sockets; `out` then is empty.
bool other_udp_port_users(unsigned short port, std::vector<PortUser>& out);

// One IPv4 address of an interface with its prefix length: the subnet it reaches directly.
struct Ipv4Prefix {
  std::uint32_t address = 0;  // host byte order
  unsigned length = 0;        // 0-32
};

// One entry per interface that can take part in discovery: up, not loopback, multicast-capable; in the
// system's interface order. `ipv4` is the text of its first IPv4 address, or "0.0.0.0" when it has none.
struct Adapter {
  std::string name;
  std::string ipv4;
  unsigned index = 0;  // the system's interface index; 0 when unknown
  std::string label;   // the name users know it by (Windows: the friendly name, not the GUID); UTF-8
  std::vector<Ipv4Prefix> addresses;  // every IPv4 address, the first one first

  bool has_ipv4() const { return ipv4 != kNoIpv4; }
  static constexpr char kNoIpv4[] = "0.0.0.0";
};

// The adapter list. False only when the system cannot give it; `out` then is empty.
bool list_adapters(std::vector<Adapter>& out);

}  // namespace platform
