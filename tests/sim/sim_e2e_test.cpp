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
#include "simulator_bed.h"

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

Lines sorted(Lines lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string line(const std::string& address, const std::string& model, const std::string& serial,
                 const std::string& boot = "") {
  return address + ", Model: " + model + ", Serial Number: " + serial + boot;
}

class SimulatedDevices : public testbed::SimulatorBed {
 protected:
  // A device namespace of its own with a simulator in it: the device's first address.
  std::string start(const std::string& name, const std::string& segments, const Lines& options) {
    const Lines addresses = add_device(name, segments, options);
    return addresses.empty() ? "" : addresses[0];
  }

  // Discovery from the tool's namespace: its standard output, sorted.
  Lines discover(const std::string& timeout = "1.5") {
    testbed::ChildProcess tool(bed_->in("tool", {testbed::bin("vantrel-discover"), "--timeout", timeout}));
    EXPECT_EQ(tool.wait(30s), 0) << tool.err();
    return sorted(testbed::lines(tool.out()));
  }
};

TEST_F(SimulatedDevices, TwoSegmentsWithTwoDevicesEachAreAllFound) {
  build(2);
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
  build(2);
  const Lines addresses = bed_->add_device("dual", "0,1");
  ASSERT_EQ(addresses.size(), 2u);
  // Two simulators in one namespace: every reply arrives twice, through each segment.
  start_sim("dual", {"--serial", "DUAL", "--boot-state", "none"});
  start_sim("dual", {"--serial", "DUAL", "--boot-state", "none"});
  EXPECT_EQ(discover(), (Lines{line(addresses[0], "VX-100", "DUAL"), line(addresses[1], "VX-100", "DUAL")}));
}

TEST_F(SimulatedDevices, RepliesToTheGroupAndToTheSourceAreBothFound) {
  build(1);
  const std::string group = start("group", "0", {"--serial", "G", "--reply-to", "group"});
  const std::string source = start("source", "0", {"--serial", "S", "--reply-to", "source"});
  Lines expected = {line(group, "VX-100", "G", ", Boot State:  ON"),
                    line(source, "VX-100", "S", ", Boot State:  ON")};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(discover(), expected);
}

TEST_F(SimulatedDevices, MalformedRepliesDoNotHideGoodOnes) {
  build(1);
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
  build(1);
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
  build(1);
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
