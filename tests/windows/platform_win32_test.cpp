// The Winsock side of the platform layer on real Winsock (Wine's): the error codes callers act on, the
// oversized datagram, waking a waiting thread, the adapter table, the heap.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform.h"
#include "vantrel/endpoint.h"

namespace {

// A UDP socket bound to an ephemeral loopback port; the tests send to it through the loopback interface.
class LoopbackSocket : public testing::Test {
 protected:
  void SetUp() override {
    sock_ = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(sock_, INVALID_SOCKET) << platform::last_socket_error();
    address_.sin_family = AF_INET;
    address_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address_;
    ASSERT_EQ(::bind(sock_, reinterpret_cast<sockaddr*>(&address_), length), 0);
    ASSERT_EQ(::getsockname(sock_, reinterpret_cast<sockaddr*>(&address_), &length), 0);
    ASSERT_EQ(platform::set_non_blocking(sock_, 1), 0);
  }
  void TearDown() override { platform::close_socket(sock_); }

  void send_bytes(std::size_t count, char fill) {
    const std::string datagram(count, fill);
    ASSERT_EQ(::sendto(sock_, datagram.data(), static_cast<int>(datagram.size()), 0,
                       reinterpret_cast<const sockaddr*>(&address_), sizeof address_),
              static_cast<int>(count));
    ASSERT_EQ(platform::wait_readable(sock_, 2000), 1);
  }

  int receive(std::vector<char>& buffer) {
    sockaddr_in from{};
    int length = sizeof from;
    return platform::receive_datagram(sock_, buffer.data(), static_cast<int>(buffer.size()),
                                      reinterpret_cast<sockaddr*>(&from), &length);
  }

  SOCKET sock_ = INVALID_SOCKET;
  sockaddr_in address_{};
};

TEST_F(LoopbackSocket, NothingQueuedFailsWith10035) {
  std::vector<char> buffer(2048);
  EXPECT_EQ(receive(buffer), SOCKET_ERROR);
  EXPECT_EQ(platform::last_socket_error(), 10035);
  EXPECT_EQ(platform::kErrorWouldBlock, 10035);
  EXPECT_EQ(platform::error_kind(10035), platform::ErrorKind::would_block);
}

TEST_F(LoopbackSocket, OversizedDatagramFailsWith10040AndIsConsumed) {
  std::vector<char> buffer(2048);
  send_bytes(2049, 'x');
  EXPECT_EQ(receive(buffer), SOCKET_ERROR);
  EXPECT_EQ(platform::last_socket_error(), 10040);
  EXPECT_EQ(platform::kErrorMessageTooLong, 10040);

  // The next datagram comes whole: the oversized one is gone, not waiting in pieces.
  send_bytes(2048, 'y');
  EXPECT_EQ(receive(buffer), 2048);
  EXPECT_EQ(buffer.front(), 'y');
  EXPECT_EQ(buffer.back(), 'y');
}

TEST(WakePair, AByteWakesTheWaiterAndNothingElseDoes) {
  SOCKET pair[2] = {INVALID_SOCKET, INVALID_SOCKET};
  ASSERT_TRUE(platform::open_wake_pair(pair));
  EXPECT_EQ(platform::wait_readable(pair[0], 50), 0);
  platform::send_wake(pair[1]);
  EXPECT_EQ(platform::wait_readable(pair[0], 2000), 1);
  for (const SOCKET end : pair) platform::close_socket(end);
}

TEST(Adapters, OnlyLoopbackMeansAnEmptyListNotAFailure) {
  // The tests run in a namespace where only the loopback interface is up; the adapter table leaves it out.
  std::vector<platform::Adapter> adapters{{"stale", "1.2.3.4", 7, "Stale", {}}};
  EXPECT_TRUE(platform::list_adapters(adapters));
  EXPECT_TRUE(adapters.empty());
}

TEST(Heap, BlocksComeZeroFilled) {
  auto* block = static_cast<unsigned char*>(platform::heap_alloc_zeroed(2048));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 2048; ++i) ASSERT_EQ(block[i], 0) << i;
  platform::heap_free(block);
}

TEST(ErrorText, NamesTheErrorWithoutTrailingLineBreaks) {
  const std::string text = platform::error_text(10035);
  EXPECT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');
  EXPECT_EQ(platform::error_text(0), "unknown error");
}

TEST(Endpoint, InitializeSocketGivesANonBlockingSocketOnPort5556) {
  const SOCKET sock = initialize_socket("5556");
  ASSERT_NE(sock, INVALID_SOCKET);
  char byte = 0;
  EXPECT_EQ(::recv(sock, &byte, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(platform::last_socket_error(), 10035);
  platform::close_socket(sock);
}

}  // namespace
