// The program as a process, for the runs that open no socket: help, version and bad options. These run
// anywhere, root or not.
#include <gtest/gtest.h>

#include <chrono>

#include "child_process.h"
#include "netbed.h"
#include "options.h"

namespace {

using namespace std::chrono_literals;

TEST(Program, HelpAndVersionOnStandardOutput) {
  testbed::ChildProcess version({testbed::bin("vantrel-discover"), "--version"});
  EXPECT_EQ(version.wait(10s), 0);
  EXPECT_EQ(version.out(), "vantrel-discover 1.0.0.3\n");
  EXPECT_EQ(version.err(), "");

  testbed::ChildProcess help({testbed::bin("vantrel-discover"), "--help"});
  EXPECT_EQ(help.wait(10s), 0);
  EXPECT_EQ(help.out().rfind("Usage: vantrel-discover [OPTION]...\n", 0), 0u) << help.out();
  for (const char* option :
       {"--timeout", "--json", "--watch", "--interval", "--interface", "--expect", "-v"}) {
    EXPECT_NE(help.out().find(option), std::string::npos) << option;
  }
  EXPECT_EQ(help.err(), "");
}

TEST(Program, BadOptionExitsTwoWithOneLineOnStandardError) {
  const std::vector<std::string> cases[] = {{"--bogus"}, {"--interface", "eth0"}, {"--timeout"}};
  for (const std::vector<std::string>& args : cases) {
    // Checked in-process first: a parser that accepted the arguments would start a discovery here, outside
    // any network namespace.
    ASSERT_NE(discover::parse_options({args.begin(), args.end()}).error, "") << args.front();
    std::vector<std::string> argv = {testbed::bin("vantrel-discover")};
    argv.insert(argv.end(), args.begin(), args.end());
    testbed::ChildProcess tool(argv);
    EXPECT_EQ(tool.wait(10s), 2) << args.front();
    EXPECT_EQ(tool.out(), "");
    const std::string err = tool.err();
    EXPECT_EQ(err.rfind("vantrel-discover: ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find(args.front()), std::string::npos) << err;
  }
}

}  // namespace
