// vantrel-discovery.exe, the Windows window, under Wine against simulated devices in a namespace bed.
// window_driver.exe finds it by its title and drives it through the Win32 API (placement, layout, the
// devices listed, Ctrl+C, Ctrl+A, the right-click menu, Refresh, F5, close); this side checks the driver's
// verdict, the lines it read from the list, the window's diagnostics and the icon on its X window. The
// driver also holds the clipboard while the window copies: briefly (the copy must land) and for good (the
// window must say in a message box that it gave up). With a find it also checks the list as a view
// (find, sort, the problem marks) and the files saved through the save dialog. Needs root, Wine, Xvfb and the
// Windows build's programs; skips with the reason otherwise.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "netbed.h"
#include "simulator_bed.h"
#include "vantrel/product.h"

namespace {

using namespace std::chrono_literals;
using testbed::device_line;
using testbed::lines;

const std::string kWindowsBin = VANTREL_WINDOWS_BIN_DIR;
const std::string kWineRun = std::string(VANTREL_SOURCE_DIR) + "/tests/windows/wine-run.sh";
constexpr auto kWineRunTime = 240s;  // a first run also makes the Wine prefix template

// Wine's drive Z: is the Unix root.
std::string windows_path(const std::string& unix_path) {
  std::string path = "Z:" + unix_path;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

bool have_program(const std::string& name) {
  return testbed::run_shell("command -v " + name + " >/dev/null 2>&1") == 0;
}

// Empty when everything the test needs is here; otherwise what is missing.
std::string missing_pieces() {
  if (::access("/usr/lib/wine/wine64", X_OK) != 0) return "needs Wine (/usr/lib/wine/wine64)";
  if (!have_program("Xvfb")) return "needs Xvfb";
  for (const char* exe : {"vantrel-discovery.exe", "window_driver.exe"}) {
    if (::access((kWindowsBin + "/" + exe).c_str(), R_OK) != 0) {
      return std::string("no ") + exe + " in " + kWindowsBin + ": build the windows preset first";
    }
  }
  return {};
}

// A virtual X screen of 2400x1200 (the window takes a quarter, 600x300) on a display number Xvfb picks
// itself, so that tests running side by side never collide.
class VirtualScreen {
 public:
  VirtualScreen() : server_({"Xvfb", "-displayfd", "1", "-screen", "0", "2400x1200x24", "-nolisten", "tcp"}) {
    if (server_.wait_for("\n", 10s)) display_ = ":" + lines(server_.out()).front();
  }
  ~VirtualScreen() {
    server_.signal(SIGTERM);  // lets it remove its lock file and socket
    server_.wait(5s);
  }
  VirtualScreen(const VirtualScreen&) = delete;
  VirtualScreen& operator=(const VirtualScreen&) = delete;

  bool ok() const { return !display_.empty(); }
  const std::string& display() const { return display_; }

  // True once the window titled `title` shows an icon on this screen (_NET_WM_ICON, set from the window
  // class's icon).
  bool window_has_icon(const std::string& title) const {
    const std::string probe =
        "xprop -display " + display_ + " -name '" + title + "' _NET_WM_ICON 2>/dev/null";
    return testbed::shell_output(probe + " | head -c 200").find("Icon (") != std::string::npos;
  }

 private:
  testbed::ChildProcess server_;
  std::string display_;
};

struct DriverRun {
  int exit_code = -1;
  std::string out;  // the lines read from the list
  std::string err;  // the driver's steps and verdict
  std::string tool_out;
  std::string tool_err;
  bool icon_seen = false;
};

class WineWindow : public testbed::SimulatorBed {
 protected:
  void SetUp() override {
    SimulatorBed::SetUp();
    if (stopped()) return;
    if (const std::string why = missing_pieces(); !why.empty()) GTEST_SKIP() << why;
    build(2);
    if (stopped()) return;
    screen_ = std::make_unique<VirtualScreen>();
    ASSERT_TRUE(screen_->ok()) << "Xvfb did not start";
    ASSERT_TRUE(display_answers_in_tool_namespace()) << x_server_state();
    std::string dir = (std::filesystem::temp_directory_path() / "vantrel-wine-window.XXXXXX").string();
    ASSERT_NE(::mkdtemp(dir.data()), nullptr);
    dir_ = dir;
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  // Wine reaches the X server from the tool namespace by the socket file alone (the abstract socket
  // is the root namespace's). Readiness: an X client there gets an answer, within 10 s.
  bool display_answers_in_tool_namespace() const {
    for (int attempt = 0; attempt < 100; ++attempt) {
      testbed::ChildProcess probe(bed_->in("tool", {"xdpyinfo", "-display", screen_->display()}));
      if (probe.wait(5s) == 0) return true;
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }

  // For a failure message: can X clients reach the display, and is its socket file there.
  std::string x_server_state() const {
    const std::vector<std::string> probe = {"xdpyinfo", "-display", screen_->display()};
    const auto verdict = [](const std::vector<std::string>& argv) {
      std::string command;
      for (const std::string& word : argv) command += word + " ";
      return testbed::shell_output(command + ">/dev/null 2>&1 && echo answers || echo is silent");
    };
    return "X display " + screen_->display() + " from the tool namespace " +
           verdict(bed_->in("tool", probe)) + "; from the root namespace " + verdict(probe) +
           "; socket file: " + testbed::shell_output("ls -l /tmp/.X11-unix/X" + screen_->display().substr(1) + " 2>&1");
  }

  // The driver against the window under Wine in the tool namespace, expecting `devices` listed and the
  // status line to come to hold `status` (ASCII: the driver's arguments pass a C locale); `more`: the
  // driver's further options.
  DriverRun drive(std::size_t devices, const std::string& status, const std::vector<std::string>& more = {}) {
    const std::string tool_out = dir_ + "/tool.out";
    const std::string tool_err = dir_ + "/tool.err";
    // LC_ALL=C: Wine's ANSI code page follows the Unix locale; a single-byte one, as on a Western
    // Windows, makes a conversion that is not from UTF-8 show in the lines.
    std::vector<std::string> command = {"env",
                                        "DISPLAY=" + screen_->display(),
                                        "LC_ALL=C",
                                        kWineRun,
                                        "--here",
                                        kWindowsBin + "/window_driver.exe",
                                        windows_path(kWindowsBin + "/vantrel-discovery.exe"),
                                        std::to_string(devices),
                                        "--tool-stdout",
                                        windows_path(tool_out),
                                        "--tool-stderr",
                                        windows_path(tool_err),
                                        "--status",
                                        status};
    command.insert(command.end(), more.begin(), more.end());
    testbed::ChildProcess driver(bed_->in("tool", command));
    DriverRun run;
    const bool look_for_icon = have_program("xprop");
    const auto deadline = std::chrono::steady_clock::now() + kWineRunTime;
    while (driver.running() && std::chrono::steady_clock::now() < deadline) {
      if (look_for_icon && !run.icon_seen) run.icon_seen = screen_->window_has_icon(VANTREL_WINDOW_TITLE);
      std::this_thread::sleep_for(100ms);
    }
    if (!look_for_icon)
      std::printf("note: xprop (x11-utils) is not installed; the window icon is not checked\n");
    run.icon_seen = run.icon_seen || !look_for_icon;
    run.exit_code = driver.wait(1s);
    run.out = driver.out();
    run.err = driver.err();
    run.tool_out = slurp(tool_out);
    run.tool_err = slurp(tool_err);
    return run;
  }

  static std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // Every check on a run that should have listed exactly `wanted`, in any order.
  static void expect_listed(const DriverRun& run, std::vector<std::string> wanted) {
    EXPECT_EQ(run.exit_code, 0) << "driver:\n" << run.err << "\nwindow's stderr:\n" << run.tool_err;
    EXPECT_NE(run.err.find("window_driver: PASS"), std::string::npos) << run.err;
    std::vector<std::string> shown = lines(run.out);
    std::sort(shown.begin(), shown.end());
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(shown, wanted);
    for (const std::string& line : wanted) {
      EXPECT_NE(run.tool_out.find(" bytes from " + line + ": "), std::string::npos)
          << "no read line for " << line << " in the window's stdout:\n"
          << run.tool_out.substr(0, 4000);
    }
    // The driver holds the clipboard until the window gives up one copy (ERROR_ACCESS_DENIED), once per
    // run; nothing else. The C runtime writes text mode: CRLF.
    EXPECT_EQ(run.tool_err, "Copy: clipboard not written: error 5\r\n");
    EXPECT_TRUE(run.icon_seen) << "the window showed no icon on its X window";
  }

  // The driver's timing steps ("sort by address of 3 lines: 0.4 ms"), for the test's output.
  static void print_timings(const DriverRun& run) {
    for (const std::string& line : lines(run.err)) {
      if (line.find(" ms") != std::string::npos &&
          (line.find("re-filter") != std::string::npos || line.find("sort by") != std::string::npos))
        std::printf("%s\n", line.c_str());
    }
  }

  std::unique_ptr<VirtualScreen> screen_;
  std::string dir_;
};

// A shell command's output, checked to have run.
std::string output_of(const std::string& command) {
  return testbed::shell_output(command + " 2>&1");
}

// The numeric order of dotted addresses.
bool before_by_address(const std::string& a, const std::string& b) {
  in_addr x{};
  in_addr y{};
  ::inet_pton(AF_INET, a.c_str(), &x);
  ::inet_pton(AF_INET, b.c_str(), &y);
  return ntohl(x.s_addr) < ntohl(y.s_addr);
}

// Devices on both segments: one answering late (so that Refresh's empty list can be seen), one answering
// to the group, models and serials beyond ASCII (the list shows UTF-8 converted to UTF-16 and back).
TEST_F(WineWindow, ListsDevicesOfBothSegmentsCopiesRefreshesAndClosesWithZero) {
  const auto press =
      add_device("press", "0", {"--model", "VX-100", "--serial", "A1B2C3", "--boot-state", "on"});
  const auto camera = add_device(
      "camera", "0",
      {"--model", "VX-220 Camera", "--serial", "CAM-0042", "--boot-state", "off", "--delay-ms", "300"});
  const auto sensor = add_device(
      "sensor", "1",
      {"--model", "Capteur café", "--serial", "日本-7", "--boot-state", "none", "--reply-to", "group"});
  ASSERT_FALSE(HasFailure());

  const DriverRun run = drive(3, "Probed 2 interfaces at ",
                              {"--find", "cam-0042", "--found", "1", "--save", windows_path(dir_)});
  expect_listed(run, {device_line(press[0], "VX-100", "A1B2C3", "on"),
                      device_line(camera[0], "VX-220 Camera", "CAM-0042", "off"),
                      device_line(sensor[0], "Capteur café", "日本-7", "none")});
  print_timings(run);
  EXPECT_NE(run.err.find("window_driver: status line: 1 of 3 devices"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("window_driver: Esc closed the find"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("window_driver: marks "), std::string::npos) << "nothing here has a problem";

  // Saved while sorted by address: every device, as JSON, in address order.
  std::vector<std::string> by_address = {press[0], camera[0], sensor[0]};
  std::stable_sort(by_address.begin(), by_address.end(), before_by_address);
  std::string addresses;
  for (const std::string& address : by_address) addresses += address + "\n";
  EXPECT_EQ(output_of("jq -r '.[].address' " + dir_ + "/list.json"), addresses);
  EXPECT_EQ(output_of("jq -r '.[].serial_number' " + dir_ + "/list.json | sort"),
            "A1B2C3\nCAM-0042\n日本-7\n");
  // Saved while the find was open: the one line it showed, as RFC 4180 CSV.
  EXPECT_EQ(output_of("python3 -c 'import csv, sys\n"
                      "rows = list(csv.DictReader(open(sys.argv[1], newline=\"\", encoding=\"utf-8\")))\n"
                      "for row in rows: print(row[\"address\"], row[\"model\"], row[\"serial_number\"])' " +
                      dir_ + "/list.csv"),
            camera[0] + " VX-220 Camera CAM-0042\n");
  // Named without an extension: the dialog's first type, plain lines (after a Refresh: in any order).
  std::vector<std::string> saved = lines(slurp(dir_ + "/list.txt"));
  std::vector<std::string> shown = lines(run.out);
  std::sort(saved.begin(), saved.end());
  std::sort(shown.begin(), shown.end());
  EXPECT_EQ(saved, shown);
  // Whether the empty list is caught between the press and the first answer depends on timing; the
  // driver proves the emptying by the old lines' selection instead.
  EXPECT_NE(run.err.find("Refresh button: emptied"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("F5: emptied"), std::string::npos) << run.err;
}

// More replies than the window lists in one pass: it must come back for the rest until all are shown.
TEST_F(WineWindow, BurstOfFiveThousandIsListedWhole) {
  constexpr int kDevices = 5000;
  const auto burst = add_device("burst", "0", {"--count", std::to_string(kDevices), "--serial", "B"});
  ASSERT_FALSE(HasFailure());

  std::vector<std::string> wanted;
  for (int i = 1; i <= kDevices; ++i) {
    const std::string number = std::to_string(i);
    wanted.push_back(device_line(burst[0], "VX-100", "B-" + std::string(5 - number.size(), '0') + number));
  }
  const DriverRun run = drive(kDevices, "Probed 2 interfaces at ");
  expect_listed(run, wanted);
  EXPECT_NE(run.err.find("window_driver: status line: 5,000 devices"), std::string::npos) << run.err;
}

// A big list as a view: a find narrows 10,000 lines to one and a sort orders them; the driver says how
// long each took under Wine. (Copying a big list is the 5,000 burst's.) The simulator answers every
// serial number from one address: every line is marked as an address conflict.
TEST_F(WineWindow, TenThousandAreFoundAndSorted) {
  constexpr int kDevices = 10000;
  const auto burst = add_device("burst", "0", {"--count", std::to_string(kDevices), "--serial", "B"});
  ASSERT_FALSE(HasFailure());

  const DriverRun run =
      drive(kDevices, "Probed 2 interfaces at ", {"--find", "B-04242", "--found", "1", "--only", "views"});
  EXPECT_EQ(run.exit_code, 0) << "driver:\n"
                              << run.err.substr(run.err.size() - std::min<std::size_t>(run.err.size(), 4000))
                              << "\nwindow's stderr:\n"
                              << run.tool_err;
  EXPECT_NE(run.err.find("window_driver: status line: 1 of 10,000 devices"), std::string::npos)
      << run.err.substr(0, 4000);
  std::size_t conflicts = 0;
  for (const std::string& line : lines(run.err)) {
    if (line.rfind("window_driver: marks 2 ", 0) == 0) ++conflicts;
  }
  EXPECT_EQ(conflicts, static_cast<std::size_t>(kDevices));
  print_timings(run);
}

// Devices a technician must deal with: one left at another site's address and two on one address. Their
// lines carry the marks (both of the pair), the others none.
TEST_F(WineWindow, MarksTheStrayDeviceAndBothOfAnAddressConflict) {
  const std::string good = add_problem_devices();
  ASSERT_FALSE(HasFailure());

  const DriverRun run = drive(4, "Probed 2 interfaces at ", {"--find", "twin", "--found", "2"});
  const std::string stray = device_line("192.168.1.50", "VX", "STRAY", "none");
  const std::string twin_a = device_line("10.77.0.50", "VX", "TWIN-A", "none");
  const std::string twin_b = device_line("10.77.0.50", "VX", "TWIN-B", "none");
  expect_listed(run, {stray, twin_a, twin_b, device_line(good, "VX", "GOOD", "none")});
  std::vector<std::string> marks;
  for (const std::string& line : lines(run.err))
    if (line.rfind("window_driver: marks ", 0) == 0) marks.push_back(line.substr(21, line.find('\r') - 21));
  std::sort(marks.begin(), marks.end());
  EXPECT_EQ(marks, (std::vector<std::string>{"1 " + stray, "2 " + twin_a, "2 " + twin_b})) << run.err;
  EXPECT_NE(run.err.find("window_driver: status line: 2 of 4 devices"), std::string::npos) << run.err;
}

// The status line read through the driver, in the situations it exists for.
TEST_F(WineWindow, StatusLineSaysWhatIsWrong) {
  struct Case {
    const char* what;
    std::string status;
  };
  const Case cases[] = {
      {"silent network",
       "No device has answered. Check that the devices are powered and on this network, and that Windows "
       "Defender Firewall lets UDP port 5556 in."},
      {"port held without sharing", "Discovery could not start: Cannot bind UDP port 5556 ("},
      {"another discoverer beside the window",
       "Another program is using UDP port 5556; devices' answers may reach it instead of this window."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<testbed::ChildProcess> beside;
    int holder = -1;
    if (c.what == cases[1].what) {
      testbed::InsideNamespace inside(bed_->ns("tool"));
      ASSERT_TRUE(inside.ok());
      holder = testbed::hold_port_without_sharing(5556);
      ASSERT_GE(holder, 0);
    }
    if (c.what == cases[2].what) {
      beside = std::make_unique<testbed::ChildProcess>(
          bed_->in("tool", {testbed::bin("vantrel-discover"), "--watch", "--interval", "60", "-v"}));
      ASSERT_TRUE(beside->wait_for("Set sending interface to", 10s, true)) << beside->err();
    }
    const DriverRun run = drive(0, c.status);
    if (holder >= 0) ::close(holder);
    EXPECT_EQ(run.exit_code, 0) << "driver:\n" << run.err << "\nwindow's stderr:\n" << run.tool_err;
    EXPECT_NE(run.err.find("window_driver: status line: No devices yet"), std::string::npos) << run.err;
  }
}

// Without an X display Wine cannot make the window: one line saying so, exit code 1, and no listener
// started (nothing on standard output).
TEST(WineWindowStart, WithoutADisplaySaysSoAndExitsOne) {
  if (const std::string why = testbed::unavailable_reason() + missing_pieces(); !why.empty())
    GTEST_SKIP() << why;
  testbed::ChildProcess tool(
      {"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", kWineRun, kWindowsBin + "/vantrel-discovery.exe"});
  EXPECT_EQ(tool.wait(kWineRunTime), 1) << tool.err();
  EXPECT_EQ(tool.err().rfind("vantrel-discovery: cannot create the window", 0), 0u) << tool.err();
  EXPECT_EQ(tool.out(), "");
}

}  // namespace
