#include "vantrel/read_line.h"

#include <cstring>

std::string datagram_text(const char* data, std::size_t size) {
  const void* zero = std::memchr(data, 0, size);
  const std::size_t length =
      zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - data) : size;
  return std::string(data, length);
}

namespace {

void append_escaped(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

// U+0080..U+009F in UTF-8: the C1 controls (CSI and friends), which terminals act on like ESC sequences.
bool is_c1_control(std::string_view text, std::size_t at) {
  return static_cast<unsigned char>(text[at]) == 0xC2 && at + 1 < text.size() &&
         static_cast<unsigned char>(text[at + 1]) >= 0x80 && static_cast<unsigned char>(text[at + 1]) <= 0x9F;
}

}  // namespace

std::string escape_control_bytes(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) {
      append_escaped(escaped, byte);
    } else if (is_c1_control(text, i)) {
      append_escaped(escaped, byte);
      append_escaped(escaped, static_cast<unsigned char>(text[++i]));
    } else {
      escaped += text[i];
    }
  }
  return escaped;
}

std::string format_read_line(int bytes, std::string_view line, std::string_view text) {
  std::string out = "read " + std::to_string(bytes) + " bytes from ";
  out += escape_control_bytes(line);
  out += ": ";
  out += escape_control_bytes(text);
  out += '\n';
  return out;
}
