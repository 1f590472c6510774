#include "vantrel/resolve.h"

#include <cstdio>
#include <cstring>

#include "vantrel/diagnostics.h"

namespace {

constexpr int kHostSize = NI_MAXHOST;     // 1025
constexpr int kServiceSize = NI_MAXSERV;  // 32

int numeric_name(const sockaddr* sa, int salen, char (&host)[kHostSize], char (&service)[kServiceSize]) {
  return ::getnameinfo(sa, static_cast<socklen_t>(salen), host, kHostSize, service, kServiceSize,
                       NI_NUMERICHOST | NI_NUMERICSERV);
}

}  // namespace

addrinfo* ResolveAddress(const std::string& addr, const char* service, int family, int socktype,
                         int protocol) {
  addrinfo hints{};
  hints.ai_family = family;
  hints.ai_socktype = socktype;
  hints.ai_protocol = protocol;
  addrinfo* result = nullptr;
  const int rc = ::getaddrinfo(addr.c_str(), service, &hints, &result);
  if (rc == 0) return result;
  diag::print(diag::Stream::out, "Invalid address %s, getaddrinfo failed: %d\n", addr.c_str(), rc);
  return nullptr;
}

int FormatAddress(const sockaddr* sa, int salen, char* buf, int buflen) {
  char host[kHostSize] = {};
  char service[kServiceSize] = {};
  const int rc = numeric_name(sa, salen, host, service);
  if (rc != 0) {
    diag::print(diag::Stream::err, "%s: getnameinfo failed: %d\n", __FILE__, rc);
    return rc;
  }
  // The port text counts toward the size needed although only the host is written.
  const std::size_t needed = std::strlen(host) + std::strlen(service) + 1;
  if (buflen <= 0 || static_cast<std::size_t>(buflen) < needed) return platform::kErrorBadAddress;
  std::snprintf(buf, static_cast<std::size_t>(buflen), "%s", host);
  return 0;
}

int PrintAddress(const sockaddr* sa, int salen) {
  char host[kHostSize] = {};
  char service[kServiceSize] = {};
  const int rc = numeric_name(sa, salen, host, service);
  if (rc != 0) {
    diag::print(diag::Stream::err, "%s: getnameinfo failed with error code %d\n", __FILE__, rc);
    return rc;
  }
  if (std::strcmp(service, "0") == 0) {
    diag::print(diag::Stream::out, "%s", host);
  } else if (sa->sa_family == AF_INET) {
    diag::print(diag::Stream::out, "[%s]:%s", host, service);
  } else {
    diag::print(diag::Stream::out, "%s:%s", host, service);
  }
  return 0;
}
