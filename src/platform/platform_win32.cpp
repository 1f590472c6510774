// Windows (Winsock 2, IP Helper, the process heap) implementation of the platform layer.
// Winsock 2 first: IP Helper declares its newer adapter table only when Winsock 2 is already in.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <io.h>
#include <iphlpapi.h>
#include <mswsock.h>
#include <windows.h>

#include <climits>
#include <map>
#include <cstdio>
#include <string>
#include <vector>

#include "platform.h"

namespace platform {

ErrorKind error_kind(int error) {
  switch (error) {
    case WSAEWOULDBLOCK:
      return ErrorKind::would_block;
    case WSAEINTR:
      return ErrorKind::interrupted;
    case WSAENOBUFS:
      return ErrorKind::no_buffers;
    case WSAEADDRINUSE:
      return ErrorKind::address_in_use;
    case WSAEACCES:
      return ErrorKind::access_denied;
    case WSAEMFILE:
    case WSA_NOT_ENOUGH_MEMORY:
      return ErrorKind::out_of_resources;
    case WSAEAFNOSUPPORT:
      return ErrorKind::no_ipv4;
    default:
      return ErrorKind::other;
  }
}

std::string error_text(int error) {
  if (error == 0) return "unknown error";
  char text[256] = {};
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        static_cast<DWORD>(error), 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(error) : message;
}

int socket_library_start() {
  WSADATA data{};
  return ::WSAStartup(MAKEWORD(1, 1), &data);
}

void socket_library_stop() {
  ::WSACleanup();
}

int close_socket(SOCKET sock) {
  if (sock == INVALID_SOCKET) return 0;
  return ::closesocket(sock);
}

int last_socket_error() {
  return ::WSAGetLastError();
}
void set_last_socket_error(int error) {
  ::WSASetLastError(error);
}
unsigned long last_system_error() {
  return ::GetLastError();
}

int add_membership(SOCKET sock, const ip_mreq& request) {
  return ::setsockopt(sock, IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&request),
                      sizeof request);
}

int drop_membership(SOCKET sock, const ip_mreq& request, unsigned) {
  // Winsock names the interface by its address only.
  return ::setsockopt(sock, IPPROTO_IP, IP_DROP_MEMBERSHIP, reinterpret_cast<const char*>(&request),
                      sizeof request);
}

int set_non_blocking(SOCKET sock, unsigned long enabled) {
  u_long mode = enabled;
  // FIONBIO is an unsigned code that the call takes as a long.
  return ::ioctlsocket(sock, static_cast<long>(FIONBIO), &mode);
}

int send_datagram(SOCKET sock, const char* data, std::size_t size, const sockaddr* to, int tolen) {
  if (size > static_cast<std::size_t>(INT_MAX)) {
    ::WSASetLastError(WSAEMSGSIZE);
    return SOCKET_ERROR;
  }
  return ::sendto(sock, data, static_cast<int>(size), 0, to, tolen);
}

int receive_datagram(SOCKET sock, char* buf, int len, sockaddr* from, int* fromlen) {
  // Winsock itself fails an oversized datagram with WSAEMSGSIZE and discards the rest of it.
  return ::recvfrom(sock, buf, len, 0, from, fromlen);
}

namespace {

// WSARecvMsg is an extension function: its address is asked of the socket's provider.
LPFN_WSARECVMSG recv_msg_function(SOCKET sock) {
  GUID id = WSAID_WSARECVMSG;
  LPFN_WSARECVMSG function = nullptr;
  DWORD returned = 0;
  if (::WSAIoctl(sock, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &function, sizeof function,
                 &returned, nullptr, nullptr) != 0) {
    return nullptr;
  }
  return function;
}

// The IPv4 address of the adapter with the system's interface index `index`; INADDR_ANY if none.
in_addr address_of_interface(unsigned long index) {
  in_addr found{};
  found.s_addr = htonl(INADDR_ANY);
  ULONG size = 0;
  if (::GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW) return found;
  std::vector<unsigned char> block(size);
  auto* adapters = reinterpret_cast<IP_ADAPTER_INFO*>(block.data());
  if (::GetAdaptersInfo(adapters, &size) != NO_ERROR) return found;
  for (const IP_ADAPTER_INFO* a = adapters; a != nullptr; a = a->Next) {
    if (a->Index == index) ::inet_pton(AF_INET, a->IpAddressList.IpAddress.String, &found);
  }
  return found;
}

}  // namespace

int enable_arrival_interface(SOCKET sock) {
  const DWORD on = 1;
  return ::setsockopt(sock, IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char*>(&on), sizeof on);
}

namespace {

// WSARecvMsg with room for IP_PKTINFO: the datagram and the index of the interface it arrived on (0 when
// Windows does not say). The result as receive_datagram's.
int receive_with_interface(SOCKET sock, char* buf, int len, sockaddr* from, int* fromlen, ULONG* index) {
  *index = 0;
  // Looked up once per socket: the receive path calls this for every datagram of a burst.
  thread_local SOCKET looked_up_for = INVALID_SOCKET;
  thread_local LPFN_WSARECVMSG recv_msg = nullptr;
  if (looked_up_for != sock) {
    recv_msg = recv_msg_function(sock);
    looked_up_for = sock;
  }
  if (recv_msg == nullptr) return receive_datagram(sock, buf, len, from, fromlen);

  char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
  WSABUF data{static_cast<ULONG>(len), buf};
  WSAMSG message{};
  message.name = from;
  message.namelen = *fromlen;
  message.lpBuffers = &data;
  message.dwBufferCount = 1;
  message.Control = {sizeof control, control};
  DWORD received = 0;
  if (recv_msg(sock, &message, &received, nullptr, nullptr) != 0) return SOCKET_ERROR;
  if ((message.dwFlags & MSG_TRUNC) != 0) {  // an oversized datagram fails here as it does in recvfrom
    ::WSASetLastError(WSAEMSGSIZE);
    return SOCKET_ERROR;
  }
  *fromlen = message.namelen;
  for (WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(&message); c != nullptr; c = WSA_CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
      *index = reinterpret_cast<const IN_PKTINFO*>(WSA_CMSG_DATA(c))->ipi_ifindex;
    }
  }
  return static_cast<int>(received);
}

}  // namespace

int receive_datagram_on(SOCKET sock, char* buf, int len, sockaddr* from, int* fromlen, in_addr* arrived_on) {
  ULONG index = 0;
  const int n = receive_with_interface(sock, buf, len, from, fromlen, &index);
  arrived_on->s_addr = htonl(INADDR_ANY);
  if (n != SOCKET_ERROR && index != 0) *arrived_on = address_of_interface(index);  // ours on that interface
  return n;
}

int enable_arrival_details(SOCKET sock) {
  return enable_arrival_interface(sock);  // Winsock counts no drops of its own
}

int receive_datagram_details(SOCKET sock, char* buf, int len, sockaddr* from, int* fromlen,
                             ArrivalDetails* details) {
  *details = {};
  ULONG index = 0;
  const int n = receive_with_interface(sock, buf, len, from, fromlen, &index);
  details->interface_index = index;
  return n;
}

int largest_receive_buffer() {
  return 0;  // Winsock takes what it is given
}

namespace {

// The file name of the process's executable, in UTF-8; empty when Windows does not say.
std::string program_of(DWORD process) {
  HANDLE handle = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
  if (handle == nullptr) return {};
  wchar_t path[MAX_PATH] = {};
  DWORD length = MAX_PATH;
  const BOOL named = ::QueryFullProcessImageNameW(handle, 0, path, &length);
  ::CloseHandle(handle);
  if (!named) return {};
  const wchar_t* name = path;
  for (const wchar_t* at = path; *at != L'\0'; ++at) {
    if (*at == L'\\' || *at == L'/') name = at + 1;
  }
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, name, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return {};
  std::string program(static_cast<std::size_t>(bytes - 1), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, name, -1, program.data(), bytes, nullptr, nullptr);
  return program;
}

// The owners of the UDP sockets of one address family bound to `port`, other than this process.
bool add_port_users(ULONG family, unsigned short port, std::vector<PortUser>& out) {
  const UDP_TABLE_CLASS kind = UDP_TABLE_OWNER_PID;
  ULONG size = 0;
  if (::GetExtendedUdpTable(nullptr, &size, FALSE, family, kind, 0) != ERROR_INSUFFICIENT_BUFFER) {
    return size == 0;
  }
  std::vector<unsigned char> block;
  DWORD status = ERROR_INSUFFICIENT_BUFFER;
  while (status == ERROR_INSUFFICIENT_BUFFER) {  // sockets may come between the two calls
    block.resize(size);
    status = ::GetExtendedUdpTable(block.data(), &size, FALSE, family, kind, 0);
  }
  if (status != NO_ERROR) return false;
  const DWORD self = ::GetCurrentProcessId();
  const auto add = [&](DWORD local_port, DWORD owner) {
    if (ntohs(static_cast<u_short>(local_port)) != port || owner == self) return;
    out.push_back({owner, program_of(owner)});
  };
  if (family == AF_INET) {
    const auto* table = reinterpret_cast<const MIB_UDPTABLE_OWNER_PID*>(block.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i)
      add(table->table[i].dwLocalPort, table->table[i].dwOwningPid);
  } else {
    const auto* table = reinterpret_cast<const MIB_UDP6TABLE_OWNER_PID*>(block.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i)
      add(table->table[i].dwLocalPort, table->table[i].dwOwningPid);
  }
  return true;
}

}  // namespace

bool other_udp_port_users(unsigned short port, std::vector<PortUser>& out) {
  out.clear();
  const bool listed = add_port_users(AF_INET, port, out);
  add_port_users(AF_INET6, port, out);  // a system without IPv6 has no such table
  if (!listed) out.clear();
  return listed;
}

int wait_readable(SOCKET sock, int timeout_ms, SOCKET wake) {
  // No socket: report "readable" so that the caller's receive fails and says why, instead of waiting forever.
  if (sock == INVALID_SOCKET) return 1;
  WSAPOLLFD fds[2] = {{sock, POLLRDNORM, 0}, {wake, POLLRDNORM, 0}};
  const int ready = ::WSAPoll(fds, wake == INVALID_SOCKET ? 1 : 2, timeout_ms);
  if (ready == SOCKET_ERROR) return -1;
  return ready > 0 ? 1 : 0;
}

int wait_writable(SOCKET sock, SOCKET wake) {
  WSAPOLLFD fds[2] = {{sock, POLLWRNORM, 0}, {wake, POLLRDNORM, 0}};
  if (::WSAPoll(fds, 2, -1) == SOCKET_ERROR) return -1;
  if ((fds[1].revents & POLLRDNORM) != 0) return 0;
  return 1;
}

bool open_wake_pair(SOCKET (&pair)[2]) {
  // Windows has no socketpair: two UDP sockets on the loopback interface, the writer connected to the
  // reader, make one.
  pair[0] = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  pair[1] = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  const bool made = pair[0] != INVALID_SOCKET && pair[1] != INVALID_SOCKET &&
                    ::bind(pair[0], reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                    ::getsockname(pair[0], reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
                    ::connect(pair[1], reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                    set_non_blocking(pair[0], 1) == 0 && set_non_blocking(pair[1], 1) == 0;
  if (made) return true;
  for (SOCKET& end : pair) {
    close_socket(end);
    end = INVALID_SOCKET;
  }
  return false;
}

void send_wake(SOCKET writer) {
  const char byte = 1;
  ::send(writer, &byte, 1, 0);
}

void* heap_alloc_zeroed(std::size_t size) {
  return ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}
void heap_free(void* block) {
  if (block != nullptr) ::HeapFree(::GetProcessHeap(), 0, block);
}

namespace {
// A UTF-8 path for the W functions (the C runtime's narrow ones take the ANSI code page).
std::wstring wide_path(const std::string& text) {
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring converted(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, converted.data(), size);
  return converted;
}
}  // namespace

std::FILE* open_for_writing(const std::string& path) {
  return ::_wfopen(wide_path(path).c_str(), L"wb");
}

void remove_file(const std::string& path) {
  ::DeleteFileW(wide_path(path).c_str());
}

int replace_file(const std::string& from, const std::string& to) {
  if (::MoveFileExW(wide_path(from).c_str(), wide_path(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return 0;
  return static_cast<int>(::GetLastError());
}

std::tm local_time(std::time_t when) {
  std::tm local{};
  ::localtime_s(&local, &when);
  return local;
}

void sleep_ms(unsigned milliseconds) {
  ::Sleep(milliseconds);
}

namespace {

std::string utf8_of(const wchar_t* text) {
  if (text == nullptr) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string utf8(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
  utf8.pop_back();  // the terminator
  return utf8;
}

// The friendly name ("Ethernet 2") of every IPv4 adapter by its index: the adapter table of
// GetAdaptersInfo knows only the GUID. Empty when the system cannot say.
std::map<DWORD, std::string> friendly_names() {
  std::map<DWORD, std::string> names;
  constexpr ULONG kFlags = GAA_FLAG_SKIP_UNICAST | GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST |
                           GAA_FLAG_SKIP_DNS_SERVER;
  ULONG size = 16 * 1024;
  std::vector<unsigned char> block;
  ULONG result = ERROR_BUFFER_OVERFLOW;
  for (int tries = 0; result == ERROR_BUFFER_OVERFLOW && tries < 4; ++tries) {
    block.resize(size);
    result = ::GetAdaptersAddresses(AF_INET, kFlags, nullptr,
                                    reinterpret_cast<IP_ADAPTER_ADDRESSES*>(block.data()), &size);
  }
  if (result != NO_ERROR) return names;
  for (auto* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(block.data()); a != nullptr; a = a->Next) {
    names[a->IfIndex] = utf8_of(a->FriendlyName);
  }
  return names;
}

// Every address of the adapter with its mask's length; "0.0.0.0" entries (no address) left out.
std::vector<Ipv4Prefix> ipv4_prefixes(const IP_ADAPTER_INFO& adapter) {
  std::vector<Ipv4Prefix> prefixes;
  for (const IP_ADDR_STRING* entry = &adapter.IpAddressList; entry != nullptr; entry = entry->Next) {
    in_addr address{};
    in_addr mask{};
    if (::inet_pton(AF_INET, entry->IpAddress.String, &address) != 1 || address.s_addr == 0) continue;
    if (::inet_pton(AF_INET, entry->IpMask.String, &mask) != 1) mask.s_addr = 0xFFFFFFFFu;
    prefixes.push_back({ntohl(address.s_addr), static_cast<unsigned>(__builtin_popcount(mask.s_addr))});
  }
  return prefixes;
}

}  // namespace

bool list_adapters(std::vector<Adapter>& out) {
  out.clear();
  // The table's size is asked first and the block grown until it fits, so every adapter is listed,
  // however many there are.
  ULONG size = 0;
  ULONG result = ::GetAdaptersInfo(nullptr, &size);
  if (result == ERROR_NO_DATA) return true;
  std::vector<unsigned char> block;
  while (result == ERROR_BUFFER_OVERFLOW) {
    block.resize(size);
    result = ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(block.data()), &size);
  }
  if (result == ERROR_NO_DATA) return true;
  if (result != NO_ERROR) {
    ::WSASetLastError(static_cast<int>(result));
    return false;
  }
  const std::map<DWORD, std::string> names = friendly_names();
  for (const auto* a = reinterpret_cast<const IP_ADAPTER_INFO*>(block.data()); a != nullptr; a = a->Next) {
    const auto named = names.find(a->Index);
    const std::string label = named != names.end() && !named->second.empty() ? named->second : a->Description;
    out.push_back({a->AdapterName, a->IpAddressList.IpAddress.String, a->Index, label, ipv4_prefixes(*a)});
  }
  return true;
}

bool is_terminal(std::FILE* file) {
  return ::_isatty(::_fileno(file)) != 0;
}

}  // namespace platform
