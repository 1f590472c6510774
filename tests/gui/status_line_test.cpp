// The status line, read through the widget, in each situation it exists for, provoked for real in a
// namespace bed: the window's process sits in the tool namespace, devices in namespaces of their own.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <csignal>

#include "app_state.h"
#include "diag_capture.h"
#include "listener.h"
#include "main_window.h"
#include "pump.h"
#include "qt_list_control.h"
#include "qt_status_control.h"
#include "refresh.h"
#include "simulator_bed.h"

namespace {

using namespace std::chrono_literals;

class StatusLine : public testbed::SimulatorBed {
 protected:
  void SetUp() override {
    SimulatorBed::SetUp();
    if (stopped()) return;
    build(1);
  }
  void TearDown() override {
    if (window_) stop_listener_and_release(listener_);
    list.clear();
    attach_status_control(nullptr);
    window_.reset();
    attach_list_control(nullptr);
    capture_.reset();
    leave();
    sims_.clear();
    bed_.reset();
  }

  // The window, in the tool namespace, once its listener's set-up has reached the status line.
  void open_window() {
    if (!inside_) enter("tool");
    if (stopped()) return;
    capture_ = std::make_unique<DiagCapture>();
    window_ = std::make_unique<MainWindow>([] { btn_exit_cb(); }, list);
    attach_list_control(window_.get());
    attach_status_control(window_.get());
    window_->show();
    listener_ = start_listener();
    ASSERT_TRUE(pump_until([] { return status.start_failure || status.last_walk; })) << line();
  }

  std::string line() const { return window_->statusLine()->fullText().toStdString(); }
  std::string tooltip() const { return window_->statusLine()->toolTip().toStdString(); }

  bool says(const std::string& words, int timeout_ms = 5000) {
    return pump_until([&] { return line().find(words) != std::string::npos; }, timeout_ms);
  }

  // In the tool namespace: `ip` with these arguments.
  void ip(const std::string& args) {
    ASSERT_EQ(testbed::run_shell("ip -n " + bed_->ns("tool") + " " + args), 0) << args;
  }

  std::unique_ptr<DiagCapture> capture_;
  std::unique_ptr<MainWindow> window_;
  std::thread listener_;
};

TEST_F(StatusLine, CountsDevicesAndSaysWhenAndWhereItProbed) {
  const std::vector<std::string> device = add_device("dev", "0", {"--model", "VX", "--serial", "S1"});
  ASSERT_FALSE(device.empty());
  open_window();
  ASSERT_TRUE(says("1 device  \xC2\xB7  Probed 1 interface at ")) << line();
  EXPECT_EQ(line().find("No device"), std::string::npos) << line();
  EXPECT_EQ(tooltip().find("1 device\nProbed 1 interface at "), 0u) << tooltip();
}

TEST_F(StatusLine, APortHeldWithoutSharingSaysWhyDiscoveryCannotStart) {
  enter("tool");
  ASSERT_FALSE(stopped());
  const int holder = testbed::hold_port_without_sharing(5556);
  ASSERT_GE(holder, 0);
  open_window();
  EXPECT_TRUE(
      says("No devices yet  \xC2\xB7  Discovery could not start: Cannot bind UDP port 5556 (Address "
           "already in use): another program holds the port without address reuse."))
      << line();
  ::close(holder);
}

TEST_F(StatusLine, NoAddressedInterfaceIsSaidAndRefreshJoinsTheOneThatComesUp) {
  // The device answers to the group only: it is heard only where the window has joined.
  const std::vector<std::string> device =
      add_device("dev", "0", {"--model", "VX", "--serial", "LATE", "--reply-to", "group"});
  ASSERT_FALSE(device.empty());
  ip("addr flush dev eth0");
  open_window();
  ASSERT_TRUE(says("No network interface with an IPv4 address is up. Once one is, press Refresh.")) << line();
  EXPECT_EQ(capture_->out().find("Joined group"), std::string::npos);

  ip("addr add 10.77.0.1/24 dev eth0");
  btn_exit_cb();
  EXPECT_TRUE(pump_until([] { return list.size() == 1; })) << capture_->out() << capture_->err();
  EXPECT_TRUE(says("1 device  \xC2\xB7  Probed 1 interface at ")) << line();
  EXPECT_EQ(line().find("No network interface"), std::string::npos) << line();
  EXPECT_NE(capture_->out().find("Joined group: [224.0.0.120]:5556\n"), std::string::npos) << capture_->out();

  // Joined once: the next Refresh only probes.
  const std::size_t mark = capture_->out().size();
  btn_exit_cb();
  ASSERT_TRUE(pump_until([] { return list.size() == 1; }));
  EXPECT_EQ(capture_->out().find("Joined group", mark), std::string::npos) << capture_->out().substr(mark);
}

TEST_F(StatusLine, AnInterfaceWhoseAddressChangedIsJoinedAgainUnderItsNewAddress) {
  const std::vector<std::string> device =
      add_device("dev", "0", {"--model", "VX", "--serial", "MOVED", "--reply-to", "group"});
  ASSERT_FALSE(device.empty());
  open_window();
  ASSERT_TRUE(pump_until([] { return list.size() == 1; }));
  ip("addr flush dev eth0");
  ip("addr add 10.77.0.2/24 dev eth0");
  const std::size_t mark = capture_->out().size();
  btn_exit_cb();
  EXPECT_TRUE(pump_until([] { return list.size() == 1; })) << capture_->out() << capture_->err();
  EXPECT_NE(capture_->out().find("Joined group", mark), std::string::npos) << capture_->out().substr(mark);
  EXPECT_EQ(capture_->out().find("failed"), std::string::npos) << capture_->out();
}

TEST_F(StatusLine, AnotherDiscovererBesideTheWindowIsNamedAtRefresh) {
  ASSERT_FALSE(add_device("dev", "0", {"--model", "VX", "--serial", "S1"}).empty());
  open_window();
  ASSERT_TRUE(says("1 device")) << line();
  EXPECT_EQ(line().find("Another program"), std::string::npos) << line();
  testbed::ChildProcess watcher(
      bed_->in("tool", {testbed::bin("vantrel-discover"), "--watch", "--interval", "60"}));
  ASSERT_TRUE(watcher.wait_for("S1", 10s)) << watcher.err();
  btn_exit_cb();
  EXPECT_TRUE(says("Another program is using UDP port 5556 (vantrel-discover, process " +
                   std::to_string(watcher.pid()) +
                   "); devices' answers may reach it instead of this window."))
      << line();
  watcher.signal(SIGTERM);
  watcher.wait(5s);
  btn_exit_cb();
  EXPECT_TRUE(pump_until([&] { return line().find("Another program") == std::string::npos; })) << line();
}

TEST_F(StatusLine, ASilentNetworkGetsTheHintAfterThreeSeconds) {
  open_window();
  QElapsedTimer since_probe;
  since_probe.start();
  const std::string hint =
      "No device has answered. Check that the devices are powered and on this network, and that the "
      "firewall lets UDP port 5556 in.";
  ASSERT_TRUE(says(hint, 6000)) << line();
  EXPECT_GE(since_probe.elapsed(), 2500);
  EXPECT_EQ(line().find("No devices yet  \xC2\xB7  Probed 1 interface at "), 0u) << line();

  // A device that answers a Refresh ends the hint.
  ASSERT_FALSE(add_device("dev", "0", {"--model", "VX", "--serial", "S1"}).empty());
  btn_exit_cb();
  EXPECT_TRUE(says("1 device")) << line();
  EXPECT_EQ(line().find("No device has answered"), std::string::npos) << line();
}

TEST_F(StatusLine, LostRepliesAreCountedNeverListed) {
  ASSERT_FALSE(add_namespace("dev", "0").empty());
  open_window();
  testbed::send_datagrams(bed_->ns("dev"), "10.77.0.1", {"\x01" + std::string(3000, 'x')});
  EXPECT_TRUE(says("Replies lost: 1 longer than 2,048 bytes (not replies of this protocol).")) << line();
  EXPECT_TRUE(list.empty());

  // Refresh starts the count over, as it starts the list over.
  btn_exit_cb();
  EXPECT_TRUE(pump_until([&] { return line().find("Replies lost") == std::string::npos; })) << line();
}

TEST_F(StatusLine, ABurstIntoASmallReceiveBufferCountsWhatTheSystemDropped) {
  ASSERT_FALSE(add_device("dev", "0", {"--count", "3000", "--serial", "B"}).empty());
  open_window();
  {
    // A receive queue of a few replies: the burst that answers the next probe overflows it.
    std::lock_guard lock(endpoint_mutex);
    const int tiny = 4096;
    ASSERT_EQ(::setsockopt(endpoint.socket(), SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny), 0);
  }
  btn_exit_cb();
  EXPECT_TRUE(says("dropped by the system with the receive queue full", 10000)) << line();
  EXPECT_LT(list.size(), 3000u);
}

}  // namespace
