#include "vantrel/read_line.h"

#include <cstring>

std::string datagram_text(const char* data, std::size_t size) {
  const void* zero = std::memchr(data, 0, size);
  const std::size_t length = zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - data)
                                             : size;
  return std::string(data, length);
}

std::string escape_control_bytes(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      escaped += "\\x";
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0x0F];
    } else {
      escaped += c;
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
