// The receive path for real: a socket in the tool's namespace, datagrams from a device namespace queued
// before the receiver looks (a burst as the system holds it), then one run of the receiver.
#include "vantrel/receiver.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "bed_test.h"
#include "diag_capture.h"
#include "netbed.h"
#include "vantrel/endpoint.h"
#include "vantrel/protocol.h"

namespace {

using namespace std::chrono_literals;

std::string reply(int serial) {
  return "\x01{\"model\":\"VX\",\"serial_number\":\"R" + std::to_string(100000 + serial) + "\"}";
}

std::vector<std::string> replies(int first, int count) {
  std::vector<std::string> out;
  for (int i = first; i < first + count; ++i) out.push_back(reply(i));
  return out;
}

class Receiver : public testbed::BedTest {
 protected:
  void SetUp() override {
    BedTest::SetUp();
    if (stopped()) return;
    build(1);
    if (stopped()) return;
    ASSERT_EQ(bed_->add_device("dev", "0").size(), 1u);
    enter("tool");
    if (stopped()) return;
    capture_ = std::make_unique<DiagCapture>();
    sock_ = initialize_socket(protocol::kService);
    ASSERT_NE(sock_, INVALID_SOCKET);
  }
  void TearDown() override {
    if (sock_ != INVALID_SOCKET) platform::close_socket(sock_);
    capture_.reset();
    leave();
    bed_.reset();
  }

  // Sent from the device, in chunks small enough for the veth pair's backlog, so that only the tool's
  // socket can lose any.
  void send(const std::vector<std::string>& datagrams) {
    for (std::size_t at = 0; at < datagrams.size(); at += 200) {
      const auto end = datagrams.begin() + static_cast<long>(std::min(datagrams.size(), at + 200));
      testbed::send_datagrams(bed_->ns("dev"), "10.77.0.1", {datagrams.begin() + static_cast<long>(at), end});
      std::this_thread::sleep_for(2ms);
    }
    std::this_thread::sleep_for(50ms);  // all delivered into the socket's queue
  }

  // One run of `receiver` until `wanted` replies are listed or `longest` passes; the serial numbers,
  // in order.
  std::vector<std::string> receive(ReplyReceiver& receiver, std::size_t wanted,
                                   std::chrono::milliseconds longest = 3s) {
    std::vector<std::string> serials;
    std::atomic<bool> stop{false};
    std::thread watchdog([&] {
      for (auto waited = 0ms; waited < longest && !stop; waited += 10ms) std::this_thread::sleep_for(10ms);
      stop = true;
    });
    receiver.run(stop, [&](SightingBatch&& batch) {
      for (const Sighting& sighting : batch) serials.push_back(sighting.device.serial_number);
      if (serials.size() >= wanted) stop = true;
    });
    stop = true;
    watchdog.join();
    return serials;
  }

  static std::vector<std::string> serials(int first, int count) {
    std::vector<std::string> out;
    for (int i = first; i < first + count; ++i) out.push_back("R" + std::to_string(100000 + i));
    return out;
  }

  std::unique_ptr<DiagCapture> capture_;
  SOCKET sock_ = INVALID_SOCKET;
  char buffer_[protocol::kMaxReplySize] = {};
};

TEST_F(Receiver, BurstKeepsArrivalOrderAndAnOversizedDatagramInItIsCountedOnce) {
  enlarge_receive_buffer(sock_, kWantedReceiveBuffer);
  std::vector<std::string> burst = replies(0, 1000);
  burst.insert(burst.begin() + 500, "\x01" + std::string(3000, ' '));
  burst.insert(burst.begin() + 100, std::string(1, '\0'));  // another tool's probe
  send(burst);

  ReplyReceiver receiver(sock_, buffer_);
  EXPECT_EQ(receive(receiver, 1000), serials(0, 1000));
  EXPECT_EQ(receiver.counts().oversized, 1u);
  EXPECT_EQ(receiver.counts().ring_full, 0u);
  EXPECT_EQ(capture_->err(), "dropped a datagram longer than 2048 bytes\n");
}

TEST_F(Receiver, FullRingIsCountedWhileTheDrainGoesOn) {
  enlarge_receive_buffer(sock_, kWantedReceiveBuffer);
  send(replies(0, 600));

  ReceiveLimits small;
  small.ring_bytes = 16 * 1024;  // room for about a hundred of these replies
  ReplyReceiver receiver(sock_, buffer_, small);
  const std::vector<std::string> listed = receive(receiver, 600, 1s);  // fewer come: some are counted
  const std::uint64_t full = receiver.counts().ring_full;
  EXPECT_GT(full, 0u);
  EXPECT_EQ(listed.size() + full, 600u) << "every datagram is either listed or counted";
  EXPECT_EQ(listed, serials(0, static_cast<int>(listed.size()))) << "the first ones, in order";
  EXPECT_EQ(capture_->err(),
            "dropped " + std::to_string(full) + " replies: decoding fell behind the network\n");
}

TEST_F(Receiver, DatagramsTheSystemDroppedAreCounted) {
  const int tiny = 2048;  // the system rounds it up to a few datagrams' worth
  ASSERT_EQ(setsockopt(sock_, SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny), 0);
  send(replies(0, 300));
  ReplyReceiver receiver(sock_, buffer_);
  std::vector<std::string> listed = receive(receiver, 300, 1s);
  // The system stamps its count on the datagrams it still queues: one more, sent after the drain.
  send({reply(300)});
  const std::vector<std::string> last = receive(receiver, 1);
  listed.insert(listed.end(), last.begin(), last.end());
  EXPECT_GT(receiver.counts().system_dropped, 0u);
  EXPECT_EQ(listed.size() + receiver.counts().system_dropped, 301u);
  EXPECT_EQ(listed.back(), "R100300");
}

TEST_F(Receiver, StopIsNoticedAtOnceDuringAFlood) {
  enlarge_receive_buffer(sock_, kWantedReceiveBuffer);
  std::atomic<bool> flooding{true};
  std::thread flood([&] {
    testbed::InsideNamespace inside(bed_->ns("dev"));
    const int sock = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(5556);
    inet_pton(AF_INET, "10.77.0.1", &to.sin_addr);
    for (int i = 0; flooding; ++i) {
      const std::string datagram = reply(i % 50000);
      sendto(sock, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    close(sock);
  });
  ReplyReceiver receiver(sock_, buffer_);
  std::atomic<bool> stop{false};
  std::size_t listed = 0;
  std::chrono::steady_clock::time_point stopped_at;
  std::thread stopper([&] {
    std::this_thread::sleep_for(1500ms);  // beyond the longest a burst may defer decoding (a second)
    stopped_at = std::chrono::steady_clock::now();
    stop = true;
  });
  receiver.run(stop, [&](SightingBatch&& batch) { listed += batch.size(); });
  const auto returned = std::chrono::steady_clock::now();
  stopper.join();
  flooding = false;
  flood.join();
  EXPECT_LT(returned - stopped_at, 1s);
  EXPECT_GT(listed, 0u) << "devices are listed while a flood that never pauses lasts";
}

}  // namespace
