// Simulated devices in namespaces of their own, found by vantrel-discover in the tool's namespace.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>

#include "child_process.h"
#include "netbed.h"

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

Lines sorted_lines(const std::string& text) {
  Lines lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string line(const std::string& address, const std::string& model, const std::string& serial,
                 const std::string& boot = "") {
  return address + ", Model: " + model + ", Serial Number: " + serial + boot;
}

class SimulatedDevices : public testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = testbed::unavailable_reason(); !why.empty()) GTEST_SKIP() << why;
  }

  void make_bed(int segments) {
    bed_ = std::make_unique<testbed::NetBed>(segments);
    ASSERT_TRUE(bed_->ok());
  }

  // A device namespace on `segments` with a simulator started in it; waits until it listens.
  std::string start(const std::string& name, const std::string& segments, Lines options) {
    const Lines addresses = bed_->add_device(name, segments);
    EXPECT_FALSE(addresses.empty());
    run_in(name, std::move(options));
    return addresses.empty() ? "" : addresses[0];
  }

  void run_in(const std::string& name, Lines options) {
    options.insert(options.begin(), testbed::bin("vantrel-device-sim"));
    sims_.push_back(std::make_unique<testbed::ChildProcess>(bed_->in(name, options)));
    EXPECT_TRUE(sims_.back()->wait_for("ready", 10s, true)) << sims_.back()->err();
  }

  // Discovery from the tool's namespace: its standard output, sorted.
  Lines discover(const std::string& timeout = "1.5") {
    testbed::ChildProcess tool(bed_->in("tool", {testbed::bin("vantrel-discover"), "--timeout", timeout}));
    EXPECT_EQ(tool.wait(30s), 0) << tool.err();
    return sorted_lines(tool.out());
  }

  std::unique_ptr<testbed::NetBed> bed_;
  std::vector<std::unique_ptr<testbed::ChildProcess>> sims_;
};

TEST_F(SimulatedDevices, TwoSegmentsWithTwoDevicesEachAreAllFound) {
  make_bed(2);
  const std::string a0 = start("a0", "0", {"--serial", "A0"});
  const std::string b0 = start("b0", "0", {"--serial", "B0"});
  const std::string a1 = start("a1", "1", {"--serial", "A1"});
  const std::string b1 = start("b1", "1", {"--serial", "B1"});
  Lines expected = {
      line(a0, "VX-100", "A0", ", Boot State:  ON"), line(b0, "VX-100", "B0", ", Boot State:  ON"),
      line(a1, "VX-100", "A1", ", Boot State:  ON"), line(b1, "VX-100", "B1", ", Boot State:  ON")};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(discover(), expected);
}

TEST_F(SimulatedDevices, DeviceOnBothSegmentsIsListedOncePerDistinctLine) {
  make_bed(2);
  const Lines addresses = bed_->add_device("dual", "0,1");
  ASSERT_EQ(addresses.size(), 2u);
  // Two simulators in one namespace: every reply arrives twice, through each segment.
  run_in("dual", {"--serial", "DUAL", "--boot-state", "none"});
  run_in("dual", {"--serial", "DUAL", "--boot-state", "none"});
  EXPECT_EQ(discover(), (Lines{line(addresses[0], "VX-100", "DUAL"), line(addresses[1], "VX-100", "DUAL")}));
}

TEST_F(SimulatedDevices, RepliesToTheGroupAndToTheSourceAreBothFound) {
  make_bed(1);
  const std::string group = start("group", "0", {"--serial", "G", "--reply-to", "group"});
  const std::string source = start("source", "0", {"--serial", "S", "--reply-to", "source"});
  Lines expected = {line(group, "VX-100", "G", ", Boot State:  ON"),
                    line(source, "VX-100", "S", ", Boot State:  ON")};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(discover(), expected);
}

TEST_F(SimulatedDevices, MalformedRepliesDoNotHideGoodOnes) {
  make_bed(1);
  const std::string oversized = "/tmp/vantrel-oversized-" + std::to_string(getpid());
  std::ofstream(oversized) << "{\"model\":\"BIG\",\"serial_number\":\"" << std::string(3000, 'x') << "\"}";
  start("cut", "0", {"--payload", "{\"model\":"});
  start("bare", "0", {"--no-marker", "--payload", "{\"model\":\"M\",\"serial_number\":\"BARE\"}"});
  start("big", "0", {"--payload-file", oversized});
  start("ctrl", "0", {"--payload", std::string("{\"model\":\"\\u001b[31mRED\",\"serial_number\":\"\xff\"}")});
  const std::string good = start("good", "0", {"--serial", "GOOD", "--boot-state", "off"});
  EXPECT_EQ(discover(), Lines{line(good, "VX-100", "GOOD", ", Boot State:  OFF")});
  ::unlink(oversized.c_str());
}

TEST_F(SimulatedDevices, BurstAndBootStatesGiveTheRightLines) {
  make_bed(1);
  const std::string burst = start("burst", "0", {"--model", "VX-B", "--serial", "B", "--count", "200"});
  const std::string on = start("on", "0", {"--serial", "ON", "--boot-state", "on"});
  const std::string off = start("off", "0", {"--serial", "OFF", "--boot-state", "off"});
  const std::string none = start("none", "0", {"--serial", "NONE", "--boot-state", "none"});
  const Lines found = discover("2");
  const auto count_of = [&](const std::string& needle) {
    return std::count_if(found.begin(), found.end(),
                         [&](const std::string& l) { return l.find(needle) != std::string::npos; });
  };
  EXPECT_EQ(count_of(burst + ", Model: VX-B, Serial Number: B-"), 200);
  EXPECT_EQ(count_of(line(burst, "VX-B", "B-00200", ", Boot State:  ON")), 1);
  EXPECT_EQ(count_of(line(on, "VX-100", "ON", ", Boot State:  ON")), 1);
  EXPECT_EQ(count_of(line(off, "VX-100", "OFF", ", Boot State:  OFF")), 1);
  EXPECT_NE(std::find(found.begin(), found.end(), line(none, "VX-100", "NONE")), found.end());
  EXPECT_EQ(found.size(), 203u);
}

TEST_F(SimulatedDevices, SimulatorSaysWhyAndExitsTwoWhenThePortIsHeld) {
  make_bed(1);
  ASSERT_FALSE(bed_->add_device("held", "0").empty());
  // A plain socket bound to the port without address reuse, in the same namespace.
  int holder = -1;
  {
    testbed::InsideNamespace inside(bed_->ns("held"));
    ASSERT_TRUE(inside.ok());
    holder = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(5556);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
  }
  testbed::ChildProcess sim(bed_->in("held", {testbed::bin("vantrel-device-sim")}));
  EXPECT_EQ(sim.wait(10s), 2);
  EXPECT_EQ(sim.err(), "vantrel-device-sim: cannot bind UDP port 5556: Address already in use\n");
  close(holder);
}

}  // namespace
