// The log line for a new device: byte count, device line, datagram text; nothing unsafe reaches a terminal.
#include "vantrel/read_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

TEST(ReadLine, ShowsCountLineAndDatagramFromMarker) {
  const std::string datagram = "\x01{\"model\":\"X\",\"serial_number\":\"S\"}"s;
  EXPECT_EQ(format_read_line(static_cast<int>(datagram.size()), "10.0.0.5, Model: X, Serial Number: S",
                             datagram_text(datagram.data(), datagram.size())),
            "read 34 bytes from 10.0.0.5, Model: X, Serial Number: S: "
            "\\x01{\"model\":\"X\",\"serial_number\":\"S\"}\n");
}

TEST(ReadLine, DatagramTextStopsAtZeroByteOrEnd) {
  const std::string with_zero = "\x01{}\x00tail"s;
  EXPECT_EQ(datagram_text(with_zero.data(), with_zero.size()), "\x01{}");
  const std::string cut = "\x01{\"a\":1}"s;
  EXPECT_EQ(datagram_text(cut.data(), 4), "\x01{\"a");
}

TEST(ReadLine, ControlBytesEscaped) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"plain text", "plain text"},
      {"\x1b[2J\x07", "\\x1B[2J\\x07"},
      {"a\nb\rc\td", "a\\x0Ab\\x0Dc\\x09d"},
      {"del\x7f", "del\\x7F"},
      {"\xC3\xA9 utf8 kept", "\xC3\xA9 utf8 kept"},
      {"c1 \xC2\x9B"
       "31m csi",
       "c1 \\xC2\\x9B31m csi"},
      {"nbsp\xC2\xA0 kept, cut \xC2", "nbsp\xC2\xA0 kept, cut \xC2"},
      {"\xE6\x97\xA5 continuation bytes kept", "\xE6\x97\xA5 continuation bytes kept"},
  };
  for (const Case& c : cases) EXPECT_EQ(escape_control_bytes(c.in), c.out) << c.in;
}

TEST(ReadLine, DeviceLineEscapedToo) {
  EXPECT_EQ(format_read_line(3, "h, Model: \x1b]0;x\x07", "\x01"),
            "read 3 bytes from h, Model: \\x1B]0;x\\x07: \\x01\n");
}

}  // namespace
