// The window's costs: CPU while idle, and how 10,000 device lines reach the screen (time after the last
// datagram, the longest stall of the event loop, the memory they add). Runs in namespaces of its own.
#include <arpa/inet.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "app_state.h"
#include "child_process.h"
#include "device_lines.h"
#include "diag_capture.h"
#include "listener.h"
#include "main_window.h"
#include "netbed.h"
#include "qt_list_control.h"
#include "refresh.h"

namespace {

using namespace std::chrono_literals;

double cpu_seconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string field;
  for (int i = 1; i <= 13 && stat >> field; ++i) {
  }
  long user = 0;
  long system = 0;
  stat >> user >> system;
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long rss_kib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

// The window idle for 10 s with no device on its network.
double idle_cpu_percent() {
  testbed::NetBed bed(1);
  testbed::ChildProcess tool(
      bed.in("tool", {"env", "QT_QPA_PLATFORM=offscreen", testbed::bin("vantrel-discovery")}));
  tool.wait_for("Setting multicast loopback to: 0", 10s);
  std::this_thread::sleep_for(1s);
  const double before = cpu_seconds(tool.pid());
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(10s);
  const double used = cpu_seconds(tool.pid()) - before;
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  tool.signal(SIGTERM);
  tool.wait(5s);
  return 100.0 * used / elapsed;
}

// The window with its listener, in the tool namespace of a one-segment bed with a peer "dev".
class WindowInBed {
 public:
  WindowInBed()
      : bed_(1),
        added_(bed_.add_device("dev", "0")),
        inside_(bed_.ns("tool")),
        window_([] { btn_exit_cb(); }, list) {
    attach_list_control(&window_);
    window_.show();
    listener_ = start_listener();
    clock.start();
    while (clock.elapsed() < 500) QApplication::processEvents();
  }
  ~WindowInBed() {
    stop_listener_and_release(listener_);
    list.clear();
    attach_list_control(nullptr);
  }
  std::string peer() const { return bed_.ns("dev"); }

  QElapsedTimer clock;

 private:
  testbed::NetBed bed_;
  std::vector<std::string> added_;
  testbed::InsideNamespace inside_;
  DiagCapture quiet_;
  MainWindow window_;
  std::thread listener_;
};

// A 1 ms timer that notes the longest gap between two passes of the event loop.
class StallMeter {
 public:
  explicit StallMeter(const QElapsedTimer& clock) : clock_(clock), last_(clock.elapsed()) {
    QObject::connect(&ticker_, &QTimer::timeout, [this] {
      longest_ = std::max(longest_, clock_.elapsed() - last_);
      last_ = clock_.elapsed();
    });
    ticker_.start(1);
  }
  double longest_ms() const { return static_cast<double>(longest_); }

 private:
  const QElapsedTimer& clock_;
  qint64 last_;
  qint64 longest_ = 0;
  QTimer ticker_;
};

struct BigList {
  double after_last_ms = 0;
  double longest_stall_ms = 0;
  double added_mib = 0;
  int shown = 0;
};

// 10,000 distinct replies in one burst to the window, in-process.
BigList big_list(int devices) {
  BigList result;
  WindowInBed window;
  const QElapsedTimer& clock = window.clock;
  StallMeter stalls(clock);

  const long rss_before = rss_kib();
  std::vector<std::string> replies;
  for (int i = 0; i < devices; ++i) {
    replies.push_back("\x01{\"model\":\"VX-100\",\"serial_number\":\"BIG" + std::to_string(100000 + i) +
                      "\",\"boot_state\":true}");
  }
  qint64 sent_at = 0;
  std::thread sender([&] {
    // Paced in slices so that the receive queue, not the sender, is the limit under test.
    for (size_t at = 0; at < replies.size(); at += 500) {
      std::vector<std::string> slice(replies.begin() + static_cast<long>(at),
                                     replies.begin() + static_cast<long>(std::min(at + 500, replies.size())));
      testbed::send_datagrams(window.peer(), "10.77.0.1", slice);
    }
    sent_at = clock.elapsed();
  });
  while (static_cast<int>(list.size()) < devices && clock.elapsed() < 30000) QApplication::processEvents();
  flatList->repaint();
  const qint64 shown_at = clock.elapsed();
  sender.join();

  result.shown = static_cast<int>(list.size());
  result.after_last_ms = static_cast<double>(std::max<qint64>(0, shown_at - sent_at));
  result.longest_stall_ms = stalls.longest_ms();
  result.added_mib = static_cast<double>(rss_kib() - rss_before) / 1024.0;
  return result;
}

long peak_rss_kib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

// One datagram of the flood: every fourth a valid reply with a new serial number, the rest junk of every
// kind (each first byte, cut JSON, deep nesting, oversized).
std::string flood_datagram(long i) {
  switch (i % 8) {
    case 0:
    case 4:
      return "\x01{\"model\":\"VX-FLOOD\",\"serial_number\":\"F" + std::to_string(i) + "\"}";
    case 1:
      return std::string(1, static_cast<char>(i % 256)) + "{\"model\":\"X\",\"serial_number\":\"J\"}";
    case 2:
      return "\x01{\"model\":\"VX\",\"serial_number\":\"" + std::to_string(i);
    case 3:
      return "\x01" + std::string(600, '[') + std::string(600, ']');
    case 5:
      return i % 64 == 5 ? std::string(65000, '\x01') : "\x01[]";
    case 6:
      return "\x01{\"model\":1,\"serial_number\":\"T\"}";
    default:
      return std::string(1, '\0');
  }
}

struct Flood {
  long sent_valid = 0;
  long listed = 0;
  double longest_stall_ms = 0;
  double peak_mib = 0;
  double rate = 0;
};

// A peer floods the window at about `per_second` datagrams a second for `seconds`.
Flood flood(long per_second, int seconds) {
  Flood result;
  WindowInBed window;
  const QElapsedTimer& clock = window.clock;

  // Two senders, each half the rate: one thread alone cannot reach 200,000 a second here.
  std::atomic<bool> sending{true};
  std::atomic<long> sent{0};
  std::atomic<long> sent_valid{0};
  const auto send_share = [&](long first) {
    testbed::InsideNamespace peer(window.peer());
    const int sock = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(5556);
    inet_pton(AF_INET, "10.77.0.1", &to.sin_addr);
    const auto start = std::chrono::steady_clock::now();
    for (long i = first; sending; i += 2) {
      const std::string datagram = flood_datagram(i);
      sendto(sock, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
      if (i % 8 == 0 || i % 8 == 4) ++sent_valid;
      ++sent;
      const auto due = start + std::chrono::microseconds(i * 1000000 / per_second);
      if (std::chrono::steady_clock::now() < due) std::this_thread::sleep_until(due);
    }
    close(sock);
  };
  std::thread sender_even(send_share, 0);
  std::thread sender_odd(send_share, 1);

  StallMeter stalls(clock);
  const qint64 end = clock.elapsed() + seconds * 1000;
  while (clock.elapsed() < end) QApplication::processEvents();
  sending = false;
  sender_even.join();
  sender_odd.join();
  const qint64 drain_until = clock.elapsed() + 1000;
  while (clock.elapsed() < drain_until) QApplication::processEvents();

  result.listed = static_cast<long>(list.size());
  result.longest_stall_ms = stalls.longest_ms();
  result.peak_mib = static_cast<double>(peak_rss_kib()) / 1024.0;
  result.rate = static_cast<double>(sent) / seconds;
  result.sent_valid = sent_valid;
  return result;
}

struct Views {
  double slowest_keystroke_ms = 0;
  double slowest_sort_ms = 0;
  double bytes_per_device = 0;  // beyond the strings the device's record holds
};

// `devices` lines given to the window in-process (no network): each keystroke of a find, then each
// sort, timed until the view has settled; and the memory the table and the views take per device.
Views views(int devices) {
  Views result;
  MainWindow window([] {}, list);
  attach_list_control(&window);
  window.show();
  QApplication::processEvents();
  const long rss_before = rss_kib();
  std::size_t string_bytes = 0;
  SightingBatch batch;
  for (int i = 0; i < devices; ++i) {
    Sighting s;
    s.host = "10." + std::to_string(i / 65536 % 256) + "." + std::to_string(i / 256 % 256) + "." +
             std::to_string(i % 256);
    s.device = {"VX-" + std::to_string(i % 7), "SN" + std::to_string(1000003LL * i % 9999991), std::nullopt};
    s.line = protocol::device_line(s.host, s.device);
    s.address = static_cast<std::uint32_t>(0x0A000000 + i);
    // What the record's strings hold beyond their own headers (short ones live inside the header).
    for (const std::string* text : {&s.line, &s.host, &s.device.model, &s.device.serial_number})
      string_bytes += text->size() > 15 ? text->capacity() + 1 : 0;
    batch.push_back(std::move(s));
  }
  {
    DiagCapture quiet;
    show_new_device_lines(batch);
  }
  QApplication::processEvents();
  SightingBatch().swap(batch);
  const long rss_after = rss_kib();
  result.bytes_per_device =
      (static_cast<double>(rss_after - rss_before) * 1024.0 - static_cast<double>(string_bytes)) / devices;

  const auto timed = [](const auto& change) {
    QElapsedTimer timer;
    timer.start();
    change();
    QApplication::processEvents();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
  };
  window.openFind();
  for (const char* text : {"S", "SN", "SN1", "SN12", "SN123", "SN12", "SN1", "SN", "S", ""}) {
    result.slowest_keystroke_ms = std::max(
        result.slowest_keystroke_ms, timed([&] { window.findField()->setText(QString::fromLatin1(text)); }));
  }
  window.closeFind();
  for (const SortKey key : {SortKey::address, SortKey::model, SortKey::serial_number, SortKey::arrival}) {
    result.slowest_sort_ms = std::max(result.slowest_sort_ms, timed([&] { window.sortBy(key); }));
  }
  clear_device_lines();
  attach_list_control(nullptr);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (const std::string why = testbed::unavailable_reason(); !why.empty()) {
    std::printf("window bench skipped: %s\n", why.c_str());
    return 0;
  }
  const Views viewed = views(10000);
  std::printf(
      "views of 10000 lines (Qt): slowest find keystroke %.1f ms (goal < 30), slowest sort %.1f ms (goal < "
      "100), %.0f bytes per device beyond its strings (goal < 1024)\n",
      viewed.slowest_keystroke_ms, viewed.slowest_sort_ms, viewed.bytes_per_device);
  const bool views_met =
      viewed.slowest_keystroke_ms < 30 && viewed.slowest_sort_ms < 100 && viewed.bytes_per_device < 1024;
  const double idle = idle_cpu_percent();
  std::printf("idle: %.3f %% of one core over 10 s (goal < 0.5 %%)\n", idle);
  bool met = idle < 0.5;
  for (const int devices : {10000, 100000}) {
    const BigList big = big_list(devices);
    std::printf(
        "big list: %d of %d shown, %.0f ms after the last datagram (goal < 1000), longest event-loop "
        "stall %.0f ms (goal <= 100), %.1f MiB added\n",
        big.shown, devices, big.after_last_ms, big.longest_stall_ms, big.added_mib);
    met = met && big.shown == devices && big.after_last_ms < 1000 && big.longest_stall_ms <= 100;
  }
  const Flood flooded = flood(200000, 10);
  std::printf(
      "flood: %.0f datagrams/s for 10 s, %ld valid sent, %ld listed (cap %zu), longest event-loop stall "
      "%.0f ms, peak memory %.1f MiB\n",
      flooded.rate, flooded.sent_valid, flooded.listed, DeviceTable::kDefaultCapacity,
      flooded.longest_stall_ms, flooded.peak_mib);
  std::printf("window summary: idle %.3f %%, big lists and stalls: %s; views: %s\n", idle,
              met ? "goals met" : "goals NOT met", views_met ? "goals met" : "goals NOT met");
  return 0;
}
