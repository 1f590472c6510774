// The program as a whole process: no display, and an orderly end while replies stream in.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "bed_test.h"
#include "child_process.h"
#include "netbed.h"

namespace {

using namespace std::chrono_literals;

class Program : public testbed::BedTest {
 protected:
  void SetUp() override {
    BedTest::SetUp();
    if (!stopped()) build(1);
  }
};

TEST_F(Program, WithoutADisplaySaysSoAndExitsOne) {
  testbed::ChildProcess tool(bed_->in("tool", {"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY",
                                               "QT_QPA_PLATFORM=xcb", testbed::bin("vantrel-discovery")}));
  EXPECT_EQ(tool.wait(10s), 1);
  EXPECT_EQ(tool.err().find("vantrel-discovery: no display available"), 0u) << tool.err();
  EXPECT_EQ(tool.out(), "");
}

TEST_F(Program, TerminatedWhileRepliesStreamInEndsPromptlyWithZero) {
  ASSERT_EQ(bed_->add_device("dev", "0").size(), 1u);
  testbed::ChildProcess tool(
      bed_->in("tool", {"env", "QT_QPA_PLATFORM=offscreen", testbed::bin("vantrel-discovery")}));
  ASSERT_TRUE(tool.wait_for("Setting multicast loopback to: 0", 10s)) << tool.err();

  std::atomic<bool> streaming{true};
  std::thread stream([&] {
    for (int i = 0; streaming; ++i) {
      testbed::send_datagrams(bed_->ns("dev"), "10.77.0.1",
                              {"\x01{\"model\":\"VX\",\"serial_number\":\"T" + std::to_string(i) + "\"}"});
    }
  });
  EXPECT_TRUE(tool.wait_for("Serial Number: T", 10s));
  const auto asked = std::chrono::steady_clock::now();
  tool.signal(SIGTERM);
  EXPECT_EQ(tool.wait(5s), 0) << tool.err();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 2s);
  streaming = false;
  stream.join();
}

}  // namespace
