// The listener and Refresh for real: the window's process sits in a namespace of its own, replies come
// from a peer namespace.
#include "listener.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <set>
#include <thread>

#include "app_state.h"
#include "bed_test.h"
#include "child_process.h"
#include "diag_capture.h"
#include "main_window.h"
#include "netbed.h"
#include "pump.h"
#include "qt_list_control.h"
#include "refresh.h"
#include "shown_lines.h"

namespace {

using namespace std::string_literals;
using namespace std::chrono_literals;

std::string reply(const std::string& serial, const char* boot = nullptr) {
  std::string json = R"({"model":"VX","serial_number":")" + serial + "\"";
  if (boot != nullptr) json += R"(,"boot_state":)"s + boot;
  return "\x01" + json + "}";
}

bool list_matches_control() {
  if (static_cast<int>(list.size()) != shown_count(flatList)) return false;
  for (int row = 0; row < shown_count(flatList); ++row) {
    if (shown_line(flatList, row) != list[static_cast<size_t>(row)].line) return false;
  }
  return true;
}

class Listener : public testbed::BedTest {
 protected:
  void SetUp() override {
    BedTest::SetUp();
    if (stopped()) return;
    build(1);
    if (stopped()) return;
    device_ = bed_->add_device("dev", "0");
    ASSERT_EQ(device_.size(), 1u);
    enter("tool");
    if (stopped()) return;
    capture_ = std::make_unique<DiagCapture>();
    window_ = std::make_unique<MainWindow>([] { btn_exit_cb(); }, list);
    attach_list_control(window_.get());
    window_->show();
    listener_ = start_listener();
    ASSERT_TRUE(pump_until([] {
      std::lock_guard lock(endpoint_mutex);
      return endpoint.is_open();
    }));
    pump_for(50);  // the first probes have gone out
  }
  void TearDown() override {
    if (window_) stop_listener_and_release(listener_);
    list.clear();
    window_.reset();
    attach_list_control(nullptr);
    capture_.reset();
    leave();
    bed_.reset();
  }

  std::string line(const std::string& serial, const char* boot = nullptr) const {
    std::string text = device_[0] + ", Model: VX, Serial Number: " + serial;
    if (boot != nullptr) text += ", Boot State:  "s + (boot == "true"s ? "ON" : "OFF");
    return text;
  }
  void send(const std::vector<std::string>& datagrams) {
    testbed::send_datagrams(bed_->ns("dev"), "10.77.0.1", datagrams);
  }

  std::vector<std::string> device_;
  std::unique_ptr<DiagCapture> capture_;
  std::unique_ptr<MainWindow> window_;
  std::thread listener_;
};

TEST_F(Listener, NewLineGivesLogLineThenListRowThenItem) {
  const std::string datagram = reply("S1", "true");
  std::string log_at_insert;
  bool listed_at_insert = true;
  QObject::connect(flatList->model(), &QAbstractItemModel::rowsInserted, flatList, [&] {
    log_at_insert = capture_->out();
    listed_at_insert = list.contains(line("S1", "true"));
  });
  send({datagram});
  ASSERT_TRUE(pump_until([] { return list.size() == 1; }));
  const std::string expected_log = "read " + std::to_string(datagram.size()) + " bytes from " +
                                   line("S1", "true") + ": \\x01" + datagram.substr(1) + "\n";
  EXPECT_NE(log_at_insert.find(expected_log), std::string::npos) << log_at_insert;
  EXPECT_TRUE(listed_at_insert) << "the view shows rows of the list: the row comes first";
  EXPECT_EQ(shown_line(flatList, 0), line("S1", "true"));
}

TEST_F(Listener, RepliesBecomeOneLineEachDistinctLine) {
  send({reply("S1"), reply("S1"), reply("S1", "true"), reply("S1", "false"), "\x00"s, ""s,
        "\x01" + R"({"model":"","serial_number":"X"})"s});
  ASSERT_TRUE(pump_until([] { return list.size() == 3; }));
  pump_for(100);
  EXPECT_EQ(list.lines(), (std::vector<std::string>{line("S1"), line("S1", "true"), line("S1", "false")}));
  EXPECT_TRUE(list_matches_control());
  const std::string out = capture_->out();
  size_t logs = 0;
  for (size_t at = out.find("read "); at != std::string::npos; at = out.find("read ", at + 1)) ++logs;
  EXPECT_EQ(logs, 3u) << out;
}

TEST_F(Listener, LargestReplyDecodedWholeOversizedDroppedAndListeningGoesOn) {
  // Padded with blanks inside the object up to exactly 2048 bytes, with no zero byte.
  std::string largest = reply("BIG");
  largest.insert(largest.size() - 1, std::string(2048 - largest.size(), ' '));
  ASSERT_EQ(largest.size(), 2048u);
  const std::string oversized = "\x01" + std::string(2999, ' ');
  send({largest, oversized, reply("AFTER")});
  ASSERT_TRUE(pump_until([] { return list.size() == 2; }));
  EXPECT_EQ(list.lines(), (std::vector<std::string>{line("BIG"), line("AFTER")}));
  EXPECT_EQ(capture_->err(), "dropped a datagram longer than 2048 bytes\n");
}

TEST_F(Listener, RefreshListsAnsweringDevicesAgain) {
  send({reply("S1")});
  ASSERT_TRUE(pump_until([] { return list.size() == 1; }));
  // A device that answers the probe: it replies once a probe reaches it.
  std::atomic<bool> probed{false};
  std::thread responder([&] {
    testbed::InsideNamespace inside(bed_->ns("dev"));
    const int sock = socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(5556);
    bind(sock, reinterpret_cast<sockaddr*>(&any), sizeof any);
    ip_mreq request{};
    inet_pton(AF_INET, "224.0.0.120", &request.imr_multiaddr);
    inet_pton(AF_INET, device_[0].c_str(), &request.imr_interface);
    setsockopt(sock, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request);
    probed = true;
    char byte = 1;
    sockaddr_in from{};
    socklen_t length = sizeof from;
    timeval wait{3, 0};
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    if (recvfrom(sock, &byte, 1, 0, reinterpret_cast<sockaddr*>(&from), &length) == 1 && byte == 0) {
      const std::string answer = reply("S1");
      sendto(sock, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), length);
    }
    close(sock);
  });
  while (!probed) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const size_t logs_before = capture_->out().size();
  QTest::mouseClick(window_->refreshButton(), Qt::LeftButton);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(shown_count(flatList), 0);
  EXPECT_TRUE(pump_until([] { return list.size() == 1; }));
  responder.join();
  EXPECT_EQ(list.lines(), std::vector<std::string>{line("S1")});
  EXPECT_NE(capture_->out().find("read ", logs_before), std::string::npos) << "the log line comes again";
  EXPECT_TRUE(window_->isVisible());
}

TEST_F(Listener, RefreshPressedManyTimesWhileRepliesStreamKeepsListAndControlEqual) {
  std::atomic<bool> streaming{true};
  std::thread stream([&] {
    for (int round = 0; streaming; ++round) {
      std::vector<std::string> burst;
      for (int i = 0; i < 20; ++i) burst.push_back(reply("R" + std::to_string((round * 20 + i) % 300)));
      send(burst);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  for (int press = 0; press < 200; ++press) {
    if (press % 2 == 0) btn_exit_cb();
    QApplication::processEvents();
    ASSERT_TRUE(list_matches_control()) << "after press " << press;
    const std::vector<std::string> lines = list.lines();
    ASSERT_EQ(std::set<std::string>(lines.begin(), lines.end()).size(), list.size());
  }
  streaming = false;
  stream.join();
  pump_for(100);
  EXPECT_TRUE(list_matches_control());
}

TEST_F(Listener, ClosingTheWindowDuringAStreamStopsTheListenerPromptly) {
  std::atomic<bool> streaming{true};
  std::thread stream([&] {
    for (int i = 0; streaming; ++i) send({reply("C" + std::to_string(i))});
  });
  ASSERT_TRUE(pump_until([] { return list.size() > 10; }));
  window_->close();
  QElapsedTimer timer;
  timer.start();
  stop_listener_and_release(listener_);
  EXPECT_LT(timer.elapsed(), 500);
  {
    std::lock_guard lock(endpoint_mutex);
    EXPECT_EQ(endpoint.socket(), INVALID_SOCKET);
    EXPECT_EQ(endpoint.group(), nullptr);
  }
  window_.reset();
  attach_list_control(nullptr);
  streaming = false;
  stream.join();
  QApplication::processEvents();  // queued batches for the gone window are dropped, not run
}

TEST_F(Listener, BurstOfAThousandRepliesWithinMillisecondsIsListedWhole) {
  testbed::ChildProcess sim(
      bed_->in("dev", {testbed::bin("vantrel-device-sim"), "--count", "1000", "--serial", "B"}));
  ASSERT_TRUE(sim.wait_for("ready", 10s, true)) << sim.err();
  btn_exit_cb();  // the simulator answers this probe with its 1000 replies at once
  EXPECT_TRUE(pump_until([] { return list.size() == 1000; }, 10000)) << list.size();
  pump_for(200);
  EXPECT_EQ(list.size(), 1000u);
  EXPECT_TRUE(list_matches_control());
}

TEST_F(Listener, StressRefreshAThousandTimesWhileAHundredThousandRepliesStreamThenCloseMidStream) {
  std::atomic<bool> streaming{true};
  std::atomic<int> sent{0};
  std::thread stream([&] {
    testbed::InsideNamespace inside(bed_->ns("dev"));
    const int sock = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(5556);
    inet_pton(AF_INET, "10.77.0.1", &to.sin_addr);
    for (int i = 0; i < 100000 && streaming; ++i) {
      const std::string datagram = reply("ST" + std::to_string(i % 5000), i % 3 == 0 ? "true" : nullptr);
      sendto(sock, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
      if (++sent % 1000 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    close(sock);
  });
  for (int press = 0; press < 1000; ++press) {
    btn_exit_cb();
    QApplication::processEvents();
    ASSERT_TRUE(list_matches_control()) << "after press " << press;
  }
  // Close while the stream still runs (or has only just ended).
  pump_until([&] { return sent > 50000; }, 20000);
  window_->close();
  QApplication::processEvents();
  EXPECT_TRUE(list_matches_control());
  stop_listener_and_release(listener_);
  window_.reset();
  attach_list_control(nullptr);
  streaming = false;
  stream.join();
}

}  // namespace
