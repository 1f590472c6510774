// Whole discoveries against simulated devices: the core's probe-and-listen finds every device the
// simulator plays, once per distinct line, whichever way it answers, and bad replies hide no good one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "sim_bed.h"

namespace simtest {
namespace {

using testing::UnorderedElementsAreArray;

class SimDiscovery : public SimBed {};

TEST_F(SimDiscovery, FindsTwoDevicesOnEachOfTwoSegments) {
  build(2);
  std::vector<std::string> expected;
  for (const std::string segment : {"0", "1"}) {
    for (const std::string name : {"a", "b"}) {
      const std::string serial = "SEG" + segment + name;
      const auto addresses = add_device("d" + segment + name, segment, {"--serial", serial});
      ASSERT_EQ(addresses.size(), 1u);
      expected.push_back(device_line(addresses[0], "VX-100", serial));
    }
  }
  const ProbeResult found = probe({.expect = 4});
  ASSERT_TRUE(found.opened) << found.diagnostics;
  EXPECT_THAT(found.lines, UnorderedElementsAreArray(expected));
}

// A device with an interface on each segment hears one probe per interface, and answers each with the
// address of that interface: two lines. A second probe round brings each reply again, which lists nothing.
class DeviceOnBothSegments : public SimBed, public testing::WithParamInterface<std::string> {};

TEST_P(DeviceOnBothSegments, IsListedOncePerAddress) {
  build(2);
  const auto addresses = add_device("both", "0,1", {"--serial", "TWO", "--reply-to", GetParam()});
  ASSERT_EQ(addresses.size(), 2u);
  const ProbeResult found = probe({.rounds = 2, .expect = 2});
  ASSERT_TRUE(found.opened) << found.diagnostics;
  EXPECT_THAT(found.lines, UnorderedElementsAreArray({device_line(addresses[0], "VX-100", "TWO"),
                                                      device_line(addresses[1], "VX-100", "TWO")}));
  EXPECT_EQ(found.replies, 4u) << "two rounds through two interfaces";
}

INSTANTIATE_TEST_SUITE_P(ReplyTo, DeviceOnBothSegments, testing::Values("source", "group"),
                         [](const testing::TestParamInfo<std::string>& param) { return param.param; });

// Devices answering to the source, to the group, and announcing unprompted, side by side: listening alone
// finds the announcers only; a probe then finds all of them.
TEST_F(SimDiscovery, FindsDevicesAnsweringToSourceToGroupAndAnnouncing) {
  build(1);
  struct Device {
    std::string name;
    std::vector<std::string> args;
    bool announces;
  };
  const std::vector<Device> devices = {
      {"src", {"--reply-to", "source"}, false},
      {"grp", {"--reply-to", "group"}, false},
      {"ann", {"--announce-every", "100"}, true},
      {"anngrp", {"--reply-to", "group", "--announce-every", "100"}, true},
  };
  std::vector<std::string> announced;
  std::vector<std::string> all;
  for (const Device& device : devices) {
    std::vector<std::string> args = {"--serial", device.name};
    args.insert(args.end(), device.args.begin(), device.args.end());
    const auto addresses = add_device(device.name, "0", args);
    ASSERT_EQ(addresses.size(), 1u);
    all.push_back(device_line(addresses[0], "VX-100", device.name));
    if (device.announces) announced.push_back(all.back());
  }

  const ProbeResult unprobed =
      probe({.rounds = 0, .expect = announced.size(), .listen = std::chrono::seconds(1)});
  ASSERT_TRUE(unprobed.opened) << unprobed.diagnostics;
  EXPECT_THAT(unprobed.lines, UnorderedElementsAreArray(announced));

  const ProbeResult probed = probe({.expect = all.size()});
  EXPECT_THAT(probed.lines, UnorderedElementsAreArray(all));
}

// Replies the core must reject, each from a simulator of its own in one namespace, beside two good devices.
TEST_F(SimDiscovery, MalformedRepliesDoNotHideGoodOnes) {
  build(1);
  // A well-formed reply too long for the receive buffer: the largest datagram there is.
  const std::string huge_path = testing::TempDir() + "vantrel-sim-huge-reply-" + std::to_string(::getpid());
  {
    std::string huge = R"({"model":"HUGE","serial_number":"H1","pad":")";
    huge += std::string(65506 - huge.size() - 2, 'x') + "\"}";
    std::ofstream(huge_path, std::ios::binary) << huge;
  }
  const std::vector<std::vector<std::string>> bad_replies = {
      {"--payload", R"({"model":)"},
      {"--no-marker"},
      {"--payload", R"(["VX-100","SIM0001"])"},
      {"--payload", R"({"model":"VX-100"})"},
      {"--payload", R"({"model":"VX-100","serial_number":7})"},
      {"--payload", "{\"model\":\"VX\xff\",\"serial_number\":\"BAD-UTF8\"}"},
      {"--payload", "{\"model\":\"VX\x07\",\"serial_number\":\"RAW-BEL\"}"},
      {"--payload", ""},
      {"--payload-file", huge_path},
  };
  const auto good1 = add_device("good1", "0", {"--serial", "GOOD1"});
  ASSERT_EQ(good1.size(), 1u);
  const auto bad = add_namespace("bad", "0");
  ASSERT_EQ(bad.size(), 1u);
  std::vector<testbed::ChildProcess*> bad_sims;
  for (const auto& args : bad_replies) {
    std::vector<std::string> verbose = args;
    verbose.push_back("-v");
    bad_sims.push_back(&start_sim("bad", verbose));
  }
  const auto good2 = add_device("good2", "0", {"--serial", "GOOD2", "--boot-state", "off"});
  ASSERT_EQ(good2.size(), 1u);

  const ProbeResult found = probe({.expect = 2, .settle = std::chrono::milliseconds(500)});
  ASSERT_TRUE(found.opened) << found.diagnostics;
  EXPECT_THAT(found.lines, UnorderedElementsAreArray({device_line(good1[0], "VX-100", "GOOD1"),
                                                      device_line(good2[0], "VX-100", "GOOD2", "off")}));
  // Each bad reply really went out.
  for (std::size_t i = 0; i < bad_sims.size(); ++i) {
    SCOPED_TRACE(describe(bad_replies[i]));
    const std::string err = bad_sims[i]->err();
    EXPECT_NE(err.find("probe from 10.77.0.1:5556 on " + bad[0]), std::string::npos) << err;
    EXPECT_EQ(err.find("cannot send"), std::string::npos) << err;
  }
  std::remove(huge_path.c_str());
}

}  // namespace
}  // namespace simtest
