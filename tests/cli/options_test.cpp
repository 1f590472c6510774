// The command line: what each option sets, and the sentence for every kind of bad argument.
#include "options.h"

#include <gtest/gtest.h>

namespace {

using discover::Options;
using discover::parse_options;
using namespace std::chrono_literals;

TEST(Options, DefaultsWithoutArguments) {
  const discover::ParseResult parsed = parse_options({});
  ASSERT_EQ(parsed.error, "");
  const Options& o = parsed.options;
  EXPECT_FALSE(o.help || o.version || o.json || o.watch || o.verbose || o.timeout_given);
  EXPECT_EQ(o.timeout, 2000ms);
  EXPECT_EQ(o.interval, 5000ms);
  EXPECT_TRUE(o.interfaces.empty());
  EXPECT_EQ(o.expect, 0u);
}

TEST(Options, ValuesInBothSpellings) {
  const discover::ParseResult parsed =
      parse_options({"--json", "--watch", "-v", "--timeout", "0.25", "--interval=0.3", "--expect", "3",
                     "--interface", "10.0.0.1", "--interface=10.0.1.1", "--interface", "10.0.0.1"});
  ASSERT_EQ(parsed.error, "");
  const Options& o = parsed.options;
  EXPECT_TRUE(o.json && o.watch && o.verbose && o.timeout_given);
  EXPECT_EQ(o.timeout, 250ms);
  EXPECT_EQ(o.interval, 300ms);
  EXPECT_EQ(o.expect, 3u);
  EXPECT_EQ(o.interfaces, (std::vector<std::string>{"10.0.0.1", "10.0.1.1"})) << "repeats are joined once";
}

TEST(Options, HelpAndVersionFlags) {
  EXPECT_TRUE(parse_options({"-h"}).options.help);
  EXPECT_TRUE(parse_options({"--help"}).options.help);
  EXPECT_TRUE(parse_options({"--version"}).options.version);
  EXPECT_TRUE(parse_options({"--verbose"}).options.verbose);
}

TEST(Options, ZeroTimeoutIsAllowed) {
  const discover::ParseResult parsed = parse_options({"--timeout", "0"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.timeout, 0ms);
}

TEST(Options, BadArgumentsNameTheArgument) {
  struct Case {
    std::vector<std::string_view> args;
    std::string error;
  };
  const Case cases[] = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"-x"}, "unknown option '-x'"},
      {{"--json=1"}, "unknown option '--json=1'"},
      {{"stray"}, "unexpected argument 'stray'"},
      {{"--timeout"}, "option '--timeout' needs a value"},
      {{"--json", "--expect"}, "option '--expect' needs a value"},
      {{"--timeout", "abc"}, "bad --timeout 'abc': give seconds, 0 or more, e.g. 2 or 0.5"},
      {{"--timeout", "-1"}, "bad --timeout '-1': give seconds, 0 or more, e.g. 2 or 0.5"},
      {{"--timeout", "2s"}, "bad --timeout '2s': give seconds, 0 or more, e.g. 2 or 0.5"},
      {{"--timeout", "inf"}, "bad --timeout 'inf': give seconds, 0 or more, e.g. 2 or 0.5"},
      {{"--timeout", "1e300"}, "bad --timeout '1e300': give seconds, 0 or more, e.g. 2 or 0.5"},
      {{"--timeout="}, "bad --timeout '': give seconds, 0 or more, e.g. 2 or 0.5"},
      {{"--interval", "0.05"}, "bad --interval '0.05': give seconds, 0.1 or more, e.g. 5"},
      {{"--expect", "0"}, "bad --expect '0': give a number of devices, 1 or more"},
      {{"--expect", "-2"}, "bad --expect '-2': give a number of devices, 1 or more"},
      {{"--expect", "1.5"}, "bad --expect '1.5': give a number of devices, 1 or more"},
      {{"--interface", "eth0"},
       "bad --interface 'eth0': give the interface's IPv4 address, e.g. 192.168.1.20"},
      {{"--interface", "10.0.0"},
       "bad --interface '10.0.0': give the interface's IPv4 address, e.g. 192.168.1.20"},
      {{"--interface", "10.0.0.256"},
       "bad --interface '10.0.0.256': give the interface's IPv4 address, e.g. 192.168.1.20"},
      {{"--interface", "fe80::1"},
       "bad --interface 'fe80::1': give the interface's IPv4 address, e.g. 192.168.1.20"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parse_options(c.args).error, c.error) << c.args.front();
  }
}

TEST(Options, FirstErrorWinsAndStopsParsing) {
  const discover::ParseResult parsed = parse_options({"--bogus", "--timeout", "x"});
  EXPECT_EQ(parsed.error, "unknown option '--bogus'");
}

}  // namespace
