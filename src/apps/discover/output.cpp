#include "output.h"

#include <nlohmann/json.hpp>

#include "platform.h"
#include "vantrel/read_line.h"

namespace discover {

std::string text_record(std::string_view line, bool escape) {
  return escape ? escape_control_bytes(line) : std::string(line);
}

std::string json_record(std::string_view address, const protocol::DeviceInfo& device, bool gone) {
  // ordered_json keeps the members in the order a reader expects them, not sorted.
  nlohmann::ordered_json record;
  record["address"] = address;
  record["model"] = device.model;
  record["serial_number"] = device.serial_number;
  record["boot_state"] = device.boot_state ? nlohmann::ordered_json(*device.boot_state) : nullptr;
  if (gone) record["gone"] = true;
  return record.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

bool is_terminal(std::FILE* file) {
  return platform::is_terminal(file);
}

void Printer::appeared(std::string_view address, const protocol::DeviceInfo& device, std::string_view line) {
  write_line(json_ ? json_record(address, device, false) : text_record(line, escape_));
}

void Printer::gone(std::string_view address, const protocol::DeviceInfo& device) {
  if (json_) write_line(json_record(address, device, true));
}

void Printer::write_line(const std::string& record) {
  std::fwrite(record.data(), 1, record.size(), out_);
  std::fputc('\n', out_);
}

void Printer::flush() {
  // A reader of a pipe sees each device the moment its batch arrives, not when a buffer fills.
  std::fflush(out_);
}

}  // namespace discover
