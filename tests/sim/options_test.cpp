// The simulator's options and the replies they make, without a socket.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "replies.h"
#include "sim_options.h"
#include "vantrel/protocol.h"

namespace {

// Parses `args` (without the program name); the error text, empty on success.
std::string parse(std::vector<std::string> args, SimOptions& options) {
  args.insert(args.begin(), "vantrel-device-sim");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  std::string error;
  const bool ok = parse_sim_options(static_cast<int>(argv.size()), argv.data(), options, error);
  EXPECT_EQ(ok, error.empty()) << error;
  return error;
}

TEST(SimOptions, DefaultsAreOneDeviceAnsweringItsSender) {
  SimOptions options;
  EXPECT_EQ(parse({}, options), "");
  EXPECT_EQ(options.model, "VX-100");
  EXPECT_EQ(options.serial, "SIM0001");
  EXPECT_EQ(options.boot_state, true);
  EXPECT_EQ(options.count, 1);
  EXPECT_EQ(options.reply_to, ReplyTo::source);
  EXPECT_TRUE(options.marker);
  EXPECT_FALSE(options.payload);
}

TEST(SimOptions, TakesEveryOption) {
  SimOptions options;
  EXPECT_EQ(parse({"--model",    "M",           "--serial",         "S",          "--boot-state",
                   "none",       "--count",     "1000000",          "--reply-to", "group",
                   "--delay-ms", "0",           "--jitter-ms",      "250",        "--payload",
                   "",           "--no-marker", "--announce-every", "3600000",    "--exit-after-probes",
                   "3",          "-v"},
                  options),
            "");
  EXPECT_EQ(options.model, "M");
  EXPECT_EQ(options.serial, "S");
  EXPECT_EQ(options.boot_state, std::nullopt);
  EXPECT_EQ(options.count, 1000000);
  EXPECT_EQ(options.reply_to, ReplyTo::group);
  EXPECT_EQ(options.delay_ms, 0);
  EXPECT_EQ(options.jitter_ms, 250);
  EXPECT_EQ(options.payload, "");
  EXPECT_FALSE(options.marker);
  EXPECT_EQ(options.announce_every_ms, 3600000);
  EXPECT_EQ(options.exit_after_probes, 3);
  EXPECT_TRUE(options.verbose);
  EXPECT_FALSE(options.help);
}

TEST(SimOptions, RejectsWhatItCannotUse) {
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{"--colour"}, "unknown option --colour"},
      {{"--model"}, "--model needs a value"},
      {{"--boot-state", "yes"}, "bad value for --boot-state: yes"},
      {{"--reply-to", "all"}, "bad value for --reply-to: all"},
      {{"--count", "0"}, "bad value for --count: 0"},
      {{"--count", "1000001"}, "bad value for --count: 1000001"},
      {{"--count", "12x"}, "bad value for --count: 12x"},
      {{"--count", "-3"}, "bad value for --count: -3"},
      {{"--delay-ms", "3600001"}, "bad value for --delay-ms: 3600001"},
      {{"--announce-every", "0"}, "bad value for --announce-every: 0"},
      {{"--exit-after-probes", "0"}, "bad value for --exit-after-probes: 0"},
      {{"--payload-file", "/nonexistent/reply"}, "cannot read /nonexistent/reply: No such file or directory"},
      {{"--payload", std::string(65507, 'x')},
       "the payload has 65507 bytes; one datagram holds 65507, the marker included"},
  };
  for (const auto& c : cases) {
    SimOptions options;
    EXPECT_EQ(parse(c.args, options), c.error) << c.args[0];
  }
}

TEST(SimOptions, LargestPayloadFillsOneDatagram) {
  SimOptions with_marker;
  EXPECT_EQ(parse({"--payload", std::string(kMaxDatagram - 1, 'x')}, with_marker), "");
  SimOptions bare;
  EXPECT_EQ(parse({"--payload", std::string(kMaxDatagram, 'x'), "--no-marker"}, bare), "");
}

TEST(SimReplies, SerialSuffixesHaveOneWidthPerCount) {
  EXPECT_EQ(serial_of("S", 1, 0), "S");
  EXPECT_EQ(serial_of("S", 2, 0), "S-00001");
  EXPECT_EQ(serial_of("S", 99999, 99998), "S-99999");
  EXPECT_EQ(serial_of("S", 100000, 0), "S-000001");
  EXPECT_EQ(serial_of("S", 1000000, 999999), "S-1000000");
}

// What the core decodes from a built reply is what the options said, whatever the text holds.
TEST(SimReplies, BuiltRepliesDecodeToTheirOptions) {
  SimOptions options;
  options.model = "Cam \"Pro\" \\ \x01\t/ Ünï";
  options.serial = "S";
  options.count = 3;
  options.boot_state = false;
  const Replies replies(options);
  ASSERT_EQ(replies.size(), 3u);
  for (std::size_t i = 0; i < replies.size(); ++i) {
    const auto device = protocol::decode_device(replies[i].data(), replies[i].size());
    ASSERT_TRUE(device) << replies[i];
    EXPECT_EQ(device->model, options.model);
    EXPECT_EQ(device->serial_number, "S-0000" + std::to_string(i + 1));
    EXPECT_EQ(device->boot_state, false);
  }
  options.boot_state.reset();
  const Replies without_boot(options);
  EXPECT_EQ(protocol::decode_device(without_boot[0].data(), without_boot[0].size())->boot_state,
            std::nullopt);
}

TEST(SimReplies, PayloadIsSentAsItIsForEveryDevice) {
  SimOptions options;
  options.count = 4;
  options.payload = std::string("{\"x\0y", 5);
  EXPECT_EQ(Replies(options)[3], std::string("\x01{\"x\0y", 6));
  EXPECT_EQ(Replies(options).size(), 4u);
  options.marker = false;
  EXPECT_EQ(Replies(options)[0], std::string("{\"x\0y", 5));
}

}  // namespace
