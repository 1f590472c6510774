#include "vantrel/device_export.h"

#include <nlohmann/json.hpp>

#include "vantrel/failure_words.h"

namespace {

bool ends_with(const std::string& text, const std::string& tail) {
  if (tail.size() > text.size()) return false;
  for (std::size_t i = 0; i < tail.size(); ++i) {
    char c = text[text.size() - tail.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != tail[i]) return false;
  }
  return true;
}

std::string boot_text(const protocol::DeviceInfo& device) {
  if (!device.boot_state) return {};
  return *device.boot_state ? "true" : "false";
}

std::string joined_codes(std::uint8_t problems) {
  std::string codes;
  for (const std::string& code : problem_codes(problems)) codes += (codes.empty() ? "" : ";") + code;
  return codes;
}

}  // namespace

ExportFormat format_for(const std::string& file_name) {
  if (ends_with(file_name, ".csv")) return ExportFormat::csv;
  if (ends_with(file_name, ".json")) return ExportFormat::json;
  return ExportFormat::text;
}

std::string interface_text(const DeviceRecord& record) {
  return interface_words(record.interface_label, record.interface_address);
}

std::string csv_cell(const std::string& text) {
  std::string cell = text;
  if (!cell.empty() && (cell[0] == '=' || cell[0] == '+' || cell[0] == '-' || cell[0] == '@' ||
                        cell[0] == '\t' || cell[0] == '\r')) {
    cell.insert(0, 1, '\'');
  }
  if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
  std::string quoted = "\"";
  for (const char c : cell) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string csv_header() {
  return "address,model,serial_number,boot_state,interface,problems\r\n";
}

std::string csv_row(const DeviceRecord& record) {
  return csv_cell(record.host) + "," + csv_cell(record.device.model) + "," +
         csv_cell(record.device.serial_number) + "," + boot_text(record.device) + "," +
         csv_cell(interface_text(record)) + "," + joined_codes(record.problems) + "\r\n";
}

std::string json_object(const DeviceRecord& record, bool gone) {
  // ordered_json keeps the members in vantrel-discover's order, not sorted.
  nlohmann::ordered_json object;
  object["address"] = record.host;
  object["model"] = record.device.model;
  object["serial_number"] = record.device.serial_number;
  object["boot_state"] =
      record.device.boot_state ? nlohmann::ordered_json(*record.device.boot_state) : nlohmann::ordered_json();
  if (record.interface_address.empty() && record.interface_label.empty()) {
    object["interface"] = nullptr;
  } else {
    object["interface"] = {{"name", record.interface_label}, {"address", record.interface_address}};
  }
  object["problems"] = problem_codes(record.problems);
  if (gone) object["gone"] = true;
  return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string export_rows(const DeviceTable& table, const std::vector<std::size_t>& rows, ExportFormat format) {
  std::string file;
  switch (format) {
    case ExportFormat::text:
      for (const std::size_t row : rows) file += table[row].line + "\n";
      break;
    case ExportFormat::csv:
      file = csv_header();
      for (const std::size_t row : rows) file += csv_row(table[row]);
      break;
    case ExportFormat::json:
      file = "[";
      for (std::size_t i = 0; i < rows.size(); ++i)
        file += (i == 0 ? "\n  " : ",\n  ") + json_object(table[rows[i]]);
      file += rows.empty() ? "]\n" : "\n]\n";
      break;
  }
  return file;
}
