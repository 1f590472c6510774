// The log line printed for each newly listed device: "read %d bytes from %s: %s\n".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The datagram as text: from its first byte (the marker) up to its first zero byte or its end.
std::string datagram_text(const char* data, std::size_t size);

// Bytes below 0x20 and 0x7F written as \xHH, and so are the UTF-8 C1 controls (0xC2 0x80..0x9F), so that
// a device cannot steer the user's terminal.
std::string escape_control_bytes(std::string_view text);

// "read <bytes> bytes from <line>: <text>\n", with line and text escaped.
std::string format_read_line(int bytes, std::string_view line, std::string_view text);
