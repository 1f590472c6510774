// The discovery socket, opened for real in a namespace of its own: its lines, and the options it carries.
#include "vantrel/endpoint.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "bed_test.h"
#include "diag_capture.h"
#include "netbed.h"

namespace {

int option(SOCKET sock, int level, int name) {
  int value = -1;
  socklen_t length = sizeof value;
  getsockopt(sock, level, name, &value, &length);
  return value;
}

int open_descriptors() {
  int count = 0;
  DIR* dir = opendir("/proc/self/fd");
  while (dir != nullptr && readdir(dir) != nullptr) ++count;
  if (dir != nullptr) closedir(dir);
  return count;
}

class Endpoint : public testbed::BedTest {
 protected:
  void SetUp() override {
    BedTest::SetUp();
    if (stopped()) return;
    build(1);
    if (stopped()) return;
    enter("tool");
    if (stopped()) return;
  }
  void TearDown() override {
    leave();
    bed_.reset();
  }
};

TEST_F(Endpoint, OpensWithSixLinesInOrderAndTheOptionsSet) {
  DiagCapture capture;
  const SOCKET sock = initialize_socket("5556");
  ASSERT_NE(sock, INVALID_SOCKET);

  EXPECT_EQ(capture.out(), "socket handle = 0x" + std::to_string(sock) +
                               "\n"
                               "Setting multicast reuseaddr to: 1\n"
                               "Setting multicast non blocking to: 1\n"
                               "Binding to [0.0.0.0]:5556\n"
                               "Set multicast ttl to: 8\n"
                               "Setting multicast loopback to: 0\n");
  EXPECT_EQ(capture.err(), "");

  EXPECT_EQ(option(sock, SOL_SOCKET, SO_REUSEADDR), 1);
  EXPECT_NE(fcntl(sock, F_GETFL) & O_NONBLOCK, 0);
  EXPECT_EQ(option(sock, IPPROTO_IP, IP_MULTICAST_TTL), 8);
  EXPECT_EQ(option(sock, IPPROTO_IP, IP_MULTICAST_LOOP), 0);
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  ASSERT_EQ(getsockname(sock, reinterpret_cast<sockaddr*>(&bound), &length), 0);
  EXPECT_EQ(ntohs(bound.sin_port), 5556);
  EXPECT_EQ(bound.sin_addr.s_addr, htonl(INADDR_ANY));
  platform::close_socket(sock);
}

TEST_F(Endpoint, BindFailureReportsClosesTheSocketAndReturnsInvalid) {
  // A socket holding the port without address reuse makes the bind fail.
  const int holder = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(5556);
  ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);

  DiagCapture capture;
  const int before = open_descriptors();
  EXPECT_EQ(initialize_socket("5556"), INVALID_SOCKET);
  EXPECT_EQ(open_descriptors(), before) << "the failed socket was left open";

  const std::string out = capture.out();
  EXPECT_NE(out.find("Setting multicast non blocking to: 1\nbind() failed with error code " +
                     std::to_string(EADDRINUSE) + "\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("Binding to"), std::string::npos);
  close(holder);
}

TEST_F(Endpoint, UnresolvableServiceFailsWithTheResolverLineFirst) {
  DiagCapture capture;
  EXPECT_EQ(initialize_socket("no-such-service-xyz"), INVALID_SOCKET);
  EXPECT_EQ(capture.out().rfind("Invalid address 0.0.0.0, getaddrinfo failed: ", 0), 0u) << capture.out();
  EXPECT_EQ(capture.err().rfind("Unable to convert bind address: Error ", 0), 0u) << capture.err();
}

}  // namespace
