// Which interfaces are probed (--interface) and how soon the run ends (--expect).
#include <algorithm>

#include "discover_bed.h"

namespace {

using clitest::lines;
using namespace std::chrono_literals;

class Fanout : public clitest::DiscoverBed {
 protected:
  // A device on each of two segments, answering to the group so that only a joined interface hears it.
  void two_segments() {
    build(2);
    for (const char* segment : {"0", "1"}) {
      const std::string serial = std::string("SEG") + segment;
      const std::vector<std::string> got =
          add_device(std::string("dev") + segment, segment,
                     {"--model", "VX", "--serial", serial, "--boot-state", "none", "--reply-to", "group"});
      ASSERT_EQ(got.size(), 1u);
      line_[segment[0] - '0'] = testbed::device_line(got[0], "VX", serial, "none");
    }
  }
  std::string line_[2];
};

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST_F(Fanout, InterfaceLimitsJoinsAndProbes) {
  two_segments();
  struct Case {
    std::vector<std::string> args;
    std::vector<int> segments;
  };
  const Case cases[] = {
      {{}, {0, 1}},
      {{"--interface", "10.77.0.1"}, {0}},
      {{"--interface", "10.77.1.1"}, {1}},
      {{"--interface", "10.77.1.1", "--interface", "10.77.0.1"}, {0, 1}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--timeout", "1", "-v"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const clitest::Outcome run = discover(args);
    std::vector<std::string> expected;
    for (const int segment : c.segments) expected.push_back(line_[segment]);
    EXPECT_EQ(sorted(lines(run.out)), sorted(expected)) << run.err;
    EXPECT_EQ(run.code, 0);
    // Joined and probed exactly as often as there are chosen interfaces.
    std::size_t sends = 0;
    for (std::size_t at = run.err.find("Set sending interface to"); at != std::string::npos;
         at = run.err.find("Set sending interface to", at + 1)) {
      ++sends;
    }
    EXPECT_EQ(sends, c.segments.size()) << run.err;
  }
}

TEST_F(Fanout, ExpectEndsTheRunOnceEnoughDevicesAnswered) {
  two_segments();
  const clitest::Outcome early = discover({"--expect", "1", "--timeout", "20"});
  EXPECT_EQ(early.code, 0);
  EXPECT_EQ(lines(early.out).size(), 1u) << "exactly as many as expected: " << early.out;
  EXPECT_LT(early.took, 5s);

  const clitest::Outcome all = discover({"--expect", "2", "--timeout", "20"});
  EXPECT_EQ(all.code, 0);
  EXPECT_EQ(sorted(lines(all.out)), sorted({line_[0], line_[1]}));
  EXPECT_LT(all.took, 5s);

  // More than there are: the timeout still ends it.
  const clitest::Outcome short_of = discover({"--expect", "3", "--timeout", "1.5"});
  EXPECT_EQ(short_of.code, 0);
  EXPECT_EQ(lines(short_of.out).size(), 2u);
  EXPECT_GE(short_of.took, 1500ms);
  EXPECT_LT(short_of.took, 5s);
}

}  // namespace
