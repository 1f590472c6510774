// Fuzzes reply decoding: any bytes in, a device line or none out, never a crash or an exception.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "vantrel/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto* bytes = reinterpret_cast<const char*>(data);
  const auto line = protocol::decode_reply(bytes, size, "10.0.0.1");
  if (line) {
    // A line exists only for a reply with a model and a serial number.
    if (size < 2 || data[0] != 0x01) std::abort();
    if (line->rfind("10.0.0.1, Model: ", 0) != 0) std::abort();
    if (line->find(", Serial Number: ") == std::string::npos) std::abort();
  }
  return 0;
}
