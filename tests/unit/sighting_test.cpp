// From one received datagram to what the lists are given.
#include <gtest/gtest.h>

#include <string>

#include "diag_capture.h"
#include "vantrel/receiver.h"

namespace {

using namespace std::string_literals;

sockaddr_in sender() {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(40000);
  inet_pton(AF_INET, "10.77.0.10", &sa.sin_addr);
  return sa;
}

TEST(Sighting, CarriesHostLineByteCountAndTextUpToZeroByte) {
  const std::string datagram = "\x01{\"model\":\"M\",\"serial_number\":\"S\",\"boot_state\":false}\x00pad"s;
  const sockaddr_in from = sender();
  const auto sighting = sighting_from_datagram(datagram.data(), datagram.size(),
                                               reinterpret_cast<const sockaddr*>(&from), sizeof from);
  ASSERT_TRUE(sighting.has_value());
  EXPECT_EQ(sighting->host, "10.77.0.10");
  EXPECT_EQ(sighting->line, "10.77.0.10, Model: M, Serial Number: S, Boot State:  OFF");
  EXPECT_EQ(sighting->bytes, static_cast<int>(datagram.size()));
  EXPECT_EQ(sighting->text, datagram.substr(0, datagram.find('\0')));
  EXPECT_EQ(sighting->device.boot_state, false);
}

TEST(Sighting, UnformattableSenderGivesEmptyHostNeverStaleText) {
  DiagCapture capture;
  const std::string datagram = "\x01{\"model\":\"M\",\"serial_number\":\"S\"}"s;
  const sockaddr_in from = sender();
  const auto sighting = sighting_from_datagram(
      datagram.data(), datagram.size(), reinterpret_cast<const sockaddr*>(&from), 2);  // too short to format
  ASSERT_TRUE(sighting.has_value());
  EXPECT_EQ(sighting->line, ", Model: M, Serial Number: S");
  EXPECT_NE(capture.err().find("getnameinfo failed"), std::string::npos);
}

TEST(Sighting, NotAReplyOrNoLineGivesNothing) {
  const sockaddr_in from = sender();
  for (const std::string& datagram : {"\x00"s, ""s, "\x01"s, "\x01{\"model\":\"M\"}"s}) {
    EXPECT_FALSE(sighting_from_datagram(datagram.data(), datagram.size(),
                                        reinterpret_cast<const sockaddr*>(&from), sizeof from))
        << datagram;
  }
}

}  // namespace
