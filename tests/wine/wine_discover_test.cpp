// The Windows builds of the command-line discoverer and the simulator, under Wine in a namespace bed:
// Winsock, the adapter table and the interface walk for real, against Linux peers.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "netbed.h"
#include "wine_bed.h"

namespace winetest {
namespace {

using testbed::device_line;

// Lines of a Windows program's output: its text-mode streams end each line with CR LF.
std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out = testbed::lines(text);
  for (std::string& line : out) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }
  return out;
}

std::vector<std::string> sorted(std::vector<std::string> items) {
  std::sort(items.begin(), items.end());
  return items;
}

class WineDiscover : public WineBed {};

TEST_F(WineDiscover, ListsEveryDeviceOnEverySegmentOnce) {
  build(2);
  const auto d0 = add_device("d0", "0", {"--serial", "A0", "--boot-state", "on"});
  const auto d1 = add_device("d1", "1", {"--model", "VX-220 Camera", "--serial", "B1", "--boot-state", "off"});
  const auto d2 = add_device("d2", "0,1", {"--serial", "C2", "--boot-state", "none", "--reply-to", "group"});
  ASSERT_FALSE(d0.empty() || d1.empty() || d2.empty());

  const Outcome run = run_exe("tool", "vantrel-discover", {"--expect", "4", "--timeout", "20"});
  EXPECT_EQ(run.code, 0) << run.err;
  // The device on both segments answers each segment's probe through that segment's group.
  EXPECT_EQ(sorted(lines(run.out)), sorted({device_line(d0[0], "VX-100", "A0", "on"),
                                           device_line(d1[0], "VX-220 Camera", "B1", "off"),
                                           device_line(d2[0], "VX-100", "C2", "none"),
                                           device_line(d2[1], "VX-100", "C2", "none")}))
      << run.err;
}

TEST_F(WineDiscover, OversizedDatagramIsDroppedAndListeningGoesOn) {
  build(1);
  // 2049 bytes: one more than the receive buffer, so Winsock fails the receive with WSAEMSGSIZE.
  char path[] = "/tmp/vantrel-oversized.XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  const std::string oversized(2048, 'x');
  ASSERT_EQ(::write(fd, oversized.data(), oversized.size()), static_cast<ssize_t>(oversized.size()));
  ::close(fd);
  const auto big = add_device("big", "0", {"--payload-file", path, "--delay-ms", "0"});
  const auto ok = add_device("ok", "0", {"--serial", "FINE", "--delay-ms", "500"});
  std::remove(path);
  ASSERT_FALSE(big.empty() || ok.empty());

  const Outcome run = run_exe("tool", "vantrel-discover", {"-v", "--expect", "1", "--timeout", "20"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(lines(run.out), std::vector<std::string>{device_line(ok[0], "VX-100", "FINE")}) << run.err;
  EXPECT_NE(run.err.find("dropped a datagram longer than 2048 bytes"), std::string::npos) << run.err;
}

TEST_F(WineDiscover, WalksEveryAdapterBeyondTwentyInterfaces) {
  // The adapter table grows past any fixed block: the probe leaves through all 25 interfaces, and the
  // devices on the first and the last segment answer it.
  build(25);
  const auto first = add_device("first", "0", {"--serial", "FIRST"});
  const auto last = add_device("last", "24", {"--serial", "LAST"});
  ASSERT_FALSE(first.empty() || last.empty());

  const Outcome run = run_exe("tool", "vantrel-discover", {"--expect", "2", "--timeout", "20"});
  EXPECT_EQ(sorted(lines(run.out)), sorted({device_line(first[0], "VX-100", "FIRST"),
                                           device_line(last[0], "VX-100", "LAST")}))
      << run.err;
}

struct ReplyRoute {
  const char* name;
  const char* reply_to;
};

class WineSimulator : public WineBed, public testing::WithParamInterface<ReplyRoute> {};

TEST_P(WineSimulator, AnswersTheLinuxDiscoverer) {
  build(2);
  const auto addresses = add_namespace("dev", "1");
  ASSERT_FALSE(addresses.empty());
  start_exe_sim("dev", {"--serial", "WIN1", "--boot-state", "off", "--reply-to", GetParam().reply_to});

  testbed::ChildProcess tool(
      bed_->in("tool", {testbed::bin("vantrel-discover"), "--expect", "1", "--timeout", "20"}));
  EXPECT_EQ(tool.wait(kWineStart), 0) << tool.err();
  EXPECT_EQ(testbed::lines(tool.out()),
            std::vector<std::string>{device_line(addresses[0], "VX-100", "WIN1", "off")});
}

INSTANTIATE_TEST_SUITE_P(Routes, WineSimulator,
                         testing::Values(ReplyRoute{"ToTheSender", "source"}, ReplyRoute{"ToTheGroup", "group"}),
                         [](const testing::TestParamInfo<ReplyRoute>& route) { return route.param.name; });

// IP Helper's socket table under Wine: a Linux copy of the discoverer on the port is another program
// (Wine knows the owners of its own processes only: the warning is checked, not the name), and the
// Windows copy's own socket is not.
TEST_F(WineDiscover, SaysWhenAnotherProgramHoldsThePortAndOnlyThen) {
  build(1);
  const Outcome alone = run_exe("tool", "vantrel-discover", {"--timeout", "0.5"});
  EXPECT_EQ(alone.err.find("Another program"), std::string::npos) << alone.err;

  testbed::ChildProcess linux_copy(bed_->in("tool", {testbed::bin("vantrel-discover"), "--watch"}));
  ASSERT_TRUE(linux_copy.running());
  const Outcome beside = run_exe("tool", "vantrel-discover", {"--timeout", "0.5"});
  EXPECT_NE(beside.err.find("vantrel-discover: Another program is using UDP port 5556"), std::string::npos)
      << beside.err;
  EXPECT_NE(beside.err.find("; devices' answers may reach it instead of vantrel-discover."),
            std::string::npos)
      << beside.err;
}

}  // namespace
}  // namespace winetest
