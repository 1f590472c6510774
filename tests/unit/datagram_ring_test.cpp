// The ring of raw datagrams: arrival order and bytes kept across the wrap, room refused without damage
// when full, and an emptied ring starting over at the front.
#include "vantrel/datagram_ring.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>

#include "vantrel/protocol.h"

namespace {

sockaddr_in sender(std::uint32_t host) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(host);
  address.sin_port = htons(5556);
  return address;
}

struct Stored {
  std::string bytes;
  std::uint32_t host;
};

bool push(DatagramRing& ring, const Stored& datagram) {
  return ring.push(sender(datagram.host), datagram.host % 7, datagram.bytes.data(), datagram.bytes.size());
}

void expect_front(const DatagramRing& ring, const Stored& wanted) {
  const DatagramRing::Datagram got = ring.front();
  ASSERT_EQ(std::string(got.data, got.size), wanted.bytes);
  EXPECT_EQ(ntohl(got.from.sin_addr.s_addr), wanted.host);
  EXPECT_EQ(got.interface_index, wanted.host % 7);
}

// Against a plain queue, with sizes from empty to the largest reply and the reader lagging by random
// amounts, so that the writer wraps at every kind of boundary.
TEST(DatagramRing, KeepsOrderAndBytesAcrossManyWraps) {
  DatagramRing ring(64 * 1024);
  std::deque<Stored> model;
  std::mt19937 random(7);
  std::uniform_int_distribution<std::size_t> size(0, protocol::kMaxReplySize);
  std::uniform_int_distribution<int> coin(0, 2);
  std::uint32_t next = 1;
  for (int step = 0; step < 20000; ++step) {
    if (coin(random) != 0) {
      Stored datagram{std::string(size(random), static_cast<char>('a' + next % 26)), next};
      datagram.bytes.insert(0, std::to_string(next));
      datagram.bytes.resize(std::min(datagram.bytes.size(), std::size_t{protocol::kMaxReplySize}));
      ++next;
      if (push(ring, datagram)) model.push_back(datagram);
    } else if (!model.empty()) {
      expect_front(ring, model.front());
      ring.pop();
      model.pop_front();
    }
    ASSERT_EQ(ring.size(), model.size());
    if (HasFailure()) return;
  }
  EXPECT_GT(next, 10000u);
}

TEST(DatagramRing, FullRingRefusesWithoutLosingWhatItHolds) {
  DatagramRing ring(4096);
  std::deque<Stored> held;
  for (std::uint32_t host = 1;; ++host) {
    Stored datagram{std::string(200, 'x') + std::to_string(host), host};
    if (!push(ring, datagram)) break;
    held.push_back(datagram);
  }
  ASSERT_GE(held.size(), 10u);
  EXPECT_FALSE(push(ring, {"y", 999}));  // even a small one: it would have to overwrite the oldest
  ring.pop();
  held.pop_front();
  EXPECT_TRUE(push(ring, {"after", 1000}));  // room again, after the wrap
  held.push_back({"after", 1000});
  for (const Stored& wanted : held) {
    expect_front(ring, wanted);
    ring.pop();
  }
  EXPECT_TRUE(ring.empty());
}

TEST(DatagramRing, EmptiedRingTakesTheLargestReplyAgain) {
  DatagramRing ring(3 * protocol::kMaxReplySize);
  const std::string largest(protocol::kMaxReplySize, 'L');
  ASSERT_TRUE(push(ring, {largest, 1}));
  ASSERT_TRUE(push(ring, {largest, 2}));
  ring.pop();
  ring.pop();
  // The writer sits near the end; an empty ring starts over at the front, where the reply fits.
  EXPECT_TRUE(push(ring, {largest, 3}));
  EXPECT_TRUE(push(ring, {largest, 4}));
  expect_front(ring, {largest, 3});
}

}  // namespace
