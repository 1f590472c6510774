// --watch: devices are printed as they come, reported gone after two silent probes, and printed again
// when they return.
#include <signal.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <thread>

#include "discover_bed.h"

namespace {

using clitest::lines;
using namespace std::chrono_literals;

class Watch : public clitest::DiscoverBed {};

nlohmann::json object(const std::string& address, bool gone) {
  nlohmann::json o = {{"address", address},
                      {"model", "VX"},
                      {"serial_number", "W1"},
                      {"boot_state", true},
                      {"interface", {{"name", "eth0"}, {"address", "10.77.0.1"}}},
                      {"problems", nlohmann::json::array()}};
  if (gone) o["gone"] = true;
  return o;
}

TEST_F(Watch, JsonReportsArrivalDepartureAndReturn) {
  build(1);
  const std::unique_ptr<testbed::ChildProcess> tool = start({"--watch", "--json", "--interval", "0.3", "-v"});
  ASSERT_TRUE(tool->wait_for("Set sending interface to", 10s, true)) << tool->err();
  const std::vector<std::string> sim = {"--model", "VX", "--serial", "W1", "--boot-state", "on"};

  // Comes after the tool started: found by a later probe.
  const std::vector<std::string> addresses = add_device("dev", "0", sim);
  ASSERT_FALSE(addresses.empty());
  ASSERT_TRUE(tool->wait_for("\"serial_number\":\"W1\"", 10s)) << tool->err();

  const auto killed = std::chrono::steady_clock::now();
  device("dev").signal(SIGKILL);
  device("dev").wait(5s);
  ASSERT_TRUE(tool->wait_for("\"gone\":true", 10s)) << tool->out();
  // Two silent rounds of 0.3 s, and never before the first of them has passed.
  EXPECT_GT(std::chrono::steady_clock::now() - killed, 300ms);

  testbed::ChildProcess back(bed_->in("dev", [&] {
    std::vector<std::string> argv = {testbed::bin("vantrel-device-sim")};
    argv.insert(argv.end(), sim.begin(), sim.end());
    return argv;
  }()));
  const auto twice = [&] {
    const std::string out = tool->out();
    std::size_t count = 0;
    for (std::size_t at = out.find("\"W1\""); at != std::string::npos; at = out.find("\"W1\"", at + 1))
      ++count;
    return count >= 3;
  };
  for (int i = 0; i < 500 && !twice(); ++i) std::this_thread::sleep_for(20ms);

  tool->signal(SIGINT);
  EXPECT_EQ(tool->wait(5s), 0) << tool->err();
  std::vector<nlohmann::json> got;
  for (const std::string& line : lines(tool->out()))
    got.push_back(nlohmann::json::parse(line, nullptr, false));
  EXPECT_EQ(got, (std::vector<nlohmann::json>{object(addresses[0], false), object(addresses[0], true),
                                              object(addresses[0], false)}))
      << tool->out();
}

TEST_F(Watch, TextPrintsAReturningDeviceAgainAndNothingWhileItAnswers) {
  build(1);
  const std::vector<std::string> addresses =
      add_device("dev", "0", {"--model", "VX", "--serial", "W1", "--boot-state", "none"});
  ASSERT_FALSE(addresses.empty());
  const std::string line = testbed::device_line(addresses[0], "VX", "W1", "none");
  const std::unique_ptr<testbed::ChildProcess> tool = start({"--watch", "--interval", "0.3"});
  ASSERT_TRUE(tool->wait_for(line, 10s));
  std::this_thread::sleep_for(1500ms);  // five more rounds that it answers
  EXPECT_EQ(tool->out(), line + "\n");

  device("dev").signal(SIGSTOP);  // silent, yet the same device when it wakes up
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(tool->out(), line + "\n") << "the text format has no gone line";
  device("dev").signal(SIGCONT);
  EXPECT_TRUE(tool->wait_for(line + "\n" + line + "\n", 10s)) << tool->out();
  tool->signal(SIGTERM);
  EXPECT_EQ(tool->wait(5s), 0);
}

}  // namespace

namespace {

// Two copies on the port: each may get the other's answers, so each says so on standard error (without
// -v), naming the other where the system does. The watching copy says it when the second one comes,
// once, not at every round.
TEST_F(Watch, ACopyBesideAnotherSaysThePortIsShared) {
  build(1);
  const std::unique_ptr<testbed::ChildProcess> watching = start({"--watch", "--interval", "0.2"});
  ASSERT_TRUE(watching->running());
  std::this_thread::sleep_for(300ms);  // past its first round: alone on the port
  const clitest::Outcome second = discover({"--timeout", "0.8"});
  const std::string warning_prefix =
      "vantrel-discover: Another program is using UDP port 5556 (vantrel-discover, process ";
  EXPECT_EQ(second.err.rfind(warning_prefix, 0), 0u) << second.err;
  EXPECT_NE(second.err.find("); devices' answers may reach it instead of vantrel-discover.\n"),
            std::string::npos)
      << second.err;

  std::this_thread::sleep_for(300ms);
  watching->signal(SIGINT);
  watching->wait(5s);
  std::size_t warnings = 0;
  for (const std::string& line : lines(watching->err())) warnings += line.rfind(warning_prefix, 0) == 0;
  EXPECT_EQ(warnings, 1u) << watching->err();
}

}  // namespace
