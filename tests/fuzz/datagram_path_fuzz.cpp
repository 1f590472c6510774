// Fuzzes the whole way from a datagram to the list: decoding, the log line's escaping, deduplication.
// The input is split into datagrams at every 0xFF 0xFE pair, so that one run exercises a sequence.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "vantrel/device_list.h"
#include "vantrel/diagnostics.h"
#include "vantrel/read_line.h"
#include "vantrel/receiver.h"

namespace {

std::vector<std::string> split(const char* data, std::size_t size) {
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (i + 1 < size && static_cast<unsigned char>(data[i]) == 0xFF &&
        static_cast<unsigned char>(data[i + 1]) == 0xFE) {
      parts.emplace_back();
      ++i;
    } else {
      parts.back() += data[i];
    }
  }
  return parts;
}

void check_log_line(const std::string& log) {
  // Only the final newline may be a control byte: nothing else may reach a terminal unescaped.
  for (std::size_t i = 0; i + 1 < log.size(); ++i) {
    const auto byte = static_cast<unsigned char>(log[i]);
    if (byte < 0x20 || byte == 0x7F) std::abort();
    if (byte == 0xC2 && static_cast<unsigned char>(log[i + 1]) >= 0x80 &&
        static_cast<unsigned char>(log[i + 1]) <= 0x9F) {
      std::abort();  // a C1 control
    }
  }
  if (log.empty() || log.back() != '\n') std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  diag::set_streams(nullptr, nullptr);
  sockaddr_in from{};
  from.sin_family = AF_INET;
  from.sin_addr.s_addr = htonl(0x0A4D000A);
  DeviceList list(64);
  for (const std::string& datagram : split(reinterpret_cast<const char*>(data), size)) {
    const auto sighting = sighting_from_datagram(datagram.data(), datagram.size(),
                                                 reinterpret_cast<const sockaddr*>(&from), sizeof from);
    if (!sighting) continue;
    if (sighting->bytes != static_cast<int>(datagram.size())) std::abort();
    check_log_line(format_read_line(sighting->bytes, sighting->line, sighting->text));
    const bool known = list.contains(sighting->line);
    const auto added = list.add(sighting->line);
    if (known != (added == DeviceList::AddResult::duplicate)) std::abort();
    if (list.add(sighting->line) == DeviceList::AddResult::added) std::abort();  // never listed twice
  }
  return 0;
}
