// POSIX (Linux) implementation of the platform layer.
#include <dirent.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "platform.h"

namespace platform {

ErrorKind error_kind(int error) {
  switch (error) {
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
      return ErrorKind::would_block;
    case EINTR:
      return ErrorKind::interrupted;
    case ENOBUFS:
      return ErrorKind::no_buffers;
    case EADDRINUSE:
      return ErrorKind::address_in_use;
    case EACCES:
    case EPERM:
      return ErrorKind::access_denied;
    case EMFILE:
    case ENFILE:
    case ENOMEM:
      return ErrorKind::out_of_resources;
    case EAFNOSUPPORT:
      return ErrorKind::no_ipv4;
    default:
      return ErrorKind::other;
  }
}

std::string error_text(int error) {
  return error != 0 ? std::strerror(error) : "unknown error";
}

bool is_terminal(std::FILE* file) {
  return ::isatty(::fileno(file)) != 0;
}

int socket_library_start() {
  return 0;
}
void socket_library_stop() {}

namespace {

// Linux caps the memberships of one socket (net.ipv4.igmp_max_memberships, 20 by default). A socket bound
// to the port still receives the group's datagrams for memberships that another socket of the process
// holds (IP_MULTICAST_ALL is on by default), so further joins go to unbound helper sockets.
// Guarded by helpers_mutex: the helpers of each primary socket, closed together with it.
std::mutex helpers_mutex;
std::map<SOCKET, std::vector<SOCKET>> membership_helpers;

int join_on(SOCKET sock, const ip_mreq& request) {
  return ::setsockopt(sock, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request);
}

int join_on_helper(SOCKET primary, const ip_mreq& request) {
  std::lock_guard lock(helpers_mutex);
  std::vector<SOCKET>& helpers = membership_helpers[primary];
  for (const SOCKET helper : helpers) {
    if (join_on(helper, request) == 0) return 0;
    if (errno != ENOBUFS) return SOCKET_ERROR;
  }
  const SOCKET helper = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (helper < 0) return SOCKET_ERROR;
  if (join_on(helper, request) != 0) {
    const int error = errno;
    ::close(helper);
    errno = error;
    return SOCKET_ERROR;
  }
  helpers.push_back(helper);
  return 0;
}

int leave_on(SOCKET sock, const ip_mreqn& request) {
  return ::setsockopt(sock, IPPROTO_IP, IP_DROP_MEMBERSHIP, &request, sizeof request);
}

int leave_on_helpers(SOCKET primary, const ip_mreqn& request) {
  std::lock_guard lock(helpers_mutex);
  const auto found = membership_helpers.find(primary);
  if (found == membership_helpers.end()) return SOCKET_ERROR;
  for (const SOCKET helper : found->second) {
    if (leave_on(helper, request) == 0) return 0;
  }
  return SOCKET_ERROR;
}

void close_helpers(SOCKET primary) {
  std::lock_guard lock(helpers_mutex);
  const auto found = membership_helpers.find(primary);
  if (found == membership_helpers.end()) return;
  for (const SOCKET helper : found->second) ::close(helper);
  membership_helpers.erase(found);
}

}  // namespace

int close_socket(SOCKET sock) {
  if (sock == INVALID_SOCKET) return 0;
  close_helpers(sock);
  return ::close(sock) == 0 ? 0 : SOCKET_ERROR;
}

int add_membership(SOCKET sock, const ip_mreq& request) {
  if (join_on(sock, request) == 0) return 0;
  if (errno != ENOBUFS) return SOCKET_ERROR;
  return join_on_helper(sock, request);
}

int drop_membership(SOCKET sock, const ip_mreq& request, unsigned interface_index) {
  ip_mreqn by_index{};
  by_index.imr_multiaddr = request.imr_multiaddr;
  by_index.imr_address = request.imr_interface;
  by_index.imr_ifindex = static_cast<int>(interface_index);  // wins over the address when set
  if (leave_on(sock, by_index) == 0) return 0;
  const int error = errno;  // the primary's answer is the one worth reporting
  if (leave_on_helpers(sock, by_index) == 0) return 0;
  errno = error;
  return SOCKET_ERROR;
}

int last_socket_error() {
  return errno;
}
void set_last_socket_error(int error) {
  errno = error;
}
unsigned long last_system_error() {
  return static_cast<unsigned long>(errno);
}

int set_non_blocking(SOCKET sock, unsigned long enabled) {
  const int flags = ::fcntl(sock, F_GETFL, 0);
  if (flags < 0) return SOCKET_ERROR;
  const int wanted = enabled != 0 ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return ::fcntl(sock, F_SETFL, wanted) == 0 ? 0 : SOCKET_ERROR;
}

int send_datagram(SOCKET sock, const char* data, std::size_t size, const sockaddr* to, int tolen) {
  const ssize_t sent = ::sendto(sock, data, size, 0, to, static_cast<socklen_t>(tolen));
  return sent < 0 ? SOCKET_ERROR : static_cast<int>(sent);
}

int receive_datagram(SOCKET sock, char* buf, int len, sockaddr* from, int* fromlen) {
  socklen_t addrlen = static_cast<socklen_t>(*fromlen);
  // MSG_TRUNC makes Linux report the datagram's real length, so that an oversized one is an error here,
  // as it is on Winsock, instead of a silently cut reply.
  const ssize_t n = ::recvfrom(sock, buf, static_cast<size_t>(len), MSG_TRUNC, from, &addrlen);
  if (n < 0) return SOCKET_ERROR;
  *fromlen = static_cast<int>(addrlen);
  if (n > len) {
    errno = EMSGSIZE;
    return SOCKET_ERROR;
  }
  return static_cast<int>(n);
}

int enable_arrival_interface(SOCKET sock) {
  const int on = 1;
  return ::setsockopt(sock, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) == 0 ? 0 : SOCKET_ERROR;
}

namespace {

// recvmsg with room for the control messages asked for (IP_PKTINFO, SO_RXQ_OVFL); `visit` sees each.
// The result as receive_datagram's.
template <typename Visit>
int receive_with_control(SOCKET sock, char* buf, int len, sockaddr* from, int* fromlen, const Visit& visit) {
  char control[CMSG_SPACE(sizeof(in_pktinfo)) + CMSG_SPACE(sizeof(std::uint32_t))];
  iovec io{buf, static_cast<size_t>(len)};
  msghdr message{};
  message.msg_name = from;
  message.msg_namelen = static_cast<socklen_t>(*fromlen);
  message.msg_iov = &io;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  const ssize_t n = ::recvmsg(sock, &message, MSG_TRUNC);
  if (n < 0) return SOCKET_ERROR;
  *fromlen = static_cast<int>(message.msg_namelen);
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) visit(*c);
  if (n > len) {
    errno = EMSGSIZE;
    return SOCKET_ERROR;
  }
  return static_cast<int>(n);
}

in_pktinfo packet_info(const cmsghdr& c) {
  in_pktinfo info{};
  std::memcpy(&info, CMSG_DATA(&c), sizeof info);
  return info;
}

bool is_packet_info(const cmsghdr& c) {
  return c.cmsg_level == IPPROTO_IP && c.cmsg_type == IP_PKTINFO;
}

}  // namespace

int receive_datagram_on(SOCKET sock, char* buf, int len, sockaddr* from, int* fromlen, in_addr* arrived_on) {
  arrived_on->s_addr = htonl(INADDR_ANY);
  return receive_with_control(sock, buf, len, from, fromlen, [arrived_on](const cmsghdr& c) {
    if (is_packet_info(c)) *arrived_on = packet_info(c).ipi_spec_dst;  // our address on that interface
  });
}

int enable_arrival_details(SOCKET sock) {
  const int on = 1;
  if (::setsockopt(sock, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) return SOCKET_ERROR;
  return ::setsockopt(sock, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on) == 0 ? 0 : SOCKET_ERROR;
}

int receive_datagram_details(SOCKET sock, char* buf, int len, sockaddr* from, int* fromlen,
                             ArrivalDetails* details) {
  *details = {};
  return receive_with_control(sock, buf, len, from, fromlen, [details](const cmsghdr& c) {
    if (is_packet_info(c)) {
      details->interface_index = static_cast<unsigned>(packet_info(c).ipi_ifindex);
    } else if (c.cmsg_level == SOL_SOCKET && c.cmsg_type == SO_RXQ_OVFL) {
      std::memcpy(&details->dropped_so_far, CMSG_DATA(&c), sizeof details->dropped_so_far);
    }
  });
}

int largest_receive_buffer() {
  std::FILE* file = std::fopen("/proc/sys/net/core/rmem_max", "r");
  if (file == nullptr) return 0;
  long value = 0;
  if (std::fscanf(file, "%ld", &value) != 1 || value < 0) value = 0;
  std::fclose(file);
  return static_cast<int>(std::min<long>(value, std::numeric_limits<int>::max()));
}

namespace {

// The socket inodes bound to `port` in one of /proc/net/udp and /proc/net/udp6.
void add_bound_inodes(const char* table, unsigned short port, std::set<unsigned long>& inodes) {
  std::FILE* file = std::fopen(table, "r");
  if (file == nullptr) return;
  char line[512];
  bool header = true;  // the first line names the columns
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (std::exchange(header, false)) continue;
    // "  sl  local_address rem_address   st tx_queue:rx_queue tr:tm->when retrnsmt   uid  timeout inode"
    char local[64] = {};
    unsigned long inode = 0;
    if (std::sscanf(line, "%*s %63s %*s %*s %*s %*s %*s %*s %*s %lu", local, &inode) != 2) continue;
    const char* colon = std::strrchr(local, ':');
    if (colon != nullptr && std::strtoul(colon + 1, nullptr, 16) == port && inode != 0) inodes.insert(inode);
  }
  std::fclose(file);
}

// The socket inodes that the process `pid` ("self" for this one) has open.
std::set<unsigned long> socket_inodes_of(const std::string& pid) {
  std::set<unsigned long> inodes;
  const std::string dir = "/proc/" + pid + "/fd";
  DIR* fds = ::opendir(dir.c_str());
  if (fds == nullptr) return inodes;
  while (const dirent* entry = ::readdir(fds)) {
    char target[64] = {};
    const std::string link = dir + "/" + entry->d_name;
    if (::readlink(link.c_str(), target, sizeof target - 1) <= 0) continue;
    unsigned long inode = 0;
    if (std::sscanf(target, "socket:[%lu]", &inode) == 1) inodes.insert(inode);
  }
  ::closedir(fds);
  return inodes;
}

// The name it was started by (the first word of its command line, without the folder): its short name
// in /proc/<pid>/comm is cut at 15 characters.
std::string program_of(const std::string& pid) {
  std::FILE* file = std::fopen(("/proc/" + pid + "/cmdline").c_str(), "r");
  if (file == nullptr) return {};
  char first[256] = {};
  const std::size_t got = std::fread(first, 1, sizeof first - 1, file);
  std::fclose(file);
  const std::string path(first, strnlen(first, got));
  return path.substr(path.find_last_of('/') + 1);
}

}  // namespace

bool other_udp_port_users(unsigned short port, std::vector<PortUser>& out) {
  out.clear();
  if (::access("/proc/net/udp", R_OK) != 0) return false;
  std::set<unsigned long> bound;
  add_bound_inodes("/proc/net/udp", port, bound);
  add_bound_inodes("/proc/net/udp6", port, bound);
  for (const unsigned long own : socket_inodes_of("self")) bound.erase(own);
  if (bound.empty()) return true;
  // The owners, where this user may look into their descriptors; the others stay unnamed.
  DIR* processes = ::opendir("/proc");
  while (processes != nullptr && !bound.empty()) {
    const dirent* entry = ::readdir(processes);
    if (entry == nullptr) break;
    const std::string pid = entry->d_name;
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    for (const unsigned long inode : socket_inodes_of(pid)) {
      if (bound.erase(inode) == 0) continue;
      out.push_back({std::stoul(pid), program_of(pid)});
    }
  }
  if (processes != nullptr) ::closedir(processes);
  out.insert(out.end(), bound.size(), PortUser{});
  return true;
}

int wait_readable(SOCKET sock, int timeout_ms, SOCKET wake) {
  // No socket: report "readable" so that the caller's receive fails and says why, instead of waiting forever.
  if (sock == INVALID_SOCKET) return 1;
  pollfd fds[2] = {{sock, POLLIN, 0}, {wake, POLLIN, 0}};
  const int ready = ::poll(fds, wake == INVALID_SOCKET ? 1 : 2, timeout_ms);
  if (ready < 0) return errno == EINTR ? 0 : -1;
  return ready > 0 ? 1 : 0;
}

int wait_writable(SOCKET sock, SOCKET wake) {
  for (;;) {
    pollfd fds[2] = {{sock, POLLOUT, 0}, {wake, POLLIN, 0}};
    const int ready = ::poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return -1;
    if ((fds[1].revents & POLLIN) != 0) return 0;
    if (fds[0].revents != 0) return 1;
  }
}

bool open_wake_pair(SOCKET (&pair)[2]) {
  return ::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) == 0;
}

void send_wake(SOCKET writer) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t sent = ::send(writer, &byte, 1, MSG_DONTWAIT);
}

void* heap_alloc_zeroed(std::size_t size) {
  return std::calloc(1, size);
}
void heap_free(void* block) {
  std::free(block);
}

std::FILE* open_for_writing(const std::string& path) {
  return std::fopen(path.c_str(), "wb");
}

void remove_file(const std::string& path) {
  std::remove(path.c_str());
}

int replace_file(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::tm local_time(std::time_t when) {
  std::tm local{};
  ::localtime_r(&when, &local);
  return local;
}

void sleep_ms(unsigned milliseconds) {
  timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

namespace {

struct InterfaceInfo {
  std::string name;
  unsigned flags = 0;
  std::string first_ipv4;
  std::vector<Ipv4Prefix> addresses;
};

unsigned prefix_length(const sockaddr* netmask) {
  if (netmask == nullptr || netmask->sa_family != AF_INET) return 32;
  const std::uint32_t mask = ntohl(reinterpret_cast<const sockaddr_in*>(netmask)->sin_addr.s_addr);
  return static_cast<unsigned>(__builtin_popcount(mask));
}

bool usable(const InterfaceInfo& info) {
  // Loopback never reaches a device; an interface that is down or cannot multicast cannot join or send.
  return (info.flags & IFF_UP) != 0 && (info.flags & IFF_LOOPBACK) == 0 && (info.flags & IFF_MULTICAST) != 0;
}

}  // namespace

bool list_adapters(std::vector<Adapter>& out) {
  out.clear();
  ifaddrs* head = nullptr;
  if (::getifaddrs(&head) != 0) return false;

  // getifaddrs gives one entry per address (and one per link); gather them per interface, keyed by the
  // kernel's index so that the list comes out in interface order.
  std::map<unsigned, InterfaceInfo> by_index;
  for (const ifaddrs* entry = head; entry != nullptr; entry = entry->ifa_next) {
    const unsigned index = ::if_nametoindex(entry->ifa_name);
    if (index == 0) continue;
    InterfaceInfo& info = by_index[index];
    info.name = entry->ifa_name;
    info.flags = entry->ifa_flags;
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    const auto* sin = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    info.addresses.push_back({ntohl(sin->sin_addr.s_addr), prefix_length(entry->ifa_netmask)});
    if (info.first_ipv4.empty()) {
      char text[INET_ADDRSTRLEN] = {};
      if (::inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text) != nullptr) info.first_ipv4 = text;
    }
  }
  ::freeifaddrs(head);

  for (const auto& [index, info] : by_index) {
    if (!usable(info)) continue;
    out.push_back({info.name, info.first_ipv4.empty() ? std::string(Adapter::kNoIpv4) : info.first_ipv4, index,
                   info.name, info.addresses});
  }
  return true;
}

}  // namespace platform
