// What the simulator puts in its replies, as the core lists it: boot states, names that need escaping,
// a payload of its own, and bursts of many devices from one process.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim_bed.h"

namespace simtest {
namespace {

using testing::UnorderedElementsAreArray;

class SimReplies : public SimBed {};

// Every row is a device in a namespace of its own, all in one bed; the line ends as the row says.
TEST_F(SimReplies, ListLinesEndAsTheOptionsSay) {
  struct Row {
    std::vector<std::string> args;
    std::string model;
    std::string serial;
    std::string boot;
  };
  const std::vector<Row> rows = {
      {{}, "VX-100", "SIM0001", "on"},
      {{"--boot-state", "on", "--serial", "B-ON"}, "VX-100", "B-ON", "on"},
      {{"--boot-state", "off", "--serial", "B-OFF"}, "VX-100", "B-OFF", "off"},
      {{"--boot-state", "none", "--serial", "B-NONE"}, "VX-100", "B-NONE", "none"},
      {{"--model", R"(Cam "Pro" \ 7)", "--serial", "Ünï/7\t"}, R"(Cam "Pro" \ 7)", "Ünï/7\t", "on"},
      {{"--payload", R"({"model":"P-1","serial_number":"Q-1","boot_state":false})"}, "P-1", "Q-1", "off"},
  };
  build(1);
  std::vector<std::string> expected;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto addresses = add_device("r" + std::to_string(i), "0", rows[i].args);
    ASSERT_EQ(addresses.size(), 1u);
    expected.push_back(device_line(addresses[0], rows[i].model, rows[i].serial, rows[i].boot));
  }
  const ProbeResult found = probe({.expect = rows.size()});
  ASSERT_TRUE(found.opened) << found.diagnostics;
  EXPECT_THAT(found.lines, UnorderedElementsAreArray(expected));
}

// One process answering as 200 devices: every one of them listed, however the burst is sent.
struct Burst {
  const char* label;
  std::vector<std::string> args;
};

class SimBurst : public SimBed, public testing::WithParamInterface<Burst> {};

std::string label_of(const testing::TestParamInfo<Burst>& param) {
  return param.param.label;
}

TEST_P(SimBurst, ListsEveryDevice) {
  constexpr int kDevices = 200;
  build(1);
  std::vector<std::string> args = {"--count", std::to_string(kDevices), "--boot-state", "none"};
  args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
  const auto addresses = add_device("many", "0", args);
  ASSERT_EQ(addresses.size(), 1u);
  std::vector<std::string> expected;
  for (int i = 1; i <= kDevices; ++i) {
    const std::string number = std::to_string(i);
    expected.push_back(device_line(addresses[0], "VX-100",
                                   "SIM0001-" + std::string(5 - number.size(), '0') + number, "none"));
  }
  const ProbeResult found = probe({.expect = expected.size(), .listen = std::chrono::seconds(4)});
  ASSERT_TRUE(found.opened) << found.diagnostics;
  EXPECT_THAT(found.lines, UnorderedElementsAreArray(expected));
  EXPECT_EQ(found.replies, expected.size());
}

INSTANTIATE_TEST_SUITE_P(Sending, SimBurst,
                         testing::Values(Burst{"AtOnceToSource", {}},
                                         Burst{"AtOnceToGroup", {"--reply-to", "group"}},
                                         Burst{"Jittered", {"--jitter-ms", "300"}}),
                         label_of);

}  // namespace
}  // namespace simtest
