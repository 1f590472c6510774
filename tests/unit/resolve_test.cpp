// Address conversion: the three print forms, FormatAddress's size rule, resolution failures.
#include "vantrel/resolve.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "diag_capture.h"
#include "platform.h"

namespace {

sockaddr_in ipv4(const char* host, unsigned short port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  inet_pton(AF_INET, host, &sa.sin_addr);
  return sa;
}

sockaddr_in6 ipv6(const char* host, unsigned short port) {
  sockaddr_in6 sa{};
  sa.sin6_family = AF_INET6;
  sa.sin6_port = htons(port);
  inet_pton(AF_INET6, host, &sa.sin6_addr);
  return sa;
}

template <typename Address>
std::string printed(const Address& sa) {
  DiagCapture capture;
  EXPECT_EQ(PrintAddress(reinterpret_cast<const sockaddr*>(&sa), sizeof sa), 0);
  EXPECT_EQ(capture.err(), "");
  return capture.out();
}

TEST(PrintAddress, Forms) {
  EXPECT_EQ(printed(ipv4("224.0.0.120", 5556)), "[224.0.0.120]:5556");
  EXPECT_EQ(printed(ipv4("0.0.0.0", 5556)), "[0.0.0.0]:5556");
  EXPECT_EQ(printed(ipv4("10.1.2.3", 0)), "10.1.2.3");
  EXPECT_EQ(printed(ipv6("fe80::1", 5556)), "fe80::1:5556");
  EXPECT_EQ(printed(ipv6("::1", 0)), "::1");
}

TEST(PrintAddress, FailureGoesToErrorStreamOnly) {
  DiagCapture capture;
  const sockaddr_in sa = ipv4("10.1.2.3", 5556);
  // A length too short for the family makes getnameinfo fail.
  EXPECT_NE(PrintAddress(reinterpret_cast<const sockaddr*>(&sa), 2), 0);
  EXPECT_EQ(capture.out(), "");
  EXPECT_NE(capture.err().find(": getnameinfo failed with error code "), std::string::npos);
}

TEST(FormatAddress, SizeRuleCountsServiceText) {
  const sockaddr_in sa = ipv4("192.168.1.20", 5556);
  const auto* address = reinterpret_cast<const sockaddr*>(&sa);
  const int exact = 12 + 4 + 1;  // host, port text, NUL

  char buf[64];
  std::memset(buf, 'Q', sizeof buf);
  EXPECT_EQ(FormatAddress(address, sizeof sa, buf, exact - 1), platform::kErrorBadAddress);
  EXPECT_EQ(std::string(buf, sizeof buf), std::string(sizeof buf, 'Q')) << "buffer touched on failure";

  EXPECT_EQ(FormatAddress(address, sizeof sa, buf, exact), 0);
  EXPECT_STREQ(buf, "192.168.1.20") << "only the host, never the port";
  EXPECT_EQ(buf[exact], 'Q') << "wrote past the size given";
}

TEST(FormatAddress, GetnameinfoFailureLeavesBufferAndSaysSo) {
  DiagCapture capture;
  const sockaddr_in sa = ipv4("192.168.1.20", 5556);
  char buf[64] = "previous";
  EXPECT_NE(FormatAddress(reinterpret_cast<const sockaddr*>(&sa), 2, buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "previous");
  EXPECT_NE(capture.err().find(": getnameinfo failed: "), std::string::npos);
}

TEST(ResolveAddress, NumericAddressResolves) {
  addrinfo* list = ResolveAddress("224.0.0.120", "5556", AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  ASSERT_NE(list, nullptr);
  const auto* sa = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
  EXPECT_EQ(ntohs(sa->sin_port), 5556);
  EXPECT_EQ(sa->sin_addr.s_addr, ipv4("224.0.0.120", 0).sin_addr.s_addr);
  freeaddrinfo(list);
}

TEST(ResolveAddress, FailurePrintsResolverCodeAndReturnsNull) {
  DiagCapture capture;
  EXPECT_EQ(ResolveAddress("300.1.2.3.4", "5556", AF_INET, SOCK_DGRAM, IPPROTO_UDP), nullptr);
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_protocol = IPPROTO_UDP;
  addrinfo* unused = nullptr;
  const int code = getaddrinfo("300.1.2.3.4", "5556", &hints, &unused);
  EXPECT_EQ(capture.out(), "Invalid address 300.1.2.3.4, getaddrinfo failed: " + std::to_string(code) + "\n");
}

}  // namespace
