// The interface walk for real: joins and probes through every addressed interface that is up, however
// many there are, and nothing else; a peer namespace sees exactly what leaves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <set>
#include <thread>

#include "bed_test.h"
#include "diag_capture.h"
#include "netbed.h"
#include "vantrel/endpoint.h"
#include "vantrel/interfaces.h"
#include "vantrel/protocol.h"
#include "vantrel/resolve.h"

namespace {

using namespace std::chrono_literals;

struct Datagram {
  std::string source;
  std::string destination;
  int ttl = -1;
  std::string bytes;
};

// Receives everything sent to the group's port in namespace `ns`, joined on each of `addresses`.
class PeerReceiver {
 public:
  PeerReceiver(std::string ns, std::vector<std::string> addresses)
      : thread_([this, ns = std::move(ns), addresses = std::move(addresses)] { run(ns, addresses); }) {
    while (!ready_) std::this_thread::sleep_for(1ms);
  }
  ~PeerReceiver() { stop(); }

  std::vector<Datagram> stop() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
    return received_;
  }

 private:
  void run(const std::string& ns, const std::vector<std::string>& addresses) {
    testbed::InsideNamespace inside(ns);
    const int sock = open(addresses);
    ready_ = true;
    while (sock >= 0 && !done_) {
      pollfd pfd{sock, POLLIN, 0};
      if (poll(&pfd, 1, 20) > 0) receive_one(sock);
    }
    if (sock >= 0) close(sock);
  }

  static int open(const std::vector<std::string>& addresses) {
    const int sock = socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(sock, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
    setsockopt(sock, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(5556);
    bind(sock, reinterpret_cast<sockaddr*>(&any), sizeof any);
    for (const std::string& address : addresses) {
      ip_mreq request{};
      inet_pton(AF_INET, protocol::kGroupAddress, &request.imr_multiaddr);
      inet_pton(AF_INET, address.c_str(), &request.imr_interface);
      setsockopt(sock, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request);
    }
    return sock;
  }

  void receive_one(int sock) {
    char data[4096];
    char control[256];
    sockaddr_in from{};
    iovec io{data, sizeof data};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(sock, &message, 0);
    if (n < 0) return;
    Datagram datagram;
    datagram.bytes.assign(data, static_cast<size_t>(n));
    datagram.source = inet_ntoa(from.sin_addr);
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) {
        std::memcpy(&datagram.ttl, CMSG_DATA(c), sizeof datagram.ttl);
      } else if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
        in_pktinfo info{};
        std::memcpy(&info, CMSG_DATA(c), sizeof info);
        datagram.destination = inet_ntoa(info.ipi_addr);
      }
    }
    received_.push_back(datagram);
  }

  std::atomic<bool> ready_{false};
  std::atomic<bool> done_{false};
  std::vector<Datagram> received_;  // receiver thread only, until stop() has joined it
  std::thread thread_;
};

int count_of(const std::string& text, const std::string& needle) {
  int count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
    ++count;
  return count;
}

class InterfaceWalk : public testbed::BedTest {
 protected:
  // Opens the endpoint and resolves the group inside the tool namespace of `bed`.
  void open_endpoint() {
    DiagCapture quiet;
    sock_ = initialize_socket(protocol::kService);
    group_ = ResolveAddress(protocol::kGroupAddress, protocol::kService, AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(sock_, INVALID_SOCKET);
    ASSERT_NE(group_, nullptr);
  }
  // Two segments with a peer on both that records what arrives; the endpoint open in the tool namespace.
  void two_segments_with_peer(const std::string& options = "") {
    build(2, options);
    if (HasFatalFailure()) return;
    const std::vector<std::string> peer = bed_->add_device("peer", "0,1");
    ASSERT_EQ(peer.size(), 2u);
    receiver_ = std::make_unique<PeerReceiver>(bed_->ns("peer"), peer);
    enter("tool");
    if (stopped()) return;
    open_endpoint();
  }

  void TearDown() override {
    if (group_ != nullptr) freeaddrinfo(group_);
    platform::close_socket(sock_);
    receiver_.reset();
    leave();
    bed_.reset();
  }

  SOCKET sock_ = INVALID_SOCKET;
  addrinfo* group_ = nullptr;
  std::unique_ptr<PeerReceiver> receiver_;
};

TEST_F(InterfaceWalk, JoinsAndProbesOnlyAddressedInterfacesThatAreUp) {
  two_segments_with_peer("--tool-extra-down --tool-extra-noaddr");
  if (HasFatalFailure()) return;

  DiagCapture joins;
  do_for_each_interface(sock_, group_, protocol::kService, join_interface);
  EXPECT_EQ(joins.out(), "Joined group: [224.0.0.120]:5556\nJoined group: [224.0.0.120]:5556\n");
  EXPECT_EQ(joins.err(), "");

  DiagCapture sends;
  do_for_each_interface(sock_, group_, protocol::kService, send_to_interface);
  EXPECT_EQ(sends.out(),
            "Set sending interface to: [10.77.0.1]:5556\nSet sending interface to: [10.77.1.1]:5556\n");
  EXPECT_EQ(sends.err(), "");

  std::this_thread::sleep_for(300ms);
  const std::vector<Datagram> seen = receiver_->stop();
  ASSERT_EQ(seen.size(), 2u) << "exactly one probe per addressed interface";
  std::set<std::string> sources;
  for (const Datagram& datagram : seen) {
    EXPECT_EQ(datagram.bytes, std::string(1, '\0'));
    EXPECT_EQ(datagram.destination, "224.0.0.120");
    EXPECT_EQ(datagram.ttl, 8);
    sources.insert(datagram.source);
  }
  EXPECT_EQ(sources, (std::set<std::string>{"10.77.0.1", "10.77.1.1"}));
}

TEST_F(InterfaceWalk, OverlappingSendWalksKeepEachProbeOnItsOwnInterface) {
  // Two threads walk at once, as the start-up probe and a Refresh can: each "set interface, send" pair
  // must stay together, so every segment gets exactly one probe per walk.
  two_segments_with_peer();
  if (HasFatalFailure()) return;

  constexpr int kWalks = 200;
  {
    DiagCapture quiet;
    const auto walk = [this] {
      for (int i = 0; i < kWalks; ++i)
        do_for_each_interface(sock_, group_, protocol::kService, send_to_interface);
    };
    std::thread other(walk);
    walk();
    other.join();
  }
  std::this_thread::sleep_for(300ms);
  std::map<std::string, int> per_source;
  for (const Datagram& datagram : receiver_->stop()) ++per_source[datagram.source];
  EXPECT_EQ(per_source, (std::map<std::string, int>{{"10.77.0.1", 2 * kWalks}, {"10.77.1.1", 2 * kWalks}}));
}

TEST_F(InterfaceWalk, JoinsEveryInterfaceBeyondTheMembershipCapOfOneSocket) {
  constexpr int kInterfaces = 25;
  testbed::NetBed bed(kInterfaces);
  ASSERT_TRUE(bed.ok());
  const std::vector<std::string> first = bed.add_device("first", "0");
  const std::vector<std::string> last = bed.add_device("last", std::to_string(kInterfaces - 1));
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(last.size(), 1u);

  {
    testbed::InsideNamespace inside(bed.ns("tool"));
    ASSERT_TRUE(inside.ok());
    open_endpoint();
    DiagCapture joins;
    do_for_each_interface(sock_, group_, protocol::kService, join_interface);
    EXPECT_EQ(count_of(joins.out(), "Joined group: [224.0.0.120]:5556\n"), kInterfaces);
    EXPECT_EQ(joins.out().find("failed"), std::string::npos) << joins.out();
  }

  // Group traffic on the first and on the last segment reaches the one socket.
  for (const std::string& ns : {bed.ns("first"), bed.ns("last")}) {
    std::thread([&ns] {
      testbed::InsideNamespace inside(ns);
      const int sender = socket(AF_INET, SOCK_DGRAM, 0);
      sockaddr_in to{};
      to.sin_family = AF_INET;
      to.sin_port = htons(5556);
      inet_pton(AF_INET, protocol::kGroupAddress, &to.sin_addr);
      const std::string text = "\x01" + ns;
      sendto(sender, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
      close(sender);
    }).join();
  }
  std::set<std::string> arrived;
  const auto deadline = std::chrono::steady_clock::now() + 2s;
  while (arrived.size() < 2 && std::chrono::steady_clock::now() < deadline) {
    char data[256];
    const ssize_t n = recv(sock_, data, sizeof data, 0);
    if (n > 1)
      arrived.insert(std::string(data + 1, static_cast<size_t>(n - 1)));
    else
      std::this_thread::sleep_for(5ms);
  }
  EXPECT_EQ(arrived, (std::set<std::string>{bed.ns("first"), bed.ns("last")}));
}

TEST_F(InterfaceWalk, NoAddressedInterfaceMeansNoActionAndNoLine) {
  testbed::NetBed bed(0, "--tool-extra-down --tool-extra-noaddr");
  ASSERT_TRUE(bed.ok());
  testbed::InsideNamespace inside(bed.ns("tool"));
  ASSERT_TRUE(inside.ok());
  open_endpoint();
  DiagCapture walk;
  do_for_each_interface(sock_, group_, protocol::kService, send_to_interface);
  EXPECT_EQ(walk.out(), "");
  EXPECT_EQ(walk.err(), "");
}

}  // namespace
