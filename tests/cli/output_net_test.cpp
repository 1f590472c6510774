// What a discovery prints for real devices: the window's lines or JSON objects, each device once, and
// nothing but data on standard output.
#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "discover_bed.h"

namespace {

using clitest::lines;
using namespace std::chrono_literals;

struct SimDevice {
  std::string name;
  std::string model;
  std::string serial;
  std::string boot;  // on, off or none
};

const SimDevice kDevices[] = {
    {"booted", "VX-200", "A-1", "on"},
    {"halted", "VX-100", "B-2", "off"},
    {"silent", "VX 50", "C 3", "none"},
};

class Output : public clitest::DiscoverBed {
 protected:
  // One device per kDevices entry on segment 0; their addresses, in the same order.
  std::vector<std::string> add_all() {
    std::vector<std::string> addresses;
    for (const SimDevice& d : kDevices) {
      const std::vector<std::string> got =
          add_device(d.name, "0", {"--model", d.model, "--serial", d.serial, "--boot-state", d.boot});
      addresses.push_back(got.empty() ? "" : got.front());
    }
    return addresses;
  }
};

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST_F(Output, TextLinesAsTheWindowShowsThemAndLogLinesOnlyOnStandardError) {
  build(1);
  const std::vector<std::string> addresses = add_all();
  std::vector<std::string> expected;
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    const SimDevice& d = kDevices[i];
    expected.push_back(testbed::device_line(addresses[i], d.model, d.serial, d.boot));
  }

  const clitest::Outcome run = discover({"--timeout", "1.5", "-v"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(sorted(lines(run.out)), sorted(expected));
  for (const std::string& line : lines(run.out)) EXPECT_TRUE(clitest::looks_like_device_line(line)) << line;
  for (const std::string& line : expected) {
    EXPECT_NE(run.err.find(" bytes from " + line + ": \\x01{"), std::string::npos) << line << "\n" << run.err;
  }
  EXPECT_NE(run.err.find("Binding to [0.0.0.0]:5556"), std::string::npos) << "-v shows the socket steps";
  // The buffer the system granted (doubled, at least its default), and the losses at the end, as counts.
  int granted = 0;
  const std::size_t at = run.err.find("Receive buffer: ");
  ASSERT_NE(at, std::string::npos) << run.err;
  EXPECT_EQ(std::sscanf(run.err.c_str() + at, "Receive buffer: %d bytes", &granted), 1);
  EXPECT_GE(granted, 212992);
  EXPECT_NE(
      run.err.find("replies lost: 0 longer than 2048 bytes, 0 while decoding lagged behind, 0 dropped by "
                   "the system with the receive queue full\n"),
      std::string::npos)
      << run.err;
}

TEST_F(Output, JsonObjectPerDeviceWithBootStateTrueFalseOrNull) {
  build(1);
  const std::vector<std::string> addresses = add_all();
  std::vector<nlohmann::json> expected;
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    const SimDevice& d = kDevices[i];
    const nlohmann::json boot = d.boot == "none" ? nlohmann::json(nullptr) : nlohmann::json(d.boot == "on");
    expected.push_back({{"address", addresses[i]},
                        {"model", d.model},
                        {"serial_number", d.serial},
                        {"boot_state", boot},
                        {"interface", {{"name", "eth0"}, {"address", "10.77.0.1"}}},
                        {"problems", nlohmann::json::array()}});
  }

  const clitest::Outcome run = discover({"--json", "--timeout", "1.5", "-v"});
  EXPECT_EQ(run.code, 0) << run.err;
  std::vector<nlohmann::json> got;
  for (const std::string& line : lines(run.out)) {
    const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
    ASSERT_TRUE(object.is_object()) << "not a JSON object on standard output: " << line;
    got.push_back(object);
  }
  std::sort(got.begin(), got.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected);
  EXPECT_EQ(run.out.rfind("{\"address\":", 0), 0u) << "members keep their order: " << run.out;
}

TEST_F(Output, SilentWithoutVerbose) {
  build(1);
  add_device("dev", "0", {"--model", "VX", "--serial", "S"});
  const clitest::Outcome run = discover({"--timeout", "1"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err, "");
}

TEST_F(Output, EachDeviceLineOnceHoweverOftenItArrives) {
  const std::vector<std::string> sim = {"--model", "VX", "--serial", "DUP", "--boot-state", "none"};
  struct Case {
    const char* what;
    std::string segments;
    std::vector<std::string> extra_args;
    bool twin;          // a second, identical simulator behind the same address
    std::size_t lines;  // one per address the device answers from
  };
  const Case cases[] = {
      {"two simulators behind one address", "0", {}, true, 1},
      {"announcing besides answering", "0", {"--announce-every", "100"}, false, 1},
      {"one device on two segments: two addresses, two lines", "0,1", {}, false, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    build(2);
    std::vector<std::string> args = sim;
    args.insert(args.end(), c.extra_args.begin(), c.extra_args.end());
    const std::vector<std::string> addresses = add_device("dup", c.segments, args);
    ASSERT_EQ(addresses.size(), c.lines);
    if (c.twin) {
      ASSERT_TRUE(add_simulator("twin", "dup", args));
    }

    const clitest::Outcome run = discover({"--timeout", "1.5", "-v"});
    EXPECT_EQ(run.code, 0) << run.err;
    std::vector<std::string> expected;
    for (const std::string& address : addresses) {
      expected.push_back(testbed::device_line(address, "VX", "DUP", "none"));
    }
    EXPECT_EQ(sorted(lines(run.out)), sorted(expected)) << run.err;
    stop_devices();
    bed_.reset();
  }
}

TEST_F(Output, ControlBytesEscapedOnATerminalAndPassedThroughAPipe) {
  build(1);
  add_device("dev", "0", {"--model", "VX\x1b[2J", "--serial", "S\x07", "--boot-state", "none"});
  const clitest::Outcome piped = discover({"--timeout", "1"});
  EXPECT_NE(piped.out.find("Model: VX\x1b[2J, Serial Number: S\x07\n"), std::string::npos) << piped.out;

  // script(1) gives the tool a terminal as standard output.
  if (testbed::run_shell("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "needs script(1)";
  const std::string command =
      "ip netns exec " + bed_->ns("tool") + " " + testbed::bin("vantrel-discover") + " --timeout 1";
  testbed::ChildProcess tty({"script", "-q", "-e", "-c", command, "/dev/null"});
  EXPECT_EQ(tty.wait(20s), 0) << tty.err();
  EXPECT_NE(tty.out().find("Model: VX\\x1B[2J, Serial Number: S\\x07"), std::string::npos) << tty.out();
  EXPECT_EQ(tty.out().find('\x1b'), std::string::npos);
}

}  // namespace
