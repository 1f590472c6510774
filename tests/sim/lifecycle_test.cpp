// How the simulator starts and ends: refusals with exit 2 and one clear line, the probe limit, the -v
// log, and a prompt clean exit on SIGINT/SIGTERM even in the middle of a delayed answer.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

#include "platform.h"
#include "sim_bed.h"

namespace simtest {
namespace {

using namespace std::chrono_literals;

// Holds UDP port 5556 in a namespace without address reuse, as a program that wants it alone would.
class PortHolder {
 public:
  explicit PortHolder(const std::string& ns) {
    testbed::InsideNamespace inside(ns);
    sock_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(5556);
    bound_ = inside.ok() && sock_ >= 0 && ::bind(sock_, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0;
  }
  ~PortHolder() { platform::close_socket(sock_); }
  bool bound() const { return bound_; }

 private:
  SOCKET sock_ = INVALID_SOCKET;
  bool bound_ = false;
};

struct Refusal {
  const char* label;
  const char* role;  // the namespace it runs in: "dev" (a device), "hub" (no IPv4 address at all)
  bool port_taken = false;
  std::vector<std::string> args = {};
  std::string line;  // the whole of its standard error; the exit code is 2
};

std::string label_of(const testing::TestParamInfo<Refusal>& param) {
  return param.param.label;
}

class SimRefusal : public SimBed, public testing::WithParamInterface<Refusal> {};

TEST_P(SimRefusal, ExitsWithOneLine) {
  const Refusal& refusal = GetParam();
  build(1);
  ASSERT_FALSE(add_namespace("dev", "0").empty());
  std::unique_ptr<PortHolder> holder;
  if (refusal.port_taken) {
    holder = std::make_unique<PortHolder>(bed_->ns("dev"));
    ASSERT_TRUE(holder->bound());
  }
  std::vector<std::string> argv = {testbed::bin("vantrel-device-sim")};
  argv.insert(argv.end(), refusal.args.begin(), refusal.args.end());
  testbed::ChildProcess sim(bed_->in(refusal.role, argv));
  EXPECT_EQ(sim.wait(5s), 2);
  EXPECT_EQ(sim.err(), refusal.line);
  EXPECT_EQ(sim.out(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Sim, SimRefusal,
    testing::Values(
        Refusal{.label = "PortTaken",
                .role = "dev",
                .port_taken = true,
                .line = "vantrel-device-sim: cannot bind UDP port 5556: Address already in use\n"},
        Refusal{.label = "NoAddressedInterface",
                .role = "hub",
                .line = "vantrel-device-sim: no network interface with an IPv4 address is up\n"},
        Refusal{.label = "BadOption",
                .role = "dev",
                .args = {"--reply-to", "everyone"},
                .line = "vantrel-device-sim: bad value for --reply-to: everyone (see --help)\n"},
        Refusal{
            .label = "PayloadTooLong",
            .role = "dev",
            .args = {"--payload", std::string(65507, 'x')},
            .line = "vantrel-device-sim: the payload has 65507 bytes; one datagram holds 65507, the marker "
                    "included (see --help)\n"}),
    label_of);

class SimLifecycle : public SimBed {};

TEST_F(SimLifecycle, HelpShowsUsageWithExamples) {
  build(1);
  testbed::ChildProcess sim(bed_->in("tool", {testbed::bin("vantrel-device-sim"), "--help"}));
  EXPECT_EQ(sim.wait(5s), 0);
  EXPECT_NE(sim.out().find("usage: vantrel-device-sim"), std::string::npos);
  EXPECT_NE(sim.out().find("--reply-to source|group"), std::string::npos);
  EXPECT_NE(sim.out().find("examples:\n  vantrel-device-sim --model"), std::string::npos);
}

// Datagrams that are not the probe, a device's reply among them, are not answered nor counted.
TEST_F(SimLifecycle, AnswersOnlyProbesAndExitsAfterTheLimit) {
  build(1);
  const auto addresses = add_device("dev", "0", {"--exit-after-probes", "2", "-v"});
  ASSERT_EQ(addresses.size(), 1u);
  testbed::ChildProcess& sim = *sims_.back();
  testbed::send_datagrams(bed_->ns("tool"), addresses[0],
                          {"", std::string(2, '\0'), "\x01", std::string("\0x", 2),
                           "\x01{\"model\":\"VX-100\",\"serial_number\":\"OTHER\"}"});
  const ProbeResult found = probe({.rounds = 2, .expect = 1});
  EXPECT_EQ(found.lines, std::vector<std::string>{device_line(addresses[0], "VX-100", "SIM0001")});
  EXPECT_EQ(found.replies, 2u);
  EXPECT_EQ(sim.wait(2s), 0);
  const std::string heard = "probe from 10.77.0.1:5556 on " + addresses[0] + "\n";
  EXPECT_EQ(sim.err(), "vantrel-device-sim: ready, 1 device(s) on 1 interface(s)\n" + heard + heard);
}

// Idle, or waiting out a minute's delay before answering: either way a signal ends it at once, with 0.
TEST_F(SimLifecycle, SignalsEndItCleanlyAndPromptly) {
  struct Case {
    const char* ns;
    std::vector<std::string> args;
    int sig;
  };
  const std::vector<std::string> delayed = {"--delay-ms", "60000", "--count", "3", "-v"};
  const std::vector<Case> cases = {
      {"idle", {}, SIGINT}, {"idle", {}, SIGTERM}, {"slow", delayed, SIGINT}, {"slow", delayed, SIGTERM}};
  build(2);
  ASSERT_EQ(add_namespace("idle", "0,1").size(), 2u);
  ASSERT_EQ(add_namespace("slow", "0").size(), 1u);
  for (const Case& c : cases) start_sim(c.ns, c.args);
  ASSERT_NE(sims_[0]->err().find("ready, 1 device(s) on 2 interface(s)"), std::string::npos)
      << sims_[0]->err();
  probe({.listen = 300ms});
  for (std::size_t i = 0; i < cases.size(); ++i) {
    if (cases[i].args.empty()) continue;
    ASSERT_NE(sims_[i]->err().find("probe from"), std::string::npos) << "not waiting to answer yet";
  }
  for (std::size_t i = 0; i < cases.size(); ++i) sims_[i]->signal(cases[i].sig);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(std::string(cases[i].ns) + " " + strsignal(cases[i].sig));
    EXPECT_EQ(sims_[i]->wait(1s), 0) << sims_[i]->err();
  }
}

}  // namespace
}  // namespace simtest
