// Exit codes 0, 1 and 2 with the line that explains a 2, and an orderly end on SIGINT and SIGTERM.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "discover_bed.h"

namespace {

using clitest::lines;
using namespace std::chrono_literals;

class ExitCode : public clitest::DiscoverBed {
 protected:
  // A plain socket bound to the port without address reuse, in the tool namespace.
  void hold_port() {
    testbed::InsideNamespace inside(bed_->ns("tool"));
    ASSERT_TRUE(inside.ok());
    holder_ = testbed::hold_port_without_sharing(5556);
    ASSERT_GE(holder_, 0);
  }
  void TearDown() override {
    if (holder_ >= 0) ::close(holder_);
  }
  int holder_ = -1;
};

TEST_F(ExitCode, ZeroOneOrTwoWithTheReason) {
  struct Case {
    const char* what;
    std::string bed_options;
    bool device;
    bool hold;
    std::vector<std::string> args;
    int code;
    std::string err;  // the whole of standard error
  };
  const Case cases[] = {
      {"a device answers", "", true, false, {}, 0, ""},
      {"nobody answers", "", false, false, {}, 1, ""},
      {"port held without reuse",
       "",
       true,
       true,
       {},
       2,
       "vantrel-discover: cannot bind UDP port 5556 (Address already in use): another program holds the port "
       "without address reuse\n"},
      {"--interface not on this machine",
       "",
       true,
       false,
       {"--interface", "10.77.9.1"},
       2,
       "vantrel-discover: cannot join group 224.0.0.120 on interface 10.77.9.1 (No such device): check that "
       "the address belongs to an interface of this machine that is up\n"},
      {"only a down interface with an address, and one up without",
       "--tool-extra-down --tool-extra-noaddr",
       false,
       false,
       {},
       2,
       "vantrel-discover: no network interface with an IPv4 address is up\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const bool has_segment = c.bed_options.empty();
    bed_ = std::make_unique<testbed::NetBed>(has_segment ? 1 : 0, c.bed_options);
    ASSERT_TRUE(bed_->ok());
    if (c.device) add_device("dev", "0", {"--model", "VX", "--serial", "S", "--boot-state", "none"});
    if (c.hold) hold_port();
    std::vector<std::string> args = {"--timeout", "1"};
    args.insert(args.end(), c.args.begin(), c.args.end());

    const clitest::Outcome run = discover(args);
    EXPECT_EQ(run.code, c.code);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(lines(run.out).size(), c.code == 0 ? 1u : 0u) << run.out;

    TearDown();
    holder_ = -1;
    stop_devices();
    bed_.reset();
  }
}

TEST_F(ExitCode, InterruptEndsPromptlyKeepingWhatWasPrinted) {
  struct Case {
    int signal;
    bool device;
    int code;
  };
  // The device joins the bed before the first case that wants it, and stays.
  const Case cases[] = {{SIGINT, false, 1}, {SIGTERM, false, 1}, {SIGINT, true, 0}, {SIGTERM, true, 0}};
  build(1);
  std::string line;
  for (const Case& c : cases) {
    SCOPED_TRACE(::strsignal(c.signal) + std::string(c.device ? " with a device" : " without devices"));
    if (c.device && line.empty()) {
      const std::vector<std::string> addresses =
          add_device("dev", "0", {"--model", "VX", "--serial", "S", "--boot-state", "none"});
      ASSERT_FALSE(addresses.empty());
      line = testbed::device_line(addresses[0], "VX", "S", "none");
    }
    const std::unique_ptr<testbed::ChildProcess> tool = start({"--timeout", "30", "-v"});
    if (c.device) {
      ASSERT_TRUE(tool->wait_for(line, 10s)) << tool->err();
    } else {
      ASSERT_TRUE(tool->wait_for("Set sending interface to", 10s, true)) << tool->err();
    }
    const auto asked = std::chrono::steady_clock::now();
    tool->signal(c.signal);
    EXPECT_EQ(tool->wait(5s), c.code) << tool->err();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 1s);
    EXPECT_EQ(tool->out(), c.device ? line + "\n" : "");
  }
}

}  // namespace
